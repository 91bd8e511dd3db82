#pragma once

#include "records/Pages.h"
#include "records/Preset.h"

#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <variant>

// The fields of a preset and of its four kinds of rule, in one table each: what the presets
// file reads and writes, in this order, and what the range check accepts. A new field is one
// row here (and its member in Preset.h); the reader, the writer and ValidateRanges follow it.

// The layouts of the presets file, oldest first, each named after the version that wrote it
// first. A field absent from an older layout keeps the record's default when such a file is read.
enum class PresetLayout : int8_t {
  kVersion10 = 0,  // without the remove, insert and counter options
  kVersion20 = 1,
};
inline constexpr PresetLayout kCurrentLayout = PresetLayout::kVersion20;

// Introduces each preset block of the file. The rule kinds have markers of their own (below).
inline constexpr int32_t kPresetMarker = 0xFEED;

// What a field is, and so how wide it is in the file.
enum class FieldKind : int8_t {
  kByte,  // int8_t, one byte
  kWord,  // int16_t, 16 bits little-endian
  kLong,  // int32_t, 32 bits little-endian
  kText,  // QString, a line of UTF-8 ended by one line feed
  kList,  // a list of rules: per rule its marker and its fields, in the rule's own table
};

// The member a row stands for; its type is the field's kind. A rule record's table uses only
// the first four alternatives.
template <typename Record>
using FieldMember =
    std::variant<int8_t Record::*, int16_t Record::*, int32_t Record::*, QString Record::*,
                 QList<FilterCondition> Record::*, QList<DateAdjustment> Record::*,
                 QList<TextReplacement> Record::*, QList<ExtensionCorrection> Record::*>;

inline constexpr int64_t kNoLowerLimit = std::numeric_limits<int64_t>::min();
inline constexpr int64_t kNoUpperLimit = std::numeric_limits<int64_t>::max();

template <typename Record>
struct FieldRow {
  const char* Name;
  FieldMember<Record> Member;
  // The range check's bounds, both included; numbers only (texts and lists have none).
  int64_t Low = kNoLowerLimit;
  int64_t High = kNoUpperLimit;
  // The first layout that holds the field.
  PresetLayout Since = PresetLayout::kVersion10;
  // An optional field is stored only when it differs from the record's default, in a block of
  // named values after the record's other fields; a record without such a block, from any
  // layout, reads with the defaults. So a setting can be added without changing the bytes of
  // any file that does not use it.
  bool Optional = false;
  // A choice that has grown values beyond those of the layout (up to `LayoutHigh`): such a value
  // is written as `Fallback` in the field's place, which every reader of the layout takes, and
  // under the field's name in the optional block, which overrides it for this version.
  int64_t LayoutHigh = kNoUpperLimit;
  int64_t Fallback = 0;

  bool Extended() const { return LayoutHigh != kNoUpperLimit; }

  FieldKind Kind() const {
    const size_t index = Member.index();
    return index <= 3 ? static_cast<FieldKind>(index) : FieldKind::kList;
  }
};

// Shorthands for the table's rows.
template <typename Record, typename Value>
constexpr FieldRow<Record> Switch(const char* name, Value Record::*member,
                                  PresetLayout since = PresetLayout::kVersion10) {
  return {name, member, 0, 1, since};
}

// A field of the optional block (see FieldRow::Optional), with its range.
template <typename Record, typename Value>
constexpr FieldRow<Record> OptionalField(const char* name, Value Record::*member, int64_t low,
                                         int64_t high) {
  return {name, member, low, high, PresetLayout::kVersion20, true};
}

// A choice with values beyond the layout's `layoutHigh` (see FieldRow::LayoutHigh).
template <typename Record, typename Value>
constexpr FieldRow<Record> ExtendedChoice(const char* name, Value Record::*member, int64_t low,
                                          int64_t high, int64_t layoutHigh, int64_t fallback) {
  return {name, member, low, high, PresetLayout::kVersion10, false, layoutHigh, fallback};
}

// Introduces a record's block of optional fields: per field its name and its value, each as a
// text line (numbers in decimal), ended by an empty name. Its first byte is never a switch's 0
// or 1 and it differs from every marker, so a reader tells it from what follows a record.
inline constexpr int32_t kOptionalFieldsMarker = 0x0AD0;

