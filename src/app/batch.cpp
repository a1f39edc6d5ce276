#include "app/batch.h"


#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>

#include "app/wiring.h"
#include "common/batch_dialogs.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "common/safe_file.h"
#include "output/export.h"
#include "output/font_list.h"
#include "output/pdf_writer.h"
#include "output/wmf_writer.h"
#include "program/handlers.h"
#include "program/startup.h"
#include "program/su_file_fields.h"
#include "render/builder.h"
#include "settings/form_fields.h"

namespace tavelo {

const char* const kUsage =
    "Usage:\n"
    "  tavelo [FILE]                            open the window (the file is optional)\n"
    "  tavelo --export OUT [options] FILE       build the page and write it, no window\n"
    "    FILE is a Seismic Unix (SU) or a SEG-Y file, told apart by its content\n"
    "    OUT's extension picks the format: .pdf .svg .png .wmf (a placeable metafile)\n"
    "    (PDF for a device or pipe named without one, e.g. /dev/stdout)\n"
    "    --dump FILE          also write the page's display list as text\n"
    "    --settings-dir DIR   folder of TAVELO3.ini and Korvane.ini\n"
    "    --paper SIZE         A4, A3, A0, Letter, ... or WIDTHxHEIGHT in millimetres\n"
    "    --dpi N              resolution of a PNG (default 150)\n"
    "    --set NAME=VALUE     set a window field after start-up (repeatable)\n"
    "    --answer TEXT        answer the next input box (repeatable)\n"
    "    --save-settings      save the settings after the build\n"
    "  tavelo --help | --version\n";

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Extension(const std::string& path) {
  const std::string name = FileNameOf(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : Lower(name.substr(dot));
}

// The format an export path asks for: its extension, or PDF for a device,
// a pipe or our own standard output named without one (--export
// /dev/stdout, also when it is redirected to a file); empty when neither.
std::string ExportFormat(const std::string& path) {
  const std::string ext = Extension(path);
  if (ext == ".pdf" || ext == ".svg" || ext == ".png" || ext == ".wmf") return ext;
  if (path == "/dev/stdout" || path.rfind("/dev/fd/", 0) == 0 || path.rfind("/proc/self/fd/", 0) == 0)
    return ".pdf";
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)))
    return ".pdf";
  return {};
}

bool WholeNumber(const std::string& text, long long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  out = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && end && *end == '\0';
}

bool IsColourBox(const std::string& name) {
  const std::string n = Lower(name);
  for (int k : {26, 27, 28, 29}) if (n == "text" + std::to_string(k)) return true;
  for (int k = 101; k <= 116; ++k) if (n == "text" + std::to_string(k)) return true;
  return false;
}

// Applies one --set as the program would write the field; false with a reason.
bool ApplySet(ProgramState& state, const std::string& name, const std::string& value,
              std::string& error) {
  Form& form = state.form;
  if (!form.Has(name)) {
    error = "unknown field \"" + name + "\"";
    return false;
  }
  const Field& field = form.Get(name);
  long long number = 0;
  if (IsColourBox(name)) {
    if (!WholeNumber(value, number) || number < 0 || number > 16777215) {
      error = field.name + " takes a colour number from 0 to 16777215";
      return false;
    }
    const auto colour = static_cast<int32_t>(number);
    form.SetBackColor(field.name, colour);
    if (field.name == kFoldFillColorBox) state.settings.FoldFillColor = colour;
    if (field.name == kTopoLineColorBox) state.settings.TopoLineColor = colour;
    if (field.name == kStaticLineColorBox) state.settings.StaticLineColor = colour;
    if (field.name == kFoldLineColorBox) state.settings.FoldLineColor = colour;
    return true;
  }
  switch (field.kind) {
    case FieldKind::Text:
      form.SetText(field.name, value);
      return true;
    case FieldKind::Check:
      if (!WholeNumber(value, number) || number < 0 || number > 2) {
        error = field.name + " is a check box: 0, 1 or 2";
        return false;
      }
      form.SetValue(field.name, static_cast<int>(number));
      return true;
    case FieldKind::List: {
      const auto& items = field.items;
      int index = -1;
      if (WholeNumber(value, number) && number >= 0 && number < static_cast<long long>(items.size())) {
        index = static_cast<int>(number);
      } else if (field.name == kStationHeaderWord || field.name == kFontList) {
        auto it = std::find(items.begin(), items.end(), value);
        if (it != items.end()) index = static_cast<int>(it - items.begin());
      }
      if (index < 0) {
        error = "\"" + value + "\" is not an entry of " + field.name;
        return false;
      }
      form.SetListIndex(field.name, index);
      return true;
    }
    case FieldKind::Tab:
      if (!WholeNumber(value, number) || number < 0 || number > 2) {
        error = "SSTab1 takes a tab index from 0 to 2";
        return false;
      }
      ShowTab(state, static_cast<int>(number));
      return true;
    case FieldKind::Label:
      break;
  }
  error = field.name + " is not a field that holds a value";
  return false;
}

}  // namespace

