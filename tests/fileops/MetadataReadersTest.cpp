#include "filelist/Loader.h"
#include "fileops/ContentReading.h"
#include "fileops/NewNamePlan.h"
#include "fileops/Plan.h"
#include "fileops/RunValues.h"
#include "fileops/media/ExifFile.h"
#include "naming/PlaceholderTable.h"
#include "naming/Placeholders.h"
#include "platform/LocalTime.h"
#include "support/ChildProcess.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#include <exiv2/webpimage.hpp>
#pragma GCC diagnostic pop
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <array>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

// The readers of what is inside photos, videos and songs, on files the tests make: images
// written by exiv2 itself and encoded to HEIC and AVIF by libheif's heif-enc, songs tagged by
// TagLib or encoded by oggenc, movies and HEIF images whose boxes are put together here.

namespace {

int Id(const char16_t* code) {
  return PlaceholderId(QStringView(code));
}

PlaceholderSet Set(std::initializer_list<const char16_t*> codes) {
  PlaceholderSet set;
  for (const char16_t* code : codes) set.Add(Id(code));
  return set;
}

PlaceholderSet AllMedia() {
  return Set({u"%TY%", u"%IK%", u"%IC%", u"%IL%", u"%IW%", u"%IH%", u"%AA%", u"%AB%", u"%AT%",
              u"%AN%", u"%AY%", u"%AG%"});
}

int64_t Local(int y, int mo, int d, int h, int mi, int s) {
  return DateFromParts({y, mo, d, h, mi, s});
}

// EXIF and XMP values written by exiv2 into the image at `path`: a blank one of exiv2's `type`
// when the file is empty, else the image there (exiv2 writes TIFF but cannot make one).
void WriteImage(int type, const std::string& path,
                const std::vector<std::pair<std::string, std::string>>& exif,
                const std::vector<std::pair<std::string, std::string>>& xmp = {}) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Exiv2::Image::AutoPtr image = ReadFileBytes(path).empty()
                                    ? Exiv2::ImageFactory::create(type, path)
                                    : Exiv2::ImageFactory::open(path);
#pragma GCC diagnostic pop
  image->readMetadata();
  for (const auto& [key, value] : exif) image->exifData()[key] = value;
  for (const auto& [key, value] : xmp) image->xmpData()[key] = value;
  image->writeMetadata();
}

void Put16le(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
void Put32le(std::string& out, uint32_t v) {
  Put16le(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16le(out, static_cast<uint16_t>(v >> 16));
}

// A grey TIFF of one pixel.
std::string Tiff() {
  std::string out("II*\0", 4);
  Put32le(out, 8);
  const std::vector<std::array<uint32_t, 3>> entries = {
      {256, 3, 1}, {257, 3, 1}, {258, 3, 8}, {262, 3, 1}, {273, 4, 98}, {278, 3, 1}, {279, 4, 1}};
  Put16le(out, static_cast<uint16_t>(entries.size()));
  for (const auto& [tag, type, value] : entries) {
    Put16le(out, static_cast<uint16_t>(tag));
    Put16le(out, static_cast<uint16_t>(type));
    Put32le(out, 1);
    Put32le(out, value);
  }
  Put32le(out, 0);
  return out + std::string(1, '\x80');
}

void Put32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}
void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v >> 32));
  Put32(out, static_cast<uint32_t>(v));
}
std::string Box(const char* type, const std::string& body) {
  std::string out;
  Put32(out, static_cast<uint32_t>(8 + body.size()));
  out += std::string(type, 4);
  return out + body;
}

// A movie whose header records `unixSeconds` (version 1: 64-bit times), after a media box.
std::string Movie(const char* brand, int64_t unixSeconds, int version) {
  const uint64_t since1904 = static_cast<uint64_t>(unixSeconds + 2082844800);
  std::string header(1, static_cast<char>(version));
  header += std::string(3, '\0');
  if (version == 1) {
    Put64(header, since1904);
    Put64(header, since1904);
  } else {
    Put32(header, static_cast<uint32_t>(since1904));
    Put32(header, static_cast<uint32_t>(since1904));
  }
  header += std::string(80, '\0');
  std::string ftyp = std::string(brand, 4) + std::string("\0\0\0\0", 4) + std::string(brand, 4);
  return Box("ftyp", ftyp) + Box("mdat", std::string(100, 'x')) +
         Box("moov", Box("mvhd", header) + Box("trak", std::string(20, '\0')));
}

