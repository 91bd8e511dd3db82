#pragma once

#include "naming/Placeholders.h"
#include "settings/Preset.h"

#include <QString>

#include <cstdint>

// The values a whole run needs, derived from the settings once before the run starts, so that
// the checks, the preparation and the batch all see the same prepared templates.
struct RunValues {
  // With the fixed-date mode on: the preset's date, or the date the date field showed when the
  // preset holds none; otherwise 0.
  int32_t ResolvedFixedDate = 0;
  bool AttributesNeeded = false;  // any of the four attribute changes is on
  // Any step that builds a new name is on: template, removing, inserting, case, replacing.
  bool NameBuildingActive = false;
  // With name building: the template with its placeholders in upper case, or "%FN%" when only
  // the other steps are on; otherwise empty.
  QString PreparedNameTemplate;
  // With a target directory: its template with the path placeholder resolved, "/"-separated,
  // ending with "/"; otherwise empty.
  QString PreparedTargetDir;
  // The target directory opens with "%PF%": it lies below each file's own folder.
  bool TargetRelativeToSource = false;
  // The list must be filtered or sorted before the batch.
  bool PreparationNeeded = false;
};

// Derives the run values. `fileCount` is the number of loaded entries (sorting one entry is
// pointless); `dateFieldValue` is the date shown by the date field, used when the fixed-date
// mode is on but the preset holds no date.
RunValues PrepareRunValues(const Preset& settings, qsizetype fileCount, const PathFolders& folders,
                           int64_t dateFieldValue);

// Results of ValidateSettings.
inline constexpr int kSettingsUsable = 1;
inline constexpr int kSettingOutOfRange = 0;
inline constexpr int kSettingIncomplete = -1;  // an option is on but lacks what it needs
inline constexpr int kNothingToDo = -2;
inline constexpr int kFilterConditionInvalid = -3;
inline constexpr int kReplaceRuleInvalid = -4;
inline constexpr int kExtensionRuleInvalid = -5;

// The range part and, with `full`, the requirement checks, the check that anything would be
// done at all, and the rule checks, in that order; the first failure decides. Every rule of a
// switched-on list is examined, in force or not.
int ValidateSettings(const Preset& settings, const RunValues& runValues, bool full);

// A sentence naming the first failing item for the results -1, -3, -4 and -5 (empty for the
// others), built from the page captions and the language table.
QString ExplainFailure(int code, const Preset& settings, const RunValues& runValues);

// The number of the requirement check (1..10, in check order) that fails first, 0 when all pass.
// The window uses it to show the page concerned.
int FailingRequirement(const Preset& settings, const RunValues& runValues);

// A text usable as part of a file name on every system the files may reach (Windows, SMB
// shares, FAT media): not empty, no control character and none of  " \ / : * ? < > |
bool FileNameTextValid(const QString& text);

// A name template's counter can be numbered: start 0..999,999,999 and at most 9 digits. An empty
// template is invalid.
bool CounterValid(const QString& templateText);

// The language-table entry of an option page's caption, -1 for a number that names no page.
int PageCaptionEntry(int page);
// The caption itself, empty for a number that names no page.
QString PageCaption(int page);
