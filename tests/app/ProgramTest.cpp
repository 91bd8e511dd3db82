// The real program run as a child process in a private world: its own copy beside which
// portable files may lie, and HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR and TMPDIR in a temporary
// folder, so that nothing of the machine's own settings is read or changed.

#include "platform/InstanceLock.h"
#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "settings/SettingsHeader.h"
#include "support/ChildProcess.h"
#include "support/Lines.h"
#include "support/TempDir.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QElapsedTimer>
#include <QProcessEnvironment>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Result = ChildResult;

// The help text as the user must see it, line by line.
const char* const kHelp[] = {
    "Description of supported commands:",
    "",
    " Any file path",
    "One or more paths of files and/or directories that should be loaded. Each must be embraced "
    "by double quotes.",
    "",
    " -Console",
    "Enables this command-line mode for processing instead of the default user interface. Can be "
    "useful in combination with \"Any file path\" and \"-Preset=[0-9]\" for quick and easy batch "
    "processings.",
    "",
    " -Preset=[0-9]",
    "Set the specified preset at program start-up. If this isn't set the default will be used. "
    "See main window for more information.",
    "",
    " -IgnoreWarning",
    "Ignore warning messages (like \"Really replace files?\") that could interrupt starting the "
    "process.",
    "",
    " -Portable",
    "Save all settings in the current program directory instead of the recommended \"APPDATA\" "
    "directory. You don't have to use this command multiple times because existent setting files "
    "will be detected automatically.",
    "",
    " -Uninstall",
    "\"Uninstall\" the program by deleting all possible remaining setting files.",
    "",
    " --dry-run",
    "With -Console: load, check and plan the run without changing anything, and print one line "
    "per file: the status the run would give, the file's path and its new path, separated by "
    "tabs. Names are written as UTF-8, a backslash as \\\\, a tab, line feed or carriage return "
    "as \\t, \\n or \\r, and any other control character or byte that is not UTF-8 as \\xHH. "
    "Exit code 0: every file would be processed; 1: any would fail or be left; 2: the checks stop "
    "the run.",
    "",
    " --undo[=N]",
    "With -Console: take back the newest run that has not been taken back (or run N of "
    "--list-runs). Files that were renamed or moved go back to their old paths, copies the run "
    "made are removed while they are unchanged, and attributes, dates and download marks are "
    "restored where they are still as the run left them; folders the run created are removed "
    "when empty. Nothing that now stands in a file's old place is replaced: such files are "
    "listed and left. This works for a run that was cut off too. Only journals that belong to "
    "you and that nobody else may write to are followed. With --dry-run it only prints what it "
    "would do. Exit code 0: everything was taken back; 1: some files could not be, or the "
    "journal is damaged, refused or cannot be read; 2: nothing to undo; 3: the journal is in use "
    "by a run or undo that has not ended.",
    "",
    " --list-runs",
    "With -Console: list the runs kept in the undo journal (the last 20), one per line: number, "
    "time, preset, number of files and whether they were taken back.",
};

