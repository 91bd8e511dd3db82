#include "ui/widgets/Mnemonics.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSet>
#include <QWidget>

#include <functional>

QChar MnemonicOf(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;
      continue;
    }
    return caption[i + 1].toLower();
  }
  return QChar();
}

namespace {

// The caption with "&" put before the first suitable letter; unchanged when none is free.
QString WithMnemonic(const QString& caption, QSet<QChar>& used) {
  const auto tryPosition = [&](qsizetype i) {
    const QChar c = caption[i].toLower();
    if (!caption[i].isLetterOrNumber() || used.contains(c)) return false;
    used.insert(c);
    return true;
  };
  for (qsizetype i = 0; i < caption.size(); ++i) {
    const bool wordStart = i == 0 || !caption[i - 1].isLetterOrNumber();
    if (wordStart && tryPosition(i)) return caption.left(i) + u'&' + caption.mid(i);
  }
  for (qsizetype i = 0; i < caption.size(); ++i)
    if (tryPosition(i)) return caption.left(i) + u'&' + caption.mid(i);
  return caption;
}

}  // namespace

void AssignMnemonics(QWidget* page, const QString& reserved) {
  QSet<QChar> used;
  for (const QChar c : reserved) used.insert(c.toLower());
  struct Captioned {
    std::function<QString()> Get;
    std::function<void(const QString&)> Set;
  };
  QList<Captioned> pending;
  const auto consider = [&](const QString& text, const std::function<QString()>& get,
                            const std::function<void(const QString&)>& set) {
    const QChar existing = MnemonicOf(text);
    if (!existing.isNull())
      used.insert(existing);
    else if (!text.isEmpty())
      pending.append({get, set});
  };
  // findChildren lists the widgets in the order they were made, which is the layout's order.
  for (QWidget* child : page->findChildren<QWidget*>()) {
    if (auto* button = qobject_cast<QAbstractButton*>(child)) {
      // Image and "<" buttons have no caption of words.
      if (!button->text().isEmpty() && button->text().size() > 2)
        consider(button->text(), [button] { return button->text(); },
                 [button](const QString& t) { button->setText(t); });
    } else if (auto* label = qobject_cast<QLabel*>(child)) {
      if (label->buddy() != nullptr)
        consider(label->text(), [label] { return label->text(); },
                 [label](const QString& t) { label->setText(t); });
    }
  }
  for (const Captioned& item : pending) item.Set(WithMnemonic(item.Get(), used));
}
