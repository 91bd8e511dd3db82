#include "fileops/ContentReading.h"

#include "fileops/ContentReader.h"
#include "fileops/Plan.h"
#include "fileops/RunValues.h"
#include "naming/Placeholders.h"
#include "platform/FileName.h"
#include "platform/FileRead.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace {

int Id(const char16_t* code) {
  return PlaceholderId(QStringView(code));
}

PlaceholderSet Set(std::initializer_list<const char16_t*> codes) {
  PlaceholderSet set;
  for (const char16_t* code : codes) set.Add(Id(code));
  return set;
}

const ContentReader& Checksums() {
  const ContentReader* reader = ReaderOf(Id(u"%CC%"));
  EXPECT_NE(reader, nullptr);
  return *reader;
}

// A reader of the kind that takes values out of a file's header: "%CS%" becomes the file's
// first two bytes in hex. A file it cannot read, or one too short to hold them (a damaged
// file, for such a reader), has no value, and neither fails its entry.
class HeaderReader final : public ContentReader {
 public:
  std::span<const QStringView> Serves() const override { return codes_; }
  bool UnreadableFailsEntry() const override { return false; }
  int Read(const QString& path, ContentFindings& found,
           const std::atomic<int32_t>*) const override {
    SequentialFile file;
    if (const int error = file.Open(path); error != 0) return error;
    found.SetAccessTimeKept(file.AccessTimeKept());
    char head[2];
    if (file.Read(head, sizeof head) == 2)
      found.Found(u"%CS%", QString::fromLatin1(QByteArray(head, 2).toHex()));
    return 0;
  }

 private:
  std::array<QStringView, 1> codes_ = {u"%CS%"};
};

TEST(ContentReaders, ServeEveryContentPlaceholderExactlyOnce) {
  const std::span<const PlaceholderRow> table = PlaceholderTable();
  for (size_t id = 0; id < table.size(); ++id) {
    SCOPED_TRACE(table[id].Code.toString().toStdString());
    int readers = 0;
    for (const ContentReader* reader : ContentReaders()) {
      for (const QStringView code : reader->Serves()) readers += code == table[id].Code;
    }
    // One made from another's value (the parts of the date taken) is read through that one.
    const bool content =
        table[id].Family == PlaceholderFamily::Content && table[id].ReadFrom.isEmpty();
    EXPECT_EQ(readers, content ? 1 : 0);
    EXPECT_EQ(ReaderOf(static_cast<int>(id)) != nullptr, content);
  }
  for (const ContentReader* reader : ContentReaders()) {
    for (const QStringView code : reader->Serves()) {
      const int id = PlaceholderId(code);
      ASSERT_GE(id, 0) << code.toString().toStdString() << " is no row of the table";
      EXPECT_EQ(ReaderOf(id), reader);
    }
  }
}

TEST(ReadContent, ReadsExactlyWhatIsAskedFromTheFile) {
  TempDir dir;
  const std::string text = "The quick brown fox jumps over the lazy dog";
  const QString path = DecodeFileName(dir.WriteFile("fox.txt", text));
  const QByteArray bytes = QByteArray::fromStdString(text);
  const QString md5 = QString::fromLatin1(
      QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper());
  const QString sha1 = QString::fromLatin1(
      QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().toUpper());
  const struct {
    PlaceholderSet wanted;
    QHash<int, QString> expected;
  } rows[] = {
      {Set({u"%CC%"}), {{Id(u"%CC%"), "414FA339"}}},
      {Set({u"%CM%", u"%CS%"}), {{Id(u"%CM%"), md5}, {Id(u"%CS%"), sha1}}},
      {Set({u"%CC%", u"%CM%", u"%CS%"}),
       {{Id(u"%CC%"), "414FA339"}, {Id(u"%CM%"), md5}, {Id(u"%CS%"), sha1}}},
      // What is not read from a file is left out, and nothing is read for it.
      {Set({u"%FN%", u"%DY%"}), {}},
      {PlaceholderSet{}, {}},
  };
  for (const auto& row : rows) {
    const ContentRead read = ReadContent(path, row.wanted);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Error, 0);
    EXPECT_EQ(read.Values, row.expected);
  }
}

