#include "journal/Undo.h"

#include "fileops/ZoneMark.h"
#include "journal/UndoDecision.h"
#include "platform/AppendFile.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/FileTimes.h"
#include "platform/Process.h"
#include "platform/Xattr.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace {

// Undo's own records wait in memory until this many bytes gather.
constexpr size_t kFlushBytes = 1 << 20;

QString Decoded(const QByteArray& path) {
  return DecodeFileName(path);
}

// What putting back a file's properties came to.
struct Restored {
  bool Ok = true;       // everything that was to go back went back
  uint8_t Changed = 0;  // UndoChangedProperty: changed after the run, so left
};

// Whether a property goes back: it differs from what it was before the run, and is still what
// the run left (or what the run left is not known: a run cut off before its outcome).
enum class PutBack : int8_t { No, Yes, ChangedSince };

template <typename T>
PutBack Decide(const T& now, const T& before, const T* after) {
  if (now == before) return PutBack::No;
  if (after == nullptr || now == *after) return PutBack::Yes;
  return PutBack::ChangedSince;
}

// Puts back what the run changed on the file at `path`: the stored DOS word, the download
// marks, the permission bits and the dates, each only where the file still has what the run
// gave it.
Restored RestoreProperties(const JournalEntry& entry, const QString& path, bool crossDevice) {
  const JournalIntent& intent = entry.Intent;
  const JournalOutcome* after =
      entry.Outcome && entry.Outcome->HasAfter ? &*entry.Outcome : nullptr;
  const bool attributes = intent.Has(kIntentChangesAttributes);
  const bool marks = intent.Has(kIntentRemovesMarks) && !intent.Marks.empty();
  const bool mode = attributes || intent.Has(kIntentClearsReadOnly);
  const bool dates = intent.Has(kIntentWritesDates) || crossDevice;
  Restored restored;
  if (!attributes && !marks && !mode && !dates) return restored;
  const FileIdentity now = ReadFollowedIdentity(path);
  if (!now.Exists()) {
    restored.Ok = false;
    return restored;
  }
  const auto current = static_cast<uint32_t>(now.Mode & 07777);

  PutBack putMode = PutBack::No;
  if (mode) putMode = Decide(current, intent.Properties.Mode, after ? &after->AfterMode : nullptr);
  PutBack putDos = PutBack::No;
  if (attributes) {
    StoredDosWord word;
    ReadStoredDosWord(path, word);
    putDos = Decide(word, intent.Dos, after && after->HasAfterDos ? &after->AfterDos : nullptr);
  }
  const QByteArray encoded = EncodeFileName(path);
  std::vector<const JournalMark*> putMarks;
  if (marks) {
    // The run removed them: a mark that is there again with another value came later.
    for (const JournalMark& mark : intent.Marks) {
      const XattrValue value = GetXattr(encoded.constData(), mark.Name.constData());
      if (!value.Ok())
        putMarks.push_back(&mark);
      else if (value.Value != mark.Value)
        restored.Changed |= kChangedMarks;
    }
  }
  PutBack putDates = PutBack::No;
  if (dates) {
    const bool asBefore =
        now.Modified == intent.Properties.Modified && now.Accessed == intent.Properties.Accessed;
    if (!asBefore)
      putDates = after == nullptr || now.Modified == after->AfterModified ? PutBack::Yes
                                                                          : PutBack::ChangedSince;
  }
  if (putMode == PutBack::ChangedSince) restored.Changed |= kChangedMode;
  if (putDos == PutBack::ChangedSince) restored.Changed |= kChangedAttributes;
  if (putDates == PutBack::ChangedSince) restored.Changed |= kChangedDates;

  // Extended attributes of a file without write permission cannot be changed by its owner.
  const bool xattrs = putDos == PutBack::Yes || !putMarks.empty();
  bool opened = false;
  if (xattrs && (current & 0200) == 0)
    opened = SetFileMode(path, static_cast<int32_t>(current | 0200)) == 0;
  if (putDos == PutBack::Yes && RestoreStoredDosWord(path, intent.Dos) != 0) restored.Ok = false;
  for (const JournalMark* mark : putMarks)
    if (SetXattr(encoded.constData(), mark->Name.constData(), mark->Value) != 0)
      restored.Ok = false;
  if (putMode == PutBack::Yes) {
    if (SetFileMode(path, static_cast<int32_t>(intent.Properties.Mode & 07777)) != 0)
      restored.Ok = false;
  } else if (opened) {
    SetFileMode(path, static_cast<int32_t>(current));
  }
  if (putDates == PutBack::Yes) {
    if (WriteAccessAndModificationTimes(path, &intent.Properties.Accessed,
                                        &intent.Properties.Modified) != 0)
      restored.Ok = false;
    if (intent.Properties.HasBirthTime) WriteCreationTime(path, intent.Properties.Born);
  }
  return restored;
}

