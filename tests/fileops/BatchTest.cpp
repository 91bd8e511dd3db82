#include "fileops/Batch.h"

#include "checks/Validation.h"
#include "filelist/Loader.h"
#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/LocalTime.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// Asks for entries to be planned and announced ahead and lets every operation pass. With
// MERVANE_TEST_PLAN_AHEAD=N in the environment, every run below that has no observer of its own
// gets one asking for N entries at a time, so that the whole suite shows that planning ahead
// (as a run with an undo journal does) changes nothing a run does.
class PlanAheadObserver : public ActObserver {
 public:
  explicit PlanAheadObserver(qsizetype ahead) : ahead_(ahead) {}
  qsizetype AnnounceAhead() override { return ahead_; }
  void Announce(const std::vector<ActIntent>& intents) override {
    for (const ActIntent& intent : intents) announced.push_back(intent.Position);
  }
  bool BeforeAct(const ActIntent& intent) override {
    acted.push_back(intent.Position);
    return true;
  }
  void AfterAct(const ActIntent&, const ActOutcome&) override {}
  std::vector<qsizetype> announced;
  std::vector<qsizetype> acted;

 private:
  qsizetype ahead_;
};

qsizetype PlanAheadFromEnvironment() {
  const char* value = std::getenv("MERVANE_TEST_PLAN_AHEAD");
  return value != nullptr ? std::atoi(value) : 0;
}

// A run of the batch on real files in a temporary folder.
struct Scene {
  Scene() = default;
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  ~Scene() {
    SetCopyWriteFailure(0, 0);
    SetBeforeLastStepHook({});
  }

  // Loads the files (paths below the temporary folder) as the loader would.
  void Load(const std::vector<std::string>& relativePaths) {
    for (const std::string& relative : relativePaths)
      ASSERT_EQ(AdmitFile(DecodeFileName(dir_.Bytes() + relative), files_, settings_), 1)
          << relative;
  }

  void Run(bool consoleMode = true, RunValues* values = nullptr) {
    RunValues prepared = PrepareRunValues(settings_, files_.Count(), PathFolders{}, 0);
    if (values) {
      values->PreparedNameTemplate = prepared.PreparedNameTemplate;
      values->PreparedTargetDir = prepared.PreparedTargetDir;
      values->NameBuildingActive = prepared.NameBuildingActive;
      prepared = *values;
    }
    if (consoleMode) {
      // Nobody can answer in a console run: existing targets are left, a full disk stops.
      options_.ReplaceMemory = kAnswerLeaveAll;
      options_.AskReplace = nullptr;
      options_.AskStopOnDiskFull = nullptr;
    }
    options_.StartDelay = std::chrono::milliseconds(0);
    flags_.RunActive = 1;
    PlanAheadObserver planAhead(PlanAheadFromEnvironment());
    const bool attach = options_.Observer == nullptr && PlanAheadFromEnvironment() > 0;
    if (attach) options_.Observer = &planAhead;
    result_ = RunBatch(files_, followUp_, settings_, prepared, flags_, options_);
    if (attach) options_.Observer = nullptr;
  }

  std::vector<int> Statuses() const {
    std::vector<int> result;
    for (const FileEntry& entry : files_) result.push_back(entry.Status);
    return result;
  }

  std::string Read(const std::string& relative) const {
    return ReadFileBytes(dir_.Bytes() + relative);
  }
  bool Exists(const std::string& relative) const { return PathExists(dir_.Bytes() + relative); }
  QString Path(const std::string& relative) const {
    return DecodeFileName(dir_.Bytes() + relative);
  }

  // Names in a folder, sorted.
  std::vector<std::string> List(const std::string& relative) const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir((dir_.Bytes() + relative).c_str())) {
      while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  void CopyInto(const std::string& folder) {
    settings_.TargetDirActive = 1;
    settings_.TargetMove = 0;
    settings_.TargetDirTemplate = dir_.Path() + QString::fromStdString(folder);
  }

  TempDir dir_;
  Preset settings_;
  FileList files_;
  FileList followUp_;
  RunFlags flags_;
  BatchOptions options_;
  BatchResult result_;
};

