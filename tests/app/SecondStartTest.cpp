// A second start while Mervane runs, with real processes: a window (offscreen) on a session
// bus of the test's own, and later starts that hand it their paths, print, or say why they
// do nothing.

#include "platform/InstanceLock.h"
#include "support/ChildProcess.h"
#include "support/PrivateBus.h"
#include "support/TempDir.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const std::string kAnotherCopy = "another copy of Mervane is running";

class SecondStart : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(LoadProductTexts()); }

  void SetUp() override {
    for (const char* folder : {"home", "runtime", "tmp", "work"}) dir_.MakeDir(folder);
    ::chmod((dir_.Bytes() + "runtime").c_str(), 0700);
    dir_.WriteFile("work/a.txt", "a");
    dir_.WriteFile("work/sub/b.txt", "b");
  }

  void TearDown() override {
    if (window_.state() != QProcess::NotRunning) {
      window_.terminate();
      if (!window_.waitForFinished(30000)) window_.kill();
      window_.waitForFinished(10000);
    }
  }

  // The private folders, a display for the window (offscreen) and the given bus, if any.
  std::vector<std::string> Environment(const QString& bus) const {
    std::vector<std::string> set = {"LANG=C.UTF-8", "HOME=" + dir_.Bytes() + "home",
                                    "XDG_CONFIG_HOME=" + dir_.Bytes() + "home/config",
                                    "XDG_STATE_HOME=" + dir_.Bytes() + "home/state",
                                    "XDG_RUNTIME_DIR=" + dir_.Bytes() + "runtime",
                                    "TMPDIR=" + dir_.Bytes() + "tmp", "DISPLAY=:mervane-test",
                                    "QT_QPA_PLATFORM=offscreen",
                                    // The window's application object lives until the process ends.
                                    "ASAN_OPTIONS=detect_leaks=0"};
    std::vector<std::string> without = {"WAYLAND_DISPLAY", "LC_ALL", "LC_MESSAGES",
                                        "DBUS_SESSION_BUS_ADDRESS"};
    if (!bus.isEmpty()) set.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus.toStdString());
    return EnvironmentWith(set, without);
  }

  ChildResult Start(const std::vector<std::string>& args, const QString& bus) const {
    std::vector<std::string> argv = {MERVANE_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv, Environment(bus), dir_.Bytes() + "work");
  }

  // Starts the first copy's window and waits until it answers on the bus.
  void StartWindow(const QString& bus) {
    QProcessEnvironment env;
    for (const std::string& entry : Environment(bus)) {
      const size_t equals = entry.find('=');
      env.insert(QString::fromStdString(entry.substr(0, equals)),
                 QString::fromStdString(entry.substr(equals + 1)));
    }
    window_.setProcessEnvironment(env);
    window_.setWorkingDirectory(QString::fromStdString(dir_.Bytes() + "work"));
    window_.start(QStringLiteral(MERVANE_BINARY), {});
    ASSERT_TRUE(window_.waitForStarted(30000));
    QElapsedTimer timer;
    timer.start();
    const QString service = QStringLiteral("string:org.example.mervane");
    while (timer.elapsed() < 60000) {
      QProcess ask;
      ask.setProcessEnvironment(env);
      ask.start(
          QStringLiteral("dbus-send"),
          {QStringLiteral("--session"), QStringLiteral("--print-reply"),
           QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
           QStringLiteral("org.freedesktop.DBus.NameHasOwner"), service});
      ASSERT_TRUE(ask.waitForFinished(10000)) << "dbus-send is missing (tools/install-deps.sh)";
      if (ask.readAllStandardOutput().contains("boolean true")) return;
      ASSERT_EQ(window_.state(), QProcess::Running) << window_.readAllStandardError().toStdString();
      ::usleep(100000);
    }
    FAIL() << "the window never appeared on the bus";
  }

  TempDir dir_;
  QProcess window_;
};

TEST_F(SecondStart, WindowStartHandsItsPathsToTheRunningWindowAndOthersAnswerOrSayWhy) {
  PrivateBus bus;
  ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon could not be started";
  StartWindow(bus.Address());

  // Relative paths are the caller's: they travel absolute. The start ends at once, silently.
  const ChildResult handed = Start({"a.txt", "sub"}, bus.Address());
  EXPECT_EQ(handed.exitCode, 0) << handed.err;
  EXPECT_EQ(handed.out, "");
  EXPECT_EQ(handed.err, "");
  // A start without paths only brings the window forward.
  EXPECT_EQ(Start({}, bus.Address()).exitCode, 0);

  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string inOut;  // found in standard output ("" : nothing printed)
    std::string inErr;  // found in standard error ("" : nothing printed)
  };
  const Case cases[] = {
      {{"--version"}, 0, "Mervane 2.0", ""},
      {{"-Help"}, 0, "Description of supported commands:", ""},
      {{"-Console", "-?"}, 0, "Description of supported commands:", ""},
      {{"-Console", "a.txt"}, 3, "", kAnotherCopy},
      {{"-Console", "--undo"}, 3, "", kAnotherCopy},
      {{"-Console", "--list-runs"}, 3, "", kAnotherCopy},
      {{"-Uninstall", "-Console"}, 3, "", kAnotherCopy},
  };
  for (const Case& c : cases) {
    const ChildResult r = Start(c.args, bus.Address());
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.front() << "\n" << r.err;
    if (c.inOut.empty()) {
      EXPECT_EQ(r.out, "") << c.args.front();
    } else {
      EXPECT_NE(r.out.find(c.inOut), std::string::npos) << c.args.front() << "\n" << r.out;
    }
    if (c.inErr.empty()) {
      EXPECT_EQ(r.err, "") << c.args.front();
    } else {
      EXPECT_NE(r.err.find(c.inErr), std::string::npos) << c.args.front() << "\n" << r.err;
    }
  }
  // The console run did nothing: the default preset would have copied a.txt to the desktop.
  EXPECT_FALSE(PathExists(dir_.Bytes() + "home/Desktop/output/a.txt"));
  EXPECT_EQ(window_.state(), QProcess::Running);
}

TEST_F(SecondStart, WithoutAWindowOnTheBusAWindowStartSaysSoAndWithoutABusEndsSilently) {
  // This test process is the copy that runs: it holds the lock, with no window anywhere.
  const QString lockFile =
      QString::fromStdString(dir_.Bytes() + "runtime/") + PlainTitle() + QLatin1String(".lock");
  InstanceLock first;
  ASSERT_EQ(first.Acquire(lockFile), InstanceLock::kAcquired);

  // No session bus: as the program always did, exit code 3 and not a word.
  const ChildResult silent = Start({"a.txt"}, QString());
  EXPECT_EQ(silent.exitCode, 3);
  EXPECT_EQ(silent.out, "");
  EXPECT_EQ(silent.err, "");

  // A bus, but nobody answers there (the lock holder is a console run): said, after a wait
  // for a window that may still be starting.
  PrivateBus bus;
  ASSERT_FALSE(bus.Address().isEmpty()) << "dbus-daemon could not be started";
  const ChildResult unanswered = Start({"a.txt"}, bus.Address());
  EXPECT_EQ(unanswered.exitCode, 3);
  EXPECT_EQ(unanswered.out, "");
  EXPECT_NE(unanswered.err.find(kAnotherCopy), std::string::npos) << unanswered.err;
  EXPECT_NE(unanswered.err.find("did not answer"), std::string::npos) << unanswered.err;
}

}  // namespace
