// bench_replay: the preview's redraw, timed. Reads a page dump (as written
// by `tavelo --export ... --dump FILE`), records it on a PageDocument and
// replays it into an image the size of a window, as the preview does.
//
//   bench_replay DUMP [--size WIDTHxHEIGHT] [--dpi DPI [--origin X,Y]]
//                [--repeat N] [--save IMAGE] [--reference] [--index]
//
// --dpi draws the paper at that resolution: into an image of the whole
// paper, or with --size into a window on it whose top-left corner lies at
// pixel X,Y of the paper (as the zoomed preview draws). --save writes the
// last replay; --reference draws it through the painter alone, without the
// replay's own hairline writer, to compare the two pictures; --index keeps a
// ReplayIndex over the repeats, as the preview and the PNG bands do (the
// first replay fills it, the others pass over the ops beside the window).
// Prints one line:
// "first FIRST_MS median MEDIAN_MS bytes RECORDED_BYTES".
//
//   bench_replay DUMP --preview [--size WIDTHxHEIGHT] [--repeat N]
//
// times the preview widget itself, the page fitted in a view of that size:
// its first paint until the picture is shown (a replay; in the background
// for a page slow to replay, whose first paint, timed as "sheet", shows the
// sheet white), a redraw (from its cached picture), a paint while the view
// is being resized (the cached picture scaled) and the paint once the exact
// picture at the new size is there (replayed in the background; "-" for a
// page that replays fast enough to be replayed at every size), and how long
// after the last resize that picture was ready. Before the resizes it waits
// for the zoom levels next to the fitted page's, which the widget draws in
// the background once the picture is there ("levels": how long they took).
// Last, the view is changed to three quarters of its size, beyond those
// levels, and "far" is how long after it the exact picture was ready ("-"
// when it was at once). Prints "first MS redraw MS resizing MS settled MS
// ready MS bytes RECORDED_BYTES sheet MS levels MS far MS".
//
//   bench_replay DUMP --preview --zoom PERCENT [--size WIDTHxHEIGHT] [--repeat N]
//
// times scrolling the preview at that zoom: its first paint at the page's
// top-left corner, then N steps of the scroll bar's single step down and N
// across, each step's paint timed. Prints "first MS step MEDIAN_MS max
// MAX_MS steps N bytes RECORDED_BYTES".
//
//   bench_replay DUMP --preview --zoom PERCENT --rezoom PERCENT [--size WIDTHxHEIGHT]
//
// times a change of zoom: the first paint at --zoom, the paint right after
// the change to --rezoom (the last zoom's picture scaled, on a page slow to
// replay), the exact picture once the change pauses, and the paint back at
// --zoom (its tiles composed). Prints "first MS zoomed MS exact MS back MS
// bytes RECORDED_BYTES" ("back MS (scaled)" when it was not exact at once).
//
//   bench_replay DUMP --png-trade --dpi DPI
//
// replays the whole paper at that resolution once and encodes the picture
// as a PNG with zlib at several levels and row filters (the export's
// encoder), and with Qt's own PNG writer: one line "LEVEL FILTER SECONDS
// MEGABYTES" each.

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "output/painter_replay.h"
#include "output/png_encoder.h"
#include "output/replay_index.h"
#include "page/dump_reader.h"
#include "page/page_document.h"
#include "ui/preview_widget.h"

