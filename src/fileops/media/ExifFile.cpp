#include "fileops/media/ExifFile.h"

#include "fileops/media/HeifExif.h"
#include "platform/LocalTime.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <vector>

// exiv2 0.27 hands images and streams out as std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace {

// exiv2's numbers of its video types (its video headers do not compile on their own).
constexpr int kRiffVideo = 20;
constexpr int kMatroskaVideo = 21;
constexpr int kQuickTimeVideo = 22;
constexpr int kAsfVideo = 24;

// exiv2's reading over a file Mervane opened itself (so that the access time stays and a FIFO
// never blocks); every write is refused.
class ReadOnlyIo final : public Exiv2::BasicIo {
 public:
  ReadOnlyIo(const RandomAccessFile& file, std::string path)
      : file_(file), path_(std::move(path)) {}
  ~ReadOnlyIo() override { munmap(); }

  int open() override {
    position_ = 0;
    eof_ = false;
    return 0;
  }
  int close() override {
    munmap();
    return 0;
  }
  long write(const Exiv2::byte*, long) override { return 0; }
  long write(Exiv2::BasicIo&) override { return 0; }
  int putb(Exiv2::byte) override { return EOF; }
  Exiv2::DataBuf read(long count) override {
    // A damaged length must not become a huge allocation: never more than the file holds.
    const int64_t left = std::max<int64_t>(0, file_.Size() - position_);
    Exiv2::DataBuf buffer(static_cast<long>(std::clamp<int64_t>(count, 0, left)));
    const long got = read(buffer.pData_, buffer.size_);
    if (got < 0) throw Exiv2::Error(Exiv2::kerInputDataReadFailed);
    buffer.size_ = got;
    return buffer;
  }
  long read(Exiv2::byte* buffer, long count) override {
    if (count <= 0) return 0;
    const ssize_t got = count >= static_cast<long>(kWindow)
                            ? file_.ReadAt(position_, buffer, static_cast<size_t>(count))
                            : ReadThroughWindow(buffer, static_cast<size_t>(count));
    if (got < 0) {
      error_ = 1;
      return 0;
    }
    position_ += got;
    if (got < count) eof_ = true;
    return static_cast<long>(got);
  }
  int getb() override {
    Exiv2::byte b = 0;
    return read(&b, 1) == 1 ? b : EOF;
  }
  void transfer(Exiv2::BasicIo&) override { throw Exiv2::Error(Exiv2::kerFunctionNotSupported); }
  int seek(long offset, Position from) override {
    int64_t base = 0;
    if (from == cur) base = position_;
    if (from == end) base = file_.Size();
    const int64_t target = base + offset;
    if (target < 0) return 1;
    position_ = target;
    eof_ = position_ > file_.Size();
    return 0;
  }
  Exiv2::byte* mmap(bool writable) override {
    if (writable) throw Exiv2::Error(Exiv2::kerFunctionNotSupported);
    if (map_ != nullptr) return map_;
    if (file_.Size() <= 0) return nullptr;
    // Mapped, not read: only the pages exiv2 looks at come from the disk.
    void* map = ::mmap(nullptr, static_cast<size_t>(file_.Size()), PROT_READ, MAP_PRIVATE,
                       file_.Descriptor(), 0);
    if (map == MAP_FAILED) throw Exiv2::Error(Exiv2::kerCallFailed, path_, "mmap", "");
    map_ = static_cast<Exiv2::byte*>(map);
    mapped_ = static_cast<size_t>(file_.Size());
    return map_;
  }
  int munmap() override {
    if (map_ != nullptr) ::munmap(map_, mapped_);
    map_ = nullptr;
    return 0;
  }
  long tell() const override { return static_cast<long>(position_); }
  size_t size() const override { return static_cast<size_t>(file_.Size()); }
  bool isopen() const override { return true; }
  int error() const override { return error_; }
  bool eof() const override { return eof_; }
  std::string path() const override { return path_; }

 private:
  // exiv2 walks a JPEG's markers a byte or two at a time: small reads are served from one
  // window of the file read ahead, so a photo costs a read or two instead of dozens.
  static constexpr size_t kWindow = 16 * 1024;

  ssize_t ReadThroughWindow(Exiv2::byte* buffer, size_t count) {
    const bool inside = windowStart_ >= 0 && position_ >= windowStart_ &&
                        position_ + static_cast<int64_t>(count) <= windowStart_ + windowLength_;
    if (!inside) {
      if (window_.empty()) window_.resize(kWindow);
      const ssize_t got = file_.ReadAt(position_, window_.data(), kWindow);
      if (got < 0) {
        windowStart_ = -1;
        return got;
      }
      windowStart_ = position_;
      windowLength_ = got;
    }
    const int64_t offset = position_ - windowStart_;
    const size_t available = static_cast<size_t>(windowLength_ - offset);
    const size_t taken = std::min(count, available);
    std::memcpy(buffer, window_.data() + offset, taken);
    return static_cast<ssize_t>(taken);
  }

