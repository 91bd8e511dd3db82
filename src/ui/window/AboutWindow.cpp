#include "ui/window/AboutWindow.h"

#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/UiTexts.h"
#include "ui/window/HelpTexts.h"

#include <QMessageBox>

MessageRequest HelpRequest(QWidget* owner, int topic) {
  MessageRequest request;
  request.Owner = owner;
  request.Title = HelpTitle(topic);
  request.Text = HelpText(topic);
  request.Width = 340;
  request.Resizable = true;
  return request;
}

void ShowHelpWindow(QWidget* owner, int topic) {
  ShowMessageWindow(HelpRequest(owner, topic));
}

MessageRequest AboutRequest(QWidget* owner) {
  MessageRequest request;
  request.Owner = owner;
  // A window without a title reads as broken on most desktops; the menu item names it.
  request.Title = WithoutMnemonics(LanguageText(kTextMenuAbout));
  request.Text = AboutText();
  request.Width = 245;
  request.Centred = true;
  return request;
}

void ShowAboutWindow(QWidget* owner) {
  ShowMessageWindow(AboutRequest(owner));
}

std::unique_ptr<QMessageBox> MakeInformationBox(QWidget* owner) {
  auto box = std::make_unique<QMessageBox>(
      QMessageBox::Information, WithoutMnemonics(LanguageText(kTextInformation)),
      LanguageText(kTextSettingsLocation), QMessageBox::Ok, owner);
  box->setTextFormat(Qt::PlainText);
  return box;
}

void ShowInformationBox(QWidget* owner) {
  MakeInformationBox(owner)->exec();
}
