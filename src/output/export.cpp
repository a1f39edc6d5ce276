#include "output/export.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRectF>
#include <QString>

#include <cmath>

#include "output/file_device.h"
#include "output/painter_replay.h"
#include "output/png_writer.h"
#include "output/svg_writer.h"
#include "page/page_document.h"

namespace tavelo {

namespace {

constexpr int kPdfResolution = 1200;

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
  return WriteSvg(page, path, error);
}

bool ExportPng(const PageDocument& page, const std::string& path, int dpi, std::string* error) {
  return WritePng(page, path, dpi, error);
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