// A few MPEG audio frames, so that TagLib takes the file for an MP3.
std::string MpegFrames() {
  std::string frame("\xFF\xFB\x90\x00", 4);
  frame += std::string(413, '\0');
  std::string out;
  for (int i = 0; i < 8; ++i) out += frame;
  return out;
}

// The smallest FLAC stream: the marker and a STREAMINFO block.
std::string FlacStream() {
  std::string info(34, '\0');
  info[0] = 0x10;  // block sizes 4096
  info[2] = 0x10;
  info[10] = 0x0A;  // 44100 Hz, 2 channels, 16 bits
  info[11] = static_cast<char>(0xC4);
  info[12] = 0x42;
  info[13] = static_cast<char>(0xF0);
  std::string out = "fLaC";
  out += static_cast<char>(0x80);  // last block, STREAMINFO
  out += std::string("\0\0\x22", 3);
  return out + info + std::string(64, '\0');
}

// The quick read of a plain JPEG's EXIF segment gives what exiv2's full read of the file gives,
// for every file.
void ExpectQuickReadAsWhole(const std::string& path) {
  RandomAccessFile file;
  ASSERT_EQ(file.Open(QString::fromStdString(path)), 0) << path;
  const std::optional<PhotoFacts> quick =
      ReadPhotoFacts(file, QString::fromStdString(path), PhotoRead::Quick);
  const std::optional<PhotoFacts> whole =
      ReadPhotoFacts(file, QString::fromStdString(path), PhotoRead::Whole);
  EXPECT_EQ(quick.has_value(), whole.has_value()) << path;
  if (quick && whole) {
    EXPECT_EQ(quick->Taken, whole->Taken) << path;
    EXPECT_EQ(quick->Make, whole->Make) << path;
    EXPECT_EQ(quick->Model, whole->Model) << path;
    EXPECT_EQ(quick->Lens, whole->Lens) << path;
    EXPECT_EQ(quick->Width, whole->Width) << path;
    EXPECT_EQ(quick->Height, whole->Height) << path;
  }
}

QString Value(const ContentRead& read, const char16_t* code) {
  return read.Values.value(Id(code));
}

// The smallest lossless WebP: one pixel.
std::string WebpPixel() {
  return std::string(
      "RIFF\x1a\0\0\0WEBPVP8L\x0d\0\0\0\x2f\0\0\0\x10\x07\x10\x11\x11\x88\x88\xfe"
      "\x07\0",
      34);
}

// A tenth of a second of silence, 8 kHz mono, for an encoder to work on.
std::string SilentWave() {
  const uint32_t samples = 800;
  std::string out = "RIFF";
  Put32le(out, 36 + samples * 2);
  out += "WAVEfmt ";
  Put32le(out, 16);
  Put16le(out, 1);  // PCM
  Put16le(out, 1);  // one channel
  Put32le(out, 8000);
  Put32le(out, 16000);
  Put16le(out, 2);
  Put16le(out, 16);
  out += "data";
  Put32le(out, samples * 2);
  return out + std::string(samples * 2, '\0');
}

// The smallest M4A that TagLib tags: its type box, a movie header and a media box.
std::string M4aContainer() {
  std::string header(100, '\0');
  header[15] = static_cast<char>(0xE8);  // time scale 1000
  header[14] = 0x03;
  header[20] = 0x01;  // rate 1.0
  header[24] = 0x01;  // full volume
  return Box("ftyp", std::string("M4A \0\0\0\0M4A mp42isom", 20)) +
         Box("moov", Box("mvhd", header)) + Box("mdat", std::string(16, '\0'));
}

struct Samples {
  TempDir dir;
  std::vector<std::string> files;
};

