// The undo journal against other people and other processes: a journal planted by another user
// is refused, two undos (or a run and an undo) of one journal exclude each other whatever
// session they come from, and an undo killed at any moment is finished by the next. The real
// program, as two processes where two meet.

#include "console/ConsoleWorld.h"

#include "journal/Journal.h"
#include "platform/FileIdentity.h"

#include <sys/stat.h>

#include <functional>
#include <thread>

namespace {

constexpr uid_t kNobody = 65534;

// Writes `bytes` to `path` as the user nobody, as another user on the machine would.
bool WriteAsNobody(const TempDir& dir, const std::string& path, const std::string& bytes) {
  const std::string staged = dir.WriteFile("staged.journal", bytes);
  ::chmod(staged.c_str(), 0644);
  const std::string command = "setpriv --reuid=" + std::to_string(kNobody) +
                              " --regid=" + std::to_string(kNobody) + " --clear-groups -- cp '" +
                              staged + "' '" + path + "'";
  return std::system(command.c_str()) == 0;
}

bool CanBecomeNobody() {
  return ::geteuid() == 0 && std::system("command -v setpriv >/dev/null 2>&1") == 0;
}

// A journal made from nothing but what stat shows of the victim's files: "remove the copy" of
// one, and "put back" a mode anyone may write with on another.
std::string PlantedJournal(const std::string& secret, const std::string& profile) {
  JournalEncoder out;
  JournalHeader header;
  header.Number = 2;
  header.ListCount = 2;
  out.Begin(header);
  const FileIdentity target = ReadFileIdentity(DecodeFileName(secret));
  JournalIntent copy;
  copy.Position = 0;
  copy.Action = JournalAction::Copy;
  copy.Source = QByteArray::fromStdString(secret + ".orig");
  copy.Target = QByteArray::fromStdString(secret);
  copy.Identity.Error = ENOENT;
  out.Intent(copy);
  JournalOutcome copied;
  copied.Position = 0;
  copied.Status = 1;
  copied.NewFile = true;
  copied.Result = target;
  out.Outcome(copied);
  JournalIntent chmod;
  chmod.Position = 1;
  chmod.Action = JournalAction::InPlace;
  chmod.Flags = kIntentClearsReadOnly;
  chmod.Source = QByteArray::fromStdString(profile);
  chmod.Target = chmod.Source;
  chmod.Identity = ReadFileIdentity(DecodeFileName(profile));
  chmod.Properties.Mode = 0666;
  out.Intent(chmod);
  out.End({{1, 0}, 2, 0});
  return out.Bytes().toStdString();
}

class ConsoleSafety : public ConsoleWorldTest {};

// A journal someone else could have written is never obeyed: the undo names it and why, ends
// with 1 and touches nothing; the user's own older run stays as it is until the planted one is
// gone.
TEST_F(ConsoleSafety, AJournalAnotherUserCouldHaveWrittenIsRefused) {
  struct Case {
    const char* what;
    mode_t folderMode;
    mode_t fileMode;
    bool byNobody;  // planted by another user (needs root to have one)
    std::string reason;
  };
  // The reason: "folder" and "file" stand for "others may write to" the journal folder or file.
  const Case cases[] = {
      {"the journal folder open to everyone, another user's journal in it", 0777, 0600, true,
       "folder"},
      {"another user's journal in the private folder", 0700, 0600, true,
       "belongs to another user (nobody, uid 65534)"},
      {"a journal anyone may write to", 0700, 0666, false, "file"},
      {"the journal folder open to its group", 0770, 0600, false, "folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.byNobody && !CanBecomeNobody()) {
      std::cout << "[ SKIPPED  ] " << c.what
                << ": a second user is needed, and only root can act as one (setpriv)\n";
      continue;
    }
    World w;
    w.SavePresetList({RenamePreset()});
    w.Dir().WriteFile("work/files/mine.txt", "mine");
    const std::string secret = w.Dir().WriteFile("work/secret.txt", "the victim's secret");
    const std::string profile = w.Dir().WriteFile("home/.bashrc", "alias ll='ls -l'");
    ::chmod(profile.c_str(), 0644);
    ASSERT_EQ(w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"}).exitCode, 0);
    ASSERT_TRUE(w.Exists("work/files/mine-new.txt"));

    // The folders on the way can be entered by others; the journal folder is as the case says.
    ::chmod(w.Base().c_str(), 0755);
    ::chmod((w.Base() + "state/" + Utf8(PlainTitle())).c_str(), 0711);
    ::chmod(w.JournalFolder().c_str(), c.byNobody ? 0777 : c.folderMode);
    const std::string planted = PlantedJournal(secret, profile);
    if (c.byNobody) {
      ASSERT_TRUE(WriteAsNobody(w.Dir(), w.Journal(2), planted));
      ASSERT_EQ(StatOf(w.Journal(2)).st_uid, kNobody);
      ::chmod(w.JournalFolder().c_str(), c.folderMode);
    } else {
      w.Dir().WriteFile("state/" + Utf8(PlainTitle()) + "/journal/00000002.journal", planted);
      ::chmod(w.Journal(2).c_str(), c.fileMode);
    }
    const std::string reason = c.reason == "folder" ? "others may write to " + w.JournalFolder()
                               : c.reason == "file" ? "others may write to " + w.Journal(2)
                                                    : c.reason;
    const auto before = Tree(w.Work());

    for (const char* dry : {"--dry-run", ""}) {
      std::vector<std::string> args = {"-Console", "--undo"};
      if (*dry != '\0') args.push_back(dry);
      const ChildResult undo = w.Run(args);
      EXPECT_EQ(undo.exitCode, 1) << undo.out;
      EXPECT_TRUE(World::Says(undo, "The undo journal " + w.Journal(2) + " is refused: "))
          << undo.out;
      EXPECT_TRUE(World::Says(undo, reason)) << undo.out;
      EXPECT_TRUE(World::Says(undo, "Nothing was changed.")) << undo.out;
    }
    const ChildResult named = w.Run({"-Console", "--undo=2"});
    EXPECT_EQ(named.exitCode, 1);
    EXPECT_EQ(w.Read("work/secret.txt"), "the victim's secret");
    EXPECT_EQ(StatOf(profile).st_mode & 07777, 0644u);
    EXPECT_EQ(Tree(w.Work()), before) << "nothing touched";
    const ChildResult listed = w.Run({"-Console", "--list-runs"});
    EXPECT_TRUE(World::Says(listed, "\trefused: ")) << listed.out;

    // Gone, and the folder private again: the user's own run is taken back as usual.
    ::unlink(w.Journal(2).c_str());
    ::chmod(w.JournalFolder().c_str(), 0700);
    EXPECT_EQ(w.Run({"-Console", "--undo"}).exitCode, 0);
    EXPECT_EQ(w.Read("work/files/mine.txt"), "mine");
  }
}

// Two undos of one run from two sessions (the one-copy lock of each session does not meet the
// other's), and a run and an undo: the journal's own lock keeps the second out, it says so and
// ends with 3, and nothing it could have touched changes.
TEST_F(ConsoleSafety, ARunAndAnUndoAndTwoUndosOfOneJournalExcludeEachOther) {
  World w;
#ifndef MERVANE_TEST_SWITCHES
  GTEST_SKIP() << "stopping at a chosen moment needs a build with MERVANE_TEST_SWITCHES";
#endif
  w.SavePresetList({RenamePreset()});
  for (int i = 0; i < 40; ++i) w.Dir().WriteFile("work/files/f" + std::to_string(i) + ".txt", "x");
  const auto original = Tree(w.Work());

  // A run that stops itself after its fifth file, holding its journal.
  Started run = w.Start({"-Console", "-Preset=1", "-IgnoreWarning", "files"},
                        {"MERVANE_TEST_STOP_AT=acted:5"});
  ASSERT_TRUE(World::WaitStopped(run));
  const auto midRun = Tree(w.Work());
  for (const char* dry : {"", "--dry-run"}) {
    std::vector<std::string> args = {"-Console", "--undo"};
    if (*dry != '\0') args.push_back(dry);
    const ChildResult undo = w.Run(args, {w.OtherSession()});
    EXPECT_EQ(undo.exitCode, 3) << undo.out << undo.err;
    EXPECT_TRUE(World::Says(undo, "The journal of run 1 is in use by a run or an undo"))
        << undo.out;
  }
  EXPECT_TRUE(World::Says(w.Run({"-Console", "--list-runs"}, {w.OtherSession()}), ", in use"));
  EXPECT_EQ(Tree(w.Work()), midRun) << "the second one touched nothing";
  EXPECT_EQ(World::Finish(run), 0);
  ASSERT_NE(Tree(w.Work()), original);

  // An undo that stops itself after its tenth entry, and a second undo from another session.
  Started first = w.Start({"-Console", "--undo"}, {"MERVANE_TEST_STOP_AT=undone:10"});
  ASSERT_TRUE(World::WaitStopped(first));
  const auto midUndo = Tree(w.Work());
  const ChildResult second = w.Run({"-Console", "--undo"}, {w.OtherSession()});
  EXPECT_EQ(second.exitCode, 3) << second.out;
  EXPECT_EQ(Tree(w.Work()), midUndo);
  EXPECT_EQ(World::Finish(first), 0);
  EXPECT_EQ(Tree(w.Work()), original);
  EXPECT_EQ(w.Run({"-Console", "--undo"}).exitCode, 2) << "taken back once, completely";
}

// Two undos of one move across file systems started at the same moment from two sessions:
// whichever gets the journal takes the run back, the other is told; every file is back once.
TEST_F(ConsoleSafety, TwoUndosStartedAtOnceLoseNothing) {
  World w;
  OtherFileSystemFolder other(w.Base());
  if (other.path.empty())
    GTEST_SKIP() << "no second file system (/dev/shm) beside the temporary folder";
  w.SavePresetList({IntoFolder(other.path + "moved/", true)});
  for (int i = 0; i < 3000; ++i)
    w.Dir().WriteFile("work/src/f" + std::to_string(i) + ".dat", "file " + std::to_string(i));
  const auto original = Tree(w.Work());
  ASSERT_EQ(w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "src"}, {}, 300).exitCode, 0);
  ASSERT_EQ(Tree(w.Work()).size(), 0u);

