#include "journal/Journal.h"

#include "journal/JournalFields.h"
#include "journal/JournalFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

using namespace journal_fields;

namespace {

// Parses one record's body; false when it does not hold what its type promises.
class Decoder {
 public:
  explicit Decoder(const JournalRecordVisitor& visitor) : visitor_(visitor) {}

  bool Record(uint8_t type, const char* body, size_t size, bool first) {
    In in(body, size);
    if (first != (type == kRecordBegin)) return false;
    switch (type) {
      case kRecordBegin:
        return Begin(in);
      case kRecordIntent:
        return Intent(in);
      case kRecordOutcome:
        return Outcome(in);
      case kRecordFolder: {
        const QByteArray path = in.Bytes();
        if (!in.Ok()) return false;
        if (visitor_.Folder) visitor_.Folder(path);
        return true;
      }
      case kRecordEnd: {
        JournalEnd end;
        end.Ended = in.Time();
        end.Changed = in.U32();
        end.Failed = in.U32();
        if (!in.Ok()) return false;
        if (visitor_.End) visitor_.End(end);
        return true;
      }
      case kRecordUndoBegin: {
        const FileTime started = in.Time();
        const uint32_t pid = in.U32();
        if (!in.Ok()) return false;
        if (visitor_.UndoBegin) visitor_.UndoBegin(started, pid);
        return true;
      }
      case kRecordUndoEntry: {
        JournalUndoEntry entry;
        entry.Position = in.U32();
        entry.Result = in.I8();
        entry.Error = in.I32();
        if (!in.Ok()) return false;
        if (visitor_.UndoEntry) visitor_.UndoEntry(entry);
        return true;
      }
      case kRecordUndone: {
        JournalUndone undone;
        undone.Ended = in.Time();
        undone.TakenBack = in.U32();
        undone.Left = in.U32();
        if (!in.Ok()) return false;
        if (visitor_.Undone) visitor_.Undone(undone);
        return true;
      }
      case kRecordMade: {
        JournalMade made;
        made.Position = in.U32();
        const uint8_t maker = in.U8();
        made.File = ReadIdentityCore(in);
        made.File.HasBirthTime = in.U8() != 0;
        made.File.Born = in.Time();
        if (!in.Ok() || maker > 1) return false;
        made.Maker = static_cast<JournalMaker>(maker);
        if (visitor_.Made) visitor_.Made(made);
        return true;
      }
      default:
        return true;  // a record of a later format: skipped
    }
  }

 private:
  bool Begin(In& in) {
    JournalHeader header;
    header.Format = in.U16();
    header.Number = in.U32();
    header.Started = in.Time();
    header.ProcessId = in.U32();
    header.PresetNumber = in.I32();
    header.PresetName = in.Text();
    header.FrontEnd = static_cast<JournalFrontEnd>(in.U8());
    header.ListCount = in.U32();
    const uint16_t count = in.U16();
    for (uint16_t i = 0; i < count && in.Ok(); ++i) {
      const QString key = in.Text();
      const QString value = in.Text();
      header.Values.append({key, value});
    }
    if (!in.Ok() || header.Format != kFormat) return false;
    if (visitor_.Begin) visitor_.Begin(header);
    return true;
  }

  bool Intent(In& in) {
    JournalIntent intent;
    intent.Position = in.U32();
    const uint8_t action = in.U8();
    if (action < 1 || action > 4) return false;
    intent.Action = static_cast<JournalAction>(action);
    intent.Flags = in.U8();
    // After damage, the path this one shares its start with may be gone: what is left of it
    // is kept (the paths are then marked as not to be relied on).
    bool lost = false;
    bool targetLost = false;
    intent.Source = in.PathOrRest(lastSource_, lost);
    intent.Target = in.PathOrRest(intent.Source, targetLost);
    if (targetLost && !lost) return false;  // its own source is whole: the record is broken
    intent.Identity.Error = in.I32();
    FileIdentity core = ReadIdentityCore(in);
    intent.Identity.Device = core.Device;
    intent.Identity.Inode = core.Inode;
    intent.Identity.Size = core.Size;
    intent.Identity.Mode = in.U32();
    intent.Identity.Modified = in.Time();
    intent.Properties.Mode = in.U32();
    intent.Properties.Accessed = in.Time();
    intent.Properties.Modified = in.Time();
    intent.Properties.HasBirthTime = in.U8() != 0;
    intent.Properties.Born = in.Time();
    if (intent.Has(kIntentChangesAttributes)) {
      const uint8_t store = in.U8();
      if (store > 3) return false;
      intent.Dos.Kind = static_cast<StoredDosWord::Store>(store);
      intent.Dos.Raw = in.Bytes();
    }
    if (intent.Has(kIntentRemovesMarks)) {
      const uint8_t count = in.U8();
      for (uint8_t i = 0; i < count && in.Ok(); ++i) {
        JournalMark mark;
        mark.Name = in.Bytes();
        mark.Value = in.Bytes();
        intent.Marks.push_back(std::move(mark));
      }
      const uint8_t sibling = in.U8();
      if (sibling > 2) return false;
      intent.Sibling = static_cast<SiblingState>(sibling);
      if (intent.Sibling == SiblingState::Kept) {
        intent.SiblingMode = in.U32();
        intent.SiblingAccessed = in.Time();
        intent.SiblingModified = in.Time();
        intent.SiblingContent = in.Bytes();
      }
    }
    if (intent.Has(kIntentHasReplaced)) {
      intent.Replaced = ReadIdentityCore(in);
      intent.Replaced.Modified = in.Time();
    }
    if (!in.Ok()) return false;
    if (lost && epoch_ == 0) return false;  // without damage before it, such a record is broken
    intent.PathLost = lost;
    intent.Epoch = epoch_;
    intent.Sequence = sequence_++;
    lastSource_ = intent.Source;
    if (visitor_.Intent) visitor_.Intent(std::move(intent));
    return true;
  }

