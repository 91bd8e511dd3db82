#include "journal/Journal.h"

#include "journal/JournalFolder.h"
#include "platform/FileName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <libdeflate.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

JournalHeader Header() {
  JournalHeader header;
  header.Number = 7;
  header.Started = {1700000000, 123456789};
  header.ProcessId = 4242;
  header.PresetNumber = 3;
  header.PresetName = QStringLiteral("Fotos nach Datum – März");
  header.ListCount = 100;
  header.Values = {{QStringLiteral("NameTemplate"), QStringLiteral("%DY%-%001%")}};
  return header;
}

JournalIntent Intent(uint32_t position, QByteArray source, QByteArray target) {
  JournalIntent intent;
  intent.Position = position;
  intent.Action = JournalAction::Move;
  intent.Source = std::move(source);
  intent.Target = std::move(target);
  intent.Identity.Device = 0x801;
  intent.Identity.Inode = 123456789012ULL + position;
  intent.Identity.Size = 5'000'000'000LL;
  intent.Identity.Mode = 0100644;
  intent.Identity.Modified = {1600000000, 999999999};
  intent.Properties.Mode = 0644;
  intent.Properties.Accessed = {1600000001, 1};
  intent.Properties.Modified = {1600000000, 999999999};
  intent.Properties.HasBirthTime = true;
  intent.Properties.Born = {1500000000, 5};
  return intent;
}

// Everything a journal with every kind of record holds, as a reader reports it.
struct Collected {
  std::vector<std::string> log;
  JournalRecordVisitor Visitor() {
    JournalRecordVisitor v;
    v.Begin = [this](const JournalHeader& h) {
      log.push_back("begin " + std::to_string(h.Number) + " " + h.PresetName.toStdString());
    };
    v.Intent = [this](JournalIntent&& i) {
      log.push_back("intent " + std::to_string(i.Position) + " " + i.Source.toStdString() + " -> " +
                    i.Target.toStdString());
    };
    v.Outcome = [this](const JournalOutcome& o) {
      log.push_back("outcome " + std::to_string(o.Position) + " " + std::to_string(o.Status));
    };
    v.Folder = [this](const QByteArray& f) { log.push_back("folder " + f.toStdString()); };
    v.End = [this](const JournalEnd& e) { log.push_back("end " + std::to_string(e.Changed)); };
    v.UndoBegin = [this](const FileTime&, uint32_t) { log.push_back("undo begin"); };
    v.UndoEntry = [this](const JournalUndoEntry& e) {
      log.push_back("undo " + std::to_string(e.Position));
    };
    v.Undone = [this](const JournalUndone& u) {
      log.push_back("undone " + std::to_string(u.TakenBack));
    };
    return v;
  }
};