// The sibling mark file the run removed beside its target, written again where nothing
// stands. True when it is back (or there was none).
bool RestoreSibling(const JournalIntent& intent) {
  if (!intent.Has(kIntentRemovesMarks) || intent.Sibling == SiblingState::None) return true;
  if (intent.Sibling == SiblingState::TooLarge) return false;
  const QString sibling = ZoneMarkSiblingPath(Decoded(intent.Target));
  if (PathExists(sibling)) return true;
  if (WriteNewFile(sibling, intent.SiblingContent, static_cast<int32_t>(intent.SiblingMode)) != 0)
    return false;
  WriteAccessAndModificationTimes(sibling, &intent.SiblingAccessed, &intent.SiblingModified);
  return true;
}

void Refuse(UndoEntryReport& report, int result, int error = 0) {
  report.Action = UndoAction::Leave;
  report.Result = result;
  report.Error = error;
}

// Carries out a decision; the report's result and error say how it went. `beforePlace` records
// the copy of a move back across file systems before it is put in place.
void Execute(const JournalEntry& entry, UndoDecision& decision,
             const BeforePlaceFunction& beforePlace) {
  UndoEntryReport& report = decision.Report;
  const JournalIntent& intent = entry.Intent;
  bool complete = true;
  switch (report.Action) {
    case UndoAction::None:
    case UndoAction::Leave:
      return;
    case UndoAction::MoveBack: {
      // The folder the file came from was there before the run; make it again if it went.
      const QString folder = FolderOfPath(report.To);
      if (!folder.isEmpty() && !IsDirectory(folder)) CreateDirectoryPath(folder);
      const FileOpResult moved =
          MoveFile(report.From, report.To, ExistingTarget::Refuse, beforePlace);
      if (moved.Error == EEXIST) return Refuse(report, kUndoOldPlaceTaken);
      if (!moved.Ok()) return Refuse(report, kUndoFailed, moved.Error);
      if (!decision.AlsoRemove.isEmpty()) {
        const int err = RemoveFileIfSame(decision.AlsoRemove, decision.AlsoRemoveIdentity,
                                         decision.AlsoRemoveMatch);
        if (err != 0 && err != ENOENT) complete = false;
      }
      break;
    }
    case UndoAction::RemoveCopy: {
      const int err = RemoveFileIfSame(report.From, decision.Remove, decision.RemoveMatch);
      if (err == kErrorSourceChanged) return Refuse(report, kUndoCopyChanged);
      if (err != 0 && err != ENOENT) return Refuse(report, kUndoFailed, err);
      // Reading the source for the copy counted as a use of it; unless it was changed since,
      // its access time goes back too.
      const FileIdentity source = ReadFollowedIdentity(report.To);
      if (intent.Action == JournalAction::Copy && source.IsRegular() &&
          source.Modified == intent.Properties.Modified &&
          source.Accessed != intent.Properties.Accessed)
        WriteAccessAndModificationTimes(report.To, &intent.Properties.Accessed, nullptr);
      break;
    }
    case UndoAction::Restore:
      break;
  }
  if (!RestoreSibling(intent)) complete = false;
  Restored restored;
  if (decision.RestoreProperties)
    restored = RestoreProperties(entry, report.To, decision.CrossDevice);
  report.Result = kUndoDone;
  if (restored.Changed != 0) {
    report.Result = kUndoChangedSince;
    report.Changed = restored.Changed;
  }
  if (!restored.Ok || !complete) report.Result = kUndoIncomplete;
  if (decision.ReplacedLost) report.Result = kUndoReplacedLost;
}

