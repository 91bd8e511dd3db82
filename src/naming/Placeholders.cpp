#include "naming/Placeholders.h"

#include "naming/PlaceholderTable.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"
#include "platform/Process.h"

#include <QStringList>

#include <limits>
#include <span>

namespace {

// The characters that follow a "%" in the text, as bits of their low six bits: a placeholder
// whose second character is not among them is not in the text, and 0 means none is. The steps
// keep it up to date as they replace (it may hold a letter too many, never one too few), so
// that a placeholder that is not there costs no search.
uint64_t LetterBit(QChar c) {
  return uint64_t{1} << (c.unicode() & 63);
}
uint64_t OpenedLetters(const QString& text) {
  uint64_t letters = 0;
  const QChar* data = text.constData();
  // Most names hold no "%" at all: the library's vectorised search says so soonest.
  for (qsizetype i = text.indexOf(QLatin1Char('%')), last = text.size() - 1; i >= 0 && i < last;
       ++i) {
    if (data[i] == QLatin1Char('%')) letters |= LetterBit(data[i + 1]);
  }
  return letters;
}

// Where `code` next stands in the text, from `from` on; -1 when nowhere. Texts and codes are
// short, and every code opens with "%": a plain loop beats a general string search here.
qsizetype FindCode(QStringView text, QStringView code, qsizetype from) {
  const QChar* data = text.data();
  const QChar* wanted = code.data();
  const qsizetype width = code.size();
  for (qsizetype i = from, last = text.size() - width; i <= last; ++i) {
    if (data[i] != QLatin1Char('%') || data[i + 1] != wanted[1]) continue;
    qsizetype k = 2;
    while (k < width && data[i + k] == wanted[k]) ++k;
    if (k == width) return i;
  }
  return -1;
}

// A row's value for the entry: computed, or what the entry holds for it.
QString ValueOf(const PlaceholderRow& row, int id, const PlaceholderContext& context) {
  if (row.Value != nullptr) return row.Value(context);
  if (row.Field != nullptr) return (context.Entry().*row.Field)();
  return context.Entry().ContentValues().value(id);
}

// The data placeholders in one pass from left to right: the scan goes on after each inserted
// value, so nothing a value brings in is expanded.
QString InsertData(const QString& text, std::span<const PlaceholderRow> table,
                   const PlaceholderContext& context) {
  QString out;
  qsizetype copied = 0;
  for (qsizetype i = text.indexOf(QLatin1Char('%')); i >= 0;
       i = text.indexOf(QLatin1Char('%'), i)) {
    const QStringView rest = QStringView(text).mid(i);
    int found = -1;
    for (size_t id = 0; id < table.size() && found < 0; ++id) {
      const PlaceholderRow& row = table[id];
      if (row.IsExpanded() && row.Expansion == PlaceholderExpansion::Data &&
          rest.startsWith(row.Code))
        found = static_cast<int>(id);
    }
    if (found < 0) {
      ++i;
      continue;
    }
    const PlaceholderRow& row = table[static_cast<size_t>(found)];
    out += QStringView(text).mid(copied, i - copied);
    out += ValueOf(row, found, context);
    i += row.Code.size();
    copied = i;
  }
  if (copied == 0) return text;
  out += QStringView(text).mid(copied);
  return out;
}

// Compares unit by unit with both sides lower-cased, like every case-insensitive comparison of
// the engine.
bool EqualsIgnoringCase(QStringView text, QStringView upperPlaceholder) {
  if (text.size() != upperPlaceholder.size()) return false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].toLower() != upperPlaceholder[i].toLower()) return false;
  }
  return true;
}

// Start index (0-based) and end index (of the closing "%") of the first counter group.
struct CounterGroup {
  qsizetype Begin = -1;
  qsizetype End = -1;
};

CounterGroup FindCounterGroup(const QString& text) {
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    if (text[i] != QLatin1Char('%')) continue;
    qsizetype j = i + 1;
    while (j < n && text[j] >= QLatin1Char('0') && text[j] <= QLatin1Char('9')) ++j;
    if (j < n && text[j] == QLatin1Char('%') && j - i >= 2) return {i, j};
  }
  return {};
}

QString ReplaceMarkers(const QString& name, const QString& number) {
  QString out = name;
  out.replace(kCounterMarker, number, Qt::CaseSensitive);
  return out;
}

}  // namespace

QString NormalizePlaceholders(const QString& text, std::span<const PlaceholderRow> table) {
  if (!text.contains(QLatin1Char('%'))) return text;
  QString out = text;
  for (const PlaceholderRow& row : table) {
    if (!row.IsExpanded()) continue;
    const QStringView placeholder = row.Code;
    const qsizetype width = placeholder.size();
    for (qsizetype i = 0; i + width <= out.size();) {
      if (out[i] == QLatin1Char('%') &&
          EqualsIgnoringCase(QStringView(out).mid(i, width), placeholder)) {
        out.replace(i, width, placeholder.data(), width);
        i += width;
      } else {
        ++i;
      }
    }
  }
  return out;
}