// One of each kind of file the readers know, with the values the tests expect.
Samples* MakeSampleFiles() {
  {
    auto* s = new Samples;
    const std::vector<std::pair<std::string, std::string>> camera = {
        {"Exif.Image.Make", "Canon"},
        {"Exif.Image.Model", "EOS/80D"},
        {"Exif.Photo.LensModel", "  EF-S18-135mm\x01"},
        {"Exif.Photo.DateTimeOriginal", "2021:07:14 09:30:05"},
        {"Exif.Photo.DateTimeDigitized", "2020:01:01 00:00:00"},
        {"Exif.Photo.PixelXDimension", "6000"},
        {"Exif.Photo.PixelYDimension", "4000"}};
    const std::string jpeg = s->dir.WriteFile("photo.jpg");
    WriteImage(Exiv2::ImageType::jpeg, jpeg, camera);
    s->files.push_back(jpeg);
    const std::string png = s->dir.WriteFile("photo.png");
    WriteImage(Exiv2::ImageType::png, png,
               {{"Exif.Photo.DateTimeDigitized", "2019:02:03 04:05:06"}});
    s->files.push_back(png);
    const std::string tiff = s->dir.WriteFile("photo.tif", Tiff());
    WriteImage(Exiv2::ImageType::tiff, tiff, {{"Exif.Image.Make", "Nikon"}},
               {{"Xmp.xmp.CreateDate", "2018-12-24T18:00:00+01:00"}});
    s->files.push_back(tiff);
    s->files.push_back(s->dir.WriteFile("clip.mp4", Movie("isom", 1600000000, 0)));
    s->files.push_back(s->dir.WriteFile("clip.mov", Movie("qt  ", 4102444800, 1)));
    const std::string mp3 = s->dir.WriteFile("song.mp3", MpegFrames());
    {
      TagLib::MPEG::File file(mp3.c_str());
      file.tag()->setArtist("AC/DC");
      file.tag()->setAlbum("Back in Black");
      file.tag()->setTitle("Hells Bells");
      file.tag()->setTrack(1);
      file.tag()->setYear(1980);
      file.tag()->setGenre("Rock");
      file.save();
    }
    s->files.push_back(mp3);
    const std::string flac = s->dir.WriteFile("song.flac", FlacStream());
    {
      TagLib::FLAC::File file(flac.c_str());
      file.tag()->setArtist(TagLib::String("Nina Simone", TagLib::String::UTF8));
      file.tag()->setTitle(TagLib::String("Sinnerman %FN%", TagLib::String::UTF8));
      file.tag()->setTrack(12);
      file.save();
    }
    s->files.push_back(flac);
    // exiv2 turns the plain WebP into an extended one with an EXIF chunk.
    const std::string webp = s->dir.WriteFile("photo.webp", WebpPixel());
    WriteImage(
        Exiv2::ImageType::webp, webp,
        {{"Exif.Image.Make", "Fujifilm"}, {"Exif.Photo.DateTimeOriginal", "2022:08:09 10:11:12"}});
    s->files.push_back(webp);
    // heif-enc carries a JPEG's EXIF and XMP over into the HEIF file; a 1x1 HEIC is a grid of
    // one 64x64 tile, so its size tells the primary image from the tile.
    const std::string heic = s->dir.Bytes() + "photo.heic";
    RunDebianTool({"heif-enc", "-q", "10", "-o", heic, jpeg}, "libheif-examples", s->dir.Bytes());
    s->files.push_back(heic);
    const std::string xmpJpeg = s->dir.WriteFile("sources/xmp.jpg");
    WriteImage(Exiv2::ImageType::jpeg, xmpJpeg, {{"Exif.Image.Make", "Sony"}},
               {{"Xmp.xmp.CreateDate", "2018-12-24T18:00:00+01:00"}});
    const std::string avif = s->dir.Bytes() + "photo.avif";
    RunDebianTool({"heif-enc", "-A", "-q", "10", "-o", avif, xmpJpeg}, "libheif-examples",
                  s->dir.Bytes());
    s->files.push_back(avif);
    const std::string wav = s->dir.WriteFile("sources/song.wav", SilentWave());
    const std::string ogg = s->dir.Bytes() + "song.ogg";
    RunDebianTool({"oggenc", "-Q", "-q", "0", "-a", "Sigur Rós", "-l", "Ágætis byrjun", "-t",
                   "Svefn-g-englar", "-N", "3", "-d", "1999", "-G", "Post-rock", "-o", ogg, wav},
                  "vorbis-tools", s->dir.Bytes());
    s->files.push_back(ogg);
    const std::string m4a = s->dir.WriteFile("song.m4a", M4aContainer());
    {
      TagLib::MP4::File file(m4a.c_str());
      file.tag()->setArtist(TagLib::String("Björk", TagLib::String::UTF8));
      file.tag()->setAlbum("Homogenic");
      file.tag()->setTitle("Joga");
      file.tag()->setTrack(2);
      file.tag()->setYear(1997);
      file.tag()->setGenre("Electronic");
      file.save();
    }
    s->files.push_back(m4a);
    // A JPEG whose date taken is in its XMP alone.
    const std::string editedJpeg = s->dir.WriteFile("edited.jpg");
    WriteImage(Exiv2::ImageType::jpeg, editedJpeg, {{"Exif.Image.Make", "Sony"}},
               {{"Xmp.xmp.CreateDate", "2017-06-05T04:03:02"}, {"Xmp.tiff.Model", "A7"}});
    s->files.push_back(editedJpeg);
    return s;
  }
}