// The table of each rule kind, with the marker that introduces each of its rules in the file.
template <typename Rule>
struct RuleFields;

template <>
struct RuleFields<FilterCondition> {
  static constexpr int32_t Marker = 0xCAFE;
  static constexpr auto Rows = std::to_array<FieldRow<FilterCondition>>({
      {"ItemState", &FilterCondition::ItemState},
      {"Kind", &FilterCondition::Kind, 0, 14},
      {"Operator", &FilterCondition::Operator, 0, 11},
      {"Values", &FilterCondition::Values},
      {"Mode", &FilterCondition::Mode, 1, 2},
  });
};

template <>
struct RuleFields<DateAdjustment> {
  static constexpr int32_t Marker = 0xBABE;
  static constexpr auto Rows = std::to_array<FieldRow<DateAdjustment>>({
      {"ItemState", &DateAdjustment::ItemState},
      {"Unit", &DateAdjustment::Unit, 0, 17},
      {"Operation", &DateAdjustment::Operation, 0, 2},
      {"Amount", &DateAdjustment::Amount},
  });
};

template <>
struct RuleFields<TextReplacement> {
  static constexpr int32_t Marker = 0xF00D;
  static constexpr auto Rows = std::to_array<FieldRow<TextReplacement>>({
      {"ItemState", &TextReplacement::ItemState},
      {"SearchList", &TextReplacement::SearchList},
      {"Replacement", &TextReplacement::Replacement},
      OptionalField("Expression", &TextReplacement::Expression, 0, 2),
  });
};

template <>
struct RuleFields<ExtensionCorrection> {
  static constexpr int32_t Marker = 0xBEEF;
  static constexpr auto Rows = std::to_array<FieldRow<ExtensionCorrection>>({
      {"ItemState", &ExtensionCorrection::ItemState},
      {"FromList", &ExtensionCorrection::FromList},
      {"ToExtension", &ExtensionCorrection::ToExtension},
      OptionalField("Expression", &ExtensionCorrection::Expression, 0, 2),
  });
};

