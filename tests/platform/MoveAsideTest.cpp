// A move across file systems removes only the very file it copied, and a removal that must
// remove one particular file removes only that one: real files on two file systems (the
// temporary folder and /dev/shm), changed by the tests at the moment the operation looks.

#include "platform/FileOps.h"

#include "platform/FileIdentity.h"
#include "platform/FileName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>

namespace {

QString Q(const std::string& bytes) {
  return DecodeFileName(bytes);
}

std::set<std::string> Listing(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    ::closedir(d);
  }
  return names;
}

void Append(const std::string& path, const std::string& more) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, more.data(), more.size()), static_cast<ssize_t>(more.size()));
  ::close(fd);
}

// An editor's save: the new version is written beside the file and renamed over it.
void SaveOver(const std::string& path, const std::string& content) {
  const std::string aside = path + ".save";
  const int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(fd);
  ASSERT_EQ(::rename(aside.c_str(), path.c_str()), 0);
}

// Keeps the same size and puts the modification time back: only the change time tells.
void OverwriteKeepingTimes(const std::string& path) {
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, "X", 1, 0), 1);
  const timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::futimens(fd, times), 0);
  ::close(fd);
}

struct OtherFileSystem {
  OtherFileSystem() {
    std::string pattern = "/dev/shm/mervane-aside-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path = pattern + "/";
  }
  ~OtherFileSystem() {
    if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
  }
  bool Apart(const std::string& from) const {
    struct stat a {
    }, b{};
    return !path.empty() && ::stat(path.c_str(), &a) == 0 && ::stat(from.c_str(), &b) == 0 &&
           a.st_dev != b.st_dev;
  }
  std::string path;
};

