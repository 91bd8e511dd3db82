#pragma once

#include "naming/Placeholders.h"
#include "platform/LocalTime.h"
#include "records/FileEntry.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"

#include <QString>
#include <QStringView>

#include <bit>
#include <cstdint>
#include <optional>
#include <span>

// The placeholder vocabulary in one table. Case normalisation and expansion, the question of
// which placeholders need the file's content, the placeholder list and preview pop-ups and the
// help all read it; none keeps a list of its own.
//
// A new placeholder is a row of the table (PlaceholderTable.cpp) and its caption's texts. One
// whose value comes from inside the file (family Content) also needs a reader that says it
// serves the code (fileops/ContentReader.h).

enum class PlaceholderFamily : uint8_t {
  Counter,  // the counter group, "%" + digits + "%"; its row (code "%001%") stands for them all
  File,     // from the entry's own data: name, size, date parts
  Path,     // a folder that may open a target directory template
  Content,  // from inside the file, read by a content reader
};

// The groups the placeholder list shows the placeholders from inside a file in, each under a
// caption of its own; the others stand before them, ungrouped.
enum class PlaceholderGroup : uint8_t { None, DateTaken, Camera, Audio };

// The template fields a placeholder may stand in, as bits.
enum PlaceholderFieldBits : uint8_t {
  kFieldInsertText = 1,
  kFieldReplaceWith = 2,
  kFieldNameTemplate = 4,
  kFieldTargetDir = 8,
  kFieldsAll = kFieldInsertText | kFieldReplaceWith | kFieldNameTemplate | kFieldTargetDir,
};

// How a value goes into the text.
enum class PlaceholderExpansion : uint8_t {
  // In a step of its own, in table order, on the result of the steps before: text that an
  // earlier step inserted is expanded by the later ones (a name holding "%DY%" gets the year).
  Step,
  // After every step, in one pass over the text: what it inserts is data and never expanded.
  Data,
};

// A caption: an entry of the language table or of Mervane's additions, named either way.
class CaptionEntry {
 public:
  constexpr CaptionEntry(LanguageEntry entry) : entry_(entry), addition_(false) {}
  constexpr CaptionEntry(AdditionEntry entry) : entry_(entry), addition_(true) {}

  // In the loaded language, access-key marks included.
  QString Text() const;
  constexpr bool IsAddition() const { return addition_; }
  constexpr int Entry() const { return entry_; }

 private:
  int entry_;
  bool addition_;
};

// What the value of a placeholder is taken from while one entry's text is expanded.
class PlaceholderContext {
 public:
  PlaceholderContext(const FileEntry& entry, int datePlaceholderSource, bool noLeadingZeros)
      : entry_(entry), dateSource_(datePlaceholderSource), noLeadingZeros_(noLeadingZeros) {}

  const FileEntry& Entry() const { return entry_; }
  // The calendar parts of the chosen date, worked out once when a date part first asks.
  const CalendarParts& Date() const;
  // The calendar parts of the date taken, or of the modification date for a file without one.
  const CalendarParts& Taken() const;
  // A date part: zero-padded to `width` digits unless the settings say no leading zeros.
  QString DatePart(int value, int width) const;

 private:
  const FileEntry& entry_;
  int dateSource_;
  bool noLeadingZeros_;
  mutable std::optional<CalendarParts> date_;
  mutable std::optional<CalendarParts> taken_;
};