class Program : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(LoadProductTexts()); }

  void SetUp() override {
    // A hard link is enough and quick; a copy where linking is not possible.
    program_ = dir_.MakeDir("program") + "mervane";
    if (::link(MERVANE_BINARY, program_.c_str()) != 0) {
      const std::string binary = ReadFileBytes(MERVANE_BINARY);
      ASSERT_FALSE(binary.empty());
      dir_.WriteFile("program/mervane", binary);
      ASSERT_EQ(::chmod(program_.c_str(), 0755), 0);
    }
    dir_.MakeDir("home");
    dir_.MakeDir("runtime");
    dir_.MakeDir("tmp");
    dir_.MakeDir("work");
  }

  Result Run(const QStringList& args, const std::string& cwd = {},
             const std::string& executable = {}) const {
    std::vector<std::string> argv = {executable.empty() ? program_ : executable};
    for (const QString& arg : args) argv.push_back(arg.toStdString());
    const std::vector<std::string> env = EnvironmentWith(
        {"LANG=C.UTF-8", "HOME=" + dir_.Bytes() + "home", "XDG_CONFIG_HOME=" + ConfigHome(),
         "XDG_STATE_HOME=" + StateHome(), "XDG_RUNTIME_DIR=" + dir_.Bytes() + "runtime",
         "TMPDIR=" + dir_.Bytes() + "tmp"},
        {"DISPLAY", "WAYLAND_DISPLAY", "LC_ALL", "LC_MESSAGES", "LANGUAGE",
         "DBUS_SESSION_BUS_ADDRESS"});
    return RunChild(argv, env, cwd.empty() ? dir_.Bytes() + "work" : cwd);
  }

  // For a child started with QProcess: its home, settings, runtime and temporary folders are
  // the test's own.
  void UsePrivateFolders(QProcessEnvironment& env) const {
    env.insert(QStringLiteral("HOME"), QString::fromStdString(dir_.Bytes() + "home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(ConfigHome()));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir_.Bytes() + "runtime"));
    env.insert(QStringLiteral("TMPDIR"), QString::fromStdString(dir_.Bytes() + "tmp"));
  }

  std::string ConfigHome() const { return dir_.Bytes() + "home/config"; }
  std::string StateHome() const { return dir_.Bytes() + "home/state"; }
  std::string UserDir() const { return ConfigHome() + "/" + PlainTitle().toStdString() + "/"; }
  std::string PortableFile(const char* name) const {
    return dir_.Bytes() + "program/" + FileNameTitle().toStdString() + "_" + name;
  }

  TempDir dir_;
  std::string program_;
};

std::vector<std::string> BannerLines() {
  const std::string title = ProductTitle(false, true, false).toStdString();
  return {"",
          "",
          title,
          std::string(static_cast<size_t>(ProductTitle(false, true, false).size()), '*'),
          ProductTexts[13].toStdString(),
          ProductTexts[14].toStdString(),
          "",
          "",
          "",
          "----------------",
          ""};
}

TEST_F(Program, HelpPrintsBannerHelpAndClosingOnly) {
  std::vector<std::string> expected = BannerLines();
  expected.insert(expected.end(), std::begin(kHelp), std::end(kHelp));
  expected.insert(expected.end(), {"", "----------------", ""});

  for (const QStringList& args :
       {QStringList{QStringLiteral("-Help")}, QStringList{QStringLiteral("-?")},
        QStringList{QStringLiteral("--help")}, QStringList{QStringLiteral("-h")},
        // Help wins over console mode and paths: nothing is loaded or processed.
        QStringList{QStringLiteral("-Console"), QStringLiteral("a.txt"),
                    QStringLiteral("-HELP")}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString();
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = SplitLines(r.out);
    ASSERT_EQ(lines.size(), expected.size()) << r.out;
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    // Printing the help never creates the per-user folder (nor the configuration folder).
    EXPECT_FALSE(PathExists(ConfigHome()));
  }
}

TEST_F(Program, VersionPrintsTitleWithVersion) {
  const Result r = Run({QStringLiteral("--version")});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, ProductTitle(true, false, false).toStdString() + "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(PathExists(ConfigHome()));
}

TEST_F(Program, UninstallRemovesBothLocationsAndSaysSo) {
  dir_.WriteFile("home/config/" + PlainTitle().toStdString() + "/Language", "x");
  dir_.WriteFile("home/config/" + PlainTitle().toStdString() + "/Presets", "y");
  dir_.WriteFile("home/config/unrelated", "keep");
  for (const char* name : {"Language", "Presets"})
    dir_.WriteFile("program/" + FileNameTitle().toStdString() + "_" + name, "z");

  const Result r = Run({QStringLiteral("-uninstall"), QStringLiteral("-Console")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Removed all setting files of " + PlainTitle().toStdString() + "!\n");
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(PathExists(UserDir()));
  EXPECT_FALSE(PathExists(PortableFile("Language")));
  EXPECT_FALSE(PathExists(PortableFile("Presets")));
  EXPECT_EQ(ReadFileBytes(ConfigHome() + "/unrelated"), "keep");
  EXPECT_TRUE(PathExists(program_));

  // Nothing left to remove is no error either, and creates nothing.
  const Result again = Run({QStringLiteral("-Uninstall")});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.err, r.err);
  EXPECT_FALSE(PathExists(UserDir()));
}

TEST_F(Program, UninstallKeepsTheUsersFilesAndNeverFollowsALink) {
  dir_.WriteFile("home/config/" + PlainTitle().toStdString() + "/Language", "x");
  dir_.WriteFile("home/config/" + PlainTitle().toStdString() + "/sub/mine.txt", "mine");
  // The undo journals of both places go with the settings; a file of the user's stays.
  dir_.WriteFile("home/state/" + PlainTitle().toStdString() + "/journal/00000001.journal", "j");
  dir_.WriteFile("program/" + FileNameTitle().toStdString() + "_Journal/00000002.journal", "j");
  dir_.WriteFile("program/" + FileNameTitle().toStdString() + "_Journal/notes.txt", "mine");
  const Result r = Run({QStringLiteral("-Uninstall")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(PathExists(UserDir() + "Language"));
  EXPECT_EQ(ReadFileBytes(UserDir() + "sub/mine.txt"), "mine");
  EXPECT_FALSE(PathExists(StateHome() + "/" + PlainTitle().toStdString())) << "emptied and removed";
  const std::string portableJournals =
      dir_.Bytes() + "program/" + FileNameTitle().toStdString() + "_Journal/";
  EXPECT_FALSE(PathExists(portableJournals + "00000002.journal"));
  EXPECT_EQ(ReadFileBytes(portableJournals + "notes.txt"), "mine");

  // A per-user folder linked in from elsewhere: nothing in it is touched, and the run says so.
  ::unlink((UserDir() + "sub/mine.txt").c_str());
  ::rmdir((UserDir() + "sub").c_str());
  ASSERT_EQ(::rmdir(UserDir().c_str()), 0);
  dir_.WriteFile("dotfiles/Presets", "y");
  std::string link = UserDir();
  link.pop_back();
  ASSERT_EQ(::symlink((dir_.Bytes() + "dotfiles").c_str(), link.c_str()), 0);
  const Result linked = Run({QStringLiteral("-Uninstall")});
  EXPECT_EQ(linked.exitCode, 1);
  EXPECT_EQ(linked.out, "");
  EXPECT_NE(linked.err.find(UserDir()), std::string::npos) << linked.err;
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "dotfiles/Presets"), "y");
}

TEST_F(Program, SecondCopyAnswersOnlyWhatDisturbsNothingAndSaysWhy) {
  // This test process is the first copy: it holds the lock the program takes at start.
  const QString lockFile =
      QString::fromStdString(dir_.Bytes() + "runtime/") + PlainTitle() + QLatin1String(".lock");
  const std::string another = "another copy of " + PlainTitle().toStdString() + " is running";
  {
    InstanceLock first;
    ASSERT_EQ(first.Acquire(lockFile), InstanceLock::kAcquired);
    dir_.WriteFile("home/config/" + PlainTitle().toStdString() + "/Presets", "keep");
    struct Case {
      QStringList args;
      int exitCode;
      bool printsHelp;
      bool saysAnotherCopy;
    };
    const Case cases[] = {
        // A window start without a session bus to reach the other copy by: silent, as ever.
        {{}, 3, false, false},
        {{QStringLiteral("-Console")}, 3, false, true},
        {{QStringLiteral("-Help")}, 0, true, false},
        {{QStringLiteral("-Uninstall")}, 3, false, true},
        // The help prints, but an uninstall beside it would remove files: that waits.
        {{QStringLiteral("-Help"), QStringLiteral("-Uninstall")}, 3, false, true},
        {{QStringLiteral("-Console"), QStringLiteral("-Preset=1"), QStringLiteral("a.txt"),
          QStringLiteral("line\nbreak")},
         3, false, true},
    };
    for (const Case& c : cases) {
      const Result r = Run(c.args);
      const std::string name = c.args.join(' ').toStdString();
      EXPECT_EQ(r.exitCode, c.exitCode) << name;
      EXPECT_EQ(r.out.find("Description of supported commands:") != std::string::npos,
                c.printsHelp)
          << name << "\n" << r.out;
      if (!c.printsHelp) {
        EXPECT_EQ(r.out, "") << name;
      }
      EXPECT_EQ(r.err.find(another) != std::string::npos, c.saysAnotherCopy) << name << r.err;
      if (!c.saysAnotherCopy && c.args.size() < 2) {
        EXPECT_EQ(r.err, "") << name;
      }
    }
    EXPECT_EQ(ReadFileBytes(UserDir() + "Presets"), "keep");
  }
  // The first copy has ended: the next one runs.
  const Result r = Run({QStringLiteral("-Console")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_FALSE(r.out.empty());
}

TEST_F(Program, LockOfAnEndedCopyDoesNotBlock) {
  const std::string lockFile = dir_.Bytes() + "runtime/" + PlainTitle().toStdString() + ".lock";
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // A copy that takes the lock and dies without any clean-up.
    InstanceLock lock;
    ::_exit(lock.Acquire(QString::fromStdString(lockFile)) == InstanceLock::kAcquired ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(PathExists(lockFile));
  EXPECT_EQ(Run({QStringLiteral("--help")}).exitCode, 0);
}

TEST_F(Program, WindowModeWithoutDisplayExplainsAndFails) {
  const Result r = Run({});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("-Console"), std::string::npos) << r.err;
}

TEST_F(Program, SettingsBesideProgramSwitchPortableModeOn) {
  const auto writeLanguageFile = [this](const QString& version) {
    SettingsWriter out;
    WriteHeader(out, FileNameTitle(), version);
    out.WriteInt8(1);
    dir_.WriteFile("program/" + FileNameTitle().toStdString() + "_Language",
                   out.Bytes().toStdString());
  };
  // A current language file beside the program: the settings stay there, no per-user folder.
  writeLanguageFile(ProductTexts[kProductVersion]);
  const Result portable = Run({QStringLiteral("-Console")});
  EXPECT_EQ(portable.exitCode, 2) << portable.out << portable.err;
  EXPECT_FALSE(PathExists(ConfigHome()));

  // A file of another version does not count: the per-user folder is made.
  writeLanguageFile(QStringLiteral("1.0"));
  const Result perUser = Run({QStringLiteral("-Console")});
  EXPECT_EQ(perUser.exitCode, 2) << perUser.out << perUser.err;
  EXPECT_TRUE(PathExists(UserDir()));
}

TEST_F(Program, RelativePathsNameFilesInTheCallersFolder) {
  // The program makes its own folder the current one; the names a shell handed over must still
  // be found where the caller stood.
  dir_.WriteFile("work/a.txt", "a");
  dir_.WriteFile("work/sub/b.txt", "b");
  dir_.WriteFile("work/sub/c.txt", "c");
  // A downloaded file whose name holds backslashes: it names itself, never "sub/c.txt".
  dir_.WriteFile("work/sub\\c.txt", "literal");
  dir_.WriteFile("program/a.txt", "wrong one");
  const Result r = Run({QStringLiteral("-Console"), QStringLiteral("a.txt"),
                        QStringLiteral("./sub/b.txt"), QStringLiteral("sub\\c.txt")});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Loaded files: 3\n"), std::string::npos) << r.out;
  // The default preset copies into "output" on the desktop.
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "home/Desktop/output/a.txt"), "a");
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "home/Desktop/output/b.txt"), "b");
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "home/Desktop/output/sub\\c.txt"), "literal");
  EXPECT_FALSE(PathExists(dir_.Bytes() + "home/Desktop/output/c.txt"));
}

