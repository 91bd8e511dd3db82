// The real program with presets files it cannot use, of earlier versions, and with its error
// log: run as a child process in a private world (its own hard link, HOME, XDG_CONFIG_HOME,
// XDG_STATE_HOME, XDG_RUNTIME_DIR and TMPDIR in a temporary folder).

#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Utf8(const QString& text) {
  return text.toStdString();
}

class StartupPresets : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(LoadProductTexts());
    ASSERT_TRUE(LoadLanguageTable(kLanguageEnglish));
  }

  void SetUp() override {
    program_ = dir_.MakeDir("program") + "mervane";
    if (::link(MERVANE_BINARY, program_.c_str()) != 0) {
      dir_.WriteFile("program/mervane", ReadFileBytes(MERVANE_BINARY));
      ASSERT_EQ(::chmod(program_.c_str(), 0755), 0);
    }
    for (const char* folder : {"home/Desktop", "config", "runtime", "tmp", "work"})
      dir_.MakeDir(folder);
  }

  ChildResult Run(std::vector<std::string> args) const {
    args.insert(args.begin(), program_);
    const std::vector<std::string> env = EnvironmentWith(
        {"LANG=C.UTF-8", "HOME=" + dir_.Bytes() + "home",
         "XDG_CONFIG_HOME=" + dir_.Bytes() + "config", "XDG_STATE_HOME=" + dir_.Bytes() + "state",
         "XDG_RUNTIME_DIR=" + dir_.Bytes() + "runtime", "TMPDIR=" + dir_.Bytes() + "tmp"},
        {"DISPLAY", "WAYLAND_DISPLAY", "LC_ALL", "LC_MESSAGES", "LANGUAGE"});
    return RunChild(args, env, dir_.Bytes() + "work");
  }

  std::string UserDir() const { return dir_.Bytes() + "config/" + Utf8(PlainTitle()) + "/"; }
  std::string PresetsPath() const { return UserDir() + "Presets"; }

  // The user's presets: preset 1 copies into "work/copies" keeping the names (the built-in
  // preset 1 renames in place), preset 2 is out of range.
  QList<Preset> MyPresets() const {
    QList<Preset> list = {WorkingPreset(), Preset(), Preset()};
    list[1].PresetNumber = 1;
    list[1].PresetName = QStringLiteral("Copy aside");
    list[1].TargetDirTemplate = QString::fromStdString(dir_.Bytes() + "work/copies/");
    list[2].PresetNumber = 2;
    list[2].PresetName = QStringLiteral("Broken");
    list[2].SortKey = 9;
    return list;
  }
  QByteArray MyFile(int32_t defaultIndex = 1) const {
    return SerializePresets(MyPresets(), defaultIndex, FileNameTitle(),
                            ProductTexts[kProductVersion]);
  }
  void WritePresets(const QByteArray& bytes) const {
    dir_.WriteFile("config/" + Utf8(PlainTitle()) + "/Presets", bytes.toStdString());
  }

  // Files the built-in preset 1 would rename ("my photo.JPG" -> "My Photo.jpg").
  void WriteWorkFiles() const { dir_.WriteFile("work/files/my photo.JPG", "jpg"); }
  bool WorkFilesUntouched() const {
    return ReadFileBytes(dir_.Bytes() + "work/files/my photo.JPG") == "jpg" &&
           !PathExists(dir_.Bytes() + "work/files/My Photo.jpg") &&
           !PathExists(dir_.Bytes() + "work/copies");
  }

  TempDir dir_;
  std::string program_;
};

QByteArray WithVersionBits(QByteArray file, uint32_t bits) {
  // The version follows the name line "Mervane\n".
  std::memcpy(file.data() + 8, &bits, 4);
  return file;
}

