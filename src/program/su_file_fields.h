#pragma once
// The SU file and the window: the file checks' messages, the file choice,
// the describing read that fills the trace spacing, datum, last trace and
// total time fields (asking for what the file does not give), and the trace
// numbering that keeps the first-label field in step with the chosen range.

#include <string>

#include "data/su_trace_file.h"

namespace tavelo {

class Dialogs;
class Form;

// Trace spacing text of a described file, written into the trace spacing
// field; the field keeps its value when the file gives no spacing.
void ShowTraceSpacing(Form& form, const SuDescription& description);

// The checks of a chosen file (InspectSuFile) with their messages: the
// notice of a SEG-Y file ending inside a trace first, then the problem that
// stops the file, if any. True when the file can be described.
[[nodiscard]] bool CheckSuFile(const std::string& path, Dialogs& dialogs);

// The open-file dialog, then the checks and the describing read. Returns
// true when the new file was described. Callers empty the preview after it.
[[nodiscard]] bool SelectSuFile(SuTraceFile& file, Form& form, Dialogs& dialogs);

// Describes the active file from its first trace header and fills the
// trace spacing, datum, last trace and total time fields.
void ReadFileDescription(SuTraceFile& file, Form& form, Dialogs& dialogs);

// Recomputes TraceCount and SampleInterval and shows the number carried by
// the trace plotted first in the first-label field.
void RefreshNumbering(SuTraceFile& file, Form& form);

}  // namespace tavelo
