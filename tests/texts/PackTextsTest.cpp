// The build-time packer, run as the real tool on sources in a temporary folder: it must refuse
// broken sources (failing the build) and its output must unpack to exactly the source texts.

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "texts/TextLoader.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// The tool is built beside the program.
QString PackerPath() {
  return QFileInfo(QStringLiteral(MERVANE_BINARY)).absolutePath() + QStringLiteral("/pack_texts");
}

// Runs the packer with `args`; what it wrote to standard error, and its exit code.
ChildResult RunPacker(const QStringList& args) {
  std::vector<std::string> argv = {PackerPath().toStdString()};
  for (const QString& arg : args) argv.push_back(arg.toStdString());
  return RunChild(argv, EnvironmentWith({}), "/", 30);
}

const std::string kIcon = std::string(MERVANE_SOURCE_DIR) + "/resources/images/icon16.png";

struct PackRun {
  int exitCode = -1;
  QString errors;
  std::string output;  // the generated source
};

// Packs `product` as the product table (with `count` entries) and minimal valid language
// tables, so each test varies one source.
PackRun Pack(const TempDir& dir, const std::string& product, int count) {
  const std::string productPath = dir.WriteFile("product.txt", product);
  const std::string languagePath = dir.WriteFile("language.txt", "0\tx\n1\ty\n");
  const std::string outputPath = dir.Bytes() + "out.cpp";
  const ChildResult process = RunPacker(
      {QString::fromStdString(outputPath), QStringLiteral("--table"), QStringLiteral("product"),
       QString::number(count), QString::fromStdString(productPath), QStringLiteral("--table"),
       QStringLiteral("german"), QStringLiteral("2"), QString::fromStdString(languagePath),
       QStringLiteral("--table"), QStringLiteral("english"), QStringLiteral("2"),
       QString::fromStdString(languagePath), QStringLiteral("--image"), QStringLiteral("1"),
       QString::fromStdString(kIcon)});
  PackRun run;
  run.exitCode = process.exitCode;
  run.errors = QString::fromStdString(process.err);
  run.output = ReadFileBytes(outputPath);
  return run;
}

// Reads the bytes of one generated array back out of the generated source.
std::vector<uint8_t> ArrayFromSource(const std::string& source, const std::string& name) {
  const size_t start = source.find(name + "[] = {");
  if (start == std::string::npos) return {};
  const size_t end = source.find("};", start);
  std::vector<uint8_t> bytes;
  const QString body = QString::fromStdString(source.substr(start, end - start));
  const QRegularExpression number(QStringLiteral("\\s(\\d+),"));
  for (auto it = number.globalMatch(body); it.hasNext();)
    bytes.push_back(static_cast<uint8_t>(it.next().captured(1).toUInt()));
  return bytes;
}

TEST(PackTexts, RefusesBrokenSources) {
  struct Row {
    const char* name;
    std::string source;
    int count;
    const char* message;  // part of the tool's complaint
  };
  const std::vector<Row> rows = {
      {"gap in the numbers", "0\ta\n1\tb\n3\td\n", 4, "entry 3 found where entry 2"},
      {"repeated number", "0\ta\n1\tb\n1\tc\n", 3, "entry 1 found where entry 2"},
      {"numbers out of order", "1\tb\n0\ta\n", 2, "entry 1 found where entry 0"},
      {"empty text", "0\ta\n1\t\n2\tc\n", 3, "entry 1 is empty"},
      {"too few entries", "0\ta\n1\tb\n", 3, "holds 2 entries, 3 expected"},
      {"too many entries", "0\ta\n1\tb\n2\tc\n", 2, "holds 3 entries, 2 expected"},
      {"no tab", "0 a\n", 1, "expected NUMBER<TAB>TEXT"},
      {"not a number", "x\ta\n", 1, "is not an entry number"},
      {"control character", "0\ta\tb\n", 1, "control character"},
      {"invalid UTF-8", "0\ta\xC3\n", 1, "not valid UTF-8"},
      {"overlong UTF-8", "0\t\xC0\xAF\n", 1, "not valid UTF-8"},
      {"encoded surrogate", "0\t\xED\xA0\x80\n", 1, "not valid UTF-8"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const PackRun run = Pack(dir, row.source, row.count);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains(QString::fromUtf8(row.message))) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(QStringLiteral("product.txt")));
    // A refused build leaves no generated source behind.
    EXPECT_TRUE(run.output.empty());
  }
}

