#include "checks/Validation.h"

#include "settings/BuiltinPresets.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const PathFolders kFolders{QStringLiteral("/home/user/Desktop/"),
                           QStringLiteral("/home/user/Documents/"),
                           QStringLiteral("/opt/mervane/")};

class ValidationTest : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < kLanguageTextCount; ++i) LanguageTable[i] = QStringLiteral("E%1").arg(i);
  }
};

using Change = std::function<void(Preset&)>;

struct Row {
  const char* label;
  Change change;
  int code;
  const char* explanation = "";
};

// The defaults copy every file into "output" on the desktop: a usable task.
Preset Usable() {
  return WorkingPreset();
}

void Check(const Row& row) {
  SCOPED_TRACE(row.label);
  Preset settings = Usable();
  row.change(settings);
  const RunValues values = PrepareRunValues(settings, 3, kFolders, 1000);
  const int code = ValidateSettings(settings, values, true);
  EXPECT_EQ(code, row.code);
  EXPECT_EQ(ExplainFailure(code, settings, values), QString::fromUtf8(row.explanation));
}

TEST_F(ValidationTest, RangePartRefusesEveryValueOutsideItsRange) {
  const Row rows[] = {
      {"defaults", [](Preset&) {}, 1},
      {"page 11", [](Preset& p) { p.SelectedPage = 11; }, 1},
      {"page 12", [](Preset& p) { p.SelectedPage = 12; }, 0},
      {"page -1", [](Preset& p) { p.SelectedPage = -1; }, 0},
      {"number -1", [](Preset& p) { p.PresetNumber = -1; }, 0},
      {"switch 2", [](Preset& p) { p.TemplateButtons = 2; }, 0},
      {"switch -1", [](Preset& p) { p.IncludeHidden = -1; }, 0},
      {"last switch", [](Preset& p) { p.TargetMove = 2; }, 0},
      {"quit switch", [](Preset& p) { p.QuitAfterRun = 5; }, 0},
      {"filter date source 3", [](Preset& p) { p.FilterDateSource = 3; }, 1},
      {"filter date source 4", [](Preset& p) { p.FilterDateSource = 4; }, 0},
      {"placeholder date source 2", [](Preset& p) { p.DatePlaceholderSource = 2; }, 1},
      {"placeholder date source 3", [](Preset& p) { p.DatePlaceholderSource = 3; }, 1},
      {"placeholder date source 4", [](Preset& p) { p.DatePlaceholderSource = 4; }, 0},
      {"date mode 3", [](Preset& p) { p.DateMode = 3; }, 0},
      {"date copy source -1", [](Preset& p) { p.DateCopySource = -1; }, 0},
      {"fixed date negative", [](Preset& p) { p.FixedDate = -1; }, 0},
      {"remove position 0", [](Preset& p) { p.RemovePosition = 0; }, 0},
      {"remove position 999", [](Preset& p) { p.RemovePosition = 999; }, 1},
      {"remove position 1000", [](Preset& p) { p.RemovePosition = 1000; }, 0},
      {"remove count 1000", [](Preset& p) { p.RemoveCount = 1000; }, 0},
      {"insert position 0", [](Preset& p) { p.InsertPosition = 0; }, 0},
      {"case mode 5", [](Preset& p) { p.CaseMode = 5; }, 1},
      {"case mode 6", [](Preset& p) { p.CaseMode = 6; }, 0},
      {"extension case 2", [](Preset& p) { p.ExtCaseMode = 2; }, 0},
      {"sort key 7", [](Preset& p) { p.SortKey = 7; }, 1},
      {"sort key 8", [](Preset& p) { p.SortKey = 8; }, 0},
      {"sort direction 2", [](Preset& p) { p.SortDirection = 2; }, 0},
      {"condition kind 14",
       [](Preset& p) {
         p.FilterConditions = {{0, 14, 7, "", 2}};
       },
       1},
      {"condition kind 15",
       [](Preset& p) {
         p.FilterConditions = {{0, 15, 0, "", 2}};
       },
       0},
      {"condition operator 11 (a regular expression, case significant)",
       [](Preset& p) {
         p.FilterConditions = {{0, 0, 11, "", 2}};
       },
       1},
      {"condition operator 12",
       [](Preset& p) {
         p.FilterConditions = {{0, 0, 12, "", 2}};
       },
       0},
      {"replace rule expression 3",
       [](Preset& p) {
         p.TextReplacements = {{0, "a", "b", 3}};
       },
       0},
      {"extension rule expression 2",
       [](Preset& p) {
         p.ExtensionCorrections = {{0, "a", "b", 2}};
       },
       1},
      {"transliteration switch 2", [](Preset& p) { p.TransliterateToAscii = 2; }, 0},
      {"condition mode 0",
       [](Preset& p) {
         p.FilterConditions = {{0, 0, 0, "", 0}};
       },
       0},
      {"condition mode 3",
       [](Preset& p) {
         p.FilterConditions = {{0, 0, 0, "", 3}};
       },
       0},
      {"date rule unit 17",
       [](Preset& p) {
         p.DateAdjustments = {{0, 17, 2, 1}};
       },
       1},
      {"date rule unit 18",
       [](Preset& p) {
         p.DateAdjustments = {{0, 18, 0, 1}};
       },
       0},
      {"date rule operation 3",
       [](Preset& p) {
         p.DateAdjustments = {{0, 0, 3, 1}};
       },
       0},
      {"inactive rule out of range",
       [](Preset& p) {
         p.DateAdjustments = {{2, 1, 1, 1}, {0, -1, 0, 0}};
       },
       0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    Preset settings = Usable();
    row.change(settings);
    EXPECT_EQ(ValidateRanges(settings), row.code);
    EXPECT_EQ(ValidateSettings(settings, RunValues{}, false), row.code);
  }
}

TEST_F(ValidationTest, RequirementChecksNameTheFirstMissingPart) {
  const Row rows[] = {
      {"filter without an active condition",
       [](Preset& p) {
         p.FilterActive = 1;
         p.FilterConditions = {{1, 1, 0, "a", 2}};
       },
       -1, "\"E54\" -> \"x\""},
      {"date rules without an active rule",
       [](Preset& p) {
         p.DateRulesActive = 1;
         p.DateAdjustments = {{0, 1, 1, 1}};
       },
       -1, "\"E57\" -> \"x\""},
      {"empty insert text", [](Preset& p) { p.InsertActive = 1; }, -1, "\"E59\" -> \"-\""},
      {"insert text with a colon",
       [](Preset& p) {
         p.InsertActive = 1;
         p.InsertText = "a:b";
       },
       -1, "\"E59\" -> \"a:b\""},
      {"replace without an active rule",
       [](Preset& p) {
         p.ReplaceActive = 1;
         p.TextReplacements = {{0, "a", "b"}};
       },
       -1, "\"E60\" -> \"x\""},
      {"extension rules without an active rule", [](Preset& p) { p.ExtRulesActive = 1; }, -1,
       "\"E61\" -> \"x\""},
      {"name template with a slash",
       [](Preset& p) {
         p.NameTemplateActive = 1;
         p.NameTemplate = "%fn%/x";
       },
       -1, "\"E66\" -> \"%FN%/x\""},
      {"empty name template",
       [](Preset& p) {
         p.NameTemplateActive = 1;
         p.NameTemplate = "";
       },
       -1, "\"E66\" -> \"-\""},
      {"removing with a template of only a counter",
       [](Preset& p) {
         p.NameTemplateActive = 1;
         p.RemoveActive = 1;
         p.NameTemplate = "%001%";
       },
       -1, "\"E66\" -> \"%001%\" -> \"%FN%\""},
      {"case change alone works on %FN%", [](Preset& p) { p.CaseActive = 1; }, 1},
      {"counter start too large",
       [](Preset& p) {
         p.NameTemplateActive = 1;
         p.NameTemplate = "%FN% %1234567890%";
       },
       -1, "\"E66\" -> \"1234567890\""},
      {"counter with ten digits",
       [](Preset& p) {
         p.NameTemplateActive = 1;
         p.NameTemplate = "%FN%%0000000001%";
       },
       -1, "\"E66\" -> \"0000000001\""},
      {"counter at the limits",
       [](Preset& p) {
         p.NameTemplateActive = 1;
         p.NameTemplate = "%FN%%999999999%";
       },
       1},
      {"relative target directory", [](Preset& p) { p.TargetDirTemplate = "output\\"; }, -1,
       "\"E67\" -> \"output/\""},
      {"target with a control character",
       [](Preset& p) { p.TargetDirTemplate = QStringLiteral("%PD%a\tb\\"); }, -1,
       "\"E67\" -> \"/home/user/Desktop/a\tb/\""},
      {"empty target template", [](Preset& p) { p.TargetDirTemplate = ""; }, -1,
       "\"E67\" -> \"-\""},
      {"absolute target", [](Preset& p) { p.TargetDirTemplate = "/srv/out"; }, 1},
      {"each file's own folder", [](Preset& p) { p.TargetDirTemplate = "%PF%\\"; }, -1,
       "\"E67\" -> \"/\""},
      {"each file's own folder keeping subfolders",
       [](Preset& p) {
         p.TargetDirTemplate = "%pf%";
         p.KeepSubfolders = 1;
       },
       1},
      {"subfolder of each file's folder", [](Preset& p) { p.TargetDirTemplate = "%PF%Sorted"; }, 1},
      {"first failing check wins",
       [](Preset& p) {
         p.InsertActive = 1;
         p.DateRulesActive = 1;
       },
       -1, "\"E57\" -> \"x\""},
  };
  for (const Row& row : rows) Check(row);
}

TEST_F(ValidationTest, NothingToDoUnlessSomeStepIsOn) {
  const Change inPlace = [](Preset& p) { p.TargetDirActive = 0; };
  const Row rows[] = {
      {"nothing", inPlace, -2},
      {"dates",
       [&](Preset& p) {
         inPlace(p);
         p.ChangeDates = 1;
       },
       1},
      {"an attribute",
       [&](Preset& p) {
         inPlace(p);
         p.ArchiveChange = 1;
       },
       1},
      {"clear flag alone is nothing",
       [&](Preset& p) {
         inPlace(p);
         p.ArchiveClear = 1;
       },
       -2},
      {"zone mark",
       [&](Preset& p) {
         inPlace(p);
         p.RemoveZoneMark = 1;
       },
       1},
      {"extension case",
       [&](Preset& p) {
         inPlace(p);
         p.ExtCaseActive = 1;
       },
       1},
      {"name template",
       [&](Preset& p) {
         inPlace(p);
         p.NameTemplateActive = 1;
       },
       1},
      {"sorting alone is nothing",
       [&](Preset& p) {
         inPlace(p);
         p.SortActive = 1;
       },
       -2},
  };
  for (const Row& row : rows) Check(row);
}

TEST_F(ValidationTest, RuleChecksNameTheFirstInvalidRule) {
  const Row rows[] = {
      {"year before 1970 as second of two",
       [](Preset& p) {
         p.FilterActive = 1;
         p.FilterConditions = {{2, 2, 0, "jpg", 2}, {0, 9, 0, "1969", 1}};
       },
       -3, "\"E213 -> 1969\"  (2)"},
      {"only condition has no position",
       [](Preset& p) {
         p.FilterActive = 1;
         p.FilterConditions = {{2, 3, 2, "0", 1}};
       },
       -3, "\"E202 -> 0\""},
      {"valid conditions",
       [](Preset& p) {
         p.FilterActive = 1;
         p.FilterConditions = {{2, 3, 2, "1", 1}, {0, 9, 0, " 2037", 1}, {0, 8, 0, "$C", 1}};
       },
       1},
      {"empty text condition",
       [](Preset& p) {
         p.FilterActive = 1;
         p.FilterConditions = {{2, 1, 0, "a", 2}, {2, 1, 0, "", 2}, {2, 0, 0, "", 2}};
       },
       -3, "\"E199 -> \"  (2)"},
      {"conditions unchecked when the filter is off",
       [](Preset& p) {
         p.FilterConditions = {{2, 9, 0, "1969", 1}};
       },
       1},
      {"empty replacement is allowed",
       [](Preset& p) {
         p.ReplaceActive = 1;
         p.TextReplacements = {{2, "a|b", ""}};
       },
       1},
      {"empty search list",
       [](Preset& p) {
         p.ReplaceActive = 1;
         p.TextReplacements = {{2, "", "x"}};
       },
       -4, "E144 -> \"\""},
      {"forbidden replacement in an inactive rule",
       [](Preset& p) {
         p.ReplaceActive = 1;
         p.TextReplacements = {{2, "a", "b"}, {0, "c", "d?e"}};
       },
       -4, "E145 -> \"d?e\"  (2)"},
      {"new extension of blanks",
       [](Preset& p) {
         p.ExtRulesActive = 1;
         p.ExtensionCorrections = {{2, "jpeg", "  "}};
       },
       -5, "E154 -> \"  \""},
      {"empty old extensions",
       [](Preset& p) {
         p.ExtRulesActive = 1;
         p.ExtensionCorrections = {{2, "jpeg", "jpg"}, {2, "", "x"}, {2, "a", ":"}};
       },
       -5, "E153 -> \"\"  (2)"},
      {"blanks inside a new extension are fine",
       [](Preset& p) {
         p.ExtRulesActive = 1;
         p.ExtensionCorrections = {{2, "tar gz", "t gz"}};
       },
       1},
      {"filter checked before replace rules",
       [](Preset& p) {
         p.FilterActive = 1;
         p.FilterConditions = {{2, 4, 0, "60", 1}};
         p.ReplaceActive = 1;
         p.TextReplacements = {{2, "", ""}};
       },
       -3, "\"E208 -> 60\""},
  };
  for (const Row& row : rows) Check(row);
}

TEST_F(ValidationTest, BuiltInPresetsAreUsable) {
  for (const Preset& preset : BuiltinPresets()) {
    SCOPED_TRACE(preset.PresetNumber);
    const RunValues values = PrepareRunValues(preset, 2, kFolders, 0);
    EXPECT_EQ(ValidateSettings(preset, values, true), 1);
  }
}

TEST_F(ValidationTest, RunValuesFollowTheSettings) {
  Preset p = Usable();
  RunValues v = PrepareRunValues(p, 1, kFolders, 777);
  EXPECT_EQ(v.ResolvedFixedDate, 0);
  EXPECT_FALSE(v.AttributesNeeded);
  EXPECT_FALSE(v.NameBuildingActive);
  EXPECT_EQ(v.PreparedNameTemplate, QString());
  EXPECT_EQ(v.PreparedTargetDir, QStringLiteral("/home/user/Desktop/output/"));
  EXPECT_FALSE(v.TargetRelativeToSource);
  EXPECT_FALSE(v.PreparationNeeded);

  p.ChangeDates = 1;
  p.DateMode = 1;
  EXPECT_EQ(PrepareRunValues(p, 1, kFolders, 777).ResolvedFixedDate, 777);
  p.FixedDate = 86400;
  EXPECT_EQ(PrepareRunValues(p, 1, kFolders, 777).ResolvedFixedDate, 86400);
  p.DateMode = 2;
  EXPECT_EQ(PrepareRunValues(p, 1, kFolders, 777).ResolvedFixedDate, 0);

  p.NotIndexedChange = 1;
  p.CaseActive = 1;
  p.NameTemplate = QStringLiteral("%fn%_%dy%");
  v = PrepareRunValues(p, 1, kFolders, 0);
  EXPECT_TRUE(v.AttributesNeeded);
  EXPECT_TRUE(v.NameBuildingActive);
  EXPECT_EQ(v.PreparedNameTemplate, QStringLiteral("%FN%"));
  p.NameTemplateActive = 1;
  EXPECT_EQ(PrepareRunValues(p, 1, kFolders, 0).PreparedNameTemplate, QStringLiteral("%FN%_%DY%"));

  p.TargetDirTemplate = QStringLiteral("%pf%Sorted\\%dy%");
  v = PrepareRunValues(p, 1, kFolders, 0);
  EXPECT_EQ(v.PreparedTargetDir, QStringLiteral("Sorted/%DY%/"));
  EXPECT_TRUE(v.TargetRelativeToSource);
  p.TargetDirActive = 0;
  v = PrepareRunValues(p, 1, kFolders, 0);
  EXPECT_EQ(v.PreparedTargetDir, QString());
  EXPECT_FALSE(v.TargetRelativeToSource);

  p.SortActive = 1;
  EXPECT_FALSE(PrepareRunValues(p, 1, kFolders, 0).PreparationNeeded);
  EXPECT_TRUE(PrepareRunValues(p, 2, kFolders, 0).PreparationNeeded);
  p.SortActive = 0;
  p.FilterActive = 1;
  EXPECT_TRUE(PrepareRunValues(p, 0, kFolders, 0).PreparationNeeded);
}

TEST_F(ValidationTest, FileNameTexts) {
  const struct {
    const char* text;
    bool valid;
  } rows[] = {{"plain name", true}, {"Grüße (1) [x] #%&'", true},
              {"", false},          {"a\"b", false},
              {"a\\b", false},      {"a/b", false},
              {"a:b", false},       {"a*b", false},
              {"a?b", false},       {"a<b", false},
              {"a>b", false},       {"a|b", false},
              {"tab\there", false}, {"\x1f", false},
              {" ", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(FileNameTextValid(QString::fromUtf8(row.text)), row.valid);
  }
  EXPECT_FALSE(FileNameTextValid(QString(QChar(0))));
}

TEST_F(ValidationTest, Counters) {
  const struct {
    const char* text;
    bool valid;
  } rows[] = {{"%001%", true},       {"x%0%", true},
              {"%999999999%", true}, {"%1000000000%", false},
              {"%000000000%", true}, {"%0000000000%", false},
              {"", false},           {"no counter", false},
              {"%FN%%12a%", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(CounterValid(QString::fromUtf8(row.text)), row.valid);
  }
}

TEST_F(ValidationTest, PageCaptions) {
  const int entries[] = {53, 54, 56, 57, 58, 59, 60, 61, 63, 64, 66, 67};
  for (int page = 0; page < 12; ++page) {
    EXPECT_EQ(PageCaptionEntry(page), entries[page]);
    EXPECT_EQ(PageCaption(page), QStringLiteral("E%1").arg(entries[page]));
  }
  EXPECT_EQ(PageCaptionEntry(12), -1);
  EXPECT_EQ(PageCaption(-1), QString());
}

TEST_F(ValidationTest, EverySwitchAcceptsOnlyZeroAndOne) {
  const struct {
    const char* name;
    int8_t Preset::*field;
  } switches[] = {
      {"TemplateButtons", &Preset::TemplateButtons},
      {"PatternButtons", &Preset::PatternButtons},
      {"AlwaysOnTop", &Preset::AlwaysOnTop},
      {"IncludeSubdirectories", &Preset::IncludeSubdirectories},
      {"IncludeHidden", &Preset::IncludeHidden},
      {"ListKeepFiltered", &Preset::ListKeepFiltered},
      {"ListKeepSources", &Preset::ListKeepSources},
      {"ListKeepFailed", &Preset::ListKeepFailed},
      {"ListKeepTargets", &Preset::ListKeepTargets},
      {"ListKeepUnprocessed", &Preset::ListKeepUnprocessed},
      {"QuitAfterRun", &Preset::QuitAfterRun},
      {"FilterActive", &Preset::FilterActive},
      {"ChangeDates", &Preset::ChangeDates},
      {"DateRulesActive", &Preset::DateRulesActive},
      {"HiddenChange", &Preset::HiddenChange},
      {"HiddenClear", &Preset::HiddenClear},
      {"ReadOnlyChange", &Preset::ReadOnlyChange},
      {"ReadOnlyClear", &Preset::ReadOnlyClear},
      {"ArchiveChange", &Preset::ArchiveChange},
      {"ArchiveClear", &Preset::ArchiveClear},
      {"NotIndexedChange", &Preset::NotIndexedChange},
      {"NotIndexedClear", &Preset::NotIndexedClear},
      {"RemoveActive", &Preset::RemoveActive},
      {"RemoveFromEnd", &Preset::RemoveFromEnd},
      {"InsertActive", &Preset::InsertActive},
      {"InsertFromEnd", &Preset::InsertFromEnd},
      {"CaseActive", &Preset::CaseActive},
      {"ReplaceActive", &Preset::ReplaceActive},
      {"ExtCaseActive", &Preset::ExtCaseActive},
      {"ExtCaseMode", &Preset::ExtCaseMode},
      {"ExtRulesActive", &Preset::ExtRulesActive},
      {"SortActive", &Preset::SortActive},
      {"SortDirection", &Preset::SortDirection},
      {"RemoveZoneMark", &Preset::RemoveZoneMark},
      {"NameTemplateActive", &Preset::NameTemplateActive},
      {"CounterPerDirectory", &Preset::CounterPerDirectory},
      {"NoLeadingZeros", &Preset::NoLeadingZeros},
      {"TargetDirActive", &Preset::TargetDirActive},
      {"KeepSubfolders", &Preset::KeepSubfolders},
      {"TargetMove", &Preset::TargetMove},
  };
  for (const auto& entry : switches) {
    SCOPED_TRACE(entry.name);
    for (const int value : {-1, 0, 1, 2, 127}) {
      Preset settings = Usable();
      settings.*entry.field = static_cast<int8_t>(value);
      EXPECT_EQ(ValidateRanges(settings), value == 0 || value == 1 ? 1 : 0) << value;
    }
  }
}

}  // namespace