TEST(Journal, EveryFieldReadsBackAsWritten) {
  JournalEncoder out;
  out.Begin(Header());
  // A name that is not UTF-8, and a target sharing the source's folder.
  JournalIntent first = Intent(0, "/data/f\xff\xfe/a.txt", "/data/f\xff\xfe/new/A.txt");
  first.Flags = kIntentMayReplace | kIntentClearsReadOnly | kIntentChangesAttributes |
                kIntentRemovesMarks | kIntentWritesDates | kIntentHasReplaced;
  first.Dos.Kind = StoredDosWord::Store::Text;
  first.Dos.Raw = QByteArray("0x22\0\x01\x02", 7);
  first.Marks = {{"user.xdg.origin.url", "https://example.org/a"},
                 {"user.xdg.referrer.url", QByteArray("\0binary", 7)}};
  first.Sibling = SiblingState::Kept;
  first.SiblingMode = 0600;
  first.SiblingAccessed = {31, 32};
  first.SiblingModified = {33, 34};
  first.SiblingContent = "[ZoneTransfer]\r\nZoneId=3\r\n";
  first.Replaced.Device = 9;
  first.Replaced.Inode = 10;
  first.Replaced.Size = 11;
  first.Replaced.Modified = {12, 13};
  out.Intent(first);
  out.Intent(Intent(1, "/data/f\xff\xfe/b.txt", "/other/b.txt"));
  JournalOutcome outcome;
  outcome.Position = 1;
  outcome.Status = 6;
  outcome.Error = 0;
  outcome.NewFile = true;
  outcome.Result.Device = 21;
  outcome.Result.Inode = 22;
  outcome.Result.Size = 23;
  outcome.Result.Modified = {24, 25};
  outcome.NewPath = "/elsewhere/b.txt";
  out.Outcome(outcome);
  out.Folder("/data/f\xff\xfe/new");
  out.End({{1700000100, 0}, 1, 0});

  TempDir dir;
  const std::string path = dir.WriteFile("00000007.journal", out.Bytes().toStdString());
  const JournalContents journal = ReadJournal(DecodeFileName(path));
  ASSERT_TRUE(journal.Read.IsJournal);
  EXPECT_FALSE(journal.Read.Damaged);
  EXPECT_EQ(journal.Read.ValidLength, out.Bytes().size());
  EXPECT_EQ(journal.Header.Number, 7u);
  EXPECT_EQ(journal.Header.Started, (FileTime{1700000000, 123456789}));
  EXPECT_EQ(journal.Header.PresetName, Header().PresetName);
  EXPECT_EQ(journal.Header.Values, Header().Values);
  ASSERT_EQ(journal.Entries.size(), 2u);

  const JournalIntent& a = journal.Entries[0].Intent;
  EXPECT_EQ(a.Source, first.Source);
  EXPECT_EQ(a.Target, first.Target);
  EXPECT_EQ(a.Flags, first.Flags);
  EXPECT_EQ(a.Identity.Inode, first.Identity.Inode);
  EXPECT_EQ(a.Identity.Size, first.Identity.Size);
  EXPECT_EQ(a.Identity.Modified, first.Identity.Modified);
  EXPECT_EQ(a.Properties.Accessed, first.Properties.Accessed);
  EXPECT_EQ(a.Properties.Born, first.Properties.Born);
  EXPECT_TRUE(a.Properties.HasBirthTime);
  EXPECT_EQ(a.Dos, first.Dos);
  ASSERT_EQ(a.Marks.size(), 2u);
  EXPECT_EQ(a.Marks[1].Value, first.Marks[1].Value);
  EXPECT_EQ(a.Sibling, SiblingState::Kept);
  EXPECT_EQ(a.SiblingContent, first.SiblingContent);
  EXPECT_EQ(a.SiblingMode, 0600u);
  EXPECT_EQ(a.SiblingModified, (FileTime{33, 34}));
  EXPECT_EQ(a.Replaced.Inode, 10u);
  EXPECT_EQ(a.Replaced.Modified, (FileTime{12, 13}));
  EXPECT_FALSE(journal.Entries[0].Outcome);

  EXPECT_EQ(journal.Entries[1].Intent.Source, QByteArray("/data/f\xff\xfe/b.txt"));
  EXPECT_EQ(journal.Entries[1].Intent.Target, QByteArray("/other/b.txt"));
  ASSERT_TRUE(journal.Entries[1].Outcome);
  EXPECT_EQ(journal.Entries[1].Outcome->Status, 6);
  EXPECT_TRUE(journal.Entries[1].Outcome->NewFile);
  EXPECT_EQ(journal.Entries[1].Outcome->Result.Modified, (FileTime{24, 25}));
  EXPECT_EQ(journal.Entries[1].Outcome->NewPath, QByteArray("/elsewhere/b.txt"));
  ASSERT_EQ(journal.Folders.size(), 1u);
  ASSERT_TRUE(journal.End);
  EXPECT_EQ(journal.End->Changed, 1u);
  EXPECT_EQ(journal.Undo, UndoState::None);
}

