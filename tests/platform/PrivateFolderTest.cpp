// Which folders and files count as the user's own, on real folders in a temporary folder: the
// permission cases for everyone, the owner cases where the test may give files away (root).

#include "platform/AppendFile.h"
#include "platform/PrivateFolder.h"

#include "platform/FileName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>

namespace {

QString Q(const std::string& bytes) {
  return DecodeFileName(bytes);
}

constexpr uid_t kNobody = 65534;

bool Root() {
  return ::geteuid() == 0;
}

// A state folder with the program's folder and the journal folder in it, and one journal.
struct Tree {
  Tree() {
    ::chmod(dir.Bytes().c_str(), 0755);
    ::mkdir((dir.Bytes() + "Mervane").c_str(), 0700);
    ::mkdir((dir.Bytes() + "Mervane/journal").c_str(), 0700);
    const std::string file = Journal();
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0600);
    ::close(fd);
  }
  std::string Top() const { return dir.Bytes() + "Mervane/"; }
  std::string Folder() const { return dir.Bytes() + "Mervane/journal/"; }
  std::string Journal() const { return Folder() + "00000001.journal"; }
  TempDir dir;
};

// The folder and the journal in it, checked from the program's folder down: each row changes
// one thing and names what must be said about it.
TEST(PrivateFolder, OnlyFoldersAndFilesOfTheUsersOwnCount) {
  struct Case {
    const char* what;
    std::function<void(const Tree&)> change;
    TrustProblem problem;
    const char* concerned;  // "top", "folder" or "file"
    bool needsRoot;
  };
  const Case cases[] = {
      {"all private", [](const Tree&) {}, TrustProblem::None, "", false},
      {"the journal folder open to everyone",
       [](const Tree& t) { ::chmod(t.Folder().c_str(), 0777); }, TrustProblem::WritableByOthers,
       "folder", false},
      {"the journal folder open to its group",
       [](const Tree& t) { ::chmod(t.Folder().c_str(), 0770); }, TrustProblem::WritableByOthers,
       "folder", false},
      {"the program's folder open to its group",
       [](const Tree& t) { ::chmod(t.Top().c_str(), 0775); }, TrustProblem::WritableByOthers, "top",
       false},
      {"readable by others is fine",
       [](const Tree& t) {
         ::chmod(t.Folder().c_str(), 0755);
         ::chmod(t.Journal().c_str(), 0644);
       },
       TrustProblem::None, "", false},
      {"the journal writable by others", [](const Tree& t) { ::chmod(t.Journal().c_str(), 0666); },
       TrustProblem::WritableByOthers, "file", false},
      {"the journal writable by its group",
       [](const Tree& t) { ::chmod(t.Journal().c_str(), 0620); }, TrustProblem::WritableByOthers,
       "file", false},
      {"a link in place of the journal",
       [](const Tree& t) {
         ::unlink(t.Journal().c_str());
         ::symlink("/etc/passwd", t.Journal().c_str());
       },
       TrustProblem::NotAFile, "file", false},
      {"a FIFO in place of the journal (never waited on)",
       [](const Tree& t) {
         ::unlink(t.Journal().c_str());
         ::mkfifo(t.Journal().c_str(), 0600);
       },
       TrustProblem::NotAFile, "file", false},
      {"a link in place of the journal folder",
       [](const Tree& t) {
         const std::string real = t.dir.Bytes() + "elsewhere";
         ::rename(t.Folder().c_str(), real.c_str());
         ::symlink(real.c_str(), (t.dir.Bytes() + "Mervane/journal").c_str());
       },
       TrustProblem::NotAFolder, "folder", false},
      {"the journal another user's",
       [](const Tree& t) { ::chown(t.Journal().c_str(), kNobody, kNobody); },
       TrustProblem::OtherOwner, "file", true},
      {"the journal folder another user's",
       [](const Tree& t) { ::chown(t.Folder().c_str(), kNobody, kNobody); },
       TrustProblem::OtherOwner, "folder", true},
      {"the program's folder another user's",
       [](const Tree& t) { ::chown(t.Top().c_str(), kNobody, kNobody); }, TrustProblem::OtherOwner,
       "top", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsRoot && !Root()) {
      std::cout << "[ SKIPPED  ] " << c.what << ": giving a file to another user needs root\n";
      continue;
    }
    Tree t;
    c.change(t);
    PrivateFolder folder;
    AppendFile file;
    TrustCheck check = folder.Open(Q(t.Top()), Q(t.Folder()), false);
    if (check.Ok()) check = file.Open(folder, QStringLiteral("00000001.journal"), true);
    EXPECT_EQ(check.Problem, c.problem) << check.Path.toStdString();
    EXPECT_EQ(check.Error, 0);
    const std::string concerned = std::string(c.concerned) == "top"      ? t.Top()
                                  : std::string(c.concerned) == "folder" ? t.Folder()
                                  : std::string(c.concerned) == "file"   ? t.Journal()
                                                                         : std::string();
    if (c.problem != TrustProblem::None) {
      EXPECT_EQ(check.Path, Q(concerned));
      EXPECT_FALSE(file.IsOpen()) << "nothing refused stays open";
    }
    if (c.problem == TrustProblem::OtherOwner) {
      EXPECT_EQ(check.Owner, kNobody);
    }
  }
}

