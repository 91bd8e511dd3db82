#include "fileops/TargetBuilder.h"

#include "naming/Placeholders.h"
#include "platform/FileName.h"
#include "platform/LocalTime.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// Folders that exist nowhere, so the counter probes find every number free.
const QString kSource = QStringLiteral("/nonexistent-mervane/src/");
const QString kTarget = QStringLiteral("/nonexistent-mervane/out/");

FileEntry Entry(const QString& path) {
  FileEntry entry;
  entry.Id = 1;
  entry.SetPath(path);
  entry.SetDirectory(path.left(path.lastIndexOf(QLatin1Char('/')) + 1));
  const QString file = path.mid(entry.Directory().size());
  const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
  entry.SetName(dot > 0 ? file.left(dot) : file);
  entry.Modified = DateFromParts({2007, 3, 5, 9, 4, 2});
  entry.Size = 2048;
  return entry;
}

struct Row {
  const char* what;
  QString sourcePath;
  std::function<void(Preset&)> configure;
  QString preparedName;  // as the run prepares it ("" when no name is built)
  QString preparedDir;   // as the run prepares it ("" without a target folder)
  bool relative = false;
  QString commonBase;
  QString expectedPath;
  QString expectedExtension;
  int32_t expectedCounter = -1;
};

TEST(TargetBuilder, BuildsFolderNameAndExtensionWithoutTouchingFiles) {
  const std::vector<Row> rows = {
      {"untouched name, extension lower-cased", kSource + "Photo.JPG",
       [](Preset& s) { s.TargetDirActive = 0, s.ExtCaseActive = 1, s.ExtCaseMode = 0; }, "", "",
       false, "", kSource + "Photo.jpg", "jpg"},
      {"extension upper-cased", kSource + "a.b.txt",
       [](Preset& s) { s.TargetDirActive = 0, s.ExtCaseActive = 1, s.ExtCaseMode = 1; }, "", "",
       false, "", kSource + "a.b.TXT", "TXT"},
      {"a name whose only dot opens it has no extension", kSource + ".profile",
       [](Preset& s) { s.TargetDirActive = 0, s.NameTemplateActive = 1; }, "%FN%_x", "", false, "",
       kSource + ".profile_x", ""},
      {"no extension, no final dot", kSource + "README",
       [](Preset& s) { s.TargetDirActive = 0, s.NameTemplateActive = 1; }, "%FN%_x", "", false, "",
       kSource + "README_x", ""},
      {"counter and name", kSource + "a.txt",
       [](Preset& s) { s.TargetDirActive = 0, s.NameTemplateActive = 1; }, "(%001%) %FN%", "",
       false, "", kSource + "(001) a.txt", "txt", 1},
      {"counter start and width from the template", kSource + "a.txt",
       [](Preset& s) { s.TargetDirActive = 0, s.NameTemplateActive = 1; }, "%FN%-%0042%", "", false,
       "", kSource + "a-0042.txt", "txt", 42},
      {"date placeholders in name and folder", kSource + "img.jpg",
       [](Preset& s) { s.NameTemplateActive = 1, s.TargetMove = 1; },
       "%DY%-%DM%-%DD%_%DH%-%DI%-%DS% %FN%", kTarget + "%DY%/%DM%/", false, "",
       kTarget + "2007/03/2007-03-05_09-04-02 img.jpg", "jpg"},
      {"size placeholders", kSource + "s.bin",
       [](Preset& s) { s.TargetDirActive = 0, s.NameTemplateActive = 1; }, "%FN% %FSK%K %FSM%M", "",
       false, "", kSource + "s 2K 0M.bin", "bin"},
      {"copy into a folder keeps the name", kSource + "a.txt", [](Preset&) {}, "", kTarget, false,
       "", kTarget + "a.txt", "txt"},
      {"a backslash in a folder template separates folders", kSource + "a.txt", [](Preset&) {}, "",
       "/nonexistent-mervane\\out\\deep\\", false, "", "/nonexistent-mervane/out/deep/a.txt",
       "txt"},
      {"the file's own folder is not doubled", kSource + "a.txt", [](Preset&) {}, "", "/", true, "",
       kSource + "a.txt", "txt"},
      {"a folder below the file's own", kSource + "a.txt", [](Preset&) {}, "", "Sorted/", true, "",
       kSource + "Sorted/a.txt", "txt"},
      {"subfolders below the common base are recreated", "/nonexistent-mervane/src/x/y/a.txt",
       [](Preset& s) { s.KeepSubfolders = 1; }, "", kTarget, false, kSource, kTarget + "x/y/a.txt",
       "txt"},
      {"transformations stand in for the name", kSource + "hello world.txt",
       [](Preset& s) {
         s.TargetDirActive = 0, s.InsertActive = 1, s.InsertText = "new ", s.InsertPosition = 1;
         s.CaseActive = 1, s.CaseMode = 1;
       },
       "%FN%", "", false, "", kSource + "NEW HELLO WORLD.txt", "txt"},
      {"a transformed name cannot bring the name placeholder back", kSource + "a%fn%b.txt",
       [](Preset& s) { s.TargetDirActive = 0, s.CaseActive = 1, s.CaseMode = 0; }, "[%FN%]", "",
       false, "", kSource + "[ab].txt", "txt"},
      {"the transformed name also enters the folder", kSource + "Report.pdf",
       [](Preset& s) { s.CaseActive = 1, s.CaseMode = 0, s.TargetMove = 1; }, "%FN%",
       kTarget + "%FN%/", false, "", kTarget + "report/report.pdf", "pdf"},
      {"extension rules in list order", kSource + "pic.JPEG",
       [](Preset& s) {
         s.TargetDirActive = 0, s.ExtRulesActive = 1;
         s.ExtensionCorrections = {{kItemChecked, "jpeg|jpe", "jpg"},
                                   {0, "jpg", "never"},
                                   {kItemChecked, "jpg", "jpeg2"}};
       },
       "", "", false, "", kSource + "pic.jpeg2", "jpeg2"},
      {"percent signs in a name are kept", kSource + "50% off %x%.txt",
       [](Preset& s) { s.TargetDirActive = 0, s.NameTemplateActive = 1; }, "%FN%!", "", false, "",
       kSource + "50% off %x%!.txt", "txt"},
  };

  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Preset settings;
    row.configure(settings);
    const TargetPlan plan =
        PlanTargets(settings, row.preparedName, row.preparedDir, row.relative, row.commonBase);
    CounterMap counters(plan.CounterStart, plan.CounterWidth, settings.CounterPerDirectory != 0);
    const Target target = BuildTarget(Entry(row.sourcePath), settings, plan, counters);
    EXPECT_EQ(target.Path, row.expectedPath);
    EXPECT_EQ(target.Extension, row.expectedExtension);
    EXPECT_EQ(target.Directory + target.Name +
                  (target.Extension.isEmpty() ? QString() : "." + target.Extension),
              target.Path);
    EXPECT_EQ(target.CreateDirectory, settings.TargetDirActive != 0);
    EXPECT_EQ(target.Counter.Number, row.expectedCounter);
  }
}

