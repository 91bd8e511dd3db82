#include "app/Startup.h"

#include "app/AppState.h"
#include "app/ImageStore.h"
#include "cli/CommandLine.h"
#include "console/Console.h"
#include "platform/FileName.h"
#include "platform/FileSystem.h"
#include "platform/InstanceLock.h"
#include "platform/Locations.h"
#include "platform/Messages.h"
#include "platform/Process.h"
#include "platform/Signals.h"
#include "run/ErrorLog.h"
#include "run/ExitCode.h"
#include "run/RunControl.h"
#include "journal/JournalFolder.h"
#include "settings/Locations.h"
#include "settings/PresetsFile.h"
#include "settings/PresetsProblems.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// Messages before a window exists go to the standard streams whenever no window is wanted.
bool WithoutWindow(const StartupOptions& options) {
  return options.ConsoleMode || options.ShowHelp;
}

// Held from the single-instance check until the process ends; never destroyed, so the lock
// cannot be released while the program still runs.
InstanceLock& TheInstanceLock() {
  static InstanceLock* lock = new InstanceLock;
  return *lock;
}

[[noreturn]] void Uninstall(AppState& app, const QString& portablePrefix) {
  // The undo journals go too: they name the user's files, and undo ends with the program. So
  // does the error log in the state folder, before the journals' folder there is removed.
  QStringList remaining = RemoveAllSettings(portablePrefix);
  if (RemoveStateErrorLog() != 0) remaining.append(ErrorLogStateFolder() + ErrorLogFileName());
  remaining += RemoveAllJournals(portablePrefix);
  const bool withoutWindow = WithoutWindow(app.Options);
  if (remaining.isEmpty()) {
    ShowStartupMessage(
        PlainTitle(),
        QLatin1String("Removed all setting files of ") + PlainTitle() + QLatin1Char('!'),
        MessageIcon::kInformation, withoutWindow);
    Shutdown(kExitOk);
  }
  // Saying "removed" while files stay behind would report a failure as success.
  ShowStartupMessage(ErrorTitle(),
                     QLatin1String("Couldn't remove all setting files of ") + PlainTitle() +
                         QLatin1String(":\n") + remaining.join(QLatin1Char('\n')),
                     MessageIcon::kError, withoutWindow);
  Shutdown(kExitFailed);
}

// The command line's paths, absolute against the caller's folder, and what could not be taken
// said on standard error. Names go out escaped, as in the error log: a line break or a terminal
// escape in one must not reach the terminal as such.
void ResolvePendingPaths(AppState& app) {
  for (const QString& path : app.Options.RejectedPaths)
    WriteStandardError(QLatin1String("A path with a line break cannot be loaded; it is ignored: ") +
                       EscapedFileName(path));
  for (const QString& arg : app.Options.UnknownOptions)
    WriteStandardError(QLatin1String("Unknown option, ignored: ") + EscapedFileName(arg) +
                       QLatin1String(" (to load a file whose name begins with \"-\", put \"--\" "
                                     "before it; see -Help)"));
  if (app.StartFolder.isEmpty()) {
    // Never guess another folder for them: that could process the wrong files.
    QStringList dropped;
    app.Options.PendingPaths = DropRelativePaths(app.Options.PendingPaths, dropped);
    for (const QString& path : dropped)
      WriteStandardError(QLatin1String("The folder the program was started from is gone; "
                                       "the relative path is ignored: ") +
                         EscapedFileName(path));
  }
  app.Options.PendingPaths = MakePathsAbsolute(app.Options.PendingPaths, app.StartFolder);
}

QString AnotherCopyText() {
  return PlainTitle() + QLatin1String(": another copy of ") + PlainTitle() +
         QLatin1String(" is running (its window or a console run); nothing was done.");
}

// Another copy holds the lock. A start in window mode hands its paths to that copy's window
// over the session bus; a console run or an uninstall says why it does nothing. Without a
// session bus a window start ends silently, as it always did.
[[noreturn]] void AnotherCopyRuns(AppState& app, PathHandOver handOver) {
  const bool windowStart = !app.Options.ConsoleMode && !app.Options.Uninstall;
  if (!windowStart) {
    ShowStartupMessage(ErrorTitle(), AnotherCopyText(), MessageIcon::kError,
                       WithoutWindow(app.Options));
    Shutdown(kExitAnotherInstance);
  }
  if (handOver == nullptr) Shutdown(kExitAnotherInstance);
  const QStringList paths = app.Options.PendingPaths.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  switch (handOver(paths)) {
    case HandOverResult::kHandedOver:
      Shutdown(kExitOk);
    case HandOverResult::kNoSessionBus:
      Shutdown(kExitAnotherInstance);
    case HandOverResult::kNoWindowAnswered:
      break;
  }
  WriteStandardError(AnotherCopyText() +
                     QLatin1String(" Its window did not answer on the session bus, so the "
                                   "paths could not be handed to it."));
  Shutdown(kExitAnotherInstance);
}

