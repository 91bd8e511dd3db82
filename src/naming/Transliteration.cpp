#include "naming/Transliteration.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

struct AsciiTransliterator::Rules {
  std::unique_ptr<icu::Transliterator> Transliterator;
};

AsciiTransliterator::AsciiTransliterator() {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Transliterator> rules(icu::Transliterator::createInstance(
      icu::UnicodeString::fromUTF8("Any-Latin; Latin-ASCII"), UTRANS_FORWARD, status));
  if (U_SUCCESS(status) && rules != nullptr)
    rules_ = std::make_unique<Rules>(Rules{std::move(rules)});
}

AsciiTransliterator::~AsciiTransliterator() = default;

QString AsciiTransliterator::Apply(const QString& text) const {
  if (rules_ == nullptr || text.isEmpty()) return text;
  // Plain ASCII needs no rules: most names are, and ICU's pass over them costs.
  bool ascii = true;
  for (const QChar c : text)
    if (c.unicode() >= 0x80) ascii = false;
  if (ascii) return text;
  icu::UnicodeString value(reinterpret_cast<const UChar*>(text.utf16()),
                           static_cast<int32_t>(text.size()));
  rules_->Transliterator->transliterate(value);
  QString out(reinterpret_cast<const QChar*>(value.getBuffer()), value.length());
  return out.isEmpty() ? text : out;
}
