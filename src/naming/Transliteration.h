#pragma once

#include <QString>

#include <memory>

// Spells text of any script in plain ASCII: ICU's "Any-Latin" and then "Latin-ASCII", so
// "Łódź Москва" becomes "Lodz Moskva". Letters of a script ICU has no rules for stay as they are,
// and so does a text the rules would empty. One object per thread: ICU's transliterators are
// not to be shared between threads.
class AsciiTransliterator {
 public:
  AsciiTransliterator();
  ~AsciiTransliterator();
  AsciiTransliterator(const AsciiTransliterator&) = delete;
  AsciiTransliterator& operator=(const AsciiTransliterator&) = delete;

  // False when ICU could not build the rules (its data missing): texts then stay unchanged.
  bool Available() const { return rules_ != nullptr; }
  QString Apply(const QString& text) const;

 private:
  struct Rules;  // ICU's transliterator, kept out of this header
  std::unique_ptr<Rules> rules_;
};