QString NormalizePlaceholderCase(const QString& text) {
  // Called for every transformed name of a run; few hold a "%".
  if (!text.contains(QLatin1Char('%'))) return text;
  return NormalizePlaceholders(text, PlaceholderTable());
}

QString ExpandPlaceholders(const QString& text, const PlaceholderContext& context,
                           std::span<const PlaceholderRow> table) {
  uint64_t opened = OpenedLetters(text);
  if (opened == 0) return text;
  QString out = text;
  bool hasData = false;
  // Each step works on the result of the one before, so text brought in by an earlier step
  // (a name holding "%DY%") is expanded by the later ones.
  for (size_t id = 0; id < table.size(); ++id) {
    const PlaceholderRow& row = table[id];
    if (!row.IsExpanded()) continue;
    if (row.Expansion == PlaceholderExpansion::Data) {
      hasData = true;
      continue;
    }
    const QStringView code = row.Code;
    if ((opened & LetterBit(code[1])) == 0) continue;
    qsizetype at = FindCode(out, code, 0);
    if (at < 0) continue;
    const QString value = ValueOf(row, static_cast<int>(id), context);
    const bool valueOpens = value.contains(QLatin1Char('%'));
    // Every occurrence, left to right; the scan goes on after the value put in.
    do {
      out.replace(at, code.size(), value);
      // A "%" right before the value now opens what the value begins with.
      if (at > 0 && out[at - 1] == QLatin1Char('%') && at < out.size())
        opened |= LetterBit(out[at]);
      at = FindCode(out, code, at + value.size());
    } while (at >= 0);
    if (valueOpens) opened = OpenedLetters(out);
    // The common name template holds only the name: once no "%" is left, nothing is.
    if (!out.contains(QLatin1Char('%'))) return out;
  }
  return hasData ? InsertData(out, table, context) : out;
}

QString ExpandFilePlaceholders(const QString& templateText, const FileEntry& entry,
                               int datePlaceholderSource, bool noLeadingZeros) {
  // Called for every name of a run, most of which hold no "%" once "%FN%" is put in.
  if (!templateText.contains(QLatin1Char('%'))) return templateText;
  const PlaceholderContext context(entry, datePlaceholderSource, noLeadingZeros);
  return ExpandPlaceholders(templateText, context, PlaceholderTable());
}

QString LeadingPathPlaceholder(const QString& templateText) {
  if (templateText.size() < 4) return {};
  const QStringView head = QStringView(templateText).left(4);
  for (const PlaceholderRow& row : PlaceholderTable()) {
    if (row.Family == PlaceholderFamily::Path && EqualsIgnoringCase(head, row.Code))
      return row.Code.toString();
  }
  return {};
}

const QString* FolderOfPathPlaceholder(const PathFolders& folders, QStringView code) {
  const int id = PlaceholderId(code);
  if (id < 0) return nullptr;
  const PlaceholderRow& row = PlaceholderById(id);
  return row.Family == PlaceholderFamily::Path && row.Folder != nullptr ? &(folders.*row.Folder)
                                                                        : nullptr;
}

QString StripPathPlaceholder(const QString& templateText) {
  if (LeadingPathPlaceholder(templateText).isEmpty()) return templateText;
  return templateText.mid(4);
}

QString ResolvePathPlaceholders(const QString& templateText, const PathFolders& folders) {
  if (templateText.isEmpty()) return {};
  const QString placeholder = LeadingPathPlaceholder(templateText);
  QString rest = templateText;
  QString result;
  if (!placeholder.isEmpty()) {
    if (const QString* known = FolderOfPathPlaceholder(folders, placeholder)) {
      const QString& folder = *known;
      // Without its folder the template has no target: "%PD%" alone would otherwise become "/",
      // the root, and "%PD%Out" a folder relative to wherever the program runs.
      if (folder.isEmpty()) return {};
      result = WithFinalSlash(folder);
    }
    rest = templateText.mid(4);
    if (rest.startsWith(QLatin1Char('\\')) || rest.startsWith(QLatin1Char('/'))) rest.remove(0, 1);
  }
  // Templates keep the user's "\" (presets are shared with Windows); on Linux it is the
  // separator. The folders themselves are taken as they are: a "\" in a real folder name stays.
  rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
  result += rest;
  if (!result.endsWith(QLatin1Char('/'))) result += QLatin1Char('/');
  return result;
}

int32_t CounterStart(const QString& templateText) {
  const CounterGroup group = FindCounterGroup(templateText);
  if (group.Begin < 0) return -1;
  int64_t value = 0;
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  for (qsizetype i = group.Begin + 1; i < group.End; ++i) {
    value = value * 10 + (templateText[i].unicode() - u'0');
    if (value > kMax) return static_cast<int32_t>(kMax);
  }
  return static_cast<int32_t>(value);
}

