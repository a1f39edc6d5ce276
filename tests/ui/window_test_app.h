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
  // Never destroyed: Qt's own globals are gone by the time statics are.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Runs `act` on the first shown top-level widget of type T, from the event
// loop of the modal dialog that is about to open. A dialog that never shows
// up, or stays open after `act`, is closed after a few seconds, so a faulty
// test fails instead of hanging.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto tries = std::make_shared<int>(0);
  auto acted = std::make_shared<bool>(false);
  QObject::connect(timer, &QTimer::timeout, [timer, act, tries, acted] {
    QWidget* modal = QApplication::activeModalWidget();
    if (*acted && modal == nullptr) {
      timer->stop();
      timer->deleteLater();
      return;
    }
    if (!*acted) {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(w); found && found->isVisible()) {
          *acted = true;
          act(found);
          return;
        }
      }
    }
    if (++*tries > 300) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << (*acted ? "the dialog stayed open" : "the expected dialog was not shown");
      if (modal != nullptr) modal->close();
    }
  });
  timer->start();
}

}  // namespace tavelo::test
