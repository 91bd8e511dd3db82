#include "journal/Undo.h"

#include "platform/FileName.h"
#include "platform/LocalTime.h"
#include "platform/Process.h"
#include "texts/AdditionEntries.h"
#include "texts/TextTables.h"

#include <QStringList>

QString RunTimeText(const FileTime& time) {
  const CalendarParts p = PartsOfDate(LocalDateFromUnix(time.Seconds));
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                           p.Minute, p.Second);
}

QString RunStateText(const JournalSummary& summary) {
  if (summary.Read.Trust.Problem != TrustProblem::None)
    return AdditionText(kAddRunRefused).arg(TrustCheckText(summary.Read.Trust));
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
  if (summary.Read.DamagedStretches > 0)
    text += QStringLiteral(", ") + AdditionText(kAddRunDamaged);
  if (summary.Read.InUse) text += QStringLiteral(", ") + AdditionText(kAddRunInUse);
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
    case kUndoUnreadable:
      return AdditionText(kAddUndoLeftUnreadable);
    case kUndoChangedSince: {
      QStringList names;
      if ((entry.Changed & kChangedMode) != 0) names << AdditionText(kAddPropertyMode);
      if ((entry.Changed & kChangedDates) != 0) names << AdditionText(kAddPropertyDates);
      if ((entry.Changed & kChangedAttributes) != 0) names << AdditionText(kAddPropertyAttributes);
      if ((entry.Changed & kChangedMarks) != 0) names << AdditionText(kAddPropertyMarks);
      return AdditionText(kAddUndoLeftChangedSince).arg(names.join(QStringLiteral(", ")));
    }
    default:
      return {};
  }
}

QString RunChoiceText(const RunChoice& choice, uint32_t number) {
  const uint32_t run = choice.File.Number != 0 ? choice.File.Number : number;
  const JournalReadResult& read = choice.Summary.Read;
  switch (choice.What) {
    case RunChoice::Found::Run:
    case RunChoice::Found::Nothing:
      return {};
    case RunChoice::Found::NoSuchRun:
      return AdditionText(kAddUndoNoSuchRun).arg(number);
    case RunChoice::Found::AlreadyUndone:
      return AdditionText(kAddUndoAlreadyUndone).arg(run);
    case RunChoice::Found::Unreadable:
      return AdditionText(kAddUndoUnreadable)
          .arg(run)
          .arg(read.Error != 0 ? SystemErrorText(read.Error) : AdditionText(kAddRunDamaged));
    case RunChoice::Found::Untrusted:
      return AdditionText(kAddUndoUntrusted)
          .arg(EscapedFileName(choice.File.Path), TrustCheckText(read.Trust));
    case RunChoice::Found::InUse:
      return AdditionText(kAddUndoInUse).arg(run);
    case RunChoice::Found::FolderUnreadable:
      return AdditionText(kAddJournalFolderUnreadable)
          .arg(EscapedFileName(choice.File.Path), SystemErrorText(choice.FolderError));
  }
  return {};
}

QString UndoNotStartedText(uint32_t runNumber, const UndoSummary& summary) {
  if (summary.Trust.Problem != TrustProblem::None)
    return AdditionText(kAddUndoUntrusted)
        .arg(EscapedFileName(summary.Journal), TrustCheckText(summary.Trust));
  if (summary.InUse) return AdditionText(kAddUndoInUse).arg(runNumber);
  return AdditionText(kAddUndoUnreadable)
      .arg(runNumber)
      .arg(summary.Error != 0 ? SystemErrorText(summary.Error) : AdditionText(kAddRunDamaged));
}

QString UndoDamageText(uint32_t runNumber, const UndoSummary& summary) {
  if (summary.DamagedStretches == 0 && summary.Unreadable == 0) return {};
  if (summary.Unreadable > 0)
    return AdditionText(kAddUndoDamagedEntries).arg(runNumber).arg(summary.Unreadable);
  return AdditionText(kAddUndoDamaged).arg(runNumber);
}
