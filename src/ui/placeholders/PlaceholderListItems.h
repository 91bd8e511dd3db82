#pragma once

#include "naming/PlaceholderTable.h"

#include <QList>
#include <QString>

#include <cstdint>

// What the placeholder list offers for each kind of field (the placeholder table's rows listed
// there, or the pattern language's wildcards), and how a chosen item goes into the field's text.
// QtCore only: the list window and the preview build on it, and the tests call it directly.

// The kinds of field that have a "<" button.
enum class PlaceholderField {
  kPattern,       // filter text value, find text, old extensions: the wildcards
  kInsertText,    // the text inserted into names
  kReplaceWith,   // the replacement of a find-and-replace rule
  kNameTemplate,  // the new-name template
  kTargetDir,     // the target-directory template
};

// The field as the placeholder table names it (kFieldInsertText, ...); 0 for the pattern fields,
// where no placeholder stands.
uint8_t PlaceholderFieldBit(PlaceholderField field);

struct PlaceholderItem {
  CaptionEntry Caption;  // the text entry of its caption
  QString Code;          // what is inserted: "*", "%FN%", "%001%", ...
  // The group it is shown in, under the group's caption (PlaceholderGroupCaption).
  PlaceholderGroup Group = PlaceholderGroup::None;
};

// The items of the list window for a field, in the order shown: the path placeholders, the
// others without a group, then each group's (the values from inside a file), in table order.
QList<PlaceholderItem> PlaceholderItemsFor(PlaceholderField field);

// The row text of an item: its caption, three blanks and the code in parentheses.
QString PlaceholderItemText(const PlaceholderItem& item);
// Its caption without access-key marks.
QString PlaceholderItemCaption(const PlaceholderItem& item);

// The caption of the placeholder `code` as the list names it ("File name" for "%FN%"; the
// counter's caption for any counter group), without "&"; empty for a code the lists do not hold.
QString PlaceholderCaption(const QString& code);

// The first counter group of a template ("%" + digits + "%", as the run numbers it): its
// 0-based start and length; Start is -1 when the template has none.
struct CounterSpan {
  qsizetype Start = -1;
  qsizetype Length = 0;
};
CounterSpan FindCounterSpan(const QString& templateText);

// The field's text after inserting `code`, and where the caret goes.
struct PlaceholderInsertion {
  QString Text;
  qsizetype Caret = 0;
};

// Inserts an item's code into a field's text. `selectionStart` and `selectionEnd` are 0-based
// (equal when nothing is selected; both the caret then). The selection is replaced and the
// caret goes after the code, except:
// - the counter item in a name template that holds a counter already replaces that counter;
// - a path item in a target template replaces its leading path placeholder, replaces a text
//   that is an absolute folder of its own, or else goes in front of the text;
// in these two cases the caret goes to the end.
PlaceholderInsertion InsertPlaceholder(PlaceholderField field, const QString& text,
                                       qsizetype selectionStart, qsizetype selectionEnd,
                                       const QString& code);