[[noreturn]] void RunWindowOrExplain(AppState& app, WindowRunner runWindow) {
  if (runWindow == nullptr) {
    WriteStandardError(PlainTitle() +
                       QLatin1String(": this build has no window; only the console mode exists "
                                     "yet. Start it with -Console (see -Help)."));
    Shutdown(kExitFailed);
  }
  if (!DisplayAvailable()) {
    WriteStandardError(PlainTitle() +
                       QLatin1String(": no display is available for the window. Use -Console "
                                     "to run a batch without one (see -Help)."));
    Shutdown(kExitFailed);
  }
  Shutdown(runWindow(app));
}

}  // namespace

QString InitializeFailureReason() {
  return QStringLiteral("Couldn't initialize program.");
}

QString FatalMessageText(const QString& reason) {
  return QLatin1String("Fatal error!\r\n\r\n") + reason;
}

void FatalExit(const QString& reason) {
  ShowStartupMessage(ErrorTitle(), FatalMessageText(reason), MessageIcon::kError,
                     WithoutWindow(App().Options));
  Shutdown(kExitFailed);
}

void Shutdown(int exitCode) {
  AppState& app = App();
  // The console needs no restoring: the program never changes its modes. The window and its
  // icons and fonts are released by the window build before it returns.
  if (app.PreviewFolderCreated && IsOwnFolder(app.PreviewFolder))
    RemoveFolderWithFiles(app.PreviewFolder);
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(exitCode);
}

