#include "ui/placeholders/PlaceholderPreviewSegments.h"

#include <array>

namespace {

struct FileSample {
  const char16_t* Code;
  const char16_t* Sample;
};

// The file placeholders in the order of their segment kinds, with the example file's values.
constexpr std::array<FileSample, 12> kFileSamples = {{
    {u"%FN%", u"IMG0087"},
    {u"%FSK%", u"1394"},
    {u"%FSM%", u"1"},
    {u"%DS%", u"43"},
    {u"%DI%", u"08"},
    {u"%DH%", u"10"},
    {u"%DD%", u"25"},
    {u"%DM%", u"06"},
    {u"%DY%", u"2011"},
    {u"%CC%", u"61EC39A5"},
    {u"%CM%", u"A58C201697C54B3CA31A09081E451F0B"},
    {u"%CS%", u"2DA642A8D91E5FDD41DA78073432D5544C6CAF07"},
}};

constexpr std::array<const char16_t*, 4> kPathCodes = {u"%PD%", u"%PP%", u"%PC%", u"%PF%"};

bool AcceptsFileKind(PlaceholderField field, int kind) {
  switch (field) {
    case PlaceholderField::kInsertText:
    case PlaceholderField::kReplaceWith:
      return kind != kSegmentFirstFile;  // every file placeholder but %FN%
    case PlaceholderField::kNameTemplate:
    case PlaceholderField::kTargetDir:
      return true;
    case PlaceholderField::kPattern:
      return false;
  }
  return false;
}

QString PathSample(int kind, const PathFolders& folders) {
  const auto index = static_cast<size_t>(kind - kSegmentFirstPath);
  const std::array<const QString*, 3> known = {&folders.Desktop, &folders.Documents,
                                               &folders.Program};
  if (index >= known.size()) return PreviewFileFolderSample();
  QString folder = *known[index];
  if (folder.isEmpty()) return QString::fromUtf16(kPathCodes[index]);
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

void AppendLiteral(QList<PreviewSegment>& segments, QChar c) {
  if (segments.isEmpty() || segments.back().IsPlaceholder()) segments.append(PreviewSegment{});
  segments.back().Text += c;
  segments.back().Sample += c;
}

}  // namespace

QString PreviewFileFolderSample() {
  return QStringLiteral("/home/user/Pictures/");
}

QString PreviewSegmentCode(int kind) {
  if (kind >= kSegmentFirstFile && kind < kSegmentFirstPath)
    return QString::fromUtf16(kFileSamples[static_cast<size_t>(kind - kSegmentFirstFile)].Code);
  if (kind >= kSegmentFirstPath && kind <= kSegmentLastPath)
    return QString::fromUtf16(kPathCodes[static_cast<size_t>(kind - kSegmentFirstPath)]);
  return {};
}

QList<PreviewSegment> SegmentTemplate(PlaceholderField field, const QString& text,
                                      const PathFolders& folders) {
  const QString normal = NormalizePlaceholderCase(text);
  QList<PreviewSegment> segments;
  if (field == PlaceholderField::kPattern) {
    if (!normal.isEmpty()) segments.append(PreviewSegment{normal, kSegmentLiteral, normal});
    return segments;
  }

  qsizetype i = 0;
  bool skipSeparator = false;
  if (field == PlaceholderField::kTargetDir) {
    const QString leading = LeadingPathPlaceholder(normal);
    if (!leading.isEmpty()) {
      int kind = kSegmentFirstPath;
      while (PreviewSegmentCode(kind) != leading) ++kind;
      segments.append(PreviewSegment{normal.left(4), kind, PathSample(kind, folders)});
      i = 4;
      // The run skips one separator after the placeholder's folder; so does the preview.
      skipSeparator = segments.back().Sample.endsWith(QLatin1Char('/'));
    }
  }
  const CounterSpan counter =
      field == PlaceholderField::kNameTemplate ? FindCounterSpan(normal) : CounterSpan{};

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
      bool matched = false;
      for (size_t k = 0; k < kFileSamples.size(); ++k) {
        const int kind = kSegmentFirstFile + static_cast<int>(k);
        const QStringView code(kFileSamples[k].Code);
        if (!AcceptsFileKind(field, kind) || !QStringView(normal).mid(i).startsWith(code)) continue;
        segments.append(
            PreviewSegment{code.toString(), kind, QString::fromUtf16(kFileSamples[k].Sample)});
        i += code.size();
        matched = true;
        break;
      }
      if (matched) {
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
  if (field == PlaceholderField::kPattern || !text.contains(QLatin1Char('%'))) return false;
  for (const PreviewSegment& segment : SegmentTemplate(field, text, PathFolders{})) {
    if (segment.IsPlaceholder()) return true;
  }
  return false;
}
