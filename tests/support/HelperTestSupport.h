#pragma once

// Shared by the tests of the window's helpers: texts in a chosen language, synthetic input and
// a check that every control can be told apart by assistive technology.

#include "support/Texts.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QString>
#include <QWidget>

#include <ostream>

namespace helpers_test {

using ::Q;

// Loads the product texts and the language table of `language` (kLanguageEnglish, ...).
inline void UseLanguage(int language) {
  ASSERT_TRUE(LoadProductTexts());
  ASSERT_TRUE(LoadLanguageTable(language));
}

inline void ShowAndActivate(QWidget& window) {
  window.show();
  window.activateWindow();
  QApplication::processEvents();
}

inline void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QApplication::sendEvent(target, &release);
}

inline void SendMouse(QWidget* target, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::LeftButton) {
  const Qt::MouseButtons buttons =
      type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons();
  QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)),
                    type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

inline void Click(QWidget* target, QPoint pos) {
  SendMouse(target, QEvent::MouseButtonPress, pos);
  SendMouse(target, QEvent::MouseButtonRelease, pos);
}

// Every control a user can reach (buttons, fields, combos, lists) has a name and a role that
// assistive technology reads.
inline void ExpectAccessible(QWidget* window) {
  QList<QWidget*> controls = window->findChildren<QWidget*>();
  controls.prepend(window);
  for (QWidget* control : controls) {
    const bool interactive = qobject_cast<QAbstractButton*>(control) != nullptr ||
                             qobject_cast<QLineEdit*>(control) != nullptr ||
                             qobject_cast<QComboBox*>(control) != nullptr ||
                             qobject_cast<QAbstractItemView*>(control) != nullptr;
    if (!interactive || !control->isVisibleTo(window)) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(accessible, nullptr) << control->metaObject()->className();
    EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
        << control->metaObject()->className() << " " << control->objectName().toStdString();
    EXPECT_NE(accessible->role(), QAccessible::NoRole) << control->metaObject()->className();
    EXPECT_NE(accessible->role(), QAccessible::Client) << control->metaObject()->className();
  }
}

}  // namespace helpers_test