TEST(Journal, TheLatestIntentOfAnEntryCountsAndTheEntriesComeInListOrder) {
  JournalEncoder out;
  out.Begin(Header());
  out.Intent(Intent(4, "/a/e", "/a/E-planned"));
  out.Intent(Intent(5, "/a/f", "/a/F"));
  JournalOutcome failed;
  failed.Position = 4;
  failed.Status = 8;
  out.Outcome(failed);
  // Planned again after entry 4 ended otherwise: entry 5's new intent replaces the old one,
  // and an outcome belongs to the intent before it.
  out.Intent(Intent(5, "/a/f", "/a/F-again"));
  out.Intent(Intent(2, "/a/c", "/a/C"));
  const QByteArray bytes = out.Bytes();

  JournalContents contents;
  TempDir dir;
  const std::string path = dir.WriteFile("j", bytes.toStdString());
  contents = ReadJournal(DecodeFileName(path));
  ASSERT_EQ(contents.Entries.size(), 3u);
  EXPECT_EQ(contents.Entries[0].Intent.Position, 2u);
  EXPECT_EQ(contents.Entries[1].Intent.Position, 4u);
  ASSERT_TRUE(contents.Entries[1].Outcome);
  EXPECT_EQ(contents.Entries[2].Intent.Target, QByteArray("/a/F-again"));
  EXPECT_FALSE(contents.Entries[2].Outcome);
}

// A journal cut off anywhere reads up to its last complete record: at every record boundary
// exactly the records before it, inside a record the same as at the boundary before it.
TEST(Journal, ACutShortJournalReadsUpToItsLastCompleteRecord) {
  JournalEncoder out;
  out.Begin(Header());
  std::vector<qsizetype> boundaries = {out.Bytes().size()};
  std::vector<std::string> expected;
  Collected whole;
  for (uint32_t i = 0; i < 4; ++i) {
    out.Intent(Intent(i, "/d/f" + QByteArray::number(i), "/d/g" + QByteArray::number(i)));
    boundaries.push_back(out.Bytes().size());
    JournalOutcome outcome;
    outcome.Position = i;
    outcome.Status = 1;
    out.Outcome(outcome);
    boundaries.push_back(out.Bytes().size());
  }
  out.Folder("/d/new");
  boundaries.push_back(out.Bytes().size());
  out.End({{1, 0}, 4, 0});
  boundaries.push_back(out.Bytes().size());
  const QByteArray bytes = out.Bytes();
  ReadJournalBytes(bytes, whole.Visitor());
  ASSERT_EQ(whole.log.size(), boundaries.size());

  for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
    SCOPED_TRACE("cut at byte " + std::to_string(cut));
    // The records wholly before the cut.
    size_t complete = 0;
    while (complete < boundaries.size() && boundaries[complete] <= cut) ++complete;
    Collected part;
    const JournalReadResult read = ReadJournalBytes(bytes.left(cut), part.Visitor());
    ASSERT_EQ(part.log.size(), complete);
    for (size_t i = 0; i < complete; ++i) EXPECT_EQ(part.log[i], whole.log[i]);
    EXPECT_EQ(read.IsJournal, complete > 0);
    EXPECT_EQ(read.ValidLength, complete > 0 ? boundaries[complete - 1]
                                             : (cut >= kJournalMagicSize ? kJournalMagicSize : 0));
    const bool atBoundary =
        cut == kJournalMagicSize ||
        std::find(boundaries.begin(), boundaries.end(), cut) != boundaries.end();
    EXPECT_EQ(read.Damaged, cut > 0 && !atBoundary);
  }
}