class MetadataReaders : public testing::Test {
 protected:
  static void SetUpTestSuite() { samples_.reset(MakeSampleFiles()); }
  static void TearDownTestSuite() { samples_.reset(); }
  static Samples& MakeSamples() { return *samples_; }

 private:
  static std::unique_ptr<Samples> samples_;
};
std::unique_ptr<Samples> MetadataReaders::samples_;

TEST_F(MetadataReaders, ReadWhatEachKindOfFileHolds) {
  Samples& s = MakeSamples();
  struct Case {
    int file;
    const char16_t* code;
    QString expected;
  };
  const std::vector<Case> cases = {
      // DateTimeOriginal wins over DateTimeDigitized; "/" and control characters become "_".
      {0, u"%TY%", QString::number(Local(2021, 7, 14, 9, 30, 5))},
      {0, u"%IK%", "Canon"},
      {0, u"%IC%", "EOS_80D"},
      {0, u"%IL%", "EF-S18-135mm_"},
      // The image's own size, not what its EXIF claims (a resized photo keeps the old claim).
      {0, u"%IW%", "1"},
      {0, u"%IH%", "1"},
      // A TIFF's size from its own header.
      {2, u"%IW%", "1"},
      {0, u"%AA%", ""},
      {1, u"%TY%", QString::number(Local(2019, 2, 3, 4, 5, 6))},
      // The XMP creation date as the camera's wall clock, its offset left aside.
      {2, u"%TY%", QString::number(Local(2018, 12, 24, 18, 0, 0))},
      {2, u"%IK%", "Nikon"},
      // A movie's UTC creation time in local time.
      {3, u"%TY%", QString::number(LocalDateFromUnix(1600000000))},
      {3, u"%IK%", ""},
      {4, u"%TY%", QString::number(LocalDateFromUnix(4102444800))},
      {5, u"%AA%", "AC_DC"},
      {5, u"%AB%", "Back in Black"},
      {5, u"%AT%", "Hells Bells"},
      {5, u"%AN%", "1"},
      {5, u"%AY%", "1980"},
      {5, u"%AG%", "Rock"},
      {5, u"%TY%", ""},
      {6, u"%AA%", "Nina Simone"},
      {6, u"%AN%", "12"},
      {6, u"%AB%", ""},
      {7, u"%TY%", QString::number(Local(2022, 8, 9, 10, 11, 12))},
      {7, u"%IK%", "Fujifilm"},
      {7, u"%IW%", "1"},
      // The HEIC made from the first JPEG: its EXIF as the JPEG's, its size the primary
      // image's (the grid), not the tile's 64x64.
      {8, u"%TY%", QString::number(Local(2021, 7, 14, 9, 30, 5))},
      {8, u"%IK%", "Canon"},
      {8, u"%IC%", "EOS_80D"},
      {8, u"%IL%", "EF-S18-135mm_"},
      {8, u"%IW%", "1"},
      {8, u"%IH%", "1"},
      // An AVIF whose date taken comes from its XMP item.
      {9, u"%TY%", QString::number(Local(2018, 12, 24, 18, 0, 0))},
      {9, u"%IK%", "Sony"},
      {9, u"%IW%", "1"},
      {10, u"%AA%", "Sigur Rós"},
      {10, u"%AB%", "Ágætis byrjun"},
      {10, u"%AT%", "Svefn-g-englar"},
      {10, u"%AN%", "3"},
      {10, u"%AY%", "1999"},
      {10, u"%AG%", "Post-rock"},
      {10, u"%TY%", ""},
      {11, u"%AA%", "Björk"},
      {11, u"%AB%", "Homogenic"},
      {11, u"%AT%", "Joga"},
      {11, u"%AN%", "2"},
      {11, u"%AY%", "1997"},
      {11, u"%AG%", "Electronic"},
      {11, u"%TY%", ""},
      // EXIF where it has them, the XMP values for the rest.
      {12, u"%TY%", QString::number(Local(2017, 6, 5, 4, 3, 2))},
      {12, u"%IK%", "Sony"},
      {12, u"%IC%", "A7"},
  };
  for (const Case& c : cases) {
    const ContentRead read = ReadContent(QString::fromStdString(s.files[c.file]), AllMedia());
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(Value(read, c.code), c.expected)
        << s.files[c.file] << " " << QString::fromUtf16(c.code).toStdString();
  }
}