TEST(TargetBuilder, CounterNumbersFollowOnAndRestartPerFolder) {
  struct Case {
    bool perDirectory;
    std::vector<int32_t> expected;
  };
  for (const Case& c : {Case{false, {1, 2, 3}}, Case{true, {1, 1, 2}}}) {
    Preset settings;
    settings.NameTemplateActive = 1;
    settings.TargetMove = 1;
    settings.CounterPerDirectory = c.perDirectory;
    const TargetPlan plan = PlanTargets(settings, "%FN% %001%", kTarget + "%DY%/", false, {});
    CounterMap counters(plan.CounterStart, plan.CounterWidth, c.perDirectory);
    std::vector<int32_t> numbers;
    for (int year : {2007, 2008, 2008}) {
      FileEntry entry = Entry(kSource + "a.txt");
      entry.Modified = DateFromParts({year, 1, 1, 0, 0, 0});
      numbers.push_back(BuildTarget(entry, settings, plan, counters).Counter.Number);
    }
    EXPECT_EQ(numbers, c.expected) << "per directory " << c.perDirectory;
  }
}

TEST(TargetBuilder, TakenNumbersAreSkippedAndNothingIsCreated) {
  TempDir dir;
  dir.WriteFile("out/001.txt", "x");
  dir.MakeDir("out/002.txt");  // a folder takes a number too
  Preset settings;
  settings.NameTemplateActive = 1;
  const QString out = dir.Path() + "out/";
  const QString missing = dir.Path() + "not/yet/";
  for (const QString& folder : {out, missing}) {
    const TargetPlan plan = PlanTargets(settings, "%001%", folder, false, {});
    CounterMap counters(plan.CounterStart, plan.CounterWidth, false);
    const Target target = BuildTarget(Entry(kSource + "a.txt"), settings, plan, counters);
    EXPECT_EQ(target.Path, folder + (folder == out ? "003.txt" : "001.txt"));
  }
  EXPECT_FALSE(PathExists(dir.Bytes() + "not"));
}