TEST_F(Program, TerminatedRunFinishesTheFileInHandAndLeavesNoTemporaryFile) {
  // Enough files that the run is still copying when the signal arrives.
  const std::string content(256 * 1024, 'x');
  constexpr int kFiles = 300;
  for (int i = 0; i < kFiles; ++i)
    dir_.WriteFile("work/in/f" + std::to_string(i) + ".bin", content);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QString::fromLatin1(name));
  UsePrivateFolders(env);
  QProcess child;
  child.setProcessEnvironment(env);
  child.setWorkingDirectory(QString::fromStdString(dir_.Bytes() + "work"));
  child.start(QString::fromStdString(program_), {QStringLiteral("-Console"), QStringLiteral("in")});
  QByteArray out;
  while (!out.contains("Processing, please wait...") && child.waitForReadyRead(30000))
    out += child.readAllStandardOutput();
  ASSERT_TRUE(out.contains("Processing, please wait...")) << out.toStdString();
  child.terminate();  // SIGTERM
  ASSERT_TRUE(child.waitForFinished(60000));
  out += child.readAllStandardOutput();
  const std::string err = child.readAllStandardError().toStdString();
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << "ended by the signal, not by itself";
  EXPECT_EQ(child.exitCode(), 1) << out.toStdString() << err;
  EXPECT_NE(err.find("stopped by SIGTERM"), std::string::npos) << err;

  // Every source is intact, every copy made is complete, no temporary file is left.
  const std::string output = dir_.Bytes() + "home/Desktop/output/";
  int copies = 0;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "f" + std::to_string(i) + ".bin";
    EXPECT_TRUE(ReadFileBytes(dir_.Bytes() + "work/in/" + name) == content) << name;
    if (PathExists(output + name)) {
      ++copies;
      EXPECT_TRUE(ReadFileBytes(output + name) == content) << name;
    }
  }
  EXPECT_LT(copies, kFiles) << "the run went on after the signal";
  if (DIR* d = ::opendir(output.c_str())) {
    while (const dirent* e = ::readdir(d))
      EXPECT_NE(std::string(e->d_name).rfind(".mervane-", 0), 0u) << e->d_name;
    ::closedir(d);
  }
}

