#include "settings/PresetsFile.h"

#include "settings/BuiltinPresets.h"
#include "settings/SettingsHeader.h"
#include "support/TempDir.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

const QString kTitle = QStringLiteral("Mervane");
const QString kVersion = QStringLiteral("2.0");

class PresetsFileTest : public testing::Test {
 protected:
  void SetUp() override {
    ProductTexts[2] = kTitle;
    ProductTexts[4] = kVersion;
    for (int i = 245; i <= 248; ++i) LanguageTable[i] = QStringLiteral("Preset name %1").arg(i);
  }
};

// Bytes of a presets file built by hand, independently of the code under test.
class Bytes {
 public:
  Bytes& B(int v) {
    data_.append(static_cast<char>(v));
    return *this;
  }
  Bytes& W(int v) { return B(v & 0xFF).B((v >> 8) & 0xFF); }
  Bytes& L(int64_t v) {
    return W(static_cast<int>(v & 0xFFFF)).W(static_cast<int>((v >> 16) & 0xFFFF));
  }
  Bytes& T(const char* utf8) {
    data_.append(utf8);
    data_.append('\n');
    return *this;
  }
  Bytes& Raw(const QByteArray& raw) {
    data_.append(raw);
    return *this;
  }
  const QByteArray& Data() const { return data_; }

 private:
  QByteArray data_;
};

Bytes Header(uint32_t floatBits) {
  return std::move(Bytes().T("Mervane").L(floatBits).B(1).B(1));
}
constexpr uint32_t kFloat2 = 0x40000000;   // 2.0f
constexpr uint32_t kFloat1 = 0x3F800000;   // 1.0f
constexpr uint32_t kFloat15 = 0x3FC00000;  // 1.5f