// Damage (a flipped bit, a wrong length, a record the reader cannot parse) costs the damaged
// record; a good record after it is found again, even one whose path refers to the lost one.
TEST(Journal, DamageCostsOnlyTheDamagedRecord) {
  JournalEncoder out;
  out.Begin(Header());
  const qsizetype afterBegin = out.Bytes().size();
  out.Intent(Intent(0, "/x/a", "/x/b"));
  const qsizetype afterFirst = out.Bytes().size();
  out.Intent(Intent(1, "/x/c", "/x/d"));
  const QByteArray good = out.Bytes();

  struct Case {
    const char* what;
    qsizetype at;  // byte to change
    char value;
    size_t records;  // records still read
  };
  const Case cases[] = {
      {"a bit of the second intent's path", afterFirst + 20, '\x01', 2},
      {"the second intent's CRC", good.size() - 1, '\x00', 2},
      {"the first intent's length made huge", afterBegin + 3, '\x7f', 2},
      {"the first intent's type", afterBegin + 4, '\x09', 2},
      {"the signature", 0, 'X', 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QByteArray bad = good;
    bad[c.at] = static_cast<char>(bad[c.at] ^ (c.value == 0 ? 0xFF : c.value));
    Collected read;
    ReadJournalBytes(bad, read.Visitor());
    EXPECT_EQ(read.log.size(), c.records);
  }

  // A record of a later format (type 42) with a good CRC is skipped, not taken for damage.
  QByteArray bytes = good;
  QByteArray unknown("\x03\x00\x00\x00\x2a\x01\x02", 7);
  const uint32_t crc = static_cast<uint32_t>(libdeflate_crc32(0, unknown.constData(), 7));
  for (int i = 0; i < 4; ++i) unknown.append(static_cast<char>((crc >> (8 * i)) & 0xFF));
  bytes += unknown;
  JournalEncoder tail;
  tail.Begin(Header());
  const qsizetype beginSize = tail.Bytes().size();
  JournalEncoder next;
  next.Begin(Header());
  next.End({{1, 0}, 0, 0});
  bytes += next.Bytes().mid(beginSize);  // an End record after it
  Collected read;
  const JournalReadResult result = ReadJournalBytes(bytes, read.Visitor());
  EXPECT_EQ(read.log.size(), 4u);
  EXPECT_FALSE(result.Damaged);
}

TEST(Journal, ASummaryCountsFilesAndTellsHowFarTheRunWasTakenBack) {
  TempDir dir;
  struct Case {
    const char* what;
    bool ended;
    int undo;  // 0 none, 1 begun, 2 undone with files left, 3 undone
    uint32_t files;
    UndoState state;
  };
  const Case cases[] = {
      {"a run cut off counts what it announced", false, 0, 3, UndoState::None},
      {"a finished run counts what it changed", true, 0, 2, UndoState::None},
      {"an undo that was cut off", true, 1, 2, UndoState::Interrupted},
      {"a partial undo", true, 2, 2, UndoState::Partly},
      {"a complete undo", true, 3, 2, UndoState::Complete},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JournalEncoder out;
    out.Begin(Header());
    for (uint32_t i = 0; i < 3; ++i) out.Intent(Intent(i, "/s", "/t"));
    out.Intent(Intent(1, "/s", "/t2"));  // announced twice, counted once
    if (c.ended) out.End({{2, 0}, 2, 1});
    if (c.undo >= 1) out.UndoBegin({3, 0}, 1);
    if (c.undo >= 2) out.Undone({{4, 0}, 2, c.undo == 2 ? 1u : 0u});
    const std::string path = dir.WriteFile("j", out.Bytes().toStdString());
    const JournalSummary summary = SummarizeJournal(DecodeFileName(path));
    EXPECT_EQ(summary.Files, c.files);
    EXPECT_EQ(summary.Finished, c.ended);
    EXPECT_EQ(summary.Undo, c.state);
    EXPECT_EQ(summary.Left, c.undo == 2 ? 1u : 0u);
  }
}

TEST(JournalFolder, ListsJournalsByNumberAndKeepsTheLastTwenty) {
  TempDir dir;
  for (uint32_t n : {3u, 25u, 1u, 12u}) dir.WriteFile(JournalFileName(n).toStdString(), "x");
  dir.WriteFile("notes.txt", "not a journal");
  dir.WriteFile("123.journal", "too few digits");
  dir.WriteFile("0000000a.journal", "not a number");
  std::vector<uint32_t> numbers;
  for (const JournalFile& file : ListJournalFiles(dir.Path())) numbers.push_back(file.Number);
  EXPECT_EQ(numbers, (std::vector<uint32_t>{1, 3, 12, 25}));
  EXPECT_EQ(JournalFileName(12), QStringLiteral("00000012.journal"));

  for (uint32_t n = 30; n < 50; ++n) dir.WriteFile(JournalFileName(n).toStdString(), "x");
  EXPECT_EQ(PruneJournals(dir.Path()), 4);
  const std::vector<JournalFile> kept = ListJournalFiles(dir.Path());
  ASSERT_EQ(kept.size(), 20u);
  EXPECT_EQ(kept.front().Number, 30u);
  EXPECT_TRUE(PathExists(dir.Bytes() + "notes.txt"));
}

}  // namespace

