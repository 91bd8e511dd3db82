#include "ui/placeholders/PlaceholderListItems.h"

#include "naming/Placeholders.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/UiTexts.h"

#include <algorithm>

namespace {

// The pattern language's wildcards, which the pattern fields list.
QList<PlaceholderItem> WildcardItems() {
  return {{kTextWordAnyCharacters, QStringLiteral("*")},
          {kTextWordOneCharacter, QStringLiteral("?")},
          {kTextWordOneDigit, QStringLiteral("#")},
          {kTextWordOr, QStringLiteral("|")}};
}

bool IsCounterCode(const QString& code) {
  const CounterSpan span = FindCounterSpan(code);
  return span.Start == 0 && span.Length == code.size();
}

// The table's row of a code; any counter group is the counter's row.
const PlaceholderRow* RowOf(const QString& code) {
  const int id = PlaceholderId(code);
  if (id >= 0) return &PlaceholderById(id);
  if (!IsCounterCode(code)) return nullptr;
  for (const PlaceholderRow& row : PlaceholderTable()) {
    if (row.Family == PlaceholderFamily::Counter) return &row;
  }
  return nullptr;
}

bool IsPathCode(const QString& code) {
  const PlaceholderRow* row = RowOf(code);
  return row != nullptr && row->Family == PlaceholderFamily::Path;
}

}  // namespace

uint8_t PlaceholderFieldBit(PlaceholderField field) {
  switch (field) {
    case PlaceholderField::kPattern:
      return 0;
    case PlaceholderField::kInsertText:
      return kFieldInsertText;
    case PlaceholderField::kReplaceWith:
      return kFieldReplaceWith;
    case PlaceholderField::kNameTemplate:
      return kFieldNameTemplate;
    case PlaceholderField::kTargetDir:
      return kFieldTargetDir;
  }
  return 0;
}

QList<PlaceholderItem> PlaceholderItemsFor(PlaceholderField field) {
  if (field == PlaceholderField::kPattern) return WildcardItems();
  const uint8_t bit = PlaceholderFieldBit(field);
  // The path placeholders come first: they can only open a target template. The groups come
  // last, each whole.
  QList<PlaceholderItem> paths;
  QList<PlaceholderItem> others;
  QList<PlaceholderItem> grouped;
  for (const PlaceholderRow& row : PlaceholderTable()) {
    if ((row.Listed & bit) == 0) continue;
    const PlaceholderItem item{row.Caption, row.Code.toString(), row.Group};
    if (row.Family == PlaceholderFamily::Path)
      paths.append(item);
    else if (row.Group == PlaceholderGroup::None)
      others.append(item);
    else
      grouped.append(item);
  }
  std::stable_sort(grouped.begin(), grouped.end(), [](const auto& a, const auto& b) {
    return static_cast<int>(a.Group) < static_cast<int>(b.Group);
  });
  return paths + others + grouped;
}

QString PlaceholderItemCaption(const PlaceholderItem& item) {
  return WithoutMnemonics(item.Caption.Text());
}

QString PlaceholderItemText(const PlaceholderItem& item) {
  return PlaceholderItemCaption(item) + QLatin1String("   (") + item.Code + QLatin1Char(')');
}

QString PlaceholderCaption(const QString& code) {
  if (const PlaceholderRow* row = RowOf(code)) return WithoutMnemonics(row->Caption.Text());
  for (const PlaceholderItem& item : WildcardItems()) {
    if (item.Code == code) return PlaceholderItemCaption(item);
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
