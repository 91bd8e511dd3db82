#pragma once

#include "filelist/FileList.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The report of a console run with failed files: a header, four lines per failed entry (every
// entry whose Status is neither 0 nor 1) and a legend of the kinds of failure that occurred.
// UTF-8 with a byte-order mark, every line ended by CR LF. Texts come from ProductTexts and
// LanguageTable.

// The complete report for `list`, as the bytes that go into the file. When a full disk stopped
// the run (`stoppedByFullDisk`), the entries it never reached (Status 0) are listed after the
// failed ones, in the same four lines, with a legend block of their own.
QByteArray BuildErrorLog(const FileList& list, bool stoppedByFullDisk = false);

// Writes the report to `path` (created anew, an existing file replaced as a whole). Returns 1
// when the file was written completely, 0 when it could not be created or written; a failed
// write leaves an earlier report at that path as it was.
int WriteErrorLog(const QString& path, const FileList& list, bool stoppedByFullDisk = false);

// The file name of the report: the program name in file-name form + "_Errorlog.txt".
QString ErrorLogFileName();

// Where the report of a console run goes: beside the program only for a portable copy whose
// folder takes it, else into the state folder (ErrorLogStateFolder), where the undo journals
// are kept too; an installed program's folder is a system folder.
//
// Writes the report into `firstFolder` (with its final "/"; empty: skipped), or, when that
// folder does not take it, into `fallbackFolder`, which is created for the owner alone when it
// is missing. Returns the full path of the written report, or an empty text when neither place
// took it.
QString WriteDefaultErrorLog(const FileList& list, const QString& firstFolder,
                             const QString& fallbackFolder, bool stoppedByFullDisk = false);

// The per-user state folder ($XDG_STATE_HOME, else ~/.local/state/) + the program's title + "/",
// with its final "/"; empty when there is no home folder or the title names no single folder.
QString ErrorLogStateFolder();

// Removes the report from the state folder (the uninstall). 0 when none is left, else the
// errno value.
int RemoveStateErrorLog();

// The name and the explanation of a kind of failure as the report and the run result window
// show them: statuses 2 to 8; an empty text for any other status.
QString FailureName(int status);
QString FailureExplanation(int status);

// The statuses with a kind of their own, in the order their explanations are listed.
QList<int> FailureStatuses();

// The name and explanation of an entry a full disk kept the run from reaching (Status 0).
QString NotReachedName();
QString NotReachedExplanation();
