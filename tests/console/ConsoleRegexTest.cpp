// Regular-expression rules and filters through the real program in console mode: a dry run says
// what the real run then does and changes nothing, an expression that gives up on one name fails
// that file alone with its own reason, and an expression that does not compile is refused
// before any file is filtered.

#include "console/ConsoleWorld.h"

#include "filelist/Prepare.h"
#include "records/FileEntry.h"
#include "run/ErrorLog.h"
#include "texts/AdditionEntries.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

class ConsoleRegex : public ConsoleWorldTest {
 protected:
  std::string ErrorLog() const {
    const std::string name = Utf8(FileNameTitle()) + "_Errorlog.txt";
    for (const std::string& folder : {"state/" + Utf8(PlainTitle()) + "/", std::string("program/")})
      if (world_.Exists(folder + name)) return world_.Read(folder + name);
    return {};
  }

  World world_;
};

struct PlannedLine {
  int status;
  std::string source;
  std::string target;
};

// The dry run's lines "status<TAB>source<TAB>target".
std::map<std::string, PlannedLine> Planned(const std::vector<std::string>& body,
                                           const std::string& base) {
  std::map<std::string, PlannedLine> lines;
  for (const std::string& line : body) {
    const size_t first = line.find('\t');
    if (first == std::string::npos) continue;
    const size_t second = line.find('\t', first + 1);
    PlannedLine planned{std::stoi(line.substr(0, first)),
                        line.substr(first + 1, second - first - 1), line.substr(second + 1)};
    if (planned.source.rfind(base, 0) == 0) planned.source.erase(0, base.size());
    if (planned.target.rfind(base, 0) == 0) planned.target.erase(0, base.size());
    lines[planned.source] = planned;
  }
  return lines;
}

TextReplacement Replace(const char* find, const char* with, int8_t expression) {
  return {kItemChecked, QString::fromUtf8(find), QString::fromUtf8(with), expression};
}

FilterCondition Condition(int kind, int op, const char* values) {
  return {kItemChecked, static_cast<int8_t>(kind), static_cast<int8_t>(op),
          QString::fromUtf8(values), kModeText};
}

Preset RegexTask() {
  Preset p = RenamePreset("%FN%");
  p.PresetName = QStringLiteral("Regex task");
  p.NameTemplateActive = 0;
  p.ReplaceActive = 1;
  p.TextReplacements = {
      Replace(R"(^(\d{4})-(\d{2})-(\d{2}) (.+)$)", "$4 ($3.$2.$1)", kExpressionRegex),
      Replace("IMG_(?<n>[0-9]+)", "Photo ${n}", kExpressionRegex),  // case ignored: img_ too
      Replace("(a+)+b", "x", kExpressionRegexCaseSensitive),        // gives up on many "a"
      Replace("cost", "$$5", kExpressionRegex),
  };
  p.ExtRulesActive = 1;
  p.ExtensionCorrections = {
      {kItemChecked, QStringLiteral("jpe?g"), QStringLiteral("jpg"), kExpressionRegex}};
  p.FilterActive = 1;
  p.FilterConditions = {
      Condition(kFilterName, kOperatorRegexMatches, "^skip"),
      Condition(kFilterFolder, kOperatorRegexMatchesCase, "/Private/$"),
  };
  return p;
}

