#include "journal/Journal.h"

#include "platform/FileRead.h"

#include <libdeflate.h>

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

enum RecordType : uint8_t {
  kRecordBegin = 1,
  kRecordIntent = 2,
  kRecordOutcome = 3,
  kRecordFolder = 4,
  kRecordEnd = 5,
  kRecordUndoBegin = 6,
  kRecordUndoEntry = 7,
  kRecordUndone = 8,
};

constexpr uint16_t kFormat = 1;

uint32_t Crc(const char* data, size_t size) {
  return static_cast<uint32_t>(libdeflate_crc32(0, data, size));
}

// Little-endian fields appended to the record being built. A record is built in a buffer of
// its own (reused from record to record) and joins the encoder's bytes whole, so that a field
// costs a few stores rather than a call into QByteArray.
class Out {
 public:
  explicit Out(std::string& bytes) : bytes_(bytes) {}
  void U8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
  void U16(uint16_t v) { Fixed<2>(v); }
  void U32(uint32_t v) { Fixed<4>(v); }
  void U64(uint64_t v) { Fixed<8>(v); }
  void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void I64(int64_t v) { U64(static_cast<uint64_t>(v)); }
  void Time(const FileTime& t) {
    I64(t.Seconds);
    U32(static_cast<uint32_t>(t.Nanoseconds));
  }
  void Bytes(const QByteArray& b) {
    U32(static_cast<uint32_t>(b.size()));
    bytes_.append(b.constData(), static_cast<size_t>(b.size()));
  }
  void Text(const QString& text) { Bytes(text.toUtf8()); }
  void Path(const QByteArray& path, const QByteArray& reference) {
    const qsizetype limit = std::min(path.size(), reference.size());
    const char* p = path.constData();
    const char* r = reference.constData();
    qsizetype shared = 0;
    while (shared + 8 <= limit && std::memcmp(p + shared, r + shared, 8) == 0) shared += 8;
    while (shared < limit && p[shared] == r[shared]) ++shared;
    U32(static_cast<uint32_t>(shared));
    U32(static_cast<uint32_t>(path.size() - shared));
    bytes_.append(p + shared, static_cast<size_t>(path.size() - shared));
  }

