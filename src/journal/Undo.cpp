#include "journal/Undo.h"

#include "fileops/ZoneMark.h"
#include "platform/AppendFile.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/FileTimes.h"
#include "platform/LocalTime.h"
#include "platform/Process.h"
#include "platform/Xattr.h"
#include "texts/Additions.h"
#include "texts/TextTables.h"

#include <QSet>

#include <algorithm>
#include <cerrno>

namespace {

// Undo's own records wait in memory until this many bytes gather.
constexpr size_t kFlushBytes = 1 << 20;

QString Decoded(const QByteArray& path) {
  return DecodeFileName(path);
}

QString FolderOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QString() : path.left(slash + 1);
}

// The decision for one entry, with what the execution needs beyond the report.
struct Decision {
  UndoEntryReport Report;
  bool RestoreProperties = false;  // on Report.To, once the file is there
  bool CrossDevice = false;        // the run's move went across file systems
  bool ReplacedLost = false;       // the run replaced a file at its target, which is gone
};

// The run changes the file's properties, not only its name or place.
bool ChangesProperties(const JournalIntent& intent) {
  return intent.Has(kIntentClearsReadOnly) || intent.Has(kIntentChangesAttributes) ||
         intent.Has(kIntentWritesDates) ||
         (intent.Has(kIntentRemovesMarks) &&
          (!intent.Marks.empty() || intent.Sibling != SiblingState::None));
}

Decision Leave(Decision decision, int result) {
  decision.Report.Action = UndoAction::Leave;
  decision.Report.Result = result;
  return decision;
}

// A file at the target that the run may have made as a copy of the source, or as the copy half
// of a move across file systems that was cut off: a regular file with the source's content that
// is not the file the run expected to replace.
bool CopyOfSource(const JournalIntent& intent, const FileIdentity& there, const QString& target,
                  const QString& source) {
  if (!there.IsRegular()) return false;
  if (intent.Has(kIntentHasReplaced) && there.SameFileAs(intent.Replaced)) return false;
  const FileIdentity now = ReadFollowedIdentity(source);
  return now.IsRegular() && now.Size == there.Size && SameContent(target, source);
}