TEST_F(ConsoleRegex, ADryRunOfARegexTaskSaysWhatTheRealRunDoes) {
  world_.SavePresetList({RegexTask()});
  const std::string hostile(200, 'a');
  struct File {
    std::string path;
    int status;          // what the run makes of it; 0: the filter takes it out
    std::string target;  // for a renamed file
  };
  const std::vector<File> files = {
      {"in/2024-03-15 Beach.JPEG", kStatusDone, "in/Beach (15.03.2024).jpg"},
      {"in/IMG_0042.jpg", kStatusDone, "in/Photo 0042.jpg"},
      {"in/img_7.jpeg", kStatusDone, "in/Photo 7.jpg"},
      {"in/low cost.txt", kStatusDone, "in/low $5.txt"},
      {"in/private/open IMG_1.txt", kStatusDone, "in/private/open Photo 1.txt"},
      {"in/skip me.txt", 0, ""},
      {"in/Skip this too.txt", 0, ""},
      {"in/Private/secret IMG_2.txt", 0, ""},
      {"in/" + hostile + ".txt", kStatusMatchGaveUp, ""},
  };
  for (const File& file : files) world_.Dir().WriteFile("work/" + file.path, file.path);
  const std::string work = world_.Work();
  const auto before = Tree(work);

  const ChildResult dry =
      world_.Run({"-Console", "-Preset=1", "-IgnoreWarning", "--dry-run", "in"});
  EXPECT_EQ(Tree(work), before) << "a dry run changes nothing";
  EXPECT_TRUE(ErrorLog().empty()) << "and writes no report";
  const std::map<std::string, PlannedLine> planned = Planned(World::Body(dry), work);

  const ChildResult real = world_.Run({"-Console", "-Preset=1", "-IgnoreWarning", "in"});
  EXPECT_EQ(real.exitCode, dry.exitCode) << dry.out << real.out;
  EXPECT_NE(real.exitCode, 0) << "a file failed";
  const auto after = Tree(work);
  const std::string log = ErrorLog();

  for (const File& file : files) {
    SCOPED_TRACE(file.path);
    const auto line = planned.find(file.path);
    if (file.status == 0) {
      EXPECT_TRUE(line == planned.end() || line->second.status == 0) << "filtered out";
      EXPECT_EQ(world_.Read("work/" + file.path), file.path) << "left where it was";
      continue;
    }
    ASSERT_NE(line, planned.end()) << dry.out;
    EXPECT_EQ(line->second.status, file.status);
    if (file.status == kStatusDone) {
      EXPECT_EQ(line->second.target, file.target);
      EXPECT_EQ(world_.Read("work/" + line->second.target), file.path) << "renamed as predicted";
      EXPECT_FALSE(world_.Exists("work/" + file.path));
      EXPECT_EQ(log.find(file.path), std::string::npos);
    } else {
      EXPECT_EQ(world_.Read("work/" + file.path), file.path) << "the file that failed is untouched";
      EXPECT_NE(log.find(work + file.path + "\r\n"), std::string::npos) << log;
    }
  }
  // Renamed files, the untouched ones, and nothing else.
  EXPECT_EQ(after.size(), before.size());
  // The failure has its own name and explanation in the report.
  EXPECT_NE(log.find(": " + Utf8(FailureName(kStatusMatchGaveUp)) + "\r\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find(Utf8(FailureExplanation(kStatusMatchGaveUp))), std::string::npos);
  EXPECT_FALSE(FailureName(kStatusMatchGaveUp).isEmpty());
}

// An expression that does not compile stops the task before a file is filtered or planned: the
// message names the rule, the error and where it is; nothing is touched and no run is recorded.
TEST_F(ConsoleRegex, AnExpressionThatDoesNotCompileIsRefusedBeforeFiltering) {
  const struct {
    const char* Name;
    std::function<void(Preset&)> Break;
    const char* Shown;  // the faulty text, as the message quotes it
  } cases[] = {
      {"filter condition",
       [](Preset& p) {
         p.FilterConditions.append(Condition(kFilterName, kOperatorRegexLacks, "ab(c"));
       },
       "ab(c"},
      {"replace rule", [](Preset& p) { p.TextReplacements.append(Replace("x[y", "z", 1)); }, "x[y"},
      {"extension rule",
       [](Preset& p) {
         p.ExtensionCorrections.append(
             {kItemChecked, QStringLiteral("(?<n>"), QStringLiteral("jpg"), kExpressionRegex});
       },
       "(?<n>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    World world;
    Preset task = RegexTask();
    c.Break(task);
    world.SavePresetList({task});
    world.Dir().WriteFile("work/in/IMG_1.jpeg", "x");
    const auto before = Tree(world.Work());
    const ChildResult result = world.Run({"-Console", "-Preset=1", "-IgnoreWarning", "in"});
    EXPECT_NE(result.exitCode, 0);
    const std::string said = result.out + result.err;
    EXPECT_NE(said.find(c.Shown), std::string::npos) << said;
    EXPECT_NE(said.find("(at character "), std::string::npos) << "the position: " << said;
    EXPECT_EQ(said.find("IMG_1"), std::string::npos) << "no file was looked at";
    EXPECT_EQ(Tree(world.Work()), before);
    EXPECT_FALSE(PathExists(world.JournalFolder())) << "no run recorded";
  }
}

}  // namespace
