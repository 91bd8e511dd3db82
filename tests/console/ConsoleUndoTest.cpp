// Undo from the console: the real program as a child process in a private world (its own hard
// link, HOME, XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR and TMPDIR in a temporary
// folder), including runs killed with SIGKILL at many points and taken back afterwards.

#include "journal/JournalFolder.h"
#include "platform/FileName.h"
#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "support/ChildProcess.h"
#include "support/Lines.h"
#include "support/TempDir.h"
#include "support/Texts.h"
#include "texts/AdditionEntries.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Result = ChildResult;

// The files below a folder (relative path -> content), and whether any copy temporary is there.
void Walk(const std::string& root, const std::string& relative,
          std::map<std::string, std::string>& files, int& temporaries) {
  DIR* dir = ::opendir((root + relative).c_str());
  if (dir == nullptr) return;
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = relative + name;
    struct stat st {};
    ::lstat((root + path).c_str(), &st);
    if (S_ISDIR(st.st_mode)) {
      Walk(root, path + "/", files, temporaries);
    } else {
      if (name.rfind(".mervane-", 0) == 0) ++temporaries;
      files[path] = ReadFileBytes(root + path);
    }
  }
  ::closedir(dir);
}

std::map<std::string, std::string> Files(const std::string& root, int* temporaries = nullptr) {
  std::map<std::string, std::string> files;
  int found = 0;
  Walk(root, {}, files, found);
  if (temporaries != nullptr) *temporaries = found;
  return files;
}

class ConsoleUndo : public testing::Test {
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
    for (const char* folder : {"home/Desktop", "config", "state", "runtime", "tmp", "work"})
      dir_.MakeDir(folder);
  }

  Result Run(std::vector<std::string> args, const std::vector<std::string>& extraEnv = {},
             int timeoutSeconds = 120) const {
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
    // A variable given again replaces the one above.
    for (const std::string& extra : extraEnv) {
      const std::string name = extra.substr(0, extra.find('=') + 1);
      std::erase_if(env, [&](const std::string& entry) { return entry.rfind(name, 0) == 0; });
      env.push_back(extra);
    }
    return RunChild(args, env, dir_.Bytes() + "work", timeoutSeconds);
  }

  // What the program printed between the banner and the closing lines.
  static std::vector<std::string> Body(const Result& result) {
    std::vector<std::string> lines = SplitLines(result.out);
    constexpr size_t kBanner = 11;
    if (lines.size() < kBanner + 3) {
      ADD_FAILURE() << "unexpected output:\n" << result.out << result.err;
      return {};
    }
    return {lines.begin() + kBanner, lines.end() - 3};
  }

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

  std::string JournalFolder() const {
    return dir_.Bytes() + "state/" + Utf8(PlainTitle()) + "/journal/";
  }
  std::string Read(const std::string& relative) const {
    return ReadFileBytes(dir_.Bytes() + relative);
  }
  bool Exists(const std::string& relative) const { return PathExists(dir_.Bytes() + relative); }

  TempDir dir_;
  std::string program_;
};

Preset RenamePreset() {
  Preset preset;
  preset.PresetName = QStringLiteral("Numbered %2");
  preset.TargetDirActive = 0;
  preset.NameTemplateActive = 1;
  preset.NameTemplate = QStringLiteral("%001% %FN%");
  return preset;
}

Preset MovePreset(const std::string& target) {
  Preset preset;
  preset.PresetName = QStringLiteral("Move away");
  preset.TargetDirActive = 1;
  preset.TargetMove = 1;
  preset.KeepSubfolders = 1;
  preset.TargetDirTemplate = DecodeFileName(target);
  return preset;
}

