#pragma once

#include "platform/Messages.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// How the window and its parts ask and tell: message boxes and file dialogs in the program
// (StandardDialogs), answers of their own in tests, so that nothing waits for a person.
struct WindowDialogs {
  std::function<bool(const QString& title, const QString& text)> Ask;  // Yes/No, true = Yes
  std::function<void(MessageIcon icon, const QString& title, const QString& text)> Tell;
  std::function<QStringList()> ChooseFiles;  // the open-file dialog; paths
  std::function<QString(const QString& title, const QString& start)> ChooseFolder;
  // The file manager: a file shown selected (double click), a file's properties (test run).
  std::function<bool(const QString& path)> ShowFile;
  std::function<bool(const QString& path)> ShowProperties;
  // While a run goes on: a Yes/No question that does not wait (true = Yes), over `parent`.
  std::function<void(QWidget* parent, const QString& title, const QString& text,
                     std::function<void(bool)> done)>
      AskLater;
  // The program ends through its shut-down (the quit answer, QuitAfterRun), or with a fatal
  // message (a thread could not be started, a table the program needs could not be set up).
  // Every fatal end of the window goes through Fatal, which does not return in the program.
  std::function<void()> EndProgram;
  std::function<void(const QString& reason)> Fatal;

  // Takes over what `given` has; what it leaves empty stays as it was.
  void Replace(WindowDialogs given);
  // Tell with the language table's entry `titleEntry` as the title.
  void TellTitled(MessageIcon icon, int titleEntry, const QString& text) const;
};