  const RandomAccessFile& file_;
  std::string path_;
  std::vector<Exiv2::byte> window_;
  int64_t windowStart_ = -1;
  int64_t windowLength_ = 0;
  int64_t position_ = 0;
  bool eof_ = false;
  int error_ = 0;
  Exiv2::byte* map_ = nullptr;
  size_t mapped_ = 0;
};

std::mutex xmpMutex;
void LockXmp(void*, bool lock) {
  if (lock)
    xmpMutex.lock();
  else
    xmpMutex.unlock();
}

// Once per process, before any thread reads: exiv2's XMP toolkit must be set up by one thread,
// its messages go nowhere (a damaged file is no news to the user), and the ISO base media
// formats (HEIC, AVIF, CR3) are switched on.
void SetUpExiv2() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize(LockXmp, nullptr);
#ifdef EXV_ENABLE_BMFF
    Exiv2::enableBMFF(true);
#endif
  });
}

QString Text(const std::string& value) {
  return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())).trimmed();
}

// The EXIF tags the facts come from, in the order of kExifKeys.
enum ExifTag { kOriginal, kDigitized, kMake, kModel, kLens, kPixelX, kPixelY, kTagCount };
constexpr std::array<const char*, kTagCount> kExifKeys = {"Exif.Photo.DateTimeOriginal",
                                                          "Exif.Photo.DateTimeDigitized",
                                                          "Exif.Image.Make",
                                                          "Exif.Image.Model",
                                                          "Exif.Photo.LensModel",
                                                          "Exif.Photo.PixelXDimension",
                                                          "Exif.Photo.PixelYDimension"};

// The first datum of each of those tags, found in one pass over the EXIF by tag number and IFD
// (which is what a key names) instead of one search comparing key texts for each.
using ExifTags = std::array<const Exiv2::Exifdatum*, kTagCount>;
ExifTags FindExifTags(const Exiv2::ExifData& exif) {
  struct Key {
    uint16_t Tag;
    int Ifd;
  };
  static const std::array<Key, kTagCount> keys = [] {
    std::array<Key, kTagCount> made{};
    for (size_t i = 0; i < kTagCount; ++i) {
      const Exiv2::ExifKey key(kExifKeys[i]);
      made[i] = {key.tag(), key.ifdId()};
    }
    return made;
  }();
  ExifTags found{};
  for (const Exiv2::Exifdatum& datum : exif) {
    const uint16_t tag = datum.tag();
    for (size_t i = 0; i < kTagCount; ++i) {
      if (found[i] == nullptr && keys[i].Tag == tag && keys[i].Ifd == datum.ifdId())
        found[i] = &datum;
    }
  }
  return found;
}

QString ExifText(const Exiv2::Exifdatum* datum) {
  if (datum == nullptr || datum->count() == 0) return {};
  // Text as exiv2 writes it (up to the first NUL), without its stream.
  if (const auto* ascii = dynamic_cast<const Exiv2::AsciiValue*>(&datum->value())) {
    const std::string& value = ascii->value_;
    return Text(value.substr(0, value.find('\0')));
  }
  return Text(datum->toString());
}

QString XmpText(const Exiv2::XmpData& xmp, const char* key) {
  if (xmp.empty()) return {};
  const auto it = xmp.findKey(Exiv2::XmpKey(key));
  return it != xmp.end() && it->count() > 0 ? Text(it->toString()) : QString();
}

int64_t ExifNumber(const Exiv2::Exifdatum* datum) {
  if (datum == nullptr || datum->count() == 0) return 0;
  const int64_t value = datum->toLong();
  return value > 0 ? value : 0;
}

PhotoFacts FactsOf(const Exiv2::ExifData& exif, const Exiv2::XmpData& xmp, int64_t width,
                   int64_t height) {
  const ExifTags tags = FindExifTags(exif);
  PhotoFacts facts;
  for (const ExifTag tag : {kOriginal, kDigitized}) {
    if (!facts.Taken) facts.Taken = ParseMetadataDate(ExifText(tags[tag]));
  }
  for (const char* key :
       {"Xmp.exif.DateTimeOriginal", "Xmp.photoshop.DateCreated", "Xmp.xmp.CreateDate"}) {
    if (!facts.Taken) facts.Taken = ParseMetadataDate(XmpText(xmp, key));
  }
  facts.Make = ExifText(tags[kMake]);
  if (facts.Make.isEmpty()) facts.Make = XmpText(xmp, "Xmp.tiff.Make");
  facts.Model = ExifText(tags[kModel]);
  if (facts.Model.isEmpty()) facts.Model = XmpText(xmp, "Xmp.tiff.Model");
  facts.Lens = ExifText(tags[kLens]);
  if (facts.Lens.isEmpty()) facts.Lens = XmpText(xmp, "Xmp.exifEX.LensModel");
  if (facts.Lens.isEmpty()) facts.Lens = XmpText(xmp, "Xmp.aux.Lens");
  facts.Width = width;
  facts.Height = height;
  if (facts.Width <= 0) facts.Width = ExifNumber(tags[kPixelX]);
  if (facts.Height <= 0) facts.Height = ExifNumber(tags[kPixelY]);
  return facts;
}

