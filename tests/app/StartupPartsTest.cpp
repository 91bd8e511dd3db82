#include "app/AppState.h"
#include "app/Startup.h"
#include "platform/FileName.h"
#include "platform/InstanceLock.h"
#include "platform/Locations.h"
#include "platform/Process.h"
#include "run/ExitCode.h"
#include "support/TempDir.h"
#include "texts/ProductTitle.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string>

namespace {

TEST(ProductTitle, EveryForm) {
  const std::array<QString, kProductTextCount> saved = ProductTexts;
  ProductTexts[0] = QStringLiteral("Mervane");
  ProductTexts[2] = QStringLiteral("Mervane-File");
  ProductTexts[4] = QStringLiteral("2.0");
  ProductTexts[6] = QStringLiteral("Batch");
  struct Case {
    bool version, suffix, fileName;
    const char* expected;
  };
  const Case cases[] = {
      {false, false, false, "Mervane"},
      {true, false, false, "Mervane 2.0"},
      {false, true, false, "Mervane - Batch"},
      {true, true, false, "Mervane 2.0 - Batch"},
      {false, false, true, "Mervane-File"},
      {true, false, true, "Mervane-File 2.0"},
      {false, true, true, "Mervane-File - Batch"},
      {true, true, true, "Mervane-File 2.0 - Batch"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ProductTitle(c.version, c.suffix, c.fileName).toStdString(), c.expected)
        << c.version << c.suffix << c.fileName;
  EXPECT_EQ(PlainTitle(), QStringLiteral("Mervane"));
  EXPECT_EQ(ErrorTitle(), QStringLiteral("Mervane - Batch"));
  EXPECT_EQ(FileNameTitle(), QStringLiteral("Mervane-File"));
  ProductTexts = saved;
}

TEST(InstanceLock, OneHolderAtATime) {
  TempDir dir;
  const QString file = dir.Path() + QLatin1String("Title.lock");
  InstanceLock second;
  {
    InstanceLock first;
    EXPECT_EQ(first.Acquire(file), InstanceLock::kAcquired);
    EXPECT_TRUE(first.Held());
    EXPECT_EQ(second.Acquire(file), InstanceLock::kHeldElsewhere);
    EXPECT_FALSE(second.Held());
  }
  // Released with its holder.
  EXPECT_EQ(second.Acquire(file), InstanceLock::kAcquired);
}

TEST(InstanceLock, UnusableLockFileIsReported) {
  TempDir dir;
  InstanceLock lock;
  EXPECT_EQ(lock.Acquire(dir.Path() + QLatin1String("missing/Title.lock")),
            InstanceLock::kUnavailable);
  // A link planted where the lock file belongs is not followed.
  const std::string target = dir.WriteFile("target", "keep");
  ASSERT_EQ(::symlink(target.c_str(), (dir.Bytes() + "Linked.lock").c_str()), 0);
  EXPECT_EQ(lock.Acquire(dir.Path() + QLatin1String("Linked.lock")), InstanceLock::kUnavailable);
  EXPECT_EQ(ReadFileBytes(target), "keep");
}

TEST(InstanceLock, LockFileLivesInRuntimeFolderElseTempWithUser) {
  TempDir dir;
  const std::string oldRuntime =
      std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
  const bool hadRuntime = std::getenv("XDG_RUNTIME_DIR") != nullptr;
  ::setenv("XDG_RUNTIME_DIR", dir.Bytes().c_str(), 1);
  EXPECT_EQ(InstanceLock::LockFilePath(QStringLiteral("Mer/vane")),
            dir.Path() + QLatin1String("Mer_vane.lock"));
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(InstanceLock::LockFilePath(QStringLiteral("Mervane")),
            TempFolder() + QLatin1String("Mervane-") + QString::number(::getuid()) +
                QLatin1String(".lock"));
  if (hadRuntime) ::setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
}

TEST(Folders, ProgramAndCurrentFolder) {
  const QString program = ProgramFolderPath();
  ASSERT_TRUE(program.endsWith(QLatin1Char('/')));
  EXPECT_TRUE(PathExists((program + QLatin1String("test_app")).toStdString()));

  TempDir dir;
  const QString before = CurrentFolder();
  ASSERT_TRUE(SetCurrentFolder(dir.Path()));
  char buffer[4096];
  ASSERT_NE(::getcwd(buffer, sizeof buffer), nullptr);
  EXPECT_EQ(CurrentFolder().toStdString(), std::string(buffer) + "/");
  EXPECT_FALSE(SetCurrentFolder(dir.Path() + QLatin1String("missing")));
  EXPECT_TRUE(SetCurrentFolder(before));
}

TEST(Folders, DesktopBelowAHomeWhoseNameIsNotUtf8) {
  TempDir dir;
  const std::string home = dir.MakeDir("caf\xE9");
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  const std::string oldConfig =
      std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  const bool hadConfig = std::getenv("XDG_CONFIG_HOME") != nullptr;
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (dir.Bytes() + "config").c_str(), 1);
  const QString desktop = DesktopFolder();
  ::setenv("HOME", oldHome.c_str(), 1);
  if (hadConfig)
    ::setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(EncodeFileName(desktop).toStdString(), home + "Desktop/");
}

TEST(RemoveFolderWithFiles, FilesGoSubfoldersStayLinksAreNotFollowed) {
  TempDir dir;
  const std::string outside = dir.WriteFile("outside.txt", "keep");
  dir.WriteFile("flat/a.txt", "a");
  dir.WriteFile("flat/.hidden", "h");
  dir.WriteFile("flat/caf\xE9.jpg", "latin1 name");
  ASSERT_EQ(::symlink(outside.c_str(), (dir.Bytes() + "flat/link").c_str()), 0);
  EXPECT_EQ(RemoveFolderWithFiles(dir.Path() + QLatin1String("flat")), 0);
  EXPECT_FALSE(PathExists(dir.Bytes() + "flat"));
  EXPECT_EQ(ReadFileBytes(outside), "keep");

  dir.WriteFile("nested/a.txt", "a");
  dir.WriteFile("nested/sub/b.txt", "b");
  EXPECT_NE(RemoveFolderWithFiles(dir.Path() + QLatin1String("nested/")), 0);
  EXPECT_FALSE(PathExists(dir.Bytes() + "nested/a.txt"));
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "nested/sub/b.txt"), "b");

  EXPECT_EQ(RemoveFolderWithFiles(dir.Path() + QLatin1String("never-there")), 0);
}

