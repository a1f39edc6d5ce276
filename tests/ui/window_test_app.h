#pragma once
// One QApplication for the window tests (offscreen when no display is set),
// and a helper that acts on a modal dialog once it is shown.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace tavelo::test {

inline QApplication& UiApp() {
  static int argc = 1;
  static char name[] = "test_ui";
  static char* argv[] = {name, nullptr};
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication app(argc, argv);
  return app;
}

// Runs `act` on the first shown top-level widget of type T, from the event
// loop of the modal dialog that is about to open. A dialog that never shows
// up is given up after a few seconds, and a modal one left open is closed,
// so a faulty test fails instead of hanging.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* found = qobject_cast<T*>(w); found && found->isVisible()) {
        timer->stop();
        timer->deleteLater();
        act(found);
        return;
      }
    }
    if (++*tries > 300) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "the expected dialog was not shown";
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    }
  });
  timer->start();
}

}  // namespace tavelo::test
