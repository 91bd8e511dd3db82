// Settings files of other versions and damaged ones: what is read, what is refused, and that a
// file this version cannot take in whole is kept aside, never overwritten, before a new one is
// written. Real files in temporary folders.

#include "settings/KeptFiles.h"

#include "settings/BuiltinPresets.h"
#include "settings/Locations.h"
#include "settings/PresetsFile.h"
#include "settings/SettingsHeader.h"
#include "support/TempDir.h"
#include "texts/ProductTitle.h"
#include "texts/TextTables.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

const QString kTitle = QStringLiteral("Mervane");
const QString kVersion = QStringLiteral("2.0");

QByteArray HeaderBytes(float version, const char* name = "Mervane", int check = 1) {
  QByteArray bytes(name);
  bytes += '\n';
  char raw[4];
  std::memcpy(raw, &version, 4);
  bytes.append(raw, 4);
  bytes += static_cast<char>(check);
  bytes += '\x01';
  return bytes;
}

float FloatFromBits(uint32_t bits) {
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A list of two saved presets that differ from the built-in ones, and its file in this layout.
QList<Preset> MyPresets() {
  QList<Preset> list = {WorkingPreset(), BuiltinPresets()[0], BuiltinPresets()[1]};
  list[1].PresetName = QStringLiteral("mine one");
  list[1].TargetMove = 1;
  list[2].PresetName = QStringLiteral("mine two");
  list[2].PresetNumber = 5;
  return list;
}

QByteArray MyFile(int32_t defaultIndex = 2) {
  return SerializePresets(MyPresets(), defaultIndex, kTitle, kVersion);
}

// The same presets under another header: the body after the current header's 14 bytes.
QByteArray WithHeader(const QByteArray& header, const QByteArray& file = MyFile()) {
  return header + file.mid(14);
}

QStringList Entries(const TempDir& dir) {
  return QDir(dir.Path())
      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class KeptFiles : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = ProductTexts;
    ProductTexts[2] = kTitle;
    ProductTexts[4] = kVersion;
    for (int i = 245; i <= 248; ++i) LanguageTable[i] = QStringLiteral("Preset name %1").arg(i);
  }
  void TearDown() override { ProductTexts = saved_; }

  std::array<QString, kProductTextCount> saved_;
};