// Shutdown ends the process, so each case runs in a child and the folder is looked at after.
TEST(ShutdownDeathTest, RemovesPreviewFolderOnlyWhenThisRunMadeIt) {
  // A forked child sees the same temporary folder as this test.
  GTEST_FLAG_SET(death_test_style, "fast");
  for (const bool created : {true, false}) {
    TempDir dir;
    dir.WriteFile("Mervane_Preview/copy of a.jpg", "x");
    EXPECT_EXIT(
        {
          App().PreviewFolder = dir.Path() + QLatin1String("Mervane_Preview/");
          App().PreviewFolderCreated = created;
          Shutdown(kExitChecksStopped);
        },
        testing::ExitedWithCode(kExitChecksStopped), "");
    EXPECT_EQ(PathExists(dir.Bytes() + "Mervane_Preview"), !created) << created;
  }
}

TEST(ShutdownDeathTest, NeverFollowsALinkPlantedAsPreviewFolder) {
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  dir.WriteFile("victim/important.txt", "keep");
  ASSERT_EQ(::symlink((dir.Bytes() + "victim").c_str(), (dir.Bytes() + "Mervane_Preview").c_str()),
            0);
  EXPECT_EXIT(
      {
        App().PreviewFolder = dir.Path() + QLatin1String("Mervane_Preview/");
        App().PreviewFolderCreated = true;
        Shutdown(kExitOk);
      },
      testing::ExitedWithCode(kExitOk), "");
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "victim/important.txt"), "keep");
}

TEST(FatalExitDeathTest, WritesMessageToStandardErrorAndFails) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        App().Options.ConsoleMode = true;
        FatalExit(QStringLiteral("Couldn't initialize process."));
      },
      testing::ExitedWithCode(kExitFailed), "^Fatal error!\n\nCouldn't initialize process.\n$");
}

}  // namespace
