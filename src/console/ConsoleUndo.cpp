#include "console/ConsoleUndo.h"

#include "journal/CrashPoint.h"
#include "journal/Undo.h"
#include "platform/FileName.h"
#include "platform/Process.h"
#include "run/ExitCode.h"
#include "texts/AdditionEntries.h"
#include "texts/TextTables.h"

#include <cerrno>

namespace {

const QChar kTab = QLatin1Char('\t');

QString RunLine(const RunChoice& choice) {
  const JournalHeader& header = choice.Summary.Header;
  // One pass, so that a "%" in the preset's name stays as it is.
  return AdditionText(kAddUndoRunLine)
      .arg(QString::number(choice.File.Number), RunTimeText(header.Started),
           QString::number(header.PresetNumber), header.PresetName,
           QString::number(choice.Summary.Files));
}

QString VerbOf(UndoAction action) {
  switch (action) {
    case UndoAction::MoveBack:
      return AdditionText(kAddUndoVerbMoveBack);
    case UndoAction::RemoveCopy:
      return AdditionText(kAddUndoVerbRemoveCopy);
    case UndoAction::Restore:
      return AdditionText(kAddUndoVerbRestore);
    case UndoAction::Leave:
      return AdditionText(kAddUndoVerbLeave);
    case UndoAction::None:
      break;
  }
  return {};
}

// "<reason>: <where the file is> -> <where it belongs>".
QString LeftLine(const UndoEntryReport& entry) {
  QString line = UndoResultText(entry) + QStringLiteral(": ");
  if (!entry.From.isEmpty()) line += EscapedFileName(entry.From) + QStringLiteral(" -> ");
  return line + EscapedFileName(entry.To);
}

int ExitFor(RunChoice::Found found) {
  switch (found) {
    case RunChoice::Found::Nothing:
    case RunChoice::Found::NoSuchRun:
    case RunChoice::Found::AlreadyUndone:
      return kExitChecksStopped;
    case RunChoice::Found::InUse:
      return kExitAnotherInstance;
    default:
      return kExitFailed;
  }
}

}  // namespace

ConsoleResult RunConsoleListRuns(ConsoleContext& context) {
  ConsoleResult result;
  int error = 0;
  const std::vector<JournalFile> files = ListJournalFiles(context.JournalFolder, &error);
  if (error != 0 && error != ENOENT) {
    ConsoleWriteLine(AdditionText(kAddJournalFolderUnreadable)
                         .arg(EscapedFileName(context.JournalFolder), SystemErrorText(error)));
    ConsoleWriteLine();
    result.ExitCode = kExitFailed;
    return result;
  }
  if (files.empty()) {
    ConsoleWriteLine(AdditionText(kAddRunsNone));
    ConsoleWriteLine();
    return result;
  }
  ConsoleWriteLine(AdditionText(kAddRunsHeading));
  for (const JournalFile& file : files) {
    const JournalSummary summary = SummarizeJournal(file.Path);
    const JournalHeader& header = summary.Header;
    const bool readable =
        summary.Read.Error == 0 && summary.Read.Trust.Ok() && summary.Read.IsJournal;
    ConsoleWriteLine(
        QString::number(file.Number) + kTab + (readable ? RunTimeText(header.Started) : QString()) +
        kTab +
        (readable ? AdditionText(kAddRunPreset).arg(header.PresetNumber).arg(header.PresetName)
                  : QString()) +
        kTab + AdditionText(kAddRunFiles).arg(summary.Files) + kTab + RunStateText(summary));
  }
  ConsoleWriteLine();
  return result;
}

ConsoleResult RunConsoleUndo(ConsoleContext& context) {
  ConsoleResult result;
  const bool dryRun = context.Options.DryRun;
  const RunChoice choice =
      ChooseRunToUndo(context.JournalFolder, static_cast<uint32_t>(context.Options.UndoRun));
  if (choice.What == RunChoice::Found::Nothing)
    ConsoleWriteLine(AdditionText(kAddUndoNothingToUndo));
  else if (choice.What != RunChoice::Found::Run)
    ConsoleWriteLine(RunChoiceText(choice, static_cast<uint32_t>(context.Options.UndoRun)));
  if (choice.What != RunChoice::Found::Run) {
    ConsoleWriteLine();
    result.ExitCode = ExitFor(choice.What);
    return result;
  }

  ConsoleWriteLine(RunLine(choice));
  ConsoleWriteLine();
  UndoOptions options;
  options.DryRun = dryRun;
  options.Stop = &context.Run.RunCancelled;
  options.Crash = CrashPointFromEnvironment();
  if (dryRun) {
    // One line per entry that undo would touch: what, where the file is, where it goes.
    options.EntryDone = [](const UndoEntryReport& entry, qsizetype, qsizetype) {
      if (entry.Action == UndoAction::None) return;
      QString line = VerbOf(entry.Action);
      if (entry.Action == UndoAction::Leave) line += QStringLiteral(": ") + UndoResultText(entry);
      ConsoleWriteLine(line + kTab + EscapedFileName(entry.From) + kTab +
                       EscapedFileName(entry.To));
    };
  } else {
    ConsoleWriteLine(AdditionText(kAddUndoWorking));
  }
  const UndoSummary summary = UndoJournal(choice.File.Path, options);
  const QString damage = UndoDamageText(choice.File.Number, summary);

  if (dryRun && summary.Started) {
    for (const UndoFolderReport& folder : summary.Folders)
      ConsoleWriteLine(AdditionText(kAddUndoVerbRemoveFolder) + kTab +
                       EscapedFileName(folder.Path));
    if (!damage.isEmpty()) ConsoleWriteLine(damage);
    ConsoleWriteLine();
    result.ExitCode = summary.ExitCode() == 0 ? kExitOk : kExitFailed;
    return result;
  }
  if (!dryRun) {
    for (const UndoEntryReport& entry : summary.Left) ConsoleWriteLine(LeftLine(entry));
    for (const UndoFolderReport& folder : summary.Folders)
      if (folder.Error != 0)
        ConsoleWriteLine(AdditionText(kAddUndoFolderStays).arg(EscapedFileName(folder.Path)));
  }
  if (!summary.Started) {
    // The journal could not be used (unreadable, not the user's own, in use) or not be opened
    // to record the undo: nothing was done.
    ConsoleWriteLine(UndoNotStartedText(choice.File.Number, summary));
    ConsoleWriteLine();
    result.ExitCode = summary.InUse ? kExitAnotherInstance : kExitFailed;
    return result;
  }
  ConsoleWriteLine();
  ConsoleWriteLine();
  if (!damage.isEmpty()) ConsoleWriteLine(damage);
  if (summary.Stopped) ConsoleWriteLine(AdditionText(kAddUndoStopped));
  if (summary.Error != 0)
    ConsoleWriteLine(AdditionText(kAddUndoNotRecorded).arg(SystemErrorText(summary.Error)));
  if (summary.ExitCode() == 0)
    ConsoleWriteLine(AdditionText(kAddUndoResultAll));
  else
    ConsoleWriteLine(
        AdditionText(kAddUndoResultSome).arg(summary.TakenBack).arg(summary.NotTakenBack()));
  result.ExitCode = summary.ExitCode() == 0 ? kExitOk : kExitFailed;
  return result;
}