TEST(PackTexts, OutputUnpacksToTheSourceTexts) {
  TempDir dir;
  const std::string source =
      "\xEF\xBB\xBF# comment line\r\n"
      "0\tMervane\r\n"
      "\n"
      "# another comment\n"
      "1\tGr\xC3\xB6\xC3\x9F"
      "e \xE2\x82\xAC \xF0\x9F\x93\x81\n"
      "2\t  spaced \"quoted\" | 100%\n"
      "3\t#not a comment";
  const PackRun run = Pack(dir, source, 4);
  ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
  const std::vector<uint8_t> block = ArrayFromSource(run.output, "kTable_product");
  ASSERT_GT(block.size(), kTableHeaderSize);
  EXPECT_EQ(block[6], 0);  // not enciphered
  EXPECT_EQ(block[7], 1);  // compressed
  std::vector<QString> texts(4);
  ASSERT_TRUE(UnpackTable(block.data(), block.size(), {}, texts.data(), 4));
  EXPECT_EQ(texts[0], QStringLiteral("Mervane"));
  EXPECT_EQ(texts[1], QString::fromUtf8("Gr\xC3\xB6\xC3\x9F"
                                        "e \xE2\x82\xAC \xF0\x9F\x93\x81"));
  EXPECT_EQ(texts[2], QStringLiteral("  spaced \"quoted\" | 100%"));
  EXPECT_EQ(texts[3], QStringLiteral("#not a comment"));
  // The image is carried byte for byte.
  const std::string icon = ReadFileBytes(kIcon);
  const std::vector<uint8_t> image = ArrayFromSource(run.output, "kImage_1");
  EXPECT_EQ(std::string(image.begin(), image.end()), icon);
}