TEST_F(MetadataReaders, NamesTakeTheValuesAsDataWithTheModificationDateAsFallback) {
  Samples& s = MakeSamples();
  auto name = [&](int file, const QString& tmpl, int source = 1, bool noZeros = false) {
    FileEntry entry;
    entry.SetPath(QString::fromStdString(s.files[file]));
    entry.SetDirectory(s.dir.Path() + "Holidays 2021/");
    entry.SetName("IMG%TY%");
    entry.Modified = Local(2024, 3, 4, 5, 6, 7);
    StoreContent(entry, ReadContent(entry.Path(), AllMedia()).Values);
    return ExpandFilePlaceholders(NormalizePlaceholderCase(tmpl), entry, source, noZeros);
  };
  EXPECT_EQ(name(0, "%ty%%TM%%TD%_%TH%%TI%%TS%"), "20210714_093005");
  EXPECT_EQ(name(0, "%TM%-%TD%", 1, true), "7-14");
  // No date taken: the modification date.
  EXPECT_EQ(name(5, "%TY%-%TM%-%TD%"), "2024-03-04");
  // The date placeholders with the date taken as their source.
  EXPECT_EQ(name(0, "%DY%-%DM%-%DD% %DH%", kDateSourceTaken), "2021-07-14 09");
  EXPECT_EQ(name(0, "%DY%", 1), "2024");
  EXPECT_EQ(name(5, "%AN% %AA% - %AT%"), "01 AC_DC - Hells Bells");
  EXPECT_EQ(name(5, "%AN%", 1, true), "1");
  // A value read from the file that looks like a placeholder stays as it is; the file name, put
  // in by a step, is expanded by what follows, as a name holding "%DY%" is.
  EXPECT_EQ(name(6, "%AT% %FN%"), "Sinnerman %FN% IMG2024");
  EXPECT_EQ(name(0, "%FO%/%IC%"), "Holidays 2021/EOS_80D");
}

