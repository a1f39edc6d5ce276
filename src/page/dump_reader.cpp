#include "page/dump_reader.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>
#include <vector>

#include "page/page_document.h"

namespace tavelo {

namespace {

// Fields of one dump line, read left to right; the first fault is kept.
class Fields {
 public:
  explicit Fields(std::string_view text) : text_(text) {}

  // One blank, then a number in the dump's form.
  double Number() {
    double value = 0;
    Parse(value);
    return value;
  }

  int64_t Integer(int64_t low, int64_t high) {
    int64_t value = 0;
    if (Parse(value) && (value < low || value > high)) Refuse("number out of range");
    return value;
  }

  bool AtEnd() const { return pos_ == text_.size(); }
  std::string_view Rest() const { return text_.substr(pos_); }
  void SkipBlank() {
    if (!Expect(' ')) Refuse("blank expected");
  }
  bool Expect(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  void Refuse(const char* reason) {
    if (!fault_) fault_ = reason;
  }
  const char* Fault() const { return fault_; }
  void RequireEnd() {
    if (!AtEnd()) Refuse("more than the line holds");
  }

 private:
  template <typename T>
  bool Parse(T& value) {
    if (fault_) return false;
    SkipBlank();
    if (fault_) return false;
    const char* begin = text_.data() + pos_;
    const char* end = text_.data() + text_.size();
    const auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || (stop < end && *stop != ' ')) {
      Refuse("not a number");
      return false;
    }
    pos_ += static_cast<size_t>(stop - begin);
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
  const char* fault_ = nullptr;
};

// Point-list numbers as AppendPointText writes them: a blank before a
// value that is not negative, its minus sign otherwise.
bool ReadPoints(std::string_view text, std::vector<double>& xy) {
  xy.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == ' ') ++pos;
    else if (text[pos] != '-') return false;
    double value = 0;
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || !std::isfinite(value) || (stop < end && *stop != ' ' && *stop != '-')) return false;
    xy.push_back(value);
    pos += static_cast<size_t>(stop - begin);
  }
  return !xy.empty() && xy.size() % 2 == 0;
}

// The dump's escapes undone: "\\" is a backslash, "\n" a line break.
bool Unescape(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    if (text[i] == 'n') out += "\r\n";
    else if (text[i] == '\\') out += '\\';
    else return false;
  }
  return true;
}

constexpr int64_t kColorLow = std::numeric_limits<Color>::min();
constexpr int64_t kColorHigh = std::numeric_limits<Color>::max();
constexpr int64_t kIntLow = std::numeric_limits<int>::min();
constexpr int64_t kIntHigh = std::numeric_limits<int>::max();

class DumpReader {
 public:
  explicit DumpReader(PageDocument& page) : page_(page) {}

  // Records one line; the reason it is refused, else null.
  const char* Line(std::string_view line, bool first) {
    const size_t space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    Fields fields(space == std::string_view::npos ? std::string_view() : line.substr(space));
    if (first != (word == "page")) return first ? "the dump must start with its page line" : "a second page line";
    if (word == "page") ReadPage(fields);
    else if (word == "font") ReadFont(fields);
    else if (word == "pen") ReadPen(fields);
    else if (word == "brush") ReadBrush(fields);
    else if (word == "text") ReadText(fields);
    else if (word == "line") ReadLine(fields);
    else if (word == "polyline" || word == "polygon") ReadPointList(fields, word == "polygon");
    else if (word == "cells") ReadCells(fields);
    else return "unknown line";
    return fields.Fault();
  }

 private:
  void ReadPage(Fields& f) {
    const double width = f.Number(), height = f.Number(), left = f.Number(), top = f.Number();
    f.RequireEnd();
    if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height))
      f.Refuse("no usable paper size");
    page_.SetPaperSize(width, height);
    page_.SetLeftMargin(left);
    page_.SetTopMargin(top);
  }

  // "font NAME|SIZE|BOLD"; the name may itself hold "|".
  void ReadFont(Fields& f) {
    f.SkipBlank();
    const std::string_view rest = f.Rest();
    const size_t b = rest.rfind('|');
    const size_t a = b == std::string_view::npos || b == 0 ? std::string_view::npos : rest.rfind('|', b - 1);
    if (a == std::string_view::npos) return f.Refuse("font without size and weight");
    const std::string_view bold = rest.substr(b + 1);
    if (bold != "0" && bold != "1") return f.Refuse("font weight is not 0 or 1");
    const std::string sizeText = " " + std::string(rest.substr(a + 1, b - a - 1));
    Fields size(sizeText);
    const double points = size.Number();
    size.RequireEnd();
    if (size.Fault()) return f.Refuse("font size is not a number");
    page_.SetFontName(std::string(rest.substr(0, a)));
    page_.SetFontSize(points);
    page_.SetFontBold(bold == "1");
  }

  void ReadPen(Fields& f) {
    const auto color = static_cast<Color>(f.Integer(kColorLow, kColorHigh));
    const double width = f.Number();
    f.RequireEnd();
    page_.SetPenColor(color);
    page_.SetPenWidth(width);
  }

  void ReadBrush(Fields& f) {
    const auto color = static_cast<Color>(f.Integer(kColorLow, kColorHigh));
    const auto style = static_cast<int>(f.Integer(kIntLow, kIntHigh));
    f.RequireEnd();
    page_.SetBrushColor(color);
    page_.SetBrushStyle(style);
  }

  void ReadText(Fields& f) {
    const double x = f.Number(), y = f.Number();
    f.SkipBlank();
    if (f.Fault()) return;
    if (!Unescape(f.Rest(), text_)) return f.Refuse("unknown escape in the text");
    page_.SetTextX(x);
    page_.SetTextY(y);
    page_.DrawText(text_);
  }

  void ReadLine(Fields& f) {
    const double x1 = f.Number(), y1 = f.Number(), x2 = f.Number(), y2 = f.Number();
    f.RequireEnd();
    if (!f.Fault()) page_.DrawLine(x1, y1, x2, y2);
  }

  void ReadPointList(Fields& f, bool polygon) {
    f.SkipBlank();
    if (f.Fault()) return;
    if (!ReadPoints(f.Rest(), xy_)) return f.Refuse("not a list of points");
    if (polygon) page_.DrawPolygon(std::span<const double>(xy_));
    else page_.DrawPolyline(std::span<const double>(xy_));
  }

  void ReadCells(Fields& f) {
    const double x = f.Number(), y = f.Number(), width = f.Number(), cellHeight = f.Number();
    colors_.clear();
    while (!f.AtEnd() && !f.Fault()) colors_.push_back(static_cast<Color>(f.Integer(kColorLow, kColorHigh)));
    if (colors_.empty()) f.Refuse("cells without colours");
    if (!f.Fault()) page_.DrawCells(x, y, width, cellHeight, colors_);
  }

  PageDocument& page_;
  std::string text_;
  std::vector<double> xy_;
  std::vector<Color> colors_;
};

}  // namespace

bool ReadDump(std::string_view dump, PageDocument& page, std::string* error) {
  page.BeginDocument();
  DumpReader reader(page);
  size_t lineNumber = 0;
  size_t pos = 0;
  while (pos < dump.size()) {
    size_t end = dump.find('\n', pos);
    if (end == std::string_view::npos) end = dump.size();
    ++lineNumber;
    if (const char* fault = reader.Line(dump.substr(pos, end - pos), lineNumber == 1)) {
      page.DiscardDocument();
      if (error) *error = "line " + std::to_string(lineNumber) + ": " + fault;
      return false;
    }
    pos = end + 1;
  }
  if (lineNumber == 0) {
    page.DiscardDocument();
    if (error) *error = "the dump is empty";
    return false;
  }
  page.EndDocument();
  return true;
}

bool ReadDumpFile(const std::string& path, PageDocument& page, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  if (!ReadDump(text.str(), page, error)) {
    if (error) *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace tavelo
