// Undo where the disk no longer shows what the run left: properties changed since, an undo cut
// off midway, something in the way of the old place, a damaged journal. Real runs of the batch
// with their journal, on real files; the states a kill would leave are made by hand.

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

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

QString Q(const std::string& bytes) {
  return DecodeFileName(bytes);
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st;
}

std::string Xattr(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? std::string("<none>") : std::string(value, static_cast<size_t>(n));
}

bool HasXattrs(const std::string& path) {
  if (::setxattr(path.c_str(), "user.mervane-probe", "1", 1, 0) != 0) return false;
  ::removexattr(path.c_str(), "user.mervane-probe");
  return true;
}

// A folder on another file system than the temporary folder (/dev/shm), removed afterwards.
struct OtherFileSystem {
  explicit OtherFileSystem(const std::string& than) {
    std::string pattern = "/dev/shm/mervane-undo-safety-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return;
    path = pattern + "/";
    if (StatOf(path).st_dev == StatOf(than).st_dev) path.clear();
  }
  ~OtherFileSystem() {
    if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
  }
  std::string path;
};

// A run of the batch with its journal, as the console makes it, and undo afterwards.
struct Scene {
  Scene() {
    dir.MakeDir("in");
    settings.TargetDirActive = 0;
  }
  void Files(const std::vector<std::string>& names) {
    for (const std::string& name : names) dir.WriteFile("in/" + name, "content of " + name);
    Reload(names);
  }
  void Reload(const std::vector<std::string>& names) {
    files.Clear();
    for (const std::string& name : names)
      ASSERT_EQ(AdmitFile(Q(dir.Bytes() + "in/" + name), files, settings), 1) << name;
  }
  QString Run() {
    const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
    RunJournalInfo info;
    info.ListCount = static_cast<uint32_t>(files.Count());
    RunJournal journal(state.Path() + "journal/", info, &flags.RunCancelled);
    EXPECT_EQ(journal.Open(), 0);
    BatchOptions options;
    options.ReplaceMemory = kAnswerLeaveAll;
    options.StartDelay = std::chrono::milliseconds(0);
    options.Observer = &journal;
    flags.RunActive = 1;
    RunBatch(files, followUp, settings, values, flags, options);
    EXPECT_EQ(journal.Finish(), 0);
    for (const FileEntry& entry : files)
      EXPECT_EQ(entry.Status, kStatusDone) << entry.Path().toStdString();
    return journal.Path();
  }
  UndoSummary Undo(const QString& journal, bool dryRun = false) {
    UndoOptions options;
    options.DryRun = dryRun;
    return UndoJournal(journal, options);
  }
  std::string Path(const std::string& relative) const { return dir.Bytes() + relative; }

  TempDir dir;
  TempDir state;
  Preset settings;
  FileList files;
  FileList followUp;
  RunFlags flags;
};

// Adds records to a journal as an undo of it would.
void AppendRecords(const QString& journal, const std::function<void(JournalEncoder&)>& write) {
  PrivateFolder folder;
  AppendFile file;
  ASSERT_TRUE(OpenJournal(journal, true, folder, file).Ok());
  JournalEncoder records;
  write(records);
  ASSERT_EQ(file.Append(records.Data(), records.Size()), 0);
}