TEST_F(ConsoleUndo, TakesBackTheNewestRunAndASecondUndoFindsNothing) {
  SavePresetList({RenamePreset()});
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    dir_.WriteFile(std::string("work/files/") + name, name);
  const auto before = Files(dir_.Bytes() + "work/");

  const Result run = Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"});
  ASSERT_EQ(run.exitCode, 0) << run.out;
  // Numbered in the order the folder listing gave them.
  const auto renamed = Files(dir_.Bytes() + "work/");
  ASSERT_EQ(renamed.size(), 3u);
  EXPECT_NE(renamed.begin()->first.find("files/00"), std::string::npos);

  const Result listed = Run({"-Console", "--list-runs"});
  EXPECT_EQ(listed.exitCode, 0);
  const std::vector<std::string> lines = Body(listed);
  ASSERT_EQ(lines.size(), 3u) << listed.out;
  EXPECT_EQ(lines[0], Utf8(AdditionText(kAddRunsHeading)));
  EXPECT_EQ(lines[1].substr(0, 2), "1\t");
  EXPECT_NE(lines[1].find("\tpreset 1 \"Numbered %2\"\t3 file(s)\tnot undone"), std::string::npos)
      << lines[1];

  const Result dry = Run({"-Console", "--undo", "--dry-run"});
  EXPECT_EQ(dry.exitCode, 0);
  const std::vector<std::string> planned = Body(dry);
  ASSERT_EQ(planned.size(), 6u) << dry.out;
  EXPECT_EQ(planned[0].rfind("Undo: run 1 of ", 0), 0u) << planned[0];
  EXPECT_NE(planned[0].find(", preset 1 -> \"Numbered %2\", 3 file(s)"), std::string::npos)
      << "a \"%\" in the preset's name stays as it is";
  // Backwards: the last file renamed comes back first.
  for (size_t i = 2; i < 5; ++i)
    EXPECT_EQ(planned[i].rfind(
                  "move back\t" + dir_.Bytes() + "work/files/00" + std::to_string(5 - i) + " ", 0),
              0u)
        << planned[i];
  EXPECT_TRUE(Files(dir_.Bytes() + "work/") == renamed) << "a dry run changes nothing";

  const Result undo = Run({"-Console", "--undo"});
  EXPECT_EQ(undo.exitCode, 0) << undo.out;
  EXPECT_EQ(Body(undo).back(), "Result: Taken back completely");
  EXPECT_EQ(Files(dir_.Bytes() + "work/"), before);

  const Result again = Run({"-Console", "--undo"});
  EXPECT_EQ(again.exitCode, 2);
  EXPECT_EQ(Body(again), (std::vector<std::string>{"Nothing to undo.", ""}));
  EXPECT_NE(Run({"-Console", "--list-runs"}).out.find("\t3 file(s)\tundone\n"), std::string::npos);
  const Result named = Run({"-Console", "--undo=1"});
  EXPECT_EQ(named.exitCode, 2);
  EXPECT_EQ(Body(named).front(), "Run 1 has been taken back already.");
}

