#include "fileops/ContentReading.h"
#include "naming/PlaceholderTable.h"
#include "platform/LocalTime.h"
#include "support/ChildProcess.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <fstream>
#include <functional>
#include <string>
#include <vector>

// HEIF images (HEIC, AVIF) read through the photo reader: the ways encoders lay out where the
// EXIF item lies, and files whose boxes lie about their sizes and places.

namespace {

PlaceholderSet Photo() {
  PlaceholderSet set;
  for (const char16_t* code : {u"%TY%", u"%IK%", u"%IW%", u"%IH%"})
    set.Add(PlaceholderId(QStringView(code)));
  return set;
}

QString Value(const ContentRead& read, const char16_t* code) {
  return read.Values.value(PlaceholderId(QStringView(code)));
}

QString Taken() {
  return QString::number(DateFromParts({2023, 5, 6, 7, 8, 9}));
}

// `value` big-endian in `bytes` bytes.
std::string N(uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}
std::string Box(const char* type, const std::string& body) {
  return N(8 + body.size(), 4) + std::string(type, 4) + body;
}
std::string FullBox(const char* type, int version, const std::string& body) {
  return Box(type, std::string(1, static_cast<char>(version)) + std::string(3, '\0') + body);
}

// An EXIF block as a camera writes it, encoded by exiv2: make, date taken, and a size the
// image's own is to win over.
std::string TiffBlock(const char* taken = "2023:05:06 07:08:09") {
  Exiv2::ExifData exif;
  exif["Exif.Image.Make"] = "Panasonic";
  exif["Exif.Photo.DateTimeOriginal"] = taken;
  exif["Exif.Photo.PixelXDimension"] = uint32_t{6000};
  exif["Exif.Photo.PixelYDimension"] = uint32_t{4000};
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
  return std::string(blob.begin(), blob.end());
}

// How an encoder writes its item table and locations.
struct Layout {
  int ilocVersion;
  int offsetSize;  // bytes of each extent's offset and length
  int baseOffsetSize;
  int indexSize;
  int extents;    // pieces the EXIF item is split into
  bool exifMark;  // "Exif\0\0" before the TIFF header, as phones write
  int infeVersion;
  // A second image of 320x240 with an EXIF of its own (2024-01-02 03:04:05), and the primary
  // one, after the first: a burst.
  bool burst = false;
};

// A HEIF image of 640x480 (item 1) with its EXIF (item 2) in the media box, and where the
// fields the damage tests change lie.
struct Heif {
  std::string bytes;
  size_t meta = 0;
  size_t iinf = 0;
  size_t iloc = 0;
  size_t exifType = 0;
  size_t exifOffset = 0;  // the first EXIF extent's offset field
  size_t exifLength = 0;
  size_t primaryId = 0;
  size_t sizeLink = 0;  // the association of item 1 with its size property
};

Heif MakeHeif(const Layout& l) {
  const std::string mark = l.exifMark ? N(6, 4) + std::string("Exif\0\0", 6) : N(0, 4);
  const std::string exif = mark + TiffBlock();
  const std::string exif2 = mark + TiffBlock("2024:01:02 03:04:05");
  const std::string pixels(10, 'x');
  const int items = l.burst ? 4 : 2;
  const int idSize = l.ilocVersion < 2 ? 2 : 4;
  const uint64_t base = l.baseOffsetSize > 0 ? 16 : 0;  // taken off the offsets
  const std::string ftyp = Box("ftyp", std::string("mif1\0\0\0\0mif1heic", 16));

  size_t offsetInIloc = 0;
  auto meta = [&](uint64_t mediaStart) {
    const std::string hdlr =
        FullBox("hdlr", 0, std::string(4, '\0') + "pict" + std::string(13, '\0'));
    const std::string pitm = FullBox("pitm", 0, N(l.burst ? 3 : 1, 2));
    auto infe = [&](uint32_t id, const char* type) {
      return FullBox("infe", l.infeVersion,
                     N(id, l.infeVersion == 2 ? 2 : 4) + N(0, 2) + std::string(type, 4) + '\0');
    };
    std::string iinf = N(items, 2) + infe(1, "hvc1") + infe(2, "Exif");
    if (l.burst) iinf += infe(3, "hvc1") + infe(4, "Exif");

    std::string iloc = N((l.offsetSize << 4) | l.offsetSize, 1) +
                       N((l.baseOffsetSize << 4) | (l.ilocVersion == 0 ? 0 : l.indexSize), 1) +
                       N(items, idSize);
    auto item = [&](uint32_t id, uint64_t start, const std::string& data, int pieces) {
      iloc += N(id, idSize);
      if (l.ilocVersion > 0) iloc += N(0, 2);  // construction method 0: in the file
      iloc += N(0, 2) + N(base, l.baseOffsetSize) + N(pieces, 2);
      size_t done = 0;
      for (int k = 0; k < pieces; ++k) {
        const size_t length = k + 1 < pieces ? data.size() / pieces : data.size() - done;
        if (l.ilocVersion > 0) iloc += N(k, l.indexSize);
        if (id == 2 && k == 0) offsetInIloc = iloc.size();
        iloc += N(start + done - base, l.offsetSize) + N(length, l.offsetSize);
        done += length;
      }
    };
    item(1, mediaStart, pixels, 1);
    item(2, mediaStart + pixels.size(), exif, l.extents);
    if (l.burst) {
      item(3, mediaStart, pixels, 1);
      item(4, mediaStart + pixels.size() + exif.size(), exif2, 1);
    }
    // Item 1 has property 1 (640x480, essential), item 3 property 2 (320x240).
    std::string ipma = N(l.burst ? 2 : 1, 4) + N(1, 2) + N(1, 1) + N(0x81, 1);
    if (l.burst) ipma += N(3, 2) + N(1, 1) + N(0x82, 1);
    const std::string iprp =
        Box("iprp", Box("ipco", FullBox("ispe", 0, N(640, 4) + N(480, 4)) +
                                    FullBox("ispe", 0, N(320, 4) + N(240, 4))) +
                        FullBox("ipma", 0, ipma));
    auto cdsc = [](uint32_t from, uint32_t to) {
      return Box("cdsc", N(from, 2) + N(1, 2) + N(to, 2));
    };
    const std::string iref = FullBox("iref", 0, cdsc(2, 1) + (l.burst ? cdsc(4, 3) : ""));
    return FullBox("meta", 0,
                   hdlr + pitm + FullBox("iinf", 0, iinf) + FullBox("iloc", l.ilocVersion, iloc) +
                       iprp + iref);
  };
  const size_t metaSize = meta(0).size();
  Heif heif;
  heif.bytes =
      ftyp + meta(ftyp.size() + metaSize + 8) + Box("mdat", pixels + exif + (l.burst ? exif2 : ""));
  heif.meta = ftyp.size();
  heif.iinf = heif.bytes.find("iinf") - 4;
  heif.iloc = heif.bytes.find("iloc") - 4;
  heif.exifType = heif.bytes.find("Exif", heif.iinf);
  heif.exifOffset = heif.iloc + 12 + offsetInIloc;
  heif.exifLength = heif.exifOffset + l.offsetSize;
  heif.primaryId = heif.bytes.find("pitm") + 8;
  heif.sizeLink = heif.bytes.find("ipma") + 4 + 4 + 4 + 2 + 1;
  return heif;
}

ContentRead ReadBytes(const TempDir& dir, const std::string& bytes) {
  const std::string path = dir.Bytes() + "photo.heic";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  const ContentRead read = ReadContent(QString::fromStdString(path), Photo());
  EXPECT_EQ(ReadFileBytes(path), bytes) << "the reader changed the file";
  return read;
}

TEST(HeifReader, EveryWayOfLocatingTheExifItemIsRead) {
  const std::vector<Layout> layouts = {
      {0, 4, 0, 0, 1, false, 2}, {1, 8, 4, 0, 2, true, 2},  {1, 4, 8, 4, 3, false, 3},
      {2, 4, 0, 0, 1, true, 3},  {2, 8, 8, 8, 2, false, 2}, {1, 4, 0, 0, 1, false, 2},
  };
  TempDir dir;
  for (const Layout& l : layouts) {
    SCOPED_TRACE(testing::Message()
                 << "iloc version " << l.ilocVersion << ", sizes " << l.offsetSize << "/"
                 << l.baseOffsetSize << "/" << l.indexSize << ", " << l.extents << " extents, infe "
                 << l.infeVersion << (l.exifMark ? ", Exif mark" : ""));
    const ContentRead read = ReadBytes(dir, MakeHeif(l).bytes);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(Value(read, u"%TY%"), Taken());
    EXPECT_EQ(Value(read, u"%IK%"), "Panasonic");
    // The image's own size, not what its EXIF claims.
    EXPECT_EQ(Value(read, u"%IW%"), "640");
    EXPECT_EQ(Value(read, u"%IH%"), "480");
  }
}

// Of several images with an EXIF each, the primary one's, whatever their order.
TEST(HeifReader, ABurstGivesThePrimaryImagesValues) {
  TempDir dir;
  for (const int version : {0, 1, 2}) {
    SCOPED_TRACE(version);
    Layout burst = {version, 4, 0, 0, 1, false, 2};
    burst.burst = true;
    const ContentRead read = ReadBytes(dir, MakeHeif(burst).bytes);
    EXPECT_EQ(Value(read, u"%TY%"), QString::number(DateFromParts({2024, 1, 2, 3, 4, 5})));
    EXPECT_EQ(Value(read, u"%IW%"), "320");
    EXPECT_EQ(Value(read, u"%IH%"), "240");
  }
}

void Put32At(std::string& bytes, size_t at, uint32_t value) {
  bytes.replace(at, 4, N(value, 4));
}

// Boxes that lie: each is read without a crash or a hang and without a change to the file, and
// gives what can still be made out, nothing else.
TEST(HeifReader, BoxesThatLieGiveOnlyWhatCanBeMadeOut) {
  const Heif heif = MakeHeif({1, 4, 0, 0, 1, false, 2});
  const uint32_t fileSize = static_cast<uint32_t>(heif.bytes.size());
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    bool taken;
    const char* width;
  };
  const std::vector<Case> cases = {
      {"the metadata box runs to the end (size 0)",
       [&](std::string& b) { Put32At(b, heif.meta, 0); }, true, "640"},
      {"a metadata box with a 64-bit size that does not fit",
       [&](std::string& b) { Put32At(b, heif.meta, 1); }, false, ""},
      {"a metadata box larger than the file",
       [&](std::string& b) { Put32At(b, heif.meta, 0xFFFFFFF0); }, false, ""},
      {"a metadata box shorter than its header", [&](std::string& b) { Put32At(b, heif.meta, 7); },
       false, ""},
      {"an item list larger than its metadata box",
       [&](std::string& b) { Put32At(b, heif.iinf, 0x7FFFFFFF); }, false, ""},
      {"an item list of size 0 swallows the boxes after it",
       [&](std::string& b) { Put32At(b, heif.iinf, 0); }, false, ""},
      {"the EXIF extent past the end of the file",
       [&](std::string& b) { Put32At(b, heif.exifOffset, fileSize); }, false, "640"},
      {"the EXIF extent longer than the file",
       [&](std::string& b) { Put32At(b, heif.exifLength, 0xFFFFFFFF); }, false, "640"},
      {"the EXIF extent of length 0", [&](std::string& b) { Put32At(b, heif.exifLength, 0); },
       false, "640"},
      {"the EXIF extent over the boxes instead of the EXIF",
       [&](std::string& b) { Put32At(b, heif.exifOffset, 0); }, false, "640"},
      {"an item type no one knows", [&](std::string& b) { b[heif.exifType + 3] = 'x'; }, false,
       "640"},
      {"an item location table of a version that does not exist",
       [&](std::string& b) { b[heif.iloc + 8] = 3; }, false, "640"},
      {"a property index past the list: the EXIF's size stands in",
       [&](std::string& b) { b[heif.sizeLink] = static_cast<char>(0x85); }, true, "6000"},
      {"the primary item is the EXIF item, which has no size",
       [&](std::string& b) { b[heif.primaryId + 1] = 2; }, true, "6000"},
      {"a primary item that does not exist", [&](std::string& b) { b[heif.primaryId + 1] = 9; },
       true, "6000"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = heif.bytes;
    c.damage(bytes);
    const ContentRead read = ReadBytes(dir, bytes);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(Value(read, u"%TY%"), c.taken ? Taken() : QString());
    EXPECT_EQ(Value(read, u"%IW%"), c.width);
  }
}

// Lists that cost nothing to claim: an item location table of 65535 items of 65535 pieces,
// each piece written in no bytes, and an item list of 65535 entries. Read in one pass, without
// a walk over what is not there.
TEST(HeifReader, ListsThatClaimMillionsOfEntriesEndAtOnce) {
  // Offsets, lengths, base offsets and indexes of no bytes.
  std::string iloc = N(0, 2) + N(65535, 2);
  for (uint32_t id = 1; id <= 65535; ++id) iloc += N(id, 2) + N(0, 4) + N(65535, 2);
  const std::string bytes = Box("ftyp", std::string("heic\0\0\0\0mif1heic", 16)) +
                            FullBox("meta", 0,
                                    FullBox("pitm", 0, N(1, 2)) + FullBox("iinf", 0, N(65535, 2)) +
                                        FullBox("iloc", 1, iloc));
  TempDir dir;
  const ContentRead read = ReadBytes(dir, bytes);
  EXPECT_TRUE(read.Ok);
  EXPECT_EQ(Value(read, u"%TY%"), "");
}

// A HEIC as libheif writes it, cut short at every length and with each box header's size and
// type broken in turn.
TEST(HeifReader, RealHeicCutAnywhereOrWithBrokenHeadersNeverCrashes) {
  TempDir dir;
  const std::string jpeg = dir.WriteFile("source.jpg");
  {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg, jpeg);
#pragma GCC diagnostic pop
    image->exifData()["Exif.Photo.DateTimeOriginal"] = "2023:05:06 07:08:09";
    image->writeMetadata();
  }
  const std::string heic = dir.Bytes() + "source.heic";
  ASSERT_TRUE(
      RunDebianTool({"heif-enc", "-q", "10", "-o", heic, jpeg}, "libheif-examples", dir.Bytes()));
  const std::string original = ReadFileBytes(heic);
  ASSERT_EQ(Value(ReadBytes(dir, original), u"%TY%"), Taken());

