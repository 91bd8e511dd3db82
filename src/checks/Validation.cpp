#include "checks/Validation.h"

#include "checks/FilterConditionCheck.h"
#include "filelist/Prepare.h"
#include "naming/NameRules.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"

#include <initializer_list>

namespace {

constexpr QChar kQuote = u'"';
const QString kArrow = QStringLiteral(" -> ");
const QString kFileNamePlaceholder = QStringLiteral("%FN%");

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

QString Quoted(const QString& text) {
  return kQuote + text + kQuote;
}

QString QuotedCaption(int page) {
  return Quoted(PageCaption(page));
}

// The quoted text, or a quoted "-" standing for an empty one.
QString QuotedOrDash(const QString& text) {
  return Quoted(text.isEmpty() ? QStringLiteral("-") : text);
}

// "  (n)" after the explanation of a rule, when the list holds more than one.
QString PositionSuffix(qsizetype index, qsizetype count) {
  return count > 1 ? QStringLiteral("  (%1)").arg(index + 1) : QString();
}

bool AnyActive(const auto& rules) {
  for (const auto& rule : rules) {
    if (rule.IsActive()) return true;
  }
  return false;
}

bool ReplaceRuleValid(const TextReplacement& rule) {
  // The space lets an empty replacement through (it removes what it finds) while still
  // refusing one made of forbidden characters.
  return !rule.SearchList.isEmpty() && FileNameTextValid(rule.Replacement + u' ') &&
         !ReplaceRuleProblem(rule).Found();
}

QString WithoutSpaces(QString text) {
  text.remove(u' ');
  return text;
}

bool ExtensionRuleValid(const ExtensionCorrection& rule) {
  return !rule.FromList.isEmpty() && FileNameTextValid(WithoutSpaces(rule.ToExtension)) &&
         !ExtensionRuleProblem(rule).Found();
}

// What is wrong with a rule's regular expression, after the rule's own explanation.
QString WithProblem(const QString& explanation, const RegexProblem& problem) {
  if (!problem.Found()) return explanation;
  return explanation + QStringLiteral(": ") + RegexProblemText(problem);
}

template <typename Rule, typename Valid>
qsizetype FirstInvalid(const QList<Rule>& rules, Valid valid) {
  for (qsizetype i = 0; i < rules.size(); ++i) {
    if (!valid(rules[i])) return i;
  }
  return -1;
}

}  // namespace

int FailingRequirement(const Preset& s, const RunValues& v) {
  const QString& name = v.PreparedNameTemplate;
  if (s.FilterActive == 1 && !AnyActive(s.FilterConditions)) return kRequireFilterCondition;
  if (s.DateRulesActive == 1 && !AnyActive(s.DateAdjustments)) return kRequireDateRule;
  if (s.InsertActive == 1 && !FileNameTextValid(s.InsertText)) return kRequireInsertText;
  if (s.ReplaceActive == 1 && !AnyActive(s.TextReplacements)) return kRequireReplaceRule;
  if (s.ExtRulesActive == 1 && !AnyActive(s.ExtensionCorrections)) return kRequireExtensionRule;
  if (v.NameBuildingActive) {
    if (!FileNameTextValid(name)) return kRequireNameTemplate;
    // Removing, inserting, case and replacing work on the text "%FN%" stands for; without it
    // they would have nothing to change.
    const bool transformsName =
        s.RemoveActive == 1 || s.InsertActive == 1 || s.CaseActive == 1 || s.ReplaceActive == 1;
    if (transformsName && !name.contains(kFileNamePlaceholder)) return kRequireNamePlaceholder;
    if (CounterStart(name) != -1 && !CounterValid(name)) return kRequireValidCounter;
  }
  if (s.TargetDirActive == 1) {
    if (!v.TargetRelativeToSource && !CheckDirectoryPath(v.PreparedTargetDir, false))
      return kRequireTargetFolder;
    // Each file's own folder as the target would put every copy onto its source.
    if (v.TargetRelativeToSource && v.PreparedTargetDir == u"/" && s.KeepSubfolders == 0) {
      return kRequireSubfolders;
    }
  }
  return kRequirementsMet;
}

int ValidateSettings(const Preset& s, const RunValues& v, bool full) {
  if (ValidateRanges(s) != kSettingsUsable) return kSettingOutOfRange;
  if (!full) return kSettingsUsable;
  if (FailingRequirement(s, v) != 0) return kSettingIncomplete;
  const bool anythingToDo = s.ChangeDates == 1 || s.DateRulesActive == 1 || v.AttributesNeeded ||
                            s.ExtCaseActive == 1 || s.ExtRulesActive == 1 ||
                            s.RemoveZoneMark == 1 || v.NameBuildingActive || s.TargetDirActive == 1;
  if (!anythingToDo) return kNothingToDo;
  if (s.FilterActive == 1 && FirstInvalid(s.FilterConditions, ConditionIsValid) != -1) {
    return kFilterConditionInvalid;
  }
  if (s.ReplaceActive == 1 && FirstInvalid(s.TextReplacements, ReplaceRuleValid) != -1) {
    return kReplaceRuleInvalid;
  }
  if (s.ExtRulesActive == 1 && FirstInvalid(s.ExtensionCorrections, ExtensionRuleValid) != -1) {
    return kExtensionRuleInvalid;
  }
  return kSettingsUsable;
}