// A preset with every field away from its default and every rule list filled, including texts
// with umlauts, "%" and other characters that must survive the file.
Preset RichPreset(int number) {
  Preset p;
  p.PresetNumber = static_cast<int8_t>(number);
  p.PresetName = QStringLiteral("Fotos für Oma %1 – 100%").arg(number);
  p.SelectedPage = 11;
  p.TemplateButtons = 0;
  p.PatternButtons = 0;
  p.AlwaysOnTop = 1;
  p.IncludeSubdirectories = 0;
  p.IncludeHidden = 1;
  p.FilterDateSource = 2;
  p.DatePlaceholderSource = 0;
  p.ListKeepFiltered = 1;
  p.ListKeepSources = 1;
  p.ListKeepFailed = 0;
  p.ListKeepTargets = 1;
  p.ListKeepUnprocessed = 0;
  p.QuitAfterRun = 1;
  p.FilterActive = 1;
  p.FilterConditions = {{2, 2, 1, QStringLiteral("jpg|jpeg|äöü"), 2},
                        {0, 9, 3, QStringLiteral("2001"), 1},
                        {3, 14, 7, QString(), 2}};
  p.ChangeDates = 1;
  p.DateMode = 1;
  p.FixedDate = 1'234'567'890;
  p.DateCopySource = 2;
  p.DateRulesActive = 1;
  p.DateAdjustments = {{2, 17, 2, -5}, {0, 0, 0, 2'000'000'000}};
  p.HiddenChange = 1;
  p.HiddenClear = 1;
  p.ReadOnlyChange = 1;
  p.ReadOnlyClear = 0;
  p.ArchiveChange = 0;
  p.ArchiveClear = 1;
  p.NotIndexedChange = 1;
  p.NotIndexedClear = 1;
  p.RemoveActive = 1;
  p.RemoveFromEnd = 1;
  p.RemovePosition = 300;
  p.RemoveCount = 999;
  p.InsertActive = 1;
  p.InsertFromEnd = 1;
  p.InsertPosition = 258;
  p.InsertText = QStringLiteral("_%DY%_ß");
  p.CaseActive = 1;
  p.CaseMode = 5;
  p.ReplaceActive = 1;
  p.TextReplacements = {{2, QStringLiteral("ä|æ"), QStringLiteral("ae")},
                        {0, QStringLiteral("x"), QString()}};
  p.ExtCaseActive = 1;
  p.ExtCaseMode = 1;
  p.ExtRulesActive = 1;
  p.ExtensionCorrections = {{2, QStringLiteral("jpeg|jpe"), QStringLiteral("jpg")},
                            {1, QStringLiteral("r##"), QStringLiteral("rar")},
                            {0, QStringLiteral("htm"), QStringLiteral("html")}};
  p.SortActive = 1;
  p.SortKey = 6;
  p.SortDirection = 0;
  p.RemoveZoneMark = 1;
  p.NameTemplateActive = 1;
  p.NameTemplate = QStringLiteral("%DY%-%DM% %FN% (%0001%)");
  p.CounterPerDirectory = 0;
  p.NoLeadingZeros = 1;
  p.TargetDirActive = 0;
  p.TargetDirTemplate = QStringLiteral("%PP%\\Bilder\\%DY%\\");
  p.KeepSubfolders = 1;
  p.TargetMove = 1;
  return p;
}

QList<Preset> RichList() {
  QList<Preset> list = {WorkingPreset(), RichPreset(1), RichPreset(7), Preset()};
  list[3].PresetNumber = 9;
  list[3].PresetName = QStringLiteral("defaults");
  return list;
}

// Compares field groups separately so that a failure points at the field that moved.
void ExpectSamePreset(const Preset& actual, const Preset& expected) {
  EXPECT_EQ(actual.PresetNumber, expected.PresetNumber);
  EXPECT_EQ(actual.PresetName, expected.PresetName);
  EXPECT_EQ(actual.FilterConditions, expected.FilterConditions);
  EXPECT_EQ(actual.DateAdjustments, expected.DateAdjustments);
  EXPECT_EQ(actual.TextReplacements, expected.TextReplacements);
  EXPECT_EQ(actual.ExtensionCorrections, expected.ExtensionCorrections);
  EXPECT_EQ(actual.InsertText, expected.InsertText);
  EXPECT_EQ(actual.NameTemplate, expected.NameTemplate);
  EXPECT_EQ(actual.TargetDirTemplate, expected.TargetDirTemplate);
  EXPECT_TRUE(actual == expected);
}

TEST_F(PresetsFileTest, SavedPresetsLoadBackFieldByField) {
  TempDir dir;
  const QString path = dir.Path() + QStringLiteral("Mervane_Presets.dat");
  const QList<Preset> saved = RichList();
  ASSERT_TRUE(SavePresets(path, saved, 2));

  QList<Preset> loaded;
  int32_t defaultIndex = -1;
  LoadPresets(path, loaded, defaultIndex);
  EXPECT_EQ(defaultIndex, 2);
  ASSERT_EQ(loaded.size(), saved.size());
  for (qsizetype i = 0; i < saved.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectSamePreset(loaded[i], saved[i]);
  }
}

TEST_F(PresetsFileTest, WorkingPresetIsNeverWrittenAndIsRebuiltFromDefaults) {
  TempDir dir;
  const QString path = dir.Path() + QStringLiteral("p.dat");
  QList<Preset> list = RichList();
  list[0].CopySettingsFrom(RichPreset(1));  // edits of the working preset must not persist
  list[0].PresetName = QStringLiteral("edited");
  ASSERT_TRUE(SavePresets(path, list, 1));

  const QByteArray bytes = ReadSettingsFile(path).value_or(QByteArray());
  EXPECT_FALSE(bytes.contains("edited"));
  EXPECT_EQ(bytes.count(QByteArray("\xED\xFE\x00\x00", 4)), 3);

  QList<Preset> loaded;
  int32_t defaultIndex = 0;
  LoadPresets(path, loaded, defaultIndex);
  ASSERT_EQ(loaded.size(), 4);
  ExpectSamePreset(loaded[0], WorkingPreset());
  EXPECT_EQ(loaded[0].PresetName, QStringLiteral("Preset name 245"));
}

// The current layout of a preset holding only defaults, byte by byte.
Bytes DefaultBlock(int number, const char* name) {
  Bytes b;
  b.L(0xFEED).B(number).T(name);
  b.B(0).B(1).B(1).B(0).B(1).B(0).B(1).B(1).B(0).B(0).B(1).B(0).B(1).B(0).B(0);
  b.B(0).B(0).L(0).B(1).B(0);
  b.B(0).B(0).B(0).B(0).B(0).B(0).B(0).B(0).B(0).B(0);
  b.W(1).W(1).B(0).B(0).W(1).T("");  // an empty insert text is a single line feed
  b.B(0).B(2).B(0);
  b.B(0).B(0).B(0);
  b.B(0).B(1).B(1).B(0).B(0).T("(%001%) %FN%");
  b.B(1).B(0).B(1).T("%PD%\\output\\");
  b.B(0).B(0);
  return b;
}

TEST_F(PresetsFileTest, CurrentLayoutMatchesTheFileFormatByteForByte) {
  Preset p;
  p.PresetNumber = 5;
  p.PresetName = QStringLiteral("Plain");
  p.FilterConditions = {{2, 1, 4, QStringLiteral("a"), 2}};
  p.DateAdjustments = {{2, 3, 1, -1}};
  p.TextReplacements = {{2, QStringLiteral("s"), QStringLiteral("r")}};
  p.ExtensionCorrections = {{0, QStringLiteral("f"), QStringLiteral("t")}};

  Bytes b = Header(kFloat2);
  b.B(3).L(0xFEED).B(5).T("Plain");
  b.B(0).B(1).B(1).B(0).B(1).B(0).B(1).B(1).B(0).B(0).B(1).B(0).B(1).B(0).B(0);
  b.L(0xCAFE).L(2).B(1).B(4).T("a").B(2);
  b.B(0).B(0).L(0).B(1).B(0);
  b.L(0xBABE).L(2).B(3).B(1).L(-1);
  b.B(0).B(0).B(0).B(0).B(0).B(0).B(0).B(0).B(0).B(0);
  b.W(1).W(1).B(0).B(0).W(1).T("");
  b.B(0).B(2).B(0);
  b.L(0xF00D).L(2).T("s").T("r");
  b.B(0).B(0).B(0);
  b.L(0xBEEF).L(0).T("f").T("t");
  b.B(0).B(1).B(1).B(0).B(0).T("(%001%) %FN%");
  b.B(1).B(0).B(1).T("%PD%\\output\\");
  b.B(0).B(0);
  EXPECT_EQ(SerializePresets({WorkingPreset(), p}, 3, kTitle, kVersion), b.Data());

  QList<Preset> loaded;
  int32_t defaultIndex = 0;
  ASSERT_TRUE(ParsePresets(b.Data(), kTitle, kVersion, loaded, defaultIndex));
  ASSERT_EQ(loaded.size(), 2);
  ExpectSamePreset(loaded[1], p);
  EXPECT_EQ(defaultIndex, 3);
}

TEST_F(PresetsFileTest, Version10LayoutLoadsWithRemoveInsertAndCounterDefaults) {
  Bytes b = Header(kFloat1);
  b.B(1).L(0xFEED).B(4).T("Alt");
  b.B(3).B(1).B(0).B(1).B(0).B(1).B(2).B(0).B(1).B(1).B(0).B(1).B(0).B(0).B(1);
  b.L(0xCAFE).L(2).B(9).B(2).T("2000").B(1);
  b.B(1).B(1).L(86400).B(0).B(0);
  b.B(1).B(1).B(0).B(0).B(1).B(0).B(1).B(1);  // only the eight attribute bytes
  b.B(1).B(3).B(1);                           // no remove / insert items before these
  b.L(0xF00D).L(2).T("ü").T("ue");
  b.B(1).B(1).B(0);
  b.B(1).B(3).B(0).B(1).B(1).T("%FN%_%01%");
  b.B(1).T("C:\\Out\\");  // only TargetDirActive before the target template
  b.B(1).B(1);
  b.L(0xFEED).B(5).T("Second");  // cut short right after its name

  QList<Preset> loaded;
  int32_t defaultIndex = 0;
  ASSERT_TRUE(ParsePresets(b.Data(), kTitle, kVersion, loaded, defaultIndex));
  EXPECT_EQ(defaultIndex, 1);
  ASSERT_EQ(loaded.size(), 3);
  const Preset& p = loaded[1];
  EXPECT_EQ(p.PresetNumber, 4);
  EXPECT_EQ(p.PresetName, QStringLiteral("Alt"));
  EXPECT_EQ(p.SelectedPage, 3);
  EXPECT_EQ(p.FilterDateSource, 2);
  EXPECT_EQ(p.FilterActive, 1);
  ASSERT_EQ(p.FilterConditions.size(), 1);
  EXPECT_EQ(p.FilterConditions[0].Values, QStringLiteral("2000"));
  EXPECT_EQ(p.FixedDate, 86400);
  EXPECT_EQ(p.HiddenChange, 1);
  EXPECT_EQ(p.NotIndexedClear, 1);
  EXPECT_EQ(p.RemoveActive, 0);
  EXPECT_EQ(p.RemoveFromEnd, 0);
  EXPECT_EQ(p.RemovePosition, 1);
  EXPECT_EQ(p.RemoveCount, 1);
  EXPECT_EQ(p.InsertActive, 0);
  EXPECT_EQ(p.InsertFromEnd, 0);
  EXPECT_EQ(p.InsertPosition, 1);
  EXPECT_EQ(p.InsertText, QString());
  EXPECT_EQ(p.CaseActive, 1);
  EXPECT_EQ(p.CaseMode, 3);
  ASSERT_EQ(p.TextReplacements.size(), 1);
  EXPECT_EQ(p.TextReplacements[0].SearchList, QStringLiteral("ü"));
  EXPECT_EQ(p.ExtCaseActive, 1);
  EXPECT_EQ(p.SortActive, 1);
  EXPECT_EQ(p.SortKey, 3);
  EXPECT_EQ(p.NameTemplate, QStringLiteral("%FN%_%01%"));
  EXPECT_EQ(p.CounterPerDirectory, 1);
  EXPECT_EQ(p.NoLeadingZeros, 0);
  EXPECT_EQ(p.TargetDirActive, 1);
  EXPECT_EQ(p.TargetDirTemplate, QStringLiteral("C:\\Out\\"));
  EXPECT_EQ(p.KeepSubfolders, 1);
  EXPECT_EQ(p.TargetMove, 1);
  EXPECT_EQ(loaded[2].PresetName, QStringLiteral("Second"));
  EXPECT_EQ(loaded[2].TargetDirTemplate, QString());  // beyond the end: empty
}

TEST_F(PresetsFileTest, UnusableFilesGiveTheBuiltInPresets) {
  const QByteArray validBody = Bytes().B(1).Raw(DefaultBlock(1, "mine").Data()).Data();
  const struct {
    const char* label;
    QByteArray bytes;
  } rows[] = {
      {"empty", QByteArray()},
      {"other program", Bytes().T("Other").L(kFloat2).B(1).B(1).Raw(validBody).Data()},
      {"other version", Header(kFloat15).Raw(validBody).Data()},
      {"newer version", Header(0x40400000).Raw(validBody).Data()},
      {"check byte wrong", Bytes().T("Mervane").L(kFloat2).B(1).B(0).Raw(validBody).Data()},
      {"version 1.0 with check byte wrong",
       Bytes().T("Mervane").L(kFloat1).B(0).B(1).Raw(validBody).Data()},
      {"text file", QByteArray("just some text\nand more\n")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    QList<Preset> loaded = {RichPreset(3)};
    int32_t defaultIndex = 5;
    EXPECT_FALSE(ParsePresets(row.bytes, kTitle, kVersion, loaded, defaultIndex));
    EXPECT_EQ(defaultIndex, 0);
    ASSERT_EQ(loaded.size(), 4);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(loaded[i].PresetNumber, i);
      EXPECT_EQ(loaded[i].PresetName, LanguageTable[245 + i]);
    }
  }
}

TEST_F(PresetsFileTest, MissingFileGivesBuiltInsAndIsNotCreated) {
  TempDir dir;
  const QString path = dir.Path() + QStringLiteral("absent.dat");
  QList<Preset> loaded;
  int32_t defaultIndex = 3;
  LoadPresets(path, loaded, defaultIndex);
  EXPECT_EQ(loaded.size(), 4);
  EXPECT_EQ(defaultIndex, 0);
  EXPECT_FALSE(PathExists(dir.Bytes() + "absent.dat"));
}

TEST_F(PresetsFileTest, ForeignFileIsLeftAsItIs) {
  TempDir dir;
  const std::string file = dir.WriteFile("p.dat", "Other\n1234");
  QList<Preset> loaded;
  int32_t defaultIndex = 0;
  LoadPresets(dir.Path() + QStringLiteral("p.dat"), loaded, defaultIndex);
  EXPECT_EQ(loaded.size(), 4);
  EXPECT_EQ(ReadFileBytes(file), "Other\n1234");
}

TEST_F(PresetsFileTest, CurrentFileWithoutPresetsIsUsed) {
  QList<Preset> loaded;
  int32_t defaultIndex = 0;
  EXPECT_TRUE(ParsePresets(Header(kFloat2).B(0).Data(), kTitle, kVersion, loaded, defaultIndex));
  EXPECT_EQ(loaded.size(), 1);
}

TEST_F(PresetsFileTest, FileCutShortAnywhereKeepsWhatWasRead) {
  const QList<Preset> saved = RichList();
  const QByteArray full = SerializePresets(saved, 1, kTitle, kVersion);
  const qsizetype firstBlockEnd = full.indexOf(QByteArray("\xED\xFE\x00\x00", 4), 20);
  ASSERT_GT(firstBlockEnd, 0);
  for (qsizetype cut = 0; cut <= full.size(); ++cut) {
    SCOPED_TRACE(cut);
    QList<Preset> loaded;
    int32_t defaultIndex = 0;
    const bool used = ParsePresets(full.left(cut), kTitle, kVersion, loaded, defaultIndex);
    // The header ends after "Mervane\n", four version bytes and two check bytes.
    EXPECT_EQ(used, cut >= 14);
    if (!used) continue;
    EXPECT_LE(loaded.size(), saved.size());
    if (cut >= firstBlockEnd) {
      ExpectSamePreset(loaded[1], saved[1]);
    }
    if (cut == full.size()) {
      EXPECT_EQ(loaded.size(), saved.size());
    }
  }
}

TEST_F(PresetsFileTest, CutInsideATextKeepsItsStartAndZerosTheRest) {
  const QByteArray full = SerializePresets(RichList(), 1, kTitle, kVersion);
  const qsizetype at = full.indexOf("_%DY%_");
  ASSERT_GT(at, 0);
  QList<Preset> loaded;
  int32_t defaultIndex = 0;
  ASSERT_TRUE(ParsePresets(full.left(at + 3), kTitle, kVersion, loaded, defaultIndex));
  ASSERT_EQ(loaded.size(), 2);
  EXPECT_EQ(loaded[1].InsertText, QStringLiteral("_%D"));
  EXPECT_EQ(loaded[1].InsertPosition, 258);
  EXPECT_EQ(loaded[1].CaseMode, 0);
  EXPECT_TRUE(loaded[1].TextReplacements.isEmpty());
  EXPECT_EQ(loaded[1].NameTemplate, QString());
  EXPECT_EQ(loaded[1].TargetMove, 0);
}

TEST_F(PresetsFileTest, LineEndsInTextsCannotBreakTheFile) {
  QList<Preset> list = {WorkingPreset(), RichPreset(1)};
  list[1].PresetName = QStringLiteral("two\nlines");
  list[1].InsertText = QStringLiteral("a\r\nb");
  list[1].TextReplacements[0].Replacement = QStringLiteral("x\ry");
  QList<Preset> loaded;
  int32_t defaultIndex = 0;
  ASSERT_TRUE(ParsePresets(SerializePresets(list, 0, kTitle, kVersion), kTitle, kVersion, loaded,
                           defaultIndex));
  ASSERT_EQ(loaded.size(), 2);
  EXPECT_EQ(loaded[1].PresetName, QStringLiteral("two lines"));
  EXPECT_EQ(loaded[1].InsertText, QStringLiteral("a  b"));
  EXPECT_EQ(loaded[1].TextReplacements[0].Replacement, QStringLiteral("x y"));
  EXPECT_EQ(loaded[1].ExtensionCorrections, list[1].ExtensionCorrections);
  EXPECT_EQ(loaded[1].TargetMove, 1);
}

TEST_F(PresetsFileTest, ActivationFallsBackToTheWorkingPreset) {
  QList<Preset> list = {WorkingPreset(), RichPreset(1), RichPreset(2)};
  list[2].RemovePosition = 0;  // out of range
  const struct {
    int32_t position;
    int32_t activated;
  } rows[] = {{1, 1}, {0, 0}, {2, 0}, {3, 0}, {-1, 0}, {127, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.position);
    Preset working = WorkingPreset();
    working.PresetName = QStringLiteral("working");
    EXPECT_EQ(ActivatePreset(row.position, list, working), row.activated);
    Preset expected = list[row.activated];
    expected.PresetNumber = 0;
    expected.PresetName = QStringLiteral("working");
    ExpectSamePreset(working, expected);
  }
}

TEST_F(PresetsFileTest, ActivationFailsWhenTheWorkingPresetCannotBeUsed) {
  Preset working = RichPreset(4);
  const Preset before = working;
  QList<Preset> empty;
  EXPECT_EQ(ActivatePreset(0, empty, working), kActivateFailed);
  QList<Preset> broken = {WorkingPreset(), RichPreset(1)};
  broken[0].CaseMode = 9;
  broken[1].SortKey = 8;
  EXPECT_EQ(ActivatePreset(1, broken, working), kActivateFailed);
  EXPECT_EQ(ActivatePreset(0, broken, working), kActivateFailed);
  EXPECT_TRUE(working == before);
}

TEST_F(PresetsFileTest, StoringCopiesSettingsButKeepsNumberAndName) {
  QList<Preset> list = {WorkingPreset(), BuiltinPresets()[0]};
  Preset working = RichPreset(8);
  working.InsertText = QStringLiteral("in\nsert");
  working.FilterConditions[0].Values = QStringLiteral("a\r\nb");
  ASSERT_TRUE(StorePreset(1, list, working));
  EXPECT_EQ(list[1].PresetNumber, 1);
  EXPECT_EQ(list[1].PresetName, QStringLiteral("Preset name 246"));
  EXPECT_EQ(list[1].InsertText, QStringLiteral("in sert"));
  EXPECT_EQ(list[1].FilterConditions[0].Values, QStringLiteral("a  b"));
  EXPECT_EQ(list[1].TextReplacements, working.TextReplacements);
  EXPECT_EQ(list[1].TargetDirTemplate, working.TargetDirTemplate);

  // The rules are copies: editing the working settings afterwards leaves the preset alone.
  working.TextReplacements[0].Replacement = QStringLiteral("changed");
  working.ExtensionCorrections.clear();
  EXPECT_EQ(list[1].TextReplacements[0].Replacement, QStringLiteral("ae"));
  EXPECT_EQ(list[1].ExtensionCorrections.size(), 3);

  EXPECT_FALSE(StorePreset(2, list, working));
  EXPECT_FALSE(StorePreset(-1, list, working));
}

TEST_F(PresetsFileTest, Version10FileCutShortAnywhereNeverReadsOutOfBounds) {
  Bytes b = Header(kFloat1);
  b.B(1).L(0xFEED).B(4).T("Alt");
  b.B(3).B(1).B(0).B(1).B(0).B(1).B(2).B(0).B(1).B(1).B(0).B(1).B(0).B(0).B(1);
  b.L(0xCAFE).L(2).B(9).B(2).T("2000").B(1);
  b.B(1).B(1).L(86400).B(0).B(1).L(0xBABE).L(2).B(4).B(1).L(-3);
  b.B(1).B(1).B(0).B(0).B(1).B(0).B(1).B(1);
  b.B(1).B(3).B(1).L(0xF00D).L(2).T("ü").T("ue");
  b.B(1).B(1).B(1).L(0xBEEF).L(2).T("jpeg").T("jpg");
  b.B(1).B(3).B(0).B(1).B(1).T("%FN%_%01%").B(1).T("/out/").B(1).B(1);
  const QByteArray full = b.Data();
  for (qsizetype cut = 0; cut <= full.size(); ++cut) {
    SCOPED_TRACE(cut);
    QList<Preset> loaded;
    int32_t defaultIndex = 0;
    const bool used = ParsePresets(full.left(cut), kTitle, kVersion, loaded, defaultIndex);
    // The marker follows the 14-byte header and the index byte; its upper two bytes are zero, so
    // once "ED FE" is there the missing rest reads as zero and completes it.
    EXPECT_EQ(loaded.size(), used ? (cut >= 17 ? 2 : 1) : 4);
  }
  QList<Preset> loaded;
  int32_t defaultIndex = 0;
  ASSERT_TRUE(ParsePresets(full, kTitle, kVersion, loaded, defaultIndex));
  ASSERT_EQ(loaded.size(), 2);
  EXPECT_EQ(loaded[1].DateAdjustments, (QList<DateAdjustment>{{2, 4, 1, -3}}));
  EXPECT_EQ(loaded[1].ExtensionCorrections,
            (QList<ExtensionCorrection>{{2, QStringLiteral("jpeg"), QStringLiteral("jpg")}}));
  EXPECT_EQ(loaded[1].TargetDirTemplate, QStringLiteral("/out/"));
  EXPECT_EQ(loaded[1].TargetMove, 1);
}

TEST_F(PresetsFileTest, GarbageAfterACurrentHeaderNeverCrashes) {
  // Random bodies, seeded so that a failure can be repeated; markers are sprinkled in so that
  // the rule groups and preset blocks are entered often.
  uint32_t seed = 12345;
  const auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) & 0xFF);
  };
  const QByteArray markers[] = {QByteArray("\xED\xFE\0\0", 4), QByteArray("\xFE\xCA\0\0", 4),
                                QByteArray("\xBE\xBA\0\0", 4), QByteArray("\x0D\xF0\0\0", 4),
                                QByteArray("\xEF\xBE\0\0", 4)};
  for (int round = 0; round < 300; ++round) {
    Bytes body = Header(kFloat2);
    body.B(0);
    const int length = next() * 4;
    for (int i = 0; i < length; ++i) {
      const int r = next();
      if (r < 40) {
        body.Raw(markers[r % 5]);
      } else {
        body.B(r < 60 ? '\n' : next());
      }
    }
    QList<Preset> loaded;
    int32_t defaultIndex = 0;
    EXPECT_TRUE(ParsePresets(body.Data(), kTitle, kVersion, loaded, defaultIndex));
    EXPECT_GE(loaded.size(), 1);
  }
}

