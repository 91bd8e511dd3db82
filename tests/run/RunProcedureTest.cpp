#include "run/RunProcedure.h"

#include "platform/FileName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

// A run of the whole procedure on real files, recording its events.
struct Procedure {
  Procedure() {
    settings.TargetDirActive = 1;
    settings.TargetMove = 0;
    settings.TargetDirTemplate = dir.Path() + "out/";
    request.Policy.StartDelay = std::chrono::milliseconds(0);
    request.Events.StageChanged = [this](RunStage stage) {
      std::lock_guard lock(mutex);
      stages.push_back(stage);
    };
    request.Events.Entries.EntryFinished = [this](qsizetype, const FileEntry& entry,
                                                  const EntryOutcome& outcome) {
      std::lock_guard lock(mutex);
      finished.push_back(entry.Name().toStdString() + " " + std::to_string(outcome.Status));
    };
  }

  void Files(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      dir.WriteFile("in/" + name, name);
      request.PathsToLoad += dir.Path() + "in/" + QString::fromStdString(name) + "\n";
    }
  }

  TempDir dir;
  Preset settings;
  FileList files;
  FileList followUp;
  RunFlags flags;
  LoadFlags load;
  RunRequest request{files, followUp, settings, flags, load};
  std::mutex mutex;
  std::vector<RunStage> stages;
  std::vector<std::string> finished;
};

TEST(RunProcedure, GoesThroughItsStagesAndLeavesTheFlagsIdle) {
  Procedure p;
  p.Files({"b.txt", "a.txt"});
  p.settings.SortActive = 1;  // two entries to sort: the list is prepared first
  p.settings.SortKey = 1;
  p.settings.QuitAfterRun = 0;
  int checked = 0;
  p.request.Events.Check = [&](const RunValues& values) {
    ++checked;
    EXPECT_TRUE(values.PreparationNeeded);
    return true;
  };
  const RunResult result = RunProcedure(p.request);
  EXPECT_EQ(result.Failure, RunFailure::None);
  EXPECT_TRUE(result.Started);
  EXPECT_TRUE(result.Succeeded);
  EXPECT_EQ(checked, 1);
  EXPECT_EQ(p.stages,
            (std::vector<RunStage>{RunStage::Loading, RunStage::Checking, RunStage::Starting,
                                   RunStage::Preparing, RunStage::Processing, RunStage::Finished}));
  EXPECT_EQ(p.finished, (std::vector<std::string>{"a 1", "b 1"})) << "sorted by name";
  EXPECT_EQ(ReadFileBytes(p.dir.Bytes() + "out/a.txt"), "a.txt");
  EXPECT_EQ(p.flags.RunActive.load(), 0);
  EXPECT_EQ(p.flags.RunPhase.load(), kPhaseFinished);
  EXPECT_EQ(p.load.LoadBusy.load(), 0);
}

TEST(RunProcedure, ARefusingCheckStartsNothing) {
  Procedure p;
  p.Files({"a.txt"});
  p.request.Events.Check = [](const RunValues&) { return false; };
  const RunResult result = RunProcedure(p.request);
  EXPECT_FALSE(result.Started);
  EXPECT_EQ(p.stages, (std::vector<RunStage>{RunStage::Loading, RunStage::Checking}));
  EXPECT_FALSE(PathExists(p.dir.Bytes() + "out"));
  EXPECT_EQ(p.files.Count(), 1);
}

