#pragma once

#include "naming/RuleRegex.h"
#include "naming/Transliteration.h"
#include "records/Preset.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The replace rules and extension rules of a task, prepared once for many names: wildcard rules
// as they are, regular expressions compiled and their replacements split into pieces, and the
// transliteration's rules built when it is on.

// What is wrong with a rule's regular expression or its replacement; nothing for a wildcard
// rule. The checks before a run refuse a rule with a problem.
RegexProblem ReplaceRuleProblem(const TextReplacement& rule);
RegexProblem ExtensionRuleProblem(const ExtensionCorrection& rule);

// The problem as one line: the message and the 1-based character position.
QString RegexProblemText(const RegexProblem& problem);

class NameRules {
 public:
  // Expands the placeholders of a regular expression's replacement for the current file; the
  // replacement is used as written without it.
  using Expander = std::function<QString(const QString&)>;

  NameRules() = default;
  NameRules(const QList<TextReplacement>& replacements,
            const QList<ExtensionCorrection>& extensionRules, bool transliterate);

  struct Result {
    QString Text;
    int GaveUpRule = -1;  // the index of the rule whose expression gave up; -1 when none did
    bool GaveUp() const { return GaveUpRule >= 0; }
  };

  // Every active replace rule in list order: a wildcard rule through ReplaceAll (letter case
  // ignored), a regular expression on every match. A regular expression's replacement has its
  // placeholders expanded by `expand` before the groups are filled in, and a group's "%" is kept
  // as kDataPercent so that the templates do not expand it. An expression that gives up stops
  // the rules: the result then holds the name as it was.
  Result ApplyReplacements(const QString& name, const Expander& expand = {}) const;

  // Every active extension rule against the whole current extension; a matching rule gives the
  // new extension (a regular expression's with its groups filled in).
  Result ApplyExtensionCorrections(const QString& extension) const;

  // The text in plain ASCII when the task transliterates, else unchanged.
  QString Transliterate(const QString& text) const;
  bool Transliterates() const { return transliterator_ != nullptr; }

 private:
  struct Prepared {
    bool Active = false;
    bool Regex = false;
    QString Patterns;
    QString Replacement;
    RuleRegex Expression;
    std::vector<ReplacementPiece> Pieces;
  };
  static Prepared Prepare(bool active, int8_t expression, const QString& patterns,
                          const QString& replacement, RuleRegex::Scope scope);

  std::vector<Prepared> replacements_;
  std::vector<Prepared> extensionRules_;
  std::shared_ptr<const AsciiTransliterator> transliterator_;
};