bool ParsePaper(const std::string& text, double& w, double& h) {
  struct Named {
    const char* name;
    double wMm, hMm;
  };
  static constexpr Named kPapers[] = {
      {"a0", 841, 1189}, {"a1", 594, 841}, {"a2", 420, 594}, {"a3", 297, 420},
      {"a4", 210, 297},  {"a5", 148, 210}, {"b4", 250, 353}, {"b5", 176, 250},
      {"letter", 215.9, 279.4}, {"legal", 215.9, 355.6}, {"tabloid", 279.4, 431.8},
      {"ledger", 431.8, 279.4}};
  const std::string t = Lower(text);
  auto toTwips = [](double mm) { return RoundHalfEven(mm * kTwipsPerInch / 25.4); };
  for (const Named& p : kPapers) {
    if (t == p.name) {
      w = toTwips(p.wMm);
      h = toTwips(p.hMm);
      return true;
    }
  }
  const size_t x = t.find('x');
  if (x == std::string::npos) return false;
  const std::string a = t.substr(0, x), b = t.substr(x + 1);
  if (!IsPlainNumber(a) || !IsPlainNumber(b)) return false;
  const double wm = LeadingNumber(a), hm = LeadingNumber(b);
  // Up to 100 m: roll plotters, but nothing a float page cannot hold exactly.
  if (!(wm >= 10 && hm >= 10 && wm <= 100000 && hm <= 100000)) return false;
  w = toTwips(wm);
  h = toTwips(hm);
  return true;
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      target = args[++i];
      return true;
    };
    if (a == "--help" || a == "-h") {
      out.help = true;
    } else if (a == "--version") {
      out.version = true;
    } else if (a == "--export" || a == "--dump") {
      std::string& target = a == "--export" ? out.exportPath : out.dumpPath;
      if (!value(target)) return false;
      // An empty name would fall through to the window.
      if (target.empty()) {
        error = a + " needs a file name";
        return false;
      }
    } else if (a == "--settings-dir") {
      if (!value(out.settingsDir)) return false;
    } else if (a == "--paper") {
      if (!value(out.paper)) return false;
      double w, h;
      if (!ParsePaper(out.paper, w, h)) {
        error = "unknown paper \"" + out.paper + "\" (A4, A3, Letter, ... or WIDTHxHEIGHT in mm)";
        return false;
      }
    } else if (a == "--dpi") {
      std::string v;
      if (!value(v)) return false;
      long long n;
      if (!WholeNumber(v, n) || n < 10 || n > 2400) {
        error = "--dpi takes a whole number from 10 to 2400";
        return false;
      }
      out.dpi = static_cast<int>(n);
    } else if (a == "--set") {
      std::string v;
      if (!value(v)) return false;
      const size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) {
        error = "--set takes NAME=VALUE";
        return false;
      }
      out.sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else if (a == "--answer") {
      std::string v;
      if (!value(v)) return false;
      out.answers.push_back(v);
    } else if (a == "--save-settings") {
      out.saveSettings = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      error = "unknown option " + a;
      return false;
    } else if (out.suFile.empty()) {
      out.suFile = a;
    } else {
      error = "more than one SU file given";
      return false;
    }
  }
  if (!out.exportPath.empty()) {
    if (ExportFormat(out.exportPath).empty()) {
      error = "cannot tell the format of " + out.exportPath + " (use .pdf, .svg, .png or .wmf)";
      return false;
    }
    if (out.suFile.empty()) {
      error = "--export needs an SU file";
      return false;
    }
  } else if (!out.dumpPath.empty() || !out.sets.empty() || !out.answers.empty() || out.saveSettings) {
    error = "--dump, --set, --answer and --save-settings go with --export";
    return false;
  }
  return true;
}