TEST(RunProcedure, PoliciesDecideWhatTheFrontEndsDiffer) {
  struct Case {
    const char* what;
    std::function<void(Procedure&)> policy;
    std::vector<std::string> finished;
    std::string existingAfter;
    bool succeeded;
  };
  const std::vector<Case> cases = {
      {"nobody can answer: the existing target is left",
       [](Procedure& p) { p.request.Policy.ReplaceMemory = kAnswerLeaveAll; },
       {"a 3", "b 1"},
       "old",
       false},
      {"the window asks, and the answer replaces",
       [](Procedure& p) {
         p.request.Policy.AskReplace = [](const QString&) { return kAnswerReplace; };
       },
       {"a 1", "b 1"},
       "a.txt",
       true},
      {"a dry run changes nothing and says what would happen",
       [](Procedure& p) {
         p.request.Policy.ReplaceMemory = kAnswerLeaveAll;
         p.request.Policy.DryRun = true;
       },
       {"a 3", "b 1"},
       "old",
       false},
      {"a single-entry run replaces the current entry only",
       [](Procedure& p) {
         p.request.Policy.SingleEntry = true;
         p.request.Policy.ReplaceMemory = kAnswerReplaceAll;
         p.request.Events.Check = [&p](const RunValues&) {
           p.files.Current = 0;
           return true;
         };
       },
       {"a 1"},
       "a.txt",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Procedure p;
    p.Files({"a.txt", "b.txt"});
    p.dir.WriteFile("out/a.txt", "old");
    c.policy(p);
    const RunResult result = RunProcedure(p.request);
    EXPECT_EQ(p.finished, c.finished);
    EXPECT_EQ(ReadFileBytes(p.dir.Bytes() + "out/a.txt"), c.existingAfter);
    EXPECT_EQ(result.Succeeded, c.succeeded);
    EXPECT_EQ(PathExists(p.dir.Bytes() + "out/b.txt"),
              !p.request.Policy.DryRun && !p.request.Policy.SingleEntry);
    // Over: nothing is left that would refuse the next run.
    EXPECT_EQ(p.flags.RunActive.load(), 0);
    EXPECT_EQ(p.flags.RunSingle.load(), 0);
  }
}

// A target folder the run cannot make, or a folder of the new name that is not there: the dry
// run gives each file the status the run then records, rather than "done".
TEST(RunProcedure, ADryRunSaysWhatTheRunFindsAtTargetFolders) {
  struct Case {
    const char* what;
    std::function<void(Procedure&)> configure;
  };
  const std::vector<Case> cases = {
      {"the target folder would be made below a file",
       [](Procedure& p) {
         p.dir.WriteFile("blocker", "a file");
         p.settings.TargetDirTemplate = p.dir.Path() + "blocker/out/";
       }},
      {"the new name puts the file into a folder that is not there",
       [](Procedure& p) {
         p.settings.TargetDirActive = 0;
         p.settings.NameTemplateActive = 1;
         p.settings.NameTemplate = QStringLiteral("missing/%FN%");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> said;
    for (const bool dry : {true, false}) {
      Procedure p;
      p.Files({"a.txt"});
      c.configure(p);
      p.request.Policy.DryRun = dry;
      const RunResult result = RunProcedure(p.request);
      EXPECT_FALSE(result.Succeeded);
      ASSERT_EQ(p.finished.size(), 1u);
      EXPECT_NE(p.finished[0], "a " + std::to_string(kStatusDone));
      if (dry)
        said = p.finished;
      else
        EXPECT_EQ(p.finished, said) << "the dry run said what the run found";
      EXPECT_EQ(ReadFileBytes(p.dir.Bytes() + "in/a.txt"), "a.txt") << "the file stays";
    }
  }
}

TEST(RunProcedure, KeepingNothingForLaterHoldsTheSettingOnlyForTheRun) {
  Procedure p;
  p.Files({"a.txt"});
  p.settings.ListKeepSources = 1;
  p.settings.QuitAfterRun = 0;
  p.request.Policy.KeepNothingForLater = true;
  RunProcedure(p.request);
  EXPECT_EQ(p.followUp.Count(), 0);
  EXPECT_EQ(p.settings.QuitAfterRun, 0);

  Procedure kept;
  kept.Files({"a.txt"});
  kept.settings.ListKeepSources = 1;
  kept.settings.QuitAfterRun = 0;
  RunProcedure(kept.request);
  EXPECT_EQ(kept.followUp.Count(), 1);
}

TEST(RunProcedure, FailureReasonsNameTheStage) {
  EXPECT_EQ(RunFailureReason(RunFailure::Preparation), "Couldn't initialize preparation.");
  EXPECT_EQ(RunFailureReason(RunFailure::Process), "Couldn't initialize process.");
  EXPECT_EQ(RunFailureReason(RunFailure::Loading), "Couldn't initialize loading.");
  EXPECT_TRUE(RunFailureReason(RunFailure::None).isEmpty());
}

}  // namespace
