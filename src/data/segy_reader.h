#pragma once
// SEG-Y files read as the SU files they hold. A SEG-Y file is a 3200-byte
// textual header (EBCDIC or ASCII), a 400-byte binary header, optional
// extended textual headers, then traces of a 240-byte header and ns samples
// in one of the standard sample formats, big- or little-endian. The trace
// header is the one SU took over, so the reader presents the file as an SU
// file: traces of 240 + 4 x ns bytes in the program's own byte order, the
// shared header words at their offsets, samples converted to 32-bit floats.
// Everything above the reader (numbering, page builder, diagrams, exports)
// reads SEG-Y through the SU reader without knowing it.
//
// SU's own words (d1 at 180, the trace interval at 188, the word at 232)
// hold other things in SEG-Y (ensemble coordinates, inline numbers), so the
// view refuses to read them: the steps that use them are skipped and the
// fields they fill keep their values.
//
// Every size comes from the file and is checked before use: no read outside
// the file, no allocation larger than one trace.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "data/byte_source.h"
#include "data/su_reader.h"

namespace tavelo::segy {

inline constexpr int64_t kTextualHeaderBytes = 3200;
inline constexpr int64_t kBinaryHeaderBytes = 400;
inline constexpr int64_t kTraceHeaderBytes = 240;
// The SU view keeps ns in the 16-bit word of the trace header.
inline constexpr int32_t kMaxSamples = 32767;

// What the binary header (and, where it is silent, the first trace header)
// says about the traces.
struct Layout {
  ByteOrder order = ByteOrder::Big;
  int revision = 0;              // major revision: 0, 1 or 2
  int format = 0;                // sample format code
  int bytesPerSample = 0;
  int32_t samples = 0;           // ns, 1..kMaxSamples
  int32_t interval = 0;          // dt in microseconds (0 when neither header gives one)
  int64_t firstTrace = 0;        // absolute position of the first trace header
  int64_t traceHeaderBytes = 0;  // 240, more with revision 2's extra headers
  int64_t traceBytes = 0;        // one whole trace, header(s) and samples
  int64_t traceCount = 0;        // whole traces in the file, at least 1
  bool truncated = false;        // the file ends inside a trace after the whole ones
  bool ebcdic = true;            // textual header encoding
  int extendedTextHeaders = 0;   // counted before the first trace
};

struct LayoutOrProblem {
  std::optional<Layout> layout;
  std::string problem;  // why the file cannot be read, when layout is empty
};

// True when the first 3200 bytes are text (EBCDIC or ASCII). Such a file is
// SEG-Y: an SU file starts with a binary trace header. Whether it can be
// read is ReadLayout's question.
bool LooksLikeSegy(const ByteSource& source);

// The layout of a file LooksLikeSegy accepted, or the reason it cannot be
// read: textual header only, an unknown sample format, 0 or negative
// samples, too many samples, no whole trace.
[[nodiscard]] LayoutOrProblem ReadLayout(const ByteSource& source);

// The file as an SU file (see above). The layout must come from ReadLayout
// of the same source.
std::unique_ptr<ByteSource> SuViewOf(std::unique_ptr<ByteSource> file, const Layout& layout);

// The textual header (and the extended ones counted in the binary header)
// as text: one line per 80-character card, trailing blanks and empty last
// cards dropped, lines ended by CR LF, characters that are not printable
// shown as blanks.
std::string TextualHeaderText(const ByteSource& source);

// IBM System/360 single-precision float to IEEE (overflow gives infinity).
float IbmToFloat(uint32_t bits);

// Bytes per sample of a format code; 0 for codes this reader does not know.
int BytesPerSample(int format);

// What the file choice needs to know of a path: whether it is SEG-Y, and
// then either its layout or why it cannot be read.
struct FileCheck {
  bool segy = false;
  std::optional<Layout> layout;
  std::string problem;
};
[[nodiscard]] FileCheck CheckFile(const std::string& path);

// For a path: the textual header of a SEG-Y file; empty for other files.
[[nodiscard]] std::optional<std::string> SegyTextualHeader(const std::string& path);

}  // namespace tavelo::segy
