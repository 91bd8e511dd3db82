#include "naming/NameRules.h"

#include "naming/Pattern.h"
#include "texts/AdditionEntries.h"
#include "texts/TextTables.h"

namespace {

bool CaseSensitive(int8_t expression) {
  return expression == kExpressionRegexCaseSensitive;
}

RegexProblem RuleProblem(int8_t expression, const QString& patterns, const QString& replacement,
                         RuleRegex::Scope scope) {
  if (expression == kExpressionWildcards) return {};
  const RuleRegex regex(patterns, CaseSensitive(expression), scope);
  if (!regex.IsValid()) return regex.Problem();
  std::vector<ReplacementPiece> pieces;
  return regex.ParseReplacement(replacement, pieces);
}

}  // namespace

RegexProblem ReplaceRuleProblem(const TextReplacement& rule) {
  return RuleProblem(rule.Expression, rule.SearchList, rule.Replacement,
                     RuleRegex::Scope::kAnywhere);
}

RegexProblem ExtensionRuleProblem(const ExtensionCorrection& rule) {
  return RuleProblem(rule.Expression, rule.FromList, rule.ToExtension, RuleRegex::Scope::kWhole);
}

QString RegexProblemText(const RegexProblem& problem) {
  if (problem.Offset < 0) return problem.Message;
  return AdditionText(kAddRegexProblemAt).arg(problem.Message).arg(problem.Offset + 1);
}

NameRules::Prepared NameRules::Prepare(bool active, int8_t expression, const QString& patterns,
                                       const QString& replacement, RuleRegex::Scope scope) {
  Prepared rule;
  rule.Active = active;
  rule.Regex = expression != kExpressionWildcards;
  rule.Patterns = patterns;
  rule.Replacement = replacement;
  if (rule.Active && rule.Regex) {
    rule.Expression = RuleRegex(patterns, CaseSensitive(expression), scope);
    // A rule the checks would refuse takes no part (a preview may show a rule being typed).
    if (!rule.Expression.IsValid() ||
        rule.Expression.ParseReplacement(replacement, rule.Pieces).Found())
      rule.Active = false;
  }
  return rule;
}

NameRules::NameRules(const QList<TextReplacement>& replacements,
                     const QList<ExtensionCorrection>& extensionRules, bool transliterate) {
  replacements_.reserve(static_cast<size_t>(replacements.size()));
  for (const TextReplacement& rule : replacements)
    replacements_.push_back(Prepare(rule.IsActive(), rule.Expression, rule.SearchList,
                                    rule.Replacement, RuleRegex::Scope::kAnywhere));
  extensionRules_.reserve(static_cast<size_t>(extensionRules.size()));
  for (const ExtensionCorrection& rule : extensionRules)
    extensionRules_.push_back(Prepare(rule.IsActive(), rule.Expression, rule.FromList,
                                      rule.ToExtension, RuleRegex::Scope::kWhole));
  if (transliterate) transliterator_ = std::make_shared<const AsciiTransliterator>();
}

NameRules::Result NameRules::ApplyReplacements(const QString& name, const Expander& expand) const {
  Result result{name, -1};
  QString text = name;
  // A name that holds the marker itself keeps its "%" of groups as they are.
  const bool protect = !name.contains(kDataPercent);
  for (size_t i = 0; i < replacements_.size(); ++i) {
    const Prepared& rule = replacements_[i];
    if (!rule.Active) continue;
    if (!rule.Regex) {
      text = ReplaceAll(text, rule.Patterns, rule.Replacement, false);
      continue;
    }
    std::vector<ReplacementPiece> pieces = rule.Pieces;
    if (expand)
      for (ReplacementPiece& piece : pieces)
        if (piece.Group < 0) piece.Literal = expand(piece.Literal);
    const RuleRegex::Replaced replaced = rule.Expression.Replace(text, pieces, protect);
    if (replaced.Outcome == RegexOutcome::kGaveUp) {
      result.GaveUpRule = static_cast<int>(i);
      return result;
    }
    text = replaced.Text;
  }
  result.Text = text;
  return result;
}

NameRules::Result NameRules::ApplyExtensionCorrections(const QString& extension) const {
  Result result{extension, -1};
  QString current = extension;
  for (size_t i = 0; i < extensionRules_.size(); ++i) {
    const Prepared& rule = extensionRules_[i];
    if (!rule.Active) continue;
    if (!rule.Regex) {
      if (MatchWholeList(current, rule.Patterns, false)) current = rule.Replacement;
      continue;
    }
    const RuleRegex::Replaced replaced = rule.Expression.Replace(current, rule.Pieces, false);
    if (replaced.Outcome == RegexOutcome::kGaveUp) {
      result.GaveUpRule = static_cast<int>(i);
      return result;
    }
    current = replaced.Text;
  }
  result.Text = current;
  return result;
}

QString NameRules::Transliterate(const QString& text) const {
  return transliterator_ != nullptr ? transliterator_->Apply(text) : text;
}
