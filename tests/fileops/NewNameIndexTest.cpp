#include "fileops/NewNameIndex.h"

#include "support/QtPrinters.h"

#include "filelist/Loader.h"
#include "filelist/Prepare.h"
#include "platform/FileName.h"
#include "support/Presets.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// Every row, the partners and the counts of the updated plan against a plan made from scratch.
void ExpectSamePlan(const NewNamePlan& updated, const NewNamePlan& fresh, const FileList& files) {
  ASSERT_TRUE(fresh.Complete());
  ASSERT_EQ(updated.Count(), fresh.Count());
  int differing = 0;
  for (qsizetype pos = 0; pos < fresh.Count() && differing < 5; ++pos) {
    const NewNameRow& a = updated.Row(pos);
    const NewNameRow& b = fresh.Row(pos);
    const FileEntry& entry = files.At(pos);
    const bool same = a.Status == b.Status && a.Action == b.Action && a.Problem == b.Problem &&
                      a.Flags == b.Flags && a.Detail == b.Detail &&
                      a.CounterFrom == b.CounterFrom &&
                      updated.FileName(pos, entry) == fresh.FileName(pos, entry) &&
                      updated.Folder(pos, entry) == fresh.Folder(pos, entry) &&
                      updated.OtherEntry(pos) == fresh.OtherEntry(pos);
    if (same) continue;
    ++differing;
    ADD_FAILURE() << entry.Path().toStdString() << ": updated " << int(a.Status) << "/"
                  << int(a.Problem) << "/" << int(a.Flags) << " "
                  << updated.TargetPath(pos, entry).toStdString() << " other "
                  << updated.OtherEntry(pos) << ", from scratch " << int(b.Status) << "/"
                  << int(b.Problem) << "/" << int(b.Flags) << " "
                  << fresh.TargetPath(pos, entry).toStdString() << " other "
                  << fresh.OtherEntry(pos);
  }
  for (int p = 0; p < kNameProblemCount; ++p)
    EXPECT_EQ(updated.ProblemCount(NameProblem(p)), fresh.ProblemCount(NameProblem(p))) << p;
  EXPECT_EQ(updated.Failing(), fresh.Failing());
  EXPECT_EQ(updated.Pending(), fresh.Pending());
  EXPECT_EQ(updated.FilteredOut(), fresh.FilteredOut());
}

const int kChecksum = PlaceholderId(u"%CC%");

// A value read for a file; "!" stands for a file that could not be read.
void Know(QHash<int32_t, KnownContent>& known, int32_t id, const std::string& value) {
  if (value == "!")
    known.insert(id, {false, {}});
  else
    known.insert(id, {true, {{kChecksum, QString::fromStdString(value)}}});
}

struct Batch {
  std::vector<std::pair<std::string, std::string>> values;  // loaded file -> checksum
  std::map<std::string, NameProblem> expected;              // what the batch leads to
};

struct Case {
  const char* what;
  std::vector<std::string> existing;  // there, not loaded
  std::vector<std::string> loaded;    // in list order
  std::function<void(Preset&, const QString& root)> configure;
  int32_t replaceMemory;
  std::vector<Batch> batches;
};

