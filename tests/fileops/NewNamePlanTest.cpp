#include "fileops/NewNamePlan.h"

#include "support/QtPrinters.h"

#include "filelist/Loader.h"
#include "filelist/Prepare.h"
#include "platform/FileName.h"
#include "run/RunProcedure.h"
#include "settings/BuiltinPresets.h"
#include "support/Presets.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

FilterCondition Condition(int kind, int op, const char* values) {
  FilterCondition c;
  c.ItemState = kItemChecked;
  c.Kind = static_cast<int8_t>(kind);
  c.Operator = static_cast<int8_t>(op);
  c.Values = QString::fromUtf8(values);
  c.Mode = kind <= 2 ? kModeText : kModeNumeric;
  return c;
}

struct Scenario {
  const char* what;
  std::vector<std::string> existing;  // files there before, not loaded
  std::vector<std::string> loaded;    // files there before and loaded, in list order
  std::function<void(Preset&, const QString& root)> configure;
};

// Loads the scenario's files into `files`; the settings' own admission rules apply.
void Prepare(const Scenario& c, const TempDir& dir, Preset& settings, FileList& files) {
  for (const std::string& file : c.existing) dir.WriteFile(file, "existing " + file);
  for (const std::string& file : c.loaded) dir.WriteFile(file, "loaded " + file);
  c.configure(settings, dir.Path());
  for (const std::string& file : c.loaded)
    ASSERT_EQ(AdmitFile(DecodeFileName(dir.Bytes() + file), files, settings), 1) << file;
}

struct Outcome {
  QString Target;
  int Status = 0;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << o.Status << " -> " << o.Target.toStdString();
}

