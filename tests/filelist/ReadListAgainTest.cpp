#include "filelist/Loader.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// After an undo: four loaded files, of which one has gone back to where it came from and one
// is hidden (listed while hidden files were loaded); the current entry stands at `current`.
struct Scene {
  explicit Scene(qsizetype current) {
    for (const char* name : {"a.txt", ".hidden.txt", "gone.txt", "d.txt"})
      dir.WriteFile(name, name);
    Preset loading;
    loading.IncludeHidden = 1;
    for (const char* name : {"a.txt", ".hidden.txt", "gone.txt", "d.txt"})
      EXPECT_EQ(AdmitFile(dir.Path() + QString::fromLatin1(name), list, loading), 1) << name;
    list.Current = current;
    EXPECT_EQ(std::rename((dir.Bytes() + "gone.txt").c_str(), (dir.Bytes() + "back.txt").c_str()),
              0);
    dir.WriteFile("d.txt", "d.txt, and longer now");
  }

  std::vector<std::string> Names(const FileList& files) const {
    std::vector<std::string> names;
    for (const FileEntry& entry : files)
      names.push_back(entry.PathAfterDirectory().toStdString());
    return names;
  }

  TempDir dir;
  FileList list;
};

TEST(ReadListAgain, KeepsTheOrderDropsWhatIsGoneAndReadsTheRestAfresh) {
  struct Row {
    const char* what;
    qsizetype currentBefore;
    qsizetype currentAfter;
  };
  const Row rows[] = {
      {"the current entry stays", 3, 2},
      {"the current entry before the gap keeps its place", 1, 1},
      {"a current entry that left hands over to the first", 2, 0},
      {"no current entry: the first", -1, 0},
  };
  for (const Row& row : rows) {
    Scene scene(row.currentBefore);
    Preset settings;  // hidden files are not loaded by these settings
    settings.IncludeHidden = 0;
    const FileList again = ReadListAgain(scene.list, settings);
    EXPECT_EQ(scene.Names(again), (std::vector<std::string>{"a.txt", ".hidden.txt", "d.txt"}))
        << row.what;
    EXPECT_EQ(again.Current, row.currentAfter) << row.what;
    EXPECT_EQ(again.At(again.Count() - 1).Size, 21) << row.what << ": the size as it is now";
    EXPECT_EQ(scene.list.Count(), 4) << row.what << ": the list read is left as it was";
  }
}

TEST(ReadListAgain, AnEmptyListStaysEmptyAndAListOfGoneFilesEmpties) {
  TempDir dir;
  dir.WriteFile("x.txt", "x");
  FileList list;
  ASSERT_EQ(AdmitFile(dir.Path() + QStringLiteral("x.txt"), list, Preset{}), 1);
  ASSERT_EQ(::unlink((dir.Bytes() + "x.txt").c_str()), 0);
  const FileList empty = ReadListAgain(FileList{}, Preset{});
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.Current, -1);
  const FileList gone = ReadListAgain(list, Preset{});
  EXPECT_TRUE(gone.IsEmpty());
  EXPECT_EQ(gone.Current, -1);
}

}  // namespace