// Values arrive in batches; after each, the updated plan is the plan from scratch.
TEST(NewNameIndex, AnUpdateComesToThePlanFromScratch) {
  using P = NameProblem;
  const auto named = [](Preset& s, const QString&) { s = InPlace("%CC%"); };
  const std::vector<Case> cases = {
      {"two rows that become equal, the pair splits, and a third joins",
       {},
       {"a.txt", "b.txt", "c.txt"},
       named,
       kAnswerLeave,
       {{{{"a.txt", "X"}}, {}},
        {{{"b.txt", "X"}}, {{"a.txt", P::SameTargetLater}, {"b.txt", P::SameTargetEarlier}}},
        {{{"a.txt", "Y"}}, {{"a.txt", P::None}, {"b.txt", P::None}}},
        {{{"c.txt", "Y"}}, {{"a.txt", P::SameTargetLater}, {"c.txt", P::SameTargetEarlier}}},
        {{{"a.txt", "X"}, {"c.txt", "X"}},
         {{"a.txt", P::SameTargetLater}, {"b.txt", P::SameTargetEarlier}}}}},
      {"three copies to one name, the first one leaves and comes back, one cannot be read",
       {},
       {"p/a.txt", "q/a.txt", "r/a.txt", "s/a.txt"},
       [](Preset& s, const QString& root) {
         s = InPlace("%CC%");
         Into(s, root + "out/", false);
       },
       kAnswerLeave,
       {{{{"q/a.txt", "Z"}, {"r/a.txt", "Z"}, {"s/a.txt", "Z"}},
         {{"q/a.txt", P::SameTargetLater},
          {"r/a.txt", P::SameTargetEarlier},
          {"s/a.txt", P::SameTargetEarlier}}},
        {{{"p/a.txt", "Z"}}, {{"p/a.txt", P::SameTargetLater}, {"q/a.txt", P::SameTargetEarlier}}},
        {{{"p/a.txt", "!"}, {"r/a.txt", "W"}},
         {{"p/a.txt", P::ReadError}, {"q/a.txt", P::SameTargetLater}, {"r/a.txt", P::None}}},
        {{{"q/a.txt", "!"}}, {{"s/a.txt", P::None}}}}},
      {"a pending row that becomes known moves away and frees its name for a later one",
       {},
       {"X.txt", "a.txt", "b.txt"},
       named,
       kAnswerLeave,
       {{{{"a.txt", "X"}}, {{"a.txt", P::TargetExists}}},
        {{{"b.txt", "X"}}, {{"a.txt", P::TargetExists}, {"b.txt", P::TargetExists}}},
        {{{"X.txt", "Q"}}, {{"a.txt", P::SameTargetLater}, {"b.txt", P::SameTargetEarlier}}},
        {{{"X.txt", "X"}}, {{"a.txt", P::TargetExists}, {"b.txt", P::TargetExists}}},
        {{{"X.txt", "!"}}, {{"X.txt", P::ReadError}}}}},
      {"a chain: each row moves onto the name the row before it leaves",
       {},
       {"D.txt", "C.txt", "B.txt", "A.txt"},
       named,
       kAnswerLeave,
       {{{{"C.txt", "D"}, {"B.txt", "C"}},
         {{"C.txt", P::TargetExists}, {"B.txt", P::TargetExists}}},
        {{{"D.txt", "E"}, {"A.txt", "B"}},
         {{"D.txt", P::None}, {"C.txt", P::None}, {"B.txt", P::None}, {"A.txt", P::None}}},
        {{{"D.txt", "!"}},
         {{"D.txt", P::ReadError},
          {"C.txt", P::TargetExists},
          {"B.txt", P::TargetExists},
          {"A.txt", P::TargetExists}}}}},
      {"a target that is on disk, and a folder in the way",
       {"E.txt", "F.txt/keep"},
       {"a.txt", "b.txt"},
       named,
       kAnswerLeave,
       {{{{"a.txt", "E"}, {"b.txt", "E"}},
         {{"a.txt", P::TargetExists}, {"b.txt", P::TargetExists}}},
        {{{"a.txt", "F"}}, {{"a.txt", P::TargetExists}, {"b.txt", P::TargetExists}}},
        {{{"a.txt", "G"}, {"b.txt", "G"}},
         {{"a.txt", P::SameTargetLater}, {"b.txt", P::SameTargetEarlier}}}}},
      {"moves into a folder with its subfolders, replacing everything",
       {"out/y/K.txt"},
       {"x/a.txt", "y/a.txt", "x/b.txt", "y/c.txt", "y/d.txt"},
       [](Preset& s, const QString& root) {
         s = InPlace("%CC%");
         Into(s, root + "out/", true);
         s.KeepSubfolders = 1;
       },
       kAnswerReplaceAll,
       {{{{"x/a.txt", "K"}, {"x/b.txt", "K"}}, {{"x/b.txt", P::SameTargetEarlier}}},
        {{{"y/c.txt", "K"}, {"y/d.txt", "K"}},
         {{"y/c.txt", P::TargetExists}, {"y/d.txt", P::SameTargetEarlier}}},
        {{{"x/a.txt", "M"}, {"y/a.txt", "K"}},
         {{"y/a.txt", P::TargetExists}, {"y/c.txt", P::SameTargetEarlier}}},
        {{{"x/b.txt", "!"}, {"y/a.txt", "!"}}, {{"y/c.txt", P::TargetExists}}}}},
      {"sorted by name, descending, with a filtered row: clashes follow the run's order",
       {},
       {"a.txt", "b.txt", "c.txt", "d.log"},
       [](Preset& s, const QString&) {
         s = InPlace("%CC%");
         s.SortActive = 1;
         s.SortKey = kSortName;
         s.SortDirection = 0;
         s.FilterActive = 1;
         FilterCondition logs;
         logs.ItemState = kItemChecked;
         logs.Kind = kFilterExtension;
         logs.Operator = kOperatorEqual;
         logs.Values = "log";
         logs.Mode = kModeText;
         s.FilterConditions = {logs};
       },
       kAnswerLeave,
       {{{{"a.txt", "S"}, {"c.txt", "S"}, {"d.log", "S"}},
         {{"c.txt", P::SameTargetLater}, {"a.txt", P::SameTargetEarlier}}},
        {{{"b.txt", "S"}}, {{"c.txt", P::SameTargetLater}, {"b.txt", P::SameTargetEarlier}}},
        {{{"c.txt", "T"}}, {{"b.txt", P::SameTargetLater}, {"a.txt", P::SameTargetEarlier}}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    for (const std::string& file : c.existing) dir.WriteFile(file, "there");
    for (const std::string& file : c.loaded) dir.WriteFile(file, file);
    Preset settings;
    c.configure(settings, dir.Path());
    FileList files;
    std::map<std::string, qsizetype> posOf;
    for (const std::string& file : c.loaded) {
      ASSERT_EQ(AdmitFile(DecodeFileName(dir.Bytes() + file), files, settings), 1) << file;
      posOf[file] = files.Count() - 1;
    }
    const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
    QHash<int32_t, KnownContent> known;
    NewNameInputs inputs;
    inputs.ReplaceMemory = c.replaceMemory;
    inputs.Content = &known;
    NewNameIndex index;
    NewNameInputs keeping = inputs;
    keeping.Keep = &index;
    NewNamePlan plan = PlanNewNames(files, settings, values, keeping);
    ASSERT_TRUE(index.Usable());
    int step = 0;
    for (const Batch& batch : c.batches) {
      SCOPED_TRACE("batch " + std::to_string(++step));
      std::vector<int32_t> ids;
      for (const auto& [file, value] : batch.values) {
        const int32_t id = files.At(posOf.at(file)).Id;
        Know(known, id, value);
        ids.push_back(id);
      }
      ASSERT_EQ(UpdateNewNames(plan, index, files, inputs, ids), UpdateOutcome::Updated);
      const NewNamePlan fresh = PlanNewNames(files, settings, values, inputs);
      ExpectSamePlan(plan, fresh, files);
      for (const auto& [file, problem] : batch.expected)
        EXPECT_EQ(fresh.Row(posOf.at(file)).Problem, problem) << file;
    }
  }
}

// Many batches of random values over a few thousand files whose names and values come from a
// small set, so that clashes, freed names and chains keep appearing and going.
TEST(NewNameIndex, RandomBatchesComeToThePlanFromScratch) {
  constexpr int kFiles = 2000;
  constexpr int kNames = 60;
  TempDir dir;
  for (int i = 0; i < kFiles; ++i)
    dir.WriteFile("f" + std::to_string(i % kNames) + "/n" + std::to_string(i) + ".txt");
  for (const int32_t replace : {kAnswerLeave, kAnswerReplaceAll}) {
    for (const bool move : {false, true}) {
      SCOPED_TRACE(std::string(move ? "moved into folders" : "renamed in place") + ", replace " +
                   std::to_string(replace));
      Preset settings = InPlace("%CC%");
      if (move) Into(settings, dir.Path() + "f1/", true);
      FileList files;
      for (int i = 0; i < kFiles; ++i)
        ASSERT_EQ(AdmitFile(dir.Path() + QStringLiteral("f%1/n%2.txt").arg(i % kNames).arg(i),
                            files, settings),
                  1);
      const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
      QHash<int32_t, KnownContent> known;
      NewNameInputs inputs;
      inputs.ReplaceMemory = replace;
      inputs.Content = &known;
      NewNameIndex index;
      NewNameInputs keeping = inputs;
      keeping.Keep = &index;
      NewNamePlan plan = PlanNewNames(files, settings, values, keeping);
      ASSERT_TRUE(index.Usable());
      std::mt19937 random(20261209 + replace + move);
      qsizetype clashes = 0;
      qsizetype existing = 0;
      for (int batch = 0; batch < 40; ++batch) {
        SCOPED_TRACE("batch " + std::to_string(batch));
        std::vector<int32_t> ids;
        // A screenful, mostly near the last one, sometimes anywhere.
        const int first = static_cast<int>(random() % kFiles);
        for (int k = 0; k < 40; ++k) {
          const int pos = (first + static_cast<int>(random() % 60)) % kFiles;
          const int32_t id = files.At(pos).Id;
          // Half of them the name of a loaded file of the same folder: names freed and taken.
          const unsigned pick = random() % 100;
          const unsigned value = pick < 50
                                     ? static_cast<unsigned>(pos % kNames) + kNames * (random() % 8)
                                     : random() % (kFiles / 16);
          Know(known, id, pick < 3 ? "!" : "n" + std::to_string(value));
          ids.push_back(id);
        }
        ASSERT_EQ(UpdateNewNames(plan, index, files, inputs, ids), UpdateOutcome::Updated);
        const NewNamePlan fresh = PlanNewNames(files, settings, values, inputs);
        ASSERT_NO_FATAL_FAILURE(ExpectSamePlan(plan, fresh, files));
        if (HasFailure()) return;
        clashes = std::max(clashes, fresh.ProblemCount(NameProblem::SameTargetEarlier));
        existing = std::max(existing, fresh.ProblemCount(NameProblem::TargetExists));
      }
      EXPECT_GT(clashes, 20) << "the values are meant to clash";
      if (!move) {
        EXPECT_GT(existing, 10) << "and to meet loaded files";
      }
    }
  }
}

// Where one value can move every later entry, the plan is made whole again.
TEST(NewNameIndex, CountersAndTheDateTakenNeedTheWholePlan) {
  TempDir dir;
  FileList files;
  for (const char* name : {"a.jpg", "b.jpg"}) {
    dir.WriteFile(name, name);
    ASSERT_EQ(AdmitFile(dir.Path() + name, files, Preset{}), 1);
  }
  Preset counted = InPlace("%CC% %001%");
  Preset sortedByTaken = InPlace("%CC%");
  sortedByTaken.SortActive = 1;
  sortedByTaken.SortKey = kSortDateTaken;
  for (const Preset& settings : {counted, sortedByTaken}) {
    QHash<int32_t, KnownContent> known;
    NewNameIndex index;
    NewNameInputs inputs;
    inputs.Content = &known;
    inputs.Keep = &index;
    const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
    NewNamePlan plan = PlanNewNames(files, settings, values, inputs);
    EXPECT_FALSE(index.Usable());
    Know(known, files.At(0).Id, "X");
    const int32_t id = files.At(0).Id;
    EXPECT_EQ(UpdateNewNames(plan, index, files, inputs, std::span<const int32_t>(&id, 1)),
              UpdateOutcome::Whole);
  }
}

}  // namespace
