#include "filelist/StatusLine.h"

#include "texts/TextTables.h"

#include <algorithm>
#include <charconv>

namespace {

// Language-table entries of the status line's two labels.
constexpr int kEntryFilesLabel = 69;
constexpr int kEntrySelectedLabel = 70;

}  // namespace

QString FormatSize(int64_t bytes, int decimals) {
  struct Unit {
    int64_t Bytes;
    const char* Label;
  };
  static constexpr Unit kUnits[] = {
      {int64_t{1} << 30, " GB"}, {int64_t{1} << 20, " MB"}, {int64_t{1} << 10, " KB"}};
  if (bytes < 0) return {};
  if (decimals < 0) decimals = 0;
  for (const Unit& unit : kUnits) {
    if (bytes >= unit.Bytes) {
      // Single precision on purpose: the figures must round exactly as they always have
      // (1,048,575 bytes reads 1024.0 KB, not 1023.99...).
      const auto quotient =
          static_cast<float>(static_cast<double>(bytes) / static_cast<double>(unit.Bytes));
      // to_chars writes as printf does in the C locale: the same rounding (halves to even),
      // and the mark is "." whatever the user's locale says.
      char buffer[64];
      const auto [end, error] =
          std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(quotient),
                        std::chars_format::fixed, std::min(decimals, 20));
      if (error != std::errc()) return {};
      return QLatin1String(buffer, end - buffer) + QLatin1String(unit.Label);
    }
  }
  return QString::number(bytes) + QLatin1String(" B");
}

QString FigureText(qsizetype count, int64_t totalBytes) {
  if (count == 0 && totalBytes <= 0) return QStringLiteral("-");
  QString text = count == 0 ? QStringLiteral("-") : QString::number(count);
  return text + QLatin1String(" (") + FormatSize(totalBytes, 1) + u')';
}

QString UpdateStatusLine(StatusFigures& figures, bool recountAll, bool recountSelected,
                         const QString& text, const FileList& list,
                         const QList<int32_t>& selectedIds, const QString& countLabel,
                         const QString& selectedLabel) {
  if (recountAll) {
    int64_t total = 0;
    for (const FileEntry& entry : list) total += entry.Size;
    figures.CountText = FigureText(list.Count(), total);
  }
  if (recountSelected) {
    qsizetype count = 0;
    int64_t total = 0;
    for (const int32_t id : selectedIds) {
      if (const FileEntry* entry = list.FindById(id)) {
        ++count;
        total += entry->Size;
      }
    }
    figures.SelectedText = FigureText(count, total);
  }
  if (!text.isEmpty()) return text;
  return countLabel + QLatin1String(": ") + figures.CountText + QLatin1String("   ") +
         selectedLabel + QLatin1String(": ") + figures.SelectedText;
}

QString UpdateStatusLine(StatusFigures& figures, bool recountAll, bool recountSelected,
                         const QString& text, const FileList& list,
                         const QList<int32_t>& selectedIds) {
  return UpdateStatusLine(figures, recountAll, recountSelected, text, list, selectedIds,
                          LanguageTable[kEntryFilesLabel], LanguageTable[kEntrySelectedLabel]);
}
