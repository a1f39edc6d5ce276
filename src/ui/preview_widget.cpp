#include "ui/preview_widget.h"

#include <QPainter>

#include <algorithm>

#include "output/painter_replay.h"
#include "page/page_document.h"

namespace tavelo {
namespace {
constexpr qreal kBorder = 8;  // grey around the paper, pixels
}

PreviewWidget::PreviewWidget(const PageDocument& page, QWidget* parent)
    : QWidget(parent), page_(page), shownGeneration_(page.Generation()) {
  setMinimumSize(120, 120);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewWidget::SyncWithPage() {
  if (shownGeneration_ == page_.Generation()) return;
  shownGeneration_ = page_.Generation();
  update();
}

QRectF PreviewWidget::PaperRect() const {
  const qreal w = width() - 2 * kBorder, h = height() - 2 * kBorder;
  if (w <= 1 || h <= 1 || page_.PageWidth() <= 0 || page_.PageHeight() <= 0) return {};
  const qreal scale = std::min(w / page_.PageWidth(), h / page_.PageHeight());
  const qreal pw = page_.PageWidth() * scale, ph = page_.PageHeight() * scale;
  return QRectF((width() - pw) / 2, (height() - ph) / 2, pw, ph);
}

void PreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(128, 128, 128));
  shownGeneration_ = page_.Generation();
  const QRectF paper = PaperRect();
  if (paper.isEmpty()) return;
  painter.fillRect(paper.translated(3, 3), QColor(64, 64, 64));

  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (paper.size() * ratio).toSize();
  if (pixels.isEmpty()) return;
  if (cache_.size() != pixels || cacheGeneration_ != page_.Generation()) {
    cache_ = QImage(pixels, QImage::Format_RGB32);
    cache_.setDevicePixelRatio(ratio);
    cache_.fill(Qt::white);
    // Only an ended page is shown; one being built or discarded is blank.
    if (page_.PageCount() > 0 && !page_.IsOpen()) {
      QPainter image(&cache_);
      image.setRenderHint(QPainter::Antialiasing);
      image.setRenderHint(QPainter::TextAntialiasing);
      ReplayPage(page_, image, QRectF(QPointF(0, 0), paper.size()));
    }
    cacheGeneration_ = page_.Generation();
  }
  painter.drawImage(paper.topLeft(), cache_);
}

}  // namespace tavelo
