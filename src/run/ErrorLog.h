#pragma once

#include "filelist/FileList.h"

#include <QByteArray>
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

// Writes the report beside the program (`programFolder`, with its final "/"), or, when that
// folder does not take it (an installed program), into `settingsFolder`. Returns the full path
// of the written report, or an empty text when neither place took it.
QString WriteDefaultErrorLog(const FileList& list, const QString& programFolder,
                             const QString& settingsFolder, bool stoppedByFullDisk = false);
