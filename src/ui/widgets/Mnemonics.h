#pragma once

#include <QChar>
#include <QString>

class QWidget;

// The access key of a caption: the letter after a single "&", lower case; a null character
// when there is none.
QChar MnemonicOf(const QString& caption);

// Gives the captioned controls of a page (check boxes, radio buttons, push buttons and labels
// with a buddy) an access key each, so that every control can be reached from the keyboard:
// the first letter of its caption that starts a word, else any letter, that no other control
// of the page and none of `reserved` (the menu bar's keys) uses. Captions that have a key
// already keep it. The keys of one page never clash.
void AssignMnemonics(QWidget* page, const QString& reserved);
