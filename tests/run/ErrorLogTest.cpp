#include "run/ErrorLog.h"

#include "filelist/FileList.h"
#include "platform/FileName.h"
#include "support/TempDir.h"
#include "texts/AdditionEntries.h"
#include "texts/TextTables.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>

#include <string>
#include <utility>
#include <vector>

namespace {

// Texts with recognisable values so that the expected report can be written out in full.
class ErrorLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedProduct_ = ProductTexts;
    savedLanguage_ = LanguageTable;
    ProductTexts[0] = QStringLiteral("Mervane");
    ProductTexts[2] = QStringLiteral("Mervane");
    ProductTexts[6] = QStringLiteral("Batch Tool");
    ProductTexts[13] = QStringLiteral("banner one");
    ProductTexts[14] = QStringLiteral("banner two");
    LanguageTable[324] = QStringLiteral("Source");
    LanguageTable[325] = QStringLiteral("Target");
    LanguageTable[326] = QStringLiteral("Problem");
    LanguageTable[327] = QStringLiteral("Legend");
    for (int entry = 328; entry <= 339; ++entry)
      LanguageTable[entry] = QStringLiteral("text %1").arg(entry);
  }
  void TearDown() override {
    ProductTexts = savedProduct_;
    LanguageTable = savedLanguage_;
  }

  static FileList MakeList(const std::vector<std::pair<int, QString>>& statusAndPath) {
    FileList list;
    int32_t id = 0;
    for (const auto& [status, path] : statusAndPath) {
      FileEntry entry;
      entry.Id = ++id;
      entry.SetPath(path);
      entry.Status = static_cast<int8_t>(status);
      if (status == kStatusCopyMoveFailed) entry.SetNewPath(path + QStringLiteral(".new"));
      list.Append(entry);
    }
    return list;
  }

  static std::string Header() {
    return "\xEF\xBB\xBF"
           "Mervane - Batch Tool\r\n"
           "********************\r\n"
           "banner one\r\n"
           "banner two\r\n"
           "\r\n\r\n\r\n"
           "----------------\r\n"
           "\r\n";
  }

 private:
  std::array<QString, kProductTextCount> savedProduct_;
  std::array<QString, kLanguageTextCount> savedLanguage_;
};

std::string ToStd(const QByteArray& bytes) {
  return std::string(bytes.constData(), bytes.size());
}

TEST_F(ErrorLogTest, ReportsFailedEntriesInListOrderWithLegendInKindOrder) {
  const FileList list = MakeList({{8, "/d/a.txt"},
                                  {1, "/d/done.txt"},
                                  {2, "/d/gone.txt"},
                                  {0, "/d/untouched.txt"},
                                  {8, "/d/b.txt"},
                                  {12, "/d/odd.txt"}});
  const std::string expected =
      Header() +
      "Source: /d/a.txt\r\nTarget: /d/a.txt.new\r\nProblem: text 338\r\n\r\n"
      "Source: /d/gone.txt\r\nTarget: \r\nProblem: text 328\r\n\r\n"
      "Source: /d/b.txt\r\nTarget: /d/b.txt.new\r\nProblem: text 338\r\n\r\n"
      "Source: /d/odd.txt\r\nTarget: \r\nProblem: \r\n\r\n"
      "----------------\r\n\r\n"
      "\r\nLegend\r\n"
      "text 328\r\ntext 329\r\n\r\n"
      "text 338\r\ntext 339\r\n\r\n";
  EXPECT_EQ(ToStd(BuildErrorLog(list)), expected);
}

