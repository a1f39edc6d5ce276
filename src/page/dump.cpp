// The display-list text dump: one operation a line, numbers in their
// shortest exact form, so a golden file compares byte for byte.

#include <string>

#include "common/numeric.h"
#include "page/page_document.h"
#include "page/page_replay.h"

namespace tavelo {

namespace {

void AppendNumber(std::string& out, double value) {
  out += ' ';
  out += ShortestText(value);
}

void AppendInteger(std::string& out, int64_t value) {
  out += ' ';
  out += IntegerText(value);
}

// A text on one dump line: "\" doubled, every line break (CR LF, lone CR,
// lone LF) written as "\n".
void AppendEscaped(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r') {
      out += "\\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
}

// One dump line an op.
class DumpSink final : public PageSink {
 public:
  explicit DumpSink(std::string& out) : out_(out) {}

  void Font(const FontState& font) override {
    out_ += "font ";
    out_ += font.name;
    out_ += '|';
    out_ += ShortestText(font.size);
    out_ += font.bold ? "|1\n" : "|0\n";
  }
  void Pen(const PenState& pen) override {
    out_ += "pen";
    AppendInteger(out_, pen.color);
    AppendNumber(out_, pen.width);
    out_ += '\n';
  }
  void Brush(const BrushState& brush) override {
    out_ += "brush";
    AppendInteger(out_, brush.color);
    AppendInteger(out_, brush.style);
    out_ += '\n';
  }
  void Text(const TextMark& text) override {
    out_ += "text";
    AppendNumber(out_, text.x);
    AppendNumber(out_, text.y);
    out_ += ' ';
    AppendEscaped(out_, text.text);
    out_ += '\n';
  }
  void Line(const LineMark& line) override {
    out_ += "line";
    for (double v : {line.x1, line.y1, line.x2, line.y2}) AppendNumber(out_, v);
    out_ += '\n';
  }
  void Polyline(PointsMark& points) override { AppendPoints("polyline ", points); }
  void Polygon(PointsMark& points) override { AppendPoints("polygon ", points); }
  void Cells(CellsMark& cells) override {
    out_ += "cells";
    for (double v : {cells.x, cells.y, cells.width, cells.cellHeight}) AppendNumber(out_, v);
    for (Color c : cells.Colors()) AppendInteger(out_, c);
    out_ += '\n';
  }

 private:
  void AppendPoints(const char* word, PointsMark& points) {
    out_ += word;
    for (float v : points.Points()) AppendPointText(out_, v);
    out_ += '\n';
  }
  std::string& out_;
};

}  // namespace

std::string DumpPage(const PageDocument& page) {
  std::string out = "page";
  AppendNumber(out, page.PageWidth());
  AppendNumber(out, page.PageHeight());
  AppendNumber(out, page.LeftMargin());
  AppendNumber(out, page.TopMargin());
  out += '\n';
  DumpSink sink(out);
  Replay(page, sink);
  return out;
}

}  // namespace tavelo