  ChildResult results[2];
  std::thread a([&] { results[0] = w.Run({"-Console", "--undo"}, {}, 300); });
  std::thread b([&] { results[1] = w.Run({"-Console", "--undo"}, {w.OtherSession()}, 300); });
  a.join();
  b.join();
  const int zeros = (results[0].exitCode == 0) + (results[1].exitCode == 0);
  EXPECT_EQ(zeros, 1) << results[0].out << results[1].out;
  for (const ChildResult& result : results)
    EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 3 || result.exitCode == 2)
        << result.exitCode << result.out;
  int own = 0;
  EXPECT_TRUE(Tree(w.Work(), &own) == original) << "every file back, once";
  EXPECT_EQ(own, 0);
  EXPECT_TRUE(Tree(other.path).empty());
}

// An undo killed at any moment, within one file system and across two, the moments inside its
// own moves and removals included: the next undo finishes it, and the tree is as before the
// run to the byte, mode and modification time, with nothing set aside left anywhere.
TEST_F(ConsoleSafety, AnUndoKilledAtAnyMomentIsFinishedByTheNext) {
#ifndef MERVANE_TEST_SWITCHES
  GTEST_SKIP() << "the crash points are read only in a build with MERVANE_TEST_SWITCHES";
#endif
  const TempDir probe;
  OtherFileSystemFolder other(probe.Bytes());
  struct Case {
    const char* what;
    bool acrossFileSystems;
    const char* point;
  };
  const Case cases[] = {
      {"renamed, after the first entry", false, "undone:1"},
      {"renamed, in the middle", false, "undone:20"},
      {"renamed, at the last entry", false, "undone:30"},
      {"moved across, before the first copy back is placed", true, "laststep:2"},
      {"moved across, the copy back placed", true, "placed:1"},
      {"moved across, the run's file set aside", true, "aside:1"},
      {"moved across, later", true, "aside:17"},
      {"moved across, after an entry", true, "undone:12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.acrossFileSystems && other.path.empty()) {
      std::cout << "[ SKIPPED  ] " << c.what << ": no second file system (/dev/shm)\n";
      continue;
    }
    World w;
    Preset preset = c.acrossFileSystems ? IntoFolder(other.path + "moved/", true) : RenamePreset();
    // Permissions and dates change too: what the killed undo had not put back yet must be.
    preset.ReadOnlyChange = 1;
    preset.ChangeDates = 1;
    preset.DateMode = 1;
    preset.FixedDate = 1000000000;
    w.SavePresetList({preset});
    for (int i = 0; i < 30; ++i) {
      const std::string path =
          w.Dir().WriteFile("work/src/f" + std::to_string(i) + ".dat", std::string(100 + i, 'a'));
      ::chmod(path.c_str(), 0640);
    }
    const auto original = Tree(w.Work());
    ASSERT_EQ(w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "src"}).exitCode, 0);

    const ChildResult killed =
        w.Run({"-Console", "--undo"}, {std::string("MERVANE_TEST_KILL_AT=") + c.point});
    EXPECT_EQ(killed.exitCode, -1) << "killed: " << killed.out;
    const ChildResult undo = w.Run({"-Console", "--undo"});
    EXPECT_EQ(undo.exitCode, 0) << undo.out << undo.err;
    EXPECT_TRUE(World::Says(undo, "Result: Taken back completely")) << undo.out;
    int own = 0;
    const auto now = Tree(w.Work(), &own);
    EXPECT_EQ(own, 0) << "nothing set aside or half copied stays";
    EXPECT_TRUE(now == original) << "content, mode and dates as before the run";
    if (c.acrossFileSystems) {
      int there = 0;
      EXPECT_TRUE(Tree(other.path, &there).empty());
      EXPECT_EQ(there, 0);
    }
  }
}