TEST(ReadContent, AFileThatCannotBeReadFailsOnlyWhereAValueIsIndispensable) {
  TempDir dir;
  const std::string fifo = dir.Bytes() + "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  dir.MakeDir("folder");
  dir.WriteFile("short.bin", "x");
  const HeaderReader header;
  const std::vector<const ContentReader*> readers = {&header, &Checksums()};
  const struct {
    const char* why;
    std::string path;
    int error;  // of the checksum reader; 0: the file can be read
  } files[] = {
      {"missing file", dir.Bytes() + "missing", ENOENT},
      {"folder", dir.Bytes() + "folder", EISDIR},
      {"FIFO, which must not hang", fifo, EINVAL},
      {"a file too short for its header", dir.Bytes() + "short.bin", 0},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.why);
    const QString path = DecodeFileName(file.path);
    // The header reader alone: never a failure; the value is simply not there.
    const ContentRead headerOnly = ReadContent(path, Set({u"%CS%"}), nullptr, readers);
    EXPECT_TRUE(headerOnly.Ok);
    EXPECT_EQ(headerOnly.Values, (QHash<int, QString>{{Id(u"%CS%"), QString()}}));
    // With a checksum asked for, a file that cannot be read fails with the reason.
    const ContentRead both = ReadContent(path, Set({u"%CC%", u"%CS%"}), nullptr, readers);
    EXPECT_EQ(both.Ok, file.error == 0);
    EXPECT_EQ(both.Error, file.error);
    if (file.error != 0) {
      EXPECT_TRUE(both.Values.isEmpty());
    }
  }
}

TEST(ReadContent, TheFirstReaderOfAPlaceholderReadsIt) {
  TempDir dir;
  const QString path = DecodeFileName(dir.WriteFile("ab.bin", "AB"));
  const HeaderReader header;
  const std::vector<const ContentReader*> headerFirst = {&header, &Checksums()};
  const std::vector<const ContentReader*> checksumsFirst = {&Checksums(), &header};
  const PlaceholderSet wanted = Set({u"%CC%", u"%CS%"});
  const ContentRead a = ReadContent(path, wanted, nullptr, headerFirst);
  EXPECT_EQ(a.Values.value(Id(u"%CS%")), "4142");
  EXPECT_EQ(a.Values.value(Id(u"%CC%")).size(), 8);
  const ContentRead b = ReadContent(path, wanted, nullptr, checksumsFirst);
  EXPECT_EQ(b.Values.value(Id(u"%CS%")).size(), 40);
}

TEST(ReadContent, AStopRequestEndsTheReadWithNothing) {
  TempDir dir;
  const QString path = DecodeFileName(dir.WriteFile("big.bin", std::string(3 << 20, 'x')));
  std::atomic<int32_t> stop{1};
  const ContentRead read = ReadContent(path, Set({u"%CC%", u"%CM%"}), &stop);
  EXPECT_FALSE(read.Ok);
  EXPECT_EQ(read.Error, ECANCELED);
  EXPECT_TRUE(read.Values.isEmpty());
}

// The values read go where the placeholders take them from.
TEST(StoreContent, WhatIsReadIsWhatTheNameGets) {
  TempDir dir;
  const std::string data = "hello";
  FileEntry entry;
  entry.SetPath(DecodeFileName(dir.WriteFile("hello.txt", data)));
  entry.SetName("hello");
  const ContentRead read = ReadContent(entry.Path(), Set({u"%CC%", u"%CS%"}));
  ASSERT_TRUE(read.Ok);
  StoreContent(entry, read.Values);
  const auto crc = static_cast<uint32_t>(
      ::crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  EXPECT_EQ(entry.Crc32(), QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper());
  EXPECT_TRUE(entry.Md5().isEmpty());
  EXPECT_EQ(ExpandFilePlaceholders("%FN%-%CC%-%CM%", entry, 1, false),
            "hello-" + entry.Crc32() + "-");
}

// Every text that may hold a placeholder counts, in any letter case; a text that is switched
// off does not.
TEST(ContentNeeded, EveryActiveTextInAnyLetterCase) {
  const struct {
    const char* what;
    std::function<void(Preset&)> configure;
    PlaceholderSet expected;
  } rows[] = {
      {"name template", [](Preset& s) { s.NameTemplateActive = 1, s.NameTemplate = "%fn%-%cc%"; },
       Set({u"%CC%"})},
      {"insert text", [](Preset& s) { s.InsertActive = 1, s.InsertText = "%Cm%"; }, Set({u"%CM%"})},
      {"replacement",
       [](Preset& s) {
         s.ReplaceActive = 1;
         s.TextReplacements = {{kItemChecked, "a", "%cS%"}, {0, "b", "%CC%"}};
       },
       Set({u"%CS%"})},
      {"target folder",
       [](Preset& s) {
         s.TargetDirActive = 1;
         s.TargetDirTemplate = "out\\%CC%\\%cm%\\";
       },
       Set({u"%CC%", u"%CM%"})},
      {"switched off", [](Preset& s) { s.InsertActive = 0, s.InsertText = "%CC%"; }, {}},
      {"file placeholders only",
       [](Preset& s) {
         s.NameTemplateActive = 1;
         s.NameTemplate = "%FN% %DY% %FSK% %C% %CCC%";
       },
       {}},
  };
  for (const auto& row : rows) {
    Preset settings;
    settings.NameTemplateActive = 0;
    settings.TargetDirActive = 0;
    row.configure(settings);
    const RunValues values = PrepareRunValues(settings, 1, PathFolders{}, 0);
    EXPECT_EQ(ContentNeeded(settings, values), row.expected) << row.what;
  }
}

}  // namespace