// The plan of the list against the run itself (preparation included): every entry the run
// processes ends as planned, in the planned order, and the filter takes out the marked ones.
TEST(NewNamePlan, PredictsTheRunThroughItsFilterAndSort) {
  const auto filterLogs = [](Preset& s) {
    s.FilterActive = 1;
    s.FilterConditions = {Condition(kFilterExtension, kOperatorEqual, "log")};
  };
  const std::vector<Scenario> scenarios = {
      {"a counter skips existing names and names earlier entries took",
       {"001.txt", "003.txt"},
       {"a.txt", "b.txt", "c.txt", "d.txt"},
       [](Preset& s, const QString&) { s = InPlace("%001%"); }},
      {"per-folder counters restart in each target folder, below the common base of the kept "
       "entries",
       {"out/x/1.txt"},
       {"in/x/a.txt", "in/x/b.txt", "in/y/c.txt", "in/y/d.txt", "skip.log"},
       [&](Preset& s, const QString& root) {
         Into(s, root + "out/", false);
         s.KeepSubfolders = 1;
         s.NameTemplateActive = 1;
         s.NameTemplate = "%1%";
         s.CounterPerDirectory = 1;
         filterLogs(s);
       }},
      {"two entries want the same name: the second finds it taken",
       {},
       {"p/a.txt", "q/a.txt", "r/b.txt"},
       [](Preset& s, const QString& root) { Into(s, root + "out/", true); }},
      {"sorted by name, descending: the counter follows the run's order",
       {},
       {"b.txt", "c.txt", "a.txt", "x.log"},
       [&](Preset& s, const QString&) {
         s = InPlace("%FN% %1%");
         s.SortActive = 1;
         s.SortKey = kSortName;
         s.SortDirection = 0;
         filterLogs(s);
       }},
      {"sorted by size: equal keys keep the list order",
       {},
       {"big.txt", "small.txt", "mid.txt"},
       [](Preset& s, const QString& root) {
         Into(s, root + "out/", false);
         s.NameTemplateActive = 1;
         s.NameTemplate = "%01%";
         s.SortActive = 1;
         s.SortKey = kSortSize;
         s.SortDirection = 1;
       }},
      {"a chain of renames in place, and a swap that fails",
       {},
       {"b.txt", "a.txt", "x.txt", "y.txt"},
       [](Preset& s, const QString&) {
         s = InPlace("%FN%");
         s.ReplaceActive = 1;
         s.TextReplacements = {
             {kItemChecked, "b", "c"}, {kItemChecked, "a", "b"}, {kItemChecked, "x|y", "z"}};
       }},
      {"the same new names in two folders taken in turns: each clashes only in its own folder",
       {},
       {"x/a.txt", "y/a.txt", "x/b.txt", "y/b.txt", "y/c.txt", "x/c.txt"},
       [](Preset& s, const QString&) {
         s = InPlace("%FN%");
         s.ReplaceActive = 1;
         s.TextReplacements = {{kItemChecked, "a|b", "n"}, {kItemChecked, "c", "n%1%"}};
       }},
      {"new names with a folder of their own, in two folders taken in turns",
       {"x/sub/keep", "y/sub/keep", "y/sub/b.txt"},
       {"x/a.txt", "y/a.txt", "x/b.txt", "y/b.txt", "x/sub/a.txt"},
       [](Preset& s, const QString&) {
         s = InPlace("sub/%FN%");
         s.ReplaceActive = 1;
         s.TextReplacements = {{kItemChecked, "b", "a"}};
       }},
      {"a folder of the new name is not there, and a failed entry's number is used again",
       {"sub/keep"},
       {"a.txt", "b.txt", "c.txt"},
       [](Preset& s, const QString&) {
         s = InPlace("%FN%");
         s.ReplaceActive = 1;
         s.TextReplacements = {{kItemChecked, "a|c", "sub/n%1%"}, {kItemChecked, "b", "no/n%1%"}};
       }},
      {"a target folder blocked by a file fails every entry for it",
       {"out"},
       {"a.txt", "b.txt"},
       [](Preset& s, const QString& root) { Into(s, root + "out/new/", false); }},
      {"a name too long for the file system",
       {},
       {"a.txt", "b.txt"},
       [](Preset& s, const QString&) {
         s = InPlace("%FN%");
         s.ReplaceActive = 1;
         s.TextReplacements = {{kItemChecked, "a", QString(260, u'x')}};
       }},
      {"built-in preset 1: letter case and extension case in place",
       {},
       {"MY photo.JPG", "other NAME.Txt"},
       [](Preset& s, const QString&) {
         s = BuiltinPresets()[0];
         // Attribute changes need extended attributes, which not every test folder has.
         s.HiddenChange = s.ReadOnlyChange = s.ArchiveChange = s.NotIndexedChange = 0;
       }},
      {"built-in preset 2: dated names moved into dated folders on the desktop",
       {},
       {"p/a.jpg", "p/b.jpg"},
       [](Preset& s, const QString&) { s = BuiltinPresets()[1]; }},
      {"built-in preset 3: name corrections, copied to the desktop's output folder",
       {"output/my_file.txt"},
       {"my_file.txt", "another__one.TXT"},
       [](Preset& s, const QString&) {
         s = BuiltinPresets()[2];
         s.ChangeDates = 0;
         s.ReadOnlyChange = 0;
       }},
  };
  for (const Scenario& c : scenarios) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    Preset settings;
    FileList files;
    ASSERT_NO_FATAL_FAILURE(Prepare(c, dir, settings, files));
    PathFolders folders;
    folders.Desktop = dir.Path();
    const RunValues values = PrepareRunValues(settings, files.Count(), folders, 0);

    NewNameInputs inputs;
    inputs.ReplaceMemory = kAnswerLeaveAll;
    const NewNamePlan plan = PlanNewNames(files, settings, values, inputs);
    ASSERT_TRUE(plan.Complete());
    ASSERT_EQ(plan.Count(), files.Count());
    std::vector<QString> plannedOrder;
    std::map<QString, Outcome> planned;
    std::vector<QString> filtered;
    for (qsizetype i = 0; i < plan.Count(); ++i) {
      const qsizetype pos = plan.Order().empty() ? i : plan.Order()[static_cast<size_t>(i)];
      const FileEntry& entry = files.At(pos);
      if (plan.Row(pos).Has(NewNameRow::kFilteredOut)) {
        filtered.push_back(entry.Path());
        continue;
      }
      plannedOrder.push_back(entry.Path());
      planned[entry.Path()] = {plan.TargetPath(pos, entry), plan.Row(pos).Status};
    }

    FileList followUp;
    RunFlags flags;
    LoadFlags load;
    RunRequest request{files, followUp, settings, flags, load};
    request.Folders = folders;
    request.Policy.ReplaceMemory = kAnswerLeaveAll;
    request.Policy.StartDelay = std::chrono::milliseconds(0);
    std::vector<QString> runOrder;
    std::map<QString, Outcome> ran;
    request.Events.Entries.EntryFinished = [&](qsizetype, const FileEntry& entry,
                                               const EntryOutcome& outcome) {
      runOrder.push_back(entry.Path());
      ran[entry.Path()] = {outcome.NewPath, outcome.Status};
    };
    const RunResult result = RunProcedure(request);
    ASSERT_TRUE(result.Started);
    EXPECT_EQ(runOrder, plannedOrder);
    for (const auto& [source, outcome] : planned)
      EXPECT_EQ(ran[source], outcome) << source.toStdString();
    EXPECT_EQ(static_cast<qsizetype>(filtered.size()), plan.FilteredOut());
    for (const QString& source : filtered) EXPECT_EQ(ran.count(source), 0u) << source.toStdString();
  }
}

