#include "filelist/Loader.h"
#include "filelist/Prepare.h"

#include "naming/RuleRegex.h"
#include "platform/FileName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

// Filter conditions with regular expressions: on the name, the folder and the extension, letter
// case ignored or counted, searched anywhere unless anchored; one that gives up or does not
// compile takes out nothing.
namespace {

FilterCondition Condition(int kind, int op, const QString& values, int mode = kModeText) {
  return {kItemChecked, static_cast<int8_t>(kind), static_cast<int8_t>(op), values,
          static_cast<int8_t>(mode)};
}

const QString kHostileName = QString(200, u'a');

TEST(FilterRegex, ConditionsOnEveryTextKind) {
  FileEntry entry;
  entry.SetPath(QStringLiteral("/photos/2024/Holiday Caf") + QStringLiteral("e\u0301") +
                QStringLiteral(".JPG"));  // the accent decomposed, as macOS writes it
  entry.SetDirectory(QStringLiteral("/photos/2024/"));
  entry.SetName(QStringLiteral("Holiday Cafe\u0301"));
  struct Row {
    int kind;
    int op;
    const char* pattern;
    bool met;
  };
  const Row rows[] = {
      // Name: case ignored by 8 and 9, counted by 10 and 11.
      {kFilterName, kOperatorRegexMatches, "^hol", true},
      {kFilterName, kOperatorRegexMatchesCase, "^hol", false},
      {kFilterName, kOperatorRegexMatchesCase, "^Hol", true},
      {kFilterName, kOperatorRegexLacks, "^hol", false},
      {kFilterName, kOperatorRegexLacksCase, "^hol", true},
      // Found anywhere unless anchored; "|" is the expression's own alternation.
      {kFilterName, kOperatorRegexMatches, "day", true},
      {kFilterName, kOperatorRegexMatches, "^day", false},
      {kFilterName, kOperatorRegexMatches, "xyz|liday", true},
      {kFilterName, kOperatorRegexMatches, R"(^\w+ \w+$)", true},
      // The composed form on both sides: a decomposed name meets a composed pattern and the
      // other way round.
      {kFilterName, kOperatorRegexMatches, "caf\xc3\xa9$", true},
      {kFilterName, kOperatorRegexMatchesCase, "Cafe\xcc\x81$", true},
      {kFilterName, kOperatorRegexMatches, "cafe$", false},
      // Folder: the path with its final "/".
      {kFilterFolder, kOperatorRegexMatches, R"(^/photos/\d{4}/$)", true},
      {kFilterFolder, kOperatorRegexMatches, "/PHOTOS/", true},
      {kFilterFolder, kOperatorRegexMatchesCase, "/PHOTOS/", false},
      {kFilterFolder, kOperatorRegexLacks, "/raw/", true},
      // Extension, without its dot.
      {kFilterExtension, kOperatorRegexMatches, "^jpe?g$", true},
      {kFilterExtension, kOperatorRegexMatchesCase, "^jpg$", false},
      {kFilterExtension, kOperatorRegexLacksCase, "^jpg$", true},
      {kFilterExtension, kOperatorRegexMatches, "^\\.", false},
      // An expression that does not compile is met by nothing, not even by "does not match".
      {kFilterName, kOperatorRegexMatches, "ab(", false},
      {kFilterName, kOperatorRegexLacks, "ab(", false},
      {kFilterFolder, kOperatorRegexLacksCase, "[", false},
  };
  for (const Row& row : rows) {
    const FilterCondition c = Condition(row.kind, row.op, QString::fromUtf8(row.pattern));
    EXPECT_EQ(ConditionIsMet(c, entry, 1), row.met)
        << "kind " << row.kind << " op " << row.op << " " << row.pattern;
  }
  // The operators are for texts: a numeric kind with them is never met.
  EXPECT_FALSE(ConditionIsMet(Condition(kFilterSizeKiB, kOperatorRegexLacks, QStringLiteral("x")),
                              entry, 1));
}

TEST(FilterRegex, AnExpressionThatDoesNotCompileIsRefusedWithWhereItFails) {
  struct Row {
    const char* pattern;
    int op;
    qsizetype offset;  // 0-based, where the library stopped
  };
  const Row rows[] = {
      {"ab(c", kOperatorRegexMatches, 4},
      {"x[y", kOperatorRegexLacksCase, 3},
      {"(?<1a>x)", kOperatorRegexMatchesCase, 3},
      {"a{2,1}", kOperatorRegexLacks, 5},
  };
  for (const Row& row : rows) {
    const FilterCondition c = Condition(kFilterName, row.op, QString::fromUtf8(row.pattern));
    EXPECT_FALSE(ConditionIsValid(c)) << row.pattern;
    const RegexProblem problem = ConditionRegexProblem(c);
    EXPECT_TRUE(problem.Found()) << row.pattern;
    EXPECT_EQ(problem.Offset, row.offset) << row.pattern << ": " << problem.Message.toStdString();
  }
  // An empty expression is refused too; the same text as a wildcard pattern is not a problem.
  EXPECT_FALSE(ConditionIsValid(Condition(kFilterName, kOperatorRegexMatches, QString())));
  EXPECT_TRUE(ConditionIsValid(Condition(kFilterName, kOperatorContains, QStringLiteral("ab(c"))));
  EXPECT_FALSE(
      ConditionRegexProblem(Condition(kFilterName, kOperatorContains, QStringLiteral("ab(c")))
          .Found());
}

// A loaded folder of real files, filtered by the preparation pass.
struct Filtered {
  std::vector<std::string> kept;          // relative paths of the entries left in the list
  std::vector<std::string> gaveUp;        // those among them with the expression's own status
  std::vector<std::string> matcherTakes;  // what the filter of the new-name column takes out
};

Filtered Filter(const QList<FilterCondition>& conditions) {
  TempDir dir;
  for (const QString& name :
       {QStringLiteral("IMG_0001.jpg"), QStringLiteral("img_0002.JPG"), QStringLiteral("notes.txt"),
        QStringLiteral("Report 2024.pdf"), QStringLiteral("raw/IMG_0003.cr2"),
        kHostileName + QStringLiteral(".txt")})
    dir.WriteFile(EncodeFileName(name).toStdString(), "x");
  Preset settings;
  settings.IncludeSubdirectories = 1;
  settings.FilterActive = 1;
  settings.FilterConditions = conditions;
  FileList list;
  LoadFlags loadFlags;
  LoadPaths(dir.Path(), list, settings, loadFlags);
  EXPECT_EQ(list.Count(), 6);
  const auto relative = [&](const FileEntry& e) {
    return EncodeFileName(e.Path().mid(dir.Path().size())).toStdString();
  };
  Filtered result;
  const FilterMatcher matcher(settings);
  for (const FileEntry& e : list)
    if (matcher.FirstMet(e) >= 0) result.matcherTakes.push_back(relative(e));
  FileList followUp;
  RunFlags flags;
  PrepareList(list, followUp, settings, flags);
  for (const FileEntry& e : list) {
    result.kept.push_back(relative(e));
    if (e.Status == kStatusMatchGaveUp) result.gaveUp.push_back(relative(e));
  }
  for (auto* names : {&result.kept, &result.gaveUp, &result.matcherTakes})
    std::sort(names->begin(), names->end());
  return result;
}

TEST(FilterRegex, PreparingTakesOutWhatTheExpressionsMeet) {
  const std::string hostile = EncodeFileName(kHostileName).toStdString() + ".txt";
  const std::vector<std::string> all = {"IMG_0001.jpg", "Report 2024.pdf", hostile,
                                        "img_0002.JPG", "notes.txt",       "raw/IMG_0003.cr2"};
  struct Row {
    const char* name;
    QList<FilterCondition> conditions;
    std::vector<std::string> kept;
    std::vector<std::string> gaveUp;
  };
  const Row rows[] = {
      {"name, case ignored",
       {Condition(kFilterName, kOperatorRegexMatches, QStringLiteral("^img_"))},
       {"Report 2024.pdf", hostile, "notes.txt"},
       {}},
      {"name, case counts",
       {Condition(kFilterName, kOperatorRegexMatchesCase, QStringLiteral("^IMG_"))},
       {"Report 2024.pdf", hostile, "img_0002.JPG", "notes.txt"},
       {}},
      {"folder does not match: all but the raw folder go",
       {Condition(kFilterFolder, kOperatorRegexLacks, QStringLiteral("/raw/$"))},
       {"raw/IMG_0003.cr2"},
       {}},
      {"extension is not exactly jpg",
       {Condition(kFilterExtension, kOperatorRegexLacksCase, QStringLiteral("^jpg$"))},
       {"IMG_0001.jpg"},
       {}},
      {"two conditions, either takes out",
       {Condition(kFilterName, kOperatorRegexMatches, QStringLiteral("^report")),
        Condition(kFilterExtension, kOperatorRegexMatches, QStringLiteral("^t"))},
       {"IMG_0001.jpg", "img_0002.JPG", "raw/IMG_0003.cr2"},
       {}},
      // The hostile name stays with its own status, even though a later condition would have
      // taken it out; the other names are filtered as usual.
      {"an expression that gives up",
       {Condition(kFilterName, kOperatorRegexMatchesCase, QStringLiteral("(a+)+b")),
        Condition(kFilterName, kOperatorRegexMatches, QStringLiteral("^(a|notes)"))},
       {"IMG_0001.jpg", "Report 2024.pdf", hostile, "img_0002.JPG", "raw/IMG_0003.cr2"},
       {hostile}},
      {"an expression that does not compile takes out nothing",
       {Condition(kFilterName, kOperatorRegexLacks, QStringLiteral("ab("))},
       all,
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Filtered result = Filter(row.conditions);
    EXPECT_EQ(result.kept, row.kept);
    EXPECT_EQ(result.gaveUp, row.gaveUp);
    // The new-name column's filter takes out the same entries as the run.
    std::vector<std::string> takenOut;
    std::set_difference(all.begin(), all.end(), row.kept.begin(), row.kept.end(),
                        std::back_inserter(takenOut));
    EXPECT_EQ(result.matcherTakes, takenOut);
  }
}

}  // namespace
