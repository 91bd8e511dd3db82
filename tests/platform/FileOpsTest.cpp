#include "platform/FileOps.h"

#include "platform/FileName.h"
#include "support/TempDir.h"
#include "support/FileChecks.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

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

struct stat StatOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st;
}

std::string Pattern(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7919) >> 3);
  return data;
}

void SetTimes(const std::string& path, time_t seconds, long nanoseconds) {
  const timespec times[2] = {{seconds - 100, nanoseconds / 2}, {seconds, nanoseconds}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string Xattr(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? std::string("<none>") : std::string(value, static_cast<size_t>(n));
}

// A folder on another file system than the temporary folder, or empty.
class OtherFileSystemDir {
 public:
  OtherFileSystemDir() {
    std::string pattern = "/dev/shm/mervane-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return;
    path_ = pattern + "/";
  }
  ~OtherFileSystemDir() {
    if (path_.empty()) return;
    for (const std::string& name : Listing(path_)) ::unlink((path_ + name).c_str());
    ::rmdir(path_.c_str());
  }
  // Empty when there is none, or it is the same file system as `other`.
  std::string PathApartFrom(const std::string& other) const {
    if (path_.empty()) return {};
    return StatOf(path_).st_dev == StatOf(other).st_dev ? std::string() : path_;
  }

 private:
  std::string path_;
};

TEST(FileOpsTest, MoveRenamesAndKeepsContentAndTimes) {
  TempDir dir;
  const std::string from = dir.WriteFile("a.txt", "alpha");
  SetTimes(from, 1500000000, 123456789);
  const std::string to = dir.Bytes() + "b.txt";
  const FileOpResult result = MoveFile(Q(from), Q(to));
  ASSERT_TRUE(result.Ok()) << result.Error;
  EXPECT_FALSE(result.Copied);
  EXPECT_FALSE(PathExists(from));
  EXPECT_EQ(ReadFileBytes(to), "alpha");
  EXPECT_EQ(StatOf(to).st_mtim.tv_nsec, 123456789);
}

TEST(FileOpsTest, MoveNeverReplacesAnotherFile) {
  TempDir dir;
  const std::string from = dir.WriteFile("a.txt", "alpha");
  const std::string to = dir.WriteFile("b.txt", "beta");
  const std::string link = dir.Bytes() + "hardlink.txt";
  ASSERT_EQ(::link(from.c_str(), link.c_str()), 0);
  struct Row {
    const char* Why;
    std::string To;
  };
  const Row rows[] = {
      {"existing file", to},
      {"hard link of the source: another name, not another spelling", link},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    const FileOpResult result = MoveFile(Q(from), Q(row.To));
    EXPECT_EQ(result.Error, EEXIST);
    EXPECT_EQ(ReadFileBytes(from), "alpha");
  }
  EXPECT_EQ(ReadFileBytes(to), "beta");
  EXPECT_EQ(ReadFileBytes(link), "alpha");
}

TEST(FileOpsTest, MoveOntoItselfUnderAnotherSpellingSucceeds) {
  // On a case-insensitive file system "A.txt" and "a.txt" are one entry; "./" spells the same
  // entry differently on any file system and takes the same road.
  TempDir dir;
  const std::string from = dir.WriteFile("sub/a.txt", "alpha");
  const std::string respelled = dir.Bytes() + "sub/./a.txt";
  const FileOpResult result = MoveFile(Q(from), Q(respelled));
  EXPECT_TRUE(result.Ok()) << result.Error;
  EXPECT_EQ(ReadFileBytes(from), "alpha");
  EXPECT_EQ(Listing(dir.Bytes() + "sub"), std::set<std::string>{"a.txt"});
}

TEST(FileOpsTest, MoveFailuresLeaveTheSource) {
  TempDir dir;
  const std::string from = dir.WriteFile("a.txt", "alpha");
  struct Row {
    const char* Why;
    std::string From;
    std::string To;
    int Error;
  };
  const Row rows[] = {
      {"missing source", dir.Bytes() + "none.txt", dir.Bytes() + "x.txt", ENOENT},
      {"missing target folder", from, dir.Bytes() + "no/such/dir/x.txt", ENOENT},
      {"empty target", from, "", ENOENT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    EXPECT_EQ(MoveFile(Q(row.From), Q(row.To)).Error, row.Error);
    EXPECT_EQ(ReadFileBytes(from), "alpha");
  }
}

TEST(FileOpsTest, MoveAcrossFileSystemsCopiesSyncsThenRemovesSource) {
  TempDir dir;
  OtherFileSystemDir other;
  const std::string elsewhere = other.PathApartFrom(dir.Bytes());
  if (elsewhere.empty())
    GTEST_SKIP() << "no second file system (/dev/shm) apart from " << dir.Bytes();

  const std::string data = Pattern(3 << 20);
  const std::string from = elsewhere + "big.bin";
  FILE* f = std::fopen(from.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
  // Only root can give a file away; anyone else keeps their own files' owner anyway.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(from.c_str(), 4242, 4343), 0);
  }
  ::chmod(from.c_str(), 0640);
  SetTimes(from, 1400000000, 987654321);
  const bool xattrs = HasXattrs(from) && HasXattrs(dir.Bytes());
  if (xattrs) ::setxattr(from.c_str(), "user.xdg.origin.url", "http://x", 8, 0);

  const std::string to = dir.Bytes() + "big.bin";
  const FileOpResult result = MoveFile(Q(from), Q(to));
  ASSERT_TRUE(result.Ok()) << result.Error;
  EXPECT_TRUE(result.Copied);
  EXPECT_FALSE(PathExists(from));
  EXPECT_TRUE(ReadFileBytes(to) == data);
  EXPECT_EQ(StatOf(to).st_mode & 07777, mode_t{0640});
  EXPECT_EQ(StatOf(to).st_uid, root ? uid_t{4242} : ::geteuid()) << "a move keeps the owner";
  EXPECT_EQ(StatOf(to).st_mtim.tv_sec, 1400000000);
  EXPECT_EQ(StatOf(to).st_mtim.tv_nsec, 987654321);
  if (xattrs) {
    EXPECT_EQ(Xattr(to, "user.xdg.origin.url"), "http://x");
  }
  EXPECT_EQ(Listing(dir.Bytes()), std::set<std::string>{"big.bin"});
}

TEST(FileOpsTest, MoveAcrossFileSystemsNeverReplacesAndFailsCleanly) {
  TempDir dir;
  OtherFileSystemDir other;
  const std::string elsewhere = other.PathApartFrom(dir.Bytes());
  if (elsewhere.empty())
    GTEST_SKIP() << "no second file system (/dev/shm) apart from " << dir.Bytes();
  const std::string from = elsewhere + "a.txt";
  FILE* f = std::fopen(from.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const std::string data = Pattern(5 << 20);
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);

  const std::string existing = dir.WriteFile("a.txt", "keep me");
  EXPECT_EQ(MoveFile(Q(from), Q(existing)).Error, EEXIST);
  EXPECT_EQ(ReadFileBytes(existing), "keep me");
  EXPECT_TRUE(ReadFileBytes(from) == data);

  // A write that fails half-way: the source stays, nothing is left in the target folder.
  SetCopyWriteFailure(3, ENOSPC);
  const FileOpResult result = MoveFile(Q(from), Q(dir.Bytes() + "b.txt"));
  SetCopyWriteFailure(0, 0);
  EXPECT_EQ(result.Error, ENOSPC);
  EXPECT_TRUE(IsDiskFull(result.Error));
  EXPECT_TRUE(ReadFileBytes(from) == data);
  EXPECT_EQ(Listing(dir.Bytes()), std::set<std::string>{"a.txt"});
}

TEST(FileOpsTest, MoveOfALinkAcrossFileSystemsMovesTheLink) {
  TempDir dir;
  OtherFileSystemDir other;
  const std::string elsewhere = other.PathApartFrom(dir.Bytes());
  if (elsewhere.empty())
    GTEST_SKIP() << "no second file system (/dev/shm) apart from " << dir.Bytes();
  const std::string target = dir.WriteFile("target.txt", "t");
  const std::string from = elsewhere + "link";
  ASSERT_EQ(::symlink(target.c_str(), from.c_str()), 0);
  const std::string to = dir.Bytes() + "link";
  ASSERT_TRUE(MoveFile(Q(from), Q(to)).Ok());
  EXPECT_TRUE(S_ISLNK(StatOf(to).st_mode));
  EXPECT_FALSE(PathExists(from));
  EXPECT_EQ(ReadFileBytes(to), "t");
}

TEST(FileOpsTest, CopyCarriesContentModeXattrsAndTimes) {
  TempDir dir;
  struct Row {
    const char* Why;
    size_t Size;
    bool TargetExists;
  };
  const Row rows[] = {
      {"empty file, new target", 0, false},
      {"small file over an existing target", 10, true},
      {"several buffers, new target", (3 << 20) + 17, false},
      {"several buffers over an existing target", (2 << 20) + 1, true},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    const std::string data = Pattern(row.Size);
    const std::string from = dir.WriteFile("src" + std::to_string(n), data);
    ::chmod(from.c_str(), 0604);
    SetTimes(from, 1300000000, 555);
    const bool xattrs = HasXattrs(from);
    if (xattrs) ::setxattr(from.c_str(), "user.DOSATTRIB", "0x20", 4, 0);
    const std::string to = dir.Bytes() + "dst" + std::to_string(n);
    if (row.TargetExists) dir.WriteFile("dst" + std::to_string(n), "old target content, longer");
    const FileOpResult result = CopyFile(Q(from), Q(to));
    ASSERT_TRUE(result.Ok()) << result.Error;
    EXPECT_TRUE(ReadFileBytes(to) == data);
    EXPECT_TRUE(ReadFileBytes(from) == data);
    EXPECT_EQ(StatOf(to).st_mode & 07777, mode_t{0604});
    EXPECT_EQ(StatOf(to).st_mtim.tv_sec, 1300000000);
    EXPECT_EQ(StatOf(to).st_mtim.tv_nsec, 555);
    if (xattrs) {
      EXPECT_EQ(Xattr(to, "user.DOSATTRIB"), "0x20");
    }
    ++n;
  }
  std::set<std::string> expected;
  for (int i = 0; i < n; ++i) {
    expected.insert("src" + std::to_string(i));
    expected.insert("dst" + std::to_string(i));
  }
  EXPECT_EQ(Listing(dir.Bytes()), expected) << "no temporary file may be left";
}

TEST(FileOpsTest, CopyFailingHalfWayLeavesNoPartialAndKeepsTheOldTarget) {
  TempDir dir;
  const std::string data = Pattern(4 << 20);
  const std::string from = dir.WriteFile("source.bin", data);
  const std::string existing = dir.WriteFile("old.bin", "the old target");
  struct Row {
    const char* Why;
    int FailingWrite;
    int Error;
    std::string To;
  };
  const Row rows[] = {
      {"disk full on the first write, over an old target", 1, ENOSPC, existing},
      {"quota at the third write, over an old target", 3, EDQUOT, existing},
      {"I/O error on the second write, new target", 2, EIO, dir.Bytes() + "new.bin"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    SetCopyWriteFailure(row.FailingWrite, row.Error);
    const FileOpResult result = CopyFile(Q(from), Q(row.To));
    SetCopyWriteFailure(0, 0);
    EXPECT_EQ(result.Error, row.Error);
    EXPECT_EQ(IsDiskFull(result.Error), row.Error == ENOSPC || row.Error == EDQUOT);
    EXPECT_EQ(ReadFileBytes(existing), "the old target");
    EXPECT_TRUE(ReadFileBytes(from) == data);
    EXPECT_EQ(Listing(dir.Bytes()), (std::set<std::string>{"source.bin", "old.bin"}));
  }
}

TEST(FileOpsTest, CopyStoppedByAFileSizeLimitLeavesNoPartial) {
  TempDir dir;
  const std::string data = Pattern(3 << 20);
  const std::string from = dir.WriteFile("source.bin", data);
  const std::string existing = dir.WriteFile("old.bin", "the old target");

  // A real write failure from the kernel: writes past the limit fail with EFBIG once the
  // signal that would end the process is ignored.
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit limited = old;
  limited.rlim_cur = 1 << 20;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const FileOpResult over = CopyFile(Q(from), Q(existing));
  const FileOpResult fresh = CopyFile(Q(from), Q(dir.Bytes() + "new.bin"));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(over.Error, EFBIG);
  EXPECT_EQ(fresh.Error, EFBIG);
  EXPECT_EQ(ReadFileBytes(existing), "the old target");
  EXPECT_EQ(Listing(dir.Bytes()), (std::set<std::string>{"source.bin", "old.bin"}));
}

TEST(FileOpsTest, CopyRefusesWhatIsNoFileOrTheTargetItself) {
  TempDir dir;
  const std::string file = dir.WriteFile("a.txt", "alpha");
  const std::string fifo = dir.Bytes() + "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string sub = dir.MakeDir("sub");
  struct Row {
    const char* Why;
    std::string From;
    std::string To;
    int Error;
  };
  const Row rows[] = {
      {"FIFO source must not hang", fifo, dir.Bytes() + "x", EINVAL},
      {"directory source", sub, dir.Bytes() + "x", EISDIR},
      {"missing source", dir.Bytes() + "none", dir.Bytes() + "x", ENOENT},
      {"onto itself", file, file, EINVAL},
      {"onto itself under another spelling", file, dir.Bytes() + "./a.txt", EINVAL},
      {"onto a directory", file, sub.substr(0, sub.size() - 1), EISDIR},
      {"missing target folder", file, dir.Bytes() + "no/x", ENOENT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Why);
    EXPECT_EQ(CopyFile(Q(row.From), Q(row.To)).Error, row.Error);
    EXPECT_EQ(ReadFileBytes(file), "alpha");
  }
  EXPECT_EQ(Listing(dir.Bytes()), (std::set<std::string>{"a.txt", "pipe", "sub"}));
}

TEST(FileOpsTest, SameFileByDeviceAndInode) {
  TempDir dir;
  const std::string a = dir.WriteFile("a.txt", "x");
  const std::string b = dir.WriteFile("b.txt", "x");
  const std::string hard = dir.Bytes() + "hard.txt";
  ASSERT_EQ(::link(a.c_str(), hard.c_str()), 0);
  const std::string soft = dir.Bytes() + "soft.txt";
  ASSERT_EQ(::symlink(a.c_str(), soft.c_str()), 0);
  struct Row {
    std::string First;
    std::string Second;
    bool Same;
  };
  const Row rows[] = {
      {a, a, true},  {a, dir.Bytes() + "./a.txt", true},  {a, hard, true}, {a, soft, true},
      {a, b, false}, {a, dir.Bytes() + "missing", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Second);
    EXPECT_EQ(SameFile(Q(row.First), Q(row.Second)), row.Same);
  }
}

TEST(FileOpsTest, DiskFullCodes) {
  EXPECT_TRUE(IsDiskFull(ENOSPC));
  EXPECT_TRUE(IsDiskFull(EDQUOT));
  EXPECT_FALSE(IsDiskFull(EIO));
  EXPECT_FALSE(IsDiskFull(EFBIG));
  EXPECT_FALSE(IsDiskFull(0));
}

}  // namespace

namespace {

// A file of `size` bytes whose only data are a few bytes at the given offsets; the rest holes.
std::string MakeSparse(const std::string& path, off_t size, const std::vector<off_t>& dataAt) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string expected(static_cast<size_t>(size), '\0');
  for (const off_t at : dataAt) {
    const std::string chunk = "data@" + std::to_string(at);
    ::pwrite(fd, chunk.data(), chunk.size(), at);
    expected.replace(static_cast<size_t>(at), chunk.size(), chunk);
  }
  ::ftruncate(fd, size);
  ::close(fd);
  return expected;
}

TEST(FileOpsTest, CopiesAndMovesKeepHoles) {
  TempDir dir;
  OtherFileSystemDir other;
  const off_t size = off_t{16} << 20;
  struct Row {
    const char* label;
    std::vector<off_t> dataAt;
  };
  const Row rows[] = {
      {"data at both ends", {0, size - 16}},
      {"data in the middle only", {size / 2}},
      {"nothing but a hole", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const std::string source = dir.Bytes() + "sparse.img";
    const std::string expected = MakeSparse(source, size, row.dataAt);
    if (StatOf(source).st_blocks * 512 >= size) GTEST_SKIP() << "no holes on this file system";
    const std::string copy = dir.Bytes() + "copy.img";
    ASSERT_TRUE(CopyFile(Q(source), Q(copy)).Ok());
    EXPECT_TRUE(ReadFileBytes(copy) == expected);
    EXPECT_LE(StatOf(copy).st_blocks * 512, off_t{1} << 20) << "the copy was written out whole";

    const std::string elsewhere = other.PathApartFrom(dir.Bytes());
    if (!elsewhere.empty()) {
      const std::string moved = elsewhere + "moved.img";
      const FileOpResult result = MoveFile(Q(copy), Q(moved));
      ASSERT_TRUE(result.Ok()) << result.Error;
      EXPECT_TRUE(result.Copied);
      EXPECT_TRUE(ReadFileBytes(moved) == expected);
      EXPECT_LE(StatOf(moved).st_blocks * 512, off_t{1} << 20) << "the move wrote out the holes";
      ::unlink(moved.c_str());
    }
    ::unlink(copy.c_str());
  }
}

TEST(FileOpsTest, SparseCopyFailingHalfWayLeavesNoPartial) {
  TempDir dir;
  const std::string source = dir.Bytes() + "sparse.img";
  MakeSparse(source, off_t{8} << 20, {0, off_t{4} << 20});
  const std::string target = dir.WriteFile("target.img", "old");
  SetCopyWriteFailure(2, ENOSPC);
  const FileOpResult result = CopyFile(Q(source), Q(target));
  SetCopyWriteFailure(0, 0);
  EXPECT_EQ(result.Error, ENOSPC);
  EXPECT_EQ(ReadFileBytes(target), "old");
  EXPECT_EQ(Listing(dir.Bytes()), (std::set<std::string>{"sparse.img", "target.img"}));
}

// The start time of this process as the temporary names carry it.
long long OwnStartTicks() {
  const std::string stat = ReadFileBytes("/proc/self/stat");
  size_t p = stat.rfind(')');
  for (int field = 2; field < 22 && p != std::string::npos; ++field) p = stat.find(' ', p + 1);
  return p == std::string::npos ? 0 : std::atoll(stat.c_str() + p + 1);
}

pid_t EndedPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return pid;
}

TEST(FileOpsTest, TemporariesOfEndedProcessesAreSweptAndNothingElse) {
  const long long start = OwnStartTicks();
  ASSERT_GT(start, 0);
  const std::string dead = std::to_string(EndedPid());
  const std::string self = std::to_string(::getpid());
  struct Row {
    std::string name;
    bool removed;
  };
  const Row rows[] = {
      {".mervane-" + dead + "-" + std::to_string(start) + "-1-ab.tmp", true},
      {".mervane-" + dead + "-0-1-ab.tmp", true},  // start time unknown, process gone
      {".mervane-" + self + "-" + std::to_string(start + 1) + "-1-ab.tmp", true},  // pid reused
      {".mervane-" + self + "-" + std::to_string(start) + "-2-ab.tmp", false},     // still running
      {".mervane-" + self + "-0-3-ab.tmp", false},  // running, start time unknown
      {".mervane-replace-" + dead + "ab", false},   // a user's file parked aside
      {".mervane-rename-" + dead + "-1.tmp", false},
      {".mervane-" + dead + "-x-1.tmp", false},
      {"mervane-" + dead + "-1-1-ab.tmp", false},
      {".mervane-" + dead + "-1-1-ab.tmpx", false},
  };
  TempDir dir;
  for (const Row& row : rows) dir.WriteFile(row.name, "part");
  // A link or a folder with a stale name is no temporary of ours.
  const std::string staleLink = ".mervane-" + dead + "-1-9-link.tmp";
  const std::string staleFolder = ".mervane-" + dead + "-1-9-dir.tmp";
  ASSERT_EQ(::symlink("elsewhere", (dir.Bytes() + staleLink).c_str()), 0);
  dir.MakeDir(staleFolder);

  EXPECT_EQ(RemoveStaleTemporaries(dir.Path()), 3);
  for (const Row& row : rows)
    EXPECT_EQ(PathExists(dir.Bytes() + row.name), !row.removed) << row.name;
  EXPECT_TRUE(PathExists(dir.Bytes() + staleFolder));
  struct stat st {};
  EXPECT_EQ(::lstat((dir.Bytes() + staleLink).c_str(), &st), 0);
}

TEST(FileOpsTest, ACopyIntoAFolderSweepsItFirst) {
  TempDir dir;
  const std::string source = dir.WriteFile("a.txt", "alpha");
  const std::string stale = ".mervane-" + std::to_string(EndedPid()) + "-5-1-ab.tmp";
  dir.WriteFile("out/" + stale, "half a copy");
  ASSERT_TRUE(CopyFile(Q(source), Q(dir.Bytes() + "out/a.txt")).Ok());
  EXPECT_EQ(Listing(dir.Bytes() + "out"), std::set<std::string>{"a.txt"});
}

}  // namespace