// The new moment a move across file systems has, between setting its source aside and removing
// it: killed there, the run is taken back whole.
TEST_F(ConsoleSafety, ARunKilledWhileItsSourceIsSetAsideIsTakenBack) {
  World w;
#ifndef MERVANE_TEST_SWITCHES
  GTEST_SKIP() << "the crash points are read only in a build with MERVANE_TEST_SWITCHES";
#endif
  OtherFileSystemFolder other(w.Base());
  if (other.path.empty())
    GTEST_SKIP() << "no second file system (/dev/shm) beside the temporary folder";
  w.SavePresetList({IntoFolder(other.path + "moved/", true)});
  for (int i = 0; i < 40; ++i)
    w.Dir().WriteFile("work/src/f" + std::to_string(i) + ".dat", std::string(500 + i, 'b'));
  const auto original = Tree(w.Work());
  for (const char* point : {"aside:1", "aside:25", "aside:40"}) {
    SCOPED_TRACE(point);
    const ChildResult killed = w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "src"},
                                     {std::string("MERVANE_TEST_KILL_AT=") + point});
    EXPECT_EQ(killed.exitCode, -1);
    int own = 0;
    Tree(w.Work(), &own);
    EXPECT_EQ(own, 1) << "the source waits under its aside name";
    const ChildResult undo = w.Run({"-Console", "--undo"});
    EXPECT_EQ(undo.exitCode, 0) << undo.out;
    EXPECT_TRUE(Tree(w.Work(), &own) == original);
    EXPECT_EQ(own, 0);
    EXPECT_TRUE(Tree(other.path).empty());
  }
}