namespace {

using tavelo::PageDocument;

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// One paint of the widget, timed.
double TimedPaint(tavelo::PreviewWidget& preview) {
  const auto start = std::chrono::steady_clock::now();
  preview.grab();
  return Milliseconds(std::chrono::steady_clock::now() - start);
}

// Runs the event loop while `busy()` holds (up to `limitMs`), looking every
// millisecond.
template <typename Busy>
void WaitWhile(Busy busy, int limitMs) {
  QElapsedTimer wait;
  wait.start();
  while (busy() && wait.elapsed() < limitMs) {
    QEventLoop loop;
    QTimer::singleShot(1, &loop, &QEventLoop::quit);
    loop.exec();
  }
}

// Waits (up to 10 s) for the preview to replay a scaled picture.
void WaitForExactPicture(tavelo::PreviewWidget& preview) {
  WaitWhile([&preview] { return preview.AwaitsExactPicture(); }, 10000);
}

// Waits (up to 20 s) for the tiles the preview reads ahead.
void WaitForReadAhead(tavelo::PreviewWidget& preview) {
  WaitWhile([&preview] { return preview.ReadsAhead(); }, 20000);
}

// The first paint of a new page until its picture is shown: a page slow
// to replay is drawn in the background, its first paint a white sheet
// (its time in `sheet`).
double FirstPicture(tavelo::PreviewWidget& preview, double* sheet = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  const double paint = TimedPaint(preview);
  if (sheet) *sheet = paint;
  if (!preview.AwaitsExactPicture()) return paint;
  WaitForExactPicture(preview);
  preview.grab();
  return Milliseconds(std::chrono::steady_clock::now() - start);
}

int MeasurePreview(const PageDocument& page, int width, int height, int repeat) {
  tavelo::PreviewWidget preview(page);
  // Hidden, so that every paint is the one timed here (grab paints it).
  preview.resize(width, height);
  double sheet = 0;
  const double first = FirstPicture(preview, &sheet);
  std::vector<double> redraws;
  for (int i = 0; i < repeat; ++i) redraws.push_back(TimedPaint(preview));
  // The levels next to the fitted page's own, drawn in the background once
  // its picture is there (a user looks at the page before dragging the
  // window's edge).
  const auto shown = std::chrono::steady_clock::now();
  WaitForReadAhead(preview);
  const double levels = Milliseconds(std::chrono::steady_clock::now() - shown);
  // A window edge dragged: a few pixels smaller at every step.
  std::vector<double> resizing;
  for (int i = 1; i <= repeat; ++i) {
    preview.resize(width - 4 * i, height - 3 * i);
    QApplication::processEvents();
    resizing.push_back(TimedPaint(preview));
  }
  const auto lastChange = std::chrono::steady_clock::now();
  const bool scaled = preview.AwaitsExactPicture();
  WaitForExactPicture(preview);
  const double ready = Milliseconds(std::chrono::steady_clock::now() - lastChange);
  const double settled = TimedPaint(preview);
  // A page that replays fast is replayed at every size: nothing waits.
  char settledText[32] = "-", readyText[32] = "-", farText[32] = "-";
  if (scaled) {
    std::snprintf(settledText, sizeof settledText, "%.1f", settled);
    std::snprintf(readyText, sizeof readyText, "%.1f", ready);
  }
  // A larger change, beyond the levels drawn ahead: the view at three
  // quarters of its size.
  WaitForReadAhead(preview);
  preview.resize(width * 3 / 4, height * 3 / 4);
  QApplication::processEvents();
  TimedPaint(preview);
  const auto farChange = std::chrono::steady_clock::now();
  if (preview.AwaitsExactPicture()) {
    WaitForExactPicture(preview);
    std::snprintf(farText, sizeof farText, "%.1f", Milliseconds(std::chrono::steady_clock::now() - farChange));
  }
  std::printf("first %.1f redraw %.1f resizing %.1f settled %s ready %s bytes %llu sheet %.1f levels %.1f far %s\n",
              first, Median(redraws), Median(resizing), settledText, readyText,
              static_cast<unsigned long long>(page.RecordedBytes()), sheet, levels, farText);
  return 0;
}

int MeasureScroll(const PageDocument& page, int width, int height, int zoom, int repeat) {
  tavelo::PreviewWidget preview(page);
  preview.resize(width, height);
  preview.SetZoomPercent(zoom);
  QApplication::processEvents();
  const double first = FirstPicture(preview);
  std::vector<double> steps;
  for (QScrollBar* bar : {preview.verticalScrollBar(), preview.horizontalScrollBar()}) {
    for (int i = 0; i < repeat && bar->value() < bar->maximum(); ++i) {
      bar->setValue(bar->value() + bar->singleStep());
      steps.push_back(TimedPaint(preview));
    }
  }
  const double worst = steps.empty() ? 0 : *std::max_element(steps.begin(), steps.end());
  if (std::getenv("BENCH_STEPS")) {  // every step, to see which ones are slow
    for (const double step : steps) std::fprintf(stderr, "%.1f ", step);
    std::fprintf(stderr, "\n");
  }
  std::printf("first %.1f step %.1f max %.1f steps %zu bytes %llu\n", first, Median(steps), worst, steps.size(),
              static_cast<unsigned long long>(page.RecordedBytes()));
  return 0;
}

int MeasureRezoom(const PageDocument& page, int width, int height, int zoom, int rezoom) {
  tavelo::PreviewWidget preview(page);
  preview.resize(width, height);
  preview.SetZoomPercent(zoom);
  QApplication::processEvents();
  const double first = FirstPicture(preview);
  preview.SetZoomPercent(rezoom);
  const double zoomed = TimedPaint(preview);
  WaitForExactPicture(preview);
  const double exact = TimedPaint(preview);
  preview.SetZoomPercent(zoom);
  const double back = TimedPaint(preview);
  std::printf("first %.1f zoomed %.1f exact %.1f back %.1f%s bytes %llu\n", first, zoomed, exact, back,
              preview.AwaitsExactPicture() ? " (scaled)" : "", static_cast<unsigned long long>(page.RecordedBytes()));
  return 0;
}

// Rows as PNG samples (RGB), each behind its filter byte: 0 none, 1 the
// left neighbour, 2 the row above.
std::vector<uint8_t> FilteredRows(const QImage& image, int filter) {
  const int w = image.width();
  const size_t rowBytes = 1 + 3 * static_cast<size_t>(w);
  std::vector<uint8_t> out(rowBytes * static_cast<size_t>(image.height()));
  std::vector<uint8_t> row(3 * static_cast<size_t>(w)), above(row.size(), 0);
  for (int y = 0; y < image.height(); ++y) {
    const auto* pixel = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<uint8_t>(qRed(pixel[x]));
      row[3 * x + 1] = static_cast<uint8_t>(qGreen(pixel[x]));
      row[3 * x + 2] = static_cast<uint8_t>(qBlue(pixel[x]));
    }
    uint8_t* o = out.data() + rowBytes * static_cast<size_t>(y);
    *o++ = static_cast<uint8_t>(filter);
    for (size_t i = 0; i < row.size(); ++i) {
      const uint8_t reference = filter == 1 ? (i >= 3 ? row[i - 3] : 0) : filter == 2 ? above[i] : 0;
      o[i] = static_cast<uint8_t>(row[i] - reference);
    }
    above.swap(row);
  }
  return out;
}

