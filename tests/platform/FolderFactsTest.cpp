#include "platform/FileOps.h"

#include "platform/FileName.h"
#include "support/FileChecks.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <memory>
#include <string>

// Copies inside a FolderFactsScope keep their target folder open and remember what the devices
// cannot do: they must land exactly where copies made without it land, carry the same, and let
// go of the folder at the end.

namespace {

QString Q(const std::string& bytes) {
  return DecodeFileName(bytes);
}

// How many descriptors of this process lead to `path`.
int OpenDescriptorsOf(const std::string& path) {
  char wanted[PATH_MAX];
  if (::realpath(path.c_str(), wanted) == nullptr) return -1;
  int count = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (const dirent* e = ::readdir(d)) {
      char link[PATH_MAX];
      const std::string fd = std::string("/proc/self/fd/") + e->d_name;
      const ssize_t n = ::readlink(fd.c_str(), link, sizeof link - 1);
      if (n <= 0) continue;
      link[n] = '\0';
      if (std::string(link) == wanted) ++count;
    }
    ::closedir(d);
  }
  return count;
}

std::string Xattr(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? std::string("<none>") : std::string(value, static_cast<size_t>(n));
}

TEST(FolderFactsTest, AFolderReplacedOrRemovedBetweenCopiesIsFoundAnew) {
  TempDir dir;
  const std::string from = dir.WriteFile("a.txt", "first");
  dir.WriteFile("b.txt", "second");
  dir.WriteFile("c.txt", "third");
  const std::string target = dir.Bytes() + "out";
  ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
  {
    const FolderFactsScope scope;
    ASSERT_TRUE(CopyFile(Q(from), Q(target + "/a.txt")).Ok());
    // The folder goes aside and a new one takes its name: the next copy belongs in the new one.
    ASSERT_EQ(::rename(target.c_str(), (dir.Bytes() + "aside").c_str()), 0);
    ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
    ASSERT_TRUE(CopyFile(Q(dir.Bytes() + "b.txt"), Q(target + "/b.txt")).Ok());
    EXPECT_EQ(ReadFileBytes(target + "/b.txt"), "second");
    EXPECT_NE(::access((dir.Bytes() + "aside/b.txt").c_str(), F_OK), 0);
    // Removed: the copy fails as without the scope, and works once the folder is back.
    ASSERT_EQ(::unlink((target + "/b.txt").c_str()), 0);
    ASSERT_EQ(::rmdir(target.c_str()), 0);
    EXPECT_EQ(CopyFile(Q(dir.Bytes() + "c.txt"), Q(target + "/c.txt")).Error, ENOENT);
    ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
    ASSERT_TRUE(CopyFile(Q(dir.Bytes() + "c.txt"), Q(target + "/c.txt")).Ok());
    EXPECT_EQ(ReadFileBytes(target + "/c.txt"), "third");
    EXPECT_EQ(OpenDescriptorsOf(target), 1) << "the folder is kept open while the scope lives";
  }
  EXPECT_EQ(OpenDescriptorsOf(target), 0) << "the end of the scope lets go of the folder";
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "aside/a.txt"), "first");
}

