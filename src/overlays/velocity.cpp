#include "overlays/velocity.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include "common/dialogs.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "common/safe_file.h"
#include "data/su_reader.h"
#include "program/state.h"
#include "settings/form_fields.h"

namespace tavelo {
namespace {

// A table file is a few kilobytes; a wrong file is not read to its end.
constexpr long kMaxTableBytes = 1L << 20;

// Panel geometry (twips).
constexpr double kPanelAboveSection = 1700;  // 30 mm: top edge of every box
constexpr double kMarkerHeight = 1200;
constexpr int32_t kPanelWidth = 1300;
constexpr int32_t kPanelHeaderHeight = 240;
constexpr int32_t kPanelRowHeight = 160;
constexpr double kHeaderRule = 200;
constexpr double kTextIndent = 100;
constexpr double kHeaderTextDown = 30;
constexpr double kFirstRowDown = 100;
constexpr double kRowStep = 150;
constexpr int kRowsShown = 8;

constexpr const char* kHeader = "  ms Vnmo  Vint ";

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Characters, not bytes: a panel's width is counted in characters.
size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (char c : text)
    if (!IsContinuationByte(c)) ++count;
  return count;
}

std::string DropLastCharacters(std::string_view text, int count) {
  size_t end = text.size();
  for (int i = 0; i < count && end > 0; ++i) {
    --end;
    while (end > 0 && IsContinuationByte(text[end])) --end;
  }
  return std::string(text.substr(0, end));
}

bool EndsWithVel(std::string_view path) {
  if (path.size() < 3) return false;
  const std::string_view tail = path.substr(path.size() - 3);
  return (tail[0] == 'V' || tail[0] == 'v') && (tail[1] == 'E' || tail[1] == 'e') &&
         (tail[2] == 'L' || tail[2] == 'l');
}

// The velocity file to draw, as chosen by Text21, the ".vel" beside the SU
// file or the locate dialog. Empty when none exists.
std::string ChooseVelocityFile(ProgramState& state) {
  const std::string& field = state.form.Text(kVelocityModelFile);
  std::string path;
  if (CharacterCount(field) > 5) {
    path = field;
  } else {
    path = DropLastCharacters(state.su.ActiveFilePath, 2) + "vel";
    if (std::string found = FindFileIgnoringCase(path); !found.empty()) path = found;
  }
  if (FileExists(path) == 1) return path;

  Dialogs& dialogs = *state.dialogs;
  dialogs.MessageBox("You must locate your velocity model file", msg::kInformation, kDefaultTitle);
  CommonDialogFields& f = dialogs.fields();
  f.initialFolder = state.su.DataFolder;
  f.cancelError = false;
  f.filter = "SU VEL velocity model|*.NMO|VEL file|*.VEL|All files|*.*|";
  f.title = "Velocity model selection";
  f.fileName = "*.NMO";
  dialogs.ChooseFileToOpen();
  path = f.fileName;
  state.form.SetText(kVelocityModelFile, path);
  return FileExists(path) == 1 ? path : std::string();
}

// Reads the CDP of 1-based trace numbers, remembering the last two reads:
// neighbouring columns share one trace, in either order.
class CdpReader {
 public:
  CdpReader(const std::string& path, int64_t traceBytes)
      : reader_(SuReader::Open(path)), traceBytes_(traceBytes) {}

  std::optional<int32_t> Cdp(int64_t trace) {
    for (const Entry& e : recent_)
      if (e.trace == trace && e.valid) return e.cdp;
    if (!reader_) return std::nullopt;
    auto cdp = reader_->ReadHeaderInt(trace - 1, traceBytes_, su::kCdp);
    if (!cdp) return std::nullopt;
    recent_[next_] = {trace, *cdp, true};
    next_ ^= 1;
    return cdp;
  }

 private:
  struct Entry {
    int64_t trace = 0;
    int32_t cdp = 0;
    bool valid = false;
  };
  std::optional<SuReader> reader_;
  int64_t traceBytes_;
  Entry recent_[2];
  int next_ = 0;
};

// One function's marker, box, header and rows at column centre x.
void DrawFunction(ProgramState& state, const VelocityTable& table, int function, double x,
                  double panelTop) {
  PageDocument& page = state.page;
  const double sectionTop = state.layout.SectionTop;
  auto row = [&](int r) { return table.At(function, r); };

  page.SetShapeX1(x);
  page.SetShapeY1(sectionTop);
  page.SetShapeX2(x);
  page.SetShapeY2(sectionTop - kMarkerHeight);
  page.DrawShape(1);

  int shown = 0;
  while (shown < kRowsShown && row(12 + shown) != 0) ++shown;
  auto boxX = ToInt32(x);
  auto boxY = ToInt32(panelTop);
  if (boxX && boxY)
    DrawPanelBox(page, *boxX, *boxY, kPanelWidth, kPanelHeaderHeight + kPanelRowHeight * shown);

  page.SetFontSize(7);
  page.SetFontBold(true);
  page.SetTextX(x + kTextIndent);
  page.SetTextY(panelTop + kHeaderTextDown);
  page.DrawText(kHeader);
  page.SetFontBold(false);

  // interval[j] belongs to the pick whose time is in row j; a pick whose
  // interval velocity cannot be computed shows none rather than a value
  // left over from another pick.
  std::array<std::optional<double>, kVelocityRows + 1> interval;
  interval[2] = row(12);
  for (int j = 3; j <= 9; ++j) {
    if (row(j) == 0) continue;
    double vt = 0;
    if (DIX(*state.dialogs, row(j + 9), row(j + 10), row(j - 1), row(j), vt)) interval[j] = vt;
  }

  for (int j = 2; j <= 9; ++j) {
    if (row(j + 10) == 0) continue;
    std::string text = VelocityNumberText(row(j)) + " " + VelocityNumberText(row(j + 10));
    if (interval[j]) {
      if (auto v = ToInt64(*interval[j])) text += " " + VelocityNumberText(*v);
    }
    page.SetTextX(x + kTextIndent);
    page.SetTextY(panelTop + kFirstRowDown + kRowStep * (j - 1));
    page.DrawText(text);
  }
}

}  // namespace

