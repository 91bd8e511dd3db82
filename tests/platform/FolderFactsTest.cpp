#include "platform/FileOps.h"

#include "platform/FileName.h"
#include "support/FileChecks.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace
