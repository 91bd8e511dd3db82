// The real program in console mode, as a child process in a private world: its own hard link
// (so that the error log lands in a folder of the test), HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR
// and TMPDIR in a temporary folder. Arguments and paths are raw bytes, so names that are not
// UTF-8 reach the program as they are.

#include "records/FileEntry.h"
#include "naming/Transform.h"
#include "platform/FileName.h"
#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "support/ChildProcess.h"
#include "support/Lines.h"
#include "support/TempDir.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"
#include "support/Texts.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

using Result = ChildResult;

class ConsoleRun : public testing::Test {
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

  // Runs the program in the folder "work" with the arguments as raw bytes.
  Result Run(std::vector<std::string> args) const {
    args.insert(args.begin(), program_);
    std::vector<std::string> env = {
        "HOME=" + dir_.Bytes() + "home",
        "XDG_CONFIG_HOME=" + dir_.Bytes() + "config",
        "XDG_STATE_HOME=" + dir_.Bytes() + "state",
        "XDG_RUNTIME_DIR=" + dir_.Bytes() + "runtime",
        "TMPDIR=" + dir_.Bytes() + "tmp",
        "LANG=C.UTF-8",
        "TZ=UTC0",
    };
    for (const char* keep : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS"})
      if (const char* value = std::getenv(keep)) env.push_back(std::string(keep) + "=" + value);

    return RunChild(args, env, dir_.Bytes() + "work");
  }

  // What the run printed between the banner and the closing lines.
  static std::vector<std::string> Body(const Result& result) {
    std::vector<std::string> lines = SplitLines(result.out);
    const std::vector<std::string> closing = {"", "----------------", ""};
    // Two empty lines, title, stars, two lines, three empty lines, rule, empty line.
    constexpr size_t kBanner = 11;
    if (lines.size() < kBanner + closing.size() ||
        !std::equal(closing.begin(), closing.end(), lines.end() - 3)) {
      ADD_FAILURE() << "unexpected output:\n" << result.out << result.err;
      return {};
    }
    return {lines.begin() + kBanner, lines.end() - 3};
  }

  // Stores the presets (after the working preset 0) where the program reads them.
  void SavePresetList(const std::vector<Preset>& presets) const {
    QList<Preset> list = {WorkingPreset()};
    int8_t number = 1;
    for (Preset preset : presets) {
      preset.PresetNumber = number++;
      list.append(preset);
    }
    dir_.MakeDir("config/" + Utf8(PlainTitle()));
    const QString path = DecodeFileName(dir_.Bytes() + "config/" + Utf8(PlainTitle()) + "/Presets");
    ASSERT_TRUE(SavePresets(path, list, 0));
  }

  static std::string PresetLine(int number, const QString& name) {
    return "Preset: " + std::to_string(number) + " -> \"" + Utf8(name) + "\"";
  }

  // An installed program's folder is no place for the report: it goes into the state folder.
  std::string ErrorLogPath() const {
    return dir_.Bytes() + "state/" + Utf8(PlainTitle()) + "/" + Utf8(FileNameTitle()) +
           "_Errorlog.txt";
  }
  std::string PortableErrorLogPath() const {
    return dir_.Bytes() + "program/" + Utf8(FileNameTitle()) + "_Errorlog.txt";
  }

  std::string Read(const std::string& relative) const {
    return ReadFileBytes(dir_.Bytes() + relative);
  }
  bool Exists(const std::string& relative) const { return PathExists(dir_.Bytes() + relative); }

  void SetModified(const std::string& relative, time_t when) const {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir_.Bytes() + relative).c_str(), times, 0), 0);
  }

  TempDir dir_;
  std::string program_;
};

