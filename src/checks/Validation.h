#pragma once

#include "fileops/RunValues.h"
#include "records/Pages.h"
#include "records/Preset.h"

#include <QString>

#include <cstdint>

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

// Whether the failure -3, -4 or -5 is a regular expression (or its replacement) that is wrong:
// ExplainFailure then names the error and its position.
bool FailureIsExpression(int code, const Preset& settings);

// The requirement checks, numbered in check order.
enum Requirement : int {
  kRequirementsMet = 0,
  kRequireFilterCondition = 1,  // filtering is on: a condition in force
  kRequireDateRule = 2,         // date rules are on: a rule in force
  kRequireInsertText = 3,       // inserting is on: a valid text
  kRequireReplaceRule = 4,      // replacing is on: a rule in force
  kRequireExtensionRule = 5,    // extension rules are on: a rule in force
  kRequireNameTemplate = 6,     // a new name: a valid template
  kRequireNamePlaceholder = 7,  // name transformations: "%FN%" in the template
  kRequireValidCounter = 8,     // a counter in the template: a valid one
  kRequireTargetFolder = 9,     // a target folder: a valid folder path
  kRequireSubfolders = 10,      // "%PF%" alone: subfolders kept
};

// The requirement check that fails first (a Requirement), kRequirementsMet when all pass.
// The window uses it to show the page concerned.
int FailingRequirement(const Preset& settings, const RunValues& runValues);

// A text usable as part of a file name on every system the files may reach (Windows, SMB
// shares, FAT media): not empty, no control character and none of  " \ / : * ? < > |
bool FileNameTextValid(const QString& text);

// A name template's counter can be numbered: start 0..999,999,999 and at most 9 digits. An empty
// template is invalid.
bool CounterValid(const QString& templateText);