// Whatever happens to the source between the copy and its removal, the move fails, the source
// keeps what it holds now, and neither the copy nor a file set aside is left anywhere.
TEST(MoveAside, AMoveAcrossFileSystemsKeepsASourceThatChangedMeanwhile) {
  struct Case {
    const char* what;
    std::function<void(const std::string& source)> change;
    std::string expected;  // the source's content afterwards
  };
  const Case cases[] = {
      {"bytes appended", [](const std::string& s) { Append(s, " and more"); },
       "the original and more"},
      {"a new version saved over it", [](const std::string& s) { SaveOver(s, "version 2"); },
       "version 2"},
      {"overwritten in place, times put back",
       [](const std::string& s) { OverwriteKeepingTimes(s); }, "Xhe original"},
      {"removed", [](const std::string& s) { ::unlink(s.c_str()); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    OtherFileSystem other;
    if (!other.Apart(dir.Bytes())) GTEST_SKIP() << "no second file system (/dev/shm)";
    const std::string source = dir.WriteFile("src/a.txt", "the original");
    const std::string target = other.path + "a.txt";
    SetBeforeSourceRemovalHook([&](const QString&) { c.change(source); });
    const FileOpResult result = MoveFile(Q(source), Q(target));
    SetBeforeSourceRemovalHook({});
    EXPECT_NE(result.Error, 0);
    EXPECT_EQ(ReadFileBytes(source), c.expected);
    EXPECT_FALSE(PathExists(target)) << "the copy is taken back";
    EXPECT_EQ(Listing(other.path), std::set<std::string>{});
    std::set<std::string> left = Listing(dir.Bytes() + "src/");
    std::erase_if(left, [](const std::string& name) { return name == "a.txt"; });
    EXPECT_EQ(left, std::set<std::string>{}) << "nothing set aside stays behind";
  }
}

TEST(MoveAside, AMoveAcrossFileSystemsSetsItsSourceAsideUnderANameMadeFromItsIdentity) {
  TempDir dir;
  OtherFileSystem other;
  if (!other.Apart(dir.Bytes())) GTEST_SKIP() << "no second file system (/dev/shm)";
  const std::string source = dir.WriteFile("a.txt", "content");
  const FileIdentity before = ReadFileIdentity(Q(source));
  const QString aside = AsidePath(Q(source), before.Device, before.Inode);
  EXPECT_TRUE(aside.startsWith(dir.Path() + QStringLiteral(".mervane-aside-")));
  bool seen = false;
  SetAfterAsideHook([&](const QString&) {
    // At this moment the name is free and the file waits under its aside name.
    seen = !PathExists(source) && ReadFileIdentity(aside).SameFileAs(before);
  });
  const FileOpResult result = MoveFile(Q(source), Q(other.path + "a.txt"));
  SetAfterAsideHook({});
  EXPECT_TRUE(result.Ok()) << result.Error;
  EXPECT_TRUE(seen);
  EXPECT_EQ(ReadFileBytes(other.path + "a.txt"), "content");
  EXPECT_EQ(Listing(dir.Bytes()), std::set<std::string>{});
}

// The copy is announced before it is put in place, with the identity it then has; a veto
// leaves everything as it was.
TEST(MoveAside, ACopyIsAnnouncedBeforeItIsPutInPlaceAndMayBeStopped) {
  TempDir dir;
  OtherFileSystem other;
  const std::string source = dir.WriteFile("a.txt", "content");
  struct Case {
    const char* what;
    bool move;
    std::string folder;
  };
  std::vector<Case> cases = {{"copy", false, dir.Bytes() + "out/"}};
  if (other.Apart(dir.Bytes())) cases.push_back({"move across file systems", true, other.path});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::mkdir(c.folder.c_str(), 0755);
    const std::string target = c.folder + "a.txt";
    FileIdentity announced;
    bool placedBefore = true;
    const auto run = [&](bool allow) {
      const BeforePlaceFunction hook = [&](const FileIdentity& made) {
        announced = made;
        placedBefore = PathExists(target);
        return allow;
      };
      return c.move ? MoveFile(Q(source), Q(target), ExistingTarget::Refuse, hook)
                    : CopyFile(Q(source), Q(target), ExistingTarget::Refuse, hook);
    };
    EXPECT_EQ(run(false).Error, ECANCELED);
    EXPECT_FALSE(placedBefore);
    EXPECT_FALSE(PathExists(target));
    EXPECT_EQ(ReadFileBytes(source), "content");
    EXPECT_EQ(Listing(c.folder), std::set<std::string>{}) << "no temporary stays";

    ASSERT_TRUE(run(true).Ok());
    const FileIdentity placed = ReadFileIdentity(Q(target));
    EXPECT_TRUE(SameFile(placed, announced, {true, false, true}))
        << "the announced identity is the placed file's";
    if (c.move) dir.WriteFile("a.txt", "content");
  }
}

// A removal meant for one file removes it only while it is that file, as asked.
TEST(MoveAside, RemovingOneParticularFileLeavesAnyOther) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> meanwhile;  // between the look and the removal
    FileMatch match;
    bool removed;
  };
  const Case cases[] = {
      {"the same file", [](const std::string&) {}, {true, true, true}, true},
      {"the same file, grown (only its identity asked for)",
       [](const std::string& p) { Append(p, "+"); },
       {},
       true},
      {"the same file, grown",
       [](const std::string& p) { Append(p, "+"); },
       {true, false, false},
       false},
      {"another file under the name",
       [](const std::string& p) { SaveOver(p, "another"); },
       {},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.WriteFile("copy.txt", "made by the run");
    const FileIdentity expected = ReadFileIdentity(Q(path));
    c.meanwhile(path);
    const std::string before = ReadFileBytes(path);
    const int err = RemoveFileIfSame(Q(path), expected, c.match);
    if (c.removed) {
      EXPECT_EQ(err, 0);
      EXPECT_FALSE(PathExists(path));
    } else {
      EXPECT_EQ(err, kErrorSourceChanged);
      EXPECT_EQ(ReadFileBytes(path), before) << "left under its name";
    }
    std::set<std::string> left = Listing(dir.Bytes());
    left.erase("copy.txt");
    EXPECT_EQ(left, std::set<std::string>{});
  }

  // A file changed at the very moment it is set aside goes back under its name.
  TempDir dir;
  const std::string path = dir.WriteFile("copy.txt", "made by the run");
  const FileIdentity expected = ReadFileIdentity(Q(path));
  SetAfterAsideHook([&](const QString& aside) {
    (void)aside;
    const QString set = AsidePath(Q(path), expected.Device, expected.Inode);
    Append(EncodeFileName(set).toStdString(), " and the user's words");
  });
  EXPECT_EQ(RemoveFileIfSame(Q(path), expected, {true, true, false}), kErrorSourceChanged);
  SetAfterAsideHook({});
  EXPECT_EQ(ReadFileBytes(path), "made by the run and the user's words");
  EXPECT_EQ(Listing(dir.Bytes()), std::set<std::string>{"copy.txt"});
}

}  // namespace