TEST(TargetBuilder, ExtensionOfAFileName) {
  const std::vector<std::pair<QString, QString>> rows = {
      {"a.txt", "txt"}, {"a.b.c", "c"}, {".profile", ""}, {"..x", "x"},
      {"README", ""},   {"name.", ""},  {"", ""},         {".a.b", "b"},
  };
  for (const auto& [name, extension] : rows)
    EXPECT_EQ(TargetExtension(name), extension) << name.toStdString();
}

}  // namespace

namespace {

// A new name that would hide a visible file (it begins with "." where the old one did not) is
// no usable name; a hidden file may keep a hidden name, and a "." inside a name is just a dot.
TEST(TargetBuilder, ANameThatWouldHideAVisibleFileIsInvalid) {
  struct Case {
    const char* what;
    QString source;
    QString nameTemplate;  // "" for the name as it is
    QList<TextReplacement> rules;
    QString expected;
    bool invalid;
  };
  const Case cases[] = {
      {"a rule turns x.txt into ..txt",
       kSource + "x.txt",
       "",
       {{kItemChecked, "x", "."}},
       kSource + "..txt",
       true},
      {"a template puts a dot first", kSource + "a.txt", ".%FN%", {}, kSource + ".a.txt", true},
      {"a template folder part stays visible, the file does not",
       kSource + "a.txt",
       "sub/.%FN%",
       {},
       kSource + "sub/.a.txt",
       true},
      {"a hidden file stays hidden",
       kSource + ".bashrc",
       "%FN%-old",
       {},
       kSource + ".bashrc-old",
       false},
      {"a hidden file's rule may keep the dot",
       kSource + ".x.conf",
       "",
       {{kItemChecked, "x", "y"}},
       kSource + ".y.conf",
       false},
      {"a dot inside is fine", kSource + "a.txt", "%FN%.v2", {}, kSource + "a.v2.txt", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Preset settings;
    settings.TargetDirActive = 0;
    settings.NameTemplateActive = c.nameTemplate.isEmpty() ? 0 : 1;
    if (!c.rules.isEmpty()) {
      settings.ReplaceActive = 1;
      settings.TextReplacements = c.rules;
    }
    const TargetPlan plan = PlanTargets(settings, c.nameTemplate, "", false, "");
    CounterMap counters(plan.CounterStart, plan.CounterWidth, false);
    const Target target = BuildTarget(Entry(c.source), settings, plan, counters);
    EXPECT_EQ(target.Path, c.expected);
    EXPECT_EQ(target.InvalidName, c.invalid);
  }
}

}  // namespace
