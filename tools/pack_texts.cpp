// Build-time packer: turns the plain text sources under resources/texts/ into text-table
// containers and writes them, together with the embedded PNG images, as byte arrays into one
// generated C++ source file that is compiled into the engine.
//
// Usage:
//   pack_texts OUTPUT.cpp [--table NAME COUNT SOURCE]... [--additions ENGLISH GERMAN]
//              [--addition-entries HEADER.h] [--entries NAMES HEADER.h]
//              [--image NUMBER PNGFILE]...
// NAME is "product", "german" or "english"; all three tables must be given.
//
// The additions are the texts of Mervane's own features, kept apart so that the numbering of the
// language table never moves. Their numbers rise but may leave gaps (each feature keeps a block of
// numbers of its own); both languages must hold exactly the same numbers. The English source
// names each entry (NUMBER<TAB>NAME<TAB>TEXT); those names go into the enumeration AdditionEntry
// (kAdd + NAME) of the header given with --addition-entries. A text may hold "\n"
// for a line break and "\\" for a backslash. They are written as plain arrays, not containers.
//
// The entry names (resources/texts/entries.txt, "NUMBER<TAB>NAME") give every entry of the
// language table exactly one name; HEADER.h receives them as the enumeration LanguageEntry
// (kText + NAME), so that code calls texts by name. The header is rewritten only when a name
// changes: editing a text does not rebuild everything that names entries.
//
// Source format (UTF-8): one entry per line, "NUMBER<TAB>TEXT". Lines that are empty or start
// with "#" are comments. Numbers must run 0, 1, 2, ... COUNT-1 without gaps or repeats, and no
// text may be empty or hold control characters. Any violation fails the build with the file
// and line named.

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Failure {
  std::string message;
};

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{path + ": cannot be read"};
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

// Decodes strict UTF-8 (Qt's decoder flags overlong forms, encoded surrogates and truncated
// sequences) and appends the text as UTF-16 code units. Returns false on malformed input.
bool AppendUtf16(const std::string& utf8, std::vector<uint16_t>& out) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
  if (decoder.hasError()) return false;
  for (const QChar c : text) out.push_back(c.unicode());
  return true;
}

