// Speed of building new names: one million in-memory entries through a name template with a
// counter, case mode 2 and two replace rules, against a plain string-building loop that makes
// "name (001)" for the same entries in the same run.
//
//   bench_naming [entries]     (default 1000000; 50000 in a debug build)

#include "naming/Placeholders.h"
#include "naming/Transform.h"
#include "records/FileEntry.h"
#include "records/Preset.h"

#include <QList>
#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

QList<FileEntry> MakeEntries(int count) {
  static const char* const kStems[] = {"holiday_photo draft", "IMG_2041", "scan of letter",
                                       "Meeting-notes_final", "track 07 - live"};
  QList<FileEntry> entries;
  entries.reserve(count);
  for (int i = 0; i < count; ++i) {
    FileEntry entry;
    entry.Id = i;
    entry.SetName(QString::fromLatin1(kStems[i % 5]) + QString::number(i));
    entry.Size = 1000 + i;
    entry.Modified = 1170000000 + i;
    entries.append(entry);
  }
  return entries;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef NDEBUG
  const int defaultCount = 1000000;
#else
  const int defaultCount = 50000;  // debug and sanitizer builds are slow; keep them quick
#endif
  const int count = argc > 1 ? std::atoi(argv[1]) : defaultCount;
  if (count <= 0) {
    std::fprintf(stderr, "usage: %s [entries > 0]\n", argv[0]);
    return 2;
  }
  const QList<FileEntry> entries = MakeEntries(count);

  // Reference: the plainest way to build "name (001)".
  const Clock::time_point referenceStart = Clock::now();
  qsizetype referenceChars = 0;
  for (int i = 0; i < count; ++i) {
    const QString name = entries[i].Name() + QStringLiteral(" (") +
                         QStringLiteral("%1").arg(i + 1, 3, 10, QLatin1Char('0')) +
                         QLatin1Char(')');
    referenceChars += name.size();
  }
  const double referenceSeconds = Seconds(referenceStart);

  // Mervane: the template prepared once per run, then per entry the transformations, the file
  // placeholders and the counter. The counter's free-number probe is a file-system look-up and
  // is left out here; the numbering itself (padding and marker replacement) is measured.
  const QList<TextReplacement> rules = {
      {kItemChecked, QStringLiteral("_| "), QStringLiteral("-")},
      {kItemChecked, QStringLiteral("draft|final"), QStringLiteral("v2")},
  };
  const PreparedCounter counter =
      PrepareCounter(NormalizePlaceholderCase(QStringLiteral("%fn% (%001%)")));
  const Clock::time_point start = Clock::now();
  qsizetype chars = 0;
  int64_t next = counter.Start;
  for (const FileEntry& entry : entries) {
    QString transformed = ApplyReplacements(ChangeCase(entry.Name(), kCaseWords), rules);
    transformed = NormalizePlaceholderCase(transformed);
    transformed.remove(QStringLiteral("%FN%"));
    QString name = counter.Template;
    name.replace(QStringLiteral("%FN%"), transformed);
    name = ExpandFilePlaceholders(name, entry, 1, false);
    name.replace(kCounterMarker, ZeroPad(next++, counter.Width));
    chars += name.size();
  }
  const double seconds = Seconds(start);

  std::printf("entries: %d (sample: %s)\n", count,
              qPrintable(ApplyReplacements(ChangeCase(entries[0].Name(), kCaseWords), rules)));
  std::printf("reference concatenation: %.3f s, %.0f entries/s (%lld chars)\n", referenceSeconds,
              count / referenceSeconds, static_cast<long long>(referenceChars));
  std::printf("mervane name building:   %.3f s, %.0f entries/s (%lld chars)\n", seconds,
              count / seconds, static_cast<long long>(chars));
  std::printf("ratio (mervane time / reference time): %.2f\n", seconds / referenceSeconds);
  return 0;
}
