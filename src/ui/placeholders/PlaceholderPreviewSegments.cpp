#include "ui/placeholders/PlaceholderPreviewSegments.h"

namespace {

// The kind of the segment of a table row.
int KindOf(int id) {
  return id + 1;
}

// A path placeholder's sample: this computer's folder, or the table's example folder for "%PF%".
QString PathSample(const PlaceholderRow& row, const PathFolders& folders) {
  const QString* known = FolderOfPathPlaceholder(folders, row.Code);
  if (known == nullptr) return row.Sample.toString();
  QString folder = *known;
  if (folder.isEmpty()) return row.Code.toString();
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

void AppendLiteral(QList<PreviewSegment>& segments, QChar c) {
  if (segments.isEmpty() || segments.back().IsPlaceholder()) segments.append(PreviewSegment{});
  segments.back().Text += c;
  segments.back().Sample += c;
}

// The expanded placeholder that stands at the start of `rest`, where the field accepts it.
int ExpandedPlaceholderAt(QStringView rest, uint8_t field) {
  const std::span<const PlaceholderRow> table = PlaceholderTable();
  for (size_t id = 0; id < table.size(); ++id) {
    const PlaceholderRow& row = table[id];
    if (row.IsExpanded() && (row.StandsIn & field) != 0 && rest.startsWith(row.Code))
      return static_cast<int>(id);
  }
  return -1;
}

bool CounterStandsIn(uint8_t field) {
  for (const PlaceholderRow& row : PlaceholderTable()) {
    if (row.Family == PlaceholderFamily::Counter) return (row.StandsIn & field) != 0;
  }
  return false;
}

}  // namespace

const PlaceholderRow* PreviewSegmentRow(int kind) {
  const int id = kind - 1;
  if (id < 0 || id >= static_cast<int>(PlaceholderTable().size())) return nullptr;
  return &PlaceholderById(id);
}

QString PreviewSegmentCode(int kind) {
  const PlaceholderRow* row = PreviewSegmentRow(kind);
  if (row == nullptr || row->Family == PlaceholderFamily::Counter) return {};
  return row->Code.toString();
}

bool PreviewSampleIsLocalFolder(int kind) {
  const PlaceholderRow* row = PreviewSegmentRow(kind);
  return row != nullptr && row->Family == PlaceholderFamily::Path && row->Folder != nullptr;
}

QList<PreviewSegment> SegmentTemplate(PlaceholderField field, const QString& text,
                                      const PathFolders& folders) {
  const QString normal = NormalizePlaceholderCase(text);
  QList<PreviewSegment> segments;
  const uint8_t bit = PlaceholderFieldBit(field);
  if (bit == 0) {
    if (!normal.isEmpty()) segments.append(PreviewSegment{normal, kSegmentLiteral, normal});
    return segments;
  }

  qsizetype i = 0;
  bool skipSeparator = false;
  const QString leading = LeadingPathPlaceholder(normal);
  if (!leading.isEmpty()) {
    const int id = PlaceholderId(leading);
    const PlaceholderRow& row = PlaceholderById(id);
    if ((row.StandsIn & bit) != 0) {
      segments.append(
          PreviewSegment{normal.left(leading.size()), KindOf(id), PathSample(row, folders)});
      i = leading.size();
      // The run skips one separator after the placeholder's folder; so does the preview.
      skipSeparator = segments.back().Sample.endsWith(QLatin1Char('/'));
    }
  }
  const CounterSpan counter = CounterStandsIn(bit) ? FindCounterSpan(normal) : CounterSpan{};

  while (i < normal.size()) {
    const QChar c = normal[i];
    if (c == QLatin1Char('%')) {
      if (i == counter.Start) {
        const QString group = normal.mid(i, counter.Length);
        segments.append(PreviewSegment{group, kSegmentCounter, group.mid(1, group.size() - 2)});
        i += counter.Length;
        skipSeparator = false;
        continue;
      }
      const int id = ExpandedPlaceholderAt(QStringView(normal).mid(i), bit);
      if (id >= 0) {
        const PlaceholderRow& row = PlaceholderById(id);
        segments.append(PreviewSegment{row.Code.toString(), KindOf(id), row.Sample.toString()});
        i += row.Code.size();
        skipSeparator = false;
        continue;
      }
    }
    if (field == PlaceholderField::kTargetDir &&
        (c == QLatin1Char('\\') || c == QLatin1Char('/'))) {
      if (skipSeparator) {
        // Kept in the segment's text, so that the segments still spell the field's text.
        AppendLiteral(segments, c);
        segments.back().Sample.chop(1);
      } else {
        AppendLiteral(segments, c);
        segments.back().Sample.back() = QLatin1Char('/');
      }
    } else {
      AppendLiteral(segments, c);
    }
    skipSeparator = false;
    ++i;
  }
  return segments;
}

bool HasPreviewPlaceholders(PlaceholderField field, const QString& text) {
  if (PlaceholderFieldBit(field) == 0 || !text.contains(QLatin1Char('%'))) return false;
  for (const PreviewSegment& segment : SegmentTemplate(field, text, PathFolders{})) {
    if (segment.IsPlaceholder()) return true;
  }
  return false;
}