// What the preview marks, and what it tells about the other entry of a clash.
TEST(NewNamePlan, MarksProblemsBeforeTheyHappen) {
  struct Case {
    Scenario scenario;
    int32_t replaceMemory;
    std::map<std::string, NameProblem> expected;  // by loaded file; the rest: None
  };
  const std::vector<Case> cases = {
      {{"two copies to one name: the run asks at the second, and the first is told",
        {},
        {"p/a.txt", "q/a.txt", "r/a.txt", "b.txt"},
        [](Preset& s, const QString& root) { Into(s, root + "out/", false); }},
       kAnswerLeave,
       {{"p/a.txt", NameProblem::SameTargetLater},
        {"q/a.txt", NameProblem::SameTargetEarlier},
        {"r/a.txt", NameProblem::SameTargetEarlier}}},
      {{"copies from folders taken in turns into their own target folders: clashes per folder",
        {},
        {"in/p/a.txt", "in/q/a.txt", "in/p/b.txt", "in/q/c.txt"},
        [](Preset& s, const QString& root) {
          Into(s, root + "out/", false);
          s.KeepSubfolders = 1;
          s.ReplaceActive = 1;
          s.TextReplacements = {{kItemChecked, "b", "a"}};
        }},
       kAnswerLeave,
       {{"in/p/a.txt", NameProblem::SameTargetLater},
        {"in/p/b.txt", NameProblem::SameTargetEarlier}}},
      {{"an existing target, a loaded file renamed later, and the source itself",
        {"out/x.txt"},
        {"x.txt", "out/a.txt", "a.txt", "out/c.txt"},
        [](Preset& s, const QString& root) { Into(s, root + "out/", true); }},
       kAnswerLeave,
       {{"x.txt", NameProblem::TargetExists},
        {"out/a.txt", NameProblem::TargetIsSource},
        {"a.txt", NameProblem::TargetExists},
        {"out/c.txt", NameProblem::TargetIsSource}}},
      {{"unusable and too long names",
        {},
        {"a.txt", "b.txt", "c.txt"},
        [](Preset& s, const QString&) {
          s = InPlace("%FN%");
          s.ReplaceActive = 1;
          s.TextReplacements = {{kItemChecked, "a", ""}, {kItemChecked, "b", QString(300, u'b')}};
        }},
       kAnswerLeave,
       {{"a.txt", NameProblem::InvalidName}, {"b.txt", NameProblem::NameTooLong}}},
      {{"a target folder that cannot be made",
        {"blocked"},
        {"a.txt"},
        [](Preset& s, const QString& root) { Into(s, root + "blocked/sub/", false); }},
       kAnswerLeave,
       {{"a.txt", NameProblem::FolderNotCreatable}}},
      {{"a counter passes over taken numbers: no problem",
        {"001.txt"},
        {"a.txt", "b.txt"},
        [](Preset& s, const QString&) { s = InPlace("%001%"); }},
       kAnswerLeave,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario.what);
    TempDir dir;
    Preset settings;
    FileList files;
    ASSERT_NO_FATAL_FAILURE(Prepare(c.scenario, dir, settings, files));
    const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
    NewNameInputs inputs;
    inputs.ReplaceMemory = c.replaceMemory;
    const NewNamePlan plan = PlanNewNames(files, settings, values, inputs);
    ASSERT_TRUE(plan.Complete());
    qsizetype marked = 0;
    for (qsizetype pos = 0; pos < files.Count(); ++pos) {
      const std::string file = files.At(pos).Path().mid(dir.Path().size()).toStdString();
      const auto expected = c.expected.find(file);
      const NameProblem want = expected == c.expected.end() ? NameProblem::None : expected->second;
      EXPECT_EQ(plan.Row(pos).Problem, want) << file;
      if (want != NameProblem::None) ++marked;
    }
    EXPECT_EQ(plan.Problems(), marked);
  }
}