namespace {

// The records a journal of four moves holds, each as the reader reports it, with where each
// record ends.
struct Sample {
  QByteArray bytes;
  std::vector<qsizetype> ends;  // after Begin, then after each further record
  Collected whole;
  Sample() {
    JournalEncoder out;
    out.Begin(Header());
    ends.push_back(out.Bytes().size());
    for (uint32_t i = 0; i < 4; ++i) {
      out.Intent(Intent(i, "/d/f" + QByteArray::number(i), "/e/g" + QByteArray::number(i)));
      ends.push_back(out.Bytes().size());
      JournalOutcome outcome;
      outcome.Position = i;
      outcome.Status = 1;
      out.Outcome(outcome);
      ends.push_back(out.Bytes().size());
    }
    out.Folder("/e");
    ends.push_back(out.Bytes().size());
    out.End({{1, 0}, 4, 0});
    ends.push_back(out.Bytes().size());
    bytes = out.Bytes();
    ReadJournalBytes(bytes, whole.Visitor());
  }
};

}  // namespace

// One flipped bit anywhere after the Begin record: that record is lost, every record after it
// is read again, and the damage is reported as such, not taken for a torn end. Only damage in
// the last record cannot be told from a crash.
TEST(Journal, DamageInsideIsReportedAndTheRecordsAfterItAreFoundAgain) {
  const Sample sample;
  ASSERT_EQ(sample.whole.log.size(), sample.ends.size());
  for (qsizetype at = sample.ends.front(); at < sample.bytes.size(); ++at) {
    for (const int bit : {0, 7}) {
      SCOPED_TRACE("byte " + std::to_string(at) + " bit " + std::to_string(bit));
      QByteArray bad = sample.bytes;
      bad[at] = static_cast<char>(bad[at] ^ (1 << bit));
      size_t hit = 1;  // the record the byte belongs to
      while (sample.ends[hit] <= at) ++hit;
      const bool last = hit + 1 == sample.ends.size();
      Collected read;
      std::vector<int64_t> stretches;
      JournalRecordVisitor visitor = read.Visitor();
      std::vector<std::pair<uint32_t, bool>> intents;  // epoch, path lost
      auto logIntent = visitor.Intent;
      visitor.Intent = [&](JournalIntent&& intent) {
        intents.push_back({intent.Epoch, intent.PathLost});
        logIntent(std::move(intent));
      };
      visitor.Damage = [&](int64_t offset, int64_t length) {
        EXPECT_EQ(offset, sample.ends[hit - 1]);
        EXPECT_EQ(offset + length, sample.ends[hit]);
        stretches.push_back(offset);
      };
      const JournalReadResult result = ReadJournalBytes(bad, visitor);
      std::vector<std::string> expected = sample.whole.log;
      expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(hit));
      // The first intent holds the only whole path: lost, the paths after it can only be read
      // in part, and say so. Any other lost intent leaves its successors readable.
      const bool firstLost = hit == 1;
      std::vector<std::string> got = read.log;
      if (firstLost) {
        const auto isIntent = [](const std::string& line) { return line.rfind("intent", 0) == 0; };
        std::erase_if(got, isIntent);
        std::erase_if(expected, isIntent);
      }
      EXPECT_EQ(got, expected);
      EXPECT_EQ(result.DamagedStretches, last ? 0 : 1);
      EXPECT_EQ(result.Damaged, last) << "only a damaged last record counts as torn";
      EXPECT_EQ(result.ValidLength, last ? sample.ends[hit - 1] : sample.bytes.size());
      // Intents 0..3 are records 1, 3, 5, 7: those after the damaged one are in epoch 1.
      const bool intentHit = hit % 2 == 1 && hit <= 7;
      ASSERT_EQ(intents.size(), intentHit ? 3u : 4u);
      for (size_t i = 0; i < intents.size(); ++i) {
        const size_t record = 2 * (i + (intentHit && 2 * i + 1 >= hit ? 1 : 0)) + 1;
        EXPECT_EQ(intents[i].first, record > hit && !last ? 1u : 0u) << "intent " << i;
        EXPECT_EQ(intents[i].second, firstLost) << "intent " << i;
      }
    }
  }
}

