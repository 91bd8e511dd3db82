#pragma once

#include "records/FileEntry.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// The placeholder language of name and target-directory templates. Which placeholders there are,
// and in which order they expand, is the placeholder table's (naming/PlaceholderTable.h): file
// placeholders such as "%FN%" and the date parts, content placeholders such as the checksums,
// path placeholders ("%PD%" desktop, "%PP%" documents, "%PC%" program folder, "%PF%" each
// file's own folder) that may open a target directory template, and the counter: "%" + decimal
// digits + "%", e.g. "%001%" (start 1, width 3).

// The internal marker that stands for the counter once its start and width are known. It holds
// NUL characters, which no file name and no text a user may put into a template can contain
// (those refuse every character below 32), so a name never brings in a marker of its own.
inline const QString kCounterMarker = QStringView(u"\0ENUMNR\0", 8).toString();

// Every file and content placeholder written in any letter case becomes its upper-case form, in
// table order, so that users may type "%fn%" while expansion itself stays case-sensitive. Other
// text, the counter and the path placeholders included, is left alone.
QString NormalizePlaceholderCase(const QString& text);

// Expands the file and content placeholders for one entry: those inserted in steps each on the
// result of the one before, in table order (so a name holding "%DY%" gets the year in its place),
// then those inserted as data in one pass. `datePlaceholderSource`: 0 last access, 1 modified,
// 2 created. Date parts are zero-padded (2 digits, the year 4) unless `noLeadingZeros`. A content
// placeholder expands to what the entry holds, the empty text when nothing was read.
QString ExpandFilePlaceholders(const QString& templateText, const FileEntry& entry,
                               int datePlaceholderSource, bool noLeadingZeros);

// The template's leading path placeholder in upper case ("%PD%", "%PP%", "%PC%" or "%PF%"),
// recognised in any letter case; empty when the template opens with none.
QString LeadingPathPlaceholder(const QString& templateText);

// The template without its leading path placeholder, or unchanged when it has none.
QString StripPathPlaceholder(const QString& templateText);

// The folders that the path placeholders stand for. Each ends with "/" (one is added when it is
// missing); an empty folder is one the system could not supply.
struct PathFolders {
  QString Desktop;
  QString Documents;
  QString Program;
};

// The folder a path placeholder stands for; null for "%PF%" (each file's own) and any other code.
const QString* FolderOfPathPlaceholder(const PathFolders& folders, QStringView code);

// Replaces a leading path placeholder by its folder ("%PF%" by nothing) and skips one separator
// right after it, so "%PD%\Out" and "%PD%Out" both give the desktop followed by "Out". Every "\"
// of the template is read as "/". A non-empty template gives a result that ends with "/"; "%PF%"
// alone therefore gives "/", which stands for each file's own folder. The empty template, and a
// template whose placeholder folder is empty (the system could not supply it), give the empty
// text, which no directory check accepts.
QString ResolvePathPlaceholders(const QString& templateText, const PathFolders& folders);

// Start value and digit count of the template's first counter group; -1 when it has none.
// A start too large for 32 bits is held at the largest 32-bit value.
int32_t CounterStart(const QString& templateText);
int32_t CounterWidth(const QString& templateText);
// Where the first counter group lies: its 0-based start (the opening "%") and its length with
// both "%"; start -1 when the template has none.
struct CounterGroupSpan {
  qsizetype Start = -1;
  qsizetype Length = 0;
};
CounterGroupSpan FindCounterGroupSpan(const QString& templateText);
// The template with its first counter group (both "%" included) replaced by kCounterMarker.
QString MarkCounter(const QString& templateText);

// The decimal text of `value`, preceded by "0" up to `width` characters; never cut.
QString ZeroPad(int64_t value, int width);

// Whether something takes up a path. The default looks at the disk (anything at all: file,
// directory or link); a plan that simulates a run adds the names its earlier entries claim.
using PathTaken = std::function<bool(const QString& path)>;

// The first number counting up from `from` whose candidate path - directory + name with every
// counter marker replaced by the padded number + "." + extension (no "." when the extension is
// empty) - is not taken (by default: names nothing on disk). -1 when the name holds no marker.
int32_t NextFreeNumber(const QString& directory, const QString& name, const QString& extension,
                       int32_t from, int32_t width, const PathTaken& taken = {});

// Syntactic check of a directory path: it begins with "/", ends with "/" and every component
// between is non-empty and holds no character below 32. With `driveOnly` only the leading "/"
// is tested. "\" counts as "/" here, since templates and command-line paths read it so.
bool CheckDirectoryPath(const QString& path, bool driveOnly);

// What a name template's counter is after the run's set-up: the template with its counter marked,
// and the start and width (1 and 3 when the template has no counter group).
struct PreparedCounter {
  QString Template;
  int32_t Start = 1;
  int32_t Width = 3;
};
PreparedCounter PrepareCounter(const QString& normalizedTemplate);

// One file's use of the counter, handed back to GiveBack when the file failed.
struct CounterUse {
  QString Name;         // the name with every counter marker replaced by the padded number
  QString Key;          // the counter key the number was taken from
  int32_t Number = -1;  // the number used; -1 when the name had no marker
  // The number the search for a free one began at; below Number when numbers were passed over
  // because their names were taken.
  int32_t From = -1;
};

// The per-run counter table: one next number per key. Without per-directory numbering the only
// key is kCounterMarker; with it, each target directory (compared exactly: Linux names are
// case-sensitive) numbers from the start value on its own. Numbers taken by files that exist
// already are skipped.
class CounterMap {
 public:
  CounterMap(int32_t start, int32_t width, bool perDirectory);

  // Numbers one file whose name placeholders were already expanded; `taken` as for
  // NextFreeNumber.
  CounterUse Number(const QString& targetDirectory, const QString& name, const QString& extension,
                    const PathTaken& taken = {});
  // After a file that did not end as done: its key's number goes back by one, so the next file
  // reuses the number (Key as in CounterUse).
  void GiveBack(const QString& key);
  void GiveBack(const CounterUse& use) {
    if (use.Number >= 0) GiveBack(use.Key);
  }
  // The key a file in `targetDirectory` numbers from.
  const QString& KeyFor(const QString& targetDirectory) const {
    return perDirectory_ ? targetDirectory : kCounterMarker;
  }

  // The number the next file of that key would start probing from (0 for an unknown key).
  int64_t NextNumber(const QString& key) const { return next_.value(key, 0); }

  // Taking changes back, for a caller that numbers files ahead of knowing how they end. While
  // recording, Mark notes where the table stands and RollBack(mark) returns to it; Forget drops
  // the notes (older marks are then no longer valid).
  void SetRecording(bool on) {
    recording_ = on;
    log_.clear();
  }
  size_t Mark() const { return log_.size(); }
  void RollBack(size_t mark);
  void Forget() { log_.clear(); }

 private:
  // Notes the key's value before a change, when recording.
  void Remember(const QString& key);

  int32_t start_;
  int32_t width_;
  bool perDirectory_;
  QHash<QString, int64_t> next_;
  struct Change {
    QString Key;
    int64_t Old = 0;
    bool Existed = false;
  };
  bool recording_ = false;
  std::vector<Change> log_;
};