TEST(NewNamePlan, ClashesNameTheOtherEntryAndCountersSayWhatTheyPassedOver) {
  TempDir dir;
  dir.WriteFile("out/002.txt");
  for (const char* name : {"p/a.txt", "q/a.txt", "r/b.txt"}) dir.WriteFile(name);
  Preset settings;
  Into(settings, dir.Path() + "out/", false);
  FileList files;
  for (const char* name : {"p/a.txt", "q/a.txt", "r/b.txt"})
    ASSERT_EQ(AdmitFile(dir.Path() + name, files, settings), 1);
  const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
  NewNamePlan plan = PlanNewNames(files, settings, values, NewNameInputs{});
  EXPECT_EQ(plan.OtherEntry(0), 1);
  EXPECT_EQ(plan.OtherEntry(1), 0);
  EXPECT_EQ(plan.OtherEntry(2), -1);
  EXPECT_EQ(plan.Row(1).Status, kStatusTargetExists) << "the window asks: a closed question leaves";
  EXPECT_EQ(plan.Failing(), 1);
  EXPECT_TRUE(plan.Row(0).Has(NewNameRow::kNameUnchanged));
  EXPECT_FALSE(plan.Row(0).Has(NewNameRow::kFolderUnchanged));
  EXPECT_EQ(plan.Folder(0, files.At(0)), dir.Path() + "out/");

  // With replace-all, the second copy replaces the first one's: both are marked, none fails.
  NewNameInputs replacing;
  replacing.ReplaceMemory = kAnswerReplaceAll;
  plan = PlanNewNames(files, settings, values, replacing);
  EXPECT_EQ(plan.Row(0).Problem, NameProblem::SameTargetLater);
  EXPECT_EQ(plan.Row(1).Problem, NameProblem::SameTargetEarlier);
  EXPECT_EQ(plan.Row(1).Status, kStatusDone);
  EXPECT_EQ(plan.Failing(), 0);

  // A counter: 001, then 002 is on disk, so 003; nothing is marked.
  settings.NameTemplateActive = 1;
  settings.NameTemplate = "%001%";
  plan = PlanNewNames(files, settings, PrepareRunValues(settings, files.Count(), PathFolders{}, 0),
                      NewNameInputs{});
  EXPECT_EQ(plan.FileName(1, files.At(1)), "003.txt");
  EXPECT_EQ(plan.Row(0).CounterFrom, -1);
  EXPECT_EQ(plan.Row(1).CounterFrom, 2);
  EXPECT_EQ(plan.CounterWidth(), 3);
  EXPECT_EQ(plan.Problems(), 0);
}

// Filtered entries are marked with the condition that takes them out; the filter's dates are
// the ones the filter is told to test, and an entry with a status is left to the run.
TEST(NewNamePlan, FilteredEntriesCarryTheirCondition) {
  TempDir dir;
  for (const char* name : {"a.jpg", "b.png", "c.txt"}) dir.WriteFile(name);
  Preset settings = InPlace("x %FN%");
  settings.FilterActive = 1;
  FilterCondition unticked = Condition(kFilterName, kOperatorEqual, "c");
  unticked.ItemState = 0;
  FilterCondition year = Condition(kFilterYear, kOperatorEqual, "2001");
  settings.FilterConditions = {unticked, Condition(kFilterExtension, kOperatorEqual, "jpg"),
                               Condition(kFilterExtension, kOperatorEqual, "png|jpg"), year};
  settings.FilterDateSource = 2;       // created
  settings.DatePlaceholderSource = 1;  // modified: not what the filter looks at
  FileList files;
  for (const char* name : {"a.jpg", "b.png", "c.txt"})
    ASSERT_EQ(AdmitFile(dir.Path() + name, files, settings), 1);
  files.At(2).Created = 978350400;   // 2001-01-01 12:00
  files.At(2).Modified = 946728000;  // 2000-01-01 12:00
  const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
  const NewNamePlan plan = PlanNewNames(files, settings, values, NewNameInputs{});
  ASSERT_TRUE(plan.Row(0).Has(NewNameRow::kFilteredOut));
  EXPECT_EQ(plan.Row(0).Detail, 1);
  ASSERT_TRUE(plan.Row(1).Has(NewNameRow::kFilteredOut));
  EXPECT_EQ(plan.Row(1).Detail, 2);
  ASSERT_TRUE(plan.Row(2).Has(NewNameRow::kFilteredOut)) << "the created date is 2001";
  EXPECT_EQ(plan.Row(2).Detail, 3);
  EXPECT_EQ(plan.FilteredOut(), 3);
  EXPECT_EQ(plan.Problems(), 0);
  EXPECT_TRUE(plan.FileName(0, files.At(0)).isEmpty());
}

