#pragma once

#include "platform/AppendFile.h"
#include "platform/PrivateFolder.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// Where the undo journals live and which are there: one file per run, "<number>.journal",
// numbered upwards, the last 20 kept. A journal says what undo will do to the user's files, so
// it is used only when it and the folders it lives in count as the user's own (PrivateFolder.h):
// the journal folder and, per user, the program's own folder above it.

inline constexpr int kJournalsKept = 20;

// The journal folder, with a final "/": beside the program in portable mode (the portable prefix
// + "Journal/", like the settings files named after the file-name title), else the per-user
// state folder ($XDG_STATE_HOME, else ~/.local/state/) + the title + "/journal/". Empty when
// neither can be named.
QString JournalFolderPath(bool portable, const QString& portablePrefix);

// The first folder whose ownership and permissions count for the journals in `folder`: per
// user the program's own folder in the state folder, which the program makes; otherwise the
// journal folder itself.
QString JournalTrustedFrom(const QString& folder);

// Opens the journal folder after checking it (see above); with `create`, missing folders are
// made first, for the owner alone.
TrustCheck OpenJournalFolder(const QString& folder, bool create, PrivateFolder& opened);
// Whether a run could write its journal there, changing nothing.
TrustCheck ProbeJournalFolder(const QString& folder);

// What is wrong with a journal or its folder, or why it could not be opened: "it belongs to
// another user (nobody, uid 65534)", "others may write to the folder /x/", "No such file...".
QString TrustCheckText(const TrustCheck& check);

// Opens the journal at `path` after checking it and its folders: for reading and, with
// `writable`, for adding to it.
TrustCheck OpenJournal(const QString& path, bool writable, PrivateFolder& folder, AppendFile& file);

struct JournalFile {
  uint32_t Number = 0;
  QString Path;
};

// The journals in `folder`, oldest (lowest number) first. Other files there are ignored. When
// the folder cannot be read, `error` (if given) receives the errno value (ENOENT: there is no
// such folder yet, so no journals either); else 0.
std::vector<JournalFile> ListJournalFiles(const QString& folder, int* error = nullptr);

// "00000012.journal".
QString JournalFileName(uint32_t number);

// Removes every journal of both places (per user and, when `portablePrefix` names one, beside
// the program), then each journal folder and the per-user state folder above it when they are
// empty. Only journal files go: a file of the user's stays, and a link in place of a folder is
// never followed. Returns the folders that could not be emptied of journals.
QStringList RemoveAllJournals(const QString& portablePrefix);

// Removes the oldest journals of the open folder until at most `keep` are left; a journal that
// a run or an undo is working with stays. Returns how many were removed.
int PruneJournals(const PrivateFolder& folder, int keep = kJournalsKept);
// The same for the journal folder at `folder`, opened after its checks (none removed otherwise).
int PruneJournals(const QString& folder, int keep = kJournalsKept);
