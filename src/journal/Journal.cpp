#include "journal/Journal.h"

#include "journal/JournalFields.h"

#include <QHash>
#include <QSet>

#include <algorithm>

using namespace journal_fields;

std::string& JournalEncoder::Open(uint8_t type) {
  record_.assign(4, '\0');
  record_.push_back(static_cast<char>(type));
  return record_;
}

void JournalEncoder::Close() {
  const auto length = static_cast<uint32_t>(record_.size() - 4);
  for (size_t i = 0; i < 4; ++i) record_[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  const uint32_t crc = Crc(record_.data(), record_.size());
  Out(record_).U32(crc);
  bytes_.append(record_);
}

void JournalEncoder::Begin(const JournalHeader& header) {
  if (bytes_.empty()) bytes_.append(kJournalMagic, kJournalMagicSize);
  Out out(Open(kRecordBegin));
  out.U16(kFormat);
  out.U32(header.Number);
  out.Time(header.Started);
  out.U32(header.ProcessId);
  out.I32(header.PresetNumber);
  out.Text(header.PresetName);
  out.U8(static_cast<uint8_t>(header.FrontEnd));
  out.U32(header.ListCount);
  out.U16(static_cast<uint16_t>(std::min<qsizetype>(header.Values.size(), 0xFFFF)));
  for (qsizetype i = 0; i < header.Values.size() && i < 0xFFFF; ++i) {
    out.Text(header.Values[i].first);
    out.Text(header.Values[i].second);
  }
  Close();
}

void JournalEncoder::Intent(const JournalIntent& intent) {
  Out out(Open(kRecordIntent));
  out.U32(intent.Position);
  out.U8(static_cast<uint8_t>(intent.Action));
  out.U8(intent.Flags);
  out.Path(intent.Source, lastSource_);
  out.Path(intent.Target, intent.Source);
  out.I32(intent.Identity.Error);
  WriteIdentityCore(out, intent.Identity);
  out.U32(intent.Identity.Mode);
  out.Time(intent.Identity.Modified);
  out.U32(intent.Properties.Mode);
  out.Time(intent.Properties.Accessed);
  out.Time(intent.Properties.Modified);
  out.U8(intent.Properties.HasBirthTime ? 1 : 0);
  out.Time(intent.Properties.Born);
  if (intent.Has(kIntentChangesAttributes)) {
    out.U8(static_cast<uint8_t>(intent.Dos.Kind));
    out.Bytes(intent.Dos.Raw);
  }
  if (intent.Has(kIntentRemovesMarks)) {
    const size_t count = std::min<size_t>(intent.Marks.size(), 255);
    out.U8(static_cast<uint8_t>(count));
    for (size_t i = 0; i < count; ++i) {
      out.Bytes(intent.Marks[i].Name);
      out.Bytes(intent.Marks[i].Value);
    }
    out.U8(static_cast<uint8_t>(intent.Sibling));
    if (intent.Sibling == SiblingState::Kept) {
      out.U32(intent.SiblingMode);
      out.Time(intent.SiblingAccessed);
      out.Time(intent.SiblingModified);
      out.Bytes(intent.SiblingContent);
    }
  }
  if (intent.Has(kIntentHasReplaced)) {
    WriteIdentityCore(out, intent.Replaced);
    out.Time(intent.Replaced.Modified);
  }
  Close();
  lastSource_ = intent.Source;
}

void JournalEncoder::Outcome(const JournalOutcome& outcome) {
  Out out(Open(kRecordOutcome));
  out.U32(outcome.Position);
  out.I8(outcome.Status);
  out.I32(outcome.Error);
  uint8_t flags = 0;
  if (outcome.NewFile) flags |= kOutcomeNewFile;
  if (!outcome.NewPath.isEmpty()) flags |= kOutcomeOtherPath;
  if (outcome.HasAfter) flags |= kOutcomeAfter;
  out.U8(flags);
  if (outcome.NewFile) {
    WriteIdentityCore(out, outcome.Result);
    out.Time(outcome.Result.Modified);
  }
  if (!outcome.NewPath.isEmpty()) out.Bytes(outcome.NewPath);
  if (outcome.HasAfter) {
    out.U32(outcome.AfterMode);
    out.Time(outcome.AfterAccessed);
    out.Time(outcome.AfterModified);
    out.U8(outcome.HasAfterDos ? 1 : 0);
    if (outcome.HasAfterDos) {
      out.U8(static_cast<uint8_t>(outcome.AfterDos.Kind));
      out.Bytes(outcome.AfterDos.Raw);
    }
  }
  Close();
}

void JournalEncoder::Folder(const QByteArray& path) {
  Out(Open(kRecordFolder)).Bytes(path);
  Close();
}

void JournalEncoder::End(const JournalEnd& end) {
  Out out(Open(kRecordEnd));
  out.Time(end.Ended);
  out.U32(end.Changed);
  out.U32(end.Failed);
  Close();
}

void JournalEncoder::UndoBegin(const FileTime& started, uint32_t processId) {
  Out out(Open(kRecordUndoBegin));
  out.Time(started);
  out.U32(processId);
  Close();
}

void JournalEncoder::UndoEntry(const JournalUndoEntry& entry) {
  Out out(Open(kRecordUndoEntry));
  out.U32(entry.Position);
  out.I8(entry.Result);
  out.I32(entry.Error);
  Close();
}

void JournalEncoder::Undone(const JournalUndone& undone) {
  Out out(Open(kRecordUndone));
  out.Time(undone.Ended);
  out.U32(undone.TakenBack);
  out.U32(undone.Left);
  Close();
}

void JournalEncoder::Made(const JournalMade& made) {
  Out out(Open(kRecordMade));
  out.U32(made.Position);
  out.U8(static_cast<uint8_t>(made.Maker));
  WriteIdentityCore(out, made.File);
  out.U8(made.File.HasBirthTime ? 1 : 0);
  out.Time(made.File.Born);
  Close();
}

namespace {

// Builds the contents from the records that `read` hands to its visitor.
template <typename Read>
JournalContents CollectJournal(Read read) {
  JournalContents contents;
  QHash<uint32_t, size_t> byPosition;
  QSet<uint32_t> orphans;
  const auto entryAt = [&](uint32_t position) -> JournalEntry* {
    const auto it = byPosition.constFind(position);
    if (it != byPosition.constEnd()) return &contents.Entries[it.value()];
    orphans.insert(position);
    return nullptr;
  };
  JournalRecordVisitor visitor;
  visitor.Begin = [&](const JournalHeader& header) { contents.Header = header; };
  visitor.Intent = [&](JournalIntent&& intent) {
    const auto it = byPosition.constFind(intent.Position);
    if (it != byPosition.constEnd()) {
      // Announced again: the later intent is the one the run acted on, if any.
      JournalEntry& entry = contents.Entries[it.value()];
      entry.Intent = std::move(intent);
      entry.Outcome.reset();
      entry.Made.reset();
      return;
    }
    orphans.remove(intent.Position);
    byPosition.insert(intent.Position, contents.Entries.size());
    JournalEntry entry;
    entry.Intent = std::move(intent);
    contents.Entries.push_back(std::move(entry));
  };
  visitor.Outcome = [&](const JournalOutcome& outcome) {
    if (JournalEntry* entry = entryAt(outcome.Position)) entry->Outcome = outcome;
  };
  visitor.Made = [&](const JournalMade& made) {
    JournalEntry* entry = entryAt(made.Position);
    if (entry == nullptr) return;
    if (made.Maker == JournalMaker::Run)
      entry->Made = made;
    else
      entry->UndoMade = made;
  };
  visitor.Folder = [&](const QByteArray& folder) { contents.Folders.push_back(folder); };
  visitor.End = [&](const JournalEnd& end) { contents.End = end; };
  visitor.UndoBegin = [&](const FileTime&, uint32_t) { contents.Undo = UndoState::Interrupted; };
  visitor.UndoEntry = [&](const JournalUndoEntry& undo) {
    if (JournalEntry* entry = entryAt(undo.Position)) entry->UndoneBefore = undo;
  };
  visitor.Undone = [&](const JournalUndone& undone) {
    contents.Undone = undone;
    contents.Undo = undone.Left == 0 ? UndoState::Complete : UndoState::Partly;
  };
  contents.Read = read(visitor);
  contents.LostIntents = orphans.size();
  std::stable_sort(contents.Entries.begin(), contents.Entries.end(),
                   [](const JournalEntry& a, const JournalEntry& b) {
                     return a.Intent.Position < b.Intent.Position;
                   });
  return contents;
}

}  // namespace

JournalContents ReadJournal(const AppendFile& file) {
  return CollectJournal(
      [&](const JournalRecordVisitor& visitor) { return ReadJournalRecords(file, visitor); });
}

JournalContents ReadJournal(const QString& path) {
  return CollectJournal(
      [&](const JournalRecordVisitor& visitor) { return ReadJournalRecords(path, visitor); });
}

JournalSummary SummarizeJournal(const QString& path) {
  JournalSummary summary;
  QSet<uint32_t> announced;
  JournalRecordVisitor visitor;
  visitor.Begin = [&](const JournalHeader& header) { summary.Header = header; };
  visitor.Intent = [&](JournalIntent&& intent) { announced.insert(intent.Position); };
  visitor.End = [&](const JournalEnd& end) {
    summary.Finished = true;
    summary.Files = end.Changed;
  };
  visitor.UndoBegin = [&](const FileTime&, uint32_t) { summary.Undo = UndoState::Interrupted; };
  visitor.Undone = [&](const JournalUndone& undone) {
    summary.Undo = undone.Left == 0 ? UndoState::Complete : UndoState::Partly;
    summary.Left = undone.Left;
  };
  summary.Read = ReadJournalRecords(path, visitor, true);
  if (!summary.Finished) summary.Files = static_cast<uint32_t>(announced.size());
  return summary;
}
