#include "filelist/Loader.h"

#include "platform/FileName.h"
#include "platform/LocalTime.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

QString Q(const std::string& bytes) {
  return DecodeFileName(bytes);
}

// Sets the time zone for the life of the object and puts the previous one back.
class ZoneForTest {
 public:
  explicit ZoneForTest(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
      saved_ = old;
      hadZone_ = true;
    }
    Set(zone);
  }
  ~ZoneForTest() {
    if (hadZone_)
      ::setenv("TZ", saved_.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  void Set(const char* zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
  }

 private:
  std::string saved_;
  bool hadZone_ = false;
};

// Names of the loaded entries relative to the temporary folder, sorted.
std::vector<std::string> Loaded(const FileList& list, const TempDir& dir) {
  std::vector<std::string> names;
  for (const FileEntry& e : list) {
    const QByteArray bytes = EncodeFileName(e.Path());
    names.push_back(std::string(bytes.constData(), static_cast<size_t>(bytes.size()))
                        .substr(dir.Bytes().size()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

Preset Settings(bool subdirectories, bool hidden) {
  Preset p;
  p.IncludeSubdirectories = subdirectories ? 1 : 0;
  p.IncludeHidden = hidden ? 1 : 0;
  return p;
}

qsizetype Load(const TempDir& dir, FileList& list, const Preset& settings,
               const std::string& relative = {}) {
  LoadFlags flags;
  return LoadPaths(Q(dir.Bytes() + relative), list, settings, flags);
}

TEST(Loader, AdmissionRulesInADirectory) {
  TempDir dir;
  dir.WriteFile("photo.jpg", "x");
  dir.WriteFile("README");            // no extension
  dir.WriteFile("name.");             // empty extension
  dir.WriteFile(".hidden.txt", "h");  // hidden by its leading dot
  dir.WriteFile(".profile");          // hidden, extension "profile"
  dir.WriteFile("sub/inner.txt");
  dir.WriteFile("sub/deeper/deep.txt");
  ASSERT_EQ(::mkfifo((dir.Bytes() + "pipe.fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("photo.jpg", (dir.Bytes() + "link.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("missing.jpg", (dir.Bytes() + "dangling.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("self.jpg", (dir.Bytes() + "self.jpg").c_str()), 0);  // a link loop

  struct Row {
    bool subdirectories;
    bool hidden;
    std::vector<std::string> expected;
  };
  const Row rows[] = {
      {false, false, {"link.jpg", "photo.jpg"}},
      {true, false, {"link.jpg", "photo.jpg", "sub/deeper/deep.txt", "sub/inner.txt"}},
      {false, true, {".hidden.txt", ".profile", "link.jpg", "photo.jpg"}},
  };
  for (const Row& row : rows) {
    FileList list;
    const qsizetype added = Load(dir, list, Settings(row.subdirectories, row.hidden));
    EXPECT_EQ(Loaded(list, dir), row.expected) << row.subdirectories << row.hidden;
    EXPECT_EQ(added, list.Count());
  }
}

TEST(Loader, SinglePathsFollowTheSameRules) {
  TempDir dir;
  const std::string file = dir.WriteFile("a.txt", "abc");
  dir.WriteFile("Makefile");
  ASSERT_EQ(::mkfifo((dir.Bytes() + "p.fifo").c_str(), 0644), 0);
  const Preset settings = Settings(true, false);

  FileList list;
  EXPECT_EQ(AdmitFile(Q(file), list, settings), 1);
  EXPECT_EQ(AdmitFile(Q(file), list, settings), 0);  // the same path twice
  EXPECT_EQ(AdmitFile(Q(dir.Bytes() + "p.fifo"), list, settings), 0);
  EXPECT_EQ(AdmitFile(QStringLiteral("/dev/null"), list, settings), 0);  // a device
  EXPECT_EQ(AdmitFile(Q(dir.Bytes() + "nothing.txt"), list, settings), 0);
  EXPECT_EQ(AdmitFile(dir.Path(), list, settings), 0);
  EXPECT_EQ(AdmitFile(Q(dir.Bytes() + "sub"), list, settings), 0);
  EXPECT_EQ(list.Count(), 1);

  // Line-feed separated, with empty fields, a file without extension and a missing path.
  LoadFlags flags;
  const QString paths = Q(file) + QStringLiteral("\n\n") + Q(dir.Bytes() + "Makefile") + u'\n' +
                        Q(dir.Bytes() + "gone.txt") + u'\n';
  FileList second;
  EXPECT_EQ(AddPaths(paths + paths, second, settings, flags), 1);
  EXPECT_EQ(Loaded(second, dir), std::vector<std::string>{"a.txt"});
}

TEST(Loader, DirectoryGivenWithFinalSlashAndBackslashNames) {
  TempDir dir;
  dir.WriteFile("d/a\\b.txt");  // a backslash is an ordinary character of a name here
  FileList list;
  Load(dir, list, Settings(false, false), "d/");
  ASSERT_EQ(list.Count(), 1);
  const FileEntry& e = list.At(0);
  EXPECT_EQ(e.Path(), Q(dir.Bytes() + "d/a\\b.txt"));
  EXPECT_EQ(e.Directory(), Q(dir.Bytes() + "d/"));
  EXPECT_EQ(e.Name(), QStringLiteral("a\\b"));
  // The same file handed in by itself gets the same fields.
  FileList single;
  ASSERT_EQ(AdmitFile(e.Path(), single, Settings(false, false)), 1);
  EXPECT_EQ(single.At(0).Directory(), e.Directory());
  EXPECT_EQ(single.At(0).Name(), e.Name());
}

TEST(Loader, CaseDifferentPathsAreTwoEntries) {
  TempDir dir;
  dir.WriteFile("x.txt");
  dir.WriteFile("X.TXT");
  FileList list;
  EXPECT_EQ(AdmitFile(Q(dir.Bytes() + "x.txt"), list, Settings(true, false)), 1);
  EXPECT_EQ(AdmitFile(Q(dir.Bytes() + "X.TXT"), list, Settings(true, false)), 1);
  EXPECT_EQ(Load(dir, list, Settings(true, false)), 0);  // both there already
  EXPECT_EQ(list.Count(), 2);
}

TEST(Loader, StoredDosWordHidesAndExcludes) {
  TempDir dir;
  const std::string hidden = dir.WriteFile("h.txt");
  const std::string system = dir.WriteFile("s.txt");
  dir.WriteFile("plain.txt");
  if (::setxattr(hidden.c_str(), "user.DOSATTRIB", "0x2", 3, 0) != 0 ||
      ::setxattr(system.c_str(), "user.DOSATTRIB", "0x4", 3, 0) != 0)
    GTEST_SKIP() << "no user extended attributes on this file system";
  FileList list;
  Load(dir, list, Settings(true, false));
  EXPECT_EQ(Loaded(list, dir), std::vector<std::string>{"plain.txt"});
  FileList withHidden;
  Load(dir, withHidden, Settings(true, true));
  EXPECT_EQ(Loaded(withHidden, dir), (std::vector<std::string>{"h.txt", "plain.txt"}));
}

TEST(Loader, DirectoryLinkLoopTerminates) {
  TempDir dir;
  dir.WriteFile("top/a.txt");
  dir.WriteFile("top/sub/b.txt");
  ASSERT_EQ(::symlink("..", (dir.Bytes() + "top/sub/up").c_str()), 0);
  ASSERT_EQ(::symlink(".", (dir.Bytes() + "top/self").c_str()), 0);
  FileList list;
  Load(dir, list, Settings(true, false), "top");
  EXPECT_EQ(Loaded(list, dir), (std::vector<std::string>{"top/a.txt", "top/sub/b.txt"}));
}

TEST(Loader, WalksNeverFollowLinksToFoldersButNamedLinksAreFollowed) {
  TempDir dir;
  dir.WriteFile("outside/victim.conf", "secret");
  dir.WriteFile("outside/notes.txt", "n");
  dir.WriteFile("src/a.txt");
  dir.WriteFile("src/sub/b.txt");
  ASSERT_EQ(::symlink("../outside", (dir.Bytes() + "src/link").c_str()), 0);
  ASSERT_EQ(::symlink("../outside", (dir.Bytes() + "src/link.d").c_str()), 0);  // "extension"
  ASSERT_EQ(::symlink("..", (dir.Bytes() + "src/sub/up").c_str()), 0);
  ASSERT_EQ(::symlink("/usr/include", (dir.Bytes() + "src/inc").c_str()), 0);
  ASSERT_EQ(::symlink("../outside/notes.txt", (dir.Bytes() + "src/flink.txt").c_str()), 0);
  struct Row {
    const char* label;
    std::string given;
    std::vector<std::string> expected;
  };
  const Row rows[] = {
      {"walk", "src", {"src/a.txt", "src/flink.txt", "src/sub/b.txt"}},
      {"link named directly", "src/link", {"src/link/notes.txt", "src/link/victim.conf"}},
      {"link to a file named directly", "src/flink.txt", {"src/flink.txt"}},
  };
  for (const Row& row : rows) {
    FileList list;
    Load(dir, list, Settings(true, false), row.given);
    EXPECT_EQ(Loaded(list, dir), row.expected) << row.label;
  }
  // The link to a file and its target are two entries: renaming acts on the link.
  FileList both;
  const QString paths = Q(dir.Bytes() + "src") + u'\n' + Q(dir.Bytes() + "outside");
  LoadFlags flags;
  AddPaths(paths, both, Settings(true, false), flags);
  EXPECT_EQ(Loaded(both, dir),
            (std::vector<std::string>{"outside/notes.txt", "outside/victim.conf", "src/a.txt",
                                      "src/flink.txt", "src/sub/b.txt"}));
}

TEST(Loader, OneFileUnderSeveralSpellingsIsLoadedOnce) {
  TempDir dir;
  dir.WriteFile("x/a.txt");
  dir.WriteFile("y/b.txt");
  ASSERT_EQ(::link((dir.Bytes() + "x/a.txt").c_str(), (dir.Bytes() + "y/hard.txt").c_str()), 0);
  ASSERT_EQ(::symlink("x", (dir.Bytes() + "alias").c_str()), 0);
  const std::string base = dir.Bytes();
  struct Row {
    const char* label;
    std::vector<std::string> given;
    std::vector<std::string> expected;
  };
  const Row rows[] = {
      {"folder spelled four ways",
       {base + "x", base + "x/", "/" + base + "x", base + "x/../x", base + "./x/."},
       {"x/a.txt"}},
      {"file spelled three ways",
       {base + "x/a.txt", base + "x//a.txt", base + "y/../x/a.txt"},
       {"x/a.txt"}},
      {"folder and its link", {base + "x", base + "alias"}, {"x/a.txt"}},
      {"hard links are one file", {base + "x", base + "y"}, {"x/a.txt", "y/b.txt"}},
      {"parent of a link is where it leads", {base + "alias/../y/b.txt"}, {"y/b.txt"}},
  };
  for (const Row& row : rows) {
    QString paths;
    for (const std::string& given : row.given) paths += Q(given) + u'\n';
    FileList list;
    LoadFlags flags;
    AddPaths(paths, list, Settings(true, false), flags);
    EXPECT_EQ(Loaded(list, dir), row.expected) << row.label;
  }
}

TEST(Loader, NormalPathTable) {
  TempDir dir;
  dir.MakeDir("real/inner");
  ASSERT_EQ(::symlink("real/inner", (dir.Bytes() + "deep").c_str()), 0);
  ASSERT_EQ(::symlink("missing", (dir.Bytes() + "broken").c_str()), 0);
  const std::string base = dir.Bytes();  // ends with "/"
  struct Row {
    std::string given;
    std::string expected;
  };
  const Row rows[] = {
      {"/a/b/c.txt", "/a/b/c.txt"},
      {"//a///b/./c.txt", "/a/b/c.txt"},
      {"/a/b/", "/a/b"},
      {"/a/b/..", "/a"},
      {"/../..", "/"},
      {"/", "/"},
      {"/a\\..\\b.txt", "/a\\..\\b.txt"},  // backslashes are part of the name
      {"/a/..txt/.x", "/a/..txt/.x"},
      {base + "real/inner/../x", base + "real/x"},
      // After a link ".." goes up from where the link leads.
      {base + "deep/../x", base + "real/x"},
      {base + "deep/./..", base + "real"},
      {base + "broken/../x", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(NormalPath(Q(row.given)), Q(row.expected)) << row.given;
}

TEST(Loader, KeepSubfoldersCannotClimbOutOfTheTargetFolder) {
  // "photos ../other/photos": with normal paths the common base is the folder above both, so
  // every file lands below the target folder.
  TempDir dir;
  dir.WriteFile("Desktop/photos/a.jpg");
  dir.WriteFile("other/photos/b.jpg");
  FileList list;
  LoadFlags flags;
  AddPaths(Q(dir.Bytes() + "Desktop/photos\n" + dir.Bytes() + "Desktop/photos/../../other/photos"),
           list, Settings(true, false), flags);
  EXPECT_EQ(Loaded(list, dir),
            (std::vector<std::string>{"Desktop/photos/a.jpg", "other/photos/b.jpg"}));
  for (const FileEntry& e : list) {
    EXPECT_FALSE(e.Path().contains(QStringLiteral("/../"))) << e.Path().toStdString();
    EXPECT_TRUE(e.Directory().startsWith(dir.Path())) << e.Directory().toStdString();
  }
}

// Removes a chain of folders too deep for a path: each step lifts the second folder of the
// chain up to the top and removes the first, so no path ever grows long.
void RemoveDeepChain(std::string top) {
  while (top.size() > 1 && top.back() == '/') top.pop_back();  // the spare goes beside it
  const std::string spare = top + ".next";
  for (;;) {
    const std::string child = top + "/d";
    struct stat st {};
    if (::lstat(child.c_str(), &st) != 0) break;
    const int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    if (DIR* d = ::fdopendir(fd)) {
      while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && name != "d") ::unlinkat(::dirfd(d), e->d_name, 0);
      }
      ::closedir(d);
    }
    if (::rename(child.c_str(), spare.c_str()) != 0 || ::rmdir(top.c_str()) != 0 ||
        ::rename(spare.c_str(), top.c_str()) != 0)
      break;
  }
}

TEST(Loader, TreeDeeperThanAnyLimitLoadsCompletely) {
  constexpr int kDepth = 20000;
  constexpr int kEvery = 1000;
  TempDir dir;
  const std::string top = dir.MakeDir("deep");
  // Built level by level through descriptors: the path soon exceeds what a path may hold.
  int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int level = 1; level <= kDepth; ++level) {
    ASSERT_EQ(::mkdirat(fd, "d", 0755), 0) << level;
    const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    ASSERT_GE(fd, 0) << level;
    if (level % kEvery == 0 || level == kDepth) {
      const std::string name = "f" + std::to_string(level) + ".txt";
      ::close(::openat(fd, name.c_str(), O_WRONLY | O_CREAT, 0644));
    }
  }
  ::close(fd);
  dir.WriteFile("deep/zz.txt");
  const qsizetype expected = kDepth / kEvery + 1;

  // Once as it is, once in a child with the usual limit of 1,024 open files.
  for (const bool lowLimit : {false, true}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (lowLimit) {
        const rlimit limit{1024, 1024};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(3);
      }
      FileList list;
      LoadFlags flags;
      const qsizetype added = LoadPaths(Q(top), list, Settings(true, false), flags);
      bool deepest = false;
      for (const FileEntry& e : list)
        deepest = deepest || e.Path().endsWith(QStringLiteral("/f20000.txt"));
      ::_exit(added == expected && list.Count() == expected && deepest ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "low limit " << lowLimit << ", status " << status;
  }
  RemoveDeepChain(top);
}

TEST(Loader, WideFoldersBelowTheOpenFolderLimitKeepListingOrder) {
  // Deeper than the walk keeps folders open: folders there are read to their end, closed on
  // the way down and opened again on the way back, in the middle of their listing.
  TempDir dir;
  std::string deep = "t";
  for (int level = 0; level < 70; ++level) deep += "/d";
  for (int i = 0; i < 600; ++i) dir.WriteFile(deep + "/f" + std::to_string(i) + ".txt");
  for (int sub = 0; sub < 3; ++sub) {
    const std::string subdir = deep + "/s" + std::to_string(sub);
    for (int i = 0; i < 300; ++i) dir.WriteFile(subdir + "/g" + std::to_string(i) + ".txt");
    dir.WriteFile(subdir + "/x/y/z.txt");
  }
  // What a walk in listing order must give: each folder's names in the order it lists them.
  std::vector<std::string> expected;
  const std::function<void(const std::string&)> listing = [&](const std::string& relative) {
    DIR* stream = ::opendir((dir.Bytes() + relative).c_str());
    ASSERT_NE(stream, nullptr);
    std::vector<std::string> names;
    while (const dirent* d = ::readdir(stream)) names.push_back(d->d_name);
    ::closedir(stream);
    for (const std::string& name : names) {
      if (name == "." || name == "..") continue;
      struct stat st {};
      ::lstat((dir.Bytes() + relative + "/" + name).c_str(), &st);
      if (S_ISDIR(st.st_mode))
        listing(relative + "/" + name);
      else
        expected.push_back(relative + "/" + name);
    }
  };
  listing("t");
  FileList list;
  Load(dir, list, Settings(true, false), "t");
  std::vector<std::string> loaded;
  for (const FileEntry& e : list)
    loaded.push_back(EncodeFileName(e.Path()).toStdString().substr(dir.Bytes().size()));
  EXPECT_EQ(loaded.size(), 600u + 3u * 301u);
  EXPECT_EQ(loaded, expected);
}

TEST(Loader, StopKeepsWhatWasAdmitted) {
  TempDir dir;
  for (int i = 0; i < 20; ++i) dir.WriteFile("many/f" + std::to_string(i) + ".txt");
  dir.WriteFile("later.txt");
  FileList list;
  LoadFlags flags;
  int rows = 0;
  // The window's stop command arrives while the third row is being added.
  const RowAddedFn onRow = [&](const FileEntry&) {
    if (++rows == 3) flags.LoadStop.store(1);
  };
  const QString paths = Q(dir.Bytes() + "many") + u'\n' + Q(dir.Bytes() + "later.txt");
  EXPECT_EQ(AddPaths(paths, list, Settings(true, false), flags, onRow), 3);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_FALSE(list.ContainsPath(Q(dir.Bytes() + "later.txt")));

  // A new load clears the stop request and raises and lowers the busy flag.
  FileList again;
  EXPECT_EQ(LoadPaths(paths, again, Settings(true, false), flags), 21);
  EXPECT_EQ(flags.LoadBusy.load(), 0);
  EXPECT_EQ(flags.LoadStop.load(), 0);
}

TEST(Loader, LargeFolderKeepsListingOrderAndStopsOnTime) {
  // Enough files that the folder is read in several batches, each stat'ed on several threads.
  TempDir dir;
  for (int i = 0; i < 2500; ++i) dir.WriteFile("big/n" + std::to_string(i) + ".txt");
  dir.WriteFile("big/inner/zz.txt");
  std::vector<std::string> listed;  // the order in which the folder lists its names
  DIR* stream = ::opendir((dir.Bytes() + "big").c_str());
  ASSERT_NE(stream, nullptr);
  while (const dirent* d = ::readdir(stream)) {
    const std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    listed.push_back(name == "inner" ? "big/inner/zz.txt" : "big/" + name);
  }
  ::closedir(stream);

  FileList list;
  Load(dir, list, Settings(true, false), "big");
  std::vector<std::string> loaded;
  for (const FileEntry& e : list)
    loaded.push_back(EncodeFileName(e.Path()).toStdString().substr(dir.Bytes().size()));
  EXPECT_EQ(loaded, listed);

  FileList stopped;
  LoadFlags flags;
  int rows = 0;
  const RowAddedFn onRow = [&](const FileEntry&) {
    if (++rows == 1500) flags.LoadStop.store(1);
  };
  EXPECT_EQ(AddPaths(Q(dir.Bytes() + "big"), stopped, Settings(true, false), flags, onRow), 1500);
  EXPECT_EQ(stopped.Count(), 1500);
}

TEST(Loader, AdmissionHoldsInEveryBatchOfALargeFolder) {
  // Enough names that the folder is read in many batches, whose facts and entries are made on
  // helper threads while the walk appends the batch before: the rules must hold in all of them,
  // whether or not the list held entries before the walk.
  TempDir dir;
  std::vector<std::string> admissible;  // loaded with IncludeHidden 0
  std::vector<std::string> hiddenOnly;  // loaded only with IncludeHidden 1
  for (int i = 0; i < 1100; ++i) {
    const std::string name = "big/n" + std::to_string(i) + ".txt";
    const std::string file = dir.WriteFile(name, std::string(static_cast<size_t>(i % 7), 'x'));
    if (i % 97 == 5) {
      if (::setxattr(file.c_str(), "user.DOSATTRIB", "0x4", 3, 0) != 0)
        GTEST_SKIP() << "no user extended attributes on this file system";
    } else if (i % 89 == 3) {
      ASSERT_EQ(::setxattr(file.c_str(), "user.DOSATTRIB", "0x22", 4, 0), 0);
      hiddenOnly.push_back(name);
    } else {
      admissible.push_back(name);
    }
    if (i % 50 == 7) dir.WriteFile("big/bare" + std::to_string(i));  // no extension
    if (i % 40 == 9) hiddenOnly.push_back(dir.WriteFile("big/.d" + std::to_string(i) + ".txt"));
    if (i % 60 == 11) {
      const std::string link = "big/l" + std::to_string(i) + ".txt";
      ASSERT_EQ(::symlink(("n" + std::to_string(i) + ".txt").c_str(), (dir.Bytes() + link).c_str()),
                0);
      if (i % 97 != 5) (i % 89 == 3 ? hiddenOnly : admissible).push_back(link);
    }
  }
  for (std::string& path : hiddenOnly)
    if (path.rfind(dir.Bytes(), 0) == 0) path = path.substr(dir.Bytes().size());
  dir.WriteFile("big/sub/inner.txt");
  admissible.push_back("big/sub/inner.txt");
  // A second name of n1.txt in the same folder: one file, one entry, whichever name comes first.
  ASSERT_EQ(::link((dir.Bytes() + "big/n1.txt").c_str(), (dir.Bytes() + "big/z.txt").c_str()), 0);
  dir.WriteFile("other/o.txt");

  struct Row {
    const char* label;
    bool hidden;
    std::vector<std::string> before;  // loaded one by one before the walk
  };
  const Row rows[] = {
      {"empty list", false, {}},
      {"empty list, hidden files too", true, {}},
      {"an entry of another folder", false, {"other/o.txt"}},
      {"some of the folder's own files",
       false,
       {"big/n0.txt", "big/n640.txt", "big/sub/inner.txt"}},
  };
  for (const Row& row : rows) {
    const Preset settings = Settings(true, row.hidden);
    FileList list;
    for (const std::string& path : row.before) {
      ASSERT_EQ(AdmitFile(Q(dir.Bytes() + path), list, settings), 1) << row.label;
      // Replaced since it was loaded: another file (inode) under the same path, still the
      // same entry.
      if (path == "big/n640.txt") {
        const std::string fresh = dir.WriteFile("fresh.txt", "new");
        ASSERT_EQ(::rename(fresh.c_str(), (dir.Bytes() + path).c_str()), 0);
      }
    }
    const qsizetype added = Load(dir, list, settings, "big");

    std::vector<std::string> expected = admissible;
    if (row.hidden) expected.insert(expected.end(), hiddenOnly.begin(), hiddenOnly.end());
    for (const std::string& path : row.before)
      if (path.rfind("big/", 0) != 0) expected.push_back(path);
    std::vector<std::string> loaded = Loaded(list, dir);
    // The hard link pair stands for one file under either name.
    const auto second = std::find(loaded.begin(), loaded.end(), "big/z.txt");
    const bool underFirst = std::find(loaded.begin(), loaded.end(), "big/n1.txt") != loaded.end();
    EXPECT_NE(second != loaded.end(), underFirst) << row.label;
    if (second != loaded.end()) *second = "big/n1.txt";
    std::sort(loaded.begin(), loaded.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(loaded, expected) << row.label;
    EXPECT_EQ(added + static_cast<qsizetype>(row.before.size()), list.Count()) << row.label;
  }
}

TEST(Loader, AWalkMakesTheSameEntriesAsAdmittingEachFile) {
  ZoneForTest zone("XST-2");
  TempDir dir;
  std::vector<std::string> files;
  for (int i = 0; i < 700; ++i)
    files.push_back(dir.WriteFile("w/f" + std::to_string(i) + ".a.b", std::string(i % 13, 'y')));
  files.push_back(dir.WriteFile("w/caf\xc3\xa9.txt", "z"));
  files.push_back(dir.WriteFile("w/raw\xff.txt", "zz"));  // not UTF-8
  const std::string readOnly = dir.WriteFile("w/ro.txt");
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  files.push_back(readOnly);

  FileList walked;
  Load(dir, walked, Settings(false, false), "w");
  ASSERT_EQ(walked.Count(), static_cast<qsizetype>(files.size()));
  for (const std::string& file : files) {
    FileList single;
    ASSERT_EQ(AdmitFile(Q(file), single, Settings(false, false)), 1) << file;
    const FileEntry& one = single.At(0);
    const int32_t id = walked.IdOfPath(one.Path());
    ASSERT_NE(id, 0) << file;
    const FileEntry& e = *walked.FindById(id);
    EXPECT_EQ(e.Directory(), one.Directory()) << file;
    EXPECT_EQ(e.Name(), one.Name()) << file;
    EXPECT_EQ(e.Attributes, one.Attributes) << file;
    EXPECT_EQ(e.Size, one.Size) << file;
    EXPECT_EQ(e.Created, one.Created) << file;
    EXPECT_EQ(e.Modified, one.Modified) << file;
    EXPECT_EQ(e.LastAccess, one.LastAccess) << file;
    EXPECT_EQ(e.ModifiedTime, one.ModifiedTime) << file;
    EXPECT_EQ(e.Device, one.Device) << file;
    EXPECT_EQ(e.Inode, one.Inode) << file;
  }
  // Ids follow the list order, as they did when one thread made every entry.
  for (qsizetype i = 1; i < walked.Count(); ++i)
    EXPECT_EQ(walked.At(i).Id, walked.At(i - 1).Id + 1);
}

TEST(Loader, IdsGrowAndContinueAfterClearing) {
  TempDir dir;
  dir.WriteFile("a.txt");
  dir.WriteFile("b.txt");
  FileList list;
  std::vector<int32_t> seen;
  LoadFlags flags;
  LoadPaths(dir.Path(), list, Settings(true, false), flags,
            [&](const FileEntry& e) { seen.push_back(e.Id); });
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_GT(seen[0], 0);
  EXPECT_EQ(seen[1], seen[0] + 1);
  EXPECT_EQ(LastEntryId(), seen[1]);
  list.Clear();
  Load(dir, list, Settings(true, false));
  EXPECT_EQ(list.At(0).Id, seen[1] + 1);
}

TEST(Loader, EntryFieldsAndDates) {
  ZoneForTest zone("UTC");
  TempDir dir;
  const std::string file = dir.WriteFile("report.final.pdf", std::string(1536, 'x'));
  const struct timespec times[2] = {{1173085442, 250000000}, {1000000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  FileList list;
  ASSERT_EQ(AdmitFile(Q(file), list, Settings(true, false)), 1);
  const FileEntry& e = list.At(0);
  EXPECT_EQ(e.Path(), Q(file));
  EXPECT_EQ(e.Directory(), dir.Path());
  EXPECT_EQ(e.Name(), QStringLiteral("report.final"));
  EXPECT_EQ(e.Size, 1536);
  EXPECT_EQ(e.Attributes & 0x7, 0);
  EXPECT_EQ(e.LastAccess, 1173085442);
  EXPECT_EQ(e.Modified, 1000000000);
  EXPECT_EQ(e.AccessTime, (FileTime{1173085442, 250000000}));
  EXPECT_EQ(e.ModifiedTime, (FileTime{1000000000, 123456789}));
  EXPECT_GT(e.Created, 0);
  EXPECT_EQ(e.Created, LocalDateFromUnix(e.CreatedTime.Seconds));
  EXPECT_EQ(e.Status, 0);
  EXPECT_EQ(e.Detail, 0);
  EXPECT_TRUE(e.Crc32().isEmpty() && e.Md5().isEmpty() && e.Sha1().isEmpty() &&
              e.NewPath().isEmpty());

  // In another zone the date values are the local calendar time.
  zone.Set("XST-2");
  FileList local;
  ASSERT_EQ(AdmitFile(Q(file), local, Settings(true, false)), 1);
  EXPECT_EQ(local.At(0).Modified, 1000000000 + 7200);
}

TEST(Loader, BigSparseFileHasItsTrueSize) {
  TempDir dir;
  const std::string file = dir.WriteFile("big.bin");
  const int64_t size = (int64_t{5} << 30) + 7;  // 5 GiB: past both 32-bit limits
  ASSERT_EQ(::truncate(file.c_str(), size), 0);
  FileList list;
  ASSERT_EQ(Load(dir, list, Settings(true, false)), 1);
  EXPECT_EQ(list.At(0).Size, size);
}

TEST(Loader, NonUtf8NamesLoadAndEncodeBack) {
  TempDir dir;
  const std::string latin1 = "caf\xe9.txt";  // "café" in Latin-1: not UTF-8
  const std::string broken = "x\xff\xfe.dat";
  dir.WriteFile(latin1);
  dir.WriteFile("sub\xe4/" + broken);
  FileList list;
  Load(dir, list, Settings(true, false));
  EXPECT_EQ(Loaded(list, dir), (std::vector<std::string>{latin1, "sub\xe4/" + broken}));
  // The decoded path names the same file again.
  FileList again;
  for (const FileEntry& e : list) EXPECT_EQ(AdmitFile(e.Path(), again, Settings(true, false)), 1);
  const FileEntry* cafe = nullptr;
  for (const FileEntry& e : list)
    if (e.Path().endsWith(QStringLiteral(".txt"))) cafe = &e;
  ASSERT_NE(cafe, nullptr);
  EXPECT_EQ(EncodeFileName(cafe->Name()), QByteArray("caf\xe9"));
}

TEST(Loader, UnreadableAndMissingDirectoriesAreSkipped) {
  TempDir dir;
  FileList list;
  LoadFlags flags;
  EXPECT_EQ(ScanDirectory(Q(dir.Bytes() + "nothere"), true, list, Settings(true, false), flags), 0);
  EXPECT_EQ(AddPaths(QString(), list, Settings(true, false), flags), 0);
  EXPECT_TRUE(list.IsEmpty());
}

TEST(Loader, BaseNameTable) {
  struct Row {
    const char* path;
    int limit;
    const char* expected;
  };
  const Row rows[] = {
      {"/d/report.final.pdf", -1, "report.final"},
      {"/d/a.b.c", -1, "a.b"},
      {"/d/.htaccess", -1, ".htaccess"},
      {".profile", -1, ".profile"},
      {"/d/name.", -1, "name"},
      {"/d/README", -1, "README"},
      {"/d/archive.backup", 3, "archive.backup"},
      {"/d/archive.tar", 3, "archive"},
      {"/d/..x", -1, "."},
      {"/d/dir.x\\file.txt", -1, "dir.x\\file"},  // a backslash is part of the name
      {"/dir.x/file", -1, "file"},
      {"", -1, ""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(BaseName(QString::fromUtf8(row.path), row.limit), QString::fromUtf8(row.expected))
        << row.path;
}

TEST(Loader, ExtensionTable) {
  const std::pair<const char*, const char*> rows[] = {
      {"/d/photo.JPG", "JPG"},    {"/d/a.b.c", "c"}, {"/d.x/README", ""},
      {"/d/.profile", "profile"}, {"/d/name.", ""},  {"plain", ""},
  };
  for (const auto& [path, expected] : rows)
    EXPECT_EQ(ExtensionOf(QString::fromUtf8(path)), QString::fromUtf8(expected)) << path;
}

}  // namespace

namespace {

// A file whose path is longer than the system takes is listed and counted, so that the front
// end can say so before the run refuses it; a path given that long is counted too.
TEST(Loader, PathsLongerThanTheSystemTakesAreCounted) {
  TempDir dir;
  dir.WriteFile("top/near.txt");
  const std::string level(200, 'd');
  int fd = ::open((dir.Bytes() + "top").c_str(), O_RDONLY | O_DIRECTORY);
  std::string deep = dir.Bytes() + "top";
  for (int i = 0; i < 22; ++i) {
    ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
    const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
    deep += "/" + level;
  }
  ::close(::openat(fd, "far.txt", O_WRONLY | O_CREAT, 0644));
  ::close(fd);
  struct Cleanup {
    std::string folder;
    ~Cleanup() { std::system(("rm -rf '" + folder + "'").c_str()); }
  } cleanup{dir.Bytes() + "top/" + level};

  FileList list;
  LoadFlags flags;
  flags.PathsTooLong = 5;  // from an earlier load
  LoadPaths(Q(dir.Bytes() + "top"), list, Settings(true, false), flags);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(flags.PathsTooLong.load(), 1);
  LoadPaths(Q(deep + "/far.txt\n" + dir.Bytes() + "top/near.txt"), list, Settings(true, false),
            flags);
  EXPECT_EQ(flags.PathsTooLong.load(), 1) << "the path given whole cannot even be looked at";
}

}  // namespace