// Reads a text source and returns the record data (0xFF, uint16 length, UTF-16LE text).
std::vector<uint8_t> BuildRecords(const std::string& path, int expectedCount) {
  std::string content = ReadWholeFile(path);
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);

  std::vector<uint8_t> records;
  int next = 0;
  size_t lineNumber = 0;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;

    const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) throw Failure{where + "expected NUMBER<TAB>TEXT"};
    const std::string numberText = line.substr(0, tab);
    if (numberText.find_first_not_of("0123456789") != std::string::npos || numberText.size() > 6)
      throw Failure{where + "\"" + numberText + "\" is not an entry number"};
    const int number = std::stoi(numberText);
    if (number != next)
      throw Failure{where + "entry " + std::to_string(number) + " found where entry " +
                    std::to_string(next) + " was expected (entries must run 0, 1, 2, ... " +
                    "without gaps)"};
    const std::string text = line.substr(tab + 1);
    if (text.empty())
      throw Failure{where + "entry " + std::to_string(number) +
                    " is empty (an empty entry would end the table)"};
    for (const char c : text) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u == 0x7F)
        throw Failure{where + "entry " + std::to_string(number) + " holds a control character"};
    }
    std::vector<uint16_t> units;
    if (!AppendUtf16(text, units))
      throw Failure{where + "entry " + std::to_string(number) + " is not valid UTF-8"};
    if (units.size() * 2 > 0xFFFF)
      throw Failure{where + "entry " + std::to_string(number) + " is too long"};
    const auto length = static_cast<uint16_t>(units.size() * 2);
    records.push_back(0xFF);
    records.push_back(static_cast<uint8_t>(length & 0xFF));
    records.push_back(static_cast<uint8_t>(length >> 8));
    for (const uint16_t unit : units) {
      records.push_back(static_cast<uint8_t>(unit & 0xFF));
      records.push_back(static_cast<uint8_t>(unit >> 8));
    }
    ++next;
  }
  if (next != expectedCount)
    throw Failure{path + ": holds " + std::to_string(next) + " entries, " +
                  std::to_string(expectedCount) + " expected"};
  return records;
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A plain (not enciphered), zlib-compressed container around the record data.
std::vector<uint8_t> BuildContainer(const std::vector<uint8_t>& records) {
  uLongf packedSize = compressBound(static_cast<uLong>(records.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, records.data(), static_cast<uLong>(records.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    throw Failure{"zlib could not compress a table"};
  packed.resize(packedSize);

  std::vector<uint8_t> block = {'I', 'S', 'T', 'F'};
  PutLe(block, 1, 2);  // version
  block.push_back(0);  // not enciphered
  block.push_back(1);  // compressed
  PutLe(block, static_cast<uint32_t>(packed.size()), 4);
  PutLe(block, static_cast<uint32_t>(records.size()), 4);
  block.insert(block.end(), packed.begin(), packed.end());
  return block;
}

std::vector<uint8_t> ReadPng(const std::string& path) {
  const std::string content = ReadWholeFile(path);
  static const char kSignature[] = "\x89PNG\r\n\x1a\n";
  if (content.size() < 8 || content.compare(0, 8, kSignature, 8) != 0)
    throw Failure{path + ": not a PNG file"};
  return std::vector<uint8_t>(content.begin(), content.end());
}

void WriteArray(std::ostream& out, const std::string& name, const std::vector<uint8_t>& bytes) {
  out << "alignas(8) const uint8_t " << name << "[] = {";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) out << "\n   ";
    out << ' ' << static_cast<unsigned>(bytes[i]) << ',';
  }
  out << "\n};\n\n";
}

bool IsIdentifier(const std::string& name) {
  if (name.empty() || !(std::isupper(static_cast<unsigned char>(name[0])))) return false;
  for (const char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

// One additions source: number -> UTF-16 text. Numbers rise strictly; gaps are allowed. With
// `names`, each line carries the entry's name between its number and its text
// (NUMBER<TAB>NAME<TAB>TEXT), and the names are collected there.
std::map<int, std::vector<uint16_t>> ReadAdditions(
    const std::string& path, std::vector<std::pair<int, std::string>>* names) {
  std::string content = ReadWholeFile(path);
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
  std::map<int, std::vector<uint16_t>> entries;
  int last = -1;
  size_t lineNumber = 0;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
    const size_t tab = line.find('\t');
    const char* const shape =
        names ? "expected NUMBER<TAB>NAME<TAB>TEXT" : "expected NUMBER<TAB>TEXT";
    if (tab == std::string::npos || tab == 0) throw Failure{where + shape};
    const std::string numberText = line.substr(0, tab);
    if (numberText.find_first_not_of("0123456789") != std::string::npos || numberText.size() > 5)
      throw Failure{where + "\"" + numberText + "\" is not an entry number"};
    const int number = std::stoi(numberText);
    if (number <= last)
      throw Failure{where + "entry " + std::to_string(number) + " does not follow entry " +
                    std::to_string(last) + " (numbers must rise)"};
    last = number;
    size_t textStart = tab + 1;
    if (names) {
      const size_t nameEnd = line.find('\t', textStart);
      if (nameEnd == std::string::npos) throw Failure{where + shape};
      const std::string name = line.substr(textStart, nameEnd - textStart);
      if (!IsIdentifier(name))
        throw Failure{where + "\"" + name +
                      "\" is not a name (letters and digits, a capital first)"};
      for (const auto& [other, taken] : *names)
        if (taken == name)
          throw Failure{where + "\"" + name + "\" names entry " + std::to_string(other) +
                        " already"};
      names->emplace_back(number, name);
      textStart = nameEnd + 1;
    }
    std::string text;
    const std::string raw = line.substr(textStart);
    for (size_t i = 0; i < raw.size(); ++i) {
      const auto u = static_cast<unsigned char>(raw[i]);
      if (u < 0x20 || u == 0x7F)
        throw Failure{where + "entry " + std::to_string(number) + " holds a control character"};
      if (raw[i] == '\\' && i + 1 < raw.size() && (raw[i + 1] == 'n' || raw[i + 1] == '\\')) {
        text.push_back(raw[i + 1] == 'n' ? '\n' : '\\');
        ++i;
      } else {
        text.push_back(raw[i]);
      }
    }
    if (text.empty()) throw Failure{where + "entry " + std::to_string(number) + " is empty"};
    std::vector<uint16_t> units;
    if (!AppendUtf16(text, units))
      throw Failure{where + "entry " + std::to_string(number) + " is not valid UTF-8"};
    entries[number] = std::move(units);
  }
  return entries;
}

void WriteAdditions(std::ostream& out, const std::string& name,
                    const std::map<int, std::vector<uint16_t>>& entries, int count) {
  out << "const char16_t* const " << name << "[] = {";
  for (int number = 0; number < count; ++number) {
    out << "\n    ";
    const auto found = entries.find(number);
    if (found == entries.end()) {
      out << "nullptr,";
      continue;
    }
    out << "u\"";
    bool escaped = false;  // the previous unit was a hex escape
    for (const uint16_t unit : found->second) {
      const bool hexDigit = (unit >= '0' && unit <= '9') || (unit >= 'a' && unit <= 'f') ||
                            (unit >= 'A' && unit <= 'F');
      // A hex digit right after a hex escape would continue it: close the literal first.
      if (escaped && hexDigit) out << "\" u\"";
      escaped = false;
      if (unit == '"' || unit == '\\') {
        out << '\\' << static_cast<char>(unit);
      } else if (unit >= 0x20 && unit < 0x7F) {
        out << static_cast<char>(unit);
      } else {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\x%04x", unit);
        out << buffer;
        escaped = true;
      }
    }
    out << "\",";
  }
  if (count == 0) out << "nullptr";
  out << "\n};\n\n";
}

// The names of the language table's entries: every number 0..count-1 once, every name once.
std::vector<std::string> ReadEntryNames(const std::string& path, int count) {
  std::string content = ReadWholeFile(path);
  std::vector<std::string> names;
  std::map<std::string, int> taken;
  size_t lineNumber = 0;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) throw Failure{where + "expected NUMBER<TAB>NAME"};
    const std::string numberText = line.substr(0, tab);
    if (numberText.find_first_not_of("0123456789") != std::string::npos || numberText.size() > 6 ||
        std::stoi(numberText) != static_cast<int>(names.size()))
      throw Failure{where + "entry " + std::to_string(names.size()) + " expected"};
    const std::string name = line.substr(tab + 1);
    if (!IsIdentifier(name))
      throw Failure{where + "\"" + name + "\" is not a name (letters and digits, a capital first)"};
    if (taken.count(name))
      throw Failure{where + "\"" + name + "\" names entry " + std::to_string(taken[name]) +
                    " already"};
    taken[name] = static_cast<int>(names.size());
    names.push_back(name);
  }
  if (static_cast<int>(names.size()) != count)
    throw Failure{path + ": names " + std::to_string(names.size()) + " entries, " +
                  std::to_string(count) + " expected"};
  return names;
}

