// What the program says, and the dry runs that must say what the real run will do: damaged and
// unreadable journals, refused options, names on standard error, a journal disk that fills, a
// folder in a target's place, a folder that takes no changes, a name that would hide a file,
// and paths the system does not take whole. The real program on real trees.

#include "console/ConsoleWorld.h"

#include "journal/Journal.h"

#include <sys/stat.h>

#include <functional>

namespace {

constexpr uid_t kNobody = 65534;

bool CanBecomeNobody() {
  return ::geteuid() == 0 && std::system("command -v setpriv >/dev/null 2>&1") == 0;
}

// The world given to the user nobody, and the program run as nobody in it.
void GiveToNobody(const World& w) {
  std::system(("chown -R " + std::to_string(kNobody) + ":" + std::to_string(kNobody) + " '" +
               w.Base() + "'")
                  .c_str());
  ::chmod(w.Base().c_str(), 0755);
}

ChildResult RunAsNobody(const World& w, std::vector<std::string> args) {
  args.insert(args.begin(),
              {"/usr/bin/setpriv", "--reuid=" + std::to_string(kNobody),
               "--regid=" + std::to_string(kNobody), "--clear-groups", "--", w.Program()});
  return RunChild(args, w.Environment({}), w.Work());
}

// The dry run's line for a source: its status.
int DryStatus(const ChildResult& dry, const std::string& source) {
  for (const std::string& line : SplitLines(dry.out)) {
    const size_t tab = line.find('\t');
    if (tab != std::string::npos && line.compare(tab + 1, source.size() + 1, source + "\t") == 0)
      return std::stoi(line.substr(0, tab));
  }
  return -1;
}

class ConsoleMessages : public ConsoleWorldTest {};

// One flipped byte in the middle of a finished run's journal: the undo takes back what it can
// read, says how many entries it could not, ends with 1 and keeps the journal whole.
TEST_F(ConsoleMessages, ADamagedJournalIsReportedAndKept) {
  World w;
  w.SavePresetList({RenamePreset()});
  for (int i = 0; i < 10; ++i) w.Dir().WriteFile("work/files/f" + std::to_string(i) + ".txt", "x");
  ASSERT_EQ(w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"}).exitCode, 0);
  std::string bytes = ReadFileBytes(w.Journal(1));
  // The fifth entry's own part of its path: its intent is the damaged record. (The first intent
  // alone holds a whole path; damage there leaves every later path unreadable.)
  const JournalContents journal = ReadJournal(DecodeFileName(w.Journal(1)));
  ASSERT_EQ(journal.Entries.size(), 10u);
  const QByteArray source = journal.Entries[4].Intent.Source;
  const std::string name = source.mid(source.lastIndexOf('/') + 1).toStdString();
  // It shares "f" with the path before it: what is its own is the rest.
  const size_t at = bytes.find(name.substr(1));
  ASSERT_NE(at, std::string::npos);
  bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
  w.Dir().WriteFile("state/" + Utf8(PlainTitle()) + "/journal/00000001.journal", bytes);
  ::chmod(w.Journal(1).c_str(), 0600);
  const std::string damage =
      "The journal of run 1 is damaged: 1 of its entries could not be read, and their files "
      "were left as they are.";

  EXPECT_TRUE(World::Says(w.Run({"-Console", "--list-runs"}), "not undone, damaged"));
  const ChildResult dry = w.Run({"-Console", "--undo", "--dry-run"});
  EXPECT_EQ(dry.exitCode, 1);
  EXPECT_TRUE(World::Says(dry, damage)) << dry.out;
  const ChildResult undo = w.Run({"-Console", "--undo"});
  EXPECT_EQ(undo.exitCode, 1) << undo.out;
  EXPECT_TRUE(World::Says(undo, damage)) << undo.out;
  EXPECT_TRUE(World::Says(undo, "Result: 9 file(s) taken back, 1 could not be taken back"));
  EXPECT_FALSE(World::Says(undo, "Taken back completely"));
  const std::string lost = name.substr(0, name.size() - 4);
  EXPECT_TRUE(w.Exists("work/files/" + lost + "-new.txt")) << "its file is left";
  int back = 0;
  for (int i = 0; i < 10; ++i) back += w.Exists("work/files/f" + std::to_string(i) + ".txt");
  EXPECT_EQ(back, 9);
  EXPECT_EQ(ReadFileBytes(w.Journal(1)).substr(0, bytes.size()), bytes) << "nothing cut";
  // Not done with: the next undo tries again and says the same.
  const ChildResult again = w.Run({"-Console", "--undo"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_TRUE(World::Says(again, damage));
}

// The undo's dry run looks at each old place as the undo does, and ends as it will.
TEST_F(ConsoleMessages, AnUndoDryRunPredictsWhatTheUndoWillMeet) {
  struct Case {
    const char* what;
    std::function<void(const World&)> block;
    std::string verb;  // what the dry run says for the file
    int exitCode;
  };
  const Case cases[] = {
      {"nothing in the way", [](const World&) {}, "move back", 0},
      {"a file", [](const World& w) { w.Dir().WriteFile("work/files/a.txt", "new"); },
       "leave: Left: something else stands at the old place", 1},
      {"a folder", [](const World& w) { w.Dir().MakeDir("work/files/a.txt"); },
       "leave: Left: something else stands at the old place", 1},
      {"a link to nowhere",
       [](const World& w) { ::symlink("nowhere", (w.Work() + "files/a.txt").c_str()); },
       "leave: Left: something else stands at the old place", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    World w;
    w.SavePresetList({RenamePreset()});
    w.Dir().WriteFile("work/files/a.txt", "a");
    ASSERT_EQ(w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"}).exitCode, 0);
    c.block(w);
    const ChildResult dry = w.Run({"-Console", "--undo", "--dry-run"});
    EXPECT_EQ(dry.exitCode, c.exitCode) << dry.out;
    EXPECT_TRUE(World::Says(
        dry, c.verb + "\t" + w.Work() + "files/a-new.txt\t" + w.Work() + "files/a.txt\n"))
        << dry.out;
    const ChildResult undo = w.Run({"-Console", "--undo"});
    EXPECT_EQ(undo.exitCode, c.exitCode) << undo.out;
    EXPECT_EQ(w.Exists("work/files/a-new.txt"), c.exitCode != 0);
  }
}

// Journals that cannot be read are said to be so (1), not taken for "nothing to undo" (2);
// only a journal a crash left without its first record is passed over.
TEST_F(ConsoleMessages, AJournalOrFolderThatCannotBeReadIsSaidToBeSo) {
  struct Case {
    const char* what;
    std::function<void(const World&)> spoil;
    int exitCode;
    std::string says;
  };
  const std::string journals = "state/" + Utf8(PlainTitle()) + "/journal/";
  const Case cases[] = {
      {"the newest journal garbled",
       [&](const World& w) { w.Dir().WriteFile(journals + "00000002.journal", "not a journal"); },
       1, "The journal of run 2 cannot be read: damaged"},
      {"the newest journal empty (cut off as it was made)",
       [&](const World& w) { w.Dir().WriteFile(journals + "00000002.journal", ""); }, 0,
       "Result: Taken back completely"},
      {"a file where the journal folder should be",
       [&](const World& w) {
         std::system(("rm -rf '" + w.JournalFolder() + "'").c_str());
         w.Dir().WriteFile(journals.substr(0, journals.size() - 1), "in the way");
       },
       1, "cannot be read: Not a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    World w;
    w.SavePresetList({RenamePreset()});
    w.Dir().WriteFile("work/files/a.txt", "a");
    ASSERT_EQ(w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"}).exitCode, 0);
    c.spoil(w);
    const ChildResult undo = w.Run({"-Console", "--undo"});
    EXPECT_EQ(undo.exitCode, c.exitCode) << undo.out;
    EXPECT_TRUE(World::Says(undo, c.says)) << undo.out;
    EXPECT_FALSE(World::Says(undo, "Nothing to undo."));
    EXPECT_EQ(w.Exists("work/files/a.txt"), c.exitCode == 0) << "run 1 is left alone otherwise";
  }
  // The list of runs says the same about a folder it cannot read.
  World w;
  w.Dir().WriteFile("state/" + Utf8(PlainTitle()) + "/journal", "in the way");
  const ChildResult listed = w.Run({"-Console", "--list-runs"});
  EXPECT_EQ(listed.exitCode, 1);
  EXPECT_TRUE(World::Says(
      listed, "The undo journal folder " + w.JournalFolder() + " cannot be read: Not a directory"))
      << listed.out;
}

// A state folder the program may not write to is named with the real reason, and the dry run
// says what the run will: it does not start.
TEST_F(ConsoleMessages, AJournalThatCannotBeWrittenStopsTheRunAndItsDryRunAlike) {
  {
    World w;
    w.SavePresetList({RenamePreset()});
    w.Dir().WriteFile("work/files/a.txt", "a");
    w.Dir().WriteFile("blocked", "a file where the state folder should be");
    for (const char* dry : {"--dry-run", ""}) {
      std::vector<std::string> args = {"-Console", "-Preset=1", "-IgnoreWarning", "files"};
      if (*dry != '\0') args.push_back(dry);
      const ChildResult run = w.Run(args, {"XDG_STATE_HOME=" + w.Base() + "blocked"});
      EXPECT_EQ(run.exitCode, 2) << dry << run.out;
      EXPECT_TRUE(World::Says(run, "Error: The undo journal cannot be written (")) << run.out;
      EXPECT_TRUE(World::Says(run, "Not a directory")) << run.out;
    }
    EXPECT_EQ(w.Read("work/files/a.txt"), "a");
  }
  // A state folder that takes no new folders: "permission denied", not "no such file".
  if (::geteuid() == 0 && !CanBecomeNobody())
    GTEST_SKIP() << "root writes anywhere, and there is no setpriv to run as another user";
  World w;
  w.SavePresetList({RenamePreset()});
  w.Dir().WriteFile("work/files/a.txt", "a");
  const std::vector<std::string> args = {"-Console", "-Preset=1", "-IgnoreWarning", "files"};
  ChildResult refused;
  if (::geteuid() == 0) {
    GiveToNobody(w);
    ::chown((w.Base() + "state").c_str(), 0, 0);
    ::chmod((w.Base() + "state").c_str(), 0755);
    refused = RunAsNobody(w, args);
  } else {
    ::chmod((w.Base() + "state").c_str(), 0555);
    refused = w.Run(args);
  }
  EXPECT_EQ(refused.exitCode, 2) << refused.out << refused.err;
  EXPECT_TRUE(World::Says(refused, "Permission denied")) << refused.out;
  EXPECT_FALSE(World::Says(refused, "No such file or directory")) << refused.out;
  EXPECT_EQ(w.Read("work/files/a.txt"), "a");
}

// The journal's disk fills in the middle of a run: the run stops, counts and names the files it
// never reached, ends with 1, and what it did can be taken back.
TEST_F(ConsoleMessages, AJournalDiskThatFillsNamesAndCountsTheFilesNotReached) {
#ifndef MERVANE_TEST_SWITCHES
  GTEST_SKIP() << "the journal's space is limited only in a build with MERVANE_TEST_SWITCHES";
#endif
  World w;
  w.SavePresetList({RenamePreset()});
  for (int i = 0; i < 300; ++i) w.Dir().WriteFile("work/files/f" + std::to_string(i) + ".txt", "x");
  const auto original = Tree(w.Work());
  const ChildResult run = w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"},
                                {"MERVANE_TEST_JOURNAL_SPACE=9000"});
  EXPECT_EQ(run.exitCode, 1) << run.out;
  int renamed = 0;
  for (const auto& [path, facts] : Tree(w.Work()))
    if (path.find("-new.txt") != std::string::npos) ++renamed;
  ASSERT_GT(renamed, 0);
  ASSERT_LT(renamed, 300);
  // One more was refused as it could not be recorded; the rest were never reached.
  const int notReached = 300 - renamed - 1;
  EXPECT_TRUE(World::Says(
      run, "The disk is full: " + std::to_string(notReached) + " file(s) not processed."))
      << run.out;
  const std::string log =
      w.Read("state/" + Utf8(PlainTitle()) + "/" + Utf8(FileNameTitle()) + "_Errorlog.txt");
  size_t named = 0;
  for (size_t at = log.find("Not processed: disk full"); at != std::string::npos;
       at = log.find("Not processed: disk full", at + 1))
    ++named;
  EXPECT_EQ(named, static_cast<size_t>(notReached) + 1) << "each file, and the legend";
  EXPECT_EQ(w.Run({"-Console", "--undo"}).exitCode, 0);
  EXPECT_TRUE(Tree(w.Work()) == original);
}

// "--undo=" with anything but a run number is refused before anything happens; names on
// standard error go out escaped, as in the error log.
TEST_F(ConsoleMessages, BadUndoNumbersAreRefusedAndNamesOnStandardErrorEscaped) {
  for (const char* arg : {"--undo=abc", "--undo=0", "--undo=", "--undo=-1", "--undo=1234567890"}) {
    SCOPED_TRACE(arg);
    World w;
    w.Dir().WriteFile("work/files/a.txt", "a");
    const ChildResult run = w.Run({"-Console", arg, "-IgnoreWarning", "files"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(std::string("Invalid option: ") + arg), std::string::npos) << run.err;
    EXPECT_FALSE(w.Exists("home/Desktop/output")) << "no run instead of the undo";
  }
  World w;
  const ChildResult run = w.Run({"-Console", "-x\x1b[2Jy", "files/a\nb.txt", "files/\x1b]0;t\x07"});
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << "no terminal escape gets through";
  EXPECT_NE(run.err.find("Unknown option, ignored: -x\\x1B[2Jy"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("cannot be loaded; it is ignored: files/a\\nb.txt\n"), std::string::npos)
      << run.err;
}

// The dry run asks what the run will meet: a folder holding a target's name, and a folder that
// takes no changes, fail in the dry run as they do in the run.
TEST_F(ConsoleMessages, ADryRunSaysWhatTheRunWillMeet) {
  struct Case {
    const char* what;
    Preset preset;
    std::function<void(const World&)> prepare;
    int status;
    bool asNobody;  // a folder that takes no changes: root may change any
  };
  const Case cases[] = {
      {"a copy onto a folder", IntoFolder("out/", false),
       [](const World& w) { w.Dir().MakeDir("work/out/a.txt"); }, 8, false},
      {"a move onto a folder", IntoFolder("out/", true),
       [](const World& w) { w.Dir().MakeDir("work/out/a.txt"); }, 3, false},
      {"a rename onto a folder", RenamePreset(),
       [](const World& w) { w.Dir().MakeDir("work/files/a-new.txt"); }, 8, false},
      {"a rename in a folder that takes no changes", RenamePreset(),
       [](const World& w) { ::chmod((w.Work() + "files").c_str(), 0555); }, 8, true},
      {"a name that would hide the file", RenamePreset(".%FN%"), [](const World&) {}, 7, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.asNobody && ::geteuid() == 0 && !CanBecomeNobody()) {
      std::cout << "[ SKIPPED  ] " << c.what << ": root may change any folder\n";
      continue;
    }
    World w;
    Preset preset = c.preset;
    if (preset.TargetDirActive) preset.TargetDirTemplate = DecodeFileName(w.Work() + "out/");
    w.SavePresetList({preset});
    w.Dir().WriteFile("work/files/a.txt", "a");
    const std::string source = w.Work() + "files/a.txt";
    const bool nobody = c.asNobody && ::geteuid() == 0;
    if (nobody) GiveToNobody(w);
    c.prepare(w);
    const auto before = Tree(w.Work());
    const std::vector<std::string> args = {"-Console", "-Preset=1", "-IgnoreWarning", "files"};
    std::vector<std::string> dryArgs = args;
    dryArgs.push_back("--dry-run");
    const ChildResult dry = nobody ? RunAsNobody(w, dryArgs) : w.Run(dryArgs);
    EXPECT_EQ(dry.exitCode, 1) << dry.out;
    EXPECT_EQ(DryStatus(dry, source), c.status) << dry.out;
    const ChildResult run = nobody ? RunAsNobody(w, args) : w.Run(args);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_TRUE(Tree(w.Work()) == before) << "the run did what its dry run said: nothing";
    ::chmod((w.Work() + "files").c_str(), 0755);
  }
}

// A file deeper than the system takes a path: said when it is loaded, and the run leaves it
// with a failure of its own, not "source missing".
TEST_F(ConsoleMessages, AFileDeeperThanThePathLimitIsSaidAndLeft) {
  World w;
  w.SavePresetList({RenamePreset()});
  w.Dir().WriteFile("work/files/shallow.txt", "s");
  std::string deep = w.Work() + "files";
  const std::string level(200, 'd');
  int fd = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < 22; ++i) {
    ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
    const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    deep += "/" + level;
  }
  ::close(::openat(fd, "deep.txt", O_WRONLY | O_CREAT, 0644));
  ::close(fd);
  ASSERT_GT(deep.size(), 4096u);
  struct Cleanup {
    std::string folder;
    ~Cleanup() { std::system(("rm -rf '" + folder + "'").c_str()); }
  } cleanup{w.Work() + "files/" + level};

  const ChildResult dry = w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "files", "--dry-run"});
  EXPECT_TRUE(World::Says(dry, "1 file(s) have a path longer than the system allows (4095 bytes)"))
      << dry.out;
  EXPECT_EQ(DryStatus(dry, deep + "/deep.txt"), 8);
  EXPECT_EQ(DryStatus(dry, w.Work() + "files/shallow.txt"), 1);
  const ChildResult run = w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(w.Exists("work/files/shallow-new.txt"));
  const std::string log =
      w.Read("state/" + Utf8(PlainTitle()) + "/" + Utf8(FileNameTitle()) + "_Errorlog.txt");
  EXPECT_NE(log.find("deep.txt"), std::string::npos);
  EXPECT_EQ(log.find("Source missing"), std::string::npos) << log;
}

}  // namespace