  // libheif puts the EXIF item last: any cut loses it.
  for (size_t length = 0; length < original.size(); ++length) {
    const ContentRead read = ReadBytes(dir, original.substr(0, length));
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(Value(read, u"%TY%"), "") << "cut at " << length;
  }

  int headers = 0;
  for (const char* type : {"ftyp", "meta", "hdlr", "pitm", "iloc", "iinf", "infe", "iprp", "ipco",
                           "ispe", "ipma", "iref", "dimg", "cdsc", "idat", "mdat"}) {
    for (size_t at = original.find(type); at != std::string::npos && at >= 4;
         at = original.find(type, at + 1)) {
      ++headers;
      const size_t size = at - 4;
      uint32_t claimed = 0;
      for (size_t k = size; k < at; ++k)
        claimed = (claimed << 8) | static_cast<unsigned char>(original[k]);
      for (const uint32_t value : {0u, 1u, 7u, 8u, claimed - 1, claimed + 1, 0xFFFFFFFFu}) {
        std::string bytes = original;
        Put32At(bytes, size, value);
        EXPECT_TRUE(ReadBytes(dir, bytes).Ok) << type << " of size " << value;
      }
      for (int k = 0; k < 4; ++k) {
        std::string bytes = original;
        bytes[at + k] = static_cast<char>(bytes[at + k] ^ 0x20);
        EXPECT_TRUE(ReadBytes(dir, bytes).Ok) << type << " renamed";
      }
    }
  }
  EXPECT_GE(headers, 14);
}

}  // namespace
