#pragma once
// Steps a user takes in the print dialog's "Properties" window (Qt's
// printer-properties dialog with the paper and margins page), for tests
// that run the real dialogs.

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace tavelo::test {

// Presses "Properties" in the print dialog `d`, runs `act` on the window
// that opens (act closes it), then presses Print.
inline void PrintThroughProperties(QDialog* d, std::function<void(QDialog*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
    auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (window != nullptr && qobject_cast<QPrintDialog*>(window) == nullptr &&
        window->findChild<QComboBox*>("pageSizeCombo") != nullptr) {
      timer->stop();
      timer->deleteLater();
      act(window);
      return;
    }
    if (++*tries > 300) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "the Properties window did not open";
      if (window != nullptr && qobject_cast<QPrintDialog*>(window) == nullptr) window->reject();
    }
  });
  timer->start();
  auto* properties = d->findChild<QPushButton*>("properties");
  ASSERT_NE(properties, nullptr);
  properties->click();  // returns when the window is closed
  d->accept();
}

// Picks the paper `name` in the window's paper list, as a user does.
inline void ChoosePaperByHand(QDialog* window, const QString& name) {
  auto* paper = window->findChild<QComboBox*>("pageSizeCombo");
  const int index = paper->findText(name);
  ASSERT_GE(index, 0) << name.toStdString();
  paper->setCurrentIndex(index);
  emit paper->activated(index);
}

// Presses the window's OK or Cancel button.
inline void Press(QDialog* window, QDialogButtonBox::StandardButton which) {
  for (auto* buttons : window->findChildren<QDialogButtonBox*>())
    if (QPushButton* button = buttons->button(which)) {
      button->click();
      return;
    }
  ADD_FAILURE() << "no such button";
  window->reject();
}

}  // namespace tavelo::test
