#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

struct ParseCase {
  const char* label;
  std::vector<const char*> args;
  StartupOptions expected;
};

StartupOptions With(void (*change)(StartupOptions&)) {
  StartupOptions options;
  change(options);
  return options;
}

QStringList ToList(const std::vector<const char*>& args) {
  QStringList list;
  for (const char* arg : args) list.append(QString::fromUtf8(arg));
  return list;
}

std::string Describe(const StartupOptions& o) {
  return "console=" + std::to_string(o.ConsoleMode) + " help=" + std::to_string(o.ShowHelp) +
         " preset=" + std::to_string(o.PresetIndex) +
         " ignore=" + std::to_string(o.IgnoreWarnings) + " portable=" + std::to_string(o.Portable) +
         " uninstall=" + std::to_string(o.Uninstall) + " version=" + std::to_string(o.ShowVersion) +
         " dry=" + std::to_string(o.DryRun) + " undo=" + std::to_string(o.Undo) + "/" +
         std::to_string(o.UndoRun) + " list=" + std::to_string(o.ListRuns) + " paths=[" +
         o.PendingPaths.toStdString() + "] rejected=[" +
         o.RejectedPaths.join(QLatin1Char('|')).toStdString() + "] unknown=[" +
         o.UnknownOptions.join(QLatin1Char('|')).toStdString() + "]";
}