// Opening with `create` makes what is missing for the owner alone, and says what stops it.
TEST(PrivateFolder, MissingFoldersAreMadePrivateAndTheirErrorsNamed) {
  TempDir dir;
  const std::string top = dir.Bytes() + "state/Mervane/";
  const std::string folder = top + "journal/";
  EXPECT_EQ(PrivateFolder::Probe(Q(top), Q(folder)).Error, 0) << "it could be made";
  EXPECT_FALSE(PathExists(dir.Bytes() + "state")) << "a probe makes nothing";
  {
    PrivateFolder opened;
    EXPECT_EQ(opened.Open(Q(top), Q(folder), false).Error, ENOENT);
    ASSERT_TRUE(opened.Open(Q(top), Q(folder), true).Ok());
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_EQ(::stat(top.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
  }

  // A file where a folder should be: the open names it, the probe too.
  TempDir other;
  other.WriteFile("state", "a file");
  const std::string blocked = other.Bytes() + "state/Mervane/journal/";
  PrivateFolder opened;
  const TrustCheck made = opened.Open(Q(other.Bytes() + "state/Mervane/"), Q(blocked), true);
  EXPECT_EQ(made.Error, ENOTDIR);
  EXPECT_EQ(made.Path, Q(other.Bytes() + "state/"));
  EXPECT_NE(PrivateFolder::Probe(Q(other.Bytes() + "state/Mervane/"), Q(blocked)).Error, 0);

  // A folder that takes no new entries. Root may write anywhere, so only others see this.
  if (!Root()) {
    TempDir readOnly;
    ::mkdir((readOnly.Bytes() + "state").c_str(), 0555);
    const std::string top2 = readOnly.Bytes() + "state/Mervane/";
    EXPECT_EQ(PrivateFolder::Probe(Q(top2), Q(top2 + "journal/")).Error, EACCES);
    PrivateFolder refused;
    EXPECT_EQ(refused.Open(Q(top2), Q(top2 + "journal/"), true).Error, EACCES)
        << "not \"No such file or directory\"";
  }
}

// A lock on the file itself: a second open of it, anywhere, is kept out while the first holds it.
TEST(PrivateFolder, AJournalLockedForWritingKeepsEveryOtherOpenOut) {
  Tree t;
  PrivateFolder folder;
  ASSERT_TRUE(folder.Open(Q(t.Top()), Q(t.Folder()), false).Ok());
  struct Case {
    AppendFile::LockKind first;
    AppendFile::LockKind second;
    int expected;
  };
  using K = AppendFile::LockKind;
  const Case cases[] = {
      {K::Exclusive, K::Exclusive, EWOULDBLOCK},
      {K::Exclusive, K::Shared, EWOULDBLOCK},
      {K::Shared, K::Exclusive, EWOULDBLOCK},
      {K::Shared, K::Shared, 0},
  };
  for (const Case& c : cases) {
    AppendFile a;
    AppendFile b;
    ASSERT_TRUE(a.Open(folder, QStringLiteral("00000001.journal"), true).Ok());
    ASSERT_TRUE(b.Open(folder, QStringLiteral("00000001.journal"), false).Ok());
    EXPECT_EQ(a.TryLock(c.first), 0);
    EXPECT_EQ(b.TryLock(c.second), c.expected);
  }
  // A new journal is locked from its creation on; closing it lets go.
  AppendFile created;
  ASSERT_EQ(created.Create(folder, QStringLiteral("00000002.journal")), 0);
  AppendFile other;
  ASSERT_TRUE(other.Open(folder, QStringLiteral("00000002.journal"), false).Ok());
  EXPECT_EQ(other.TryLock(AppendFile::LockKind::Shared), EWOULDBLOCK);
  created.Close();
  EXPECT_EQ(other.TryLock(AppendFile::LockKind::Shared), 0);
  EXPECT_EQ(created.Create(folder, QStringLiteral("00000002.journal")), EEXIST);
}

// An append that the file system stops halfway (here the file-size limit, which lets a write
// through up to the limit and refuses the rest) leaves the file as it was before that append,
// and the next append goes right after the last complete one.
TEST(PrivateFolder, AnAppendCutShortLeavesTheFileAsBeforeIt) {
  struct Case {
    rlim_t limit;  // the largest size the file may reach
    int expected;  // what the second append of 100 bytes returns
    size_t kept;   // the file's size after it
  };
  const Case cases[] = {
      {150, EFBIG, 100},  // half of it would fit: cut off again
      {100, EFBIG, 100},  // none of it fits
      {200, 0, 200},      // it fits exactly
  };
  for (const Case& c : cases) {
    Tree t;
    const std::string first(100, 'a');
    const std::string second(100, 'b');
    const std::string third(30, 'c');
    // The limit and the ignored signal stay in a child of their own.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      PrivateFolder folder;
      if (!folder.Open(Q(t.Top()), Q(t.Folder()), false).Ok()) ::_exit(10);
      AppendFile file;
      if (file.Create(folder, QStringLiteral("00000002.journal")) != 0) ::_exit(11);
      if (file.Append(first.data(), first.size()) != 0) ::_exit(12);
      ::signal(SIGXFSZ, SIG_IGN);
      rlimit before{};
      if (::getrlimit(RLIMIT_FSIZE, &before) != 0) ::_exit(13);
      rlimit limit = before;
      limit.rlim_cur = c.limit;
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(13);
      if (file.Append(second.data(), second.size()) != c.expected) ::_exit(14);
      if (::setrlimit(RLIMIT_FSIZE, &before) != 0) ::_exit(15);
      if (file.Append(third.data(), third.size()) != 0) ::_exit(16);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "limit " << c.limit;
    std::ifstream in(t.Folder() + "00000002.journal", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string expected = first + (c.expected == 0 ? second : std::string()) + third;
    EXPECT_EQ(bytes.size(), c.kept + third.size()) << "limit " << c.limit;
    EXPECT_EQ(bytes, expected) << "limit " << c.limit;
  }
}

}  // namespace