void RunProgram(int argc, const char* const* argv, WindowRunner runWindow,
                PathHandOver handOver) {
  // 1. Runtime. A reader that closes the pipe early (mervane ... | head) must not kill a run in
  // the middle of moving files: writes then just fail. The lists and the empty text tables
  // exist from here on.
  std::signal(SIGPIPE, SIG_IGN);
  AppState& app = App();

  // 2. Command line. The caller's folder is taken now, before anything changes it.
  app.Options = ParseCommandLine(DecodeArguments(argc, argv));
  app.StartFolder = CurrentFolder();
  if (app.StartFolder.isEmpty()) {
    // getcwd fails when the folder was removed meanwhile; the shell's record may still be good.
    const QString shellFolder = EnvironmentPath("PWD");
    if (shellFolder.startsWith(QLatin1Char('/')) && IsDirectory(shellFolder))
      app.StartFolder = WithFinalSlash(shellFolder);
  }

  // 3. Product texts.
  if (!LoadProductTexts()) FatalExit(InitializeFailureReason());
  if (app.Options.ShowVersion) {
    // Asking for the version disturbs nothing, so it is answered even beside a running copy.
    WriteStandardOutput(ProductTitle(true, false, false));
    Shutdown(kExitOk);
  }

  // An option with a value it cannot take stops the start: doing something else than was asked
  // (a normal run instead of an undo) could change files.
  if (!app.Options.InvalidOptions.isEmpty()) {
    for (const QString& arg : app.Options.InvalidOptions)
      WriteStandardError(QLatin1String("Invalid option: ") + EscapedFileName(arg) +
                         QLatin1String(" (--undo= takes the number of a run, as --list-runs "
                                       "shows it; see -Help)"));
    Shutdown(kExitChecksStopped);
  }

  // Relative paths name files in the caller's folder (a shell expands "*.jpg" there); they are
  // made absolute now, so that a copy already running can be handed them as they are meant.
  ResolvePendingPaths(app);

  // 4. One copy at a time. The help only prints and touches nothing, so it is answered beside
  // a running copy and takes no lock; an uninstall asked for with it still removes files.
  const bool onlyPrints = app.Options.ShowHelp && !app.Options.Uninstall;
  if (!onlyPrints &&
      TheInstanceLock().Acquire(InstanceLock::LockFilePath(PlainTitle())) ==
          InstanceLock::kHeldElsewhere)
    AnotherCopyRuns(app, handOver);

  // 5. Settings beside the program switch portable mode on by themselves.
  app.ProgramFolder = ProgramFolderPath();
  const QString portablePrefix = PortablePrefix(app.ProgramFolder);
  if (!app.Options.Portable) app.Options.Portable = DetectPortable(portablePrefix);

  // 6. Folders.
  app.DesktopFolder = DesktopFolder();
  app.PreviewFolder = TempFolder() + FileNameTitle() + QLatin1String("_Preview/");

  // 7. Settings location. An uninstall run removes the per-user folder anyway, so it does not
  // create it (nor the configuration folder above it) first.
  if (app.Options.Portable)
    app.SettingsFolder = portablePrefix;
  else if (app.Options.Uninstall)
    app.SettingsFolder = PerUserFolderPath();
  else
    app.SettingsFolder = PerUserSettingsFolder(portablePrefix);
  app.LanguageFile = app.SettingsFolder + QLatin1String("Language");
  app.PresetsFile = app.SettingsFolder + QLatin1String("Presets");
  app.JournalFolder = JournalFolderPath(app.Options.Portable, portablePrefix);

  // 8. The paths were made absolute before the lock, so the program's folder can become the
  // current directory now.
  SetCurrentFolder(app.ProgramFolder);

  // 9. Uninstall ends here, before the language or presets are touched.
  if (app.Options.Uninstall) Uninstall(app, portablePrefix);

  // 10. Language.
  app.LanguageIndex = ChooseLanguage(app.LanguageFile);
  if (!LoadLanguageTable(app.LanguageIndex)) FatalExit(InitializeFailureReason());

  // 11. The message font belongs to the window build, which asks the system for it.

  // 12. Embedded images: only the window shows any. A console run (help included) would
  // decode them for nothing on every start of a script.
  if (!WithoutWindow(app.Options) && !DecodeEmbeddedImages()) FatalExit(InitializeFailureReason());

  // 13. Presets: the command line's choice, else the stored default. A presets file that
  // cannot be used stays as it is; what is wrong is said before anything runs.
  PresetsAtStartup found;
  found.PresetsFile = app.PresetsFile;
  found.File = LoadPresets(app.PresetsFile, app.PresetList, app.DefaultPresetIndex);
  found.Presets = &app.PresetList;
  found.CommandLinePreset = app.Options.PresetIndex;
  found.Wanted = app.Options.PresetIndex >= 0 ? app.Options.PresetIndex : app.DefaultPresetIndex;
  found.Activated = ActivatePreset(found.Wanted, app.PresetList, app.WorkingSettings);
  if (found.Activated == kActivateFailed) FatalExit(InitializeFailureReason());
  app.ActivePresetIndex = found.Activated;
  app.PresetRefusal = ConsoleRefusal(found);
  app.StartupNotices = WindowNotices(found);

  // 14. Console run (help included): nothing of the window is built. Ctrl-C and SIGTERM stop
  // the run after the file in hand rather than in the middle of it.
  if (WithoutWindow(app.Options)) {
    InstallStopSignalHandlers();
    WatchStopSignal(app.Load.LoadStop);
    RunControl(app.Run).WatchStopSignal();
    ConsoleContext context{app.Options,
                           app.PresetList.value(app.ActivePresetIndex, app.WorkingSettings),
                           app.WorkingSettings,
                           app.Files,
                           app.FollowUp,
                           app.Run,
                           app.Load};
    context.ProgramFolder = app.ProgramFolder;
    context.DesktopFolder = app.DesktopFolder;
    context.ErrorLogFolder = ErrorLogStateFolder();
    context.JournalFolder = app.JournalFolder;
    context.PresetRefusal = app.PresetRefusal;
    const ConsoleResult result = RunConsole(context);
    if (result.Failure != RunFailure::None) FatalExit(RunFailureReason(result.Failure));
    if (const int signal = StopSignalReceived(); signal != 0) {
      qsizetype notProcessed = 0;
      for (const FileEntry& entry : app.Files)
        if (entry.Status == kStatusNotProcessed) ++notProcessed;
      WriteStandardError(PlainTitle() + QLatin1String(": stopped by ") +
                         QLatin1String(signal == SIGINT ? "SIGINT" : "SIGTERM") +
                         QLatin1String("; files not processed: ") + QString::number(notProcessed));
      Shutdown(kExitFailed);
    }
    Shutdown(result.ExitCode);
  }

  // 15. The window.
  RunWindowOrExplain(app, runWindow);
}
