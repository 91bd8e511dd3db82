#include "journal/UndoDecision.h"

#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/FolderAccess.h"

#include <QSet>

#include <algorithm>
#include <cerrno>

namespace {

QString Decoded(const QByteArray& path) {
  return DecodeFileName(path);
}

// The run changes the file's properties, not only its name or place.
bool ChangesProperties(const JournalIntent& intent) {
  return intent.Has(kIntentClearsReadOnly) || intent.Has(kIntentChangesAttributes) ||
         intent.Has(kIntentWritesDates) ||
         (intent.Has(kIntentRemovesMarks) &&
          (!intent.Marks.empty() || intent.Sibling != SiblingState::None));
}

UndoDecision Leave(UndoDecision decision, int result, int error = 0) {
  decision.Report.Action = UndoAction::Leave;
  decision.Report.Result = result;
  decision.Report.Error = error;
  return decision;
}

FileIdentity IdentityOf(const JournalMade& made) {
  FileIdentity identity = made.File;
  identity.Error = 0;
  return identity;
}

FileIdentity Missing() {
  FileIdentity identity;
  identity.Error = ENOENT;
  return identity;
}

// The new file the run put at its target (a copy, or the copy half of a move across file
// systems): as the record written before it went there names it, else as its outcome does;
// `match` says what else must agree for a file found there to be it, unchanged.
FileIdentity RunNewFile(const JournalEntry& entry, FileMatch& match) {
  match = {};
  FileIdentity identity = Missing();
  if (entry.Made) {
    // Its size stays as it was made: only its dates and attributes are the run's to change.
    identity = IdentityOf(*entry.Made);
    match.Size = true;
    match.Birth = true;
  }
  if (entry.Outcome && entry.Outcome->NewFile && entry.Outcome->Result.Inode != 0) {
    const FileIdentity& result = entry.Outcome->Result;
    // The outcome looks at the target after the fact; where it found another file than the one
    // recorded before, the record counts.
    if (!identity.Exists() ||
        (identity.Device == result.Device && identity.Inode == result.Inode)) {
      identity.Device = result.Device;
      identity.Inode = result.Inode;
      identity.Size = result.Size;
      identity.Modified = result.Modified;
      identity.Error = 0;
      match.Size = true;
      match.Modified = true;
    }
  }
  return identity;
}

UndoDecision RemoveAt(UndoDecision decision, const QString& path, const FileIdentity& identity,
                      const FileMatch& match) {
  decision.Report.Action = UndoAction::RemoveCopy;
  decision.Report.From = path;
  decision.Remove = identity;
  decision.RemoveMatch = match;
  return decision;
}

// What stands where a file renamed aside by a move or a removal would be.
bool AsideHolds(const QString& path, const FileIdentity& identity, QString& aside) {
  if (!identity.Exists()) return false;
  aside = AsidePath(path, identity.Device, identity.Inode);
  return SameFile(ReadFileIdentity(aside), identity, {false, false, true});
}

// The old place can take the file again: nothing stands there, and its folder is there or can
// be made again. Leaves the decision as it is when so.
bool OldPlaceFree(UndoDecision& decision, const FileIdentity& here, FolderLooks& folders) {
  if (here.Exists()) {
    decision = Leave(decision, kUndoOldPlaceTaken);
    return false;
  }
  const FolderAccessResult folder = folders.Look(FolderOfPath(decision.Report.To));
  if (!folder.Usable()) {
    decision = Leave(decision, kUndoFailed, folder.Error != 0 ? folder.Error : EACCES);
    return false;
  }
  return true;
}

UndoDecision DecideMove(const JournalEntry& entry, UndoDecision decision, FolderLooks& folders) {
  const JournalIntent& intent = entry.Intent;
  if (entry.Outcome && !OutcomeActed(entry.Outcome->Status)) {
    // The move failed and the run put the source's permissions back itself.
    decision.Report.Action = UndoAction::None;
    return decision;
  }
  if (entry.Outcome && !entry.Outcome->NewPath.isEmpty())
    decision.Report.From = Decoded(entry.Outcome->NewPath);
  const QString source = decision.Report.To;
  const QString target = decision.Report.From;
  const FileIdentity there = ReadFileIdentity(target);
  const FileIdentity here = ReadFileIdentity(source);
  FileMatch match;
  const FileIdentity made = RunNewFile(entry, match);
  // The file the run left at the target: its copy on the other file system, or the file itself.
  const bool crossDevice = made.Exists() || (entry.Outcome && entry.Outcome->NewFile);
  const FileIdentity runFile = made.Exists() ? made : intent.Identity;
  decision.RestoreProperties = true;
  QString aside;

  // The file is at its old place: never moved (the run was cut off before), or moved back by an
  // undo that was cut off before it had put back its properties.
  if (here.SameFileAs(intent.Identity)) {
    // The copy half of a move across file systems that was cut off before its source went.
    if (made.Exists() && there.SameFileAs(made)) {
      if (!SameFile(there, made, match)) return Leave(decision, kUndoCopyChanged);
      return RemoveAt(decision, target, made, match);
    }
    if (AsideHolds(target, made, aside)) return RemoveAt(decision, aside, made, match);
    decision.Report.From.clear();
    decision.Report.Action = ChangesProperties(intent) ? UndoAction::Restore : UndoAction::None;
    return decision;
  }

  // An earlier undo's move back across file systems has put its copy at the old place; the
  // run's file goes, while it still holds what was copied from it.
  const bool undoCopyHere =
      entry.UndoMade && SameFile(here, IdentityOf(*entry.UndoMade), {false, false, true});
  // The same cut off before that undo could record its copy: the copy holds the same bytes.
  const bool sameBytesHere = !entry.UndoMade && crossDevice && there.SameFileAs(runFile) &&
                             here.IsRegular() && there.IsRegular() && here.Device != there.Device &&
                             here.Size == there.Size && SameContent(target, source);
  if (undoCopyHere || sameBytesHere) {
    decision.CrossDevice = true;
    FileIdentity copied = runFile;
    copied.Size = here.Size;
    copied.Modified = here.Modified;
    const FileMatch unchanged{true, true, false};
    if (there.SameFileAs(runFile)) return RemoveAt(decision, target, copied, unchanged);
    if (AsideHolds(target, runFile, aside)) return RemoveAt(decision, aside, copied, unchanged);
    decision.Report.From.clear();
    decision.Report.Action = UndoAction::Restore;
    return decision;
  }

  // A move across file systems cut off while its source was renamed aside to be checked: the
  // source goes back to its name, and the copy the run made goes. (Only a move that made a copy
  // sets its source aside.)
  if (made.Exists() && AsideHolds(source, intent.Identity, aside)) {
    decision.Report.From = aside;
    if (here.Exists()) return Leave(decision, kUndoOldPlaceTaken);
    decision.Report.Action = UndoAction::MoveBack;
    if (made.Exists() && SameFile(there, made, match)) {
      decision.AlsoRemove = target;
      decision.AlsoRemoveIdentity = made;
      decision.AlsoRemoveMatch = match;
    }
    return decision;
  }

  // The file is where the run left it.
  if (runFile.Exists() && there.SameFileAs(runFile)) {
    if (!OldPlaceFree(decision, here, folders)) return decision;
    decision.CrossDevice = crossDevice;
    decision.ReplacedLost = intent.Has(kIntentHasReplaced);
    decision.Report.Action = UndoAction::MoveBack;
    return decision;
  }

  if (!entry.Outcome) {
    // Moved across file systems without a record of its copy (a journal that lost it): a new
    // file of the source's size at the target, none at the source, is the file moved there.
    // Moving it back loses nothing.
    if (!here.Exists() && there.IsRegular() && there.Device != intent.Identity.Device &&
        there.Size == intent.Identity.Size &&
        !(intent.Has(kIntentHasReplaced) && there.SameFileAs(intent.Replaced))) {
      if (!OldPlaceFree(decision, here, folders)) return decision;
      decision.CrossDevice = true;
      decision.ReplacedLost = intent.Has(kIntentHasReplaced);
      decision.Report.Action = UndoAction::MoveBack;
      return decision;
    }
    if (!intent.Identity.Exists()) {
      decision.Report.Action = UndoAction::None;  // the source was gone when the run came to it
      decision.RestoreProperties = false;
      return decision;
    }
  }
  return Leave(decision, kUndoNotFound);
}

UndoDecision DecideCopy(const JournalEntry& entry, UndoDecision decision) {
  if (entry.Outcome && !OutcomeActed(entry.Outcome->Status)) {
    decision.Report.Action = UndoAction::None;
    return decision;
  }
  if (entry.Outcome && !entry.Outcome->NewPath.isEmpty())
    decision.Report.From = Decoded(entry.Outcome->NewPath);
  FileMatch match;
  const FileIdentity made = RunNewFile(entry, match);
  if (!made.Exists()) {
    // Cut off before its copy was put in place: whatever stands at the target is not its copy,
    // even with the same content (another program may have made it).
    decision.Report.Action = UndoAction::None;
    return decision;
  }
  decision.ReplacedLost = entry.Intent.Has(kIntentHasReplaced);
  const FileIdentity there = ReadFileIdentity(decision.Report.From);
  if (there.SameFileAs(made)) {
    if (!SameFile(there, made, match)) return Leave(decision, kUndoCopyChanged);
    return RemoveAt(decision, decision.Report.From, made, match);
  }
  // An undo cut off while it removed the copy left it aside.
  QString aside;
  if (AsideHolds(decision.Report.From, made, aside)) return RemoveAt(decision, aside, made, match);
  decision.ReplacedLost = false;
  // Gone: nothing to remove. Something else there is kept, and said.
  if (!there.Exists()) {
    decision.Report.Action = UndoAction::None;
    return decision;
  }
  return Leave(decision, kUndoCopyChanged);
}

UndoDecision DecideInPlace(const JournalEntry& entry, UndoDecision decision) {
  decision.Report.From.clear();
  if (entry.Outcome && !OutcomeActed(entry.Outcome->Status)) {
    decision.Report.Action = UndoAction::None;
    return decision;
  }
  if (!entry.Intent.Identity.Exists()) {
    decision.Report.Action = UndoAction::None;
    return decision;
  }
  if (!ReadFileIdentity(decision.Report.To).SameFileAs(entry.Intent.Identity))
    return Leave(decision, kUndoNotFound);
  decision.RestoreProperties = true;
  decision.Report.Action = ChangesProperties(entry.Intent) ? UndoAction::Restore : UndoAction::None;
  return decision;
}

// One of the entry's files is where its paths say: the paths were read right.
bool FoundOnDisk(const JournalEntry& entry) {
  const JournalIntent& intent = entry.Intent;
  FileMatch match;
  const FileIdentity made = RunNewFile(entry, match);
  QList<QByteArray> paths = {intent.Source, intent.Target};
  if (entry.Outcome && !entry.Outcome->NewPath.isEmpty()) paths.append(entry.Outcome->NewPath);
  for (const QByteArray& path : paths) {
    const FileIdentity there = ReadFileIdentity(path);
    if (there.SameFileAs(intent.Identity) || there.SameFileAs(made)) return true;
  }
  QString aside;
  return AsideHolds(Decoded(intent.Source), intent.Identity, aside);
}

}  // namespace

