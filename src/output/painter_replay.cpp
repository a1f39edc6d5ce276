#include "output/painter_replay.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>

#include "output/painter_state.h"
#include "output/pixel_canvas.h"
#include "output/replay_index.h"
#include "output/replayer.h"
#include "page/page_document.h"

namespace tavelo {

namespace {

using replay::EnsureArialSubstitute;
using replay::MakeFont;
using replay::PixelCanvas;
using replay::Replayer;
using replay::TextFont;

// An image this wide or wider is replayed in two halves side by side, one
// on each core, when the replay writes its pixels itself.
constexpr int kHalvesFromWidth = 512;

// The left and right halves of `pixelClip`, each replayed by its own painter
// on its own view of the image's pixels, the right one on a second thread.
// Every mark and every painter call depends on its pixel alone, so the
// halves together make the picture of one pass; ops whose box (kept by the
// page) misses a half are passed over there undecoded. Only where the replay writes the pixels
// itself: a shape the painter draws costs each half the whole of its outline
// (an image too large for the pixel writer, a PNG export, is drawn by the
// painter in one pass). False (nothing drawn) where this does not apply.
// TAVELO_REPLAY_THREADS=1 keeps the replay on the calling thread.
// `whole` is false when `stop` ended either half.
bool ReplayInHalves(const PageDocument& page, QPainter& painter, const QRect& pixelClip, const ReplayIndex* index,
                    ReplayIndex* filling, const std::atomic<bool>* stop, bool& whole) {
  if (pixelClip.width() < kHalvesFromWidth || std::thread::hardware_concurrency() < 2 ||
      qEnvironmentVariableIntValue("TAVELO_REPLAY_THREADS") == 1)
    return false;
  QImage* image = Replayer::PixelImage(painter, pixelClip);
  if (!image) return false;
  const QRect clip = pixelClip & image->rect();
  if (static_cast<double>(clip.width()) * clip.height() > PixelCanvas::kMaxPixels) return false;
  const int middle = clip.left() + clip.width() / 2;
  const QRect halves[2] = {QRect(clip.topLeft(), QPoint(middle - 1, clip.bottom())),
                           QRect(QPoint(middle, clip.top()), clip.bottomRight())};
  // The views draw in the image's device pixels: its own scaling (a
  // high-dpi preview) goes into their transform.
  const QTransform toDevice = painter.deviceTransform();
  const QPainter::RenderHints hints = painter.renderHints();
  uchar* bits = image->bits();
  const auto replayHalf = [&](const QRect& half, ReplayIndex* fills) -> bool {
    QImage view(bits, image->width(), image->height(), image->bytesPerLine(), image->format());
    view.setDotsPerMeterX(image->dotsPerMeterX());
    view.setDotsPerMeterY(image->dotsPerMeterY());
    QPainter halfPainter(&view);
    halfPainter.setRenderHints(hints);
    halfPainter.setClipRect(half);
    halfPainter.setWorldTransform(toDevice);
    return Replayer(page, halfPainter, half, index, fills, stop).Run();
  };
  // The right half notes the stretches of the traces it decodes on its own;
  // they join the filled index once both halves are done.
  ReplayIndex rightStretches;
  if (filling) rightStretches.Begin(page);
  std::exception_ptr failure;
  bool rightWhole = false, leftWhole = false;
  std::thread right([&] {
    try {
      rightWhole = replayHalf(halves[1], filling ? &rightStretches : nullptr);
    } catch (...) {
      failure = std::current_exception();
    }
  });
  try {
    leftWhole = replayHalf(halves[0], filling);
  } catch (...) {
    right.join();
    throw;
  }
  right.join();
  if (failure) std::rethrow_exception(failure);
  whole = leftWhole && rightWhole;
  if (filling && whole) filling->AdoptStretches(std::move(rightStretches));
  return true;
}

}  // namespace

TextLineMetrics ReplayTextMetrics(const FontState& font, double dpi) {
  EnsureArialSubstitute();
  QImage device(1, 1, QImage::Format_RGB32);
  if (std::isfinite(dpi) && dpi > 0 && dpi < 1e6) {
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    device.setDotsPerMeterX(dotsPerMeter);
    device.setDotsPerMeterY(dotsPerMeter);
  }
  const TextFont made = MakeFont(font, &device);
  return {made.ascent, made.lineSpacing};
}

void ReplayPage(const PageDocument& page, QPainter& painter, const QRectF& targetRect, ReplayIndex* index,
                const std::atomic<bool>* stop) {
  const double pageWidth = page.PageWidth();
  const double pageHeight = page.PageHeight();
  if (!(pageWidth > 0) || !(pageHeight > 0) || !std::isfinite(pageWidth) || !std::isfinite(pageHeight))
    return;
  if (!(targetRect.width() > 0) || !(targetRect.height() > 0)) return;
  const double scale = std::min(targetRect.width() / pageWidth, targetRect.height() / pageHeight);
  if (!(scale > 0) || !std::isfinite(scale)) return;

  EnsureArialSubstitute();
  painter.save();
  painter.translate(targetRect.x() + (targetRect.width() - pageWidth * scale) / 2,
                    targetRect.y() + (targetRect.height() - pageHeight * scale) / 2);
  painter.scale(scale, scale);
  // The hairlines' own pixel writer needs the clip to be the paper alone.
  const bool callerClipped = painter.hasClipping();
  painter.setClipRect(QRectF(0, 0, pageWidth, pageHeight), Qt::IntersectClip);
  QRect pixelClip;
  const QRectF paper = painter.deviceTransform().mapRect(QRectF(0, 0, pageWidth, pageHeight));
  if (!callerClipped && std::isfinite(paper.left()) && std::isfinite(paper.top()) && std::isfinite(paper.right()) &&
      std::isfinite(paper.bottom())) {
    // The pixels the painter's own clip keeps: whole pixels between the
    // paper's rounded edges.
    const double limit = 1e8;
    const auto edge = [limit](double v) { return static_cast<int>(std::lround(std::clamp(v, -limit, limit))); };
    pixelClip = QRect(QPoint(edge(paper.left()), edge(paper.top())),
                      QPoint(edge(paper.right()) - 1, edge(paper.bottom()) - 1));
  }
  // An index of this page is used; any other is filled by this replay,
  // which has the page's boxes of its ops from the start. Without one the
  // replay still passes over ops by the page's boxes (an index of its own,
  // left unfilled).
  ReplayIndex own;
  ReplayIndex* filling = index && !index->Describes(page) ? index : nullptr;
  if (filling) filling->Begin(page);
  if (!index) {
    own.Begin(page);
    index = &own;
  }
  bool whole = true;
  if (!ReplayInHalves(page, painter, pixelClip, index, filling, stop, whole))
    whole = Replayer(page, painter, pixelClip, index, filling, stop).Run();
  // A replay stopped part of the way leaves the index to the next one.
  if (filling && whole) filling->Complete();
  painter.restore();
}

}  // namespace tavelo