// The header of an enumeration of named entries: `prefix` + name = number.
std::string EntryHeader(const std::string& source, const std::string& enumName,
                        const std::string& prefix, const std::string& example,
                        const std::vector<std::pair<int, std::string>>& names) {
  std::ostringstream out;
  out << "// Generated by tools/pack_texts from resources/texts/" << source
      << ". Do not edit: edit that\n"
         "// file and rebuild.\n"
         "#pragma once\n\n"
         "// The entries by name: "
      << example
      << " and the like.\n"
         "enum "
      << enumName << " : int {\n";
  for (const auto& [number, name] : names)
    out << "  " << prefix << name << " = " << number << ",\n";
  out << "};\n";
  return out.str();
}

// Writes beside the target and renames, so an interrupted build never leaves half a file.
void WriteFileAtomically(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file.flush()) throw Failure{temporary + ": cannot be written"};
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0)
    throw Failure{path + ": cannot be written"};
}

// Writes `content` unless the file holds it already: an unchanged header keeps its time, so
// that editing a text rebuilds nothing that only names entries.
void WriteHeaderIfChanged(const std::string& path, const std::string& content) {
  std::ifstream existing(path, std::ios::binary);
  std::ostringstream before;
  before << existing.rdbuf();
  if (!existing || before.str() != content) WriteFileAtomically(path, content);
}

