#include "run/RunSetup.h"

#include "filelist/Loader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

// Settings a user may well have when starting a test run: keeping lists, sorting, moving into
// subfolders of a target folder, quitting after the run.
Preset BusySettings() {
  Preset s;
  s.ListKeepFiltered = s.ListKeepSources = s.ListKeepFailed = 1;
  s.ListKeepTargets = s.ListKeepUnprocessed = 1;
  s.QuitAfterRun = 0;
  s.SortActive = 1;
  s.SortKey = 1;
  s.TargetDirActive = 0;
  s.TargetDirTemplate = QStringLiteral("%PD%\\sorted\\");
  s.KeepSubfolders = 1;
  s.TargetMove = 1;
  s.NameTemplateActive = 1;
  s.NameTemplate = QStringLiteral("test %FN%");
  s.CaseActive = 1;
  s.CaseMode = 2;
  return s;
}

TEST(TestRunSettings, CopyIntoThePreviewFolderAndKeepTheTask) {
  const Preset working = BusySettings();
  const Preset test = TestRunSettings(working, QStringLiteral("/tmp/x_Preview/"));
  // What makes it a test run.
  EXPECT_EQ(test.TargetDirActive, 1);
  EXPECT_EQ(test.TargetDirTemplate, QStringLiteral("/tmp/x_Preview/"));
  EXPECT_EQ(test.TargetMove, 0) << "the file itself never moves";
  EXPECT_EQ(test.KeepSubfolders, 0);
  EXPECT_EQ(test.SortActive, 0);
  EXPECT_EQ(test.QuitAfterRun, 1) << "nothing is kept for a later list";
  for (const int8_t keep : {test.ListKeepFiltered, test.ListKeepSources, test.ListKeepFailed,
                            test.ListKeepTargets, test.ListKeepUnprocessed})
    EXPECT_EQ(keep, 0);
  // What the copy is named by stays the user's.
  EXPECT_EQ(test.NameTemplate, working.NameTemplate);
  EXPECT_EQ(test.NameTemplateActive, 1);
  EXPECT_EQ(test.CaseActive, 1);
  EXPECT_EQ(test.CaseMode, 2);
}

// The settings and the policy together, on a real file: a copy lands in the preview folder under
// the new name, an earlier copy is replaced without a question, and the file stays.
TEST(TestRunSettings, ATestRunCopiesTheCurrentEntryOnly) {
  TempDir dir;
  dir.WriteFile("in/a.txt", "new a");
  dir.WriteFile("in/b.txt", "b");
  dir.WriteFile("preview/test a.txt", "an earlier test");
  Preset working = BusySettings();
  working.CaseActive = 0;
  const Preset test = TestRunSettings(working, dir.Path() + QStringLiteral("preview/"));
  FileList files;
  FileList followUp;
  ASSERT_EQ(AdmitFile(dir.Path() + QStringLiteral("in/a.txt"), files, test), 1);
  ASSERT_EQ(AdmitFile(dir.Path() + QStringLiteral("in/b.txt"), files, test), 1);
  files.Current = 0;
  Preset settings = test;
  RunFlags flags;
  LoadFlags load;
  RunRequest request{files, followUp, settings, flags, load};
  request.Policy = TestRunPolicy();
  request.Policy.StartDelay = std::chrono::milliseconds(0);
  const RunResult result = RunProcedure(request);
  EXPECT_TRUE(result.Succeeded);
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "preview/test a.txt"), "new a");
  EXPECT_FALSE(PathExists(dir.Bytes() + "preview/test b.txt")) << "only the current entry";
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "in/a.txt"), "new a");
  EXPECT_EQ(followUp.Count(), 0);
  EXPECT_EQ(flags.RunSingle.load(), 0);
}

}  // namespace