 private:
  template <size_t N>
  void Fixed(uint64_t v) {
    char b[N];
    for (size_t i = 0; i < N; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    bytes_.append(b, N);
  }
  std::string& bytes_;
};

// Reads fields from one record's body; every read past the end fails the record.
class In {
 public:
  In(const char* data, size_t size) : p_(data), end_(data + size) {}
  bool Ok() const { return ok_; }
  bool AtEnd() const { return p_ == end_; }
  uint8_t U8() { return static_cast<uint8_t>(Fixed(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Fixed(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Fixed(4)); }
  uint64_t U64() { return Fixed(8); }
  int8_t I8() { return static_cast<int8_t>(U8()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  int64_t I64() { return static_cast<int64_t>(U64()); }
  FileTime Time() {
    FileTime t;
    t.Seconds = I64();
    t.Nanoseconds = U32();
    if (t.Nanoseconds >= 1000000000) ok_ = false;
    return t;
  }
  QByteArray Bytes() {
    const uint32_t n = U32();
    return Take(n);
  }
  QString Text() { return QString::fromUtf8(Bytes()); }
  QByteArray Path(const QByteArray& reference) {
    const uint32_t shared = U32();
    const uint32_t rest = U32();
    if (!ok_ || shared > static_cast<uint32_t>(reference.size())) {
      ok_ = false;
      return {};
    }
    QByteArray path = reference.left(shared);
    path += Take(rest);
    return path;
  }

 private:
  uint64_t Fixed(int n) {
    if (!ok_ || end_ - p_ < n) {
      ok_ = false;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(p_[i])) << (8 * i);
    p_ += n;
    return v;
  }
  QByteArray Take(uint32_t n) {
    if (!ok_ || static_cast<uint64_t>(end_ - p_) < n) {
      ok_ = false;
      return {};
    }
    QByteArray b(p_, static_cast<qsizetype>(n));
    p_ += n;
    return b;
  }
  const char* p_;
  const char* end_;
  bool ok_ = true;
};

void WriteIdentityCore(Out& out, const FileIdentity& id) {
  out.U64(id.Device);
  out.U64(id.Inode);
  out.I64(id.Size);
}

FileIdentity ReadIdentityCore(In& in) {
  FileIdentity id;
  id.Device = in.U64();
  id.Inode = in.U64();
  id.Size = in.I64();
  return id;
}

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
    intent.Source = in.Path(lastSource_);
    intent.Target = in.Path(intent.Source);
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
    if (!in.Ok()) return false;
    if (visitor_.Outcome) visitor_.Outcome(outcome);
    return true;
  }

  const JournalRecordVisitor& visitor_;
  QByteArray lastSource_;
};

// Walks records in a stream of bytes that arrives in pieces.
class RecordStream {
 public:
  explicit RecordStream(const JournalRecordVisitor& visitor) : decoder_(visitor) {}

  // Adds bytes; false once a record was found broken (the rest is ignored).
  bool Feed(const char* data, size_t size) {
    if (broken_) return false;
    pending_.append(data, static_cast<qsizetype>(size));
    qsizetype used = 0;
    if (!magicSeen_) {
      if (pending_.size() < kJournalMagicSize) return true;
      if (std::memcmp(pending_.constData(), kJournalMagic, kJournalMagicSize) != 0) {
        broken_ = true;
        return false;
      }
      magicSeen_ = true;
      used = kJournalMagicSize;
      valid_ = kJournalMagicSize;
    }
    for (;;) {
      const qsizetype left = pending_.size() - used;
      if (left < 4) break;
      const char* p = pending_.constData() + used;
      uint32_t length = 0;
      for (int i = 0; i < 4; ++i) length |= static_cast<uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
      if (length < 1 || length > kJournalMaxRecord) {
        broken_ = true;
        break;
      }
      const qsizetype whole = 4 + static_cast<qsizetype>(length) + 4;
      if (left < whole) break;
      uint32_t crc = 0;
      for (int i = 0; i < 4; ++i)
        crc |= static_cast<uint32_t>(static_cast<unsigned char>(p[4 + length + i])) << (8 * i);
      if (crc != Crc(p, 4 + length) ||
          !decoder_.Record(static_cast<uint8_t>(p[4]), p + 5, length - 1, records_ == 0)) {
        broken_ = true;
        break;
      }
      ++records_;
      used += whole;
      valid_ += whole;
    }
    pending_.remove(0, used);
    return !broken_;
  }

  bool MagicSeen() const { return magicSeen_; }
  int64_t Valid() const { return valid_; }
  int64_t Records() const { return records_; }
  bool Leftover() const { return broken_ || !pending_.isEmpty(); }

 private:
  Decoder decoder_;
  QByteArray pending_;
  bool magicSeen_ = false;
  bool broken_ = false;
  int64_t valid_ = 0;
  int64_t records_ = 0;
};

JournalReadResult Finish(const RecordStream& stream, int error) {
  JournalReadResult result;
  result.Error = error;
  result.IsJournal = stream.MagicSeen() && stream.Records() > 0;
  result.ValidLength = stream.Valid();
  result.Damaged = stream.Leftover();
  return result;
}

}  // namespace

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
  out.U8(flags);
  if (outcome.NewFile) {
    WriteIdentityCore(out, outcome.Result);
    out.Time(outcome.Result.Modified);
  }
  if (!outcome.NewPath.isEmpty()) out.Bytes(outcome.NewPath);
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

JournalReadResult ReadJournalBytes(const QByteArray& bytes, const JournalRecordVisitor& visitor) {
  RecordStream stream(visitor);
  stream.Feed(bytes.constData(), static_cast<size_t>(bytes.size()));
  return Finish(stream, 0);
}

JournalReadResult ReadJournalRecords(const QString& path, const JournalRecordVisitor& visitor) {
  RecordStream stream(visitor);
  SequentialFile file;
  if (const int err = file.Open(path); err != 0) return Finish(stream, err);
  constexpr size_t kChunk = 1 << 20;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  for (;;) {
    const ssize_t n = file.Read(buffer.get(), kChunk);
    if (n < 0) return Finish(stream, static_cast<int>(-n));
    if (n == 0 || !stream.Feed(buffer.get(), static_cast<size_t>(n))) break;
    if (static_cast<size_t>(n) < kChunk) break;
  }
  return Finish(stream, 0);
}

JournalContents ReadJournal(const QString& path) {
  JournalContents contents;
  QHash<uint32_t, size_t> byPosition;
  JournalRecordVisitor visitor;
  visitor.Begin = [&](const JournalHeader& header) { contents.Header = header; };
  visitor.Intent = [&](JournalIntent&& intent) {
    const auto it = byPosition.constFind(intent.Position);
    if (it != byPosition.constEnd()) {
      // Announced again: the later intent is the one the run acted on, if any.
      JournalEntry& entry = contents.Entries[it.value()];
      entry.Intent = std::move(intent);
      entry.Outcome.reset();
      return;
    }
    byPosition.insert(intent.Position, contents.Entries.size());
    JournalEntry entry;
    entry.Intent = std::move(intent);
    contents.Entries.push_back(std::move(entry));
  };
  visitor.Outcome = [&](const JournalOutcome& outcome) {
    const auto it = byPosition.constFind(outcome.Position);
    if (it != byPosition.constEnd()) contents.Entries[it.value()].Outcome = outcome;
  };
  visitor.Folder = [&](const QByteArray& folder) { contents.Folders.push_back(folder); };
  visitor.End = [&](const JournalEnd& end) { contents.End = end; };
  visitor.UndoBegin = [&](const FileTime&, uint32_t) { contents.Undo = UndoState::Interrupted; };
  visitor.UndoEntry = [&](const JournalUndoEntry& undo) {
    const auto it = byPosition.constFind(undo.Position);
    if (it != byPosition.constEnd()) contents.Entries[it.value()].UndoneBefore = undo;
  };
  visitor.Undone = [&](const JournalUndone& undone) {
    contents.Undone = undone;
    contents.Undo = undone.Left == 0 ? UndoState::Complete : UndoState::Partly;
  };
  contents.Read = ReadJournalRecords(path, visitor);
  std::stable_sort(contents.Entries.begin(), contents.Entries.end(),
                   [](const JournalEntry& a, const JournalEntry& b) {
                     return a.Intent.Position < b.Intent.Position;
                   });
  return contents;
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
  summary.Read = ReadJournalRecords(path, visitor);
  if (!summary.Finished) summary.Files = static_cast<uint32_t>(announced.size());
  return summary;
}