TEST_F(ConsoleUndo, ListsWhatItCouldNotTakeBackAndExitsWithOne) {
  SavePresetList({RenamePreset()});
  dir_.WriteFile("work/files/a.txt", "a");
  dir_.WriteFile("work/files/b.txt", "b");
  ASSERT_EQ(Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"}).exitCode, 0);
  std::string renamedA;
  for (const auto& [path, content] : Files(dir_.Bytes() + "work/"))
    if (content == "a") renamedA = path;
  ASSERT_FALSE(renamedA.empty());
  dir_.WriteFile("work/files/a.txt", "new a");

  const Result undo = Run({"-Console", "--undo"});
  EXPECT_EQ(undo.exitCode, 1);
  const std::vector<std::string> body = Body(undo);
  const std::string left = "Left: something else stands at the old place: " + dir_.Bytes() +
                           "work/" + renamedA + " -> " + dir_.Bytes() + "work/files/a.txt";
  EXPECT_NE(std::find(body.begin(), body.end(), left), body.end()) << undo.out;
  EXPECT_EQ(body.back(), "Result: 1 file(s) taken back, 1 could not be taken back");
  EXPECT_EQ(Read("work/files/a.txt"), "new a");
  EXPECT_EQ(Read("work/files/b.txt"), "b");

  const Result missing = Run({"-Console", "--undo=7"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_EQ(Body(missing).front(), "There is no run 7 in the undo journal.");
}

TEST_F(ConsoleUndo, PortableModeKeepsTheJournalBesideTheProgram) {
  SavePresetList({RenamePreset()});
  dir_.WriteFile("work/files/a.txt", "a");
  // The presets of the per-user folder are not read in portable mode: the default preset 0
  // copies into the desktop's output folder.
  const Result run = Run({"-Console", "-Portable", "-IgnoreWarning", "files"});
  ASSERT_EQ(run.exitCode, 0) << run.out;
  EXPECT_TRUE(Exists("home/Desktop/output/a.txt"));
  const std::string journal =
      "program/" + Utf8(FileNameTitle()) + "_Journal/" + Utf8(JournalFileName(1));
  EXPECT_TRUE(Exists(journal));
  EXPECT_FALSE(Exists("state/" + Utf8(PlainTitle())));

  EXPECT_EQ(Run({"-Console", "--undo"}).exitCode, 2) << "the per-user journal has no runs";
  const Result undo = Run({"-Console", "-Portable", "--undo"});
  EXPECT_EQ(undo.exitCode, 0) << undo.out;
  EXPECT_FALSE(Exists("home/Desktop/output"));
  EXPECT_EQ(Read("work/files/a.txt"), "a");
}

TEST_F(ConsoleUndo, ARunWhoseJournalCannotBeWrittenDoesNotStart) {
  SavePresetList({RenamePreset()});
  dir_.WriteFile("work/files/a.txt", "a");
  dir_.WriteFile("blocked", "a file where the state folder should be");
  const Result run = Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"},
                         {"XDG_STATE_HOME=" + dir_.Bytes() + "blocked"});
  EXPECT_EQ(run.exitCode, 2);
  const std::vector<std::string> body = Body(run);
  ASSERT_GE(body.size(), 2u);
  EXPECT_EQ(body[body.size() - 2].rfind("Error: The undo journal cannot be written (", 0), 0u)
      << run.out;
  EXPECT_EQ(Read("work/files/a.txt"), "a");

#ifdef MERVANE_TEST_SWITCHES
  // The benchmark's switch runs without one.
  const Result unjournaled =
      Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"}, {"MERVANE_JOURNAL=off"});
  EXPECT_EQ(unjournaled.exitCode, 0);
  EXPECT_TRUE(Exists("work/files/001 a.txt"));
  EXPECT_FALSE(Exists("work/files/a.txt"));
#endif
  EXPECT_TRUE(ListJournalFiles(DecodeFileName(JournalFolder())).empty());
}

TEST_F(ConsoleUndo, GermanTextsFollowTheSystemLanguage) {
  const Result nothing = Run({"-Console", "--undo"}, {"LANG=de_DE.UTF-8", "LC_ALL=de_DE.UTF-8"});
  EXPECT_EQ(nothing.exitCode, 2);
  ASSERT_TRUE(LoadLanguageTable(kLanguageGerman));
  const std::string german = Utf8(AdditionText(kAddUndoNothingToUndo));
  ASSERT_TRUE(LoadLanguageTable(kLanguageEnglish));
  EXPECT_EQ(german, "Nichts rückgängig zu machen.");
  EXPECT_EQ(Body(nothing).front(), german);
}

// The crash test: a run moving 10,000 files from ten folders into new folders is killed with
// SIGKILL at 20 moments (before and after the sync of a group of intents, after single
// operations at the start, in the middle and at the end), and after each, undo brings every
// file back to its path with its content; nothing is lost, nothing is left twice, no temporary
// stays behind. Each undone tree is the starting tree of the next kill.
TEST_F(ConsoleUndo, ARunKilledAtAnyMomentIsTakenBackCompletely) {
#ifndef MERVANE_TEST_SWITCHES
  GTEST_SKIP() << "the crash points are read only in a build with MERVANE_TEST_SWITCHES";
#endif
  constexpr int kFolders = 10;
  constexpr int kPerFolder = 1000;
  SavePresetList({MovePreset(dir_.Bytes() + "work/moved/")});
  for (int f = 0; f < kFolders; ++f)
    for (int i = 0; i < kPerFolder; ++i)
      dir_.WriteFile("work/src/d" + std::to_string(f) + "/file" + std::to_string(i) + ".dat",
                     "folder " + std::to_string(f) + " file " + std::to_string(i));
  const auto original = Files(dir_.Bytes() + "work/");
  ASSERT_EQ(original.size(), static_cast<size_t>(kFolders * kPerFolder));

  const char* const points[] = {
      "written:1", "synced:1",   "acted:1",    "acted:31",   "acted:32",
      "synced:2",  "written:3",  "acted:500",  "acted:1000", "acted:2500",
      "synced:4",  "acted:4000", "acted:5000", "acted:6001", "acted:7500",
      "written:5", "acted:9000", "acted:9998", "acted:9999", "acted:10000",
  };
  for (const char* point : points) {
    SCOPED_TRACE(point);
    const Result killed = Run({"-Console", "-Preset=1", "-IgnoreWarning", "src"},
                              {std::string("MERVANE_TEST_KILL_AT=") + point});
    EXPECT_EQ(killed.exitCode, -1) << "killed: " << killed.out << killed.err;

    const Result undo = Run({"-Console", "--undo"});
    EXPECT_EQ(undo.exitCode, 0) << undo.out << undo.err;
    int temporaries = 0;
    const auto now = Files(dir_.Bytes() + "work/", &temporaries);
    EXPECT_EQ(temporaries, 0);
    EXPECT_EQ(now.size(), original.size()) << "nothing lost, nothing twice";
    EXPECT_TRUE(now == original) << "every file back with its content";
    EXPECT_FALSE(Exists("work/moved")) << "the folders the run made are gone";
    if (now != original) break;
  }
  // And a run that ends normally after all that.
  ASSERT_EQ(Run({"-Console", "-Preset=1", "-IgnoreWarning", "src"}).exitCode, 0);
  EXPECT_EQ(Files(dir_.Bytes() + "work/src/").size(), 0u);
  EXPECT_EQ(Run({"-Console", "--undo"}).exitCode, 0);
  EXPECT_TRUE(Files(dir_.Bytes() + "work/") == original);
  EXPECT_EQ(ListJournalFiles(DecodeFileName(JournalFolder())).size(),
            static_cast<size_t>(kJournalsKept));
}

// The same across file systems, where a move is a copy and a removal: killed while a copy is
// written (before its rename into place) and between the copy and the removal of its source.
TEST_F(ConsoleUndo, AMoveAcrossFileSystemsKilledMidwayIsTakenBack) {
#ifndef MERVANE_TEST_SWITCHES
  GTEST_SKIP() << "the crash points are read only in a build with MERVANE_TEST_SWITCHES";
#endif
  struct stat here {
  }, shm{};
  if (::stat(dir_.Bytes().c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 ||
      here.st_dev == shm.st_dev || ::access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no second file system (/dev/shm) beside the temporary folder";
  std::string other = "/dev/shm/mervane-crash-XXXXXX";
  ASSERT_NE(::mkdtemp(other.data()), nullptr);
  struct Cleanup {
    std::string folder;
    ~Cleanup() { ::system(("rm -rf '" + folder + "'").c_str()); }
  } cleanup{other};

  SavePresetList({MovePreset(other + "/moved/")});
  for (int i = 0; i < 60; ++i)
    dir_.WriteFile("work/src/file" + std::to_string(i) + ".dat",
                   std::string(1000 + i, 'a' + i % 26));
  const auto original = Files(dir_.Bytes() + "work/");

  // Every move asks the last-step hook once before it tries to rename, and once more before
  // its finished copy is renamed into place.
  for (const char* point : {"laststep:2", "laststep:40", "placed:1", "placed:33", "acted:60"}) {
    SCOPED_TRACE(point);
    const Result killed = Run({"-Console", "-Preset=1", "-IgnoreWarning", "src"},
                              {std::string("MERVANE_TEST_KILL_AT=") + point});
    EXPECT_EQ(killed.exitCode, -1) << killed.out << killed.err;
    const Result undo = Run({"-Console", "--undo"});
    EXPECT_EQ(undo.exitCode, 0) << undo.out << undo.err;
    int temporaries = 0;
    EXPECT_TRUE(Files(dir_.Bytes() + "work/") == original);
    EXPECT_TRUE(Files(other + "/", &temporaries).empty());
    EXPECT_EQ(temporaries, 0);
  }
}

}  // namespace