// Whether the process with `pid` has a handler of its own for `signal` (/proc's SigCgt mask).
bool CatchesSignal(qint64 pid, int signal) {
  const std::string status = ReadFileBytes("/proc/" + std::to_string(pid) + "/status");
  const size_t at = status.find("SigCgt:");
  if (at == std::string::npos) return false;
  const unsigned long long mask = std::strtoull(status.c_str() + at + 7, nullptr, 16);
  return (mask >> (signal - 1)) & 1;
}

TEST_F(Program, TerminatedWindowEndsThroughTheShutDown) {
  dir_.WriteFile("work/a.txt", "a");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":mervane-test"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  // The window's application object lives until the process ends; the font library's caches
  // that it holds are no leak of ours.
  env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
  ::chmod((dir_.Bytes() + "runtime").c_str(), 0700);
  UsePrivateFolders(env);
  QProcess child;
  child.setProcessEnvironment(env);
  child.setWorkingDirectory(QString::fromStdString(dir_.Bytes() + "work"));
  child.start(QString::fromStdString(program_), {QStringLiteral("a.txt")});
  ASSERT_TRUE(child.waitForStarted(30000));
  // The window is up once the program catches SIGTERM itself.
  QElapsedTimer timer;
  timer.start();
  while (!CatchesSignal(child.processId(), SIGTERM) && timer.elapsed() < 30000)
    ::usleep(20000);
  ASSERT_TRUE(CatchesSignal(child.processId(), SIGTERM));
  child.terminate();  // SIGTERM
  ASSERT_TRUE(child.waitForFinished(30000));
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << "ended by itself, not by the signal";
  EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
}

