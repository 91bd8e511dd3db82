#include "console/ConsoleRun.h"

#include "checks/RunChecks.h"
#include "journal/JournalFolder.h"
#include "journal/JournalInfo.h"
#include "journal/RunJournal.h"
#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"
#include "platform/Locations.h"
#include "platform/Process.h"
#include "platform/Signals.h"
#include "run/ErrorLog.h"
#include "run/ExitCode.h"
#include "run/RunControl.h"
#include "run/RunSetup.h"
#include "texts/AdditionEntries.h"
#include "texts/TextTables.h"

#include <chrono>
#include <memory>
#include <thread>

namespace {

// How long "Processed successfully" stays on screen before the program ends, when a person
// is reading.
constexpr std::chrono::milliseconds kSuccessPause{1500};

}  // namespace

ConsoleResult RunConsoleBatchMode(ConsoleContext& context) {
  if (!context.PresetRefusal.isEmpty()) {
    // Before the preset line: the preset it would name is not the one asked for.
    ConsoleWriteLine(QStringLiteral("Error: ") + context.PresetRefusal);
    ConsoleWriteLine();
    WaitIfOwnConsole();
    ConsoleResult refused;
    refused.ExitCode = kExitChecksStopped;
    return refused;
  }
  const Preset& active = context.ActivePreset;
  ConsoleWriteLine(QStringLiteral("Preset: ") + QString::number(active.PresetNumber) +
                   QStringLiteral(" -> \"") + active.PresetName + QLatin1Char('"'));
  ConsoleWriteLine();

  const bool dryRun = context.Options.DryRun;
  RunRequest request{context.Files, context.FollowUp, context.Settings, context.Run, context.Load};
  // Start-up made every relative path absolute against the caller's working directory.
  request.PathsToLoad = context.Options.PendingPaths;
  request.Folders = TemplateFolders(context.DesktopFolder, context.ProgramFolder);
  request.DateFieldValue = NowAsLocalDate();

  // Nobody can answer a question here: existing targets are left, a full disk stops the run,
  // and nothing is kept for a later list.
  request.Policy.ReplaceMemory = kAnswerLeaveAll;
  request.Policy.KeepNothingForLater = true;
  request.Policy.DryRun = dryRun;

  request.Events.Loaded = [&context](qsizetype count) {
    // Files too deep for the system to name by path cannot be worked on: said before the run,
    // which leaves them.
    if (const int32_t tooLong = context.Load.PathsTooLong.load(std::memory_order_relaxed);
        tooLong > 0) {
      ConsoleWriteLine(AdditionText(kAddPathsTooLong).arg(tooLong).arg(kMaxPathBytes));
      ConsoleWriteLine();
    }
    if (count == 0) return;
    ConsoleWriteLine(QStringLiteral("Loaded files: ") + QString::number(count));
    ConsoleWriteLine();
  };
  const bool ignoreWarnings = context.Options.IgnoreWarnings;
  // Every run that changes files keeps an undo journal, opened once the checks have passed: a
  // run whose journal cannot be written does not start. MERVANE_JOURNAL=off runs without one in
  // a build for the tests and benchmarks; only the benchmarks that weigh the journal's cost and
  // its test use it.
#ifdef MERVANE_TEST_SWITCHES
  const bool journaledForReal = EnvironmentPath("MERVANE_JOURNAL") != QLatin1String("off");
#else
  const bool journaledForReal = true;
#endif
  const bool journaled = !dryRun && journaledForReal;
  RunControl control(context.Run);
  std::unique_ptr<RunJournal> journal;
  request.Events.Check = [&context, &control, &journal, &request, ignoreWarnings, dryRun, journaled,
                          journaledForReal](const RunValues& values) {
    const ConsoleCheckResult checks =
        CheckBeforeConsoleRun(context.Files, context.Settings, values, ignoreWarnings);
    for (const CheckProblem& problem : checks.Problems)
      ConsoleWrite(ConsoleProblemText(problem), false);
    const auto refuse = [&context](const QString& reason) {
      ConsoleWriteLine();
      ConsoleWriteLine(
          QStringLiteral("Error: ") +
          AdditionText(kAddJournalCannotOpen).arg(EscapedFileName(context.JournalFolder), reason));
      ConsoleWriteLine();
      return false;
    };
    // The dry run says what the run will meet, its journal included.
    if (checks.RunStarts && dryRun && journaledForReal) {
      if (const TrustCheck probe = ProbeJournalFolder(context.JournalFolder); !probe.Ok())
        return refuse(TrustCheckText(probe));
    }
    if (checks.RunStarts && journaled) {
      journal = std::make_unique<RunJournal>(
          context.JournalFolder,
          JournalInfoFor(context.ActivePreset, context.Settings, JournalFrontEnd::Console,
                         context.Files.Count(), context.Options.PendingPaths),
          control.StopRequest());
      if (journal->Open() != 0) {
        const QString reason = journal->OpenErrorText();
        journal.reset();
        return refuse(reason);
      }
      journal->SetCrashPoint(CrashPointFromEnvironment());
      journal->SetSpaceLimit(JournalSpaceFromEnvironment());
      request.Events.Observer = journal.get();
    }
    if (checks.RunStarts && !dryRun) {
      ConsoleWriteLine();
      ConsoleWriteLine(QStringLiteral("Processing, please wait..."));
    }
    return checks.RunStarts;
  };
  // Ctrl-C or SIGTERM, also one that came before a flag was cleared, stops the load or ends the
  // run after the file in hand.
  request.Events.FlagsReset = [&context, &control] {
    WatchStopSignal(context.Load.LoadStop);
    control.WatchStopSignal();
  };
  if (dryRun) {
    // One line per entry, in list order: the status the run would give, the source and the
    // target, tab-separated.
    request.Events.Entries.EntryFinished = [](qsizetype, const FileEntry& entry,
                                              const EntryOutcome& outcome) {
      ConsoleWriteLine(QString::number(outcome.Status) + QLatin1Char('\t') +
                       EscapedFileName(entry.Path()) + QLatin1Char('\t') +
                       EscapedFileName(outcome.NewPath));
    };
  }

  const RunResult run = RunProcedure(request);
  const int journalError = journal ? journal->Finish() : 0;
  ConsoleResult result;
  if (run.Failure != RunFailure::None) {
    result.Failure = run.Failure;
    result.ExitCode = kExitFailed;
    return result;
  }
  if (!run.Started) {
    WaitIfOwnConsole();
    result.ExitCode = kExitChecksStopped;
    return result;
  }
  if (dryRun) {
    result.ExitCode = run.Succeeded ? kExitOk : kExitFailed;
    return result;
  }

  const bool quitAfterRun = context.Settings.QuitAfterRun != 0;
  // A journal that could not be written stops the run: the files it did not reach are counted
  // and named like those a full disk keeps it from, and the journal's disk is often that disk.
  qsizetype unreached = run.Batch.Unreached;
  if (journalError != 0 && !run.Batch.StoppedByFullDisk) {
    unreached = 0;
    for (const FileEntry& entry : context.Files)
      if (entry.Status == kStatusNotProcessed) ++unreached;
  }
  const bool fullDisk = run.Batch.StoppedByFullDisk || (unreached > 0 && IsDiskFull(journalError));
  const bool succeeded = run.Succeeded && unreached == 0;
  ConsoleWriteLine();
  ConsoleWriteLine();
  if (journalError != 0) {
    ConsoleWriteLine(AdditionText(kAddJournalWriteFailed)
                         .arg(EscapedFileName(journal->Path()), SystemErrorText(journalError)));
  }
  if (quitAfterRun) {
    ConsoleWriteLine(QStringLiteral("Result: Finished"));
  } else if (succeeded && StopSignalReceived() == 0) {
    ConsoleWriteLine(QStringLiteral("Result: Processed successfully"));
    // A person at a terminal gets a moment to read it; a script goes on at once.
    if (StandardOutputIsTerminal()) std::this_thread::sleep_for(kSuccessPause);
  }

  if (!succeeded && !quitAfterRun && !control.QuitRequested()) {
    ConsoleWriteLine(QStringLiteral("Result: Error(s) occured!"));
    if (fullDisk)
      ConsoleWriteLine(QStringLiteral("The disk is full: ") + QString::number(unreached) +
                       QStringLiteral(" file(s) not processed."));
    else if (unreached > 0)
      ConsoleWriteLine(AdditionText(kAddJournalStopUnreached).arg(unreached));
    // Beside the program only for a portable copy: an installed one lives in a system folder.
    const QString logPath = WriteDefaultErrorLog(
        context.Files, context.Options.Portable ? context.ProgramFolder : QString(),
        context.ErrorLogFolder, fullDisk);
    if (!logPath.isEmpty()) {
      ConsoleWriteLine(QStringLiteral("Take a look at \"Errorlog.txt\" for more information."));
      ConsoleWriteLine(EscapedFileName(logPath));
    } else {
      ConsoleWriteLine(QStringLiteral("\"Errorlog.txt\" couldn't be created."));
    }
    WaitIfOwnConsole();
  }
  result.ExitCode = succeeded && journalError == 0 ? kExitOk : kExitFailed;
  return result;
}
