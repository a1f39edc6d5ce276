#pragma once
// The "Virtual plot" preview: the whole paper, fitted into the widget on a
// grey background, with the ended page drawn on it.

#include <QImage>
#include <QWidget>

#include <cstdint>

namespace tavelo {

class PageDocument;

class PreviewWidget : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewWidget(const PageDocument& page, QWidget* parent = nullptr);

  // Repaints when the page changed since it was last drawn.
  void SyncWithPage();
  // The page generation the widget shows (or will show at its next paint).
  uint64_t ShownGeneration() const { return shownGeneration_; }
  // Where the paper lies in the widget (device-independent pixels).
  QRectF PaperRect() const;

  QSize sizeHint() const override { return {480, 600}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const PageDocument& page_;
  uint64_t shownGeneration_ = 0;
  // The drawn paper, kept so repaints (scrolling a dialog over it, tab
  // changes) do not replay a page of millions of points again.
  QImage cache_;
  uint64_t cacheGeneration_ = UINT64_MAX;
};

}  // namespace tavelo
