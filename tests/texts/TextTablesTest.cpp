// The tables built into the program: they load whole, switch languages cleanly and hold texts
// that the code around them can rely on.

#include "texts/TextLoader.h"
#include "texts/AdditionEntries.h"
#include "texts/TextTables.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>

#include <array>
#include <vector>

namespace {

std::array<QString, kLanguageTextCount> LoadedLanguage(int index) {
  EXPECT_TRUE(LoadLanguageTable(index));
  return LanguageTable;
}

// Every loaded text must be usable as it stands: present, one line, no stray blanks at its
// ends (the code concatenates entries with its own separators).
template <size_t N>
void ExpectWellFormed(const std::array<QString, N>& table, const char* name) {
  for (size_t i = 0; i < N; ++i) {
    SCOPED_TRACE(std::string(name) + " entry " + std::to_string(i));
    const QString& text = table[i];
    ASSERT_FALSE(text.isEmpty());
    EXPECT_FALSE(text.contains(QChar('\n')) || text.contains(QChar('\r')));
    EXPECT_EQ(text, text.trimmed());
    EXPECT_FALSE(text.contains(QChar::ReplacementCharacter));
  }
}

TEST(TextTables, ProductTextsLoadWhole) {
  ASSERT_TRUE(LoadProductTexts());
  ExpectWellFormed(ProductTexts, "product");
  EXPECT_EQ(ProductTexts[kProductName], QStringLiteral("Mervane"));
  EXPECT_EQ(ProductTexts[kProductFileName], QStringLiteral("Mervane"));
  // The file-name form goes into file names and the settings header's 8-bit name line.
  const QString fileName = ProductTexts[kProductFileName];
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9_.-]+$")).match(fileName).hasMatch());
}

TEST(TextTables, VersionReadsAsANumberOtherThanTheOldLayout) {
  ASSERT_TRUE(LoadProductTexts());
  bool ok = false;
  const float version = ProductTexts[kProductVersion].toFloat(&ok);
  ASSERT_TRUE(ok) << ProductTexts[kProductVersion].toStdString();
  EXPECT_GT(version, 1.0f);
  // The old presets layout is recognised by version * 100 rounding to 100.
  EXPECT_NE(static_cast<int>(version * 100.0f + 0.5f), 100);
  // The version line and the console banner name the same version.
  EXPECT_TRUE(ProductTexts[kProductVersionLine].contains(ProductTexts[kProductVersion]));
  EXPECT_TRUE(ProductTexts[kProductBannerLine2].contains(ProductTexts[kProductVersion]));
}

TEST(TextTables, BothLanguagesLoadWhole) {
  ExpectWellFormed(LoadedLanguage(kLanguageEnglish), "English");
  ExpectWellFormed(LoadedLanguage(kLanguageGerman), "German");
}

TEST(TextTables, SwitchingLanguageReplacesEveryEntryAndKeepsProductTexts) {
  ASSERT_TRUE(LoadProductTexts());
  const auto product = ProductTexts;
  const auto english = LoadedLanguage(kLanguageEnglish);
  for (QString& text : LanguageTable) text = QStringLiteral("<stale>");
  const auto german = LoadedLanguage(kLanguageGerman);
  int differing = 0;
  for (size_t i = 0; i < german.size(); ++i) {
    EXPECT_NE(german[i], QStringLiteral("<stale>")) << "entry " << i;
    if (german[i] != english[i]) ++differing;
  }
  // Names such as "Name" or "OK" are the same in both languages; most texts are not.
  EXPECT_GT(differing, 300);
  EXPECT_EQ(ProductTexts, product);
  EXPECT_EQ(LoadedLanguage(kLanguageEnglish), english);
  EXPECT_EQ(ProductTexts, product);
}

TEST(TextTables, UnknownLanguageFailsAndKeepsTheTable) {
  const auto english = LoadedLanguage(kLanguageEnglish);
  for (const int index : {-1, 2, 7}) {
    EXPECT_FALSE(LoadLanguageTable(index)) << index;
    EXPECT_EQ(LanguageTable, english) << index;
  }
}

