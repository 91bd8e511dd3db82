#include "fileops/Plan.h"

#include "filelist/Loader.h"
#include "fileops/Batch.h"
#include "platform/FileName.h"
#include "support/PlanEach.h"
#include "support/Presets.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

// The names below a folder, recursively, as relative paths.
std::set<std::string> Tree(const std::string& root, const std::string& relative = {}) {
  std::set<std::string> names;
  if (DIR* d = ::opendir((root + relative).c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      names.insert(relative + name);
      if (e->d_type == DT_DIR) names.merge(Tree(root, relative + name + "/"));
    }
    ::closedir(d);
  }
  return names;
}

struct Scenario {
  const char* what;
  std::vector<std::string> existing;  // files there before, not loaded
  std::vector<std::string> loaded;    // files there before and loaded, in list order
  std::function<void(Preset&, const QString& root)> configure;
};

// Planning a whole list predicts the run exactly: the same targets and the same statuses, for
// counters, per-folder counters, clashes inside the run and existing targets; and planning
// changes nothing on disk.
TEST(Plan, PlanningAListPredictsTheRun) {
  const std::vector<Scenario> scenarios = {
      {"a counter skips existing names and names earlier entries took",
       {"001.txt", "003.txt"},
       {"a.txt", "b.txt", "c.txt", "d.txt"},
       [](Preset& s, const QString&) { s = InPlace("%001%"); }},
      {"per-folder counters restart in each target folder",
       {"out/x/1.txt"},
       {"x/a.txt", "x/b.txt", "y/c.txt", "y/d.txt"},
       [](Preset& s, const QString& root) {
         Into(s, root + "out/", false);
         s.KeepSubfolders = 1;
         s.NameTemplateActive = 1;
         s.NameTemplate = "%1%";
         s.CounterPerDirectory = 1;
       }},
      {"two entries want the same name: the second finds it taken",
       {},
       {"p/a.txt", "q/a.txt", "r/b.txt"},
       [](Preset& s, const QString& root) { Into(s, root + "out/", true); }},
      {"existing targets are left, and a failed entry's number is used again",
       {"out/a.txt", "out/2-b.txt"},
       {"a.txt", "b.txt", "c.txt"},
       [](Preset& s, const QString& root) {
         Into(s, root + "out/", false);
         s.NameTemplateActive = 1;
         s.NameTemplate = "%FN%";
         s.InsertActive = 0;
       }},
      {"a chain of renames in place: a name freed by an earlier entry is free",
       {},
       {"b.txt", "a.txt"},
       [](Preset& s, const QString&) {
         s = InPlace("%FN%");
         s.ReplaceActive = 1;
         TextReplacement toC{kItemChecked, "b", "c"};
         TextReplacement toB{kItemChecked, "a", "b"};
         s.TextReplacements = {toC, toB};
       }},
      {"a swap in place fails both ways",
       {},
       {"a.txt", "b.txt"},
       [](Preset& s, const QString&) {
         s = InPlace("%FN%");
         s.ReplaceActive = 1;
         TextReplacement swap{kItemChecked, "a|b", "x"};
         s.TextReplacements = {swap};
       }},
      {"a counter with failures in the middle",
       {"out/a.txt"},
       {"a.txt", "b.txt", "a2/a.txt", "c.txt"},
       [](Preset& s, const QString& root) {
         Into(s, root + "out/", false);
         s.NameTemplateActive = 1;
         s.NameTemplate = "%FN%";
         s.ReplaceActive = 1;
         TextReplacement rule{kItemChecked, "b|c", "n%01%"};
         s.TextReplacements = {rule};
       }},
      {"copy into the file's own folder is the source itself",
       {},
       {"a.txt"},
       [](Preset& s, const QString& root) { Into(s, root, false); }},
  };
  for (const Scenario& c : scenarios) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    for (const std::string& file : c.existing) dir.WriteFile(file, "existing " + file);
    for (const std::string& file : c.loaded) dir.WriteFile(file, "loaded " + file);
    Preset settings;
    c.configure(settings, dir.Path());
    FileList files;
    for (const std::string& file : c.loaded)
      ASSERT_EQ(AdmitFile(DecodeFileName(dir.Bytes() + file), files, settings), 1) << file;
    const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);

    const std::set<std::string> before = Tree(dir.Bytes());
    const std::vector<EntryPlan> plans = PlanEach(files, settings, values, PlanOptions{});
    EXPECT_EQ(Tree(dir.Bytes()), before) << "planning changes nothing";

    FileList followUp;
    RunFlags flags;
    flags.RunActive = 1;
    BatchOptions options;
    options.ReplaceMemory = kAnswerLeaveAll;
    options.StartDelay = std::chrono::milliseconds(0);
    RunBatch(files, followUp, settings, values, flags, options);

    ASSERT_EQ(plans.size(), static_cast<size_t>(files.Count()));
    for (qsizetype i = 0; i < files.Count(); ++i) {
      const FileEntry& entry = files.At(i);
      EXPECT_EQ(plans[static_cast<size_t>(i)].Status, entry.Status) << entry.Path().toStdString();
      EXPECT_EQ(plans[static_cast<size_t>(i)].TargetPath(), entry.NewPath())
          << entry.Path().toStdString();
    }
  }
}

