#include "program/su_file_fields.h"

#include "common/dialogs.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "settings/form.h"
#include "settings/form_fields.h"

namespace tavelo {
namespace {

// A header without a sample interval (a file some tools write) gets one
// from the user, as the other sizes the file does not give.
void TakeSampleInterval(SuTraceFile& file, const SuDescription& description, Dialogs& dialogs) {
  if (description.sampleInterval) {
    file.SampleInterval = *description.sampleInterval;
    return;
  }
  if (!description.sampleIntervalMissing) return;  // unreadable: kept as it is
  file.SampleInterval = 0;
  while (file.SampleInterval <= 0) {
    const std::string answer = dialogs.InputBox(
        "The file gives no sample interval (dt and d1 are 0): sample interval in microseconds ?",
        kDefaultTitle, "");
    if (auto v = ToInt16(LeadingNumber(answer))) file.SampleInterval = *v;
  }
}

// The datum from the delays: a zero delay takes the other one; both zero,
// the user is asked. Both scaled by the elevation factor.
void ShowDatum(const SuTraceFile& file, const SuDescription& description, Form& form, Dialogs& dialogs) {
  auto gdel = description.gdel;
  auto sdel = description.sdel;
  if (!gdel || !sdel) return;
  if (*sdel == 0) sdel = gdel;
  if (*gdel == 0) gdel = sdel;
  std::optional<int32_t> datum;
  if (*sdel != 0 || *gdel != 0) {
    datum = ToInt32(file.ElevationScalar * *sdel);
  } else {
    const std::string answer = dialogs.InputBox("Datum elevation ?", kDefaultTitle, " 0");
    datum = ToInt32(file.ElevationScalar * LeadingNumber(answer));
  }
  if (datum) form.SetText(kDatum, IntegerText(*datum));
}

// The message of the problem that stops a chosen file.
void ShowFileProblem(const std::string& path, const SuFileCheck& check, Dialogs& dialogs) {
  switch (check.problem) {
    case SuFileProblem::None:
      return;
    case SuFileProblem::Missing:
      dialogs.MessageBox(" Input file " + path + " does not exist !", msg::kOkOnly, kDefaultTitle);
      return;
    case SuFileProblem::SegyRefused:
      dialogs.MessageBox("SEG-Y file " + path + " " + check.segyProblem + " !", msg::kCritical,
                         kDefaultTitle);
      return;
    case SuFileProblem::Inaccessible:
      dialogs.MessageBox(" Korvane cannot access to " + path, msg::kCritical, kDefaultTitle);
      return;
    case SuFileProblem::Empty:
      dialogs.MessageBox("Input file " + path + " is empty !", msg::kOkOnly, kDefaultTitle);
      return;
  }
}

}  // namespace

bool CheckSuFile(const std::string& path, Dialogs& dialogs) {
  const SuFileCheck check = InspectSuFile(path);
  if (check.segyWholeTraces) {
    dialogs.MessageBox("SEG-Y file " + path + " ends inside a trace: its " +
                           std::to_string(*check.segyWholeTraces) + " whole traces are read",
                       msg::kOkOnly, kDefaultTitle);
  }
  ShowFileProblem(path, check, dialogs);
  return check.usable();
}

void ShowTraceSpacing(Form& form, const SuDescription& description) {
  if (auto spacing = TraceSpacing(description)) form.SetText(kTraceSpacingM, DecimalText(*spacing));
}

bool SelectSuFile(SuTraceFile& file, Form& form, Dialogs& dialogs) {
  CommonDialogFields& d = dialogs.fields();
  d.title = "Korvane File selection";
  d.filter = "Seismic Unix (SU)|*.SU|SEG-Y|*.sgy;*.segy|All files|*.*|";
  d.filterIndex = 1;
  d.initialFolder = file.DataFolder;
  d.fileName = "*.SU";
  d.flags = 4096;
  dialogs.ChooseFileToOpen();
  const std::string chosen = d.fileName;

  // A cancel leaves the initial pattern. The active file is kept: losing it
  // would leave nothing to plot.
  if (chosen.size() >= 4 && chosen.compare(chosen.size() - 4, 4, "*.SU") == 0) {
    dialogs.MessageBox("Extension must be SU", msg::kOkOnly, kDefaultTitle);
    return false;
  }
  file.ActiveFilePath = chosen;
  form.SetText(kSuFilePath, chosen);
  const std::string name = FileNameOf(chosen);
  form.SetText(kPlotTitle, name);
  form.SetText(kShownFileName, name);

  const std::string& title = d.fileTitle;
  std::string folder = title.size() <= chosen.size()
                           ? chosen.substr(0, chosen.size() - title.size())
                           : FolderOf(chosen);
  if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) folder += '/';
  file.DataFolder = folder;

  if (!CheckSuFile(chosen, dialogs)) return false;
  ReadFileDescription(file, form, dialogs);
  return true;
}

void ReadFileDescription(SuTraceFile& file, Form& form, Dialogs& dialogs) {
  if (const std::optional<SuDescription> description = DescribeSuFile(file.ActiveFilePath)) {
    if (description->samplesPerTrace) file.SamplesPerTrace = *description->samplesPerTrace;
    TakeSampleInterval(file, *description, dialogs);
    ShowTraceSpacing(form, *description);
    if (description->scalel) file.ElevationScalar = ElevationFactor(*description->scalel);
    ShowDatum(file, *description, form, dialogs);
    if (auto count = TraceCountFor(description->length, file.TraceBytes())) file.TraceCount = *count;
  }

  RefreshNumbering(file, form);

  while (file.TraceCount == 0) {
    const std::string answer = dialogs.InputBox("Traces number to print ?", kDefaultTitle, " 1");
    if (auto count = ToInt32(LeadingNumber(answer))) file.TraceCount = *count;
  }
  form.SetText(kLastTrace, IntegerText(file.TraceCount));
  form.SetText(kTimeToDrawMs, DecimalText(file.SampleInterval / 1000.0 * file.SamplesPerTrace));
}

void RefreshNumbering(SuTraceFile& file, Form& form) {
  // A greyed box (2) counts as not checked.
  const bool inverse = form.Value(kInverseTraces) == 1;
  const bool byCdp = form.Value(kCdpNumbering) == 1;
  const auto n = ToInt32(form.Number(inverse ? kLastTrace : kFirstTrace));
  const std::optional<int32_t> number = ReadTraceNumbering(file, n, byCdp);
  if (!number) return;
  form.SetCaption(kFirstLabelCaption, byCdp ? "1st CDP Nb" : "1st trace Nb");
  form.SetText(kFirstLabel, IntegerText(*number));
}

}  // namespace tavelo
