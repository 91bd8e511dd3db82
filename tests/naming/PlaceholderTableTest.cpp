#include "naming/PlaceholderTable.h"

#include "naming/Placeholders.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QString>

#include <array>

namespace {

QString Q(const char* s) {
  return QString::fromUtf8(s);
}

std::string S(QStringView text) {
  return text.toString().toStdString();
}

// Every row must be one that the scanners of expansion, the preview and the list can tell
// apart: a code of its own that no other code begins with, in the upper case that
// normalisation writes.
TEST(PlaceholderTable, CodesAreDistinctUpperCaseAndNoneOpensAnother) {
  const std::span<const PlaceholderRow> table = PlaceholderTable();
  ASSERT_FALSE(table.empty());
  ASSERT_LE(table.size(), static_cast<size_t>(PlaceholderSet::kCapacity));
  for (size_t i = 0; i < table.size(); ++i) {
    const QStringView code = table[i].Code;
    SCOPED_TRACE(S(code));
    EXPECT_GE(code.size(), 3);
    EXPECT_TRUE(code.startsWith(u'%') && code.endsWith(u'%'));
    EXPECT_EQ(code.toString(), code.toString().toUpper());
    EXPECT_EQ(PlaceholderId(code), static_cast<int>(i));
    for (size_t j = 0; j < table.size(); ++j) {
      if (i != j) {
        EXPECT_FALSE(table[j].Code.startsWith(code)) << S(table[j].Code);
      }
    }
  }
  EXPECT_EQ(PlaceholderId(u"%fn%"), -1) << "look-ups are by the expanded, upper-case code";
  EXPECT_EQ(PlaceholderId(u"%5%"), -1);
}

// What each family needs for its consumers: a value for what is expanded, a folder or a sample
// for what the preview shows, fields for what may stand anywhere.
TEST(PlaceholderTable, EachRowHasWhatItsFamilyNeeds) {
  ASSERT_TRUE(LoadProductTexts());
  for (const int language : {kLanguageEnglish, kLanguageGerman}) {
    ASSERT_TRUE(LoadLanguageTable(language));
    for (const PlaceholderRow& row : PlaceholderTable()) {
      SCOPED_TRACE(S(row.Code));
      EXPECT_FALSE(row.Caption.Text().isEmpty()) << "language " << language;
      EXPECT_NE(row.StandsIn, 0);
      EXPECT_EQ(row.Listed & ~row.StandsIn, 0) << "the list offers only what the field takes";
      switch (row.Family) {
        case PlaceholderFamily::Counter:
          EXPECT_EQ(row.StandsIn, kFieldNameTemplate);
          break;
        case PlaceholderFamily::File:
          EXPECT_NE(row.Value, nullptr);
          EXPECT_EQ(row.Field, nullptr);
          EXPECT_FALSE(row.Sample.isEmpty());
          break;
        case PlaceholderFamily::Content:
          // Its value is read from the file; a Value function only shapes what was read (the
          // date taken's parts, the padded track number).
          EXPECT_EQ(row.Field != nullptr && row.Value != nullptr, false);
          EXPECT_FALSE(row.Sample.isEmpty());
          if (!row.ReadFrom.isEmpty()) {
            const int from = PlaceholderId(row.ReadFrom);
            ASSERT_GE(from, 0);
            EXPECT_EQ(PlaceholderById(from).Family, PlaceholderFamily::Content);
            EXPECT_TRUE(PlaceholderById(from).ReadFrom.isEmpty()) << "read in one step";
            EXPECT_NE(row.Value, nullptr) << "made from another's value";
          }
          break;
        case PlaceholderFamily::Path:
          EXPECT_EQ(row.StandsIn, kFieldTargetDir);
          EXPECT_NE(row.Folder == nullptr, row.Sample.isEmpty())
              << "a folder of this computer, or the example of each file's own";
          break;
      }
    }
  }
}

// The design fixes the order of expansion and case normalisation, and the preview's segment
// kinds follow the rows: the design's placeholders keep their places, new ones come after.
TEST(PlaceholderTable, TheDesignsPlaceholdersKeepTheirPlaces) {
  const std::array<const char16_t*, 17> design = {
      u"%001%", u"%FN%", u"%FSK%", u"%FSM%", u"%DS%", u"%DI%", u"%DH%", u"%DD%", u"%DM%",
      u"%DY%",  u"%CC%", u"%CM%",  u"%CS%",  u"%PD%", u"%PP%", u"%PC%", u"%PF%"};
  const std::span<const PlaceholderRow> table = PlaceholderTable();
  ASSERT_GE(table.size(), design.size());
  for (size_t i = 0; i < design.size(); ++i) {
    EXPECT_EQ(table[i].Code, QStringView(design[i])) << i;
    EXPECT_EQ(table[i].Expansion, PlaceholderExpansion::Step) << i;
  }
}

TEST(PlaceholderSet, AddsTestsAndCombines) {
  PlaceholderSet a;
  EXPECT_FALSE(a.Any());
  a.Add(3);
  a.Add(63);
  a.Add(64);  // beyond the set: ignored rather than wrapped round
  a.Add(-1);
  EXPECT_TRUE(a.Has(3) && a.Has(63));
  EXPECT_FALSE(a.Has(0) || a.Has(64) || a.Has(-1));
  PlaceholderSet b;
  b.Add(3);
  b.Add(5);
  std::vector<int> seen;
  a.Or(b).ForEach([&](int id) { seen.push_back(id); });
  EXPECT_EQ(seen, (std::vector<int>{3, 5, 63}));
  EXPECT_TRUE(a.Within(b).Has(3) && !a.Within(b).Has(63));
  EXPECT_FALSE(a.Without(b).Has(3));
  EXPECT_TRUE(a.Without(b).Has(63));
}

TEST(ContentValue, ChecksumsLiveInTheEntrysOwnFields) {
  FileEntry entry;
  const std::pair<const char16_t*, const QString& (FileEntry::*)() const> rows[] = {
      {u"%CC%", &FileEntry::Crc32}, {u"%CM%", &FileEntry::Md5}, {u"%CS%", &FileEntry::Sha1}};
  for (const auto& [code, field] : rows) {
    const int id = PlaceholderId(code);
    ASSERT_GE(id, 0);
    SetContentValue(entry, id, QStringView(code).mid(1, 2).toString());
    EXPECT_EQ((entry.*field)(), QStringView(code).mid(1, 2).toString());
    EXPECT_EQ(ContentValue(entry, id), (entry.*field)());
  }
  EXPECT_TRUE(entry.ContentValues().isEmpty());
}

// ---- Expansion over a table of its own: step and data rows ----

QString NameOf(const PlaceholderContext& c) {
  return c.Entry().Name();
}
QString SizeOf(const PlaceholderContext& c) {
  return QString::number(c.Entry().Size);
}

// Two steps, two values read from the file (kept by id in the entry) that are inserted as data,
// and a path row that expansion leaves alone.
constexpr std::array kTable = {
    PlaceholderRow{.Code = u"%NA%",
                   .Family = PlaceholderFamily::File,
                   .Caption = kTextWordFileName,
                   .Sample = u"n",
                   .StandsIn = kFieldsAll,
                   .Value = NameOf},
    PlaceholderRow{.Code = u"%XA%",
                   .Family = PlaceholderFamily::Content,
                   .Caption = kTextWordName,
                   .Sample = u"a",
                   .StandsIn = kFieldsAll,
                   .Expansion = PlaceholderExpansion::Data},
    PlaceholderRow{.Code = u"%SZ%",
                   .Family = PlaceholderFamily::File,
                   .Caption = kTextWordSize,
                   .Sample = u"1",
                   .StandsIn = kFieldsAll,
                   .Value = SizeOf},
    PlaceholderRow{.Code = u"%XB%",
                   .Family = PlaceholderFamily::Content,
                   .Caption = kTextWordPath,
                   .Sample = u"b",
                   .StandsIn = kFieldsAll,
                   .Expansion = PlaceholderExpansion::Data},
    PlaceholderRow{.Code = u"%PX%",
                   .Family = PlaceholderFamily::Path,
                   .Caption = kTextWordFolder,
                   .Sample = u"/x/",
                   .StandsIn = kFieldTargetDir},
};

TEST(ExpandPlaceholders, DataComesAfterTheStepsAndIsNeverExpandedAgain) {
  struct Row {
    const char* name;    // the entry's name (%NA%)
    const char* valueA;  // what the file holds for %XA%
    const char* templateText;
    const char* expected;
  };
  const Row rows[] = {
      {"photo", "Nikon", "%NA%_%XA%_%SZ%", "photo_Nikon_42"},
      // A step's value is expanded by the later steps, and by the data pass.
      {"a %SZ% %XA%", "Nikon", "%NA%", "a 42 Nikon"},
      // A value can also complete a placeholder with the text around it.
      {"S", "v", "%%NA%Z%", "42"},
      {"X", "v", "%%NA%A%", "v"},
      // A step never expands what it inserted itself, nor what a later step inserts.
      {"a %NA%", "v", "%SZ%%NA%", "42a %NA%"},
      // A value read from the file is data: the placeholders in it stay as they are.
      {"n", "%NA% %SZ% %XB%", "%XA%|%XB%", "%NA% %SZ% %XB%|B"},
      {"n", "", "[%XA%]", "[]"},
      // Data rows come after every step, wherever they stand in the table.
      {"%XB%", "x", "%SZ%%NA%", "42B"},
      // Only whole codes count; a path row is never expanded.
      {"n", "v", "%XA %XA%% %PX%", "%XA v% %PX%"},
      {"n", "v", "%xa%", "%xa%"},
      {"n", "v", "no placeholders", "no placeholders"},
  };
  for (const Row& row : rows) {
    FileEntry entry;
    entry.SetName(Q(row.name));
    entry.Size = 42;
    entry.SetContentValue(1, Q(row.valueA));
    entry.SetContentValue(3, Q("B"));
    const PlaceholderContext context(entry, 1, false);
    EXPECT_EQ(ExpandPlaceholders(Q(row.templateText), context, kTable), Q(row.expected))
        << row.templateText << " for " << row.name;
  }
}

TEST(NormalizePlaceholders, DataAndStepRowsAlikeButNotPaths) {
  const std::pair<const char*, const char*> rows[] = {
      {"%na%%Xa%%sz%%xB%", "%NA%%XA%%SZ%%XB%"},
      {"%px%%pX%", "%px%%pX%"},
      {"%x%a%", "%x%a%"},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(NormalizePlaceholders(Q(in), kTable), Q(out)) << in;
}

// The design's own placeholders expand through the table exactly as before: each step on the
// result of the one before, in the design's order.
TEST(ExpandFilePlaceholders, FollowsTheTablesOrder) {
  FileEntry entry;
  entry.SetName(Q("%CC%%DS%"));
  entry.Size = 2048;
  entry.Modified = DateFromParts({2020, 1, 2, 3, 4, 5});
  entry.SetCrc32(Q("%FSK%"));  // never a real checksum; it shows that CC comes after FSK
  entry.SetMd5(Q("%CS%"));
  entry.SetSha1(Q("S"));
  EXPECT_EQ(ExpandFilePlaceholders(Q("%FN%|%CM%"), entry, 1, false), Q("%FSK%05|S"));
}

}  // namespace