int Depth(const QByteArray& path) {
  return static_cast<int>(std::count(path.begin(), path.end(), '/'));
}

}  // namespace

UndoSummary UndoJournal(const QString& journalPath, const UndoOptions& options) {
  UndoSummary summary;
  summary.Journal = journalPath;
  PrivateFolder folder;
  AppendFile file;
  // Only a journal of the user's own is obeyed: what it says is done to the user's files.
  const TrustCheck check = OpenJournal(journalPath, !options.DryRun, folder, file);
  if (!check.Ok()) {
    summary.Error = check.Error;
    summary.Trust = check;
    return summary;
  }
  // One run or undo at a time works with a journal, whatever session it comes from.
  const int locked =
      file.TryLock(options.DryRun ? AppendFile::LockKind::Shared : AppendFile::LockKind::Exclusive);
  if (locked != 0) {
    summary.InUse = locked == EWOULDBLOCK;
    summary.Error = summary.InUse ? 0 : locked;
    return summary;
  }
  JournalContents journal = ReadJournal(file);
  if (journal.Read.Error != 0 || !journal.Read.IsJournal) {
    summary.Error = journal.Read.Error;
    summary.IsJournal = journal.Read.Error != 0 || journal.Read.IsJournal;
    return summary;
  }
  summary.Entries = static_cast<qsizetype>(journal.Entries.size());
  summary.DamagedStretches = journal.Read.DamagedStretches;
  const std::vector<bool> unreliable = UnreliableEntries(journal);
  summary.Unreadable = journal.LostIntents;
  summary.Lost = journal.LostIntents;

  JournalEncoder records;
  bool recording = false;
  if (!options.DryRun) {
    // Only a torn end goes: damage inside is kept as it is, with the records after it.
    summary.Error = file.CutTo(journal.Read.ValidLength);
    if (summary.Error != 0) return summary;
    records.UndoBegin(CurrentFileTime(), ProcessId());
    summary.Error = file.Append(records.Data(), records.Size());
    if (summary.Error == 0) summary.Error = file.Sync();
    records.Clear();
    if (summary.Error != 0) return summary;
    recording = true;
  }
  const auto flush = [&] {
    if (!recording || records.IsEmpty()) return 0;
    const int err = file.Append(records.Data(), records.Size());
    if (err != 0 && summary.Error == 0) summary.Error = err;
    records.Clear();
    return err;
  };

  std::unique_ptr<CrashHooks> hooks;
  if (options.Crash.Where != JournalCrashPoint::Point::None)
    hooks = std::make_unique<CrashHooks>(options.Crash);
  int64_t executed = 0;

  // Backwards: a file that a later entry moved into an earlier entry's old place leaves it
  // before that entry's file comes back.
  summary.Started = true;
  QSet<QString> unfinishedFolders;
  FolderLooks folders;
  qsizetype done = 0;
  const qsizetype total = summary.Entries;
  for (size_t index = journal.Entries.size(); index-- > 0;) {
    if (options.Stop != nullptr && options.Stop->load(std::memory_order_relaxed) != 0) {
      summary.Stopped = true;
      break;
    }
    const JournalEntry& entry = journal.Entries[index];
    UndoDecision decision;
    if (unreliable[index]) {
      // Its paths may be made from a path lost to the damage: nothing is done with them.
      decision.Report.Position = entry.Intent.Position;
      if (!entry.Intent.PathLost) decision.Report.To = Decoded(entry.Intent.Source);
      decision.Report.Action = UndoAction::Leave;
      decision.Report.Result = kUndoUnreadable;
      ++summary.Unreadable;
    } else {
      decision = DecideEntry(entry, folders);
    }
    if (!options.DryRun && decision.Report.Action != UndoAction::Leave) {
      // A copy back across file systems is recorded before it is put in place, so that a later
      // undo knows it for the file this one made.
      const BeforePlaceFunction beforePlace = [&](const FileIdentity& made) {
        records.Made({entry.Intent.Position, JournalMaker::Undo, made});
        return flush() == 0;
      };
      Execute(entry, decision, beforePlace);
      PassCrashPoint(options.Crash, JournalCrashPoint::Point::Undone, executed);
    }
    if (!entry.Outcome && entry.Intent.Action != JournalAction::InPlace)
      unfinishedFolders.insert(FolderOfPath(Decoded(entry.Intent.Target)));

    const UndoEntryReport& report = decision.Report;
    if (report.Result == kUndoDone ||
        (options.DryRun && report.Action != UndoAction::None && report.Action != UndoAction::Leave))
      ++summary.TakenBack;
    else if (report.Result == kUndoUnchanged)
      ++summary.Unchanged;
    else
      summary.Left.push_back(report);
    if (recording) {
      records.UndoEntry({report.Position, static_cast<int8_t>(report.Result), report.Error});
      if (records.Size() > kFlushBytes) flush();
    }
    ++done;
    if (options.EntryDone) options.EntryDone(report, done, total);
  }

  if (!summary.Stopped) {
    // What a copy cut off in the middle left in its target folder.
    if (!options.DryRun)
      for (const QString& unfinished : unfinishedFolders) RemoveStaleTemporaries(unfinished);
    // The folders the run created, deepest first, where they are empty now.
    std::sort(journal.Folders.begin(), journal.Folders.end(),
              [](const QByteArray& a, const QByteArray& b) { return Depth(a) > Depth(b); });
    for (const QByteArray& encoded : journal.Folders) {
      const QString made = Decoded(encoded);
      if (!IsDirectory(made) || IsSymbolicLink(made)) continue;
      UndoFolderReport report{made, 0};
      if (!options.DryRun) report.Error = RemoveDirectory(made);
      summary.Folders.push_back(report);
    }
  }

  if (recording) {
    if (!summary.Stopped) {
      // Entries lost to damage count as left: the run is tried again by the next undo.
      records.Undone({CurrentFileTime(), static_cast<uint32_t>(summary.TakenBack),
                      static_cast<uint32_t>(summary.NotTakenBack())});
    }
    flush();
    if (const int err = file.Sync(); err != 0 && summary.Error == 0) summary.Error = err;
    file.Close();
  }
  return summary;
}