// A HEIF image's EXIF and XMP items, decoded by exiv2 as a JPEG's segments are, so that the same
// tags count; the size is the primary image's own.
std::optional<PhotoFacts> HeifFacts(const HeifMetadata& heif) {
  if (heif.State != HeifMetadata::kRead) return std::nullopt;
  Exiv2::ExifData exif;
  Exiv2::XmpData xmp;
  if (!heif.Exif.empty())
    Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(heif.Exif.data()),
                              static_cast<uint32_t>(heif.Exif.size()));
  if (!heif.Xmp.empty() && Exiv2::XmpParser::decode(xmp, heif.Xmp) != 0) xmp.clear();
  return FactsOf(exif, xmp, heif.Width, heif.Height);
}

// A plain JPEG read without exiv2's walk over its segments: only its EXIF segment is decoded
// (exiv2's full read also parses XMP, IPTC, ICC profile and comment) and its size taken from the
// frame header. Segments are skipped by their lengths, so the file is read in one or two
// windows. None when the file is not such a JPEG, holds anything but EXIF in an APP1 segment
// (XMP, whose values stand in for missing EXIF ones), has more than one EXIF segment or frame
// header, or anything at all looks odd before the image data: exiv2 then reads it whole, and
// gives what it gives for it.
class PlainJpeg {
 public:
  explicit PlainJpeg(const RandomAccessFile& file) : file_(file) {}

  std::optional<PhotoFacts> Read() {
    uint8_t start[2];
    if (!Bytes(0, start, 2) || start[0] != 0xFF || start[1] != 0xD8) return std::nullopt;
    int64_t at = 2;
    std::vector<Exiv2::byte> exif;
    bool exifFound = false;
    int frames = 0;
    int64_t width = 0;
    int64_t height = 0;
    for (int segment = 0;; ++segment) {
      uint8_t head[4];
      if (segment == kMaxSegments || !Bytes(at, head, 4) || head[0] != 0xFF) return std::nullopt;
      const uint8_t marker = head[1];
      if (marker == kStartOfScan) break;
      // Fill bytes, markers without a length, a second start, an end before the image data.
      if (marker == 0xFF || marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9))
        return std::nullopt;
      const int64_t length = (int64_t{head[2]} << 8) | head[3];
      if (length < 2 || at + 2 + length > file_.Size()) return std::nullopt;
      if (marker == kApp1) {
        static constexpr char kExifId[6] = {'E', 'x', 'i', 'f', '\0', '\0'};
        char id[6];
        if (exifFound || length < 8 || !Bytes(at + 4, id, 6) || std::memcmp(id, kExifId, 6) != 0)
          return std::nullopt;  // XMP, or EXIF twice
        exif.resize(static_cast<size_t>(length - 8));
        if (!exif.empty() && !Bytes(at + 10, exif.data(), exif.size())) return std::nullopt;
        exifFound = true;
      } else if (marker == kApp13 || (marker == kApp2 && HasId(at, length, "ICC_PROFILE"))) {
        return std::nullopt;  // IPTC or a colour profile, which exiv2 reads and checks too
      } else if (IsFrameHeader(marker)) {
        uint8_t frame[5];  // precision, height, width
        if (++frames > 1 || length < 7 || !Bytes(at + 4, frame, 5)) return std::nullopt;
        height = (int64_t{frame[1]} << 8) | frame[2];
        width = (int64_t{frame[3]} << 8) | frame[4];
        if (height == 0 || width == 0) return std::nullopt;
      }
      at += 2 + length;
    }
    if (frames == 0) return std::nullopt;
    Exiv2::ExifData exifData;
    if (!exif.empty()) {
      const Exiv2::ByteOrder order =
          Exiv2::ExifParser::decode(exifData, exif.data(), static_cast<uint32_t>(exif.size()));
      // As exiv2's own reading does with an EXIF segment it cannot make out.
      if (order == Exiv2::invalidByteOrder) exifData.clear();
    }
    return FactsOf(exifData, Exiv2::XmpData(), width, height);
  }

 private:
  static constexpr uint8_t kStartOfScan = 0xDA;
  static constexpr uint8_t kApp1 = 0xE1;
  static constexpr uint8_t kApp2 = 0xE2;
  static constexpr uint8_t kApp13 = 0xED;
  static constexpr int kMaxSegments = 1024;
  static constexpr size_t kWindow = 16 * 1024;

  // The frame headers that carry the image's size: SOF0-3, 5-7, 9-11 and 13-15 (not DHT, JPG or
  // DAC, which share their range).
  static bool IsFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
  }

  // Whether the segment at `at` of `length` starts with `id` (its NUL included).
  bool HasId(int64_t at, int64_t length, const char* id) {
    const size_t size = std::strlen(id) + 1;
    char found[32];
    return length >= static_cast<int64_t>(size) + 2 && size <= sizeof found &&
           Bytes(at + 4, found, size) && std::memcmp(found, id, size) == 0;
  }

  // `count` bytes at `offset`, from the window (read anew where it does not hold them) or, for
  // more than it holds, straight from the file; false when the file has fewer.
  bool Bytes(int64_t offset, void* out, size_t count) {
    if (offset < 0 || offset + static_cast<int64_t>(count) > file_.Size()) return false;
    if (count > kWindow) return file_.ReadAt(offset, out, count) == static_cast<ssize_t>(count);
    if (offset < windowStart_ ||
        offset + static_cast<int64_t>(count) > windowStart_ + windowLength_) {
      if (window_.empty()) window_.resize(kWindow);
      const ssize_t got = file_.ReadAt(offset, window_.data(), kWindow);
      if (got < static_cast<ssize_t>(count)) {
        windowLength_ = 0;
        return false;
      }
      windowStart_ = offset;
      windowLength_ = got;
    }
    std::memcpy(out, window_.data() + (offset - windowStart_), count);
    return true;
  }

  const RandomAccessFile& file_;
  std::vector<uint8_t> window_;
  int64_t windowStart_ = 0;
  int64_t windowLength_ = 0;
};

}  // namespace

