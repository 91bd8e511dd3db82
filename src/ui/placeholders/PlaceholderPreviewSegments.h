#pragma once

#include "naming/Placeholders.h"
#include "ui/placeholders/PlaceholderListItems.h"

#include <QList>
#include <QString>

// How the preview under a template field reads: the field's text cut into literal runs and the
// placeholders the field accepts, each with the example value shown for it. QtCore only.

// Kinds of segment: literal text, the counter, the twelve file placeholders in the order of
// expansion (%FN% %FSK% %FSM% %DS% %DI% %DH% %DD% %DM% %DY% %CC% %CM% %CS%) and the four path
// placeholders (%PD% %PP% %PC% %PF%).
enum PreviewSegmentKind : int {
  kSegmentLiteral = 0,
  kSegmentCounter = 1,
  kSegmentFirstFile = 2,
  kSegmentFirstPath = 14,
  kSegmentLastPath = 17,
};

struct PreviewSegment {
  QString Text;  // the piece of the (normalised) field text
  int Kind = kSegmentLiteral;
  QString Sample;  // what the preview shows for it

  bool IsPlaceholder() const { return Kind != kSegmentLiteral; }
  bool operator==(const PreviewSegment&) const = default;
};

// The example folder that "%PF%" (each file's own folder) shows.
QString PreviewFileFolderSample();

// Cuts a field's text into segments, left to right, after normalising the placeholders' letter
// case. A placeholder counts only where the field accepts it: the size, date and checksum
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

// The placeholder code that a kind of segment stands for ("%FN%" for the first file kind);
// empty for literal text and the counter, whose code varies.
QString PreviewSegmentCode(int kind);