// A damaged journal read as a whole: the outcome of an entry whose intent was lost counts it.
TEST(Journal, EntriesLostToDamageAreCounted) {
  const Sample sample;
  QByteArray bad = sample.bytes;
  const qsizetype secondIntent = sample.ends[2] + 10;
  bad[secondIntent] = static_cast<char>(bad[secondIntent] ^ 0x10);
  TempDir dir;
  const std::string path = dir.WriteFile("00000001.journal", bad.toStdString());
  const JournalContents journal = ReadJournal(DecodeFileName(path));
  EXPECT_TRUE(journal.Read.Usable());
  EXPECT_EQ(journal.Read.DamagedStretches, 1);
  EXPECT_EQ(journal.LostIntents, 1) << "its outcome is there, its intent is not";
  ASSERT_EQ(journal.Entries.size(), 3u);
  EXPECT_EQ(journal.Entries[1].Intent.Position, 2u);
  EXPECT_EQ(journal.Entries[1].Intent.Epoch, 1u);
}

// The records that let undo recognise what the run made and what it left.
TEST(Journal, MadeRecordsAndPropertiesAfterTheRunReadBack) {
  JournalEncoder out;
  out.Begin(Header());
  out.Intent(Intent(0, "/a/x", "/b/x"));
  FileIdentity made;
  made.Device = 0x802;
  made.Inode = 77;
  made.Size = 4096;
  made.HasBirthTime = true;
  made.Born = {1700000000, 42};
  out.Made({0, JournalMaker::Run, made});
  JournalOutcome outcome;
  outcome.Position = 0;
  outcome.Status = 1;
  outcome.HasAfter = true;
  outcome.AfterMode = 0640;
  outcome.AfterAccessed = {5, 6};
  outcome.AfterModified = {7, 8};
  outcome.HasAfterDos = true;
  outcome.AfterDos = {StoredDosWord::Store::Text, QByteArray("0x21", 4)};
  out.Outcome(outcome);
  FileIdentity back = made;
  back.Inode = 78;
  out.Made({0, JournalMaker::Undo, back});
  // Announced again: what was made for the earlier intent does not count for the new one.
  out.Intent(Intent(1, "/a/y", "/b/y"));
  out.Made({1, JournalMaker::Run, made});
  out.Intent(Intent(1, "/a/y", "/b/y2"));

  TempDir dir;
  const std::string path = dir.WriteFile("00000001.journal", out.Bytes().toStdString());
  const JournalContents journal = ReadJournal(DecodeFileName(path));
  ASSERT_TRUE(journal.Read.Usable());
  EXPECT_EQ(journal.Read.DamagedStretches, 0);
  ASSERT_EQ(journal.Entries.size(), 2u);
  const JournalEntry& first = journal.Entries[0];
  ASSERT_TRUE(first.Made);
  EXPECT_EQ(first.Made->File.Inode, 77u);
  EXPECT_EQ(first.Made->File.Size, 4096);
  EXPECT_EQ(first.Made->File.Born, (FileTime{1700000000, 42}));
  ASSERT_TRUE(first.UndoMade);
  EXPECT_EQ(first.UndoMade->File.Inode, 78u);
  ASSERT_TRUE(first.Outcome);
  EXPECT_TRUE(first.Outcome->HasAfter);
  EXPECT_EQ(first.Outcome->AfterMode, 0640u);
  EXPECT_EQ(first.Outcome->AfterModified, (FileTime{7, 8}));
  EXPECT_EQ(first.Outcome->AfterDos.Raw, QByteArray("0x21"));
  EXPECT_FALSE(journal.Entries[1].Made);
  EXPECT_EQ(journal.LostIntents, 0);
}