  bool Outcome(In& in) {
    JournalOutcome outcome;
    outcome.Position = in.U32();
    outcome.Status = in.I8();
    outcome.Error = in.I32();
    const uint8_t flags = in.U8();
    outcome.NewFile = (flags & kOutcomeNewFile) != 0;
    if (outcome.NewFile) {
      outcome.Result = ReadIdentityCore(in);
      outcome.Result.Modified = in.Time();
    }
    if ((flags & kOutcomeOtherPath) != 0) outcome.NewPath = in.Bytes();
    if ((flags & kOutcomeAfter) != 0) {
      outcome.HasAfter = true;
      outcome.AfterMode = in.U32();
      outcome.AfterAccessed = in.Time();
      outcome.AfterModified = in.Time();
      outcome.HasAfterDos = in.U8() != 0;
      if (outcome.HasAfterDos) {
        const uint8_t store = in.U8();
        if (store > 3) return false;
        outcome.AfterDos.Kind = static_cast<StoredDosWord::Store>(store);
        outcome.AfterDos.Raw = in.Bytes();
      }
    }
    if (!in.Ok()) return false;
    if (visitor_.Outcome) visitor_.Outcome(outcome);
    return true;
  }

  const JournalRecordVisitor& visitor_;
  QByteArray lastSource_;
  uint32_t epoch_ = 0;
  uint64_t sequence_ = 0;

 public:
  // A damaged stretch lies behind: the paths of the intents that follow may refer to one lost.
  void Damaged() { ++epoch_; }
};

uint32_t LittleU32(const char* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  return v;
}

// Whether a record of this type can have this length. Used only to find good records again
// after damage: most byte positions fail here before a CRC is worth computing.
bool PlausibleRecord(uint8_t type, uint32_t length) {
  switch (type) {
    case kRecordIntent:
      return length >= 1 + 4 + 2 + 16 + 4 + 24 + 4 + 12 + 4 + 24 + 1 + 12;
    case kRecordOutcome:
      return length >= 1 + 4 + 1 + 4 + 1 && length <= (1u << 20);
    case kRecordFolder:
      return length >= 1 + 4 && length <= (1u << 16);
    case kRecordEnd:
    case kRecordUndone:
      return length == 1 + 12 + 8;
    case kRecordUndoBegin:
      return length == 1 + 12 + 4;
    case kRecordUndoEntry:
      return length == 1 + 4 + 1 + 4;
    case kRecordMade:
      return length == 1 + 4 + 1 + 24 + 1 + 12;
    default:
      return false;  // a Begin comes only first; unknown types are not looked for
  }
}

// Walks records in a stream of bytes that arrives in pieces, finding good records again after
// damage (see Journal.h).
class RecordStream {
 public:
  explicit RecordStream(const JournalRecordVisitor& visitor)
      : visitor_(visitor), decoder_(visitor) {}

  // Adds bytes; false once nothing more can be read (the file is no journal).
  bool Feed(const char* data, size_t size) {
    if (stopped_) return false;
    pending_.append(data, static_cast<qsizetype>(size));
    Scan(false);
    return !stopped_;
  }

  // The file ends: what is left is a torn last record, or damage with good records after it.
  void End() {
    if (stopped_) return;
    Scan(true);
    if (!pending_.isEmpty() || searching_) torn_ = true;
    pending_.clear();
  }

  bool MagicSeen() const { return magicSeen_; }
  bool BeginSeen() const { return records_ > 0; }
  bool BadStart() const { return badStart_; }
  int64_t Valid() const { return valid_; }
  bool Torn() const { return torn_; }
  int Stretches() const { return stretches_; }

