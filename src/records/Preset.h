#pragma once

#include <QList>
#include <QString>

#include <cstdint>

// One complete set of task settings. Fields are in their declared order, which is also the
// order of the presets file. Switches are bytes holding 0 or 1, small choices bytes holding an
// index. The four rule lists are value lists: copying a Preset copies every rule (deep copy).

// State bits of a rule's row.
inline constexpr int32_t kItemSelected = 1;
inline constexpr int32_t kItemChecked = 2;  // the rule is in force

// How a name replace rule or an extension rule reads its patterns (the rule's Expression).
enum RuleExpression : int8_t {
  kExpressionWildcards = 0,           // the "?", "#", "*" and "|" patterns, letter case ignored
  kExpressionRegex = 1,               // one regular expression, letter case ignored
  kExpressionRegexCaseSensitive = 2,  // one regular expression, letter case significant
};

struct FilterCondition {
  int32_t ItemState = 0;
  int8_t Kind = 0;      // what is tested, 0..14
  int8_t Operator = 0;  // comparison, 0..7; 8..11 regular expressions
  QString Values;       // value or "|"-separated list of values
  int8_t Mode = 1;      // 1 or 2

  bool IsActive() const { return (ItemState & kItemChecked) != 0; }
  bool operator==(const FilterCondition&) const = default;
};

struct DateAdjustment {
  int32_t ItemState = 0;
  int8_t Unit = 0;       // which date and unit, 0..17
  int8_t Operation = 0;  // 0..2
  int32_t Amount = 0;

  bool IsActive() const { return (ItemState & kItemChecked) != 0; }
  bool operator==(const DateAdjustment&) const = default;
};

struct TextReplacement {
  int32_t ItemState = 0;
  QString SearchList;  // "|"-separated texts to find, or one regular expression
  QString Replacement;
  int8_t Expression = kExpressionWildcards;

  bool IsRegex() const { return Expression != kExpressionWildcards; }

  bool IsActive() const { return (ItemState & kItemChecked) != 0; }
  bool operator==(const TextReplacement&) const = default;
};

struct ExtensionCorrection {
  int32_t ItemState = 0;
  QString FromList;  // "|"-separated extensions or patterns, or one regular expression
  QString ToExtension;
  int8_t Expression = kExpressionWildcards;

  bool IsRegex() const { return Expression != kExpressionWildcards; }

  bool IsActive() const { return (ItemState & kItemChecked) != 0; }
  bool operator==(const ExtensionCorrection&) const = default;
};

struct Preset {
  int8_t PresetNumber = 0;
  QString PresetName;  // the working preset's name comes from the language table
  int8_t SelectedPage = 0;
  int8_t TemplateButtons = 1;
  int8_t PatternButtons = 1;
  int8_t AlwaysOnTop = 0;
  int8_t IncludeSubdirectories = 1;
  int8_t IncludeHidden = 0;
  int8_t FilterDateSource = 1;       // 0 last access, 1 modified, 2 created, 3 date taken
  int8_t DatePlaceholderSource = 1;  // 0 last access, 1 modified, 2 created, 3 date taken
  int8_t ListKeepFiltered = 0;
  int8_t ListKeepSources = 0;
  int8_t ListKeepFailed = 1;
  int8_t ListKeepTargets = 0;
  int8_t ListKeepUnprocessed = 1;
  int8_t QuitAfterRun = 0;
  int8_t FilterActive = 0;
  QList<FilterCondition> FilterConditions;
  int8_t ChangeDates = 0;
  int8_t DateMode = 0;
  int32_t FixedDate = 0;
  int8_t DateCopySource = 1;  // 0 last access, 1 modified, 2 created, 3 date taken
  int8_t DateRulesActive = 0;
  QList<DateAdjustment> DateAdjustments;
  int8_t HiddenChange = 0;
  int8_t HiddenClear = 0;
  int8_t ReadOnlyChange = 0;
  int8_t ReadOnlyClear = 0;
  int8_t ArchiveChange = 0;
  int8_t ArchiveClear = 0;
  int8_t NotIndexedChange = 0;
  int8_t NotIndexedClear = 0;
  int8_t RemoveActive = 0;
  int8_t RemoveFromEnd = 0;
  int16_t RemovePosition = 1;
  int16_t RemoveCount = 1;
  int8_t InsertActive = 0;
  int8_t InsertFromEnd = 0;
  int16_t InsertPosition = 1;
  QString InsertText;
  int8_t CaseActive = 0;
  int8_t CaseMode = 2;  // 0 lower, 1 upper, 2 word capitals, 3 sentence, 4 swap, 5 random
  int8_t ReplaceActive = 0;
  QList<TextReplacement> TextReplacements;
  int8_t ExtCaseActive = 0;
  int8_t ExtCaseMode = 0;  // 0 lower, 1 upper
  int8_t ExtRulesActive = 0;
  QList<ExtensionCorrection> ExtensionCorrections;
  int8_t SortActive = 0;
  // 0 random, 1 name, 2 path, 3 size, 4 last access, 5 modified, 6 created, 7 date taken
  int8_t SortKey = 1;
  int8_t SortDirection = 1;  // 1 ascending, 0 descending
  int8_t RemoveZoneMark = 0;
  int8_t NameTemplateActive = 0;
  QString NameTemplate = QStringLiteral("(%001%) %FN%");
  int8_t CounterPerDirectory = 1;
  int8_t NoLeadingZeros = 0;
  int8_t TargetDirActive = 1;
  QString TargetDirTemplate = QStringLiteral("%PD%\\output\\");
  int8_t KeepSubfolders = 0;
  int8_t TargetMove = 0;
  // Letters of other scripts and accents spelt in plain ASCII after the name's replace rules.
  int8_t TransliterateToAscii = 0;
  // The new name keeps the normalisation form the rules left it in instead of the composed one.
  int8_t KeepNameForm = 0;

  bool operator==(const Preset&) const = default;

  // Copies every setting of `from` except its number and name (activating and storing a preset).
  void CopySettingsFrom(const Preset& from);
};

// The range check of a preset: 1 when every setting and every rule field lies in its range,
// else 0. A preset that fails it is never activated.
int ValidateRanges(const Preset& settings);

// The file's three date sources used by FilterDateSource, DatePlaceholderSource and
// DateCopySource; each also takes the date taken (3, kDateSourceTaken in naming/).
enum DateSource : int8_t { kDateLastAccess = 0, kDateModified = 1, kDateCreated = 2 };