TEST(Plan, WithoutDiskLookupsNothingIsAskedOfTheDisk) {
  TempDir dir;
  dir.WriteFile("001.txt");
  dir.WriteFile("a.txt");
  FileList files;
  Preset settings = InPlace("%001%");
  ASSERT_EQ(AdmitFile(dir.Path() + "a.txt", files, settings), 1);
  const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
  PlanOptions options;
  options.DiskLookups = false;
  const std::vector<EntryPlan> plans = PlanEach(files, settings, values, options);
  ASSERT_EQ(plans.size(), 1u);
  // The disk counts as empty: "001.txt" is not seen.
  EXPECT_EQ(plans[0].TargetPath(), dir.Path() + "001.txt");
  EXPECT_EQ(plans[0].Action, PlanAction::Rename);
  EXPECT_EQ(plans[0].Status, kStatusDone);
}

TEST(Plan, ShowsWhatTheRunExpectsToMeet) {
  TempDir dir;
  dir.WriteFile("in/keep.txt");
  dir.WriteFile("in/clash.txt");
  dir.WriteFile("in/...txt");
  dir.WriteFile("in/skip.log");
  dir.WriteFile("out/clash.txt");
  Preset settings;
  Into(settings, dir.Path() + "out/%FN%/", true);
  settings.TargetDirTemplate = dir.Path() + "out/";
  settings.IncludeHidden = 1;
  settings.FilterActive = 1;
  FilterCondition logs;
  logs.ItemState = kItemChecked;
  logs.Kind = 2;  // the extension
  logs.Operator = 0;
  logs.Values = "log";
  logs.Mode = 2;  // text
  settings.FilterConditions = {logs};
  FileList files;
  for (const char* name : {"in/keep.txt", "in/clash.txt", "in/skip.log"})
    ASSERT_EQ(AdmitFile(dir.Path() + name, files, settings), 1) << name;
  const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
  const std::vector<EntryPlan> plans =
      PlanEach(files, settings, values, PlanOptions{}, /*checkFilter=*/true);
  ASSERT_EQ(plans.size(), 3u);
  EXPECT_EQ(plans[0].Expect, PlanExpect::TargetFree);
  EXPECT_EQ(plans[0].Action, PlanAction::Move);
  EXPECT_TRUE(plans[0].CreateDirectory);
  EXPECT_EQ(plans[1].Expect, PlanExpect::TargetExists);
  EXPECT_EQ(plans[1].Status, kStatusTargetExists);
  EXPECT_EQ(plans[2].Expect, PlanExpect::FilteredOut);
  EXPECT_EQ(plans[2].Status, kStatusNotProcessed);
  EXPECT_FALSE(plans[2].TargetBuilt());
  // Plans of one folder share its text.
  EXPECT_TRUE(plans[0].Directory.isSharedWith(plans[1].Directory));
}

}  // namespace

