#pragma once

#include <QRegularExpression>
#include <QString>

#include <vector>

// Regular expressions of name replace rules, extension rules and filter conditions: Qt's
// PCRE2 with Unicode properties, letter case ignored unless asked for. Every search runs under a
// step limit, so a hostile expression on a long name gives up instead of holding the run, and a
// search that gave up is told apart from one that found nothing.

// The most backtracking steps one search may take. Names are short (255 bytes), and a search
// that needs more is a runaway: one hostile search stops within milliseconds.
inline constexpr int kRegexMatchLimit = 1'000'000;

enum class RegexOutcome { kNoMatch, kMatched, kGaveUp };

// What is wrong with an expression or a replacement: the library's message and the 0-based
// position in the text the user wrote (-1 when no position applies).
struct RegexProblem {
  QString Message;
  qsizetype Offset = -1;
  bool Found() const { return !Message.isEmpty(); }
};

// One piece of a parsed replacement: literal text, or the text of a group.
struct ReplacementPiece {
  QString Literal;
  int Group = -1;  // -1: the piece is Literal
};

// The text that stands in for a "%" of a group's text until the templates are expanded, so
// that a group's text is never read as a placeholder: a Unicode noncharacter, which file names
// do not carry. RestoreDataPercent turns it back.
inline constexpr QChar kDataPercent = QChar(0xFDD0);
QString RestoreDataPercent(const QString& text);

class RuleRegex {
 public:
  enum class Scope {
    kAnywhere,  // every match within the text
    kWhole,     // the whole text must match
  };

  RuleRegex() = default;
  RuleRegex(const QString& pattern, bool caseSensitive, Scope scope);

  bool IsValid() const { return !problem_.Found(); }
  const RegexProblem& Problem() const { return problem_; }
  int GroupCount() const { return groupCount_; }

  // Whether the expression matches (anywhere or the whole text, as the scope says).
  RegexOutcome Match(const QString& text) const;

  // Splits a replacement into literal text and group references: "$0".."$99" (two digits when
  // the expression has that many groups, else one), "${name}" or "${12}", and "$$" for a "$".
  // A "$" before anything else stands for itself. A group the expression does not have is a
  // problem.
  RegexProblem ParseReplacement(const QString& replacement,
                                std::vector<ReplacementPiece>& pieces) const;

  // Every match replaced by the pieces, the groups filled in as data (their "%" protected as
  // kDataPercent when `protectPercent`). An empty match puts the replacement between
  // characters, as Perl does. With the scope kWhole the whole text is replaced, or nothing.
  struct Replaced {
    QString Text;
    RegexOutcome Outcome = RegexOutcome::kNoMatch;  // kMatched when something was replaced
  };
  Replaced Replace(const QString& text, const std::vector<ReplacementPiece>& pieces,
                   bool protectPercent) const;

 private:
  // One search from `offset`: kMatched with the match, kNoMatch, or kGaveUp.
  RegexOutcome Search(const QString& text, qsizetype offset, QRegularExpressionMatch& match) const;

  QRegularExpression user_;     // the expression as written, for its groups
  QRegularExpression guarded_;  // the same under the step limit, with the end marker
  int groupCount_ = 0;
  RegexProblem problem_{QStringLiteral("no expression"), -1};
};