const ParseCase kParseCases[] = {
    {"nothing", {}, StartupOptions{}},
    {"console any case", {"-console"}, With([](StartupOptions& o) { o.ConsoleMode = true; })},
    {"console upper", {"-CONSOLE"}, With([](StartupOptions& o) { o.ConsoleMode = true; })},
    {"console mixed", {"-Console"}, With([](StartupOptions& o) { o.ConsoleMode = true; })},
    {"longer word is not the option",
     {"-Consoles", "-Console2", "-Consol"},
     With([](StartupOptions& o) {
       o.UnknownOptions = {QStringLiteral("-Consoles"), QStringLiteral("-Console2"),
                           QStringLiteral("-Consol")};
     })},
    {"help implies portable", {"-Help"}, With([](StartupOptions& o) {
       o.ShowHelp = true;
       o.Portable = true;
     })},
    {"question mark", {"-?"}, With([](StartupOptions& o) {
       o.ShowHelp = true;
       o.Portable = true;
     })},
    {"double dash help", {"--HELP"}, With([](StartupOptions& o) {
       o.ShowHelp = true;
       o.Portable = true;
     })},
    {"short help", {"-h"}, With([](StartupOptions& o) {
       o.ShowHelp = true;
       o.Portable = true;
     })},
    {"version", {"--version"}, With([](StartupOptions& o) { o.ShowVersion = true; })},
    {"single dash version is unknown", {"-version"}, With([](StartupOptions& o) {
       o.UnknownOptions = {QStringLiteral("-version")};
     })},
    {"ignore warning", {"-ignorewarning"}, With([](StartupOptions& o) {
       o.IgnoreWarnings = true;
     })},
    {"plural warning is unknown", {"-IgnoreWarnings"}, With([](StartupOptions& o) {
       o.UnknownOptions = {QStringLiteral("-IgnoreWarnings")};
     })},
    {"portable", {"-PORTABLE"}, With([](StartupOptions& o) { o.Portable = true; })},
    {"uninstall", {"-Uninstall"}, With([](StartupOptions& o) { o.Uninstall = true; })},
    {"preset digit", {"-Preset=7"}, With([](StartupOptions& o) { o.PresetIndex = 7; })},
    {"preset zero", {"-preset=0"}, With([](StartupOptions& o) { o.PresetIndex = 0; })},
    {"preset letter gives zero", {"-Preset=x"}, With([](StartupOptions& o) { o.PresetIndex = 0; })},
    {"preset two digits ignored", {"-Preset=10"}, With([](StartupOptions& o) {
       o.UnknownOptions = {QStringLiteral("-Preset=10")};
     })},
    {"preset twelve is not preset one", {"-Preset=12"}, With([](StartupOptions& o) {
       o.UnknownOptions = {QStringLiteral("-Preset=12")};
     })},
    {"preset nothing ignored", {"-Preset="}, With([](StartupOptions& o) {
       o.UnknownOptions = {QStringLiteral("-Preset=")};
     })},
    {"preset without equals ignored", {"-Preset7"}, With([](StartupOptions& o) {
       o.UnknownOptions = {QStringLiteral("-Preset7")};
     })},
    {"later preset wins", {"-Preset=3", "-PRESET=5"}, With([](StartupOptions& o) {
       o.PresetIndex = 5;
     })},
    {"ignored preset keeps earlier", {"-Preset=3", "-Preset=42"}, With([](StartupOptions& o) {
       o.PresetIndex = 3;
       o.UnknownOptions = {QStringLiteral("-Preset=42")};
     })},
    {"preset non-ascii digit gives zero", {"-Preset=\xD9\xA3"}, With([](StartupOptions& o) {
       o.PresetIndex = 0;
     })},
    {"empty arguments ignored", {"", "-Console", ""}, With([](StartupOptions& o) {
       o.ConsoleMode = true;
     })},
    {"unknown dash arguments ignored", {"-x", "-", "-Preset"}, With([](StartupOptions& o) {
       o.UnknownOptions = {QStringLiteral("-x"), QStringLiteral("-"), QStringLiteral("-Preset")};
     })},
    {"dash file name from a glob is reported",
     {"-draft.txt", "notes.txt"},
     With([](StartupOptions& o) {
       o.PendingPaths = QStringLiteral("notes.txt\n");
       o.UnknownOptions = {QStringLiteral("-draft.txt")};
     })},
    {"paths in order with line feeds",
     {"b.txt", "/tmp/a b.jpg", "dir/"},
     With([](StartupOptions& o) {
       o.PendingPaths = QStringLiteral("b.txt\n/tmp/a b.jpg\ndir/\n");
     })},
    {"backslash is an ordinary character",
     {"photos\\2024\\a.jpg", "\\home\\ana\\s.txt"},
     With([](StartupOptions& o) {
       o.PendingPaths = QStringLiteral("photos\\2024\\a.jpg\n\\home\\ana\\s.txt\n");
     })},
    {"switches and paths mixed",
     {"x.txt", "-console", "-Preset=2", "y.txt", "-IgnoreWarning"},
     With([](StartupOptions& o) {
       o.ConsoleMode = true;
       o.PresetIndex = 2;
       o.IgnoreWarnings = true;
       o.PendingPaths = QStringLiteral("x.txt\ny.txt\n");
     })},
    {"help with console and paths", {"-Console", "-Help", "a.txt"}, With([](StartupOptions& o) {
       o.ConsoleMode = true;
       o.ShowHelp = true;
       o.Portable = true;
       o.PendingPaths = QStringLiteral("a.txt\n");
     })},
    {"line break in a path rejected", {"a\nb.txt", "c.txt", "d\re"}, With([](StartupOptions& o) {
       o.PendingPaths = QStringLiteral("c.txt\n");
       o.RejectedPaths = QStringList{QStringLiteral("a\nb.txt"), QStringLiteral("d\re")};
     })},
    {"undo the newest run, dry", {"-Console", "--UNDO", "--dry-run"}, With([](StartupOptions& o) {
       o.ConsoleMode = true;
       o.Undo = true;
       o.DryRun = true;
     })},
    {"undo a run by number; the later one wins",
     {"--undo=12", "--undo=000000034"},
     With([](StartupOptions& o) {
       o.Undo = true;
       o.UndoRun = 34;
     })},
    {"undo numbers that are none are reported",
     {"--undo=", "--undo=0", "--undo=x1", "--undo=1234567890", "--undo=-1"},
     With([](StartupOptions& o) {
       o.UnknownOptions = {QStringLiteral("--undo="), QStringLiteral("--undo=0"),
                           QStringLiteral("--undo=x1"), QStringLiteral("--undo=1234567890"),
                           QStringLiteral("--undo=-1")};
     })},
    {"list runs", {"--List-Runs"}, With([](StartupOptions& o) { o.ListRuns = true; })},
    {"after double dash only paths",
     {"-Console", "--", "-Help", "", "-odd name"},
     With([](StartupOptions& o) {
       o.ConsoleMode = true;
       o.PendingPaths = QStringLiteral("-Help\n-odd name\n");
     })},
};

