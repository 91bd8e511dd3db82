#include "journal/JournalInfo.h"

#include "journal/Journal.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using Values = QList<QPair<QString, QString>>;

TEST(JournalInfo, TheTaskInShortAsEveryFrontEndWritesIt) {
  struct Row {
    const char* what;
    bool nameTemplate;
    bool targetFolder;
    std::optional<QString> paths;
    Values expected;
  };
  const Row rows[] = {
      {"in place without a template: nothing to say", false, false, std::nullopt, {}},
      {"a template", true, false, std::nullopt, {{"NameTemplate", "%DY% %FN%"}}},
      {"a target folder, moving", false, true, std::nullopt,
       {{"TargetDirectory", "%PD%\\out\\"}, {"TargetMove", "1"}}},
      {"both, with the paths the console loaded", true, true, QStringLiteral("/a\n/b\n"),
       {{"NameTemplate", "%DY% %FN%"},
        {"TargetDirectory", "%PD%\\out\\"},
        {"TargetMove", "1"},
        {"Paths", "/a\n/b\n"}}},
      {"paths given empty are still said", false, false, QString(), {{"Paths", ""}}},
  };
  for (const Row& row : rows) {
    Preset startedFrom;
    startedFrom.PresetNumber = 4;
    startedFrom.PresetName = QStringLiteral("Fotos – März");
    Preset settings;
    settings.NameTemplateActive = row.nameTemplate ? 1 : 0;
    settings.NameTemplate = QStringLiteral("%DY% %FN%");
    settings.TargetDirActive = row.targetFolder ? 1 : 0;
    settings.TargetDirTemplate = QStringLiteral("%PD%\\out\\");
    settings.TargetMove = 1;
    const RunJournalInfo info =
        JournalInfoFor(startedFrom, settings, JournalFrontEnd::Window, 12, row.paths);
    EXPECT_EQ(info.PresetNumber, 4) << row.what;
    EXPECT_EQ(info.PresetName, startedFrom.PresetName) << row.what;
    EXPECT_EQ(info.FrontEnd, JournalFrontEnd::Window) << row.what;
    EXPECT_EQ(info.ListCount, 12u) << row.what;
    EXPECT_EQ(info.Values, row.expected) << row.what;
  }
}

// The header a run's journal starts with is what a list of runs reads back.
TEST(JournalInfo, AJournalOpenedWithItSaysSoInItsHeader) {
  TempDir dir;
  Preset startedFrom;
  startedFrom.PresetNumber = 2;
  startedFrom.PresetName = QStringLiteral("Sort photos");
  Preset settings;
  settings.NameTemplateActive = 1;
  settings.NameTemplate = QStringLiteral("%FN% [%001%]");
  settings.TargetDirActive = 0;
  RunJournal journal(dir.Path() + QStringLiteral("journal/"),
                     JournalInfoFor(startedFrom, settings, JournalFrontEnd::Console, 3,
                                    QStringLiteral("/x/\n")));
  ASSERT_EQ(journal.Open(), 0);
  const JournalSummary summary = SummarizeJournal(journal.Path());
  EXPECT_EQ(summary.Header.PresetNumber, 2);
  EXPECT_EQ(summary.Header.PresetName, QStringLiteral("Sort photos"));
  EXPECT_EQ(summary.Header.FrontEnd, JournalFrontEnd::Console);
  EXPECT_EQ(summary.Header.ListCount, 3u);
  EXPECT_EQ(summary.Header.Values,
            (Values{{"NameTemplate", "%FN% [%001%]"}, {"Paths", "/x/\n"}}));
}

}  // namespace
