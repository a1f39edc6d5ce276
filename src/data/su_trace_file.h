#pragma once
// The active SU file and what the program knows of it, the file choice with
// its checks and messages, the describing read of the first trace header,
// and the trace numbering that keeps the first-label field in step with the
// chosen range.

#include <cstdint>
#include <optional>
#include <string>

#include "data/su_format.h"

namespace tavelo {

class Dialogs;
class Form;

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

// The open-file dialog, then the checks and the describing read. Returns
// true when the new file was described. Callers empty the preview after it.
[[nodiscard]] bool SelectSuFile(SuTraceFile& file, Form& form, Dialogs& dialogs);

// The existence and empty-file checks of the file choice, with their
// messages. True when the file exists, can be read and is not empty.
[[nodiscard]] bool CheckSuFile(const std::string& path, Dialogs& dialogs);

// Describes the active file from its first trace header and fills the
// trace spacing, datum, last trace and total time fields.
void ReadFileDescription(SuTraceFile& file, Form& form, Dialogs& dialogs);

// Recomputes TraceCount and SampleInterval and shows the number carried by
// the trace plotted first in the first-label field.
void RefreshNumbering(SuTraceFile& file, Form& form);

// Trace count of a file of `length` bytes: length / trace size, rounded
// halves to even (a file of 2.5 traces holds 2). Empty when the trace size
// is not positive.
std::optional<int32_t> TraceCountFor(int64_t length, int64_t traceBytes);

}  // namespace tavelo
