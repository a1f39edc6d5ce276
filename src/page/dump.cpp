// The display-list text dump: one operation a line, numbers in their
// shortest exact form, so a golden file compares byte for byte.

#include <string>

#include "common/numeric.h"
#include "page/page_document.h"

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

void AppendPoints(std::string& out, const std::vector<float>& points) {
  for (float v : points) AppendPointText(out, v);
}

}  // namespace

std::string DumpPage(const PageDocument& page) {
  std::string out = "page";
  AppendNumber(out, page.PageWidth());
  AppendNumber(out, page.PageHeight());
  AppendNumber(out, page.LeftMargin());
  AppendNumber(out, page.TopMargin());
  out += '\n';

  const auto& fonts = page.fonts();
  const auto& pens = page.pens();
  const auto& brushes = page.brushes();
  const auto& texts = page.texts();
  std::vector<float> points;
  std::vector<Color> colors;
  for (const PageOp& op : page.ops()) {
    switch (op.kind) {
      case OpKind::Font:
        if (op.index >= fonts.size()) continue;
        out += "font ";
        out += fonts[op.index].name;
        out += '|';
        out += ShortestText(fonts[op.index].size);
        out += fonts[op.index].bold ? "|1" : "|0";
        break;
      case OpKind::Pen:
        if (op.index >= pens.size()) continue;
        out += "pen";
        AppendInteger(out, pens[op.index].color);
        AppendNumber(out, pens[op.index].width);
        break;
      case OpKind::Brush:
        if (op.index >= brushes.size()) continue;
        out += "brush";
        AppendInteger(out, brushes[op.index].color);
        AppendInteger(out, brushes[op.index].style);
        break;
      case OpKind::Text:
        if (op.index >= texts.size()) continue;
        out += "text";
        AppendNumber(out, op.x);
        AppendNumber(out, op.y);
        out += ' ';
        AppendEscaped(out, texts[op.index]);
        break;
      case OpKind::Line:
        out += "line";
        AppendNumber(out, op.x);
        AppendNumber(out, op.y);
        AppendNumber(out, op.x2);
        AppendNumber(out, op.y2);
        break;
      case OpKind::Polyline:
      case OpKind::Polygon:
        out += op.kind == OpKind::Polyline ? "polyline " : "polygon ";
        page.PointsOf(op, points);
        AppendPoints(out, points);
        break;
      case OpKind::Cells: {
        out += "cells";
        AppendNumber(out, op.x);
        AppendNumber(out, op.y);
        AppendNumber(out, op.x2);
        AppendNumber(out, op.y2);
        page.CellColorsOf(op, colors);
        for (Color c : colors) AppendInteger(out, c);
        break;
      }
    }
    out += '\n';
  }
  return out;
}

}  // namespace tavelo
