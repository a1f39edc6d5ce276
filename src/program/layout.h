#pragma once
// The page geometry every build computes, read by the traces, labels, lines
// and every diagram; and the column rule they all share.

#include <cmath>
#include <cstdint>

#include "common/numeric.h"

namespace tavelo {

struct PlotLayout {
  int32_t SectionWidth = 0;    // twips
  int32_t SectionHeight = 0;   // twips
  // y of the section's top edge. Kept wide: sections on roll plotters lie
  // far more than 578 mm down the paper.
  int32_t SectionTop = 0;
  int32_t FirstTrace = 0;
  int32_t LastTrace = 0;
  int32_t SamplesToDraw = 0;
  double TraceSpacing = 0;     // twips: width of one trace column
  float MaxExcursion = 0;      // twips
  double TimeToDraw = 0;       // ms
  double TimeLineSpacing = 0;  // ms
  double LabelSpacing = 0;     // traces
  double TraceSizeFactor = 1;
  float MaxAmplitude = 0;

  // Number of columns (0 when LastTrace is below FirstTrace).
  int64_t ColumnCount() const {
    return LastTrace >= FirstTrace ? static_cast<int64_t>(LastTrace) - FirstTrace + 1 : 0;
  }
  // Zero line of column k: LeftMargin + TraceSpacing / 2 + k * TraceSpacing,
  // unrounded; callers round as their drawing does.
  double ColumnCentre(double leftMargin, int64_t k) const {
    return leftMargin + TraceSpacing / 2 + TraceSpacing * static_cast<double>(k);
  }
  // Trace number shown in column k: FirstTrace + k, or LastTrace - k when
  // the traces are drawn in inverse order.
  int64_t TraceInColumn(int64_t k, bool inverse) const {
    return inverse ? static_cast<int64_t>(LastTrace) - k : static_cast<int64_t>(FirstTrace) + k;
  }
};

}  // namespace tavelo