TEST_F(PresetsFileTest, AFifoOrAnOversizedFileGivesTheBuiltInsAtOnce) {
  TempDir dir;
  QList<Preset> mine = BuiltinPresets();
  mine[0].PresetName = QStringLiteral("mine");  // position 1 once loaded
  const std::string valid = SerializePresets(mine, 1, kTitle, kVersion).toStdString();
  ASSERT_EQ(::mkfifo((dir.Bytes() + "fifo").c_str(), 0600), 0);
  // A usable file followed by zeros up to a size no presets file could have.
  const std::string huge = dir.WriteFile("huge", valid);
  ASSERT_EQ(::truncate(huge.c_str(), kMaxSettingsFileSize + 1), 0);
  dir.WriteFile("valid", valid);
  struct Row {
    const char* name;
    const char* expectedName;
  };
  const Row rows[] = {{"fifo", nullptr}, {"huge", nullptr}, {"valid", "mine"}};
  for (const Row& row : rows) {
    QList<Preset> loaded;
    int32_t defaultIndex = 2;
    LoadPresets(dir.Path() + QString::fromLatin1(row.name), loaded, defaultIndex);
    ASSERT_EQ(loaded.size(), 4) << row.name;
    EXPECT_EQ(loaded[1].PresetName,
              row.expectedName ? QString::fromLatin1(row.expectedName) : LanguageTable[246])
        << row.name;
  }
}

TEST_F(PresetsFileTest, AFolderInPlaceOfTheFileGivesTheBuiltIns) {
  TempDir dir;
  dir.MakeDir("presets.dat");
  QList<Preset> loaded;
  int32_t defaultIndex = 2;
  LoadPresets(dir.Path() + QStringLiteral("presets.dat"), loaded, defaultIndex);
  EXPECT_EQ(loaded.size(), 4);
  EXPECT_EQ(defaultIndex, 0);
  EXPECT_FALSE(SavePresets(dir.Path() + QStringLiteral("presets.dat"), loaded, 0));
}

}  // namespace