VelocityTable ReadVelocityTable(const std::string& path) {
  VelocityTable table;
  if (path.empty() || path.find('\0') != std::string::npos) return table;
  // Only a regular file: a FIFO or a device would wait for a writer forever.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenRegularFile(path), &std::fclose);
  if (!file) return table;

  int cell = 0;  // 0 .. 619, function by function
  std::string token;
  auto store = [&] {
    if (token.empty()) return;
    if (IsPlainNumber(token)) {
      if (auto v = ToInt32(LeadingNumber(token)))
        table.cells[cell / kVelocityRows][cell % kVelocityRows] = *v;
    }
    ++cell;
    token.clear();
  };
  constexpr int kCells = kVelocityFunctions * kVelocityRows;
  long read = 0;
  for (int c; cell < kCells && read < kMaxTableBytes && (c = std::fgetc(file.get())) != EOF; ++read) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') {
      store();
    } else if (token.size() < 64) {  // no number is longer; garbage stays garbage
      token.push_back(static_cast<char>(c));
    }
  }
  if (cell < kCells) store();
  return table;
}

std::string VelocityNumberText(int64_t value) {
  std::string text = SignedText(value);
  if (text.size() <= 4) text.insert(0, 10 - 2 * text.size(), ' ');
  return text;
}

bool DIX(Dialogs& dialogs, double V1, double V2, double T1, double T2, double& VT) {
  if (T1 > T2) {
    dialogs.MessageBox(" Times interval must be increasing...", msg::kExclamation, kDefaultTitle);
    return false;
  }
  const double numerator = V2 * V2 * T2 - V1 * V1 * T1;
  const double span = T2 - T1;
  const char* error = nullptr;  // worded as the runtime describes it
  double square = 0;
  if (span == 0) {
    error = numerator == 0 ? "Overflow" : "Division by zero";
  } else {
    square = numerator / span;
    if (!std::isfinite(square)) error = "Overflow";
    else if (square < 0) error = "Invalid procedure call or argument";
  }
  if (error) {
    dialogs.MessageBox(std::string(error) + "\r\n This low velocity is impossible...",
                       msg::kExclamation, kDefaultTitle);
    return false;
  }
  VT = std::floor(std::sqrt(square));
  return true;
}

void DrawPanelBox(PageDocument& page, int32_t x, int32_t y, int32_t width, int32_t height) {
  const double left = x;
  const double top = y;
  const double right = left + width;
  const double bottom = top + height;
  const double points[] = {left, top, right, top, right, bottom, left, bottom};
  page.DrawPolygon(std::span<const double>(points));
  page.SetShapeX1(left);
  page.SetShapeY1(top + kHeaderRule);
  page.SetShapeX2(right);
  page.SetShapeY2(top + kHeaderRule);
  page.DrawShape(1);
}

void Affichage_model_vitesse(ProgramState& state) {
  PageDocument& page = state.page;
  PlotLayout& layout = state.layout;
  if (auto top = ToInt32(state.form.Number(kSectionTopMm) * kTwipsPerMm + page.TopMargin()))
    layout.SectionTop = *top;

  std::string path = ChooseVelocityFile(state);
  if (path.empty()) return;
  if (!EndsWithVel(path)) {
    Conversion_NMO(state);
    path = state.form.Text(kVelocityModelFile);
    if (!EndsWithVel(path)) return;  // no function in the pick file: nothing to draw
  }
  const VelocityTable table = ReadVelocityTable(path);

  const std::string fontName = page.font().name;
  page.SetFontName("Arial");

  CdpReader cdps(state.su.ActiveFilePath, state.su.TraceBytes());
  const double panelTop = static_cast<double>(layout.SectionTop) - kPanelAboveSection;
  const bool inverse = state.form.Checked(kInverseTraces);
  const double left = page.LeftMargin();
  const int64_t columns = layout.ColumnCount();
  for (int64_t k = 0; k < columns; ++k) {
    // A function belongs to the trace s with cdp(s) <= CDP < cdp(s + 1),
    // trace s + 1 being the next trace in the file. In normal order the
    // last column has no next trace on the plot, so nothing is drawn there;
    // in inverse order the last plotted trace stands at the first column and
    // its next trace may well be in the file. Nothing is drawn where a header
    // cannot be read, trace s + 1 beyond the file included (a value left
    // from another column would draw a function twice).
    const int64_t trace = layout.TraceInColumn(k, inverse);
    if (!inverse && trace >= layout.LastTrace) continue;
    const auto cdpHere = cdps.Cdp(trace);
    const auto cdpNext = cdps.Cdp(trace + 1);
    if (!cdpHere || !cdpNext) continue;
    for (int i = 1; i <= kVelocityFunctions; ++i) {
      const int32_t cdp = table.At(i, 1);
      if (cdp != 0 && cdp >= *cdpHere && cdp < *cdpNext)
        DrawFunction(state, table, i, layout.ColumnCentre(left, k), panelTop);
    }
  }
  page.SetFontName(fontName);
}

}  // namespace tavelo