TEST_F(KeptFiles, PresetsFilesAreTold) {
  const QByteArray mine = MyFile();
  QByteArray flippedMarker = mine;
  // The second preset's marker with one bit changed: its block begins no preset.
  const qsizetype second = mine.lastIndexOf(QByteArray("\xED\xFE\x00\x00", 4));
  flippedMarker[second] = static_cast<char>(0xEC);
  const struct {
    const char* label;
    QByteArray bytes;
    QString versionText;  // of the program reading it
    SettingsFileState state;
    SettingsDamage damage;
    int presets;            // in the list after reading, the working preset included
    const char* firstName;  // of position 1
    int32_t defaultIndex;
  } rows[] = {
      {"this version's", mine, kVersion, SettingsFileState::kCurrent, SettingsDamage::kNone, 3,
       "mine one", 2},
      {"2.0's, read by 2.1", mine, QStringLiteral("2.1"), SettingsFileState::kOlderLayout,
       SettingsDamage::kNone, 3, "mine one", 2},
      {"1.0's",
       QByteArray::fromStdString(ReadFileBytes(std::string(MERVANE_SOURCE_DIR) +
                                               "/tests/settings/golden/version-1.0.presets")),
       kVersion, SettingsFileState::kOlderLayout, SettingsDamage::kNone, 3, "Alt", 1},
      // 1.0 is recognised as 1.0 always recognised it: the number times 100, rounded.
      {"1.0's, stored as 0.999",
       WithHeader(HeaderBytes(0.999f), QByteArray::fromStdString(ReadFileBytes(
                                           std::string(MERVANE_SOURCE_DIR) +
                                           "/tests/settings/golden/version-1.0.presets"))),
       kVersion, SettingsFileState::kOlderLayout, SettingsDamage::kNone, 3, "Alt", 1},
      {"3.0's", WithHeader(HeaderBytes(3.0f)), kVersion, SettingsFileState::kOtherVersion,
       SettingsDamage::kNone, 4, "Preset name 246", 0},
      {"2.25's", WithHeader(HeaderBytes(2.25f)), kVersion, SettingsFileState::kOtherVersion,
       SettingsDamage::kNone, 4, "Preset name 246", 0},
      {"one bit of the version changed", WithHeader(HeaderBytes(FloatFromBits(0x40000001))),
       kVersion, SettingsFileState::kForeign, SettingsDamage::kNone, 4, "Preset name 246", 0},
      {"negative version", WithHeader(HeaderBytes(-2.0f)), kVersion, SettingsFileState::kForeign,
       SettingsDamage::kNone, 4, "Preset name 246", 0},
      {"another program's", WithHeader(HeaderBytes(2.0f, "Other")), kVersion,
       SettingsFileState::kForeign, SettingsDamage::kNone, 4, "Preset name 246", 0},
      {"check byte 0", WithHeader(HeaderBytes(2.0f, "Mervane", 0)), kVersion,
       SettingsFileState::kForeign, SettingsDamage::kNone, 4, "Preset name 246", 0},
      {"empty", QByteArray(), kVersion, SettingsFileState::kForeign, SettingsDamage::kNone, 4,
       "Preset name 246", 0},
      {"cut short", mine.left(mine.size() - 3), kVersion, SettingsFileState::kDamaged,
       SettingsDamage::kCutShort, 3, "mine one", 2},
      {"bytes after the last preset", mine + "x", kVersion, SettingsFileState::kDamaged,
       SettingsDamage::kBytesAfterEnd, 3, "mine one", 2},
      {"a preset marker damaged", flippedMarker, kVersion, SettingsFileState::kDamaged,
       SettingsDamage::kBytesAfterEnd, 2, "mine one", 2},
      {"default names no preset", MyFile(3), kVersion, SettingsFileState::kDamaged,
       SettingsDamage::kDefaultMissing, 3, "mine one", 3},
      {"default negative", MyFile(-1), kVersion, SettingsFileState::kDamaged,
       SettingsDamage::kDefaultMissing, 3, "mine one", -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    QList<Preset> loaded;
    int32_t defaultIndex = -5;
    const SettingsFileStatus status =
        ReadPresets(row.bytes, kTitle, row.versionText, loaded, defaultIndex);
    EXPECT_EQ(status.State, row.state);
    EXPECT_EQ(status.Damage, row.damage);
    ASSERT_EQ(loaded.size(), row.presets);
    EXPECT_EQ(loaded[1].PresetName, QString::fromUtf8(row.firstName));
    EXPECT_EQ(defaultIndex, row.defaultIndex);
  }
}

TEST_F(KeptFiles, StoredVersionNames) {
  const struct {
    float version;
    const char* name;
  } rows[] = {
      {1.0f, "1.0"},
      {2.0f, "2.0"},
      {2.1f, "2.1"},
      {2.25f, "2.25"},
      {2.05f, "2.05"},
      {10.5f, "10.5"},
      {0.9f, "0.9"},
      {FloatFromBits(0x40000001), ""},
      {0.0f, ""},
      {-2.0f, ""},
      {2.001f, ""},
      {1e30f, ""},
      {FloatFromBits(0x7FC00000), ""},  // not a number
  };
  for (const auto& row : rows)
    EXPECT_EQ(StoredVersionName(row.version), QString::fromLatin1(row.name)) << row.version;
}

TEST_F(KeptFiles, SavingKeepsWhatCouldNotBeReadUnderATellingName) {
  const struct {
    const char* label;
    QByteArray before;
    const char* keptName;  // nullptr: replaced as it is
  } rows[] = {
      {"this version's", MyFile(), nullptr},
      {"1.0's, read and written anew", HeaderBytes(1.0f) + '\0', "Presets.version-1.0"},
      {"3.0's", WithHeader(HeaderBytes(3.0f)), "Presets.version-3.0"},
      {"damaged", MyFile().left(40), "Presets.damaged"},
      {"another program's", QByteArray("[General]\nkey=value\n"), "Presets.unknown"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    TempDir dir;
    dir.WriteFile("Presets", row.before.toStdString());
    const QString path = dir.Path() + QStringLiteral("Presets");
    ASSERT_TRUE(SavePresets(path, MyPresets(), 1));
    EXPECT_EQ(ReadFileBytes(dir.Bytes() + "Presets"), MyFile(1).toStdString());
    QStringList expected = {QStringLiteral("Presets")};
    if (row.keptName != nullptr) {
      expected.append(QString::fromLatin1(row.keptName));
      EXPECT_EQ(ReadFileBytes(dir.Bytes() + row.keptName), row.before.toStdString());
    }
    EXPECT_EQ(Entries(dir), expected);
  }
}

TEST_F(KeptFiles, AKeptFileIsNeverReplaced) {
  TempDir dir;
  const QByteArray other = WithHeader(HeaderBytes(3.0f));
  dir.WriteFile("Presets.version-3.0", "kept before");
  dir.WriteFile("Presets.version-3.0-2", "kept before too");
  dir.WriteFile("Presets", other.toStdString());
  const QString path = dir.Path() + QStringLiteral("Presets");
  const SettingsFileStatus status = CheckSettingsFile(path, ClassifyPresets);
  EXPECT_EQ(KeptFilePath(path, status), path + QStringLiteral(".version-3.0-3"));
  ASSERT_TRUE(SavePresets(path, MyPresets(), 0));
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "Presets.version-3.0"), "kept before");
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "Presets.version-3.0-2"), "kept before too");
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "Presets.version-3.0-3"), other.toStdString());

  // With every name taken, nothing is written and the file stays where it is.
  TempDir full;
  for (int n = 1; n <= 99; ++n)
    full.WriteFile(n == 1 ? "Presets.damaged" : "Presets.damaged-" + std::to_string(n), "x");
  const std::string damaged = MyFile().left(40).toStdString();
  full.WriteFile("Presets", damaged);
  const QString fullPath = full.Path() + QStringLiteral("Presets");
  EXPECT_EQ(KeptFilePath(fullPath, CheckSettingsFile(fullPath, ClassifyPresets)), QString());
  EXPECT_FALSE(SavePresets(fullPath, MyPresets(), 0));
  EXPECT_EQ(ReadFileBytes(full.Bytes() + "Presets"), damaged);
  EXPECT_EQ(Entries(full).size(), 100);
}

