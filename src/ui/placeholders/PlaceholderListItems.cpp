#include "ui/placeholders/PlaceholderListItems.h"

#include "naming/Placeholders.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/UiTexts.h"

#include <algorithm>

namespace {

// The counter item of the name template's list.
const QString kCounterCode = QStringLiteral("%001%");

QList<PlaceholderItem> WildcardItems() {
  return {{222, QStringLiteral("*")},
          {223, QStringLiteral("?")},
          {224, QStringLiteral("#")},
          {225, QStringLiteral("|")}};
}

// Size and date items, shared by the insert, replace, name and target lists.
QList<PlaceholderItem> SizeAndDateItems() {
  return {{202, QStringLiteral("%FSK%")}, {203, QStringLiteral("%FSM%")},
          {208, QStringLiteral("%DS%")},  {209, QStringLiteral("%DI%")},
          {210, QStringLiteral("%DH%")},  {211, QStringLiteral("%DD%")},
          {212, QStringLiteral("%DM%")},  {213, QStringLiteral("%DY%")}};
}

QList<PlaceholderItem> ChecksumItems() {
  return {
      {214, QStringLiteral("%CC%")}, {215, QStringLiteral("%CM%")}, {216, QStringLiteral("%CS%")}};
}

QList<PlaceholderItem> PathItems() {
  return {{217, QStringLiteral("%PD%")},
          {218, QStringLiteral("%PP%")},
          {219, QStringLiteral("%PC%")},
          {220, QStringLiteral("%PF%")}};
}

bool IsPathCode(const QString& code) {
  for (const PlaceholderItem& item : PathItems()) {
    if (item.Code == code) return true;
  }
  return false;
}

bool IsCounterCode(const QString& code) {
  const CounterSpan span = FindCounterSpan(code);
  return span.Start == 0 && span.Length == code.size();
}

}  // namespace

QList<PlaceholderItem> PlaceholderItemsFor(PlaceholderField field) {
  switch (field) {
    case PlaceholderField::kPattern:
      return WildcardItems();
    case PlaceholderField::kInsertText:
    case PlaceholderField::kReplaceWith:
      return SizeAndDateItems() + ChecksumItems();
    case PlaceholderField::kNameTemplate:
      return QList<PlaceholderItem>{{195, kCounterCode}, {199, QStringLiteral("%FN%")}} +
             SizeAndDateItems() + ChecksumItems();
    case PlaceholderField::kTargetDir:
      // No checksums: computing them for a folder name would read every file for little use.
      return PathItems() + QList<PlaceholderItem>{{199, QStringLiteral("%FN%")}} +
             SizeAndDateItems();
  }
  return {};
}

QString PlaceholderItemText(const PlaceholderItem& item) {
  return WithoutMnemonics(LanguageText(item.CaptionEntry)) + QLatin1String("   (") + item.Code +
         QLatin1Char(')');
}

QString PlaceholderCaption(const QString& code) {
  if (IsCounterCode(code)) return WithoutMnemonics(LanguageText(kTextWordCounter));
  for (const PlaceholderField field : {PlaceholderField::kNameTemplate,
                                       PlaceholderField::kTargetDir, PlaceholderField::kPattern}) {
    for (const PlaceholderItem& item : PlaceholderItemsFor(field)) {
      if (item.Code == code) return WithoutMnemonics(LanguageText(item.CaptionEntry));
    }
  }
  return {};
}

CounterSpan FindCounterSpan(const QString& templateText) {
  // The run's own scan finds the group.
  const CounterGroupSpan group = FindCounterGroupSpan(templateText);
  if (group.Start < 0) return {};
  CounterSpan span;
  span.Start = group.Start;
  span.Length = group.Length;
  return span;
}

PlaceholderInsertion InsertPlaceholder(PlaceholderField field, const QString& text,
                                       qsizetype selectionStart, qsizetype selectionEnd,
                                       const QString& code) {
  if (field == PlaceholderField::kNameTemplate && IsCounterCode(code)) {
    // One counter per name: choosing it again replaces the one there.
    const CounterSpan span = FindCounterSpan(text);
    if (span.Start >= 0) {
      QString out = text;
      out.replace(span.Start, span.Length, code);
      return {out, out.size()};
    }
  }
  if (field == PlaceholderField::kTargetDir && IsPathCode(code)) {
    QString out;
    if (!LeadingPathPlaceholder(text).isEmpty()) {
      out = code + StripPathPlaceholder(text);
    } else if (text.startsWith(QLatin1Char('/')) && CheckDirectoryPath(text, true)) {
      // An absolute folder cannot follow a placeholder folder: the placeholder takes its place.
      // Only "/" opens one here; "\output\" is the templates' way of writing a folder below
      // the placeholder's, and is kept.
      out = code;
    } else {
      out = code + text;
    }
    return {out, out.size()};
  }
  const qsizetype start =
      std::clamp<qsizetype>(std::min(selectionStart, selectionEnd), 0, text.size());
  const qsizetype end =
      std::clamp<qsizetype>(std::max(selectionStart, selectionEnd), 0, text.size());
  return {text.left(start) + code + text.mid(end), start + code.size()};
}