TEST_F(Program, KeepSubfoldersWithParentPathsStaysInsideTheTargetFolder) {
  // A preset that copies into "out" below the work folder, keeping the subfolders.
  QList<Preset> presets = BuiltinPresets();
  presets[0].TargetDirActive = 1;
  presets[0].TargetDirTemplate = QString::fromStdString(dir_.Bytes() + "work/out/");
  presets[0].KeepSubfolders = 1;
  presets[0].TargetMove = 0;
  presets[0].CaseActive = 0;  // names as they are
  presets[0].ExtCaseActive = 0;
  dir_.WriteFile(
      "home/config/" + PlainTitle().toStdString() + "/Presets",
      SerializePresets(presets, 0, FileNameTitle(), ProductTexts[kProductVersion]).toStdString());
  dir_.WriteFile("work/Desktop/photos/a.jpg", "a");
  dir_.WriteFile("work/other/photos/b.jpg", "b");
  const Result r = Run({QStringLiteral("-Console"), QStringLiteral("-Preset=1"),
                        QStringLiteral("-IgnoreWarning"), QStringLiteral("Desktop/photos"),
                        QStringLiteral("Desktop/photos/../../other/photos")});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "work/out/Desktop/photos/a.jpg"), "a");
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "work/out/other/photos/b.jpg"), "b");
  EXPECT_FALSE(PathExists(dir_.Bytes() + "work/other/photos/out")) << "nothing outside out/";
}

