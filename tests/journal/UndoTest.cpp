// Runs of the batch with their undo journal on real files, and undo afterwards: the tree must
// be as it was before the run, to the byte, permission bit, date and extended attribute.

#include "journal/Undo.h"

#include "checks/Validation.h"
#include "filelist/Loader.h"
#include "fileops/Batch.h"
#include "journal/RunJournal.h"
#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/LocalTime.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace {

// Reads a file without touching its access time (the files are ours).
std::string ReadQuietly(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOATIME | O_CLOEXEC);
  if (fd < 0) return {};
  std::string content;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
    content.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return content;
}

std::map<std::string, std::string> UserXattrs(const std::string& path) {
  std::map<std::string, std::string> values;
  char names[4096];
  const ssize_t n = ::llistxattr(path.c_str(), names, sizeof names);
  for (ssize_t i = 0; i < n; i += static_cast<ssize_t>(std::strlen(names + i)) + 1) {
    const std::string name = names + i;
    if (name.rfind("user.", 0) != 0) continue;
    char value[4096];
    const ssize_t m = ::lgetxattr(path.c_str(), name.c_str(), value, sizeof value);
    values[name] = m >= 0 ? std::string(value, static_cast<size_t>(m)) : "?";
  }
  return values;
}

// Everything below a folder that a run may change, as text, one line per file or folder.
std::string Snapshot(const std::string& root, const std::string& relative = {}) {
  std::string text;
  DIR* dir = ::opendir((root + relative).c_str());
  if (dir == nullptr) return text;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.push_back(e->d_name);
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string path = root + relative + name;
    struct stat st {};
    ::lstat(path.c_str(), &st);
    if (S_ISDIR(st.st_mode)) {
      text += relative + name + "/\n" + Snapshot(root, relative + name + "/");
      continue;
    }
    char line[256];
    std::snprintf(line, sizeof line, " mode %o inode %llu mtime %lld.%09ld atime %lld.%09ld",
                  st.st_mode & 07777, static_cast<unsigned long long>(st.st_ino),
                  static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec,
                  static_cast<long long>(st.st_atim.tv_sec), st.st_atim.tv_nsec);
    text += relative + name + line + " [" + ReadQuietly(path) + "]";
    for (const auto& [key, value] : UserXattrs(path)) text += " " + key + "=" + value;
    text += "\n";
  }
  return text;
}

// The same without inodes: a file moved back across file systems is a new file.
std::string WithoutInodes(std::string text) {
  for (size_t at; (at = text.find(" inode ")) != std::string::npos;) {
    const size_t end = text.find(' ', at + 7);
    text.erase(at, end - at);
  }
  return text;
}

// The same where only a removed sibling mark file, which undo writes anew, may have a new inode.
std::string WithNewMarkFiles(const std::string& text) {
  std::string result;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start + 1);
    result += line.find(":Zone.Identifier ") != std::string::npos ? WithoutInodes(line) : line;
  }
  return result;
}

// A run of the batch with its journal, and the undo of it.
struct Scene {
  Scene() {
    dir.MakeDir("in");
    settings.TargetDirActive = 0;  // each case says where its files go
  }

  void Files(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      dir.WriteFile("in/" + name, "content of " + name);
      Load("in/" + name);
    }
  }
  void Load(const std::string& relative) {
    ASSERT_EQ(AdmitFile(DecodeFileName(dir.Bytes() + relative), files, settings), 1) << relative;
  }

  // Runs the batch as the console does (nobody answers; existing targets are left) unless
  // `replaceMemory` says otherwise; returns the journal's path.
  QString Run(int32_t replaceMemory = kAnswerLeaveAll) {
    const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
    RunJournalInfo info;
    info.ListCount = static_cast<uint32_t>(files.Count());
    RunJournal journal(journalFolder(), info, &flags.RunCancelled);
    EXPECT_EQ(journal.Open(), 0);
    BatchOptions options;
    options.ReplaceMemory = replaceMemory;
    options.StartDelay = std::chrono::milliseconds(0);
    options.Observer = &journal;
    flags.RunActive = 1;
    RunBatch(files, followUp, settings, values, flags, options);
    EXPECT_EQ(journal.Finish(), 0);
    return journal.Path();
  }

  UndoSummary Undo(const QString& journalPath, bool dryRun = false) {
    UndoOptions options;
    options.DryRun = dryRun;
    return UndoJournal(journalPath, options);
  }

  QString journalFolder() const { return state.Path() + "journal/"; }
  std::string Path(const std::string& relative) const { return dir.Bytes() + relative; }
  std::vector<int> Statuses() const {
    std::vector<int> result;
    for (const FileEntry& entry : files) result.push_back(entry.Status);
    return result;
  }

  TempDir dir;
  TempDir state;
  Preset settings;
  FileList files;
  FileList followUp;
  RunFlags flags;
};