FolderAccessResult FolderLooks::Look(const QString& folder) {
  const auto found = seen_.constFind(folder);
  if (found != seen_.constEnd()) return found.value();
  const FolderAccessResult access = CheckFolderAccess(folder);
  seen_.insert(folder, access);
  return access;
}

UndoDecision DecideEntry(const JournalEntry& entry, FolderLooks& folders) {
  const JournalIntent& intent = entry.Intent;
  UndoDecision decision;
  decision.Report.Position = intent.Position;
  decision.Report.From = Decoded(intent.Target);
  decision.Report.To = Decoded(intent.Source);
  switch (intent.Action) {
    case JournalAction::Rename:
    case JournalAction::Move:
      decision = DecideMove(entry, decision, folders);
      break;
    case JournalAction::Copy:
      decision = DecideCopy(entry, decision);
      break;
    case JournalAction::InPlace:
      decision = DecideInPlace(entry, decision);
      break;
  }
  // An earlier undo took this one back already; the disk no longer shows the run's work.
  if (decision.Report.Result == kUndoNotFound && entry.UndoneBefore &&
      entry.UndoneBefore->Result == kUndoDone) {
    decision.Report.Action = UndoAction::None;
    decision.Report.Result = kUndoUnchanged;
  }
  if (decision.Report.Action != UndoAction::Leave) decision.Report.Result = kUndoUnchanged;
  return decision;
}

UndoEntryReport DecideUndo(const JournalEntry& entry) {
  FolderLooks folders;
  return DecideEntry(entry, folders).Report;
}

std::vector<bool> UnreliableEntries(const JournalContents& journal) {
  std::vector<bool> unreliable(journal.Entries.size(), false);
  if (journal.Read.DamagedStretches == 0) return unreliable;
  // In the order they were written: each intent's paths are read against the one before it, so
  // after damage the first intent whose file is found where its paths say confirms the rest.
  std::vector<size_t> order;
  for (size_t i = 0; i < journal.Entries.size(); ++i)
    if (journal.Entries[i].Intent.Epoch > 0) order.push_back(i);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return journal.Entries[a].Intent.Sequence < journal.Entries[b].Intent.Sequence;
  });
  QSet<uint32_t> confirmed;
  for (const size_t i : order) {
    const JournalEntry& entry = journal.Entries[i];
    if (confirmed.contains(entry.Intent.Epoch)) continue;
    if (!entry.Intent.PathLost && FoundOnDisk(entry))
      confirmed.insert(entry.Intent.Epoch);
    else
      unreliable[i] = true;
  }
  return unreliable;
}
