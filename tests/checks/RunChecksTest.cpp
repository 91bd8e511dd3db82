#include "checks/RunChecks.h"

#include "settings/BuiltinPresets.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const PathFolders kFolders{QStringLiteral("/home/user/Desktop/"), QString(), QString()};

class RunChecksTest : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < kLanguageTextCount; ++i) LanguageTable[i] = QStringLiteral("E%1").arg(i);
  }
};

FileList Files(int count) {
  FileList list;
  for (int i = 1; i <= count; ++i) {
    FileEntry entry;
    entry.Id = i;
    entry.SetPath(QStringLiteral("/data/file%1.txt").arg(i));
    list.Append(entry);
  }
  return list;
}

using Change = std::function<void(Preset&)>;

// Settings that fail the validation with each result, starting from the usable defaults.
const Change kOutOfRange = [](Preset& p) { p.SortKey = 9; };
const Change kIncomplete = [](Preset& p) { p.InsertActive = 1; };
const Change kNothing = [](Preset& p) { p.TargetDirActive = 0; };
const Change kBadFilter = [](Preset& p) {
  p.FilterActive = 1;
  p.FilterConditions = {{2, 7, 0, "32", 1}};
};
const Change kBadReplace = [](Preset& p) {
  p.ReplaceActive = 1;
  p.TextReplacements = {{2, "", "x"}};
};
const Change kBadExtension = [](Preset& p) {
  p.ExtRulesActive = 1;
  p.ExtensionCorrections = {{2, "a", ""}};
};
const Change kInPlace = [](Preset& p) {
  p.TargetDirActive = 0;
  p.CaseActive = 1;
};
const Change kMove = [](Preset& p) { p.TargetMove = 1; };
const Change kCopy = [](Preset&) {};

struct ConsoleRow {
  const char* label;
  int files;
  Change change;
  bool ignoreWarnings;
  bool runStarts;
  const char* printed;  // what the console shows for the problem; empty when there is none
};

TEST_F(RunChecksTest, ConsoleChecksStopAtTheFirstProblemWithItsMessage) {
  const ConsoleRow rows[] = {
      {"no files", 0, kCopy, false, false, "\nError: No files\n\n"},
      {"no files beats bad settings", 0, kOutOfRange, true, false, "\nError: No files\n\n"},
      {"out of range", 2, kOutOfRange, false, false, "\nError: Invalid settings\n\n"},
      {"missing part", 2, kIncomplete, true, false, "\nError: Wrong settings\n\n"},
      {"nothing to do", 2, kNothing, false, false, "\nError: No task\n\n"},
      {"bad filter", 2, kBadFilter, false, false, "\nError: Wrong filter conditions\n\n"},
      {"bad replace rule", 2, kBadReplace, false, false,
       "\nError: Wrong conditions at \"Correct filename\"\n\n"},
      {"bad extension rule", 2, kBadExtension, true, false,
       "\nError: Wrong conditions at \"Correct extension\"\n\n"},
      {"in place", 1, kInPlace, false, false, "\nWarning: Replacing is disabled\n\n"},
      {"in place ignored", 1, kInPlace, true, true, "Warning: Replacing is disabled - Ignored\n\n"},
      {"move", 1, kMove, false, false, "\nWarning: Moving is disabled\n\n"},
      {"move ignored", 1, kMove, true, true, "Warning: Moving is disabled - Ignored\n\n"},
      {"copy", 1, kCopy, false, true, ""},
  };
  for (const ConsoleRow& row : rows) {
    SCOPED_TRACE(row.label);
    const FileList files = Files(row.files);
    Preset settings = WorkingPreset();
    row.change(settings);
    const RunValues values = PrepareRunValues(settings, files.Count(), kFolders, 0);
    const ConsoleCheckResult result =
        CheckBeforeConsoleRun(files, settings, values, row.ignoreWarnings);
    EXPECT_EQ(result.RunStarts, row.runStarts);
    QString printed;
    for (const CheckProblem& problem : result.Problems) printed += ConsoleProblemText(problem);
    EXPECT_EQ(printed, QString::fromUtf8(row.printed));
    EXPECT_LE(result.Problems.size(), 1);
  }
}

struct WindowRow {
  const char* label;
  bool busy;
  int files;
  Change change;
  bool ignoreWarnings;
  WindowCheckResult::Outcome outcome;
  int title;
  const char* text;
  MessageIcon icon;
};

TEST_F(RunChecksTest, WindowChecksGiveTheMessageOrQuestionToShow) {
  using R = WindowCheckResult;
  const MessageIcon info = MessageIcon::kInformation;
  const MessageIcon warn = MessageIcon::kWarning;
  const MessageIcon ask = MessageIcon::kQuestion;
  const WindowRow rows[] = {
      {"busy", true, 2, kCopy, false, R::RefusedSilently, 0, "", info},
      {"no files", false, 0, kCopy, false, R::Refused, 359, "E368", info},
      {"out of range", false, 2, kOutOfRange, false, R::Refused, 363, "E366", warn},
      {"missing part", false, 2, kIncomplete, false, R::Refused, 363, "E365: \"E59\" -> \"-\"",
       warn},
      {"nothing to do", false, 2, kNothing, false, R::Refused, 359, "E364", info},
      {"bad filter", false, 2, kBadFilter, false, R::Refused, 363, "E367: \n\"E211 -> 32\"", warn},
      {"bad replace rule", false, 2, kBadReplace, false, R::Refused, 363,
       "E365, E60: \nE144 -> \"\"", warn},
      {"bad extension rule", false, 2, kBadExtension, false, R::Refused, 363,
       "E365, E61: \nE154 -> \"\"", warn},
      {"in place", false, 2, kInPlace, false, R::Ask, 349, "E354", ask},
      {"move", false, 2, kMove, false, R::Ask, 349, "E355", ask},
      {"in place without questions", false, 2, kInPlace, true, R::Start, 0, "", info},
      {"copy", false, 2, kCopy, false, R::Start, 0, "", info},
  };
  for (const WindowRow& row : rows) {
    SCOPED_TRACE(row.label);
    const FileList files = Files(row.files);
    Preset settings = WorkingPreset();
    row.change(settings);
    const Preset before = settings;
    const RunValues values = PrepareRunValues(settings, files.Count(), kFolders, 0);
    const WindowCheckResult result =
        CheckBeforeWindowRun(row.busy, files, settings, values, row.ignoreWarnings);
    EXPECT_EQ(result.Result, row.outcome);
    EXPECT_EQ(result.Message.TitleEntry, row.title);
    EXPECT_EQ(result.Message.Text, QString::fromUtf8(row.text));
    EXPECT_EQ(result.Message.Icon, row.icon);
    EXPECT_TRUE(settings == before);  // the checks never repair a setting
  }
}

}  // namespace
