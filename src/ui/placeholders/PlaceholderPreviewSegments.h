#pragma once

#include "naming/PlaceholderTable.h"
#include "naming/Placeholders.h"
#include "ui/placeholders/PlaceholderListItems.h"

#include <QList>
#include <QString>

// How the preview under a template field reads: the field's text cut into literal runs and the
// placeholders the field accepts, each with the example value shown for it. QtCore only.

// Kinds of segment: literal text, or a placeholder of the placeholder table, whose kind is its
// id + 1. The design's order gives the counter 1, the twelve file placeholders 2 to 13 in the
// order of expansion and the four path placeholders 14 to 17.
enum PreviewSegmentKind : int {
  kSegmentLiteral = 0,
  kSegmentCounter = 1,
};

struct PreviewSegment {
  QString Text;  // the piece of the (normalised) field text
  int Kind = kSegmentLiteral;
  QString Sample;  // what the preview shows for it

  bool IsPlaceholder() const { return Kind != kSegmentLiteral; }
  bool operator==(const PreviewSegment&) const = default;
};

// Cuts a field's text into segments, left to right, after normalising the placeholders' letter
// case. A placeholder counts only where the table says it stands: the size, date and checksum
// placeholders everywhere; %FN% in the name and target templates; the first counter of a name
// template; a path placeholder only at the very start of a target template. Everything else,
// a lone "%" included, is literal text. In a target template the literal text reads as the
// folder it makes: "\" shows as "/", and the separator right after a path placeholder is not
// shown twice. `folders` supplies the samples of %PD% %PP% %PC%; an unknown folder shows the
// placeholder itself.
QList<PreviewSegment> SegmentTemplate(PlaceholderField field, const QString& text,
                                      const PathFolders& folders);

// True when the text holds at least one placeholder that the preview of this field shows.
bool HasPreviewPlaceholders(PlaceholderField field, const QString& text);

// The table's row of a placeholder segment; null for literal text.
const PlaceholderRow* PreviewSegmentRow(int kind);

// The placeholder code that a kind of segment stands for ("%FN%" for kind 2); empty for literal
// text and the counter, whose code varies.
QString PreviewSegmentCode(int kind);

// Whether the segment's sample is a folder of this computer (%PD% %PP% %PC%), which the tooltip
// shows alone.
bool PreviewSampleIsLocalFolder(int kind);