class ParseCommandLineTable : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLineTable, GivesExpectedOptions) {
  const ParseCase& c = GetParam();
  const StartupOptions got = ParseCommandLine(ToList(c.args));
  EXPECT_EQ(Describe(got), Describe(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Rules, ParseCommandLineTable, testing::ValuesIn(kParseCases),
                         [](const testing::TestParamInfo<ParseCase>& param) {
                           std::string name = param.param.label;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

TEST(DecodeArguments, SkipsProgramAndKeepsBytesOfForeignNames) {
  const char* argv[] = {"/usr/bin/mervane", "caf\xE9.txt",
                        "Gr\xC3\xBC\xC3\x9F"
                        "e"};
  const QStringList args = DecodeArguments(3, argv);
  ASSERT_EQ(args.size(), 2);
  // A Latin-1 name is not UTF-8: it must survive as its bytes so that the file is found again.
  const StartupOptions options = ParseCommandLine(args);
  EXPECT_EQ(args[1], QString::fromUtf8("Grüße"));
  const QString first = options.PendingPaths.section(QLatin1Char('\n'), 0, 0);
  EXPECT_EQ(first.size(), 8);
  EXPECT_EQ(first.at(3).unicode(), 0xDCE9);
}

struct AbsoluteCase {
  const char* label;
  const char* pending;
  const char* expected;
};

const AbsoluteCase kAbsoluteCases[] = {
    {"empty", "", ""},
    {"absolute kept", "/data/a.jpg\n", "/data/a.jpg\n"},
    {"relative gets base", "a.jpg\nsub/b.jpg\n", "/home/u/work/a.jpg\n/home/u/work/sub/b.jpg\n"},
    {"dot slash dropped", "./a.jpg\n././b\n.//c\n",
     "/home/u/work/a.jpg\n/home/u/work/b\n/home/u/work/c\n"},
    {"dot names the base", ".\n./\n", "/home/u/work\n/home/u/work\n"},
    {"parent kept as written", "../x\n", "/home/u/work/../x\n"},
    {"hidden file is relative", ".hidden\n", "/home/u/work/.hidden\n"},
    {"mixed order kept", "/abs\nrel\n", "/abs\n/home/u/work/rel\n"},
    {"last without line feed", "a\nb", "/home/u/work/a\n/home/u/work/b"},
    {"a backslash is part of a name", "sub\\c.jpg\n\\\\server\\share\\f.txt\n",
     "/home/u/work/sub\\c.jpg\n/home/u/work/\\\\server\\share\\f.txt\n"},
    {"empty lines stay where they are", "a\n\nb\n", "/home/u/work/a\n\n/home/u/work/b\n"},
};

TEST(MakePathsAbsolute, Table) {
  for (const AbsoluteCase& c : kAbsoluteCases) {
    EXPECT_EQ(MakePathsAbsolute(QString::fromUtf8(c.pending), QStringLiteral("/home/u/work/")),
              QString::fromUtf8(c.expected))
        << c.label;
  }
}

TEST(MakePathsAbsolute, UnknownBaseLeavesPathsAlone) {
  EXPECT_EQ(MakePathsAbsolute(QStringLiteral("a\n"), QString()), QStringLiteral("a\n"));
}

TEST(DropRelativePaths, KeepsAbsoluteOnesInOrder) {
  QStringList dropped;
  EXPECT_EQ(DropRelativePaths(QStringLiteral("/a\nb\n/c d\n./e\n"), dropped),
            QStringLiteral("/a\n/c d\n"));
  EXPECT_EQ(dropped, (QStringList{QStringLiteral("b"), QStringLiteral("./e")}));
}

}  // namespace

namespace {

// "--undo=" names a run by its number: anything else stops the start (and is reported like any
// unknown option), so that a mistyped undo never becomes a run.
TEST(ParseCommandLine, AnUndoWithoutARunNumberStopsTheStart) {
  struct Case {
    const char* arg;
    bool refused;
    int64_t run;
  };
  const Case cases[] = {
      {"--undo=1", false, 1},         {"--undo=000000034", false, 34},
      {"--UNDO=7", false, 7},         {"--undo=999999999", false, 999999999},
      {"--undo=", true, 0},           {"--undo=0", true, 0},
      {"--undo=abc", true, 0},        {"--undo=-1", true, 0},
      {"--undo=1234567890", true, 0}, {"--undo= 5", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arg);
    const StartupOptions options =
        ParseCommandLine({QStringLiteral("-Console"), QString::fromUtf8(c.arg)});
    EXPECT_EQ(options.InvalidOptions.size(), c.refused ? 1 : 0);
    EXPECT_EQ(options.Undo, !c.refused);
    EXPECT_EQ(options.UndoRun, c.run);
    if (c.refused) {
      EXPECT_EQ(options.InvalidOptions.value(0), QString::fromUtf8(c.arg));
    }
  }
  EXPECT_TRUE(ParseCommandLine({QStringLiteral("-draft.txt")}).InvalidOptions.isEmpty())
      << "an unknown option is only reported";
}

}  // namespace