 private:
  // Takes the complete records at the start of `pending_`; at the end of the file, also what
  // can be found after a record that cannot be complete.
  void Scan(bool atEnd) {
    qsizetype used = 0;
    if (!magicSeen_) {
      const qsizetype have = std::min<qsizetype>(pending_.size(), kJournalMagicSize);
      if (std::memcmp(pending_.constData(), kJournalMagic, static_cast<size_t>(have)) != 0) {
        badStart_ = true;
        Stop();
        return;
      }
      if (have < kJournalMagicSize) return;
      magicSeen_ = true;
      used = kJournalMagicSize;
      valid_ = kJournalMagicSize;
    }
    for (;;) {
      const qsizetype left = pending_.size() - used;
      const char* p = pending_.constData() + used;
      if (searching_) {
        // Byte by byte: the next position where a plausible record with a fitting CRC starts.
        if (left < 9) break;
        const uint32_t length = LittleU32(p);
        if (!PlausibleRecord(static_cast<uint8_t>(p[4]), length)) {
          ++used;
          continue;
        }
        const qsizetype whole = 8 + static_cast<qsizetype>(length);
        if (left < whole && !atEnd) break;
        if (left < whole || LittleU32(p + 4 + length) != Crc(p, 4 + length)) {
          ++used;
          continue;
        }
        // Found again: the stretch from where the damage began up to here is reported.
        searching_ = false;
        ++stretches_;
        decoder_.Damaged();
        if (visitor_.Damage) visitor_.Damage(damageStart_, base_ + used - damageStart_);
        continue;
      }
      if (left < 4) break;
      const uint32_t length = LittleU32(p);
      const qsizetype whole = 8 + static_cast<qsizetype>(length);
      const bool sane = length >= 1 && length <= kJournalMaxRecord;
      if (sane && left < whole && !atEnd) break;
      const bool good =
          sane && left >= whole && LittleU32(p + 4 + length) == Crc(p, 4 + length) &&
          decoder_.Record(static_cast<uint8_t>(p[4]), p + 5, length - 1, records_ == 0);
      if (!good) {
        if (records_ == 0) {
          // The Begin record: cut off (a crash right after the file was made), or no journal.
          badStart_ = !(sane && left < whole);
          Stop();
          return;
        }
        // Torn, unless good records lie after it: they are looked for from the next byte on.
        searching_ = true;
        damageStart_ = base_ + used;
        ++used;
        continue;
      }
      ++records_;
      used += whole;
      valid_ = base_ + used;
    }
    pending_.remove(0, used);
    base_ += used;
  }

  void Stop() {
    stopped_ = true;
    torn_ = !pending_.isEmpty();
    pending_.clear();
  }

  const JournalRecordVisitor& visitor_;
  Decoder decoder_;
  QByteArray pending_;
  int64_t base_ = 0;  // the file offset of pending_'s first byte
  bool magicSeen_ = false;
  bool stopped_ = false;
  bool badStart_ = false;
  bool searching_ = false;
  bool torn_ = false;
  int64_t damageStart_ = 0;
  int stretches_ = 0;
  int64_t valid_ = 0;
  int64_t records_ = 0;
};

JournalReadResult Finish(const RecordStream& stream, int error) {
  JournalReadResult result;
  result.Error = error;
  result.IsJournal = stream.MagicSeen() && stream.BeginSeen();
  result.TornStart = !result.IsJournal && error == 0 && !stream.BadStart();
  result.ValidLength = stream.Valid();
  result.Damaged = stream.Torn();
  result.DamagedStretches = stream.Stretches();
  return result;
}

}  // namespace

JournalReadResult ReadJournalBytes(const QByteArray& bytes, const JournalRecordVisitor& visitor) {
  RecordStream stream(visitor);
  stream.Feed(bytes.constData(), static_cast<size_t>(bytes.size()));
  stream.End();
  return Finish(stream, 0);
}

JournalReadResult ReadJournalRecords(const AppendFile& file, const JournalRecordVisitor& visitor) {
  RecordStream stream(visitor);
  constexpr size_t kChunk = 1 << 20;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  int64_t offset = 0;
  for (;;) {
    const ssize_t n = file.ReadAt(offset, buffer.get(), kChunk);
    if (n < 0) return Finish(stream, static_cast<int>(-n));
    if (n == 0 || !stream.Feed(buffer.get(), static_cast<size_t>(n))) break;
    offset += n;
    if (static_cast<size_t>(n) < kChunk) break;
  }
  stream.End();
  return Finish(stream, 0);
}

JournalReadResult ReadJournalRecords(const QString& path, const JournalRecordVisitor& visitor,
                                     bool lookForUse) {
  PrivateFolder folder;
  AppendFile file;
  const TrustCheck check = OpenJournal(path, false, folder, file);
  if (!check.Ok()) {
    JournalReadResult result;
    result.Error = check.Error;
    result.Trust = check;
    return result;
  }
  bool inUse = false;
  // A run or an undo holds its journal exclusively; a look takes a shared lock for a moment.
  if (lookForUse) inUse = file.TryLock(AppendFile::LockKind::Shared) == EWOULDBLOCK;
  JournalReadResult result = ReadJournalRecords(file, visitor);
  result.InUse = inUse;
  return result;
}
