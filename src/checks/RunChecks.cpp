#include "checks/RunChecks.h"

#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"

namespace {

// Files changed in their own folder cannot be got back from a copy; files moved away leave their
// folder. Both deserve a second thought before the run.
bool ChangesInPlace(const Preset& s) {
  return s.TargetDirActive == 0;
}
bool MovesAway(const Preset& s) {
  return s.TargetDirActive == 1 && s.TargetMove == 1;
}

}  // namespace

QString ConsoleValidationMessage(int code) {
  switch (code) {
    case kSettingOutOfRange:
      return QStringLiteral("Invalid settings");
    case kSettingIncomplete:
      return QStringLiteral("Wrong settings");
    case kNothingToDo:
      return QStringLiteral("No task");
    case kFilterConditionInvalid:
      return QStringLiteral("Wrong filter conditions");
    case kReplaceRuleInvalid:
      return QStringLiteral("Wrong conditions at \"Correct filename\"");
    case kExtensionRuleInvalid:
      return QStringLiteral("Wrong conditions at \"Correct extension\"");
    default:
      return {};
  }
}

ConsoleCheckResult CheckBeforeConsoleRun(const FileList& files, const Preset& settings,
                                         const RunValues& runValues, bool ignoreWarnings) {
  ConsoleCheckResult result;
  if (files.Count() == 0) {
    result.Problems.append({true, QStringLiteral("No files"), false});
    return result;
  }
  const int code = ValidateSettings(settings, runValues, true);
  QString error = ConsoleValidationMessage(code);
  // A regular expression that does not compile is named with its rule, error and position.
  const QString explanation = ExplainFailure(code, settings, runValues);
  if (FailureIsExpression(code, settings)) error += QStringLiteral(": ") + explanation;
  if (!error.isEmpty()) {
    result.Problems.append({true, error, false});
    return result;
  }
  QString warning;
  if (ChangesInPlace(settings)) {
    warning = QStringLiteral("Replacing is disabled");
  } else if (MovesAway(settings)) {
    warning = QStringLiteral("Moving is disabled");
  }
  if (!warning.isEmpty()) {
    result.Problems.append({false, warning, ignoreWarnings});
    if (!ignoreWarnings) return result;
  }
  result.RunStarts = true;
  return result;
}

QString ConsoleProblemText(const CheckProblem& problem) {
  QString text;
  if (!problem.Ignored) text += u'\n';
  text += problem.IsError ? QStringLiteral("Error") : QStringLiteral("Warning");
  text += QStringLiteral(": ") + problem.Message;
  if (problem.Ignored) text += QStringLiteral(" - Ignored");
  text += QStringLiteral("\n\n");
  return text;
}

WindowCheckResult CheckBeforeWindowRun(bool busy, const FileList& files, const Preset& settings,
                                       const RunValues& runValues, bool ignoreWarnings) {
  WindowCheckResult result;
  if (busy) return result;
  result.Result = WindowCheckResult::Refused;
  if (files.Count() == 0) {
    result.Message = {kTextInformation, LanguageText(kTextListEmpty), MessageIcon::kInformation};
    return result;
  }
  const int code = ValidateSettings(settings, runValues, true);
  const QString explanation = ExplainFailure(code, settings, runValues);
  const QString colonBreak = QStringLiteral(": \n");
  switch (code) {
    case kSettingsUsable:
      break;
    case kSettingOutOfRange:
      result.Message = {kTextWarning, LanguageText(kTextOutOfRange), MessageIcon::kWarning};
      return result;
    case kSettingIncomplete:
      result.Message = {kTextWarning,
                        LanguageText(kTextCheckSettings) + QStringLiteral(": ") + explanation,
                        MessageIcon::kWarning};
      return result;
    case kNothingToDo:
      result.Message = {kTextInformation, LanguageText(kTextNothingToDo),
                        MessageIcon::kInformation};
      return result;
    case kFilterConditionInvalid:
      result.Message = {kTextWarning,
                        LanguageText(kTextInvalidFilterRule) + colonBreak + explanation,
                        MessageIcon::kWarning};
      return result;
    case kReplaceRuleInvalid:
    case kExtensionRuleInvalid: {
      const int page = code == kReplaceRuleInvalid ? kPageNameCase : kPageExtension;
      result.Message = {kTextWarning,
                        LanguageText(kTextCheckSettings) + QStringLiteral(", ") +
                            PageCaption(page) + colonBreak + explanation,
                        MessageIcon::kWarning};
      return result;
    }
    default:
      return result;
  }
  result.Result = WindowCheckResult::Start;
  if (ignoreWarnings) return result;
  if (ChangesInPlace(settings)) {
    result.Result = WindowCheckResult::Ask;
    result.Message = {kTextQuestion, LanguageText(kTextAskChangeInPlace), MessageIcon::kQuestion};
  } else if (MovesAway(settings)) {
    result.Result = WindowCheckResult::Ask;
    result.Message = {kTextQuestion, LanguageText(kTextAskMoveAway), MessageIcon::kQuestion};
  }
  return result;
}
