// The looks at a run's next sources taken ahead on their own thread: each stands for the file
// as it is at its path, and none stands where the run may have written in the meantime.

#include "journal/IdentityLookAhead.h"

#include "platform/FileName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace {

QByteArray Bytes(const std::string& path) {
  return QByteArray::fromStdString(path);
}

struct Sources {
  TempDir dir;
  std::vector<std::string> paths;
  std::vector<QByteArray> bytes;

  explicit Sources(int count) {
    for (int i = 0; i < count; ++i) {
      paths.push_back(dir.WriteFile("in/f" + std::to_string(i) + ".txt", std::to_string(i)));
      bytes.push_back(Bytes(paths.back()));
    }
  }
};

TEST(IdentityLookAhead, EachLookIsTheFileAtItsPathAsTheJournalWouldSeeIt) {
  Sources s(40);
  IdentityLookAhead ahead;
  ASSERT_TRUE(ahead.Start(100, s.bytes, {}));
  ahead.Complete();
  for (size_t i = 0; i < s.paths.size(); ++i) {
    const FileIdentity* looked = ahead.Find(100 + static_cast<qsizetype>(i), s.bytes[i]);
    ASSERT_NE(looked, nullptr) << i;
    const FileIdentity now = ReadFileIdentity(s.bytes[i]);
    EXPECT_TRUE(looked->SameFileUnchanged(now)) << i;
    EXPECT_EQ(looked->Mode, now.Mode);
    EXPECT_EQ(looked->Accessed, now.Accessed);
    EXPECT_EQ(looked->Born, now.Born);
  }
  // Before the first position, after the last, or at that position under another path.
  EXPECT_EQ(ahead.Find(99, s.bytes[0]), nullptr);
  EXPECT_EQ(ahead.Find(140, s.bytes[0]), nullptr);
  EXPECT_EQ(ahead.Find(101, s.bytes[0]), nullptr);
}

// Names the group before may write to, in any letter case and folder, and names written to
// while the looks were taken: no look stands for a source of such a name.
TEST(IdentityLookAhead, NoLookStandsWhereTheRunMayHaveWritten) {
  Sources s(6);
  const std::string link = s.dir.Bytes() + "in/link.txt";
  ASSERT_EQ(::symlink(s.paths[0].c_str(), link.c_str()), 0);
  std::vector<QByteArray> sources = s.bytes;
  sources.push_back(Bytes(link));
  sources.push_back(QByteArray());  // an entry the run does not act on

  IdentityLookAhead ahead;
  ASSERT_TRUE(ahead.Start(0, sources,
                          {QStringLiteral("/elsewhere/F1.TXT"),  // a target, in another case
                           QStringLiteral("f2.txt")}));          // a folder the run makes
  ahead.Touched(QStringLiteral("/some/where/f4.txt"));           // recorded on its own
  ahead.Complete();
  struct Case {
    size_t Index;
    bool Stands;
  };
  for (const Case& c : {Case{0, true}, Case{1, false}, Case{2, false}, Case{3, true},
                        Case{4, false}, Case{5, true}, Case{6, false}, Case{7, false}})
    EXPECT_EQ(ahead.Find(static_cast<qsizetype>(c.Index), sources[c.Index]) != nullptr, c.Stands)
        << c.Index;
}

// A new start drops what the last one found, and a missing file is looked at as missing.
TEST(IdentityLookAhead, ALaterStartReplacesTheLooksAndAMissingFileLooksMissing) {
  Sources s(3);
  IdentityLookAhead ahead;
  ASSERT_TRUE(ahead.Start(0, s.bytes, {}));
  ASSERT_EQ(::unlink(s.paths[2].c_str()), 0);
  ASSERT_TRUE(ahead.Start(10, {s.bytes[2], s.bytes[0]}, {}));
  ahead.Complete();
  EXPECT_EQ(ahead.Find(0, s.bytes[0]), nullptr);
  const FileIdentity* gone = ahead.Find(10, s.bytes[2]);
  ASSERT_NE(gone, nullptr);
  EXPECT_FALSE(gone->Exists());
  ASSERT_NE(ahead.Find(11, s.bytes[0]), nullptr);
  EXPECT_TRUE(ahead.Find(11, s.bytes[0])->Exists());
}

}  // namespace