// The preset's fields in file order. The working preset's number 0 is never in a file, but the
// row is the same for every preset.
inline constexpr PresetLayout kSince20 = PresetLayout::kVersion20;
inline constexpr auto kPresetFields = std::to_array<FieldRow<Preset>>({
    {"PresetNumber", &Preset::PresetNumber, 0, 127},
    {"PresetName", &Preset::PresetName},
    {"SelectedPage", &Preset::SelectedPage, 0, kPageCount - 1},
    Switch("TemplateButtons", &Preset::TemplateButtons),
    Switch("PatternButtons", &Preset::PatternButtons),
    Switch("AlwaysOnTop", &Preset::AlwaysOnTop),
    Switch("IncludeSubdirectories", &Preset::IncludeSubdirectories),
    Switch("IncludeHidden", &Preset::IncludeHidden),
    // The date taken (3) is stored as the modification date it falls back to, and in the block.
    ExtendedChoice("FilterDateSource", &Preset::FilterDateSource, 0, 3, 2, kDateModified),
    ExtendedChoice("DatePlaceholderSource", &Preset::DatePlaceholderSource, 0, 3, 2, kDateModified),
    Switch("ListKeepFiltered", &Preset::ListKeepFiltered),
    Switch("ListKeepSources", &Preset::ListKeepSources),
    Switch("ListKeepFailed", &Preset::ListKeepFailed),
    Switch("ListKeepTargets", &Preset::ListKeepTargets),
    Switch("ListKeepUnprocessed", &Preset::ListKeepUnprocessed),
    Switch("QuitAfterRun", &Preset::QuitAfterRun),
    Switch("FilterActive", &Preset::FilterActive),
    {"FilterConditions", &Preset::FilterConditions},
    Switch("ChangeDates", &Preset::ChangeDates),
    {"DateMode", &Preset::DateMode, 0, 2},
    {"FixedDate", &Preset::FixedDate, 0, kNoUpperLimit},
    ExtendedChoice("DateCopySource", &Preset::DateCopySource, 0, 3, 2, kDateModified),
    Switch("DateRulesActive", &Preset::DateRulesActive),
    {"DateAdjustments", &Preset::DateAdjustments},
    Switch("HiddenChange", &Preset::HiddenChange),
    Switch("HiddenClear", &Preset::HiddenClear),
    Switch("ReadOnlyChange", &Preset::ReadOnlyChange),
    Switch("ReadOnlyClear", &Preset::ReadOnlyClear),
    Switch("ArchiveChange", &Preset::ArchiveChange),
    Switch("ArchiveClear", &Preset::ArchiveClear),
    Switch("NotIndexedChange", &Preset::NotIndexedChange),
    Switch("NotIndexedClear", &Preset::NotIndexedClear),
    Switch("RemoveActive", &Preset::RemoveActive, kSince20),
    Switch("RemoveFromEnd", &Preset::RemoveFromEnd, kSince20),
    {"RemovePosition", &Preset::RemovePosition, 1, 999, kSince20},
    {"RemoveCount", &Preset::RemoveCount, 1, 999, kSince20},
    Switch("InsertActive", &Preset::InsertActive, kSince20),
    Switch("InsertFromEnd", &Preset::InsertFromEnd, kSince20),
    {"InsertPosition", &Preset::InsertPosition, 1, 999, kSince20},
    {"InsertText", &Preset::InsertText, kNoLowerLimit, kNoUpperLimit, kSince20},
    Switch("CaseActive", &Preset::CaseActive),
    {"CaseMode", &Preset::CaseMode, 0, 5},
    Switch("ReplaceActive", &Preset::ReplaceActive),
    {"TextReplacements", &Preset::TextReplacements},
    Switch("ExtCaseActive", &Preset::ExtCaseActive),
    Switch("ExtCaseMode", &Preset::ExtCaseMode),
    Switch("ExtRulesActive", &Preset::ExtRulesActive),
    {"ExtensionCorrections", &Preset::ExtensionCorrections},
    Switch("SortActive", &Preset::SortActive),
    // The date taken (7) is stored as the modification date (5) and in the block.
    ExtendedChoice("SortKey", &Preset::SortKey, 0, 7, 6, 5),
    Switch("SortDirection", &Preset::SortDirection),
    Switch("RemoveZoneMark", &Preset::RemoveZoneMark),
    Switch("NameTemplateActive", &Preset::NameTemplateActive),
    {"NameTemplate", &Preset::NameTemplate},
    Switch("CounterPerDirectory", &Preset::CounterPerDirectory, kSince20),
    Switch("NoLeadingZeros", &Preset::NoLeadingZeros, kSince20),
    Switch("TargetDirActive", &Preset::TargetDirActive),
    {"TargetDirTemplate", &Preset::TargetDirTemplate},
    Switch("KeepSubfolders", &Preset::KeepSubfolders),
    Switch("TargetMove", &Preset::TargetMove),
    OptionalField("TransliterateToAscii", &Preset::TransliterateToAscii, 0, 1),
    OptionalField("KeepNameForm", &Preset::KeepNameForm, 0, 1),
});

// The table of a record type: the preset's or a rule kind's.
template <typename Record>
constexpr const auto& FieldsOf() {
  if constexpr (std::is_same_v<Record, Preset>)
    return kPresetFields;
  else
    return RuleFields<Record>::Rows;
}

// Calls `visit(row, value)` for every row of the record's table, with a reference to the
// record's member: int8_t, int16_t, int32_t, QString or a QList of rules. `record` may be const.
template <typename Record, typename Visit>
void ForEachField(Record& record, Visit&& visit) {
  using Plain = std::remove_const_t<Record>;
  for (const FieldRow<Plain>& row : FieldsOf<Plain>()) {
    std::visit(
        [&](auto member) {
          // No record holds a member larger than itself; leaving such alternatives out keeps
          // GCC 12 from warning about their dead branches at -O3 (-Warray-bounds).
          if constexpr (sizeof(std::remove_reference_t<decltype(record.*member)>) <= sizeof(Plain))
            visit(row, record.*member);
        },
        row.Member);
  }
}