std::optional<PhotoFacts> ReadPhotoFacts(const RandomAccessFile& file, const QString& path,
                                         PhotoRead how) {
  SetUpExiv2();
  try {
    if (how == PhotoRead::Quick) {
      if (std::optional<PhotoFacts> facts = PlainJpeg(file).Read()) return facts;
    }
    Exiv2::BasicIo::AutoPtr io(new ReadOnlyIo(file, path.toStdString()));
    // exiv2's video parsers are left out: a damaged QuickTime header sends 0.27's into a loop
    // that reads four bytes at a time for ever. Movies have a reader of their own.
    switch (Exiv2::ImageFactory::getType(*io)) {
      case Exiv2::ImageType::none:
      case kQuickTimeVideo:
      case kRiffVideo:
      case kMatroskaVideo:
      case kAsfVideo:
        return std::nullopt;
      case Exiv2::ImageType::bmff:
        // HEIC and AVIF are read by our own walk of their boxes; other such files (CR3) and
        // movies stay with exiv2.
        if (const HeifMetadata heif = ReadHeifMetadata(file); heif.State != HeifMetadata::kNotHeif)
          return HeifFacts(heif);
        break;
      default:
        break;
    }
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(io);
    if (image.get() == nullptr) return std::nullopt;
    image->readMetadata();
    return FactsOf(image->exifData(), image->xmpData(), image->pixelWidth(), image->pixelHeight());
  } catch (...) {
    // Unknown formats, damage and exiv2's own limits alike: the file has no values.
    return std::nullopt;
  }
}

std::optional<int64_t> ParseMetadataDate(const QString& text) {
  // Year, month, day, hour, minute, second: digits at fixed places, any separators between.
  static constexpr std::array<std::pair<int, int>, 6> kFields = {
      {{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}}};
  if (text.size() < 10) return std::nullopt;
  std::array<int, 6> values{};
  for (size_t f = 0; f < kFields.size(); ++f) {
    const auto [at, width] = kFields[f];
    if (at + width > text.size()) {
      if (f < 3) return std::nullopt;
      break;  // a date without its time is midnight
    }
    int value = 0;
    for (int i = at; i < at + width; ++i) {
      const QChar c = text[i];
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
      value = value * 10 + (c.unicode() - u'0');
    }
    values[f] = value;
  }
  CalendarParts parts;
  parts.Year = values[0];
  parts.Month = values[1];
  parts.Day = values[2];
  parts.Hour = values[3];
  parts.Minute = values[4];
  parts.Second = values[5];
  if (parts.Year < 1800 || !IsValidCalendarDate(parts) || parts.Hour > 23 || parts.Minute > 59 ||
      parts.Second > 59)
    return std::nullopt;
  return DateFromParts(parts);
}

#pragma GCC diagnostic pop
