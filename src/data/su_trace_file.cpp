#include "data/su_trace_file.h"

#include <cmath>

#include "common/dialogs.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "data/segy_reader.h"
#include "data/su_reader.h"
#include "settings/form.h"
#include "settings/form_fields.h"

namespace tavelo {

double ElevationFactor(int16_t scalel) {
  if (scalel < 0) return 1.0 / std::abs(static_cast<double>(scalel));
  if (scalel == 0) return 1.0;
  return scalel;
}

std::optional<int32_t> TraceCountFor(int64_t length, int64_t traceBytes) {
  if (traceBytes <= 0 || length < 0) return std::nullopt;
  return ToInt32(static_cast<double>(length) / static_cast<double>(traceBytes));
}

namespace {

// The sample interval of the first trace: dt, or d1 * 1000 when dt is 0.
// NotGiven when the header has none (dt 0 and d1 0, not finite or out of
// range); SampleInterval is then left as it is, as when dt cannot be read.
enum class IntervalRead { Found, NotGiven, Unreadable };

IntervalRead ReadSampleInterval(const SuReader& reader, SuTraceFile& file) {
  auto dt = reader.ReadInt16(su::kDt.offset);
  if (!dt) return IntervalRead::Unreadable;
  if (*dt != 0) {
    file.SampleInterval = *dt;
    return IntervalRead::Found;
  }
  auto d1 = reader.ReadFloat(su::kD1.offset);
  const auto v = d1 ? ToInt16(static_cast<double>(*d1) * 1000.0) : std::nullopt;
  if (!v || *v == 0) return IntervalRead::NotGiven;
  file.SampleInterval = *v;
  return IntervalRead::Found;
}

// A SEG-Y file that cannot be read is refused with the reason; one that
// ends inside a trace is read up to its last whole trace, with a notice.
bool CheckSegyFile(const std::string& path, Dialogs& dialogs) {
  const segy::FileCheck check = segy::CheckFile(path);
  if (!check.segy) return true;
  if (!check.layout) {
    dialogs.MessageBox("SEG-Y file " + path + " " + check.problem + " !", msg::kCritical, kDefaultTitle);
    return false;
  }
  if (check.layout->truncated) {
    const std::string whole = std::to_string(check.layout->traceCount);
    dialogs.MessageBox("SEG-Y file " + path + " ends inside a trace: its " + whole +
                           " whole traces are read",
                       msg::kOkOnly, kDefaultTitle);
  }
  return true;
}

}  // namespace

bool CheckSuFile(const std::string& path, Dialogs& dialogs) {
  if (!FileExists(path)) {
    dialogs.MessageBox(" Input file " + path + " does not exist !", msg::kOkOnly, kDefaultTitle);
    return false;
  }
  if (!CheckSegyFile(path, dialogs)) return false;
  auto length = FileLength(path);
  if (!length || !SuReader::Open(path)) {
    dialogs.MessageBox(" Korvane cannot access to " + path, msg::kCritical, kDefaultTitle);
    return false;
  }
  if (*length == 0) {
    dialogs.MessageBox("Input file " + path + " is empty !", msg::kOkOnly, kDefaultTitle);
    return false;
  }
  return true;
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
  auto reader = SuReader::Open(file.ActiveFilePath);
  if (reader) {
    if (auto ns = reader->ReadSamplesPerTrace()) file.SamplesPerTrace = *ns;
    // A header without a sample interval (a file some tools write) gets
    // one from the user, as the other sizes the file does not give.
    if (ReadSampleInterval(*reader, file) == IntervalRead::NotGiven) {
      file.SampleInterval = 0;
      while (file.SampleInterval <= 0) {
        const std::string answer = dialogs.InputBox(
            "The file gives no sample interval (dt and d1 are 0): sample interval in microseconds ?",
            kDefaultTitle, "");
        if (auto v = ToInt16(LeadingNumber(answer))) file.SampleInterval = *v;
      }
    }

    const auto scalel = reader->ReadInt16(su::kScalel.offset);
    const auto interval = reader->ReadInt32(su::kD2AsInt.offset);
    if (scalel && interval) {
      const double factor = ElevationFactor(*scalel);
      form.SetText(kTraceSpacingM, DecimalText(std::abs(*interval / 2.0) * factor));
    }
    if (scalel) file.ElevationScalar = ElevationFactor(*scalel);

    auto gdel = reader->ReadInt32(su::kGdel.offset);
    auto sdel = reader->ReadInt32(su::kSdel.offset);
    if (gdel && sdel) {
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
    if (auto count = TraceCountFor(reader->Length(), file.TraceBytes())) file.TraceCount = *count;
  }
  reader.reset();

  RefreshNumbering(file, form);

  while (file.TraceCount == 0) {
    const std::string answer = dialogs.InputBox("Traces number to print ?", kDefaultTitle, " 1");
    if (auto count = ToInt32(LeadingNumber(answer))) file.TraceCount = *count;
  }
  form.SetText(kLastTrace, IntegerText(file.TraceCount));
  form.SetText(kTimeToDrawMs, DecimalText(file.SampleInterval / 1000.0 * file.SamplesPerTrace));
}

void RefreshNumbering(SuTraceFile& file, Form& form) {
  if (file.ActiveFilePath.size() <= 4) return;
  auto reader = SuReader::Open(file.ActiveFilePath);
  if (!reader) return;
  ReadSampleInterval(*reader, file);
  if (auto count = TraceCountFor(reader->Length(), file.TraceBytes())) file.TraceCount = *count;

  // A greyed box (2) counts as not checked.
  const bool inverse = form.Value("Inverse_trace") == 1;
  const auto n = ToInt32(form.Number(inverse ? kLastTrace : kFirstTrace));
  const bool byCdp = form.Value("CDP") == 1;
  form.SetCaption(kFirstLabelCaption, byCdp ? "1st CDP Nb" : "1st trace Nb");

  // A trace number of 0 or below, or beyond the end of the file, labels 0.
  int32_t number = 0;
  if (n && *n >= 1 && file.TraceBytes() > 0) {
    const auto& field = byCdp ? su::kCdp : su::kTracl;
    if (auto v = reader->ReadHeaderInt(*n - 1, file.TraceBytes(), field)) number = *v;
  }
  form.SetText(kFirstLabel, IntegerText(number));
}

}  // namespace tavelo