TEST_F(MetadataReaders, WhatTheTemplatesAndDatePageNeedRead) {
  Preset settings;
  RunValues values;
  values.NameBuildingActive = true;
  values.PreparedNameTemplate = "%tm% %DY%";
  EXPECT_EQ(ContentNeeded(settings, values), Set({u"%TY%"}));
  values.PreparedNameTemplate = "%DY% %FN%";
  EXPECT_FALSE(ContentNeeded(settings, values).Any());
  settings.DatePlaceholderSource = kDateSourceTaken;
  EXPECT_EQ(ContentNeeded(settings, values), Set({u"%TY%"}));
  settings.DatePlaceholderSource = 1;
  values.PreparedNameTemplate = "%FN%";
  settings.ChangeDates = 1;
  settings.DateMode = 2;
  settings.DateCopySource = kDateSourceTaken;
  EXPECT_EQ(ContentNeeded(settings, values), Set({u"%TY%"}));
}

TEST_F(MetadataReaders, MetadataDatesParseOnlyRealDates) {
  struct Case {
    const char* text;
    int64_t expected;
  };
  const std::vector<Case> cases = {
      {"2021:07:14 09:30:05", Local(2021, 7, 14, 9, 30, 5)},
      {"2021-07-14T09:30:05.123+02:00", Local(2021, 7, 14, 9, 30, 5)},
      {"2021-07-14", Local(2021, 7, 14, 0, 0, 0)},
      {"    :  :     :  :  ", -1},
      {"0000:00:00 00:00:00", -1},
      {"2021:02:29 10:00:00", -1},
      {"2021:07:14 25:00:00", -1},
      {"2021", -1},
      {"", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseMetadataDate(c.text).value_or(-1), c.expected) << c.text;
  }
}

// Damaged copies of every sample: bytes overwritten, cut short, lengths blown up. Each read must
// end, give values or none, and never touch the file. Run under the sanitizers in CI.
TEST_F(MetadataReaders, DamagedFilesGiveNoValueAndNeverCrash) {
  Samples& s = MakeSamples();
  TempDir scratch;
  std::mt19937 random(20211);
  const std::string damaged = scratch.WriteFile("damaged.bin");
  int reads = 0;
  for (const std::string& path : s.files) {
    const std::string original = ReadFileBytes(path);
    ASSERT_FALSE(original.empty()) << path;
    for (int round = 0; round < 300; ++round) {
      std::string bytes = original;
      std::uniform_int_distribution<size_t> at(0, bytes.size() - 1);
      switch (round % 4) {
        case 0:  // cut short
          bytes.resize(at(random));
          break;
        case 1:  // a few bytes overwritten
          for (int k = 0; k < 1 + round % 7; ++k) bytes[at(random)] = static_cast<char>(random());
          break;
        case 2:  // a length field blown up, as hostile files do
          for (int k = 0; k < 4 && bytes.size() > 4; ++k) {
            const size_t where = at(random) % (bytes.size() - 4);
            bytes.replace(where, 4, "\xFF\xFF\xFF\xF0", 4);
          }
          break;
        default:  // a stretch zeroed
          bytes.replace(at(random) / 2, bytes.size() / 8, bytes.size() / 8, '\0');
          break;
      }
      {
        std::ofstream out(damaged, std::ios::binary | std::ios::trunc);
        out << bytes;
      }
      const ContentRead read = ReadContent(QString::fromStdString(damaged), AllMedia());
      EXPECT_TRUE(read.Ok);
      EXPECT_EQ(ReadFileBytes(damaged), bytes);
      ExpectQuickReadAsWhole(damaged);
      ++reads;
    }
  }
  EXPECT_EQ(reads, 300 * static_cast<int>(s.files.size()));
}