TEST(TextTables, GermanUsesProperUmlauts) {
  const auto german = LoadedLanguage(kLanguageGerman);
  const QString umlauts = QStringLiteral("äöüÄÖÜß");
  int withUmlaut = 0;
  for (const QString& text : german) {
    for (const QChar c : umlauts)
      if (text.contains(c)) {
        ++withUmlaut;
        break;
      }
    // Spelt-out umlauts would mean the source lost its encoding somewhere.
    EXPECT_FALSE(text.contains(QStringLiteral("Groesse")) || text.contains(QStringLiteral("fuer")))
        << text.toStdString();
  }
  EXPECT_GT(withUmlaut, 40);
  EXPECT_EQ(german[201], QStringLiteral("Größe"));
}

// Texts that code combines with other texts must fit together in both languages.
TEST(TextTables, LanguagesAgreeOnMarkupTheCodeRelies) {
  const auto english = LoadedLanguage(kLanguageEnglish);
  const auto german = LoadedLanguage(kLanguageGerman);
  const QRegularExpression placeholder(QStringLiteral("%[A-Z0-9]+%"));
  for (size_t i = 0; i < english.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    // A menu access key is either in both or in neither, and never twice.
    EXPECT_EQ(english[i].count(QChar('&')), german[i].count(QChar('&')));
    EXPECT_LE(english[i].count(QChar('&')), 1);
    // Placeholders and wildcard examples are the program's syntax, not language.
    QStringList en, de;
    for (auto it = placeholder.globalMatch(english[i]); it.hasNext();) en << it.next().captured();
    for (auto it = placeholder.globalMatch(german[i]); it.hasNext();) de << it.next().captured();
    EXPECT_EQ(en, de);
  }
  // Captions that the code follows with ":" or "..." must not end in punctuation themselves.
  for (const int entry :
       {5,   6,   31,  69,  70,  99,  101, 114, 116, 118, 120, 128, 129, 130, 131,
        132, 136, 143, 149, 152, 159, 283, 284, 301, 305, 306, 312, 323, 324, 325}) {
    for (const auto* table : {&english, &german}) {
      const QChar last = (*table)[static_cast<size_t>(entry)].back();
      EXPECT_FALSE(last == QChar(':') || last == QChar('.') || last == QChar('!'))
          << "entry " << entry << ": " << (*table)[static_cast<size_t>(entry)].toStdString();
    }
  }
}

TEST(TextTables, PresetNamesAndQuestionsAreDistinct) {
  for (const int index : {kLanguageGerman, kLanguageEnglish}) {
    const auto table = LoadedLanguage(index);
    // The four preset names appear side by side in the presets menu.
    const std::vector<QString> names = {table[245], table[246], table[247], table[248]};
    for (size_t a = 0; a < names.size(); ++a)
      for (size_t b = a + 1; b < names.size(); ++b) EXPECT_NE(names[a], names[b]);
    // Questions are answered Yes or No.
    for (const int question : {313, 350, 351, 352, 354, 355, 357, 358})
      EXPECT_TRUE(table[static_cast<size_t>(question)].endsWith(QChar('?')))
          << index << " entry " << question;
  }
}

TEST(TextTables, AdditionsFollowTheLanguageAndKnowTheirNumbers) {
  for (const int index : {kLanguageGerman, kLanguageEnglish}) {
    SCOPED_TRACE(index);
    ASSERT_TRUE(LoadLanguageTable(index));
    EXPECT_EQ(AdditionText(kAddProgramName), QStringLiteral("Mervane"));
    EXPECT_TRUE(AdditionText(-1).isEmpty());
    EXPECT_TRUE(AdditionText(1000000).isEmpty());
  }
  ASSERT_TRUE(LoadLanguageTable(kLanguageEnglish));
}

}  // namespace