Decision DecideMove(const JournalEntry& entry, Decision decision) {
  const JournalIntent& intent = entry.Intent;
  const QString& source = decision.Report.To;
  const QString& target = decision.Report.From;
  const FileIdentity there = ReadFileIdentity(target);
  const FileIdentity here = ReadFileIdentity(source);
  decision.RestoreProperties = true;

  if (entry.Outcome) {
    const JournalOutcome& outcome = *entry.Outcome;
    if (!OutcomeActed(outcome.Status)) {
      // The move failed and the run put the source's permissions back itself.
      decision.Report.Action = UndoAction::None;
      decision.RestoreProperties = false;
      return decision;
    }
    if (!outcome.NewPath.isEmpty()) decision.Report.From = Decoded(outcome.NewPath);
    const FileIdentity expected = outcome.NewFile ? outcome.Result : intent.Identity;
    const FileIdentity& at = outcome.NewPath.isEmpty() ? there : ReadFileIdentity(decision.Report.From);
    if (!at.SameFileAs(expected)) return Leave(decision, kUndoNotFound);
    decision.CrossDevice = outcome.NewFile;
    decision.ReplacedLost = intent.Has(kIntentHasReplaced);
    decision.Report.Action = UndoAction::MoveBack;
    return decision;
  }

  // Cut off: the disk tells how far the entry got.
  if (there.SameFileAs(intent.Identity)) {
    decision.ReplacedLost = intent.Has(kIntentHasReplaced);
    decision.Report.Action = UndoAction::MoveBack;
    return decision;
  }
  if (here.SameFileAs(intent.Identity)) {
    // Not moved; perhaps the copy half of a move across file systems is already at the target.
    if (there.Exists() && there.Device != intent.Identity.Device &&
        CopyOfSource(intent, there, target, source)) {
      decision.Report.Action = UndoAction::RemoveCopy;
      return decision;
    }
    decision.Report.Action = ChangesProperties(intent) ? UndoAction::Restore : UndoAction::None;
    decision.Report.From.clear();
    return decision;
  }
  // Moved across file systems (a new file of the source's size at the target, none at the
  // source), its outcome not yet written.
  if (!here.Exists() && there.IsRegular() && there.Device != intent.Identity.Device &&
      there.Size == intent.Identity.Size &&
      !(intent.Has(kIntentHasReplaced) && there.SameFileAs(intent.Replaced))) {
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
  return Leave(decision, kUndoNotFound);
}

Decision DecideCopy(const JournalEntry& entry, Decision decision) {
  const JournalIntent& intent = entry.Intent;
  const QString& target = decision.Report.From;
  if (entry.Outcome && !OutcomeActed(entry.Outcome->Status)) {
    decision.Report.Action = UndoAction::None;
    return decision;
  }
  if (entry.Outcome && !entry.Outcome->NewPath.isEmpty())
    decision.Report.From = Decoded(entry.Outcome->NewPath);
  const FileIdentity there = ReadFileIdentity(decision.Report.From);
  if (!there.Exists()) {
    decision.Report.Action = UndoAction::None;  // no copy (any more)
    return decision;
  }
  if (entry.Outcome) {
    if (!there.SameFileUnchanged(entry.Outcome->Result)) return Leave(decision, kUndoCopyChanged);
  } else {
    // Cut off before its outcome: the file at the target is the copy when it holds the
    // source's content and is not the file the run was to replace.
    if (intent.Has(kIntentHasReplaced) && there.SameFileAs(intent.Replaced)) {
      decision.Report.Action = UndoAction::None;
      return decision;
    }
    if (!CopyOfSource(intent, there, target, decision.Report.To))
      return Leave(decision, kUndoCopyChanged);
  }
  decision.ReplacedLost = intent.Has(kIntentHasReplaced);
  decision.Report.Action = UndoAction::RemoveCopy;
  return decision;
}

Decision DecideInPlace(const JournalEntry& entry, Decision decision) {
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

Decision Decide(const JournalEntry& entry) {
  const JournalIntent& intent = entry.Intent;
  Decision decision;
  decision.Report.Position = intent.Position;
  decision.Report.From = Decoded(intent.Target);
  decision.Report.To = Decoded(intent.Source);
  switch (intent.Action) {
    case JournalAction::Rename:
    case JournalAction::Move:
      decision = DecideMove(entry, decision);
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

// Puts back what the run changed on the file at `path`: the stored DOS word, the download
// marks, the permission bits and the dates. True when all of it worked.
bool RestoreProperties(const JournalIntent& intent, const QString& path, bool crossDevice) {
  const bool attributes = intent.Has(kIntentChangesAttributes);
  const bool marks = intent.Has(kIntentRemovesMarks) && !intent.Marks.empty();
  const bool mode = attributes || intent.Has(kIntentClearsReadOnly);
  const bool dates = intent.Has(kIntentWritesDates) || crossDevice;
  if (!attributes && !marks && !mode && !dates) return true;
  bool ok = true;
  const int32_t current = FileMode(path);
  if (current < 0) return false;
  // Extended attributes of a file without write permission cannot be changed by its owner.
  bool opened = false;
  if ((attributes || marks) && (current & 0200) == 0)
    opened = SetFileMode(path, current | 0200) == 0;
  if (attributes && RestoreStoredDosWord(path, intent.Dos) != 0) ok = false;
  if (marks) {
    const QByteArray encoded = EncodeFileName(path);
    for (const JournalMark& mark : intent.Marks)
      if (SetXattr(encoded.constData(), mark.Name.constData(), mark.Value) != 0) ok = false;
  }
  if (mode) {
    if (SetFileMode(path, static_cast<int32_t>(intent.Properties.Mode & 07777)) != 0) ok = false;
  } else if (opened) {
    SetFileMode(path, current);
  }
  if (dates) {
    if (WriteAccessAndModificationTimes(path, &intent.Properties.Accessed,
                                        &intent.Properties.Modified) != 0)
      ok = false;
    if (intent.Properties.HasBirthTime) WriteCreationTime(path, intent.Properties.Born);
  }
  return ok;
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

// Carries out a decision; the report's result and error say how it went.
void Execute(const JournalEntry& entry, Decision& decision) {
  UndoEntryReport& report = decision.Report;
  const JournalIntent& intent = entry.Intent;
  bool back = false;  // the file itself is as it was before the run
  switch (report.Action) {
    case UndoAction::None:
    case UndoAction::Leave:
      return;
    case UndoAction::MoveBack: {
      // The folder the file came from was there before the run; make it again if it went.
      const QString folder = FolderOf(report.To);
      if (!folder.isEmpty() && !IsDirectory(folder)) CreateDirectoryPath(folder);
      const FileOpResult moved = MoveFile(report.From, report.To, ExistingTarget::Refuse);
      if (moved.Error == EEXIST) {
        // An undo cut off inside its own move across file systems left the finished copy at
        // the old place and the file at the run's place: both hold the same bytes.
        const FileIdentity there = ReadFileIdentity(report.From);
        const FileIdentity here = ReadFileIdentity(report.To);
        if (decision.CrossDevice && there.IsRegular() && here.IsRegular() &&
            there.Device != here.Device && there.Size == here.Size &&
            SameContent(report.From, report.To) && DeleteFile(report.From) == 0) {
          back = true;
        } else {
          report.Action = UndoAction::Leave;
          report.Result = kUndoOldPlaceTaken;
          return;
        }
      } else if (!moved.Ok()) {
        report.Action = UndoAction::Leave;
        report.Result = kUndoFailed;
        report.Error = moved.Error;
        return;
      }
      back = true;
      break;
    }
    case UndoAction::RemoveCopy: {
      const int err = DeleteFile(report.From);
      if (err != 0 && err != ENOENT) {
        report.Action = UndoAction::Leave;
        report.Result = kUndoFailed;
        report.Error = err;
        return;
      }
      // Reading the source for the copy counted as a use of it; unless it was changed since,
      // its access time goes back too.
      const FileIdentity source = ReadFollowedIdentity(report.To);
      if (intent.Action == JournalAction::Copy && source.IsRegular() &&
          source.Modified == intent.Properties.Modified &&
          source.Accessed != intent.Properties.Accessed)
        WriteAccessAndModificationTimes(report.To, &intent.Properties.Accessed, nullptr);
      back = true;
      break;
    }
    case UndoAction::Restore:
      back = true;
      break;
  }
  report.Result = kUndoDone;
  bool complete = RestoreSibling(intent);
  if (back && decision.RestoreProperties &&
      !RestoreProperties(intent, report.To, decision.CrossDevice))
    complete = false;
  if (!complete) report.Result = kUndoIncomplete;
  if (decision.ReplacedLost) report.Result = kUndoReplacedLost;
}

int Depth(const QByteArray& path) {
  return static_cast<int>(std::count(path.begin(), path.end(), '/'));
}

}  // namespace

UndoEntryReport DecideUndo(const JournalEntry& entry) {
  return Decide(entry).Report;
}

UndoSummary UndoJournal(const QString& journalPath, const UndoOptions& options) {
  UndoSummary summary;
  JournalContents journal = ReadJournal(journalPath);
  if (journal.Read.Error != 0 || !journal.Read.IsJournal) {
    summary.Error = journal.Read.Error;
    summary.IsJournal = journal.Read.Error != 0 || journal.Read.IsJournal;
    return summary;
  }
  summary.Entries = static_cast<qsizetype>(journal.Entries.size());

  AppendFile file;
  JournalEncoder records;
  bool recording = false;
  if (!options.DryRun) {
    summary.Error = file.Open(journalPath, journal.Read.ValidLength);
    if (summary.Error != 0) return summary;
    records.UndoBegin(CurrentFileTime(), ProcessId());
    summary.Error = file.Append(records.Data(), records.Size());
    if (summary.Error == 0) summary.Error = file.Sync();
    records.Clear();
    if (summary.Error != 0) return summary;
    recording = true;
  }
  const auto flush = [&] {
    if (!recording || records.IsEmpty()) return;
    if (const int err = file.Append(records.Data(), records.Size());
        err != 0 && summary.Error == 0)
      summary.Error = err;
    records.Clear();
  };

  // Backwards: a file that a later entry moved into an earlier entry's old place leaves it
  // before that entry's file comes back.
  summary.Started = true;
  QSet<QString> unfinishedFolders;
  qsizetype done = 0;
  const qsizetype total = summary.Entries;
  for (auto it = journal.Entries.rbegin(); it != journal.Entries.rend(); ++it) {
    if (options.Stop != nullptr && options.Stop->load(std::memory_order_relaxed) != 0) {
      summary.Stopped = true;
      break;
    }
    const JournalEntry& entry = *it;
    Decision decision = Decide(entry);
    if (!options.DryRun) Execute(entry, decision);
    if (!entry.Outcome && entry.Intent.Action != JournalAction::InPlace)
      unfinishedFolders.insert(FolderOf(Decoded(entry.Intent.Target)));

    const UndoEntryReport& report = decision.Report;
    if (report.Result == kUndoDone || (options.DryRun && report.Action != UndoAction::None &&
                                       report.Action != UndoAction::Leave))
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
      for (const QString& folder : unfinishedFolders) RemoveStaleTemporaries(folder);
    // The folders the run created, deepest first, where they are empty now.
    std::sort(journal.Folders.begin(), journal.Folders.end(),
              [](const QByteArray& a, const QByteArray& b) { return Depth(a) > Depth(b); });
    for (const QByteArray& encoded : journal.Folders) {
      const QString folder = Decoded(encoded);
      if (!IsDirectory(folder) || IsSymbolicLink(folder)) continue;
      UndoFolderReport report{folder, 0};
      if (!options.DryRun) report.Error = RemoveDirectory(folder);
      summary.Folders.push_back(report);
    }
  }

  if (recording) {
    if (!summary.Stopped) {
      records.Undone({CurrentFileTime(), static_cast<uint32_t>(summary.TakenBack),
                      static_cast<uint32_t>(summary.Left.size())});
    }
    flush();
    if (const int err = file.Sync(); err != 0 && summary.Error == 0) summary.Error = err;
    file.Close();
  }
  return summary;
}

RunChoice ChooseRunToUndo(const QString& folder, uint32_t number) {
  RunChoice choice;
  const std::vector<JournalFile> files = ListJournalFiles(folder);
  if (number != 0) {
    const auto it = std::find_if(files.begin(), files.end(),
                                 [number](const JournalFile& file) { return file.Number == number; });
    if (it == files.end()) {
      choice.What = RunChoice::Found::NoSuchRun;
      return choice;
    }
    choice.File = *it;
    choice.Summary = SummarizeJournal(it->Path);
    if (choice.Summary.Read.Error != 0 || !choice.Summary.Read.IsJournal)
      choice.What = RunChoice::Found::Unreadable;
    else if (choice.Summary.Undo == UndoState::Complete)
      choice.What = RunChoice::Found::AlreadyUndone;
    else
      choice.What = RunChoice::Found::Run;
    return choice;
  }
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    JournalSummary summary = SummarizeJournal(it->Path);
    // A journal that cannot be read is skipped here; --list-runs shows it as damaged.
    if (summary.Read.Error != 0 || !summary.Read.IsJournal) continue;
    if (summary.Undo == UndoState::Complete) continue;
    choice.What = RunChoice::Found::Run;
    choice.File = *it;
    choice.Summary = std::move(summary);
    return choice;
  }
  return choice;
}

QString RunTimeText(const FileTime& time) {
  const CalendarParts p = PartsOfDate(LocalDateFromUnix(time.Seconds));
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                           p.Minute, p.Second);
}

QString RunStateText(const JournalSummary& summary) {
  if (summary.Read.Error != 0 || !summary.Read.IsJournal) return AdditionText(kAddRunDamaged);
  QString text;
  switch (summary.Undo) {
    case UndoState::None:
      text = AdditionText(kAddRunNotUndone);
      break;
    case UndoState::Interrupted:
      text = AdditionText(kAddRunUndoCutOff);
      break;
    case UndoState::Partly:
      text = AdditionText(kAddRunPartlyUndone).arg(summary.Left);
      break;
    case UndoState::Complete:
      text = AdditionText(kAddRunUndone);
      break;
  }
  if (!summary.Finished) text += QStringLiteral(", ") + AdditionText(kAddRunCutOff);
  return text;
}

QString UndoResultText(const UndoEntryReport& entry) {
  switch (entry.Result) {
    case kUndoOldPlaceTaken:
      return AdditionText(kAddUndoLeftOldPlaceTaken);
    case kUndoNotFound:
      return AdditionText(kAddUndoLeftNotFound);
    case kUndoCopyChanged:
      return AdditionText(kAddUndoLeftCopyChanged);
    case kUndoFailed:
      return AdditionText(kAddUndoLeftFailed).arg(SystemErrorText(entry.Error));
    case kUndoIncomplete:
      return AdditionText(kAddUndoLeftIncomplete);
    case kUndoReplacedLost:
      return AdditionText(kAddUndoLeftReplacedLost);
    default:
      return {};
  }
}