// The EXIF segment of a JPEG damaged in the ways that matter to a reader that finds it by the
// segments' lengths and decodes it alone: its length, its header, the TIFF structure inside it,
// a second one, the file cut inside it.
TEST_F(MetadataReaders, DamagedExifSegmentsGiveWhatExiv2GivesAndNeverCrash) {
  Samples& s = MakeSamples();
  const std::string original = ReadFileBytes(s.files[0]);
  const size_t app1 = original.find("\xFF\xE1");
  ASSERT_NE(app1, std::string::npos);
  ASSERT_EQ(original.compare(app1 + 4, 6, std::string("Exif\0\0", 6)), 0);
  const size_t tiff = app1 + 10;
  const size_t segmentEnd =
      app1 + 2 + ((uint8_t(original[app1 + 2]) << 8) | uint8_t(original[app1 + 3]));
  TempDir scratch;
  const std::string damaged = scratch.WriteFile("damaged.jpg");
  std::mt19937 random(7);
  const auto put16 = [](std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value >> 8);
    bytes[at + 1] = static_cast<char>(value & 0xFF);
  };
  std::vector<std::string> variants;
  for (const uint16_t length : {0, 1, 2, 7, 8, 9, 10, 17, 0x7FFF, 0xFFFF}) {
    std::string bytes = original;
    put16(bytes, app1 + 2, length);
    variants.push_back(bytes);
  }
  for (size_t at = app1 + 4; at < tiff + 16; ++at) {  // header and TIFF header, byte by byte
    std::string bytes = original;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
    variants.push_back(bytes);
  }
  for (int round = 0; round < 400; ++round) {  // the TIFF structure: counts, offsets, types
    std::string bytes = original;
    std::uniform_int_distribution<size_t> at(tiff, segmentEnd - 2);
    for (int k = 0; k < 1 + round % 5; ++k) {
      const size_t where = at(random);
      if (round % 2 == 0)
        put16(bytes, where, round % 4 == 0 ? 0xFFFF : static_cast<uint16_t>(random()));
      else
        bytes[where] = static_cast<char>(random());
    }
    variants.push_back(bytes);
  }
  // A second EXIF segment, and the file cut inside the first.
  variants.push_back(original.substr(0, segmentEnd) + original.substr(app1, segmentEnd - app1) +
                     original.substr(segmentEnd));
  for (size_t cut = app1; cut < segmentEnd; cut += 7) variants.push_back(original.substr(0, cut));
  for (const std::string& bytes : variants) {
    {
      std::ofstream out(damaged, std::ios::binary | std::ios::trunc);
      out << bytes;
    }
    EXPECT_TRUE(ReadContent(QString::fromStdString(damaged), AllMedia()).Ok);
    ExpectQuickReadAsWhole(damaged);
  }
}

TEST_F(MetadataReaders, FoldersFifosAndMissingFilesHaveNoValues) {
  TempDir dir;
  const std::string fifo = dir.Bytes() + "pipe.jpg";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, dir.Bytes(), dir.Bytes() + "missing.jpg"}) {
    const ContentRead read = ReadContent(QString::fromStdString(path), AllMedia());
    EXPECT_TRUE(read.Ok) << path;
    EXPECT_EQ(Value(read, u"%TY%"), "") << path;
    EXPECT_EQ(Value(read, u"%AA%"), "") << path;
  }
}

// The new-name column marks the rows whose date taken is missing, before anything is run.
TEST_F(MetadataReaders, TheColumnMarksFilesWithoutADateTaken) {
  Samples& s = MakeSamples();
  Preset settings;
  settings.NameTemplateActive = 1;
  settings.NameTemplate = "%TY%-%TM% %FN%";
  settings.TargetDirActive = 0;
  FileList files;
  for (const int file : {0, 5})  // a photo with a date taken, a song without one
    ASSERT_EQ(AdmitFile(QString::fromStdString(s.files[file]), files, settings), 1);
  const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
  QHash<int32_t, KnownContent> known;
  for (qsizetype pos = 0; pos < files.Count(); ++pos) {
    const ContentRead read = ReadContent(files.At(pos).Path(), ContentNeeded(settings, values));
    known.insert(files.At(pos).Id, KnownContent{read.Ok, read.Values});
  }
  NewNameInputs inputs;
  inputs.Content = &known;
  const NewNamePlan plan = PlanNewNames(files, settings, values, inputs);
  ASSERT_EQ(plan.Count(), 2);
  EXPECT_FALSE(plan.Row(0).Has(NewNameRow::kNoDateTaken));
  EXPECT_EQ(plan.FileName(0, files.At(0)), "2021-07 photo.jpg");
  EXPECT_TRUE(plan.Row(1).Has(NewNameRow::kNoDateTaken));
  EXPECT_FALSE(plan.Row(1).Has(NewNameRow::kPending));
}

}  // namespace