bool FailureIsExpression(int code, const Preset& s) {
  if (code == kFilterConditionInvalid) {
    const qsizetype i = FirstInvalid(s.FilterConditions, ConditionIsValid);
    return i >= 0 && ConditionRegexProblem(s.FilterConditions[i]).Found();
  }
  if (code == kReplaceRuleInvalid) {
    const qsizetype i = FirstInvalid(s.TextReplacements, ReplaceRuleValid);
    return i >= 0 && ReplaceRuleProblem(s.TextReplacements[i]).Found();
  }
  if (code == kExtensionRuleInvalid) {
    const qsizetype i = FirstInvalid(s.ExtensionCorrections, ExtensionRuleValid);
    return i >= 0 && ExtensionRuleProblem(s.ExtensionCorrections[i]).Found();
  }
  return false;
}

QString ExplainFailure(int code, const Preset& s, const RunValues& v) {
  const QString x = Quoted(QStringLiteral("x"));
  if (code == kSettingIncomplete) {
    const QString& name = v.PreparedNameTemplate;
    switch (FailingRequirement(s, v)) {
      case kRequireFilterCondition:
        return QuotedCaption(kPageFilter) + kArrow + x;
      case kRequireDateRule:
        return QuotedCaption(kPageDateRules) + kArrow + x;
      case kRequireInsertText:
        return QuotedCaption(kPageCutInsert) + kArrow + QuotedOrDash(s.InsertText);
      case kRequireReplaceRule:
        return QuotedCaption(kPageNameCase) + kArrow + x;
      case kRequireExtensionRule:
        return QuotedCaption(kPageExtension) + kArrow + x;
      case kRequireNameTemplate:
        return QuotedCaption(kPageNewName) + kArrow + QuotedOrDash(name);
      case kRequireNamePlaceholder:
        return QuotedCaption(kPageNewName) + kArrow + Quoted(name) + kArrow +
               Quoted(kFileNamePlaceholder);
      case kRequireValidCounter:
        return QuotedCaption(kPageNewName) + kArrow +
               Quoted(ZeroPad(CounterStart(name), CounterWidth(name)));
      case kRequireTargetFolder:
        return QuotedCaption(kPageTarget) + kArrow + QuotedOrDash(v.PreparedTargetDir);
      case kRequireSubfolders:
        return QuotedCaption(kPageTarget) + kArrow + Quoted(v.PreparedTargetDir);
      default:
        return {};
    }
  }
  if (code == kFilterConditionInvalid) {
    const QList<FilterCondition>& list = s.FilterConditions;
    const qsizetype i = FirstInvalid(list, ConditionIsValid);
    if (i < 0) return {};
    return WithProblem(kQuote + ConditionKindCaption(list[i].Kind) + kArrow + list[i].Values +
                           kQuote + PositionSuffix(i, list.size()),
                       ConditionRegexProblem(list[i]));
  }
  if (code == kReplaceRuleInvalid) {
    const QList<TextReplacement>& list = s.TextReplacements;
    const qsizetype i = FirstInvalid(list, ReplaceRuleValid);
    if (i < 0) return {};
    const RegexProblem problem = ReplaceRuleProblem(list[i]);
    // A problem of the replacement (a group the expression lacks) names the replacement.
    const bool inSearch = list[i].SearchList.isEmpty() ||
                          (problem.Found() && !RuleRegex(list[i].SearchList, false,
                                                         RuleRegex::Scope::kAnywhere)
                                                   .IsValid());
    const QString item =
        inSearch ? LanguageText(kTextNameFind) + kArrow + Quoted(list[i].SearchList)
                 : LanguageText(kTextNameReplaceWith) + kArrow + Quoted(list[i].Replacement);
    return WithProblem(item + PositionSuffix(i, list.size()), problem);
  }
  if (code == kExtensionRuleInvalid) {
    const QList<ExtensionCorrection>& list = s.ExtensionCorrections;
    const qsizetype i = FirstInvalid(list, ExtensionRuleValid);
    if (i < 0) return {};
    const RegexProblem problem = ExtensionRuleProblem(list[i]);
    const bool inSearch =
        list[i].FromList.isEmpty() ||
        (problem.Found() &&
         !RuleRegex(list[i].FromList, false, RuleRegex::Scope::kWhole).IsValid());
    const QString item =
        inSearch ? LanguageText(kTextExtensionOldExtensions) + kArrow + Quoted(list[i].FromList)
                 : LanguageText(kTextExtensionNewExtension) + kArrow + Quoted(list[i].ToExtension);
    return WithProblem(item + PositionSuffix(i, list.size()), problem);
  }
  return {};
}

bool FileNameTextValid(const QString& text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text) {
    if (c.unicode() < 32) return false;
    switch (c.unicode()) {
      case u'"':
      case u'\\':
      case u'/':
      case u':':
      case u'*':
      case u'?':
      case u'<':
      case u'>':
      case u'|':
        return false;
      default:
        break;
    }
  }
  return true;
}

bool CounterValid(const QString& templateText) {
  if (templateText.isEmpty()) return false;
  const int32_t start = CounterStart(templateText);
  const int32_t width = CounterWidth(templateText);
  return InRange(start, 0, 999'999'999) && InRange(width, 0, 9);
}