int RunBatchExport(const CommandLine& options) {
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char name[] = "tavelo";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);

  BatchDialogs dialogs({options.answers.begin(), options.answers.end()}, std::cerr);
  ProgramState state(dialogs);
  state.settingsFolder = options.settingsDir.empty() ? DefaultSettingsFolder()
                                                     : AbsolutePath(options.settingsDir);
  state.fontList = PageFontFamilies;
  if (!options.paper.empty()) {
    double w = 0, h = 0;
    ParsePaper(options.paper, w, h);
    state.page.SetPaperSize(w, h);
  }
  // Only a PNG is replayed in parts (its bands): the other writers draw the
  // page in one pass and need no boxes of its ops.
  state.page.SetKeepBoxes(ExportFormat(options.exportPath) == ".png");
  if (isatty(2)) {
    state.progress = [](int64_t value, int64_t maximum) {
      std::cerr << "\rBuilding the page: " << value << " / " << maximum
                << (value >= maximum ? "\n" : "") << std::flush;
    };
  }

  const std::string path = AbsolutePath(options.suFile);
  try {
    if (!CheckSuFile(path, dialogs)) return 1;
    AttachProgramHandlers(state);
    Startup(state, path);
    for (const auto& [name, value] : options.sets) {
      std::string error;
      if (!ApplySet(state, name, value, error)) {
        std::cerr << "tavelo: --set " << name << "=" << value << ": " << error << "\n";
        return 2;
      }
    }
    std::string failure;
    if (!BuildPageSafely(state, &failure)) {
      std::cerr << "tavelo: " << failure << "\n";
      return 1;
    }
  } catch (const BatchStopped& stop) {
    std::cerr << "tavelo: " << stop.what() << "\n";
    return 1;
  }
  if (state.page.PageCount() == 0) {
    std::cerr << "tavelo: the page could not be built\n";
    return 1;
  }

  std::string error;
  const std::string ext = ExportFormat(options.exportPath);
  bool written = false;
  // Our own PDF writer: large sections in a fraction of the Qt engine's time.
  if (ext == ".pdf") written = WritePdf(state.page, options.exportPath, &error);
  else if (ext == ".svg") written = ExportSvg(state.page, options.exportPath, &error);
  else if (ext == ".png") written = ExportPng(state.page, options.exportPath, options.dpi, &error);
  else if (ext == ".wmf") written = ExportWmf(state.page, options.exportPath, &error);
  if (!written) {
    std::cerr << "tavelo: " << options.exportPath << " was not written: " << error << "\n";
    return 1;
  }
  if (!options.dumpPath.empty() &&
      !WriteFileAtomically(options.dumpPath, DumpPage(state.page), false, &error,
                           DeviceTargets::WriteInPlace)) {
    std::cerr << "tavelo: " << options.dumpPath << " was not written: " << error << "\n";
    return 1;
  }
  if (options.saveSettings &&
      !SaveSettings(state.settingsFiles, state.settings, state.form, &error)) {
    std::cerr << "tavelo: the settings were not saved: " << error << "\n";
    return 1;
  }
  return 0;
}

}  // namespace tavelo
