#include "ui/widgets/WindowDialogs.h"

#include "ui/widgets/UiTexts.h"

void WindowDialogs::Replace(WindowDialogs given) {
  const auto take = [](auto& mine, auto& offered) {
    if (offered) mine = std::move(offered);
  };
  take(Ask, given.Ask);
  take(Tell, given.Tell);
  take(ChooseFiles, given.ChooseFiles);
  take(ChooseFolder, given.ChooseFolder);
  take(ShowFile, given.ShowFile);
  take(ShowProperties, given.ShowProperties);
  take(AskLater, given.AskLater);
  take(EndProgram, given.EndProgram);
  take(Fatal, given.Fatal);
}

void WindowDialogs::TellTitled(MessageIcon icon, int titleEntry, const QString& text) const {
  Tell(icon, PlainCaption(titleEntry), text);
}