TEST_F(StartupPresets, APresetsFileThatCannotBeUsedStopsTheRunsThatNeedIt) {
  const QByteArray mine = MyFile();
  const struct {
    const char* label;
    QByteArray bytes;
    const char* says;
  } files[] = {
      // The one bit of the version a hostile tester changed: 2.0 read as 2.0000002.
      {"one bit of the version", WithVersionBits(mine, 0x40000001),
       "not a presets file of Mervane"},
      {"a newer version", WithVersionBits(mine, 0x40400000), "written by version 3.0 of Mervane"},
      {"cut short", mine.left(mine.size() - 20), "ends in the middle of a preset"},
      {"a preset marker damaged",
       [&mine] {
         QByteArray b = mine;
         b[b.lastIndexOf(QByteArray("\xED\xFE\x00\x00", 4))] = '\xEC';
         return b;
       }(),
       "bytes follow its last preset"},
      {"its default gone", MyFile(7), "default preset it names is not in it"},
  };
  const std::vector<std::vector<std::string>> runs = {
      {"-Console", "-Preset=1", "-IgnoreWarning", "files"},
      {"-Console", "-IgnoreWarning", "files"},  // the stored default
      {"-Console", "-Preset=1", "-IgnoreWarning", "--dry-run", "files"},
  };
  for (const auto& file : files) {
    WritePresets(file.bytes);
    for (const auto& args : runs) {
      SCOPED_TRACE(std::string(file.label) + " / " + args[1]);
      WriteWorkFiles();
      const ChildResult r = Run(args);
      EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
      const std::string error = "\nError: The ";
      EXPECT_NE(r.out.find(error), std::string::npos) << r.out;
      EXPECT_NE(r.out.find(file.says), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("\"" + PresetsPath() + "\""), std::string::npos) << r.out;
      EXPECT_EQ(r.out.find("Preset: "), std::string::npos) << "no preset line: " << r.out;
      EXPECT_TRUE(WorkFilesUntouched()) << r.out;
      // The file stays exactly as it was, and nothing is put beside it.
      EXPECT_EQ(ReadFileBytes(PresetsPath()), file.bytes.toStdString());
      EXPECT_FALSE(PathExists(PresetsPath() + ".damaged"));
      EXPECT_FALSE(PathExists(PresetsPath() + ".unknown"));
      EXPECT_FALSE(PathExists(PresetsPath() + ".version-3.0"));
    }
  }
}

TEST_F(StartupPresets, PresetZeroAndRunsWithoutAPresetGoOnDespiteAnUnusableFile) {
  WritePresets(WithVersionBits(MyFile(), 0x40400000));
  WriteWorkFiles();
  // Preset 0 is the default settings, which no file holds: it copies into Desktop/output.
  const ChildResult zero = Run({"-Console", "-Preset=0", "files"});
  EXPECT_EQ(zero.exitCode, 0) << zero.out << zero.err;
  EXPECT_NE(zero.out.find("Preset: 0 -> \""), std::string::npos) << zero.out;
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "home/Desktop/output/my photo.JPG"), "jpg");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-Console", "--list-runs"},
                                               std::vector<std::string>{"-Console", "-Help"}}) {
    const ChildResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << args[1] << r.out;
    EXPECT_EQ(r.out.find("Error: The "), std::string::npos) << r.out;
  }
}

TEST_F(StartupPresets, APresetOutOfRangeIsRefusedNotReplacedByPresetZero) {
  WritePresets(MyFile(2));  // the default is the broken preset
  WriteWorkFiles();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-Console", "-Preset=2", "-IgnoreWarning", "files"},
        std::vector<std::string>{"-Console", "-IgnoreWarning", "files"}}) {
    const ChildResult r = Run(args);
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_NE(r.out.find("Error: Preset 2 \"Broken\" cannot be used"), std::string::npos) << r.out;
    EXPECT_TRUE(WorkFilesUntouched());
  }
  // The user's preset 1 from the same file runs.
  const ChildResult one = Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"});
  EXPECT_EQ(one.exitCode, 0) << one.out;
  EXPECT_NE(one.out.find("Preset: 1 -> \"Copy aside\""), std::string::npos) << one.out;
  EXPECT_EQ(ReadFileBytes(dir_.Bytes() + "work/copies/my photo.JPG"), "jpg");
}

TEST_F(StartupPresets, AVersion10FileRunsItsOwnPresets) {
  WritePresets(QByteArray::fromStdString(ReadFileBytes(
      std::string(MERVANE_SOURCE_DIR) + "/tests/settings/golden/version-1.0.presets")));
  const std::string before = ReadFileBytes(PresetsPath());
  // No paths: the checks stop the run, after the preset line names the file's default.
  const ChildResult r = Run({"-Console"});
  EXPECT_EQ(r.exitCode, 2) << r.out;
  EXPECT_NE(r.out.find("\nPreset: 4 -> \"Alt\""), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Error: The "), std::string::npos) << r.out;
  EXPECT_EQ(ReadFileBytes(PresetsPath()), before) << "reading changes nothing";
}

TEST_F(StartupPresets, TheErrorLogInTheStateFolderGoesWithAnUninstall) {
  const std::string stateDir = dir_.Bytes() + "state/" + Utf8(PlainTitle()) + "/";
  dir_.WriteFile("state/" + Utf8(PlainTitle()) + "/" + Utf8(FileNameTitle()) + "_Errorlog.txt",
                 "report");
  dir_.WriteFile("state/" + Utf8(PlainTitle()) + "/journal/00000001.journal", "j");
  const ChildResult r = Run({"-Uninstall"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(PathExists(stateDir)) << "emptied and removed";
}

}  // namespace