TEST(FolderFactsTest, CopiesInOneScopeCarryWhatEachFileHas) {
  TempDir dir;
  const std::string target = dir.Bytes() + "out/";
  ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
  const std::string big(3 << 20, 'x');
  struct Row {
    const char* Name;
    std::string Content;
    const char* Attribute;  // a user.* attribute to give the source, or null
  };
  const Row rows[] = {
      {"plain.txt", "no attributes", nullptr},
      {"marked.txt", "an attribute after a file without any", "0x21"},
      {"empty.txt", "", "0x20"},
      {"big.bin", big, nullptr},
      {"again.txt", "an attribute after an empty file", "0x22"},
  };
  const FolderFactsScope scope;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string from = dir.WriteFile(row.Name, row.Content);
    ::chmod(from.c_str(), 0640);
    const bool xattrs = row.Attribute != nullptr && HasXattrs(from);
    if (xattrs) ::setxattr(from.c_str(), "user.DOSATTRIB", row.Attribute, 4, 0);
    ASSERT_TRUE(CopyFile(Q(from), Q(target + row.Name)).Ok());
    EXPECT_EQ(ReadFileBytes(target + row.Name), row.Content);
    struct stat st {};
    ASSERT_EQ(::stat((target + row.Name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode_t{0640});
    if (xattrs) {
      EXPECT_EQ(Xattr(target + row.Name, "user.DOSATTRIB"), row.Attribute);
    }
  }
}

// A file that says it is empty may hold content all the same (as files of /proc do).
TEST(FolderFactsTest, AFileThatOnlySaysItIsEmptyIsCopiedWhole) {
  TempDir dir;
  struct stat st {};
  ASSERT_EQ(::stat("/proc/self/status", &st), 0);
  ASSERT_EQ(st.st_size, 0);
  for (const bool inScope : {false, true}) {
    SCOPED_TRACE(inScope ? "in a scope" : "alone");
    const std::string to = dir.Bytes() + (inScope ? "scoped" : "alone");
    std::unique_ptr<FolderFactsScope> scope;
    if (inScope) scope = std::make_unique<FolderFactsScope>();
    ASSERT_TRUE(CopyFile(QStringLiteral("/proc/self/status"), Q(to)).Ok());
    EXPECT_NE(ReadFileBytes(to).find("Pid:"), std::string::npos);
  }
}

// An empty file has nothing to copy but what it is: its permission bits (set-id bits too), its
// times to the nanosecond and its extended attributes, in a scope and alone; nothing else stays.
TEST(FolderFactsTest, AnEmptyFileIsCopiedWithItsModeTimesAndAttributes) {
  TempDir dir;
  const std::string target = dir.MakeDir("out");
  struct Row {
    const char* Name;
    mode_t Mode;
  };
  const Row rows[] = {
      {"plain", 0644},   {"private", 0600},      {"group", 0640},         {"others only", 0604},
      {"program", 0755}, {"set-user-id", 04755}, {"set-group-id", 02750}, {"sticky", 01644},
  };
  for (const bool inScope : {true, false}) {
    std::unique_ptr<FolderFactsScope> scope;
    if (inScope) scope = std::make_unique<FolderFactsScope>();
    int n = 0;
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.Name) + (inScope ? ", in a scope" : ", alone"));
      const std::string name = std::to_string(inScope) + "-" + std::to_string(n++);
      const std::string from = dir.WriteFile(name, "");
      ASSERT_EQ(::chmod(from.c_str(), row.Mode), 0);
      const timespec times[2] = {{1200000000, 123456789}, {1300000000, 987654321}};
      ASSERT_EQ(::utimensat(AT_FDCWD, from.c_str(), times, 0), 0);
      const bool xattrs = HasXattrs(from);
      if (xattrs) {
        ASSERT_EQ(::setxattr(from.c_str(), "user.DOSATTRIB", "0x22", 4, 0), 0);
      }
      const FileOpResult result = CopyFile(Q(from), Q(target + name), ExistingTarget::Refuse);
      ASSERT_TRUE(result.Ok()) << result.Error;
      struct stat st {};
      ASSERT_EQ(::lstat((target + name).c_str(), &st), 0);
      EXPECT_TRUE(S_ISREG(st.st_mode));
      EXPECT_EQ(st.st_size, 0);
      EXPECT_EQ(st.st_mode & 07777, row.Mode);
      EXPECT_EQ(st.st_atim.tv_sec, 1200000000);
      EXPECT_EQ(st.st_atim.tv_nsec, 123456789);
      EXPECT_EQ(st.st_mtim.tv_sec, 1300000000);
      EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
      if (xattrs) {
        EXPECT_EQ(Xattr(target + name, "user.DOSATTRIB"), "0x22");
      }
    }
  }
  int entries = 0;
  if (DIR* d = ::opendir(target.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.' || std::string(e->d_name).size() > 2) ++entries;
    ::closedir(d);
  }
  EXPECT_EQ(entries, 2 * static_cast<int>(std::size(rows))) << "no temporary is left";
}

// An empty copy that must not replace finds out at the rename that puts it in place: what
// stands at the target, the source itself included, stays as it is, and no temporary remains.
TEST(FolderFactsTest, AnEmptyCopyNeverReplacesWhatStandsAtItsTarget) {
  TempDir dir;
  const std::string from = dir.WriteFile("empty", "");
  const std::string taken = dir.WriteFile("out/taken", "the file already there");
  ASSERT_EQ(::mkdir((dir.Bytes() + "out/folder").c_str(), 0755), 0);
  struct Row {
    const char* Why;
    std::string To;
  };
  const Row rows[] = {
      {"a file", taken},
      {"a folder", dir.Bytes() + "out/folder"},
      {"the source itself", from},
  };
  for (const bool inScope : {true, false}) {
    std::unique_ptr<FolderFactsScope> scope;
    if (inScope) scope = std::make_unique<FolderFactsScope>();
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.Why) + (inScope ? ", in a scope" : ", alone"));
      EXPECT_EQ(CopyFile(Q(from), Q(row.To), ExistingTarget::Refuse).Error, EEXIST);
    }
  }
  EXPECT_EQ(ReadFileBytes(taken), "the file already there");
  struct stat st {};
  ASSERT_EQ(::stat(from.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 0);
  int entries = 0;
  for (const std::string& folder : {dir.Bytes(), dir.Bytes() + "out/"}) {
    if (DIR* d = ::opendir(folder.c_str())) {
      while (const dirent* e = ::readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") ++entries;
      ::closedir(d);
    }
  }
  EXPECT_EQ(entries, 4) << "empty, out, out/taken, out/folder and nothing else";
}

// Where the umask would cut permission bits the new file was made with, they are set in full
// afterwards. The umask is the process's, so a child process sets its own.
TEST(FolderFactsTest, AnEmptyCopyKeepsBitsTheUmaskWouldCut) {
  TempDir dir;
  const std::string target = dir.MakeDir("out");
  const mode_t modes[] = {0666, 0640, 0777, 0604};
  for (size_t i = 0; i < std::size(modes); ++i) {
    const std::string from = dir.WriteFile("f" + std::to_string(i), "");
    ASSERT_EQ(::chmod(from.c_str(), modes[i]), 0);
  }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::umask(027);
    const FolderFactsScope scope;
    int failed = 0;
    for (size_t i = 0; i < std::size(modes); ++i) {
      const std::string name = "f" + std::to_string(i);
      if (!CopyFile(Q(dir.Bytes() + name), Q(target + name)).Ok()) ++failed;
    }
    ::_exit(failed);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (size_t i = 0; i < std::size(modes); ++i) {
    SCOPED_TRACE(modes[i]);
    struct stat st {};
    ASSERT_EQ(::stat((target + "f" + std::to_string(i)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, modes[i]);
  }
}

}  // namespace