// Checksums: names are built from the sums read so far; the others show the placeholder, are
// pending and never clash with each other; a file that could not be read fails as in the run.
TEST(NewNamePlan, NamesWaitForTheirChecksums) {
  TempDir dir;
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) dir.WriteFile(name, name);
  Preset settings = InPlace("%CC%");
  FileList files;
  for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
    ASSERT_EQ(AdmitFile(dir.Path() + name, files, settings), 1);
  const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
  QHash<int32_t, KnownContent> known;
  known.insert(files.At(0).Id, {true, {{PlaceholderId(u"%CC%"), "0000ABCD"}}});
  known.insert(files.At(3).Id, {false, {}});
  NewNameInputs inputs;
  inputs.Content = &known;
  const NewNamePlan plan = PlanNewNames(files, settings, values, inputs);
  EXPECT_TRUE(plan.ContentNeeded());
  EXPECT_EQ(plan.FileName(0, files.At(0)), "0000ABCD.txt");
  EXPECT_EQ(plan.FileName(1, files.At(1)), "%CC%.txt");
  EXPECT_TRUE(plan.Row(1).Has(NewNameRow::kPending));
  EXPECT_EQ(plan.Row(2).Problem, NameProblem::None) << "two unknown names are no clash";
  EXPECT_EQ(plan.Row(3).Problem, NameProblem::ReadError);
  EXPECT_EQ(plan.Row(3).Status, kStatusReadError);
  EXPECT_EQ(plan.Pending(), 2);
}

TEST(NewNamePlan, ACancelledPlanComesBackIncomplete) {
  FileList files;
  for (int i = 1; i <= 5000; ++i) {
    FileEntry entry;
    entry.Id = i;
    entry.SetDirectory("/nowhere/");
    entry.SetName(QString::number(i));
    entry.SetPath(entry.Directory() + entry.Name() + ".txt");
    files.Append(entry);
  }
  const Preset settings = InPlace("n %FN%");
  const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
  std::atomic<int32_t> cancel{1};
  std::atomic<int32_t> progress{0};
  NewNameInputs inputs;
  inputs.DiskLookups = false;
  inputs.Cancel = &cancel;
  EXPECT_FALSE(PlanNewNames(files, settings, values, inputs).Complete());
  cancel = 0;
  inputs.Progress = &progress;
  const NewNamePlan plan = PlanNewNames(files, settings, values, inputs);
  ASSERT_TRUE(plan.Complete());
  EXPECT_EQ(progress.load(), 1000);
  EXPECT_EQ(plan.FileName(4999, files.At(4999)), "n 5000.txt");
  EXPECT_EQ(plan.Row(4999).Problem, NameProblem::None)
      << "without disk look-ups nothing is missing";
}

}  // namespace

namespace {

// Sorted by the date taken, the preview orders the list by the dates read so far and asks for
// every file's; a file whose date is not read yet waits (its name is not shown as final).
TEST(NewNamePlan, SortedByTheDateTakenWaitsForDatesNotReadYet) {
  TempDir dir;
  Preset settings = InPlace("%1% %FN%");
  settings.SortActive = 1;
  settings.SortKey = kSortDateTaken;
  settings.SortDirection = 1;
  FileList files;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    dir.WriteFile(name, name);
    ASSERT_EQ(AdmitFile(DecodeFileName(dir.Bytes() + name), files, settings), 1);
  }
  const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
  QHash<int32_t, KnownContent> known;
  const auto taken = [&](qsizetype pos, int64_t date) {
    KnownContent& content = known[files.At(pos).Id];
    content.Ok = true;
    content.Values.insert(DateTakenId(), QString::number(date));
  };
  taken(0, 2000000000);  // a
  taken(1, 1000000000);  // b
  NewNameInputs inputs;
  inputs.DiskLookups = false;
  inputs.Content = &known;

  const NewNamePlan waiting = PlanNewNames(files, settings, values, inputs);
  ASSERT_TRUE(waiting.Complete());
  EXPECT_TRUE(waiting.NeedsEveryFile());
  EXPECT_EQ(waiting.Pending(), 1);
  EXPECT_TRUE(waiting.Row(2).Has(NewNameRow::kPending));

  taken(2, 1500000000);  // c, read meanwhile
  const NewNamePlan plan = PlanNewNames(files, settings, values, inputs);
  EXPECT_EQ(plan.Pending(), 0);
  EXPECT_EQ(plan.FileName(1, files.At(1)), QStringLiteral("1 b.jpg"));
  EXPECT_EQ(plan.FileName(2, files.At(2)), QStringLiteral("2 c.jpg"));
  EXPECT_EQ(plan.FileName(0, files.At(0)), QStringLiteral("3 a.jpg"));

  // Sorted by name, no date is needed of every file.
  settings.SortKey = kSortName;
  EXPECT_FALSE(PlanNewNames(files, settings, values, inputs).NeedsEveryFile());
}

}  // namespace