// Each property goes back only where the file still has what the run gave it; what the user
// changed since stays and is said, and everything else goes back.
TEST(UndoSafety, PutsBackOnlyWhatIsStillAsTheRunLeftIt) {
  struct Case {
    const char* what;
    std::function<void(Scene&)> change;  // after the run, to the renamed file
    uint8_t changed;                     // what undo must leave
    mode_t mode;                         // the mode afterwards
    bool datesBack;                      // the modification time is the one before the run
    bool xattrs;                         // the case needs extended attributes
  };
  const Case cases[] = {
      {"nothing changed since", [](Scene&) {}, 0, 0644, true, false},
      {"made private since", [](Scene& s) { ::chmod(s.Path("in/x-a.txt").c_str(), 0600); },
       kChangedMode, 0600, true, false},
      {"edited since",
       [](Scene& s) {
         const int fd = ::open(s.Path("in/x-a.txt").c_str(), O_WRONLY | O_APPEND);
         ASSERT_EQ(::write(fd, "!", 1), 1);
         ::close(fd);
       },
       kChangedDates, 0644, false, false},
      {"attributes changed since",
       [](Scene& s) {
         ASSERT_EQ(::setxattr(s.Path("in/x-a.txt").c_str(), "user.DOSATTRIB", "0x4", 3, 0), 0);
       },
       kChangedAttributes, 0644, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    if (c.xattrs && !HasXattrs(s.dir.Bytes())) {
      std::cout << "[ SKIPPED  ] " << c.what << ": no extended attributes here\n";
      continue;
    }
    s.Files({"a.txt"});
    ::chmod(s.Path("in/a.txt").c_str(), 0644);
    const timespec times[2] = {{1500000000, 1}, {1500000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, s.Path("in/a.txt").c_str(), times, 0), 0);
    s.Reload({"a.txt"});
    s.settings.NameTemplateActive = 1;
    s.settings.NameTemplate = QStringLiteral("x-%FN%");
    s.settings.ReadOnlyChange = 1;  // read-only set: the mode loses its write bits
    s.settings.ArchiveChange = 1;
    s.settings.ChangeDates = 1;
    s.settings.DateMode = 1;
    s.settings.FixedDate = static_cast<int32_t>(DateFromParts({2001, 2, 3, 4, 5, 6}));
    const QString journal = s.Run();
    ASSERT_EQ(StatOf(s.Path("in/x-a.txt")).st_mode & 0222, 0u);
    c.change(s);

    const UndoSummary dry = s.Undo(journal, true);
    const UndoSummary undo = s.Undo(journal);
    EXPECT_TRUE(PathExists(s.Path("in/a.txt"))) << "the name always goes back";
    EXPECT_EQ(StatOf(s.Path("in/a.txt")).st_mode & 07777, c.mode);
    EXPECT_EQ(StatOf(s.Path("in/a.txt")).st_mtim.tv_nsec == 123456789, c.datesBack);
    if (c.changed == 0) {
      EXPECT_EQ(undo.ExitCode(), 0);
      EXPECT_TRUE(undo.Left.empty());
    } else {
      ASSERT_EQ(undo.Left.size(), 1u);
      EXPECT_EQ(undo.Left[0].Result, kUndoChangedSince);
      EXPECT_EQ(undo.Left[0].Changed, c.changed);
      EXPECT_EQ(undo.ExitCode(), 1);
    }
    EXPECT_EQ(dry.TakenBack, 1) << "the dry run does not look at properties";
    if (c.xattrs) {
      EXPECT_EQ(Xattr(s.Path("in/a.txt"), "user.DOSATTRIB"), "0x4");
    }
  }
}

// A file moved back across file systems carries the times it has: edited after the run, it
// keeps them.
TEST(UndoSafety, AFileEditedAfterAMoveAcrossFileSystemsKeepsItsNewTimes) {
  Scene s;
  OtherFileSystem other(s.dir.Bytes());
  if (other.path.empty()) GTEST_SKIP() << "no second file system (/dev/shm)";
  s.Files({"a.txt", "b.txt"});
  s.settings.TargetDirActive = 1;
  s.settings.TargetMove = 1;
  s.settings.TargetDirTemplate = Q(other.path);
  const QString journal = s.Run();
  const int fd = ::open((other.path + "a.txt").c_str(), O_WRONLY | O_APPEND);
  ASSERT_EQ(::write(fd, " edited", 7), 7);
  ::close(fd);
  const timespec edited = StatOf(other.path + "a.txt").st_mtim;

  const UndoSummary undo = s.Undo(journal);
  EXPECT_EQ(ReadFileBytes(s.Path("in/a.txt")), "content of a.txt edited");
  EXPECT_EQ(StatOf(s.Path("in/a.txt")).st_mtim.tv_nsec, edited.tv_nsec);
  ASSERT_EQ(undo.Left.size(), 1u);
  EXPECT_EQ(undo.Left[0].Result, kUndoChangedSince);
  EXPECT_EQ(undo.Left[0].Changed, kChangedDates);
  EXPECT_EQ(ReadFileBytes(s.Path("in/b.txt")), "content of b.txt");
}

// What a killed undo leaves, taken up by the next one: the file back at its old place with the
// run's properties (its record never written, as when the journal's disk is full), and a move
// back across file systems cut off after its copy was put in place, or after the run's file was
// set aside to be removed.
TEST(UndoSafety, FinishesAnUndoThatWasCutOff) {
  {
    SCOPED_TRACE("moved back, properties not yet");
    Scene s;
    s.Files({"a.txt"});
    ::chmod(s.Path("in/a.txt").c_str(), 0640);
    s.Reload({"a.txt"});
    s.settings.NameTemplateActive = 1;
    s.settings.NameTemplate = QStringLiteral("x-%FN%");
    s.settings.ReadOnlyChange = 1;
    const QString journal = s.Run();
    AppendRecords(journal, [](JournalEncoder& r) { r.UndoBegin({1, 0}, 1); });
    ASSERT_EQ(::rename(s.Path("in/x-a.txt").c_str(), s.Path("in/a.txt").c_str()), 0);

    const UndoSummary undo = s.Undo(journal);
    EXPECT_EQ(undo.ExitCode(), 0);
    EXPECT_TRUE(undo.Left.empty()) << "not \"no longer where the run put it\"";
    EXPECT_EQ(StatOf(s.Path("in/a.txt")).st_mode & 07777, 0640u) << "the run's mode goes";
    EXPECT_EQ(ReadJournal(journal).Undo, UndoState::Complete);
  }
  for (const bool setAside : {false, true}) {
    SCOPED_TRACE(setAside ? "the run's file set aside" : "the copy back in place");
    Scene s;
    OtherFileSystem other(s.dir.Bytes());
    if (other.path.empty()) GTEST_SKIP() << "no second file system (/dev/shm)";
    s.Files({"a.txt"});
    s.settings.TargetDirActive = 1;
    s.settings.TargetMove = 1;
    s.settings.TargetDirTemplate = Q(other.path);
    const QString journal = s.Run();
    // The undo's copy back, recorded before it was put in place, as the undo does.
    const QString moved = Q(other.path + "a.txt");
    FileIdentity made;
    ASSERT_TRUE(CopyFile(moved, Q(s.Path("in/a.txt")), ExistingTarget::Refuse,
                         [&](const FileIdentity& identity) {
                           made = identity;
                           return true;
                         })
                    .Ok());
    AppendRecords(journal, [&](JournalEncoder& r) {
      r.UndoBegin({1, 0}, 1);
      r.Made({0, JournalMaker::Undo, made});
    });
    if (setAside) {
      const FileIdentity run = ReadFileIdentity(moved);
      ASSERT_EQ(::rename(EncodeFileName(moved).constData(),
                         EncodeFileName(AsidePath(moved, run.Device, run.Inode)).constData()),
                0);
    }
    const UndoSummary undo = s.Undo(journal);
    EXPECT_EQ(undo.ExitCode(), 0);
    EXPECT_EQ(ReadFileBytes(s.Path("in/a.txt")), "content of a.txt");
    EXPECT_TRUE(ReadFileIdentity(Q(s.Path("in/a.txt"))).SameFileAs(made)) << "the copy stays";
    EXPECT_FALSE(PathExists(other.path + "a.txt"));
    EXPECT_EQ(std::system(("test -z \"$(ls -A '" + other.path + "')\"").c_str()), 0)
        << "nothing set aside stays behind";
  }
}

// The dry run of an undo looks at the old place as the undo does.
TEST(UndoSafety, ADryRunPredictsWhatStandsAtTheOldPlace) {
  struct Case {
    const char* what;
    std::function<void(Scene&)> block;
    int result;
  };
  const Case cases[] = {
      {"nothing", [](Scene&) {}, kUndoDone},
      {"a file", [](Scene& s) { s.dir.WriteFile("in/sub/a.txt", "new"); }, kUndoOldPlaceTaken},
      {"a folder", [](Scene& s) { s.dir.MakeDir("in/sub/a.txt"); }, kUndoOldPlaceTaken},
      {"a dangling link", [](Scene& s) { ::symlink("nowhere", s.Path("in/sub/a.txt").c_str()); },
       kUndoOldPlaceTaken},
      {"a file where its folder was",
       [](Scene& s) {
         ASSERT_EQ(::rmdir(s.Path("in/sub").c_str()), 0);
         s.dir.WriteFile("in/sub", "in the way");
       },
       kUndoFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s;
    s.dir.WriteFile("in/sub/a.txt", "a");
    s.files.Clear();
    ASSERT_EQ(AdmitFile(Q(s.Path("in/sub/a.txt")), s.files, s.settings), 1);
    s.settings.TargetDirActive = 1;
    s.settings.TargetMove = 1;
    s.settings.TargetDirTemplate = Q(s.Path("out/"));
    const QString journal = s.Run();
    c.block(s);
    const UndoSummary dry = s.Undo(journal, true);
    const UndoSummary undo = s.Undo(journal);
    EXPECT_EQ(dry.ExitCode(), undo.ExitCode());
    if (c.result == kUndoDone) {
      EXPECT_EQ(undo.ExitCode(), 0);
      EXPECT_TRUE(dry.Left.empty());
      EXPECT_EQ(ReadFileBytes(s.Path("in/sub/a.txt")), "a");
      continue;
    }
    ASSERT_EQ(dry.Left.size(), 1u);
    ASSERT_EQ(undo.Left.size(), 1u);
    EXPECT_EQ(dry.Left[0].Action, UndoAction::Leave);
    EXPECT_EQ(dry.Left[0].Result, c.result);
    EXPECT_EQ(undo.Left[0].Result, c.result);
    EXPECT_EQ(ReadFileBytes(s.Path("out/a.txt")), "a") << "the file stays where the run put it";
  }
}

// A journal with a damaged record in the middle: everything that can be read is taken back,
// the entry that cannot is said and its file left, the undo fails, and the journal keeps its
// damaged part and the records after it.
TEST(UndoSafety, ADamagedJournalIsTakenBackAsFarAsItCanBeRead) {
  Scene s;
  std::vector<std::string> names;
  for (int i = 0; i < 8; ++i) names.push_back("f" + std::to_string(i) + ".txt");
  s.Files(names);
  s.settings.NameTemplateActive = 1;
  s.settings.NameTemplate = QStringLiteral("new-%FN%");
  const QString journal = s.Run();
  const std::string path = EncodeFileName(journal).toStdString();
  std::string bytes = ReadFileBytes(path);
  // The fourth entry's intent: its path bytes are the only place "f3" is written whole.
  JournalContents read = ReadJournal(journal);
  ASSERT_EQ(read.Entries.size(), 8u);
  const size_t at = bytes.find("f3.txt");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }
  const UndoSummary dry = s.Undo(journal, true);
  EXPECT_EQ(dry.ExitCode(), 1);
  const UndoSummary undo = s.Undo(journal);
  EXPECT_EQ(undo.ExitCode(), 1);
  EXPECT_EQ(undo.DamagedStretches, 1);
  EXPECT_EQ(undo.TakenBack, 7);
  EXPECT_EQ(undo.Unreadable, 1);
  EXPECT_EQ(undo.NotTakenBack(), 1);
  for (int i = 0; i < 8; ++i) {
    const std::string name = "f" + std::to_string(i) + ".txt";
    EXPECT_EQ(PathExists(s.Path("in/" + name)), i != 3) << name;
  }
  EXPECT_TRUE(PathExists(s.Path("in/new-f3.txt"))) << "the file of the lost record stays";
  const std::string after = ReadFileBytes(path);
  EXPECT_EQ(after.substr(0, bytes.size()), bytes) << "nothing of the journal is cut";
  EXPECT_EQ(ReadJournal(journal).Undo, UndoState::Partly);
  const UndoSummary again = s.Undo(journal);
  EXPECT_EQ(again.ExitCode(), 1) << "still damaged";
  EXPECT_EQ(again.TakenBack, 0);
}

// After damage, paths read against a lost one may name other files: nothing is done with an
// entry until one of its files is found where its paths say, and a decoy where a wrongly read
// path points is never touched.
TEST(UndoSafety, PathsReadAfterDamageAreUsedOnlyOnceTheDiskConfirmsThem) {
  Scene s;
  s.dir.WriteFile("in/aa/a1.txt", "a1");
  s.dir.WriteFile("in/bb/b1.txt", "b1");
  s.dir.WriteFile("in/bb/b2.txt", "b2");
  s.files.Clear();
  for (const char* name : {"in/aa/a1.txt", "in/bb/b1.txt", "in/bb/b2.txt"})
    ASSERT_EQ(AdmitFile(Q(s.Path(name)), s.files, s.settings), 1);
  s.settings.NameTemplateActive = 1;
  s.settings.NameTemplate = QStringLiteral("%FN%-x");
  const QString journal = s.Run();
  // b2's intent shares "in/bb/" with b1's, whose record is damaged: read against a1's, its
  // paths would say in/aa/. A decoy stands there.
  s.dir.WriteFile("in/aa/b2-x.txt", "decoy");
  std::string bytes = ReadFileBytes(EncodeFileName(journal).toStdString());
  const size_t at = bytes.find("bb/b1.txt");
  ASSERT_NE(at, std::string::npos);
  bytes[at + 3] = static_cast<char>(bytes[at + 3] ^ 0x01);
  s.dir.WriteFile("j/00000001.journal", bytes);
  const QString damaged = Q(s.Path("j/00000001.journal"));
  ::chmod(s.Path("j").c_str(), 0700);

  const UndoSummary undo = s.Undo(damaged);
  EXPECT_EQ(undo.ExitCode(), 1);
  EXPECT_EQ(ReadFileBytes(s.Path("in/aa/a1.txt")), "a1") << "before the damage: taken back";
  EXPECT_EQ(ReadFileBytes(s.Path("in/aa/b2-x.txt")), "decoy");
  EXPECT_FALSE(PathExists(s.Path("in/aa/b2.txt")));
  // b2's own paths (read against a1's) name nothing of it: left, and said.
  EXPECT_TRUE(PathExists(s.Path("in/bb/b2-x.txt")));
  EXPECT_TRUE(PathExists(s.Path("in/bb/b1-x.txt")));
  EXPECT_EQ(undo.Unreadable, 2) << "b1's intent is lost, b2's cannot be relied on";
}

}  // namespace
