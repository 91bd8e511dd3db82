#include "naming/RuleRegex.h"

#include "texts/AdditionEntries.h"
#include "texts/TextTables.h"

namespace {

// The options PCRE2 takes only at the very start of an expression, such as "(*UCP)" or a
// limit of the user's own: they stay in front when the expression is wrapped.
qsizetype LeadingOptionsLength(const QString& pattern) {
  qsizetype at = 0;
  while (pattern.mid(at, 2) == QLatin1String("(*")) {
    const qsizetype close = pattern.indexOf(QLatin1Char(')'), at);
    if (close < 0) break;
    const QStringView name = QStringView(pattern).mid(at + 2, close - at - 2);
    bool option = !name.isEmpty();
    for (const QChar c : name)
      if (!(c.isUpper() || c.isDigit() || c == u'_' || c == u'=')) option = false;
    if (!option) break;
    at = close + 1;
  }
  return at;
}

QRegularExpression::PatternOptions OptionsFor(bool caseSensitive) {
  QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
  if (!caseSensitive) options |= QRegularExpression::CaseInsensitiveOption;
  return options;
}

}  // namespace

QString RestoreDataPercent(const QString& text) {
  if (!text.contains(kDataPercent)) return text;
  QString out = text;
  out.replace(kDataPercent, QLatin1Char('%'));
  return out;
}

RuleRegex::RuleRegex(const QString& pattern, bool caseSensitive, Scope scope) {
  if (pattern.isEmpty()) {
    problem_ = {AdditionText(kAddRegexEmpty), 0};
    return;
  }
  user_ = QRegularExpression(pattern, OptionsFor(caseSensitive));
  if (!user_.isValid()) {
    problem_ = {user_.errorString(), user_.patternErrorOffset()};
    return;
  }
  groupCount_ = user_.captureCount();
  // The step limit goes after the user's own start options: PCRE2 takes the lowest limit. The
  // empty group after the alternative "\z" matches only when the expression matched nowhere up
  // to the end, so a search that gave up (no match at all) differs from one that found nothing.
  const qsizetype lead = LeadingOptionsLength(pattern);
  const QString body = pattern.mid(lead);
  QString guarded = pattern.left(lead) + QStringLiteral("(*LIMIT_MATCH=%1)").arg(kRegexMatchLimit);
  guarded += scope == Scope::kWhole ? QStringLiteral("\\A(?:%1)\\z").arg(body)
                                    : QStringLiteral("(?:%1)").arg(body);
  guarded += QStringLiteral("|\\z()");
  guarded_ = QRegularExpression(guarded, OptionsFor(caseSensitive));
  if (!guarded_.isValid()) {
    // Only an expression that swallows what follows it (a comment to its end) gets here.
    problem_ = {guarded_.errorString(), pattern.size()};
    return;
  }
  problem_ = {};
}

RegexOutcome RuleRegex::Search(const QString& text, qsizetype offset,
                               QRegularExpressionMatch& match) const {
  match = guarded_.match(text, offset);
  if (!match.hasMatch()) return RegexOutcome::kGaveUp;
  if (match.capturedStart(groupCount_ + 1) >= 0) return RegexOutcome::kNoMatch;
  return RegexOutcome::kMatched;
}

RegexOutcome RuleRegex::Match(const QString& text) const {
  if (!IsValid()) return RegexOutcome::kNoMatch;
  QRegularExpressionMatch match;
  return Search(text, 0, match);
}

RegexProblem RuleRegex::ParseReplacement(const QString& replacement,
                                         std::vector<ReplacementPiece>& pieces) const {
  pieces.clear();
  QString literal;
  auto addGroup = [&](int group) {
    if (!literal.isEmpty()) pieces.push_back({literal, -1});
    literal.clear();
    pieces.push_back({QString(), group});
  };
  const qsizetype n = replacement.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = replacement[i];
    if (c != u'$' || i + 1 >= n) {
      literal += c;
      continue;
    }
    const QChar next = replacement[i + 1];
    if (next == u'$') {
      literal += c;
      ++i;
    } else if (next.isDigit() && next.unicode() < 128) {
      int group = next.digitValue();
      qsizetype used = 1;
      if (i + 2 < n && replacement[i + 2].isDigit() && replacement[i + 2].unicode() < 128) {
        const int two = group * 10 + replacement[i + 2].digitValue();
        if (two <= groupCount_) {
          group = two;
          used = 2;
        }
      }
      if (group > groupCount_)
        return {AdditionText(kAddRegexNoSuchGroup).arg(replacement.mid(i, used + 1)), i};
      addGroup(group);
      i += used;
    } else if (next == u'{') {
      const qsizetype close = replacement.indexOf(QLatin1Char('}'), i + 2);
      if (close < 0) return {AdditionText(kAddRegexUnclosedName), i};
      const QString name = replacement.mid(i + 2, close - i - 2);
      bool number = false;
      int group = name.toInt(&number);
      if (!number) group = static_cast<int>(user_.namedCaptureGroups().indexOf(name));
      if (name.isEmpty() || group <= (number ? -1 : 0) || group > groupCount_)
        return {AdditionText(kAddRegexNoSuchGroup).arg(replacement.mid(i, close - i + 1)), i};
      addGroup(group);
      i = close;
    } else {
      literal += c;
    }
  }
  if (!literal.isEmpty()) pieces.push_back({literal, -1});
  return {};
}

RuleRegex::Replaced RuleRegex::Replace(const QString& text,
                                       const std::vector<ReplacementPiece>& pieces,
                                       bool protectPercent) const {
  Replaced result;
  result.Text = text;
  if (!IsValid()) return result;
  QString out;
  qsizetype copied = 0;
  qsizetype offset = 0;
  bool replaced = false;
  QRegularExpressionMatch match;
  while (offset <= text.size()) {
    const RegexOutcome outcome = Search(text, offset, match);
    if (outcome == RegexOutcome::kGaveUp) {
      result.Outcome = RegexOutcome::kGaveUp;
      return result;
    }
    if (outcome == RegexOutcome::kNoMatch) break;
    const qsizetype start = match.capturedStart(0);
    const qsizetype end = match.capturedEnd(0);
    out += QStringView(text).mid(copied, start - copied);
    for (const ReplacementPiece& piece : pieces) {
      if (piece.Group < 0) {
        out += piece.Literal;
        continue;
      }
      QString group = match.captured(piece.Group);
      if (protectPercent) group.replace(QLatin1Char('%'), kDataPercent);
      out += group;
    }
    copied = end;
    replaced = true;
    if (end > start) {
      offset = end;
    } else {
      // An empty match: the search goes on after the next character (both halves of a
      // surrogate pair), which is copied as it is.
      qsizetype step = 1;
      if (end < text.size() && text[end].isHighSurrogate() && end + 1 < text.size()) step = 2;
      out += QStringView(text).mid(end, std::min(step, text.size() - end));
      copied = std::min(end + step, text.size());
      offset = end + step;
    }
  }
  if (!replaced) return result;
  out += QStringView(text).mid(copied);
  result.Text = out;
  result.Outcome = RegexOutcome::kMatched;
  return result;
}
