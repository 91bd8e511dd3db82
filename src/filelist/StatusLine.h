#pragma once

#include "filelist/FileList.h"

#include <QList>
#include <QString>

#include <cstdint>

// A byte count in 1024-based units with fixed labels ("GB", "MB", "KB", "B"), the quotient
// with exactly `decimals` digits after a "." (rounded as printf does); empty for a negative
// count.
QString FormatSize(int64_t bytes, int decimals);

// One figure of the status line: "-" for no files, else the count and the total size, as in
// "3 (1.5 KB)".
QString FigureText(qsizetype count, int64_t totalBytes);

// The two figures the status line shows; each keeps its text until it is recounted.
struct StatusFigures {
  QString CountText = QStringLiteral("-");
  QString SelectedText = QStringLiteral("-");
};

// Recounts the figures that are asked for (all entries of `list`; the entries whose ids are in
// `selectedIds`, ids no longer in the list are ignored) and returns the status line: `text`
// when it is not empty, otherwise `countLabel` + ": " + count figure + three spaces +
// `selectedLabel` + ": " + selected figure.
QString UpdateStatusLine(StatusFigures& figures, bool recountAll, bool recountSelected,
                         const QString& text, const FileList& list,
                         const QList<int32_t>& selectedIds, const QString& countLabel,
                         const QString& selectedLabel);

// The same with the labels of the language table in force (entries 69 and 70).
QString UpdateStatusLine(StatusFigures& figures, bool recountAll, bool recountSelected,
                         const QString& text, const FileList& list,
                         const QList<int32_t>& selectedIds);