TEST(PackTexts, RefusesAdditionsThatDisagree) {
  struct Row {
    const char* name;
    std::string english;
    std::string german;
    const char* message;
  };
  const std::vector<Row> rows = {
      {"missing in German", "0\tA\ta\n5\tB\tb\n", "0\ta\n", "entry 5 is missing"},
      {"missing in English", "0\tA\ta\n", "0\ta\n7\tb\n", "entry 7 is missing"},
      {"numbers fall", "5\tA\ta\n2\tB\tb\n", "5\ta\n2\tb\n", "does not follow entry 5"},
      {"empty text", "0\tA\t\n", "0\t\n", "is empty"},
      {"an English entry without a name", "0\ta\n", "0\ta\n", "NUMBER<TAB>NAME<TAB>TEXT"},
      {"a name twice", "0\tA\ta\n1\tA\tb\n", "0\ta\n1\tb\n", "names entry 0 already"},
      {"not a name", "0\ta b\ta\n", "0\ta\n", "is not a name"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const std::string language = dir.WriteFile("language.txt", "0\tx\n");
    const std::string english = dir.WriteFile("additions-english.txt", row.english);
    const std::string german = dir.WriteFile("additions-german.txt", row.german);
    QStringList args = {QString::fromStdString(dir.Bytes() + "out.cpp")};
    for (const char* name : {"product", "german", "english"})
      args << QStringLiteral("--table") << QString::fromLatin1(name) << QStringLiteral("1")
           << QString::fromStdString(language);
    args << QStringLiteral("--additions") << QString::fromStdString(english)
         << QString::fromStdString(german);
    const ChildResult process = RunPacker(args);
    EXPECT_NE(process.exitCode, 0);
    const QString errors = QString::fromStdString(process.err);
    EXPECT_TRUE(errors.contains(QString::fromUtf8(row.message))) << errors.toStdString();
  }
}

TEST(PackTexts, RefusesAnImageThatIsNoPng) {
  TempDir dir;
  const std::string notPng = dir.WriteFile("fake.png", "GIF89a not a png at all");
  const std::string language = dir.WriteFile("language.txt", "0\tx\n");
  QStringList args = {QString::fromStdString(dir.Bytes() + "out.cpp")};
  for (const char* name : {"product", "german", "english"})
    args << QStringLiteral("--table") << QString::fromLatin1(name) << QStringLiteral("1")
         << QString::fromStdString(language);
  args << QStringLiteral("--image") << QStringLiteral("1") << QString::fromStdString(notPng);
  const ChildResult process = RunPacker(args);
  EXPECT_NE(process.exitCode, 0);
  EXPECT_NE(process.err.find("PNG"), std::string::npos);
}

// The names of the language table's entries: each entry named once, and the header they make
// is rewritten only when a name changes, so that editing a text does not rebuild the window.
TEST(PackTexts, EntryNamesNameEveryEntryOnce) {
  struct Row {
    const char* name;
    std::string names;
    const char* message;  // part of the tool's complaint; empty when the names are good
  };
  const std::vector<Row> rows = {
      {"good", "# comment\n0\tYes\n1\tNo2\n", ""},
      {"a name twice", "0\tYes\n1\tYes\n", "names entry 0 already"},
      {"an entry without a name", "0\tYes\n", "names 1 entries, 2 expected"},
      {"a name too many", "0\tYes\n1\tNo\n2\tMaybe\n", "names 3 entries, 2 expected"},
      {"numbers out of order", "1\tNo\n0\tYes\n", "entry 0 expected"},
      {"not a name", "0\tYes\n1\tno way\n", "is not a name"},
      {"lower-case start", "0\tYes\n1\tno\n", "is not a name"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const std::string language = dir.WriteFile("language.txt", "0\tx\n1\ty\n");
    const std::string names = dir.WriteFile("entries.txt", row.names);
    const std::string header = dir.Bytes() + "LanguageEntries.h";
    QStringList args = {QString::fromStdString(dir.Bytes() + "out.cpp")};
    for (const char* table : {"product", "german", "english"})
      args << QStringLiteral("--table") << QString::fromLatin1(table) << QStringLiteral("2")
           << QString::fromStdString(language);
    args << QStringLiteral("--entries") << QString::fromStdString(names)
         << QString::fromStdString(header);
    const ChildResult process = RunPacker(args);
    const QString errors = QString::fromStdString(process.err);
    if (*row.message == 0) {
      ASSERT_EQ(process.exitCode, 0) << errors.toStdString();
      const std::string written = ReadFileBytes(header);
      EXPECT_NE(written.find("kTextYes = 0,"), std::string::npos) << written;
      EXPECT_NE(written.find("kTextNo2 = 1,"), std::string::npos) << written;
      // A second run with the same names leaves the header untouched: its modification time
      // stays that of our own copy of it.
      dir.WriteFile("LanguageEntries.h", written);
      const QDateTime rewritten = QFileInfo(QString::fromStdString(header)).lastModified();
      ASSERT_EQ(RunPacker(args).exitCode, 0);
      EXPECT_EQ(QFileInfo(QString::fromStdString(header)).lastModified(), rewritten);
      EXPECT_EQ(ReadFileBytes(header), written);
    } else {
      EXPECT_NE(process.exitCode, 0);
      EXPECT_TRUE(errors.contains(QString::fromUtf8(row.message))) << errors.toStdString();
      EXPECT_TRUE(errors.contains(QStringLiteral("entries.txt")));
      EXPECT_TRUE(ReadFileBytes(header).empty());
    }
  }
}

}  // namespace