int32_t CounterWidth(const QString& templateText) {
  const CounterGroup group = FindCounterGroup(templateText);
  if (group.Begin < 0) return -1;
  const qsizetype width = group.End - group.Begin - 1;
  return width > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                     : static_cast<int32_t>(width);
}

CounterGroupSpan FindCounterGroupSpan(const QString& templateText) {
  const CounterGroup group = FindCounterGroup(templateText);
  if (group.Begin < 0) return {};
  return {group.Begin, group.End - group.Begin + 1};
}

QString MarkCounter(const QString& templateText) {
  const CounterGroup group = FindCounterGroup(templateText);
  if (group.Begin < 0) return templateText;
  return templateText.left(group.Begin) + kCounterMarker + templateText.mid(group.End + 1);
}

QString ZeroPad(int64_t value, int width) {
  QString digits = QString::number(value);
  if (digits.size() < width) digits.prepend(QString(width - digits.size(), QLatin1Char('0')));
  return digits;
}

int32_t NextFreeNumber(const QString& directory, const QString& name, const QString& extension,
                       int32_t from, int32_t width, const PathTaken& taken) {
  if (!name.contains(kCounterMarker)) return -1;
  const QString dottedExtension = extension.isEmpty() ? QString() : QLatin1Char('.') + extension;
  // Every marker is probed as it will be written: a name may carry the marker more than once
  // (a file's own name can hold it), and the path checked must be the path that is made.
  for (int64_t n = from < 0 ? 0 : from; n <= std::numeric_limits<int32_t>::max(); ++n) {
    const QString candidate = directory + ReplaceMarkers(name, ZeroPad(n, width)) + dottedExtension;
    if (!(taken ? taken(candidate) : PathExists(candidate))) return static_cast<int32_t>(n);
  }
  return -1;
}

bool CheckDirectoryPath(const QString& path, bool driveOnly) {
  QString normal = path;
  normal.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (!normal.startsWith(QLatin1Char('/'))) return false;
  if (driveOnly) return true;
  if (!normal.endsWith(QLatin1Char('/'))) return false;
  // Components between the leading root and the final "/".
  const QStringView inner = QStringView(normal).mid(1, normal.size() - 2);
  if (inner.isEmpty()) return true;  // the root itself
  for (const QStringView component : inner.split(QLatin1Char('/'))) {
    if (component.isEmpty()) return false;
    for (const QChar c : component) {
      if (c.unicode() < 32) return false;
    }
  }
  return true;
}

PreparedCounter PrepareCounter(const QString& normalizedTemplate) {
  PreparedCounter prepared;
  const int32_t start = CounterStart(normalizedTemplate);
  if (start >= 0) {
    prepared.Start = start;
    prepared.Width = CounterWidth(normalizedTemplate);
  }
  prepared.Template = MarkCounter(normalizedTemplate);
  return prepared;
}

CounterMap::CounterMap(int32_t start, int32_t width, bool perDirectory)
    : start_(start), width_(width), perDirectory_(perDirectory) {
  next_.reserve(512);
}

CounterUse CounterMap::Number(const QString& targetDirectory, const QString& name,
                              const QString& extension, const PathTaken& taken) {
  CounterUse use;
  use.Key = KeyFor(targetDirectory);
  use.Name = name;
  Remember(use.Key);
  auto it = next_.find(use.Key);
  if (perDirectory_) {
    // Each target directory numbers from the start value on its own.
    if (it == next_.end()) it = next_.insert(use.Key, start_);
  } else {
    if (it == next_.end()) it = next_.insert(use.Key, 0);
    if (start_ >= it.value()) it.value() = start_;
  }
  int64_t& next = it.value();
  if (next > std::numeric_limits<int32_t>::max()) return use;
  const int32_t k =
      NextFreeNumber(targetDirectory, name, extension, static_cast<int32_t>(next), width_, taken);
  if (k < 0) return use;
  use.Number = k;
  use.From = static_cast<int32_t>(next);
  use.Name = ReplaceMarkers(name, ZeroPad(k, width_));
  next = static_cast<int64_t>(k) + 1;
  return use;
}

void CounterMap::GiveBack(const QString& key) {
  auto it = next_.find(key);
  if (it == next_.end()) return;
  Remember(key);
  --it.value();
}

void CounterMap::Remember(const QString& key) {
  if (!recording_) return;
  Change change;
  change.Key = key;
  const auto it = next_.constFind(key);
  change.Existed = it != next_.constEnd();
  if (change.Existed) change.Old = it.value();
  log_.push_back(std::move(change));
}

void CounterMap::RollBack(size_t mark) {
  while (log_.size() > mark) {
    const Change& change = log_.back();
    if (change.Existed)
      next_[change.Key] = change.Old;
    else
      next_.remove(change.Key);
    log_.pop_back();
  }
}
