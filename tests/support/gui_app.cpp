#include "support/gui_app.h"

#include <QApplication>

namespace tavelo::test {

void EnsureGuiApp() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tavelo_test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

}  // namespace tavelo::test