int ParseCount(const std::string& text, const std::string& what) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 6)
    throw Failure{"\"" + text + "\" is not a valid " + what};
  return std::stoi(text);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc < 2)
      throw Failure{
          "usage: pack_texts OUTPUT.cpp [--table NAME COUNT SOURCE]... "
          "[--image NUMBER PNGFILE]..."};
    const std::string outputPath = argv[1];
    std::map<std::string, std::vector<uint8_t>> tables;
    std::map<int, std::vector<uint8_t>> images;
    std::map<int, std::vector<uint16_t>> additionsEnglish;
    std::map<int, std::vector<uint16_t>> additionsGerman;
    std::map<std::string, int> counts;
    std::string namesPath;
    std::string headerPath;
    std::string additionHeaderPath;
    std::vector<std::pair<int, std::string>> additionNames;
    for (int i = 2; i < argc;) {
      const std::string option = argv[i];
      if (option == "--table" && i + 3 < argc) {
        const std::string name = argv[i + 1];
        if (name != "product" && name != "german" && name != "english")
          throw Failure{"unknown table \"" + name + "\""};
        if (tables.count(name)) throw Failure{"table \"" + name + "\" given twice"};
        const int count = ParseCount(argv[i + 2], "entry count");
        tables[name] = BuildContainer(BuildRecords(argv[i + 3], count));
        counts[name] = count;
        i += 4;
      } else if (option == "--additions" && i + 2 < argc) {
        additionsEnglish = ReadAdditions(argv[i + 1], &additionNames);
        additionsGerman = ReadAdditions(argv[i + 2], nullptr);
        for (const auto& [number, text] : additionsEnglish)
          if (!additionsGerman.count(number))
            throw Failure{std::string(argv[i + 2]) + ": entry " + std::to_string(number) +
                          " is missing (it is in " + argv[i + 1] + ")"};
        for (const auto& [number, text] : additionsGerman)
          if (!additionsEnglish.count(number))
            throw Failure{std::string(argv[i + 1]) + ": entry " + std::to_string(number) +
                          " is missing (it is in " + argv[i + 2] + ")"};
        i += 3;
      } else if (option == "--addition-entries" && i + 1 < argc) {
        additionHeaderPath = argv[i + 1];
        i += 2;
      } else if (option == "--entries" && i + 2 < argc) {
        namesPath = argv[i + 1];
        headerPath = argv[i + 2];
        i += 3;
      } else if (option == "--image" && i + 2 < argc) {
        const int number = ParseCount(argv[i + 1], "image number");
        if (number < 1 || number > 99) throw Failure{"image numbers run from 1 to 99"};
        if (images.count(number)) throw Failure{"image " + std::to_string(number) + " given twice"};
        images[number] = ReadPng(argv[i + 2]);
        i += 3;
      } else {
        throw Failure{"unexpected argument \"" + option + "\""};
      }
    }
    for (const char* name : {"product", "german", "english"})
      if (!tables.count(name)) throw Failure{std::string("table \"") + name + "\" is missing"};
    std::string header;
    if (!namesPath.empty()) {
      std::vector<std::pair<int, std::string>> numbered;
      for (const std::string& name : ReadEntryNames(namesPath, counts["english"]))
        numbered.emplace_back(static_cast<int>(numbered.size()), name);
      header =
          EntryHeader("entries.txt", "LanguageEntry", "kText", "LanguageText(kTextYes)", numbered);
    }
    std::string additionHeader;
    if (!additionHeaderPath.empty())
      additionHeader = EntryHeader("additions-english.txt", "AdditionEntry", "kAdd",
                                   "AdditionText(kAddProgramName)", additionNames);

    std::ostringstream out;
    out << "// Generated by tools/pack_texts from resources/texts and resources/images.\n"
           "// Do not edit: edit the sources and rebuild.\n\n"
           "#include \"texts/PackedData.h\"\n\n"
           "namespace {\n\n";
    for (const auto& [name, bytes] : tables) WriteArray(out, "kTable_" + name, bytes);
    for (const auto& [number, bytes] : images)
      WriteArray(out, "kImage_" + std::to_string(number), bytes);
    const int additionCount = additionsEnglish.empty() ? 0 : additionsEnglish.rbegin()->first + 1;
    WriteAdditions(out, "kAdditions_english", additionsEnglish, additionCount);
    WriteAdditions(out, "kAdditions_german", additionsGerman, additionCount);
    out << "}  // namespace\n\n"
           "PackedBlob PackedProductTexts() { return {kTable_product, sizeof kTable_product}; }\n\n"
           "PackedBlob PackedLanguageTexts(int languageIndex) {\n"
           "  switch (languageIndex) {\n"
           "    case 0: return {kTable_german, sizeof kTable_german};\n"
           "    case 1: return {kTable_english, sizeof kTable_english};\n"
           "    default: return {};\n"
           "  }\n"
           "}\n\n"
           "PackedAdditions PackedAdditionTexts(int languageIndex) {\n"
           "  switch (languageIndex) {\n"
           "    case 0: return {kAdditions_german, "
        << additionCount
        << "};\n"
           "    case 1: return {kAdditions_english, "
        << additionCount
        << "};\n"
           "    default: return {};\n"
           "  }\n"
           "}\n\n"
           "PackedBlob PackedImage(int number) {\n"
           "  switch (number) {\n";
    int limit = 0;
    for (const auto& [number, bytes] : images) {
      out << "    case " << number << ": return {kImage_" << number << ", sizeof kImage_" << number
          << "};\n";
      limit = number;
    }
    out << "    default: return {};\n"
           "  }\n"
           "}\n\n"
           "int PackedImageLimit() { return "
        << limit << "; }\n";

    WriteFileAtomically(outputPath, out.str());
    if (!headerPath.empty()) WriteHeaderIfChanged(headerPath, header);
    if (!additionHeaderPath.empty()) WriteHeaderIfChanged(additionHeaderPath, additionHeader);
    return 0;
  } catch (const Failure& failure) {
    std::fprintf(stderr, "pack_texts: %s\n", failure.message.c_str());
    return 1;
  }
}