namespace {

// A folder that holds a target's name is nothing the replace question can resolve: a copy and a
// rename fail on it, a move leaves it as an existing target unless it was told to replace all,
// and then fails on it. A link to a folder is a name like any other.
TEST(Plan, AFolderInATargetsPlaceEndsAsTheRunWillEndThere) {
  struct Case {
    const char* what;
    bool move;
    bool targetFolder;
    int32_t memory;
    bool link;  // a link to a folder stands there instead
    PlanExpect expect;
    int status;
  };
  const Case cases[] = {
      {"copy", false, true, kAnswerLeaveAll, false, PlanExpect::TargetIsFolder,
       kStatusCopyMoveFailed},
      {"copy, replacing all", false, true, kAnswerReplaceAll, false, PlanExpect::TargetIsFolder,
       kStatusCopyMoveFailed},
      {"move", true, true, kAnswerLeaveAll, false, PlanExpect::TargetIsFolder, kStatusTargetExists},
      {"move, asking", true, true, kAnswerLeave, false, PlanExpect::TargetIsFolder,
       kStatusTargetExists},
      {"move, replacing all", true, true, kAnswerReplaceAll, false, PlanExpect::TargetIsFolder,
       kStatusCopyMoveFailed},
      {"rename", true, false, kAnswerLeaveAll, false, PlanExpect::TargetIsFolder,
       kStatusCopyMoveFailed},
      {"move onto a link to a folder", true, true, kAnswerLeaveAll, true, PlanExpect::TargetExists,
       kStatusTargetExists},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    dir.WriteFile("in/a.txt", "a");
    const std::string blocked = c.targetFolder ? "out/a.txt" : "in/a-x.txt";
    if (c.link) {
      dir.MakeDir("elsewhere");
      dir.MakeDir("out");
      ASSERT_EQ(::symlink((dir.Bytes() + "elsewhere").c_str(), (dir.Bytes() + blocked).c_str()), 0);
    } else {
      dir.MakeDir(blocked);
    }
    Preset settings = InPlace("%FN%-x");
    if (c.targetFolder) {
      settings.NameTemplateActive = 0;
      Into(settings, dir.Path() + "out/", c.move);
    }
    FileList files;
    ASSERT_EQ(AdmitFile(dir.Path() + "in/a.txt", files, settings), 1);
    const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
    PlanOptions options;
    options.ReplaceMemory = c.memory;
    const std::vector<EntryPlan> plans = PlanEach(files, settings, values, options);
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_EQ(plans[0].Expect, c.expect);
    EXPECT_EQ(plans[0].Status, c.status);
  }
}

// A rename or a move takes the name out of the file's own folder, a copy does not: the folder
// check asks for that folder only where it matters. (Root may change any folder: the case of a
// folder that takes no changes is seen only by others.)
TEST(Plan, TheFolderCheckAsksWhetherTheFilesOwnFolderTakesChanges) {
  TempDir dir;
  dir.WriteFile("in/a.txt", "a");
  dir.MakeDir("out");
  EntryPlan plan;
  plan.Directory = dir.Path() + "out/";
  plan.FileName = QStringLiteral("a.txt");
  const bool root = ::geteuid() == 0;
  ::chmod((dir.Bytes() + "in").c_str(), 0555);
  for (const PlanAction action : {PlanAction::Copy, PlanAction::Move, PlanAction::Rename}) {
    plan.Action = action;
    TargetFolderCheck check;
    const TargetFolderCheck::Result result = check.Check(plan, dir.Path() + "in/");
    const bool refused = action != PlanAction::Copy && !root;
    EXPECT_EQ(result.Outcome == TargetFolderCheck::Verdict::TargetFolderRefused, refused)
        << static_cast<int>(action);
    if (refused) {
      EXPECT_EQ(result.Folder, dir.Path() + "in/");
    }
    EXPECT_EQ(TargetFolderCheck().Check(plan).Outcome, TargetFolderCheck::Verdict::Usable)
        << "without the file's folder, only the target's is looked at";
  }
  ::chmod((dir.Bytes() + "in").c_str(), 0755);
}

}  // namespace
