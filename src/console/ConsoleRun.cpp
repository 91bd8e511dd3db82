#include "console/ConsoleRun.h"

#include "app/AppState.h"
#include "app/ExitCode.h"
#include "app/Startup.h"
#include "checks/RunChecks.h"
#include "checks/Validation.h"
#include "console/Console.h"
#include "filelist/Loader.h"
#include "filelist/Prepare.h"
#include "fileops/Batch.h"
#include "platform/LocalTime.h"
#include "platform/Locations.h"
#include "platform/Signals.h"
#include "run/ErrorLog.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <system_error>
#include <thread>

namespace {

using std::memory_order_relaxed;

// Worker threads run below normal priority so that the machine stays responsive.
void LowerThreadPriority() {
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 5);
}

// Runs `body` on a worker thread at below-normal priority and waits for it. False when the
// thread could not be started.
template <typename Body>
bool RunWorker(Body body) {
  try {
    std::thread worker([&body] {
      LowerThreadPriority();
      body();
    });
    worker.join();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

PathFolders TemplateFolders(const AppState& app) {
  PathFolders folders;
  folders.Desktop = app.DesktopFolder;
  folders.Documents = DocumentsFolder();
  folders.Program = app.ProgramFolder;
  return folders;
}

// Loads the command-line paths on a worker thread while the main thread polls LoadBusy.
bool LoadCommandLinePaths(AppState& app) {
  app.Load.LoadBusy.store(1, memory_order_relaxed);
  app.Load.LoadStop.store(0, memory_order_relaxed);
  WatchStopSignal(app.Load.LoadStop);
  std::thread loader;
  try {
    loader = std::thread([&app] {
      LowerThreadPriority();
      // Relative paths name files below the caller's working directory, as a shell expands them.
      const QString paths = ResolveRelativePaths(app.Options.PendingPaths, app.StartFolder);
      AddPaths(paths, app.Files, app.WorkingSettings, app.Load);
      if (app.Files.Count() > 0) {
        ConsoleWriteLine(QStringLiteral("Loaded files: ") + QString::number(app.Files.Count()));
        ConsoleWriteLine();
      }
      app.Options.PendingPaths.clear();
      app.Load.LoadBusy.store(0, std::memory_order_release);
    });
  } catch (const std::system_error&) {
    app.Load.LoadBusy.store(0, memory_order_relaxed);
    return false;
  }
  while (app.Load.LoadBusy.load(std::memory_order_acquire) != 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  loader.join();
  return true;
}

bool RunSucceeded(const FileList& files) {
  for (const FileEntry& entry : files)
    if (entry.Status != kStatusNotProcessed && entry.Status != kStatusDone) return false;
  return true;
}

}  // namespace

int RunConsoleBatchMode(AppState& app) {
  const Preset& active = app.PresetList.value(app.ActivePresetIndex, app.WorkingSettings);
  ConsoleWriteLine(QStringLiteral("Preset: ") + QString::number(active.PresetNumber) +
                   QStringLiteral(" -> \"") + active.PresetName + QLatin1Char('"'));
  ConsoleWriteLine();

  if (!LoadCommandLinePaths(app)) {
    FatalExit(QStringLiteral("Couldn't initialize loading."));
  }

  const RunValues runValues = PrepareRunValues(app.WorkingSettings, app.Files.Count(),
                                               TemplateFolders(app), NowAsLocalDate());
  const ConsoleCheckResult checks =
      CheckBeforeConsoleRun(app.Files, app.WorkingSettings, runValues, app.Options.IgnoreWarnings);
  for (const CheckProblem& problem : checks.Problems)
    ConsoleWrite(ConsoleProblemText(problem), false);
  if (!checks.RunStarts) {
    WaitIfOwnConsole();
    return kExitChecksStopped;
  }

  RunFlags& flags = app.Run;
  flags.Reset();
  WatchStopSignal(flags.RunCancelled);
  ConsoleWriteLine();
  ConsoleWriteLine(QStringLiteral("Processing, please wait..."));

  flags.RunActive.store(1, memory_order_relaxed);
  app.Files.Current = app.Files.IsEmpty() ? -1 : 0;
  // Nothing is kept for a later list while the console runs.
  const int8_t quitAfterRun = app.WorkingSettings.QuitAfterRun;
  app.WorkingSettings.QuitAfterRun = 1;

  if (runValues.PreparationNeeded) {
    flags.Preparing.store(1, memory_order_relaxed);
    const bool prepared =
        RunWorker([&] { PrepareList(app.Files, app.FollowUp, app.WorkingSettings, flags); });
    flags.Preparing.store(0, memory_order_relaxed);
    if (!prepared) {
      FatalExit(QStringLiteral("Couldn't initialize preparation."));
    }
  }

  BatchOptions options;
  options.ConsoleMode = true;
  // A stop signal that came before the first entry leaves every file as it is.
  const bool processed =
      StopSignalReceived() != 0 || RunWorker([&] {
        RunBatch(app.Files, app.FollowUp, app.WorkingSettings, runValues, flags, options);
      });
  app.WorkingSettings.QuitAfterRun = quitAfterRun;
  if (!processed) {
    FatalExit(QStringLiteral("Couldn't initialize process."));
  }

  const bool succeeded = RunSucceeded(app.Files) && StopSignalReceived() == 0;
  ConsoleWriteLine();
  ConsoleWriteLine();
  if (quitAfterRun) {
    ConsoleWriteLine(QStringLiteral("Result: Finished"));
  } else if (succeeded) {
    ConsoleWriteLine(QStringLiteral("Result: Processed successfully"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  }
  flags.RunActive.store(0, memory_order_relaxed);

  if (!succeeded && !quitAfterRun && flags.QuitRequested.load(memory_order_relaxed) == 0) {
    ConsoleWriteLine(QStringLiteral("Result: Error(s) occured!"));
    const QString logPath = WriteDefaultErrorLog(app.Files, app.ProgramFolder, app.SettingsFolder);
    if (!logPath.isEmpty()) {
      ConsoleWriteLine(QStringLiteral("Take a look at \"Errorlog.txt\" for more information."));
      ConsoleWriteLine(logPath);
    } else {
      ConsoleWriteLine(QStringLiteral("\"Errorlog.txt\" couldn't be created."));
    }
    WaitIfOwnConsole();
  }
  return succeeded ? kExitOk : kExitFailed;
}
