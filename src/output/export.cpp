#include "output/export.h"

#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRectF>
#include <QBuffer>
#include <QByteArray>
#include <QSize>
#include <QString>
#include <QSvgGenerator>

#include <cmath>

#include "output/file_device.h"
#include "output/painter_replay.h"
#include "page/page_document.h"

namespace tavelo {

namespace {

constexpr int kPdfResolution = 1200;
// The raster engine works in 16-bit device coordinates at heart, and a
// picture beyond a gigapixel is no use to anybody.
constexpr double kMaxImageSide = 32767;
constexpr double kMaxImagePixels = 1024.0 * 1024.0 * 1024.0;

bool Fail(std::string* error, std::string reason) {
  if (error) *error = std::move(reason);
  return false;
}

bool PaperUsable(const PageDocument& page, std::string* error) {
  const double w = page.PageWidth(), h = page.PageHeight();
  if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h))
    return Fail(error, "the page has no usable paper size");
  return true;
}

// The paper as a page size in points; PDF boxes hold whole points.
QPageSize PaperPageSize(const PageDocument& page) {
  return QPageSize(QSizeF(page.PageWidth() / 20.0, page.PageHeight() / 20.0), QPageSize::Point,
                   QString(), QPageSize::ExactMatch);
}

}  // namespace

bool ExportPdf(const PageDocument& page, const std::string& path, std::string* error) {
  if (!PaperUsable(page, error)) return false;
  SafeFileDevice file;
  if (!file.OpenTarget(path, error)) return false;
  {
    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("TAVELO"));
    writer.setResolution(kPdfResolution);
    QPageLayout layout(PaperPageSize(page), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Point);
    if (!writer.setPageLayout(layout)) return Fail(error, "the PDF writer refused the paper size");
    QPainter painter;
    if (!painter.begin(&writer)) return Fail(error, "cannot start the PDF page for " + path);
    const double scale = kPdfResolution / kTwipsPerInch;
    ReplayPage(page, painter, QRectF(0, 0, page.PageWidth() * scale, page.PageHeight() * scale));
    if (!painter.end()) return Fail(error, "cannot finish the PDF page for " + path);
  }
  return file.Commit(error);
}

bool ExportSvg(const PageDocument& page, const std::string& path, std::string* error) {
  if (!PaperUsable(page, error)) return false;
  const double w = page.PageWidth(), h = page.PageHeight();
  if (w > 1e9 || h > 1e9) return Fail(error, "the paper is too large for an SVG picture");
  SafeFileDevice file;
  if (!file.OpenTarget(path, error)) return false;
  {
    QSvgGenerator generator;
    generator.setOutputDevice(&file);
    // One unit per twip: the size attributes come out in millimetres.
    generator.setResolution(static_cast<int>(kTwipsPerInch));
    generator.setSize(QSize(static_cast<int>(std::ceil(w)), static_cast<int>(std::ceil(h))));
    generator.setViewBox(QRectF(0, 0, w, h));
    generator.setTitle(QStringLiteral("Seismic section"));
    QPainter painter;
    if (!painter.begin(&generator)) return Fail(error, "cannot start the SVG picture for " + path);
    ReplayPage(page, painter, QRectF(0, 0, w, h));
    if (!painter.end()) return Fail(error, "cannot finish the SVG picture for " + path);
  }
  return file.Commit(error);
}

bool ExportPng(const PageDocument& page, const std::string& path, int dpi, std::string* error) {
  if (!PaperUsable(page, error)) return false;
  if (dpi < 1 || dpi > 9600) return Fail(error, "resolution " + std::to_string(dpi) + " dpi is out of range");
  const double width = page.PageWidth() / kTwipsPerInch * dpi;
  const double height = page.PageHeight() / kTwipsPerInch * dpi;
  const double pixelsWide = std::max(1.0, std::round(width));
  const double pixelsHigh = std::max(1.0, std::round(height));
  if (pixelsWide > kMaxImageSide || pixelsHigh > kMaxImageSide ||
      pixelsWide * pixelsHigh > kMaxImagePixels)
    return Fail(error, "the page is too large for a picture at " + std::to_string(dpi) + " dpi");

  QImage image(static_cast<int>(pixelsWide), static_cast<int>(pixelsHigh), QImage::Format_RGB32);
  if (image.isNull()) return Fail(error, "not enough memory for the picture");
  const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    ReplayPage(page, painter, QRectF(0, 0, width, height));
  }

  // Encoded in memory first: the encoder's own complaints about a refused
  // write never reach the user, the file writer reports why instead.
  QByteArray encoded;
  {
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return Fail(error, "cannot encode the picture for " + path);
  }
  image = QImage();
  SafeFileDevice file;
  if (!file.OpenTarget(path, error)) return false;
  file.write(encoded);
  return file.Commit(error);
}

bool PrintPage(const PageDocument& page, QPrinter& printer, std::string* error) {
  if (!PaperUsable(page, error)) return false;
  // The page places every mark itself, margins included.
  printer.setFullPage(true);
  QPainter painter;
  if (!painter.begin(&printer)) return Fail(error, "the printer could not be started");
  const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
  ReplayPage(page, painter, QRectF(0, 0, paper.width(), paper.height()));
  if (!painter.end()) return Fail(error, "the printer could not finish the page");
  return true;
}

}  // namespace tavelo
