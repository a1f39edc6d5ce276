#include "output/metafile_commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

#include "common/dialogs.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "common/safe_file.h"
#include "output/painter_replay.h"
#include "output/wmf_writer.h"
#include "settings/form_fields.h"

namespace tavelo {

namespace {

// The clipboard image: fine enough to read labels, small enough to paste
// a roll-plotter page.
constexpr double kClipboardImageDpi = 150;
constexpr double kMaxClipboardImageSide = 8000;

QClipboard* Clipboard() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  return QGuiApplication::clipboard();
}

QByteArray PageSvg(const PageDocument& page) {
  const double w = page.PageWidth(), h = page.PageHeight();
  if (!(w > 0) || !(h > 0) || w > 1e9 || h > 1e9) return {};
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setResolution(static_cast<int>(kTwipsPerInch));  // one unit per twip
  generator.setSize(QSize(static_cast<int>(std::ceil(w)), static_cast<int>(std::ceil(h))));
  generator.setViewBox(QRectF(0, 0, w, h));
  generator.setTitle(QStringLiteral("Seismic section"));
  QPainter painter;
  if (!painter.begin(&generator)) return {};
  ReplayPage(page, painter, QRectF(0, 0, w, h));
  painter.end();
  return bytes;
}

QImage PageImage(const PageDocument& page) {
  const double w = page.PageWidth(), h = page.PageHeight();
  if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h)) return {};
  double dpi = kClipboardImageDpi;
  dpi = std::min(dpi, kMaxClipboardImageSide * kTwipsPerInch / std::max(w, h));
  const int pixelsWide = std::max(1, static_cast<int>(std::lround(w / kTwipsPerInch * dpi)));
  const int pixelsHigh = std::max(1, static_cast<int>(std::lround(h / kTwipsPerInch * dpi)));
  QImage image(pixelsWide, pixelsHigh, QImage::Format_RGB32);
  if (image.isNull()) return {};
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  ReplayPage(page, painter, QRectF(0, 0, pixelsWide, pixelsHigh));
  return image;
}

// Clears the clipboard and puts the page on it, its metafile given.
bool PutOnClipboard(const PageDocument& page, const std::string& wmf) {
  QClipboard* clipboard = Clipboard();
  if (!clipboard) return false;
  clipboard->clear();
  auto* data = new QMimeData;
  if (!wmf.empty())
    data->setData(QStringLiteral("image/x-wmf"), QByteArray(wmf.data(), static_cast<qsizetype>(wmf.size())));
  const QByteArray svg = PageSvg(page);
  if (!svg.isEmpty()) data->setData(QStringLiteral("image/svg+xml"), svg);
  const QImage image = PageImage(page);
  if (!image.isNull()) data->setImageData(image);
  if (data->formats().isEmpty()) {
    delete data;
    return false;
  }
  clipboard->setMimeData(data);  // the clipboard owns it
  return true;
}

struct SaveError {
  int number;
  const char* description;
};

// Why a metafile could not be saved, numbered and worded as Windows
// reports file errors (the numbers users look up).
SaveError ClassifySaveFailure(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos || path.back() == '/' ||
      path.back() == '\\')
    return {52, "Bad file name or number"};
  std::string folder = FolderOf(path);
  if (LastSeparator(path) == std::string::npos) folder = ".";
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return {76, "Path not found"};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return {75, "Path/File access error"};
  if (::access(folder.c_str(), W_OK) != 0) return {70, "Permission denied"};
  return {75, "Path/File access error"};
}

}  // namespace

std::string DefaultMetafileName(const std::string& activeFilePath) {
  const std::string base =
      activeFilePath.size() >= 2 ? activeFilePath.substr(0, activeFilePath.size() - 2) : std::string();
  const std::string built = base + "wmf";
  const std::string found = FindFileIgnoringCase(built);
  return found.empty() ? built : found;
}

int64_t RecordedKilobytes(int64_t bytes) {
  return ToInt64(static_cast<double>(bytes) / 1000.0).value_or(0);
}

bool CopyPageToClipboard(const PageDocument& page) {
  return PutOnClipboard(page, WmfBytes(page));
}

void RecordMetafile(ProgramState& state) {
  Dialogs& dialogs = *state.dialogs;
  const std::string name = dialogs.InputBox("Enter the file name", "WMF file option",
                                            DefaultMetafileName(state.su.ActiveFilePath));
  if (FileExists(name) == 1) {
    const int answer = dialogs.MessageBox(name + " alreday exists, replace this file ?",
                                          msg::kQuestion | msg::kYesNo, kDefaultTitle);
    if (answer != msg::kYes) return;
    // The old file is not deleted here: the new one replaces it once complete.
  }
  const std::string wmf = WmfBytes(state.page);
  PutOnClipboard(state.page, wmf);

  std::string reason;
  bool saved = false;
  SaveError failure{75, "Path/File access error"};
  if (wmf.empty()) {
    failure = {7, "Out of memory"};
  } else if (name.empty()) {
    failure = ClassifySaveFailure(name);
  } else {
    saved = WriteFileAtomically(name, wmf, false, &reason, DeviceTargets::WriteInPlace);
    if (!saved) failure = ClassifySaveFailure(name);
  }
  if (!saved) {
    dialogs.MessageBox("Error nb " + SignedText(static_cast<int64_t>(failure.number)) + "  " +
                           failure.description + " happens",
                       msg::kCritical, kDefaultTitle);
    return;
  }
  const auto length = FileLength(name);
  const int64_t kilobytes = RecordedKilobytes(length.value_or(static_cast<int64_t>(wmf.size())));
  dialogs.MessageBox(name + SignedText(kilobytes) + " Kb has been recorded", msg::kInformation, "");
}

void LaunchGraphicsProgram(ProgramState& state) {
  std::string& program = state.settings.GraphicsProgramPath;
  if (program.size() <= 4) {
    Dialogs& dialogs = *state.dialogs;
    dialogs.MessageBox("You must locate your program", msg::kInformation, kDefaultTitle);
    CommonDialogFields& request = dialogs.fields();
    const bool cancelError = request.cancelError;
    request.cancelError = true;
    // The Windows pattern, and every file: programs here carry no ".EXE".
    request.filter = "*.EXE|*.EXE|All files|*|";
    request.title = "Graphical tool selection";
    request.fileName = "*.EXE";
    const bool chosen = dialogs.ChooseFileToOpen();
    // Only this request reports a cancel as a failure; later ones must not.
    request.cancelError = cancelError;
    if (!chosen) return;
    program = request.fileName;
  }
  QProcess::startDetached(QString::fromStdString(program), QStringList());
}

void AttachOutputHandlers(ProgramState& state) {
  ProgramState* s = &state;
  state.form.On(kRecordWmfButton, FieldEvent::Click, [s] { RecordMetafile(*s); });
  state.form.On(kCopyButton, FieldEvent::Click, [s] { CopyPageToClipboard(s->page); });
  state.form.On(kGraphicsProgramButton, FieldEvent::Click, [s] { LaunchGraphicsProgram(*s); });
}

}  // namespace tavelo