TEST(Batch, CounterSkipsTakenNumbersAndReusesTheNumberOfAFailedFile) {
  Scene t;
  t.dir_.WriteFile("s1/a.txt", "one");
  t.dir_.WriteFile("s2/a.txt", "two");
  t.dir_.WriteFile("s3/a.txt", "three");
  t.dir_.WriteFile("out/001.txt", "old");
  t.Load({"s1/a.txt", "s2/a.txt", "s3/a.txt"});
  t.CopyInto("out/");
  t.settings_.NameTemplateActive = 1;
  t.settings_.NameTemplate = "%001%";
  SetCopyWriteFailure(2, EIO);  // the second copy fails
  t.Run();
  EXPECT_EQ(t.Statuses(), (std::vector<int>{1, 8, 1}));
  EXPECT_EQ(t.List("out"), (std::vector<std::string>{"001.txt", "002.txt", "003.txt"}));
  EXPECT_EQ(t.Read("out/001.txt"), "old");
  EXPECT_EQ(t.Read("out/002.txt"), "one");
  EXPECT_EQ(t.Read("out/003.txt"), "three");
  EXPECT_EQ(t.files_.At(1).NewPath(), t.Path("out/003.txt"));  // the number it tried, given back
  EXPECT_EQ(t.Read("s2/a.txt"), "two");
}

TEST(Batch, CopyRecreatesSubfoldersBelowTheCommonBase) {
  Scene t;
  t.dir_.WriteFile("src/x/a.txt", "a");
  t.dir_.WriteFile("src/y/z/b.txt", "b");
  t.Load({"src/x/a.txt", "src/y/z/b.txt"});
  t.CopyInto("out/");
  t.settings_.KeepSubfolders = 1;
  t.Run();
  EXPECT_EQ(t.Statuses(), (std::vector<int>{1, 1}));
  EXPECT_EQ(t.Read("out/x/a.txt"), "a");
  EXPECT_EQ(t.Read("out/y/z/b.txt"), "b");
  EXPECT_EQ(t.Read("src/x/a.txt"), "a");
  EXPECT_EQ(t.files_.At(1).NewPath(), t.Path("out/y/z/b.txt"));
}

