#include "naming/Transform.h"

#include "naming/NameRules.h"

#include "naming/Pattern.h"

#include <QRandomGenerator>
#include <QStringView>

#include <algorithm>

namespace {

// ASCII is by far the common case in names; it skips the Unicode table look-up.
QChar LowerUnit(QChar c) {
  const char16_t u = c.unicode();
  if (u < 0x80) return (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + 32)) : c;
  return c.toLower();
}

QChar UpperUnit(QChar c) {
  const char16_t u = c.unicode();
  if (u < 0x80) return (u >= u'a' && u <= u'z') ? QChar(char16_t(u - 32)) : c;
  return c.toUpper();
}

}  // namespace

QString LowerCaseUnits(const QString& text) {
  QString out = text;
  QChar* d = out.data();
  for (qsizetype i = 0, n = out.size(); i < n; ++i) d[i] = LowerUnit(d[i]);
  return out;
}

QString UpperCaseUnits(const QString& text) {
  QString out = text;
  QChar* d = out.data();
  for (qsizetype i = 0, n = out.size(); i < n; ++i) d[i] = UpperUnit(d[i]);
  return out;
}

QString RemoveCharacters(const QString& name, int position, int count, bool fromEnd) {
  const qsizetype length = name.size();
  if (position < 1 || count < 1 || position > length) return name;
  if (!fromEnd) {
    const qsizetype cut = std::min<qsizetype>(count, length - (position - 1));
    return name.left(position - 1) + name.mid(position - 1 + cut);
  }
  const qsizetype head = std::max<qsizetype>(0, length - count - position + 1);
  const qsizetype tail = std::min<qsizetype>(position - 1, length);
  return name.left(head) + name.right(tail);
}

QString InsertIntoName(const QString& name, const QString& text, int position, bool fromEnd) {
  const qsizetype length = name.size();
  // 0-based insertion index.
  qsizetype at = fromEnd ? length - position + 1 : static_cast<qsizetype>(position) - 1;
  at = std::clamp<qsizetype>(at, 0, length);
  QString out = name;
  out.insert(at, text);
  return out;
}

namespace {

bool InSet(QChar c, QStringView set) {
  return set.contains(c);
}

}  // namespace

QString ChangeCase(const QString& name, int mode, QRandomGenerator* random) {
  switch (mode) {
    case kCaseLower:
      return LowerCaseUnits(name);
    case kCaseUpper:
      return UpperCaseUnits(name);
    case kCaseWords: {
      const QStringView separators(kWordSeparators);
      QString out = name;
      QChar* d = out.data();
      bool wordStart = true;
      for (qsizetype i = 0, n = out.size(); i < n; ++i) {
        const QChar original = d[i];
        d[i] = wordStart ? UpperUnit(original) : LowerUnit(original);
        wordStart = InSet(original, separators);
      }
      return out;
    }
    case kCaseSentence: {
      const QStringView skip(kSentenceSkip);
      QString out = name;
      QChar* d = out.data();
      qsizetype i = 0;
      const qsizetype n = out.size();
      while (i < n && InSet(d[i], skip)) ++i;
      if (i < n) {
        d[i] = d[i].toUpper();
        for (++i; i < n; ++i) d[i] = d[i].toLower();
      }
      return out;
    }
    case kCaseSwap: {
      QString out = name;
      QChar* d = out.data();
      for (qsizetype i = 0, n = out.size(); i < n; ++i) {
        const QChar upper = d[i].toUpper();
        d[i] = d[i] == upper ? d[i].toLower() : upper;
      }
      return out;
    }
    case kCaseRandom: {
      QRandomGenerator* source = random != nullptr ? random : QRandomGenerator::global();
      QString out = name;
      QChar* d = out.data();
      quint32 bits = 0;
      for (qsizetype i = 0, n = out.size(); i < n; ++i) {
        if (i % 32 == 0) bits = source->generate();
        d[i] = (bits & 1u) != 0 ? d[i].toUpper() : d[i].toLower();
        bits >>= 1;
      }
      return out;
    }
    default:
      return name;
  }
}

QString ApplyReplacements(const QString& name, const QList<TextReplacement>& rules) {
  return NameRules(rules, {}, false).ApplyReplacements(name).Text;
}

QString ApplyExtensionCorrections(const QString& extension,
                                  const QList<ExtensionCorrection>& rules) {
  return NameRules({}, rules, false).ApplyExtensionCorrections(extension).Text;
}