TEST_F(ConsoleRun, NoPathsIsAnErrorThatStopsTheRun) {
  const Result result = Run({"-Console"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(Body(result), (std::vector<std::string>{PresetLine(0, LanguageTable[245]), "", "",
                                                    "Error: No files", ""}));
}

TEST_F(ConsoleRun, ChangingFilesInPlaceWarnsUnlessWarningsAreIgnored) {
  dir_.WriteFile("work/files/my photo.JPG", "jpg");
  dir_.WriteFile("work/files/sub/report-final.PDF", "pdf");
  dir_.WriteFile("work/files/Done.txt", "done");  // already as the task would name it

  const Result stopped = Run({"-Console", "-Preset=1", "files"});
  EXPECT_EQ(stopped.exitCode, 2);
  EXPECT_EQ(Body(stopped),
            (std::vector<std::string>{PresetLine(1, LanguageTable[246]), "", "Loaded files: 3", "",
                                      "", "Warning: Replacing is disabled", ""}));
  EXPECT_TRUE(Exists("work/files/my photo.JPG"));

  const Result done = Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"});
  EXPECT_EQ(done.exitCode, 0) << done.out;
  EXPECT_EQ(Body(done),
            (std::vector<std::string>{PresetLine(1, LanguageTable[246]), "", "Loaded files: 3", "",
                                      "Warning: Replacing is disabled - Ignored", "", "",
                                      "Processing, please wait...", "", "",
                                      "Result: Processed successfully"}));
  EXPECT_EQ(Read("work/files/My Photo.jpg"), "jpg");
  EXPECT_EQ(Read("work/files/sub/Report-Final.pdf"), "pdf");
  EXPECT_EQ(Read("work/files/Done.txt"), "done");
  EXPECT_FALSE(Exists("work/files/my photo.JPG"));
  EXPECT_FALSE(Exists(ErrorLogPath()));
}

TEST_F(ConsoleRun, PhotosAreMovedIntoDatedFoldersOnTheDesktop) {
  dir_.WriteFile("work/camera/IMG_1.jpg", "one");
  dir_.WriteFile("work/camera/IMG_2.jpg", "two");
  SetModified("work/camera/IMG_1.jpg", 1617602828);  // 2021-04-05 06:07:08 UTC
  SetModified("work/camera/IMG_2.jpg", 1640995199);  // 2021-12-31 23:59:59 UTC
  const std::string camera = dir_.Bytes() + "work/camera";

  const Result stopped = Run({"-Console", "-Preset=2", camera});
  EXPECT_EQ(stopped.exitCode, 2);
  EXPECT_EQ(Body(stopped).back(), "");
  EXPECT_EQ(Body(stopped).end()[-2], "Warning: Moving is disabled");
  EXPECT_TRUE(Exists("work/camera/IMG_1.jpg"));

  const Result done = Run({"-Console", "-Preset=2", "-IgnoreWarning", camera});
  EXPECT_EQ(done.exitCode, 0) << done.out;
  EXPECT_EQ(Body(done).back(), "Result: Processed successfully");
  EXPECT_EQ(Read("home/Desktop/output/2021/04/2021-04-05_06-07-08 IMG_1.jpg"), "one");
  EXPECT_EQ(Read("home/Desktop/output/2021/12/2021-12-31_23-59-59 IMG_2.jpg"), "two");
  EXPECT_FALSE(Exists("work/camera/IMG_1.jpg"));
  EXPECT_FALSE(Exists("work/camera/IMG_2.jpg"));
}

TEST_F(ConsoleRun, CopiesGoToTheDesktopAndLeaveTheSources) {
  dir_.WriteFile("work/docs/holiday.TXT", "text");
  dir_.WriteFile("work/docs/notes.md", "notes");
  const Result done = Run({"-Console", "-Preset=3", "docs/holiday.TXT", "docs/notes.md"});
  EXPECT_EQ(done.exitCode, 0) << done.out;
  EXPECT_EQ(Body(done).back(), "Result: Processed successfully");
  EXPECT_EQ(Read("home/Desktop/output/holiday.txt"), "text");
  EXPECT_EQ(Read("home/Desktop/output/notes.md"), "notes");
  EXPECT_EQ(Read("work/docs/holiday.TXT"), "text");
}

// Files that are copied into folders where their names are taken already (left alone in a
// console run) or into their own folder (the target is the source).
Preset FailingCopyPreset(const std::string& target) {
  Preset preset;
  preset.PresetName = QStringLiteral("Copy back");
  preset.TargetDirActive = 1;
  preset.TargetMove = 0;
  preset.TargetDirTemplate = DecodeFileName(target);
  return preset;
}

TEST_F(ConsoleRun, EveryFileFailingWritesTheErrorLog) {
  dir_.WriteFile("work/a/one.txt", "source one");
  dir_.WriteFile("work/b/two.txt", "source two");
  dir_.WriteFile("work/a/two.txt", "existing two");
  SavePresetList({FailingCopyPreset(dir_.Bytes() + "work/a/")});

  const Result result = Run({"-Console", "-Preset=1", "a/one.txt", "b/two.txt"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(Body(result),
            (std::vector<std::string>{
                PresetLine(1, "Copy back"), "", "Loaded files: 2", "", "",
                "Processing, please wait...", "", "", "Result: Error(s) occured!",
                "Take a look at \"Errorlog.txt\" for more information.", ErrorLogPath()}));
  EXPECT_EQ(Read("work/a/two.txt"), "existing two");
  EXPECT_EQ(Read("work/b/two.txt"), "source two");

  const QString title = ProductTitle(false, true, false);
  const auto L = [](int entry) { return Utf8(LanguageTable[entry]); };
  const std::string work = dir_.Bytes() + "work/";
  const std::string expected =
      "\xEF\xBB\xBF" + Utf8(title) + "\r\n" + std::string(static_cast<size_t>(title.size()), '*') +
      "\r\n" + Utf8(ProductTexts[13]) + "\r\n" + Utf8(ProductTexts[14]) +
      "\r\n\r\n\r\n\r\n----------------\r\n\r\n" + L(324) + ": " + work + "a/one.txt\r\n" + L(325) +
      ": " + work + "a/one.txt\r\n" + L(326) + ": " + L(332) + "\r\n\r\n" + L(324) + ": " + work +
      "b/two.txt\r\n" + L(325) + ": " + work + "a/two.txt\r\n" + L(326) + ": " + L(330) +
      "\r\n\r\n" + "----------------\r\n\r\n\r\n" + L(327) + "\r\n" + L(330) + "\r\n" + L(331) +
      "\r\n\r\n" + L(332) + "\r\n" + L(333) + "\r\n\r\n";
  EXPECT_EQ(ReadFileBytes(ErrorLogPath()), expected);
}

TEST_F(ConsoleRun, ErrorLogGoesBesideAPortableCopyOnlyWhenItsFolderTakesIt) {
  dir_.WriteFile("work/a/one.txt", "one");
  struct Row {
    const char* label;
    std::vector<std::string> options;
    bool blockProgramFolder;
    bool besideTheProgram;
  };
  const Row rows[] = {
      {"installed", {}, false, false},
      {"portable", {"-Portable"}, false, true},
      {"portable, its folder refuses it", {"-Portable"}, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const std::string clean = "rm -rf '" + dir_.Bytes() + "state' '" + PortableErrorLogPath() + "'";
    ASSERT_EQ(::system(clean.c_str()), 0);
    if (row.blockProgramFolder) {
      ASSERT_EQ(::mkdir(PortableErrorLogPath().c_str(), 0755), 0);
    }
    // A portable copy keeps its presets beside the program, an installed one per user.
    if (row.options.empty()) {
      SavePresetList({FailingCopyPreset(dir_.Bytes() + "work/a/")});
    } else {
      QList<Preset> list = {WorkingPreset(), FailingCopyPreset(dir_.Bytes() + "work/a/")};
      list[1].PresetNumber = 1;
      ASSERT_TRUE(SavePresets(
          DecodeFileName(dir_.Bytes() + "program/" + Utf8(FileNameTitle()) + "_Presets"), list, 0));
    }
    std::vector<std::string> args = {"-Console", "-Preset=1", "a/one.txt"};
    args.insert(args.end(), row.options.begin(), row.options.end());
    const Result result = Run(args);
    EXPECT_EQ(result.exitCode, 1) << result.out;
    const std::string log = row.besideTheProgram ? PortableErrorLogPath() : ErrorLogPath();
    // The console says where it wrote the report.
    EXPECT_EQ(Body(result).back(), log);
    EXPECT_NE(ReadFileBytes(log).find(dir_.Bytes() + "work/a/one.txt"), std::string::npos);
    if (row.blockProgramFolder) {
      ::rmdir(PortableErrorLogPath().c_str());
    } else if (!row.besideTheProgram) {
      EXPECT_FALSE(PathExists(PortableErrorLogPath()));
    }
  }
  // The state folder made for it is the owner's alone.
  struct stat st {};
  ASSERT_EQ(::stat((dir_.Bytes() + "state").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(ConsoleRun, HostileNamesAreLoadedRenamedAndFoundAgain) {
  const std::vector<std::string> names = {
      "caf\xE9 cr\xE8me.txt",          // Latin-1 bytes, not UTF-8
      "line\nfeed.txt",                // a line feed inside the name
      std::string(251, 'n') + ".txt",  // 255 bytes, the longest name
      "100% sure %DQ% %.txt",          // percent signs
      "\xF0\x9F\x93\xB7 photo.txt",    // valid UTF-8 outside the BMP
      "back\\slash name.txt",          // a backslash is an ordinary character of a name
  };
  for (const std::string& name : names) dir_.WriteFile("work/odd/" + name, name);
  // One of them also named directly on the command line, as raw bytes.
  const Result result = Run(
      {"-Console", "-Preset=1", "-IgnoreWarning", "odd", dir_.Bytes() + "work/odd/" + names[0]});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(Body(result)[2], "Loaded files: " + std::to_string(names.size()));
  for (const std::string& name : names) {
    const QString decoded = DecodeFileName(name);
    const qsizetype dot = decoded.lastIndexOf('.');
    const QString renamed = ChangeCase(decoded.left(dot), kCaseWords) + decoded.mid(dot);
    const std::string renamedBytes = EncodeFileName(renamed).toStdString();
    EXPECT_EQ(Read("work/odd/" + renamedBytes), name) << renamedBytes;
  }
}

TEST_F(ConsoleRun, MovingOntoExistingFilesLeavesBothFiles) {
  dir_.WriteFile("work/in/a.txt", "moving a");
  dir_.WriteFile("work/out/a.txt", "staying a");
  dir_.WriteFile("work/in/b.txt", "renaming b");
  dir_.WriteFile("work/in/c.txt", "taken c");
  Preset move = FailingCopyPreset(dir_.Bytes() + "work/out/");
  move.PresetName = QStringLiteral("Move");
  move.TargetMove = 1;
  Preset rename;
  rename.PresetName = QStringLiteral("Rename");
  rename.TargetDirActive = 0;
  rename.NameTemplateActive = 1;
  rename.NameTemplate = QStringLiteral("c");
  SavePresetList({move, rename});

  const Result moved = Run({"-Console", "-Preset=1", "-IgnoreWarning", "in/a.txt"});
  EXPECT_EQ(moved.exitCode, 1);
  EXPECT_EQ(Read("work/in/a.txt"), "moving a");
  EXPECT_EQ(Read("work/out/a.txt"), "staying a");
  EXPECT_NE(ReadFileBytes(ErrorLogPath()).find(Utf8(LanguageTable[330])), std::string::npos);

  const Result renamed = Run({"-Console", "-Preset=2", "-IgnoreWarning", "in/b.txt"});
  EXPECT_EQ(renamed.exitCode, 1);
  EXPECT_EQ(Read("work/in/b.txt"), "renaming b");
  EXPECT_EQ(Read("work/in/c.txt"), "taken c");
  EXPECT_NE(ReadFileBytes(ErrorLogPath()).find(Utf8(LanguageTable[338])), std::string::npos);
}

// The lines of a dry run after the check lines: status, source and target, tab-separated.
struct PlannedLine {
  int status;
  std::string source;
  std::string target;
};

std::vector<PlannedLine> PlannedLines(const std::vector<std::string>& body) {
  std::vector<PlannedLine> lines;
  for (const std::string& line : body) {
    const size_t first = line.find('\t');
    if (first == std::string::npos) continue;
    const size_t second = line.find('\t', first + 1);
    lines.push_back({std::stoi(line.substr(0, first)), line.substr(first + 1, second - first - 1),
                     line.substr(second + 1)});
  }
  return lines;
}

// A dry run predicts the real run on the same tree and changes nothing: counters (one per
// target folder), clashes inside the run and existing targets.
TEST_F(ConsoleRun, ADryRunPredictsTheRealRun) {
  Preset numbered = FailingCopyPreset(dir_.Bytes() + "work/out/");
  numbered.PresetName = QStringLiteral("Numbered copies");
  numbered.NameTemplateActive = 1;
  numbered.NameTemplate = QStringLiteral("%1% %FN%");
  numbered.CounterPerDirectory = 1;
  numbered.KeepSubfolders = 1;
  Preset plain = FailingCopyPreset(dir_.Bytes() + "work/out/");
  plain.PresetName = QStringLiteral("Plain moves");
  plain.TargetMove = 1;
  SavePresetList({numbered, plain});
  const std::string work = dir_.Bytes() + "work/";

  // The list order is the order the folder walk meets the files, so the checks below hold
  // for any order: each predicted target must be where the file really went.
  struct Case {
    const char* preset;
    int exitCode;
    int done;
  };
  const std::map<std::string, std::string> sources = {
      {"in/a.txt", "a"},
      {"in/b.txt", "b"},
      {"in/sub/a.txt", "sub a"},  // a clash inside the run
      {"in/sub/c.txt", "sub c"},
      {"in/d.txt", "d"}};
  for (const Case& c : {Case{"-Preset=1", 0, 5}, Case{"-Preset=2", 1, 3}}) {
    SCOPED_TRACE(c.preset);
    ASSERT_EQ(
        ::system(("rm -rf '" + work + "in' '" + work + "out' '" + ErrorLogPath() + "'").c_str()),
        0);
    for (const auto& [file, content] : sources) dir_.WriteFile("work/" + file, content);
    dir_.WriteFile("work/out/1 a.txt", "taken");  // skipped by the counter
    dir_.WriteFile("work/out/d.txt", "old d");    // an existing target, left

    const Result dry = Run({"-Console", c.preset, "-IgnoreWarning", "--dry-run", "in"});
    const std::vector<PlannedLine> planned = PlannedLines(Body(dry));
    ASSERT_EQ(planned.size(), sources.size()) << dry.out;
    EXPECT_EQ(dry.exitCode, c.exitCode) << dry.out;
    EXPECT_EQ(Read("work/in/a.txt"), "a") << "a dry run changes nothing";
    EXPECT_FALSE(Exists("work/out/a.txt"));
    EXPECT_FALSE(Exists(ErrorLogPath()));

    const Result real = Run({"-Console", c.preset, "-IgnoreWarning", "in"});
    EXPECT_EQ(real.exitCode, dry.exitCode);
    const std::string log = ReadFileBytes(ErrorLogPath());
    int done = 0;
    for (const PlannedLine& line : planned) {
      SCOPED_TRACE(line.source + " -> " + line.target);
      const std::string source = line.source.substr(work.size());
      ASSERT_EQ(sources.count(source), 1u);
      ASSERT_EQ(line.target.rfind(work + "out/", 0), 0u);
      if (line.status == kStatusDone) {
        ++done;
        EXPECT_EQ(Read(line.target.substr(dir_.Bytes().size())), sources.at(source));
      } else {
        EXPECT_EQ(line.status, kStatusTargetExists);
        EXPECT_NE(log.find(line.source + "\r\n"), std::string::npos);
        EXPECT_NE(log.find(line.target + "\r\n"), std::string::npos);
      }
    }
    EXPECT_EQ(done, c.done);
    EXPECT_EQ(Read("work/out/1 a.txt"), "taken");
    EXPECT_EQ(Read("work/out/d.txt"), "old d");
  }
}

TEST_F(ConsoleRun, ADryRunWritesEveryNameOnOneLineAndSaysWhenTheChecksStopIt) {
  // Word capitals change nothing here, so the target is the source.
  dir_.WriteFile("work/odd/1\n2 \xE9\t\\ 3.txt", "x");
  const Result dry = Run({"-Console", "-Preset=1", "-IgnoreWarning", "--dry-run", "odd"});
  EXPECT_EQ(dry.exitCode, 0) << dry.out;
  const std::vector<PlannedLine> planned = PlannedLines(Body(dry));
  ASSERT_EQ(planned.size(), 1u) << dry.out;
  EXPECT_EQ(planned[0].status, 1);
  const std::string escaped = dir_.Bytes() + "work/odd/1\\n2 \\xE9\\t\\\\ 3.txt";
  EXPECT_EQ(planned[0].source, escaped);
  EXPECT_EQ(planned[0].target, escaped);
  EXPECT_TRUE(Exists("work/odd/1\n2 \xE9\t\\ 3.txt"));

  const Result stopped = Run({"-Console", "-Preset=1", "--dry-run", "odd"});
  EXPECT_EQ(stopped.exitCode, 2);
  EXPECT_TRUE(PlannedLines(Body(stopped)).empty());
}

}  // namespace