TEST_F(KeptFiles, ALinkAtTheNameKeepsLeadingToTheNewFile) {
  TempDir dir;
  const QByteArray other = WithHeader(HeaderBytes(3.0f));
  dir.WriteFile("dotfiles/Presets", other.toStdString());
  dir.MakeDir("config");
  ASSERT_EQ(::symlink((dir.Bytes() + "dotfiles/Presets").c_str(),
                      (dir.Bytes() + "config/Presets").c_str()),
            0);
  const ReplaceResult saved = ReplaceSettingsFile(dir.Path() + QStringLiteral("config/Presets"),
                                                  MyFile(0), ClassifyPresets);
  ASSERT_EQ(saved.Error, 0) << std::strerror(saved.Error);
  EXPECT_EQ(saved.KeptPath, dir.Path() + QStringLiteral("dotfiles/Presets.version-3.0"));
  struct stat st {};
  ASSERT_EQ(::lstat((dir.Bytes() + "config/Presets").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "dotfiles/Presets"), MyFile(0).toStdString());
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "dotfiles/Presets.version-3.0"), other.toStdString());
}

TEST_F(KeptFiles, AFolderAtTheNameIsNeitherMovedNorWrittenOver) {
  TempDir dir;
  dir.WriteFile("Presets/inside", "x");
  const QString path = dir.Path() + QStringLiteral("Presets");
  const SettingsFileStatus status = CheckSettingsFile(path, ClassifyPresets);
  EXPECT_EQ(status.State, SettingsFileState::kUnreadable);
  EXPECT_EQ(KeptFilePath(path, status), QString());
  EXPECT_FALSE(SavePresets(path, MyPresets(), 0));
  EXPECT_EQ(Entries(dir), QStringList{QStringLiteral("Presets")});
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "Presets/inside"), "x");
}

