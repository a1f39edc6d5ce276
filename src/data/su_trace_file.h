#pragma once
// The active SU file and what the program knows of it, the existence and
// access checks of a chosen file (what they found, as a value), what the
// first trace header says of the file (SuDescription) and the trace
// numbering read for the first label. Filling the window, asking for what
// the file does not give and the checks' messages are the caller's part
// (program/su_file_fields.h).

#include <cstdint>
#include <optional>
#include <string>

#include "data/su_format.h"
#include "data/su_reader.h"

namespace tavelo {

struct SuTraceFile {
  std::string ActiveFilePath;   // full path of the active file; empty when none
  std::string DataFolder;       // its folder, ending in a separator
  int32_t SamplesPerTrace = 0;  // ns of the first trace
  int16_t SampleInterval = 0;   // dt of the first trace (us); d1 * 1000 when dt is 0
  int32_t TraceCount = 0;       // traces in the file
  double ElevationScalar = 1;   // factor from scalel of the first trace

  // Bytes of one trace; 0 while ns is not positive.
  int64_t TraceBytes() const { return su::TraceBytes(SamplesPerTrace); }
};

// The scalel rule: 1/|scalel| when negative, 1 when 0, scalel when positive.
double ElevationFactor(int16_t scalel);

// What the checks of a chosen file found. They run in this order and stop
// at the first problem: the file must exist; a SEG-Y file must have a
// layout that can be read; the file must open and not be empty.
enum class SuFileProblem { None, Missing, SegyRefused, Inaccessible, Empty };

struct SuFileCheck {
  SuFileProblem problem = SuFileProblem::None;
  std::string segyProblem;  // SegyRefused: why, as "has 0 samples per trace"
  // A SEG-Y file that ends inside a trace: the whole traces that are read.
  // Set whenever the layout check got that far, whatever comes after it.
  std::optional<int64_t> segyWholeTraces;

  bool usable() const { return problem == SuFileProblem::None; }
};

// The existence, SEG-Y layout, access and empty-file checks of the file
// choice. Usable when the file exists, can be read and is not empty.
[[nodiscard]] SuFileCheck InspectSuFile(const std::string& path);

// What the first trace header gives, each word empty when it cannot be read
// (a file shorter than the word, or a SEG-Y word the SU view refuses).
struct SuDescription {
  int64_t length = 0;                      // bytes of the file
  std::optional<int32_t> samplesPerTrace;  // ns, read unsigned when that fits the file
  // dt, or d1 * 1000 when dt is 0. Empty both when dt cannot be read and
  // when the header gives none; the second is told by sampleIntervalMissing.
  std::optional<int16_t> sampleInterval;
  bool sampleIntervalMissing = false;      // dt 0 and d1 0, not finite or out of range
  std::optional<int16_t> scalel;
  std::optional<int32_t> traceInterval;    // the d2 word read as an integer
  std::optional<int32_t> gdel;
  std::optional<int32_t> sdel;
};

[[nodiscard]] SuDescription DescribeSuFile(const SuReader& reader);
// The file at `path`; empty when it cannot be opened.
[[nodiscard]] std::optional<SuDescription> DescribeSuFile(const std::string& path);

// Trace spacing on the ground: |d2 / 2| x the scalel factor. Empty when
// either word is missing.
std::optional<double> TraceSpacing(const SuDescription& description);

// Trace count of a file of `length` bytes: length / trace size, rounded
// halves to even (a file of 2.5 traces holds 2). Empty when the trace size
// is not positive.
std::optional<int32_t> TraceCountFor(int64_t length, int64_t traceBytes);

// Rereads the active file's sample interval (kept when the header gives
// none) and trace count, then the number a label shows for trace
// `traceNumber` (from 1): its cdp when `byCdp`, else its tracl; 0 for a
// trace number that is missing, below 1 or beyond the file. Empty, with
// `file` unchanged, when there is no active file or it cannot be opened.
[[nodiscard]] std::optional<int32_t> ReadTraceNumbering(SuTraceFile& file,
                                                        std::optional<int32_t> traceNumber, bool byCdp);

}  // namespace tavelo