void Rename(Preset& settings, const char* nameTemplate) {
  settings.NameTemplateActive = 1;
  settings.NameTemplate = QString::fromUtf8(nameTemplate);
}

void Into(Scene& s, const char* folder, bool move) {
  s.settings.TargetDirActive = 1;
  s.settings.TargetMove = move ? 1 : 0;
  s.settings.TargetDirTemplate = s.dir.Path() + QString::fromUtf8(folder);
}

// Each kind of run, taken back: the tree is exactly as it was, new folders included.
TEST(Undo, PutsBackWhatEveryKindOfRunChanged) {
  struct Case {
    const char* what;
    void (*set)(Scene&);
  };
  const Case cases[] = {
      {"rename in place", [](Scene& s) { Rename(s.settings, "%FN%_%001%"); }},
      {"move into new folders", [](Scene& s) { Into(s, "out/new/deeper/", true); }},
      {"copy into a new folder", [](Scene& s) { Into(s, "copies/", false); }},
      {"rename and set attributes",
       [](Scene& s) {
         Rename(s.settings, "x-%FN%");
         s.settings.HiddenChange = 1;
         s.settings.ReadOnlyChange = 1;
         s.settings.ArchiveChange = 1;
       }},
      {"attributes in place: read-only cleared",
       [](Scene& s) {
         s.settings.ReadOnlyChange = 1;
         s.settings.ReadOnlyClear = 1;
       }},
      {"dates in place",
       [](Scene& s) {
         s.settings.ChangeDates = 1;
         s.settings.DateMode = 1;
         s.settings.FixedDate = static_cast<int32_t>(DateFromParts({2001, 2, 3, 4, 5, 6}));
       }},
      {"move with dates and download marks removed",
       [](Scene& s) {
         Into(s, "out/", true);
         s.settings.ChangeDates = 1;
         s.settings.DateMode = 1;
         s.settings.FixedDate = static_cast<int32_t>(DateFromParts({1999, 12, 31, 23, 59, 58}));
         s.settings.RemoveZoneMark = 1;
       }},
      {"download marks removed in place", [](Scene& s) { s.settings.RemoveZoneMark = 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    s.Files({"a.txt", "b.jpg", "c"});
    // A read-only file, one with a stored DOS word and download marks, and a mark file.
    ASSERT_EQ(::chmod(s.Path("in/c").c_str(), 0444), 0);
    ASSERT_EQ(::setxattr(s.Path("in/b.jpg").c_str(), "user.xdg.origin.url", "https://x/b", 11, 0),
              0);
    ASSERT_EQ(::setxattr(s.Path("in/b.jpg").c_str(), "user.DOSATTRIB", "0x20\0rest", 9, 0), 0);
    s.dir.WriteFile("in/a.txt:Zone.Identifier", "[ZoneTransfer]\nZoneId=3\n");
    // Loaded after the marks, so that the attribute words include them.
    s.files.Clear();
    for (const char* name : {"in/a.txt", "in/b.jpg", "in/c"}) s.Load(name);
    c.set(s);
    const std::string before = Snapshot(s.dir.Bytes());

    const QString journal = s.Run();
    ASSERT_FALSE(journal.isEmpty());
    EXPECT_EQ(s.Statuses(), (std::vector<int>{1, 1, 1}));
    ASSERT_NE(Snapshot(s.dir.Bytes()), before) << "the run changed something";

    const UndoSummary dry = s.Undo(journal, true);
    EXPECT_EQ(dry.ExitCode(), 0);
    EXPECT_NE(Snapshot(s.dir.Bytes()), before) << "a dry run changes nothing";

    const UndoSummary undo = s.Undo(journal);
    EXPECT_EQ(undo.ExitCode(), 0);
    EXPECT_TRUE(undo.Left.empty());
    EXPECT_EQ(undo.TakenBack, dry.TakenBack);
    EXPECT_EQ(WithNewMarkFiles(Snapshot(s.dir.Bytes())), WithNewMarkFiles(before));
  }
}

// A folder on another file system than the temporary folder, for moves that copy; empty when
// there is none.
std::string OtherFileSystemFolder(const std::string& than) {
  struct stat here {
  }, shm{};
  if (::stat(than.c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
      here.st_dev == shm.st_dev || ::access("/dev/shm", W_OK) != 0)
    return {};
  std::string folder = "/dev/shm/mervane-undo-XXXXXX";
  if (::mkdtemp(folder.data()) == nullptr) return {};
  return folder + "/";
}

struct RemoveTree {
  std::string folder;
  ~RemoveTree() {
    if (!folder.empty()) ::system(("rm -rf '" + folder + "'").c_str());
  }
};

TEST(Undo, AMoveAcrossFileSystemsComesBackWithItsContentDatesAndMarks) {
  Scene s;
  const std::string other = OtherFileSystemFolder(s.dir.Bytes());
  if (other.empty()) GTEST_SKIP() << "no second file system (/dev/shm) beside the temporary folder";
  RemoveTree cleanup{other};
  s.Files({"a.txt", "b.txt"});
  ASSERT_EQ(::setxattr(s.Path("in/a.txt").c_str(), "user.xdg.origin.url", "https://x/a", 11, 0), 0);
  ASSERT_EQ(::chmod(s.Path("in/b.txt").c_str(), 0440), 0);
  s.files.Clear();
  s.Load("in/a.txt");
  s.Load("in/b.txt");
  s.settings.TargetDirActive = 1;
  s.settings.TargetMove = 1;
  s.settings.TargetDirTemplate = DecodeFileName(other + "moved/");
  s.settings.RemoveZoneMark = 1;
  const std::string before = WithoutInodes(Snapshot(s.dir.Bytes()));

  const QString journal = s.Run();
  EXPECT_EQ(s.Statuses(), (std::vector<int>{1, 1}));
  EXPECT_FALSE(PathExists(s.Path("in/a.txt")));
  EXPECT_EQ(ReadQuietly(other + "moved/a.txt"), "content of a.txt");

  const UndoSummary undo = s.Undo(journal);
  EXPECT_EQ(undo.ExitCode(), 0);
  EXPECT_EQ(WithoutInodes(Snapshot(s.dir.Bytes())), before);
  EXPECT_FALSE(PathExists(other + "moved")) << "the folder the run made is gone";
}

TEST(Undo, NeverReplacesWhatNowStandsInAFilesOldPlace) {
  Scene s;
  s.Files({"a.txt", "b.txt"});
  Rename(s.settings, "new-%FN%");
  const QString journal = s.Run();
  s.dir.WriteFile("in/a.txt", "a new file by the user");

  const UndoSummary undo = s.Undo(journal);
  EXPECT_EQ(undo.ExitCode(), 1);
  ASSERT_EQ(undo.Left.size(), 1u);
  EXPECT_EQ(undo.Left[0].Result, kUndoOldPlaceTaken);
  EXPECT_EQ(undo.Left[0].From, DecodeFileName(s.Path("in/new-a.txt")));
  EXPECT_EQ(undo.Left[0].To, DecodeFileName(s.Path("in/a.txt")));
  EXPECT_EQ(ReadQuietly(s.Path("in/a.txt")), "a new file by the user");
  EXPECT_EQ(ReadQuietly(s.Path("in/new-a.txt")), "content of a.txt");
  EXPECT_EQ(ReadQuietly(s.Path("in/b.txt")), "content of b.txt");
  EXPECT_FALSE(PathExists(s.Path("in/new-b.txt")));
}

TEST(Undo, LeavesACopyThatChangedSinceAndAFileMovedOnSince) {
  Scene s;
  s.Files({"a.txt", "b.txt", "c.txt"});
  Into(s, "out/", false);
  const QString copies = s.Run();
  s.dir.WriteFile("out/a.txt", "edited after the run");
  ::unlink(s.Path("out/c.txt").c_str());

  const UndoSummary undo = s.Undo(copies);
  EXPECT_EQ(undo.ExitCode(), 1);
  ASSERT_EQ(undo.Left.size(), 1u);
  EXPECT_EQ(undo.Left[0].Result, kUndoCopyChanged);
  EXPECT_EQ(ReadQuietly(s.Path("out/a.txt")), "edited after the run");
  EXPECT_FALSE(PathExists(s.Path("out/b.txt")));
  EXPECT_EQ(undo.Unchanged, 1) << "a copy already gone needs nothing";
  ASSERT_EQ(undo.Folders.size(), 1u);
  EXPECT_NE(undo.Folders[0].Error, 0) << "a folder with the user's file in it stays";
  EXPECT_TRUE(PathExists(s.Path("out")));
  for (const char* name : {"in/a.txt", "in/b.txt", "in/c.txt"})
    EXPECT_TRUE(PathExists(s.Path(name)));

  // A moved file that the user moved on after the run is not looked for.
  Scene m;
  m.Files({"d.txt"});
  Into(m, "out/", true);
  const QString moves = m.Run();
  ASSERT_EQ(::rename(m.Path("out/d.txt").c_str(), m.Path("elsewhere.txt").c_str()), 0);
  const UndoSummary moved = m.Undo(moves);
  ASSERT_EQ(moved.Left.size(), 1u);
  EXPECT_EQ(moved.Left[0].Result, kUndoNotFound);
  EXPECT_TRUE(PathExists(m.Path("elsewhere.txt")));
}

TEST(Undo, ASecondUndoFindsNothingAndAPartialOneIsTriedAgainFirst) {
  Scene s;
  s.Files({"a.txt", "b.txt"});
  Rename(s.settings, "%FN%-1");
  const QString first = s.Run();
  s.files.Clear();
  s.Load("in/a-1.txt");
  s.Load("in/b-1.txt");
  Rename(s.settings, "%FN%-2");
  const QString second = s.Run();
  ASSERT_NE(first, second);

  // Something stands in one old place of the newer run: it is undone only partly.
  s.dir.WriteFile("in/a-1.txt", "in the way");
  RunChoice choice = ChooseRunToUndo(s.journalFolder(), 0);
  ASSERT_EQ(choice.What, RunChoice::Found::Run);
  EXPECT_EQ(choice.File.Path, second);
  EXPECT_EQ(s.Undo(second).ExitCode(), 1);

  // The partly undone run comes first again; once the way is clear it completes.
  choice = ChooseRunToUndo(s.journalFolder(), 0);
  EXPECT_EQ(choice.File.Path, second);
  EXPECT_EQ(choice.Summary.Undo, UndoState::Partly);
  ::unlink(s.Path("in/a-1.txt").c_str());
  const UndoSummary retry = s.Undo(second);
  EXPECT_EQ(retry.ExitCode(), 0);
  EXPECT_EQ(retry.TakenBack, 1) << "only what was left";
  EXPECT_EQ(retry.Unchanged, 1);

  choice = ChooseRunToUndo(s.journalFolder(), 0);
  EXPECT_EQ(choice.File.Path, first);
  EXPECT_EQ(s.Undo(first).ExitCode(), 0);
  EXPECT_EQ(ChooseRunToUndo(s.journalFolder(), 0).What, RunChoice::Found::Nothing);
  EXPECT_EQ(ChooseRunToUndo(s.journalFolder(), choice.File.Number).What,
            RunChoice::Found::AlreadyUndone);
  EXPECT_EQ(ChooseRunToUndo(s.journalFolder(), 99).What, RunChoice::Found::NoSuchRun);
  EXPECT_EQ(ReadQuietly(s.Path("in/a.txt")), "content of a.txt");
  EXPECT_EQ(ReadQuietly(s.Path("in/b.txt")), "content of b.txt");
}

// An undo stopped midway (Ctrl-C, or the window's Cancel) ends after the entry in hand; the
// run is not marked as taken back, and the next undo takes back the rest.
TEST(Undo, AStoppedUndoLeavesTheRestForTheNext) {
  Scene s;
  s.Files({"a.txt", "b.txt", "c.txt"});
  Rename(s.settings, "new-%FN%");
  const QString journal = s.Run();
  std::atomic<int32_t> stop{0};
  UndoOptions options;
  options.Stop = &stop;
  options.EntryDone = [&](const UndoEntryReport&, qsizetype done, qsizetype total) {
    EXPECT_EQ(total, 3);
    if (done == 1) stop.store(1);
  };
  const UndoSummary stopped = UndoJournal(journal, options);
  EXPECT_TRUE(stopped.Stopped);
  EXPECT_EQ(stopped.TakenBack, 1);
  EXPECT_EQ(stopped.ExitCode(), 1);
  EXPECT_EQ(ReadJournal(journal).Undo, UndoState::Interrupted);
  EXPECT_EQ(ChooseRunToUndo(s.journalFolder(), 0).File.Path, journal);

  const UndoSummary rest = s.Undo(journal);
  EXPECT_EQ(rest.ExitCode(), 0);
  EXPECT_EQ(rest.TakenBack, 2);
  EXPECT_EQ(rest.Unchanged, 1);
  for (const char* name : {"in/a.txt", "in/b.txt", "in/c.txt"})
    EXPECT_TRUE(PathExists(s.Path(name)));
  EXPECT_EQ(ReadJournal(journal).Undo, UndoState::Complete);
}

TEST(Undo, AFileTheRunReplacedIsReportedAsLost) {
  Scene s;
  s.Files({"a.txt"});
  s.dir.WriteFile("out/a.txt", "the old one");
  Into(s, "out/", true);
  const QString journal = s.Run(kAnswerReplaceAll);
  ASSERT_EQ(s.Statuses(), std::vector<int>{1});
  const UndoSummary undo = s.Undo(journal);
  ASSERT_EQ(undo.Left.size(), 1u);
  EXPECT_EQ(undo.Left[0].Result, kUndoReplacedLost);
  EXPECT_EQ(ReadQuietly(s.Path("in/a.txt")), "content of a.txt") << "the file itself is back";
}

// A file the run put at a later entry's path is the one that entry's record names, though the
// journal looked at the later sources while the group before was acted on: undo takes both
// back, one after the other.
TEST(Undo, AFileMovedOntoALaterEntrysPathIsTheOneItsRecordNames) {
  Scene s;
  // b.txt, the last of the first group, is moved onto xb.txt, the first of the next, which was
  // looked at while the first group was acted on.
  std::vector<std::string> names;
  for (int i = 0; i < 31; ++i) names.push_back("f" + std::to_string(i) + ".txt");
  names.push_back("b.txt");
  names.push_back("xb.txt");
  for (int i = 31; i < 40; ++i) names.push_back("f" + std::to_string(i) + ".txt");
  s.Files(names);
  Into(s, "in/", true);
  Rename(s.settings, "x%FN%");
  const QString journal = s.Run(kAnswerReplaceAll);
  ASSERT_EQ(ReadQuietly(s.Path("in/xxb.txt")), "content of b.txt");
  const JournalContents contents = ReadJournal(journal);
  const FileIdentity now = ReadFileIdentity(QString::fromStdString(s.Path("in/xxb.txt")));
  bool named = false;
  for (const JournalEntry& entry : contents.Entries)
    if (DecodeFileName(entry.Intent.Source).endsWith(QLatin1String("/in/xb.txt")))
      named = entry.Intent.Identity.SameFileAs(now);
  EXPECT_TRUE(named) << "the record of xb.txt names the file moved there, not the one replaced";
  s.Undo(journal);
  EXPECT_EQ(ReadQuietly(s.Path("in/b.txt")), "content of b.txt");
  EXPECT_FALSE(PathExists(s.Path("in/xxb.txt")));
}

// Every operation's intent is in the journal file before the operation starts.
TEST(Undo, TheJournalHoldsEveryIntentBeforeItsOperation) {
  Scene s;
  std::vector<std::string> names;
  for (int i = 0; i < 120; ++i) names.push_back("f" + std::to_string(i) + ".txt");
  s.Files(names);
  Into(s, "out/%FN%/", true);  // a new folder for every file
  int checked = 0;
  int missing = 0;
  QString journalPath;
  SetBeforeLastStepHook([&](const QString& target) {
    if (journalPath.isEmpty()) {
      const std::vector<JournalFile> files = ListJournalFiles(s.journalFolder());
      if (!files.empty()) journalPath = files.back().Path;
    }
    const JournalContents journal = ReadJournal(journalPath);
    bool found = false;
    for (const JournalEntry& entry : journal.Entries)
      if (DecodeFileName(entry.Intent.Target) == target) found = true;
    ++checked;
    if (!found) ++missing;
  });
  const QString journal = s.Run();
  SetBeforeLastStepHook({});
  EXPECT_EQ(checked, 120);
  EXPECT_EQ(missing, 0);
  const JournalContents contents = ReadJournal(journal);
  EXPECT_EQ(contents.Folders.size(), 121u) << "out/ and one folder per file";
  EXPECT_EQ(s.Undo(journal).ExitCode(), 0);
  EXPECT_FALSE(PathExists(s.Path("out")));
}

// A copy's outcome names the very file it put in place, as the run left it: its identity (what
// undo removes only while it is still so) and its permission bits and times after the steps
// that follow the copy, whether they changed them or not.
TEST(Undo, ACopysRecordNamesTheFileItPutInPlaceAsTheRunLeftIt) {
  struct Case {
    const char* what;
    void (*set)(Scene&);
  };
  const Case cases[] = {
      {"plain copy", [](Scene&) {}},
      {"copy given a fixed date",
       [](Scene& s) {
         s.settings.ChangeDates = 1;
         s.settings.DateMode = 1;
         s.settings.FixedDate = static_cast<int32_t>(DateFromParts({2001, 2, 3, 4, 5, 6}));
       }},
      {"copy made read-only", [](Scene& s) { s.settings.ReadOnlyChange = 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    s.dir.WriteFile("in/empty.txt", "");
    s.dir.WriteFile("in/full.txt", "some content");
    for (const char* name : {"in/empty.txt", "in/full.txt"}) {
      const timespec times[2] = {{1100000000, 111}, {1200000000, 222}};
      ASSERT_EQ(::utimensat(AT_FDCWD, s.Path(name).c_str(), times, 0), 0);
      s.Load(name);
    }
    Into(s, "copies/", false);
    c.set(s);
    const QString journal = s.Run();
    EXPECT_EQ(s.Statuses(), (std::vector<int>{1, 1}));
    const JournalContents contents = ReadJournal(journal);
    ASSERT_EQ(contents.Entries.size(), 2u);
    for (const JournalEntry& entry : contents.Entries) {
      const std::string target = DecodeFileName(entry.Intent.Target).toStdString();
      SCOPED_TRACE(target);
      struct stat st {};
      ASSERT_EQ(::lstat(target.c_str(), &st), 0);
      ASSERT_TRUE(entry.Outcome.has_value());
      const JournalOutcome& outcome = *entry.Outcome;
      EXPECT_TRUE(outcome.NewFile);
      EXPECT_EQ(outcome.Result.Device, static_cast<uint64_t>(st.st_dev));
      EXPECT_EQ(outcome.Result.Inode, static_cast<uint64_t>(st.st_ino));
      EXPECT_EQ(outcome.Result.Size, static_cast<int64_t>(st.st_size));
      const FileTime modified{st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
      const FileTime accessed{st.st_atim.tv_sec, st.st_atim.tv_nsec};
      EXPECT_TRUE(outcome.Result.Modified == modified);
      ASSERT_TRUE(outcome.HasAfter);
      EXPECT_EQ(outcome.AfterMode, st.st_mode & 07777);
      EXPECT_TRUE(outcome.AfterModified == modified);
      EXPECT_TRUE(outcome.AfterAccessed == accessed);
      ASSERT_TRUE(entry.Made.has_value());
      EXPECT_EQ(entry.Made->File.Inode, static_cast<uint64_t>(st.st_ino));
    }
    EXPECT_EQ(s.Undo(journal).ExitCode(), 0);
    EXPECT_FALSE(PathExists(s.Path("copies")));
    EXPECT_TRUE(PathExists(s.Path("in/empty.txt")));
  }
}

// A copy looks at its source only when it opens it: a source gone since the load, or a folder
// or a pipe in its place, ends the entry as a missing source (status 2), and the rest are copied.
TEST(Undo, ACopyWhoseSourceWentOrBecameNoFileEndsAsMissing) {
  Scene s;
  s.Files({"a.txt", "gone.txt", "folder.txt", "pipe.txt", "z.txt"});
  ASSERT_EQ(::unlink(s.Path("in/gone.txt").c_str()), 0);
  ASSERT_EQ(::unlink(s.Path("in/folder.txt").c_str()), 0);
  ASSERT_EQ(::mkdir(s.Path("in/folder.txt").c_str(), 0755), 0);
  ASSERT_EQ(::unlink(s.Path("in/pipe.txt").c_str()), 0);
  ASSERT_EQ(::mkfifo(s.Path("in/pipe.txt").c_str(), 0644), 0);
  Into(s, "copies/", false);
  const QString journal = s.Run();
  EXPECT_EQ(s.Statuses(), (std::vector<int>{1, 2, 2, 2, 1}));
  EXPECT_TRUE(PathExists(s.Path("copies/a.txt")));
  EXPECT_TRUE(PathExists(s.Path("copies/z.txt")));
  EXPECT_FALSE(PathExists(s.Path("copies/folder.txt")));
  EXPECT_FALSE(PathExists(s.Path("copies/pipe.txt")));
  EXPECT_EQ(s.Undo(journal).ExitCode(), 0);
  EXPECT_FALSE(PathExists(s.Path("copies")));
  EXPECT_TRUE(PathExists(s.Path("in/folder.txt")));
  EXPECT_TRUE(PathExists(s.Path("in/pipe.txt")));
}

// A run in which every entry fails plans them again after each failure, but records each
// intent only once, and its undo touches nothing: neither the sources nor the files that stood
// in the way.
TEST(Undo, ARunWhereEveryEntryFailsRecordsEachIntentOnceAndUndoTouchesNothing) {
  Scene s;
  std::vector<std::string> names;
  for (int i = 0; i < 150; ++i) names.push_back("f" + std::to_string(i) + ".txt");
  s.Files(names);
  for (const std::string& name : names) s.dir.WriteFile("in/x" + name, "in the way");
  Rename(s.settings, "x%FN%");
  const std::string before = Snapshot(s.dir.Bytes());
  const QString journal = s.Run();
  EXPECT_EQ(s.Statuses(), std::vector<int>(150, kStatusCopyMoveFailed));

  int intents = 0;
  JournalRecordVisitor count;
  count.Intent = [&](JournalIntent&&) { ++intents; };
  ReadJournalRecords(journal, count);
  EXPECT_EQ(intents, 150);

  const UndoSummary undo = s.Undo(journal);
  EXPECT_EQ(undo.ExitCode(), 0);
  EXPECT_EQ(undo.Unchanged, 150);
  EXPECT_EQ(Snapshot(s.dir.Bytes()), before);
}

// Journals beyond the last 20 go when a run ends.
TEST(Undo, TheLastTwentyJournalsAreKept) {
  Scene s;
  s.Files({"a.txt"});
  Rename(s.settings, "%FN%x");
  std::string name = "a";
  for (int run = 0; run < kJournalsKept + 3; ++run) {
    s.Run();
    s.files.Clear();
    name += 'x';
    s.Load("in/" + name + ".txt");
  }
  const std::vector<JournalFile> kept = ListJournalFiles(s.journalFolder());
  ASSERT_EQ(kept.size(), static_cast<size_t>(kJournalsKept));
  EXPECT_EQ(kept.front().Number, 4u);
  EXPECT_EQ(kept.back().Number, static_cast<uint32_t>(kJournalsKept + 3));
}

// A journal of entries whose outcome never came (the run was killed), over a disk left as a
// kill at some step leaves it.
struct CutOff {
  TempDir dir;
  JournalEncoder out;
  uint32_t position = 0;

  CutOff() {
    JournalHeader header;
    header.ListCount = 100;
    out.Begin(header);
  }
  void Intent(JournalAction action, const std::string& source, const std::string& target) {
    JournalIntent intent;
    intent.Position = position++;
    intent.Action = action;
    intent.Source = QByteArray::fromStdString(source);
    intent.Target = QByteArray::fromStdString(target);
    intent.Identity = ReadFileIdentity(DecodeFileName(source));
    intent.Properties.Mode = intent.Identity.Mode & 07777;
    out.Intent(intent);
  }
  // The record a copy writes right before it puts its new file in place, for the file at `path`
  // (of the intent written last).
  void Made(const std::string& path) {
    out.Made({position - 1, JournalMaker::Run, ReadFileIdentity(DecodeFileName(path))});
  }
  UndoSummary Undo() {
    const std::string path = dir.WriteFile("journal/00000001.journal", out.Bytes().toStdString());
    return UndoJournal(DecodeFileName(path), {});
  }
};

TEST(Undo, TakesBackARunCutOffAtAnyStepOfItsOperations) {
  CutOff c;
  const std::string d = c.dir.Bytes();
  // Renamed, its outcome not yet written.
  c.dir.WriteFile("renamed-before", "1");
  c.Intent(JournalAction::Rename, d + "renamed-before", d + "renamed-after");
  ::rename((d + "renamed-before").c_str(), (d + "renamed-after").c_str());
  // Announced, never reached.
  c.dir.WriteFile("untouched", "2");
  c.Intent(JournalAction::Rename, d + "untouched", d + "untouched-after");
  // A copy complete and in place, its outcome not yet written.
  c.dir.WriteFile("copied", "3");
  c.Intent(JournalAction::Copy, d + "copied", d + "out/copied");
  c.dir.WriteFile("out/copied", "3");
  c.Made(d + "out/copied");
  // A copy killed before its rename into place: its temporary stays behind, of a process
  // that no longer runs.
  c.dir.WriteFile("copying", "4");
  c.Intent(JournalAction::Copy, d + "copying", d + "out/copying");
  c.dir.WriteFile("out/.mervane-999999999-1-0-0.tmp", "4");
  // A copy whose target now holds something else.
  c.dir.WriteFile("other", "5");
  c.Intent(JournalAction::Copy, d + "other", d + "out/other");
  c.dir.WriteFile("out/other.new", "5");
  c.Made(d + "out/other.new");
  ::unlink((d + "out/other.new").c_str());
  c.dir.WriteFile("out/other", "not the copy");
  // A copy cut off before it was put in place, finished afterwards by another program with the
  // same content: not the run's copy.
  c.dir.WriteFile("finished", "6");
  c.Intent(JournalAction::Copy, d + "finished", d + "out/finished");
  c.dir.WriteFile("out/finished", "6");

  const UndoSummary undo = c.Undo();
  EXPECT_EQ(undo.ExitCode(), 1);
  EXPECT_EQ(ReadQuietly(d + "renamed-before"), "1");
  EXPECT_FALSE(PathExists(d + "renamed-after"));
  EXPECT_EQ(ReadQuietly(d + "untouched"), "2");
  EXPECT_FALSE(PathExists(d + "out/copied"));
  EXPECT_EQ(ReadQuietly(d + "copied"), "3");
  EXPECT_FALSE(PathExists(d + "out/.mervane-999999999-1-0-0.tmp"));
  EXPECT_EQ(ReadQuietly(d + "out/other"), "not the copy");
  EXPECT_EQ(ReadQuietly(d + "out/finished"), "6") << "the same content is not the same file";
  ASSERT_EQ(undo.Left.size(), 1u);
  EXPECT_EQ(undo.Left[0].Result, kUndoCopyChanged);
}

TEST(Undo, TakesBackAMoveAcrossFileSystemsCutOffBetweenCopyAndRemoval) {
  CutOff c;
  const std::string other = OtherFileSystemFolder(c.dir.Bytes());
  if (other.empty()) GTEST_SKIP() << "no second file system (/dev/shm) beside the temporary folder";
  RemoveTree cleanup{other};
  const std::string d = c.dir.Bytes();
  // Its copy in place at the target, the source not yet removed.
  c.dir.WriteFile("half", "half moved");
  c.Intent(JournalAction::Move, d + "half", other + "half");
  ASSERT_EQ(CopyFile(DecodeFileName(d + "half"), DecodeFileName(other + "half")).Error, 0);
  c.Made(other + "half");
  // Moved completely (copy in place, source removed).
  c.dir.WriteFile("whole", "wholly moved");
  c.Intent(JournalAction::Move, d + "whole", other + "whole");
  ASSERT_EQ(MoveFile(DecodeFileName(d + "whole"), DecodeFileName(other + "whole")).Error, 0);
  // Not begun: nothing at the target.
  c.dir.WriteFile("waiting", "not moved");
  c.Intent(JournalAction::Move, d + "waiting", other + "waiting");

  const UndoSummary undo = c.Undo();
  EXPECT_EQ(undo.ExitCode(), 0);
  EXPECT_EQ(ReadQuietly(d + "half"), "half moved");
  EXPECT_FALSE(PathExists(other + "half")) << "the copy half goes; the source stays";
  EXPECT_EQ(ReadQuietly(d + "whole"), "wholly moved");
  EXPECT_FALSE(PathExists(other + "whole"));
  EXPECT_EQ(ReadQuietly(d + "waiting"), "not moved");
}

// An undo killed inside its own move back across file systems left the finished copy at the
// old place and the file at the run's place: the next undo finishes it.
TEST(Undo, FinishesAnUndoCutOffInItsOwnMoveAcrossFileSystems) {
  Scene s;
  const std::string other = OtherFileSystemFolder(s.dir.Bytes());
  if (other.empty()) GTEST_SKIP() << "no second file system (/dev/shm) beside the temporary folder";
  RemoveTree cleanup{other};
  s.Files({"a.txt"});
  s.settings.TargetDirActive = 1;
  s.settings.TargetMove = 1;
  s.settings.TargetDirTemplate = DecodeFileName(other);
  const QString journal = s.Run();
  ASSERT_EQ(CopyFile(DecodeFileName(other + "a.txt"), DecodeFileName(s.Path("in/a.txt"))).Error, 0);
  const UndoSummary undo = s.Undo(journal);
  EXPECT_EQ(undo.ExitCode(), 0);
  EXPECT_EQ(ReadQuietly(s.Path("in/a.txt")), "content of a.txt");
  EXPECT_FALSE(PathExists(other + "a.txt"));
}

}  // namespace