TEST_F(ErrorLogTest, EveryKindHasItsOwnNameAndLegendBlock) {
  const std::vector<std::pair<int, int>> kinds = {{2, 328}, {3, 330}, {4, 332},
                                                  {5, 334}, {6, 336}, {8, 338}};
  for (const auto& [status, nameEntry] : kinds) {
    const FileList list = MakeList({{status, "/x/f.dat"}});
    const std::string log = ToStd(BuildErrorLog(list));
    const std::string name = "text " + std::to_string(nameEntry);
    const std::string explanation = "text " + std::to_string(nameEntry + 1);
    EXPECT_NE(log.find("Problem: " + name + "\r\n"), std::string::npos) << status;
    EXPECT_TRUE(log.ends_with("Legend\r\n" + name + "\r\n" + explanation + "\r\n\r\n")) << status;
  }
  // Mervane's own kind, the invalid name, takes its texts from the additions table.
  {
    const std::string log = ToStd(BuildErrorLog(MakeList({{7, "/x/f.dat"}})));
    const std::string name = AdditionText(kAddStatusInvalidName).toStdString();
    const std::string explanation = AdditionText(kAddStatusInvalidNameExplanation).toStdString();
    ASSERT_FALSE(name.empty());
    EXPECT_NE(log.find("Problem: " + name + "\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with("Legend\r\n" + name + "\r\n" + explanation + "\r\n\r\n"));
  }
}

TEST_F(ErrorLogTest, AFullDiskNamesTheEntriesItNeverReached) {
  const FileList list =
      MakeList({{1, "/d/done.txt"}, {8, "/d/full.txt"}, {0, "/d/next.txt"}, {0, "/d/last.txt"}});
  const std::string notReached = AdditionText(kAddNotReachedDiskFull).toStdString();
  const std::string why = AdditionText(kAddNotReachedDiskFullExplanation).toStdString();
  ASSERT_FALSE(notReached.empty());
  const std::string expected =
      Header() +
      "Source: /d/full.txt\r\nTarget: /d/full.txt.new\r\nProblem: text 338\r\n\r\n"
      "Source: /d/next.txt\r\nTarget: \r\nProblem: " +
      notReached +
      "\r\n\r\n"
      "Source: /d/last.txt\r\nTarget: \r\nProblem: " +
      notReached +
      "\r\n\r\n"
      "----------------\r\n\r\n"
      "\r\nLegend\r\n"
      "text 338\r\ntext 339\r\n\r\n" +
      notReached + "\r\n" + why + "\r\n\r\n";
  EXPECT_EQ(ToStd(BuildErrorLog(list, true)), expected);
  // Without the stop the unprocessed entries are no failures, as before.
  EXPECT_EQ(ToStd(BuildErrorLog(list)).find("next.txt"), std::string::npos);
}

TEST_F(ErrorLogTest, NoFailureMeansNoLegend) {
  const FileList list = MakeList({{0, "/a.txt"}, {1, "/b.txt"}});
  EXPECT_EQ(ToStd(BuildErrorLog(list)), Header() + "----------------\r\n\r\n");
}

TEST_F(ErrorLogTest, StarRowIsAsLongAsTheTitle) {
  ProductTexts[0] = QStringLiteral("Zürich");  // one UTF-16 unit, two UTF-8 bytes
  ProductTexts[6] = QStringLiteral("Ä");
  const std::string log = ToStd(BuildErrorLog(FileList()));
  EXPECT_NE(log.find("Zürich - Ä\r\n**********\r\n"), std::string::npos);
}

TEST_F(ErrorLogTest, NamesAreEscapedOneLineEachAndTheReportStaysUtf8) {
  struct Row {
    std::string nameBytes;  // as the file system holds it
    const char* shown;
  };
  const Row rows[] = {
      {"/d/caf\xE9.txt", "/d/caf\\xE9.txt"},  // not UTF-8
      {"/d/Grüße.txt", "/d/Grüße.txt"},
      {"/d/x\r\nSource: /etc/passwd.txt", "/d/x\\r\\nSource: /etc/passwd.txt"},
      {"/d/tab\there\x7F.txt", "/d/tab\\there\\x7F.txt"},
      {"/d/a\\b.txt", "/d/a\\\\b.txt"},
      {"/d/line\xE2\x80\xA8sep.txt", "/d/line\\xE2\\x80\\xA8sep.txt"},
      {"/d/c1\xC2\x85.txt", "/d/c1\\xC2\\x85.txt"},
  };
  for (const Row& row : rows) {
    const FileList list = MakeList({{8, DecodeFileName(row.nameBytes)}});
    const QByteArray log = BuildErrorLog(list);
    const std::string text = ToStd(log);
    EXPECT_NE(text.find(std::string("Source: ") + row.shown + "\r\n"), std::string::npos)
        << row.shown << "\n"
        << text;
    EXPECT_NE(text.find(std::string("Target: ") + row.shown + ".new\r\n"), std::string::npos)
        << row.shown;
    // Exactly the header's lines, four per entry and the closing ones: nothing forged.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9 + 4 + 2 + 2 + 3) << row.shown;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(log);
    EXPECT_FALSE(utf8.hasError()) << row.shown;
  }
}

TEST_F(ErrorLogTest, WritingTwiceKeepsOnlyTheSecondReport) {
  TempDir dir;
  const QString path = dir.Path() + QStringLiteral("log.txt");
  ASSERT_EQ(WriteErrorLog(path, MakeList({{8, "/first.txt"}, {8, "/second.txt"}})), 1);
  const FileList second = MakeList({{2, "/third.txt"}});
  ASSERT_EQ(WriteErrorLog(path, second), 1);
  EXPECT_EQ(ReadFileBytes(path.toStdString()), ToStd(BuildErrorLog(second)));
}

TEST_F(ErrorLogTest, UncreatableReportFailsAndLeavesNothingBehind) {
  TempDir dir;
  dir.MakeDir("taken");  // a folder where the report should go
  EXPECT_EQ(WriteErrorLog(dir.Path() + QStringLiteral("taken"), MakeList({{8, "/a.txt"}})), 0);
  EXPECT_EQ(WriteErrorLog(dir.Path() + QStringLiteral("missing/log.txt"), FileList()), 0);
  EXPECT_EQ(WriteErrorLog(QString(), FileList()), 0);
  EXPECT_EQ(ReadFileBytes(dir.Bytes() + "missing/log.txt"), "");
  EXPECT_TRUE(PathExists(dir.Bytes() + "taken/"));
}

TEST_F(ErrorLogTest, DefaultPlaceIsBesideTheProgramElseTheSettingsFolder) {
  TempDir program;
  TempDir settings;
  const FileList list = MakeList({{5, "/a.txt"}});

  EXPECT_EQ(WriteDefaultErrorLog(list, program.Path(), settings.Path()),
            program.Path() + QStringLiteral("Mervane_Errorlog.txt"));
  EXPECT_EQ(ReadFileBytes(program.Bytes() + "Mervane_Errorlog.txt"), ToStd(BuildErrorLog(list)));

  // A program folder that does not take the report (here: a folder is in the way).
  TempDir blocked;
  blocked.MakeDir("Mervane_Errorlog.txt");
  EXPECT_EQ(WriteDefaultErrorLog(list, blocked.Path(), settings.Path()),
            settings.Path() + QStringLiteral("Mervane_Errorlog.txt"));
  EXPECT_EQ(ReadFileBytes(settings.Bytes() + "Mervane_Errorlog.txt"), ToStd(BuildErrorLog(list)));

  EXPECT_EQ(WriteDefaultErrorLog(list, blocked.Path(), blocked.Path()), QString());
}

TEST_F(ErrorLogTest, ALinkAtTheReportsNameIsReplacedNeverFollowed) {
  TempDir dir;
  const std::string victim = dir.WriteFile("victim.conf", "precious");
  struct Row {
    const char* label;
    std::string linkTo;
  };
  const Row rows[] = {
      {"link to a file", victim},
      {"dangling link", dir.Bytes() + "nothing-here.txt"},
  };
  const FileList list = MakeList({{8, "/a.txt"}});
  for (const Row& row : rows) {
    const std::string log = dir.Bytes() + "Mervane_Errorlog.txt";
    ::unlink(log.c_str());
    ASSERT_EQ(::symlink(row.linkTo.c_str(), log.c_str()), 0) << row.label;
    EXPECT_EQ(WriteDefaultErrorLog(list, dir.Path(), QString()),
              dir.Path() + "Mervane_Errorlog.txt")
        << row.label;
    struct stat st {};
    ASSERT_EQ(::lstat(log.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << row.label;
    EXPECT_EQ(ReadFileBytes(log), ToStd(BuildErrorLog(list))) << row.label;
    EXPECT_EQ(ReadFileBytes(victim), "precious") << row.label;
    EXPECT_FALSE(PathExists(dir.Bytes() + "nothing-here.txt")) << row.label;
  }
}

TEST_F(ErrorLogTest, ReportCutShortFailsAndKeepsTheEarlierOne) {
  TempDir dir;
  const QString path = dir.Path() + QStringLiteral("log.txt");
  const FileList small = MakeList({{2, "/a.txt"}});
  ASSERT_EQ(WriteErrorLog(path, small), 1);

  std::vector<std::pair<int, QString>> many;
  for (int i = 0; i < 200; ++i) many.push_back({8, QStringLiteral("/folder/file%1.txt").arg(i)});
  const FileList large = MakeList(many);

  // A file-size limit makes the write fail part way, as a full disk would.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const int result = WriteErrorLog(path, large);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(path.toStdString()), ToStd(BuildErrorLog(small)));
}

}  // namespace

namespace {

TEST_F(ErrorLogTest, TheStateFolderIsMadeForTheOwnerWhenTheReportGoesThere) {
  TempDir dir;
  const std::string savedState = std::getenv("XDG_STATE_HOME") ? std::getenv("XDG_STATE_HOME") : "";
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  const FileList list = MakeList({{5, "/a.txt"}});
  const struct {
    const char* label;
    const char* stateHome;  // nullptr: not set
    std::string expectedFolder;
  } rows[] = {
      {"XDG_STATE_HOME", "/state", dir.Bytes() + "state/Mervane/"},
      {"not set", nullptr, dir.Bytes() + "home/.local/state/Mervane/"},
      {"relative, so not used", "relative/state", dir.Bytes() + "home/.local/state/Mervane/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    ::setenv("HOME", (dir.Bytes() + "home").c_str(), 1);
    if (row.stateHome == nullptr)
      ::unsetenv("XDG_STATE_HOME");
    else
      ::setenv(
          "XDG_STATE_HOME",
          (row.stateHome[0] == '/' ? dir.Bytes() + (row.stateHome + 1) : row.stateHome).c_str(), 1);
    const QString folder = ErrorLogStateFolder();
    EXPECT_EQ(folder.toStdString(), row.expectedFolder);
    // No program folder given (an installed program): the report goes there, folders made.
    EXPECT_EQ(WriteDefaultErrorLog(list, QString(), folder),
              folder + QStringLiteral("Mervane_Errorlog.txt"));
    EXPECT_EQ(ReadFileBytes(row.expectedFolder + "Mervane_Errorlog.txt"),
              ToStd(BuildErrorLog(list)));
    struct stat st {};
    ASSERT_EQ(::stat(row.expectedFolder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(RemoveStateErrorLog(), 0);
    EXPECT_FALSE(PathExists(row.expectedFolder + "Mervane_Errorlog.txt"));
    EXPECT_EQ(RemoveStateErrorLog(), 0) << "nothing left to remove is no error";
  }
  ::setenv("HOME", savedHome.c_str(), 1);
  if (savedState.empty())
    ::unsetenv("XDG_STATE_HOME");
  else
    ::setenv("XDG_STATE_HOME", savedState.c_str(), 1);
}

}  // namespace