TEST_F(Program, ArgumentThatLooksLikeAnOptionIsReported) {
  dir_.WriteFile("work/-draft.txt", "d");
  struct Case {
    QStringList args;
    const char* mention;
  };
  const Case cases[] = {
      {{QStringLiteral("-Console"), QStringLiteral("-draft.txt")}, "-draft.txt"},
      // Not preset 1: a preset option with two characters is no preset option.
      {{QStringLiteral("-Console"), QStringLiteral("-Preset=12")}, "-Preset=12"},
  };
  for (const Case& c : cases) {
    const Result r = Run(c.args);
    EXPECT_NE(r.err.find(std::string("Unknown option, ignored: ") + c.mention), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("\"--\""), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("\nPreset: 0 -> \""), std::string::npos) << r.out;
    EXPECT_EQ(r.exitCode, 2) << r.out;  // nothing loaded: the checks stop the run
  }
  const Result given =
      Run({QStringLiteral("-Console"), QStringLiteral("--"), QStringLiteral("-draft.txt")});
  EXPECT_EQ(given.err, "");
  EXPECT_NE(given.out.find("Loaded files: 1\n"), std::string::npos) << given.out;
}

TEST_F(Program, RelativePathsFromARemovedFolderAreIgnoredNotGuessed) {
  dir_.WriteFile("work/b.txt", "b");
  dir_.MakeDir("gone");
  dir_.WriteFile("program/a.txt", "must not be taken");
  // The shell stands in a folder that disappears before the program starts.
  const QString script =
      QStringLiteral("cd '%1gone' && rmdir '%1gone' && exec '%2' -Console a.txt '%1work/b.txt'")
          .arg(QString::fromStdString(dir_.Bytes()), QString::fromStdString(program_));
  const Result r = Run({QStringLiteral("-c"), script}, {}, "/bin/sh");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("ignored: a.txt"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Loaded files: 1\n"), std::string::npos) << r.out;
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "home/Desktop/output/b.txt"), "b");
  EXPECT_FALSE(PathExists(dir_.Bytes() + "home/Desktop/output/a.txt"));
}

TEST_F(Program, PresetFromCommandLineElseStoredDefault) {
  // A presets file whose stored default is position 2.
  QList<Preset> presets = BuiltinPresets();
  dir_.WriteFile(
      "home/config/" + PlainTitle().toStdString() + "/Presets",
      SerializePresets(presets, 2, FileNameTitle(), ProductTexts[kProductVersion]).toStdString());
  struct Case {
    const char* label;
    QStringList args;
    const char* expectedLine;
  };
  const Case cases[] = {
      {"stored default", {QStringLiteral("-Console")}, "Preset: 2 -> \""},
      {"command line wins",
       {QStringLiteral("-Console"), QStringLiteral("-Preset=3")},
       "Preset: 3 -> \""},
      {"missing preset falls back to 0",
       {QStringLiteral("-Console"), QStringLiteral("-Preset=9")},
       "Preset: 0 -> \""},
  };
  for (const Case& c : cases) {
    const Result r = Run(c.args);
    // No paths: the checks stop the run.
    EXPECT_EQ(r.exitCode, 2) << c.label;
    EXPECT_NE(r.out.find(std::string("\n") + c.expectedLine), std::string::npos) << c.label << "\n"
                                                                                 << r.out;
  }
}

}  // namespace
