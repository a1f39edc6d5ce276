// tavelo_render_icon: renders the program's SVG icon to square PNG files at
// build time, with Qt's own SVG renderer (already a build dependency).
//
//   tavelo_render_icon ICON.svg SIZE OUT.png [SIZE OUT.png ...]

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 4 || (argc - 2) % 2 != 0) {
    std::fputs("usage: tavelo_render_icon ICON.svg SIZE OUT.png [SIZE OUT.png ...]\n", stderr);
    return 2;
  }
  // No display is needed to paint into an image.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);

  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "tavelo_render_icon: cannot read %s as SVG\n", argv[1]);
    return 1;
  }
  for (int i = 2; i + 1 < argc; i += 2) {
    char* end = nullptr;
    const long size = std::strtol(argv[i], &end, 10);
    if (!end || *end != '\0' || size < 8 || size > 1024) {
      std::fprintf(stderr, "tavelo_render_icon: size \"%s\" is not a number from 8 to 1024\n", argv[i]);
      return 2;
    }
    QImage image(static_cast<int>(size), static_cast<int>(size), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      renderer.render(&painter, QRectF(0, 0, static_cast<qreal>(size), static_cast<qreal>(size)));
    }
    if (!image.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
      std::fprintf(stderr, "tavelo_render_icon: cannot write %s\n", argv[i + 1]);
      return 1;
    }
  }
  return 0;
}