namespace {

// What a journal found while choosing says about it.
RunChoice::Found Verdict(const JournalSummary& summary) {
  if (!summary.Read.Trust.Ok() && summary.Read.Trust.Problem != TrustProblem::None)
    return RunChoice::Found::Untrusted;
  if (summary.Read.Error != 0 || !summary.Read.IsJournal) return RunChoice::Found::Unreadable;
  if (summary.Read.InUse) return RunChoice::Found::InUse;
  if (summary.Undo == UndoState::Complete) return RunChoice::Found::AlreadyUndone;
  return RunChoice::Found::Run;
}

}  // namespace

RunChoice ChooseRunToUndo(const QString& folder, uint32_t number) {
  RunChoice choice;
  int error = 0;
  const std::vector<JournalFile> files = ListJournalFiles(folder, &error);
  // A folder that is not there holds no runs; one that cannot be read is not taken for empty.
  if (error != 0 && error != ENOENT) {
    choice.What = RunChoice::Found::FolderUnreadable;
    choice.FolderError = error;
    choice.File.Path = folder;
    return choice;
  }
  if (number != 0) {
    const auto it = std::find_if(files.begin(), files.end(), [number](const JournalFile& file) {
      return file.Number == number;
    });
    if (it == files.end()) {
      choice.What = RunChoice::Found::NoSuchRun;
      return choice;
    }
    choice.File = *it;
    choice.Summary = SummarizeJournal(it->Path);
    choice.What = Verdict(choice.Summary);
    return choice;
  }
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    JournalSummary summary = SummarizeJournal(it->Path);
    const RunChoice::Found found = Verdict(summary);
    // A crash right after a journal was created leaves it without its first record: nothing
    // in it to take back. A run taken back completely is passed over too; any other journal
    // that cannot be used is said, not passed over for an older run.
    if (found == RunChoice::Found::AlreadyUndone ||
        (found == RunChoice::Found::Unreadable && summary.Read.Error == 0 &&
         summary.Read.TornStart))
      continue;
    choice.What = found;
    choice.File = *it;
    choice.Summary = std::move(summary);
    return choice;
  }
  return choice;
}