struct PlaceholderRow {
  QStringView Code;  // as expanded, in upper case: "%FN%"
  PlaceholderFamily Family = PlaceholderFamily::File;
  CaptionEntry Caption;
  // What the preview pop-up shows for it. Empty for the counter (it shows its own digits) and
  // for the path placeholders whose folder is this computer's.
  QStringView Sample;
  uint8_t StandsIn = 0;  // fields where it is a placeholder (and the preview shows it)
  uint8_t Listed = 0;    // fields whose placeholder list offers it
  PlaceholderExpansion Expansion = PlaceholderExpansion::Step;
  // File family: its value for an entry.
  QString (*Value)(const PlaceholderContext&) = nullptr;
  // Content family: the entry's accessors for the value read; null for a placeholder whose
  // value is kept in the entry's ContentValues, under the row's id.
  const QString& (FileEntry::*Field)() const = nullptr;
  void (FileEntry::*SetField)(QString) = nullptr;
  // Path family: the folder it stands for; null for "%PF%", each file's own.
  QString PathFolders::*Folder = nullptr;
  // Content family: the placeholder whose read value this one is made from (the six parts of
  // the date taken are one read); empty for one read on its own.
  QStringView ReadFrom;
  // Where the placeholder list shows it.
  PlaceholderGroup Group = PlaceholderGroup::None;

  bool IsExpanded() const {
    return Family == PlaceholderFamily::File || Family == PlaceholderFamily::Content;
  }
};

// The caption of a group of the placeholder list (None has none: an empty text).
QString PlaceholderGroupCaption(PlaceholderGroup group);

// The table. A row's id is its index; the preview's segment kinds are id + 1.
std::span<const PlaceholderRow> PlaceholderTable();
const PlaceholderRow& PlaceholderById(int id);
// The id of the placeholder written `code` (exactly, upper case); -1 for none. The counter's
// row answers only to "%001%".
int PlaceholderId(QStringView code);

// Case normalisation and expansion over a table: NormalizePlaceholderCase and
// ExpandFilePlaceholders (naming/Placeholders.h) with the placeholder table. Ids are indexes
// into `table`.
QString NormalizePlaceholders(const QString& text, std::span<const PlaceholderRow> table);
QString ExpandPlaceholders(const QString& text, const PlaceholderContext& context,
                           std::span<const PlaceholderRow> table);

// A set of placeholders by id, for what a task needs read from the files.
class PlaceholderSet {
 public:
  static constexpr int kCapacity = 64;

  void Add(int id) { bits_ |= Bit(id); }
  bool Has(int id) const { return (bits_ & Bit(id)) != 0; }
  bool Any() const { return bits_ != 0; }
  PlaceholderSet Without(const PlaceholderSet& other) const { return From(bits_ & ~other.bits_); }
  PlaceholderSet Within(const PlaceholderSet& other) const { return From(bits_ & other.bits_); }
  PlaceholderSet Or(const PlaceholderSet& other) const { return From(bits_ | other.bits_); }
  bool operator==(const PlaceholderSet&) const = default;

  // Calls `visit(id)` for each id, in rising order.
  template <typename Visit>
  void ForEach(Visit&& visit) const {
    for (uint64_t rest = bits_; rest != 0; rest &= rest - 1) visit(std::countr_zero(rest));
  }

 private:
  static uint64_t Bit(int id) { return id >= 0 && id < kCapacity ? uint64_t{1} << id : 0; }
  static PlaceholderSet From(uint64_t bits) {
    PlaceholderSet set;
    set.bits_ = bits;
    return set;
  }
  uint64_t bits_ = 0;
};

// The id of what must be read from the file for the content placeholder `id`: its own, or that
// of the placeholder it is made from.
int ReadIdOf(int id);

// The date taken as read into the entry (a local date value), kInvalidDate when the file has
// none or it was not read. The date the date-taken placeholders and the "date taken" source use:
// that, else the modification date.
int64_t DateTaken(const FileEntry& entry);
int64_t DateTakenOrModified(const FileEntry& entry);
// The id under which the date taken is read.
int DateTakenId();
// The date source that stands for the date taken, after last access, modified and created.
inline constexpr int kDateSourceTaken = 3;

// The value of a content placeholder as the entry holds it (empty when none was read), and
// setting it.
QString ContentValue(const FileEntry& entry, int id);
void SetContentValue(FileEntry& entry, int id, const QString& value);