// A copy cut off before (or right as) its file was put in place, finished by another program
// with the same bytes (cp -n): that file is not the run's copy and stays.
TEST_F(ConsoleSafety, ACopyFinishedByAnotherProgramIsNotTakenForTheRunsCopy) {
#ifndef MERVANE_TEST_SWITCHES
  GTEST_SKIP() << "the crash points are read only in a build with MERVANE_TEST_SWITCHES";
#endif
  struct Case {
    const char* point;
    int exitCode;  // 1: the undo says the file there is not the copy it made
  };
  for (const Case& c : {Case{"synced:1", 0}, Case{"laststep:1", 1}}) {
    SCOPED_TRACE(c.point);
    World w;
    w.SavePresetList({IntoFolder(w.Work() + "copies/", false)});
    w.Dir().WriteFile("work/src/a.txt", "the same bytes");
    const ChildResult killed = w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "src"},
                                     {std::string("MERVANE_TEST_KILL_AT=") + c.point});
    EXPECT_EQ(killed.exitCode, -1);
    EXPECT_FALSE(w.Exists("work/copies/a.txt"));
    w.Dir().WriteFile("work/copies/a.txt", "the same bytes");  // cp -n
    const ChildResult undo = w.Run({"-Console", "--undo"});
    EXPECT_EQ(undo.exitCode, c.exitCode) << undo.out;
    EXPECT_EQ(w.Read("work/copies/a.txt"), "the same bytes");
    EXPECT_EQ(w.Read("work/src/a.txt"), "the same bytes");
  }
}

}  // namespace