int MeasurePngTrade(const PageDocument& page, double dpi) {
  const int w = static_cast<int>(std::lround(page.PageWidth() / 1440 * dpi));
  const int h = static_cast<int>(std::lround(page.PageHeight() / 1440 * dpi));
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    tavelo::ReplayPage(page, painter, QRectF(0, 0, w, h));
  }
  const char* names[] = {"none", "sub", "up"};
  for (int level : {1, 2, 3, 6}) {
    for (int filter : {0, 1, 2}) {
      const auto start = std::chrono::steady_clock::now();
      const std::vector<uint8_t> rows = FilteredRows(image, filter);
      size_t bytes = 0;
      tavelo::PngEncoder encoder(
          [&bytes](std::string_view piece) {
            bytes += piece.size();
            return true;
          },
          level);
      if (!encoder.Begin(w, h, tavelo::PngEncoder::Kind::Rgb) || !encoder.Add(rows.data(), rows.size()) ||
          !encoder.Finish())
        return 1;
      const double seconds = Milliseconds(std::chrono::steady_clock::now() - start) / 1000;
      std::printf("%d %s %.2f %.1f\n", level, names[filter], seconds, bytes / 1048576.0);
    }
  }
  QByteArray qt;
  QBuffer buffer(&qt);
  buffer.open(QIODevice::WriteOnly);
  const auto start = std::chrono::steady_clock::now();
  image.save(&buffer, "PNG");
  std::printf("qt default %.2f %.1f\n", Milliseconds(std::chrono::steady_clock::now() - start) / 1000,
              qt.size() / 1048576.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dump, save;
  int width = 1280, height = 800, repeat = 10, zoom = 0, rezoom = 0;
  double dpi = 0;
  bool sized = false, indexed = false, reference = false, preview = false, pngTrade = false;
  int originX = 0, originY = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--size" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2) return 2;
      sized = true;
    } else if (arg == "--origin" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%d,%d", &originX, &originY) != 2) return 2;
    } else if (arg == "--preview") {
      preview = true;
    } else if (arg == "--zoom" && i + 1 < argc) {
      zoom = std::atoi(argv[++i]);
      if (zoom < 1 || zoom > 1000) return 2;
    } else if (arg == "--rezoom" && i + 1 < argc) {
      rezoom = std::atoi(argv[++i]);
      if (rezoom < 1 || rezoom > 1000) return 2;
    } else if (arg == "--png-trade") {
      pngTrade = true;
    } else if (arg == "--index") {
      indexed = true;
    } else if (arg == "--reference") {
      reference = true;
    } else if (arg == "--dpi" && i + 1 < argc) {
      dpi = std::atof(argv[++i]);
      if (!(dpi > 0 && dpi <= 2400)) return 2;
    } else if (arg == "--save" && i + 1 < argc) {
      save = argv[++i];
    } else if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      dump = arg;
    }
  }
  if (dump.empty() || width < 1 || height < 1) {
    std::cerr << "usage: bench_replay DUMP [--size WIDTHxHEIGHT] [--dpi DPI [--origin X,Y]] [--repeat N]"
                 " [--save IMAGE] [--reference] [--index]\n"
                 "       bench_replay DUMP --preview [--zoom PERCENT [--rezoom PERCENT]] [--size WIDTHxHEIGHT]"
                 " [--repeat N]\n";
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  PageDocument page;
  std::string error;
  if (!tavelo::ReadDumpFile(dump, page, &error)) {
    std::cerr << "bench_replay: " << error << "\n";
    return 1;
  }
  if (preview && zoom > 0 && rezoom > 0) return MeasureRezoom(page, width, height, zoom, rezoom);
  if (preview && zoom > 0) return MeasureScroll(page, width, height, zoom, repeat);
  if (preview) return MeasurePreview(page, width, height, repeat);
  if (pngTrade) return MeasurePngTrade(page, dpi > 0 ? dpi : 150);
  const double paperWidth = dpi > 0 ? page.PageWidth() / 1440 * dpi : width;
  const double paperHeight = dpi > 0 ? page.PageHeight() / 1440 * dpi : height;
  if (dpi > 0 && !sized) {
    width = static_cast<int>(std::lround(paperWidth));
    height = static_cast<int>(std::lround(paperHeight));
  }
  if (dpi > 0) {
    if (width < 1 || height < 1 || static_cast<double>(width) * height > 4e8) {
      std::cerr << "bench_replay: the paper is too large at " << dpi << " dpi\n";
      return 2;
    }
  }

  // As the preview paints: white paper, antialiased, the page fitted in.
  // The replay writes hairlines itself into premultiplied 32-bit images
  // only; the plain ARGB format leaves all drawing to the painter.
  QImage image(width, height, reference ? QImage::Format_ARGB32 : QImage::Format_ARGB32_Premultiplied);
  std::vector<double> times;
  tavelo::ReplayIndex index;  // with --index: filled by the first replay, used by the others
  for (int i = 0; i <= repeat; ++i) {
    const auto start = std::chrono::steady_clock::now();
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(-originX, -originY);
    tavelo::ReplayPage(page, painter, QRectF(0, 0, paperWidth, paperHeight), indexed ? &index : nullptr);
    painter.end();
    times.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
  }
  if (!save.empty() && !image.save(QString::fromStdString(save))) {
    std::cerr << "bench_replay: cannot write " << save << "\n";
    return 1;
  }
  const double first = times.front();
  std::vector<double> rest(times.begin() + 1, times.end());
  std::sort(rest.begin(), rest.end());
  std::printf("first %.1f median %.1f bytes %llu\n", first, rest[rest.size() / 2],
              static_cast<unsigned long long>(page.RecordedBytes()));
  return 0;
}