TEST_F(KeptFiles, AFileTooLargeToBeReadIsKeptAsUnreadable) {
  TempDir dir;
  const std::string file = dir.WriteFile("Presets", MyFile().toStdString());
  // Sparse: no disk space is taken for the zeros.
  ASSERT_EQ(::truncate(file.c_str(), kMaxSettingsFileSize + 1), 0);
  const QString path = dir.Path() + QStringLiteral("Presets");
  QList<Preset> loaded;
  int32_t defaultIndex = 0;
  const SettingsFileStatus status = LoadPresets(path, loaded, defaultIndex);
  EXPECT_EQ(status.State, SettingsFileState::kUnreadable);
  EXPECT_EQ(status.Error, EFBIG);
  EXPECT_EQ(loaded.size(), 4);
  ASSERT_TRUE(SavePresets(path, MyPresets(), 0));
  struct stat st {};
  ASSERT_EQ(::stat((file + ".unreadable").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, kMaxSettingsFileSize + 1);
  EXPECT_EQ(ReadFileBytes(file), MyFile(0).toStdString());
}

TEST_F(KeptFiles, LanguageFilesOfOtherVersionsAreKeptWhenAChoiceReplacesThem) {
  const auto languageFile = [](float version, const QByteArray& tail) {
    return (HeaderBytes(version) + tail).toStdString();
  };
  const int32_t system = SystemLanguageIndex();
  const char other = system == 0 ? '\x01' : '\0';
  const struct {
    const char* label;
    std::string before;
    QString versionText;
    int32_t chosen;        // what ChooseLanguage reads from it
    const char* keptName;  // where SaveLanguage and ForgetLanguage put it
  } rows[] = {
      {"this version's", languageFile(2.0f, QByteArray(1, other)), kVersion, other, nullptr},
      {"2.0's, read by 2.1", languageFile(2.0f, QByteArray(1, other)), QStringLiteral("2.1"), other,
       "Language.version-2.0"},
      // No version before 2.0 wrote a language file: the layout of one is not known.
      {"1.0's", languageFile(1.0f, QByteArray(1, other)), kVersion, system, "Language.version-1.0"},
      {"3.0's", languageFile(3.0f, QByteArray(1, other)), kVersion, system, "Language.version-3.0"},
      {"no language in it", languageFile(2.0f, "\x07"), kVersion, system, "Language.damaged"},
      {"cut after the header", languageFile(2.0f, ""), kVersion, system, "Language.damaged"},
      {"not Mervane's", "de_DE\n", kVersion, system, "Language.unknown"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    ProductTexts[4] = row.versionText;
    for (const bool forget : {false, true}) {
      TempDir dir;
      dir.WriteFile("Language", row.before);
      const QString path = dir.Path() + QStringLiteral("Language");
      EXPECT_EQ(ChooseLanguage(path), row.chosen);
      ASSERT_TRUE(forget ? ForgetLanguage(path) : SaveLanguage(path, 1));
      QStringList expected;
      if (!forget) expected << QStringLiteral("Language");
      if (row.keptName != nullptr) {
        expected << QString::fromLatin1(row.keptName);
        EXPECT_EQ(ReadFileBytes(dir.Bytes() + row.keptName), row.before);
      }
      expected.sort();
      EXPECT_EQ(Entries(dir), expected) << "forget " << forget;
    }
  }
}

TEST_F(KeptFiles, APortableCopyKeepsSettingsOfVersionsItReads) {
  const struct {
    const char* label;
    const char* name;
    QByteArray content;
    bool portable;
  } rows[] = {
      {"presets of 1.0", "Presets", HeaderBytes(1.0f) + '\0', true},
      {"presets of 2.0, damaged", "Presets", MyFile().left(30), true},
      {"presets of 3.0", "Presets", WithHeader(HeaderBytes(3.0f)), false},
      {"language of 3.0", "Language", HeaderBytes(3.0f) + '\x01', false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    TempDir dir;
    const QString prefix = PortablePrefix(dir.Path());
    dir.WriteFile((FileNameTitle() + QLatin1Char('_')).toStdString() + row.name,
                  row.content.toStdString());
    EXPECT_EQ(DetectPortable(prefix), row.portable);
  }
}

}  // namespace
