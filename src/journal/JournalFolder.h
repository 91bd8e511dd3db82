#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// Where the undo journals live and which are there: one file per run, "<number>.journal",
// numbered upwards, the last 20 kept.

inline constexpr int kJournalsKept = 20;

// The journal folder, with a final "/": beside the program in portable mode (the portable prefix
// + "Journal/", like the settings files named after the file-name title), else the per-user
// state folder ($XDG_STATE_HOME, else ~/.local/state/) + the title + "/journal/". Empty when
// neither can be named.
QString JournalFolderPath(bool portable, const QString& portablePrefix);

struct JournalFile {
  uint32_t Number = 0;
  QString Path;
};

// The journals in `folder`, oldest (lowest number) first. Other files there are ignored.
std::vector<JournalFile> ListJournalFiles(const QString& folder);

// "00000012.journal".
QString JournalFileName(uint32_t number);

// Removes every journal of both places (per user and, when `portablePrefix` names one, beside
// the program), then each journal folder and the per-user state folder above it when they are
// empty. Only journal files go: a file of the user's stays, and a link in place of a folder is
// never followed. Returns the folders that could not be emptied of journals.
QStringList RemoveAllJournals(const QString& portablePrefix);

// Removes the oldest journals until at most `keep` are left. Returns how many were removed.
int PruneJournals(const QString& folder, int keep = kJournalsKept);
