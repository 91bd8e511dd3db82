#pragma once

// The decision for one entry of an undo, with what carrying it out needs beyond the report:
// shared by the decisions (UndoDecide.cpp) and the undo itself (Undo.cpp). Not for use outside
// the journal.

#include "journal/Undo.h"
#include "platform/FileIdentity.h"
#include "platform/FolderAccess.h"

#include <QHash>
#include <QString>

struct UndoDecision {
  UndoEntryReport Report;
  bool RestoreProperties = false;  // on Report.To, once the file is there
  // The file at Report.From is a new file on another file system than the old place (the run's
  // move went across file systems): the dates it carries are the run's.
  bool CrossDevice = false;
  bool ReplacedLost = false;  // the run replaced a file at its target, which is gone
  // RemoveCopy: the file at Report.From goes only while it is this one (device and inode, and
  // what the match asks for besides).
  FileIdentity Remove;
  FileMatch RemoveMatch;
  // After MoveBack: the run's copy that stands at the target as well goes too (a move across
  // file systems cut off while its source was renamed aside).
  QString AlsoRemove;
  FileIdentity AlsoRemoveIdentity;
  FileMatch AlsoRemoveMatch;
};

// Whether folders take files, asked once per folder while one undo decides its entries.
class FolderLooks {
 public:
  FolderAccessResult Look(const QString& folder);

 private:
  QHash<QString, FolderAccessResult> seen_;
};

UndoDecision DecideEntry(const JournalEntry& entry, FolderLooks& folders);

inline QString FolderOfPath(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QString() : path.left(slash + 1);
}