TEST(Batch, FailuresEndAsTheEntrysStatusAndTouchNothing) {
  struct Case {
    const char* what;
    std::function<void(Scene&)> arrange;
    int expected;
    std::vector<std::pair<std::string, std::string>> filesAfter;
  };
  const std::vector<Case> cases = {
      {"source gone after loading",
       [](Scene& t) {
         t.dir_.WriteFile("a.txt", "a");
         t.Load({"a.txt"});
         ::unlink((t.dir_.Bytes() + "a.txt").c_str());
         t.CopyInto("out/");
       },
       2,
       {}},
      {"source replaced by a folder",
       [](Scene& t) {
         t.dir_.WriteFile("a.txt", "a");
         t.Load({"a.txt"});
         ::unlink((t.dir_.Bytes() + "a.txt").c_str());
         t.dir_.MakeDir("a.txt");
         t.CopyInto("out/");
       },
       2,
       {}},
      {"target exists in a console run",
       [](Scene& t) {
         t.dir_.WriteFile("a.txt", "new");
         t.dir_.WriteFile("out/a.txt", "old");
         t.Load({"a.txt"});
         t.CopyInto("out/");
       },
       3,
       {{"a.txt", "new"}, {"out/a.txt", "old"}}},
      {"copy onto itself",
       [](Scene& t) {
         t.dir_.WriteFile("a.txt", "a");
         t.Load({"a.txt"});
         t.CopyInto("");
       },
       4,
       {{"a.txt", "a"}}},
      {"move onto itself through a hard link",
       [](Scene& t) {
         t.dir_.WriteFile("a.txt", "a");
         t.dir_.MakeDir("out");
         ::link((t.dir_.Bytes() + "a.txt").c_str(), (t.dir_.Bytes() + "out/a.txt").c_str());
         t.Load({"a.txt"});
         t.CopyInto("out/");
         t.settings_.TargetMove = 1;
       },
       4,
       {{"a.txt", "a"}, {"out/a.txt", "a"}}},
      {"rename in place onto an existing file",
       [](Scene& t) {
         t.dir_.WriteFile("a.txt", "a");
         t.dir_.WriteFile("b.txt", "b");
         t.Load({"a.txt"});
         t.settings_.TargetDirActive = 0;
         t.settings_.NameTemplateActive = 1;
         t.settings_.NameTemplate = "b";
       },
       8,
       {{"a.txt", "a"}, {"b.txt", "b"}}},
      {"target folder cannot be made",
       [](Scene& t) {
         t.dir_.WriteFile("a.txt", "a");
         t.dir_.WriteFile("blocker", "file in the way");
         t.Load({"a.txt"});
         t.CopyInto("blocker/sub/");
       },
       8,
       {{"a.txt", "a"}, {"blocker", "file in the way"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene t;
    c.arrange(t);
    t.Run();
    EXPECT_EQ(t.Statuses(), std::vector<int>{c.expected});
    for (const auto& [file, content] : c.filesAfter) EXPECT_EQ(t.Read(file), content) << file;
  }
}

TEST(Batch, EntriesMarkedByThePreparationKeepTheirCode) {
  Scene t;
  t.dir_.WriteFile("a.txt", "a");
  t.dir_.WriteFile("b.txt", "b");
  t.Load({"a.txt", "b.txt"});
  t.files_.At(0).Status = kStatusReadError;
  t.files_.At(1).Status = kStatusSourceMissing;
  t.CopyInto("out/");
  RunValues values;
  values.PreparationNeeded = true;
  t.Run(true, &values);
  EXPECT_EQ(t.Statuses(), (std::vector<int>{5, 2}));
  EXPECT_FALSE(t.Exists("out/a.txt"));
}

TEST(Batch, ReplaceAnswersAreRememberedForTheRun) {
  struct Case {
    std::vector<int32_t> answers;
    int expectedQuestions;
    std::vector<int> expectedStatus;
    std::vector<std::string> expectedContent;
  };
  const std::vector<Case> cases = {
      {{kAnswerLeaveAll}, 1, {3, 3}, {"old0", "old1"}},
      {{kAnswerReplaceAll}, 1, {1, 1}, {"new0", "new1"}},
      {{kAnswerReplace, kAnswerLeave}, 2, {1, 3}, {"new0", "old1"}},
      {{kAnswerClosed, kAnswerReplace}, 2, {3, 1}, {"old0", "new1"}},
  };
  for (const Case& c : cases) {
    Scene t;
    for (int i = 0; i < 2; ++i) {
      t.dir_.WriteFile("f" + std::to_string(i) + ".txt", "new" + std::to_string(i));
      t.dir_.WriteFile("out/f" + std::to_string(i) + ".txt", "old" + std::to_string(i));
    }
    t.Load({"f0.txt", "f1.txt"});
    t.CopyInto("out/");
    int asked = 0;
    QStringList askedPaths;
    t.options_.AskReplace = [&](const QString& target) {
      askedPaths << target;
      return c.answers[static_cast<size_t>(asked++)];
    };
    t.Run(false);
    EXPECT_EQ(asked, c.expectedQuestions);
    EXPECT_EQ(askedPaths.value(0), t.Path("out/f0.txt"));
    EXPECT_EQ(t.Statuses(), c.expectedStatus);
    EXPECT_EQ(t.Read("out/f0.txt"), c.expectedContent[0]);
    EXPECT_EQ(t.Read("out/f1.txt"), c.expectedContent[1]);
    EXPECT_EQ(t.List("out").size(), 2u) << "no temporary file is left behind";
  }
}

TEST(Batch, MoveOntoAnExistingTargetReplacesItWhole) {
  Scene t;
  t.dir_.WriteFile("a.txt", "new");
  t.dir_.WriteFile("out/a.txt", "old");
  t.Load({"a.txt"});
  t.CopyInto("out/");
  t.settings_.TargetMove = 1;
  t.options_.AskReplace = [](const QString&) { return kAnswerReplace; };
  t.Run(false);
  EXPECT_EQ(t.Statuses(), std::vector<int>{1});
  EXPECT_FALSE(t.Exists("a.txt"));
  EXPECT_EQ(t.Read("out/a.txt"), "new");
  EXPECT_EQ(t.List("out"), std::vector<std::string>{"a.txt"});
}

TEST(Batch, SingleEntryRunReplacesWithoutAskingAndStopsAfterOne) {
  Scene t;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    t.dir_.WriteFile(name, std::string("new ") + name);
    t.dir_.WriteFile(std::string("out/") + name, "old");
  }
  t.Load({"a.txt", "b.txt", "c.txt"});
  t.CopyInto("out/");
  t.files_.Current = 1;
  t.flags_.RunSingle = 1;
  t.flags_.RunCancelled = 1;
  t.options_.ReplaceMemory = kAnswerReplaceAll;
  t.options_.AskReplace = [](const QString&) -> int32_t {
    ADD_FAILURE() << "asked";
    return kAnswerLeave;
  };
  t.Run(false);
  EXPECT_EQ(t.Statuses(), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(t.Read("out/b.txt"), "new b.txt");
  EXPECT_EQ(t.Read("out/a.txt"), "old");
}

TEST(Batch, FullDiskStopsAConsoleRunAndAsksInTheWindow) {
  struct Case {
    bool console;
    bool answerStop;
    std::vector<int> expected;
    int questions;
  };
  for (const Case& c : {Case{true, false, {8, 0, 0}, 0}, Case{false, true, {8, 0, 0}, 1},
                        Case{false, false, {8, 1, 1}, 1}}) {
    Scene t;
    t.dir_.WriteFile("a.txt", "a");
    t.dir_.WriteFile("b.txt", "b");
    t.dir_.WriteFile("c.txt", "c");
    t.Load({"a.txt", "b.txt", "c.txt"});
    t.CopyInto("out/");
    int questions = 0;
    t.options_.AskStopOnDiskFull = [&](const QString& target) {
      EXPECT_EQ(target, t.Path("out/a.txt"));
      ++questions;
      return c.answerStop;
    };
    SetCopyWriteFailure(1, ENOSPC);
    t.Run(c.console);
    EXPECT_EQ(t.Statuses(), c.expected) << c.console << c.answerStop;
    EXPECT_EQ(questions, c.questions);
    EXPECT_EQ(t.result_.StoppedByFullDisk, c.expected[1] == 0);
    EXPECT_EQ(t.result_.Unreached, c.expected[1] == 0 ? 2 : 0);
    EXPECT_FALSE(t.Exists("out/a.txt"));
  }
}

TEST(Batch, OnlyDatesChangeTheSourceItself) {
  Scene t;
  t.dir_.WriteFile("a.txt", "a");
  t.Load({"a.txt"});
  t.settings_.TargetDirActive = 0;
  t.settings_.ChangeDates = 1;
  t.settings_.DateMode = 1;
  t.settings_.FixedDate = static_cast<int32_t>(DateFromParts({2005, 6, 7, 8, 9, 10}));
  t.Run();
  EXPECT_EQ(t.Statuses(), std::vector<int>{1});
  EXPECT_EQ(t.files_.At(0).NewPath(), t.files_.At(0).Path());
  struct stat st {};
  ASSERT_EQ(::stat((t.dir_.Bytes() + "a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, UnixFromLocalDate(t.settings_.FixedDate));
}

TEST(Batch, PlainRenameKeepsTheFullFileTime) {
  Scene t;
  t.dir_.WriteFile("a.txt", "a");
  const std::string source = t.dir_.Bytes() + "a.txt";
  const timespec times[2] = {{1000000000, 123456789}, {1100000000, 987654321}};
  ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
  t.Load({"a.txt"});
  t.settings_.TargetDirActive = 0;
  t.settings_.NameTemplateActive = 1;
  t.settings_.NameTemplate = "b";
  t.Run();
  ASSERT_EQ(t.Statuses(), std::vector<int>{1});
  struct stat st {};
  ASSERT_EQ(::stat((t.dir_.Bytes() + "b.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
}

TEST(Batch, ChecksumsAreComputedWhenATemplateAsksForThem) {
  Scene t;
  t.dir_.WriteFile("hello.txt", "hello");
  t.dir_.WriteFile("empty.txt", "");
  t.Load({"hello.txt", "empty.txt"});
  t.settings_.TargetDirActive = 0;
  t.settings_.NameTemplateActive = 1;
  t.settings_.NameTemplate = "%FN%";
  t.settings_.InsertActive = 1;
  t.settings_.InsertText = "-%cc%";  // any letter case asks for it
  t.settings_.InsertPosition = 1;
  t.settings_.InsertFromEnd = 1;
  t.Run();
  EXPECT_EQ(t.Statuses(), (std::vector<int>{1, 1}));
  EXPECT_EQ(t.Read("hello-3610A686.txt"), "hello");
  EXPECT_TRUE(t.Exists("empty-00000000.txt"));
  EXPECT_EQ(t.files_.At(0).Crc32(), "3610A686");
  EXPECT_TRUE(t.files_.At(0).Md5().isEmpty());
}

TEST(Batch, FollowUpListKeepsWhatTheSettingsAskFor) {
  struct Case {
    int8_t quitAfterRun;
    std::vector<std::string> expected;
  };
  for (const Case& c : {Case{0, {"out/a.txt", "b.txt"}}, Case{1, {}}}) {
    Scene t;
    t.dir_.WriteFile("a.txt", "a");
    t.dir_.WriteFile("b.txt", "b");
    t.dir_.WriteFile("out/b.txt", "taken");
    t.Load({"a.txt", "b.txt"});
    t.CopyInto("out/");
    t.settings_.ListKeepTargets = 1;
    t.settings_.ListKeepFailed = 1;
    t.settings_.QuitAfterRun = c.quitAfterRun;
    t.Run();
    std::vector<std::string> kept;
    for (const FileEntry& entry : t.followUp_)
      kept.push_back(EncodeFileName(entry.Path()).toStdString().substr(t.dir_.Bytes().size()));
    EXPECT_EQ(kept, c.expected);
  }
}

TEST(Batch, ProgressCountsThreeUnitsPerEntry) {
  Scene t;
  for (const char* name : {"a.txt", "b.txt"}) t.dir_.WriteFile(name, "x");
  t.Load({"a.txt", "b.txt"});
  t.CopyInto("out/");
  t.Run();
  EXPECT_EQ(t.flags_.ProgressCount.load(), 6);
  QString name, folder;
  t.flags_.ProgressEntry(name, folder);
  EXPECT_EQ(name, "b");
  EXPECT_EQ(folder, t.dir_.Path());
}

TEST(Batch, ChecksumsAskedForByTheTargetFolderAreComputed) {
  Scene t;
  t.dir_.WriteFile("hello.txt", "hello");
  t.Load({"hello.txt"});
  t.CopyInto("by-crc/%cc%/");
  t.Run();
  EXPECT_EQ(t.Statuses(), std::vector<int>{1});
  EXPECT_EQ(t.Read("by-crc/3610A686/hello.txt"), "hello");
}

TEST(Batch, ZoneMarkLeavesOnlyTheFilesTheRunMade) {
  Scene t;
  const char* mark = "user.xdg.origin.url";
  const std::string url = "https://example.org/";
  t.dir_.WriteFile("new.txt", "new");
  t.dir_.WriteFile("kept.txt", "kept source");
  t.dir_.WriteFile("out/kept.txt", "kept target");
  for (const char* file : {"new.txt", "kept.txt", "out/kept.txt"}) {
    if (::setxattr((t.dir_.Bytes() + file).c_str(), mark, url.data(), url.size(), 0) != 0)
      GTEST_SKIP() << "no user extended attributes here";
  }
  t.Load({"new.txt", "kept.txt"});
  t.CopyInto("out/");
  t.settings_.RemoveZoneMark = 1;
  t.Run();
  EXPECT_EQ(t.Statuses(), (std::vector<int>{1, 3}));
  const auto hasMark = [&](const char* file) {
    char value[64];
    return ::getxattr((t.dir_.Bytes() + file).c_str(), mark, value, sizeof value) > 0;
  };
  EXPECT_FALSE(hasMark("out/new.txt"));
  EXPECT_TRUE(hasMark("new.txt"));
  EXPECT_TRUE(hasMark("out/kept.txt")) << "a target left alone is not changed";
}

TEST(Batch, AFailedReplacementKeepsTheExistingTarget) {
  struct Case {
    const char* what;
    bool move;
  };
  for (const Case& c : {Case{"copy", false}, Case{"move", true}}) {
    SCOPED_TRACE(c.what);
    Scene t;
    t.dir_.WriteFile("a.txt", "new");
    t.dir_.WriteFile("out/a.txt", "old");
    t.Load({"a.txt"});
    t.CopyInto("out/");
    t.settings_.TargetMove = c.move;
    t.options_.AskReplace = [&](const QString&) {
      // The copy fails part way; the move finds its source gone.
      if (c.move)
        ::unlink((t.dir_.Bytes() + "a.txt").c_str());
      else
        SetCopyWriteFailure(1, EIO);
      return kAnswerReplace;
    };
    t.Run(false);
    EXPECT_EQ(t.Statuses(), std::vector<int>{8});
    EXPECT_EQ(t.Read("out/a.txt"), "old");
    EXPECT_EQ(t.List("out"), std::vector<std::string>{"a.txt"});
  }
}

// Names made from a file's data that would put the file elsewhere than the template says, or
// hide it, or that no file system takes, end the entry with status 7 and touch nothing.
TEST(Batch, NamesMadeFromDataThatAreNoNamesAreRefused) {
  struct Case {
    const char* what;
    std::string file;
    std::function<void(Scene&)> configure;
  };
  const auto replaceX = [](Scene& t, const char* with) {
    t.settings_.ReplaceActive = 1;
    TextReplacement rule;
    rule.ItemState = kItemChecked;
    rule.SearchList = QStringLiteral("x");
    rule.Replacement = QString::fromUtf8(with);
    t.settings_.TextReplacements = {rule};
  };
  const std::vector<Case> cases = {
      {"a file named ...txt gives the folder ..", "in/...txt",
       [](Scene& t) { t.CopyInto("out/%FN%/"); }},
      {"a replace rule makes the folder ..", "in/xx.txt",
       [&](Scene& t) {
         t.CopyInto("out/%FN%/");
         replaceX(t, ".");
       }},
      {"a replace rule empties the folder", "in/xx.txt",
       [&](Scene& t) {
         t.CopyInto("out/%FN%/");
         replaceX(t, "");
       }},
      {"a replace rule empties the name before the extension", "in/x.txt",
       [&](Scene& t) {
         t.settings_.TargetDirActive = 0;
         replaceX(t, "");
       }},
      {"a name without extension becomes .", "in/x",
       [&](Scene& t) {
         t.settings_.TargetDirActive = 0;
         replaceX(t, ".");
       }},
      {"a name longer than 255 bytes", "in/a.txt",
       [](Scene& t) {
         t.settings_.TargetDirActive = 0;
         t.settings_.NameTemplateActive = 1;
         t.settings_.NameTemplate = QString(200, QChar(0x00E9));  // 400 bytes in UTF-8
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene t;
    t.dir_.WriteFile(c.file, "data");
    t.dir_.MakeDir("out");
    t.settings_.IncludeHidden = 1;
    t.Load({c.file});
    c.configure(t);
    t.settings_.TargetMove = 1;
    t.Run();
    EXPECT_EQ(t.Statuses(), std::vector<int>{kStatusInvalidName});
    EXPECT_EQ(t.Read(c.file), "data");
    EXPECT_EQ(t.List("in").size(), 1u);
    EXPECT_TRUE(t.List("out").empty());
    EXPECT_EQ(t.List(""), (std::vector<std::string>{"in", "out"}));
  }
}

// A file that appears at the target between the checks and the last step of a copy or move
// is never replaced unless replacing was decided.
TEST(Batch, AFileThatAppearsAtTheTargetIsKeptUnlessReplacingWasDecided) {
  struct Case {
    const char* what;
    bool move;
    int32_t memory;
    int expected;
    std::string targetAfter;
  };
  const std::vector<Case> cases = {
      {"copy, target free at the check", false, kAnswerLeaveAll, kStatusTargetExists, "theirs"},
      {"move, target free at the check", true, kAnswerLeaveAll, kStatusTargetExists, "theirs"},
      {"copy with replace-all", false, kAnswerReplaceAll, kStatusDone, "ours"},
      {"move with replace-all", true, kAnswerReplaceAll, kStatusDone, "ours"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene t;
    t.dir_.WriteFile("a.txt", "ours");
    t.Load({"a.txt"});
    t.CopyInto("out/");
    t.settings_.TargetMove = c.move;
    t.options_.ReplaceMemory = c.memory;
    const std::string target = t.dir_.Bytes() + "out/a.txt";
    SetBeforeLastStepHook([&](const QString& path) {
      if (EncodeFileName(path).toStdString() == target) t.dir_.WriteFile("out/a.txt", "theirs");
    });
    t.Run(false);
    SetBeforeLastStepHook({});
    EXPECT_EQ(t.Statuses(), std::vector<int>{c.expected});
    EXPECT_EQ(t.Read("out/a.txt"), c.targetAfter);
    EXPECT_EQ(t.List("out"), std::vector<std::string>{"a.txt"}) << "no temporary file is left";
    EXPECT_EQ(t.Exists("a.txt"), !(c.move && c.expected == kStatusDone));
  }
}

TEST(Batch, AReadOnlySourceWhoseMoveFailsKeepsItsPermissions) {
  Scene t;
  const std::string source = t.dir_.WriteFile("a.txt", "a");
  ASSERT_EQ(::chmod(source.c_str(), 0444), 0);
  t.dir_.WriteFile("blocker", "a file where the target folder should be");
  t.Load({"a.txt"});
  t.CopyInto("blocker/sub/");
  t.settings_.TargetMove = 1;
  t.Run();
  EXPECT_EQ(t.Statuses(), std::vector<int>{kStatusCopyMoveFailed});
  struct stat st {};
  ASSERT_EQ(::stat(source.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

TEST(Batch, ATargetFolderRemovedDuringTheRunIsMadeAgain) {
  Scene t;
  t.dir_.WriteFile("a.txt", "a");
  t.dir_.WriteFile("b.txt", "b");
  t.Load({"a.txt", "b.txt"});
  t.CopyInto("out/sub/");
  // Another program removes the folder after the first file arrived there.
  t.options_.Events.EntryFinished = [&](qsizetype pos, const FileEntry&, const EntryOutcome&) {
    if (pos != 0) return;
    ::unlink((t.dir_.Bytes() + "out/sub/a.txt").c_str());
    ::rmdir((t.dir_.Bytes() + "out/sub").c_str());
  };
  t.Run();
  EXPECT_EQ(t.Statuses(), (std::vector<int>{1, 1}));
  EXPECT_EQ(t.Read("out/sub/b.txt"), "b");
}

// Records what the acting step is about to do, and may refuse it.
class RecordingObserver : public ActObserver {
 public:
  explicit RecordingObserver(QString veto) : veto_(std::move(veto)) {}
  bool BeforeAct(const ActIntent& intent) override {
    log.push_back("before " + intent.Entry.Name().toStdString() + " -> " +
                  intent.Target.toStdString().substr(intent.Target.lastIndexOf('/') + 1));
    return intent.Entry.Name() != veto_;
  }
  void AfterAct(const ActIntent& intent, const ActOutcome& outcome) override {
    log.push_back("after " + intent.Entry.Name().toStdString() + " " +
                  std::to_string(outcome.Status) + (outcome.Error != 0 ? " error" : ""));
  }
  std::vector<std::string> log;

 private:
  QString veto_;
};

TEST(Batch, AnObserverSeesEveryOperationAndMayRefuseOne) {
  Scene t;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) t.dir_.WriteFile(name, name);
  t.dir_.WriteFile("out/c.txt", "taken");
  t.Load({"a.txt", "b.txt", "c.txt"});
  t.CopyInto("out/");
  t.settings_.TargetMove = 1;
  RecordingObserver observer(QStringLiteral("b"));
  t.options_.Observer = &observer;
  t.Run();
  EXPECT_EQ(t.Statuses(), (std::vector<int>{1, 8, 3}));
  EXPECT_EQ(observer.log, (std::vector<std::string>{"before a -> a.txt", "after a 1",
                                                    "before b -> b.txt", "after b 8 error"}))
      << "an entry left before acting is never announced";
  EXPECT_EQ(t.Read("b.txt"), "b.txt");
  EXPECT_FALSE(t.Exists("out/b.txt"));
}

}  // namespace

namespace {

// Plans ahead like an undo journal, and does something to the disk (or refuses) right before
// an entry is acted on.
class MeddlingObserver : public ActObserver {
 public:
  explicit MeddlingObserver(std::function<bool(const ActIntent&)> before)
      : before_(std::move(before)) {}
  qsizetype AnnounceAhead() override { return 10; }
  bool BeforeAct(const ActIntent& intent) override { return before_(intent); }
  void AfterAct(const ActIntent&, const ActOutcome&) override {}
  int RefusalError() const override { return ENOSPC; }

 private:
  std::function<bool(const ActIntent&)> before_;
};

// A source gone when its entry's turn comes is a missing source (2), for a copy as for a move or
// a rename, even though it was there when the entries were planned ahead.
TEST(Batch, ASourceGoneWhenItsTurnComesIsMissing) {
  struct Case {
    const char* what;
    std::function<void(Scene&)> configure;
  };
  const Case cases[] = {
      {"copy", [](Scene& t) { t.CopyInto("out/"); }},
      {"move",
       [](Scene& t) {
         t.CopyInto("out/");
         t.settings_.TargetMove = 1;
       }},
      {"rename",
       [](Scene& t) {
         t.settings_.TargetDirActive = 0;
         t.settings_.NameTemplateActive = 1;
         t.settings_.NameTemplate = QStringLiteral("%FN%-x");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene t;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) t.dir_.WriteFile(name, name);
    t.Load({"a.txt", "b.txt", "c.txt"});
    c.configure(t);
    MeddlingObserver observer([&](const ActIntent& intent) {
      if (intent.Entry.Name() == QStringLiteral("b")) ::unlink((t.dir_.Bytes() + "b.txt").c_str());
      return true;
    });
    t.options_.Observer = &observer;
    t.Run();
    EXPECT_EQ(t.Statuses(), (std::vector<int>{1, 2, 1}));
  }
}

// After each announced group the observer is named the sources that come next, as the
// operations will name them, so that it can look at them while the group is acted on; an entry
// that fails before its operation is named by an empty path.
TEST(Batch, AfterEachGroupTheNextSourcesAreNamedToTheObserver) {
  class Foreseeing : public PlanAheadObserver {
   public:
    Foreseeing() : PlanAheadObserver(4) {}
    qsizetype ForeseeAhead() override { return 3; }
    void Foresee(qsizetype first, const std::vector<QByteArray>& sources) override {
      named.push_back({first, sources});
    }
    bool BeforeAct(const ActIntent& intent) override {
      sourcesActedOn.push_back(intent.SourceBytes);
      return PlanAheadObserver::BeforeAct(intent);
    }
    std::vector<std::pair<qsizetype, std::vector<QByteArray>>> named;
    std::vector<QByteArray> sourcesActedOn;
  };
  Scene t;
  std::vector<std::string> names;
  for (int i = 0; i < 9; ++i) names.push_back("f" + std::to_string(i) + ".txt");
  for (const std::string& name : names) t.dir_.WriteFile(name, name);
  t.Load(names);
  t.files_.At(5).Status = kStatusSourceMissing;  // as the preparation found it
  t.settings_.TargetDirActive = 0;
  t.settings_.NameTemplateActive = 1;
  t.settings_.NameTemplate = QStringLiteral("%FN%-x");
  RunValues values;
  values.PreparationNeeded = true;
  Foreseeing observer;
  t.options_.Observer = &observer;
  t.Run(true, &values);

  const auto path = [&](int i) { return QByteArray::fromStdString(t.dir_.Bytes() + names[i]); };
  ASSERT_EQ(observer.named.size(), 2u) << "after 0-3 and 4-7; nothing follows 8";
  EXPECT_EQ(observer.named[0].first, 4);
  EXPECT_EQ(observer.named[0].second, (std::vector<QByteArray>{path(4), QByteArray(), path(6)}));
  EXPECT_EQ(observer.named[1].first, 8);
  EXPECT_EQ(observer.named[1].second, (std::vector<QByteArray>{path(8)}));
  EXPECT_EQ(observer.sourcesActedOn, (std::vector<QByteArray>{path(0), path(1), path(2), path(3),
                                                              path(4), path(6), path(7), path(8)}));
  EXPECT_EQ(t.Statuses(), (std::vector<int>{1, 1, 1, 1, 1, 2, 1, 1, 1}));
}

// A journal that can no longer record stops the run as a full disk does, without asking, and
// the entries it never reached are counted.
TEST(Batch, AnObserverOutOfSpaceStopsTheRunWithoutAQuestion) {
  Scene t;
  std::vector<std::string> names;
  for (int i = 0; i < 6; ++i) {
    names.push_back("f" + std::to_string(i) + ".txt");
    t.dir_.WriteFile(names.back(), "x");
  }
  t.Load(names);
  t.settings_.TargetDirActive = 0;
  t.settings_.NameTemplateActive = 1;
  t.settings_.NameTemplate = QStringLiteral("%FN%-x");
  MeddlingObserver observer([](const ActIntent& intent) { return intent.Position < 2; });
  t.options_.Observer = &observer;
  bool asked = false;
  t.options_.AskStopOnDiskFull = [&](const QString&) {
    asked = true;
    return false;
  };
  t.Run(false);
  EXPECT_EQ(t.Statuses(), (std::vector<int>{1, 1, 8, 0, 0, 0}));
  EXPECT_TRUE(t.result_.StoppedByFullDisk);
  EXPECT_EQ(t.result_.Unreached, 3);
  EXPECT_FALSE(asked);
}

}  // namespace
