#include "fileops/ContentReader.h"
#include "fileops/ContentReading.h"
#include "platform/FileReadAt.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tiostream.h>

#include <algorithm>
#include <array>
#include <cerrno>

// The audio placeholders "%AA%" artist, "%AB%" album, "%AT%" title, "%AN%" track number,
// "%AY%" year and "%AG%" genre, from the tags TagLib reads (ID3, Vorbis comments, FLAC, Opus,
// MP4, APE, WAV, AIFF).

namespace {

constexpr QStringView kArtist = u"%AA%";
constexpr QStringView kAlbum = u"%AB%";
constexpr QStringView kTitle = u"%AT%";
constexpr QStringView kTrack = u"%AN%";
constexpr QStringView kYear = u"%AY%";
constexpr QStringView kGenre = u"%AG%";
constexpr std::array kServes = {kArtist, kAlbum, kTitle, kTrack, kYear, kGenre};

// TagLib's reading over a file Mervane opened itself; every write is refused.
class ReadOnlyStream final : public TagLib::IOStream {
 public:
  ReadOnlyStream(const RandomAccessFile& file, QByteArray name)
      : file_(file), name_(std::move(name)) {}

  TagLib::FileName name() const override { return name_.constData(); }
  TagLib::ByteVector readBlock(unsigned long length) override {
    // A damaged length must not become a huge allocation: never more than the file holds.
    const int64_t left = std::max<int64_t>(0, file_.Size() - position_);
    const auto wanted = static_cast<unsigned int>(std::min<int64_t>(
        std::min<int64_t>(static_cast<int64_t>(length), left), 0x7fffffff));
    TagLib::ByteVector block(wanted, '\0');
    const ssize_t got = file_.ReadAt(position_, block.data(), wanted);
    if (got <= 0) return {};
    position_ += got;
    block.resize(static_cast<unsigned int>(got));
    return block;
  }
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return true; }
  void seek(long offset, Position from) override {
    int64_t base = 0;
    if (from == Current) base = position_;
    if (from == End) base = file_.Size();
    position_ = std::max<int64_t>(0, base + offset);
  }
  long tell() const override { return static_cast<long>(position_); }
  long length() override { return static_cast<long>(file_.Size()); }
  void truncate(long) override {}

 private:
  const RandomAccessFile& file_;
  QByteArray name_;
  int64_t position_ = 0;
};

QString Text(const TagLib::String& value) {
  return CleanContentText(QString::fromStdString(value.to8Bit(true)));
}

QString Number(unsigned int value) {
  return value > 0 ? QString::number(value) : QString();
}

class Reader final : public ContentReader {
 public:
  std::span<const QStringView> Serves() const override { return kServes; }

  bool UnreadableFailsEntry() const override { return false; }

  int Read(const QString& path, ContentFindings& found,
           const std::atomic<int32_t>* stop) const override {
    if (stop != nullptr && stop->load() != 0) return ECANCELED;
    RandomAccessFile file;
    const int error = file.Open(path);
    found.SetAccessTimeKept(file.AccessTimeKept());
    if (error != 0) return error;
    try {
      // The name only tells TagLib the format to try first; the content decides.
      ReadOnlyStream stream(file, path.toUtf8());
      const TagLib::FileRef ref(&stream, false);
      const TagLib::Tag* tag = ref.isNull() ? nullptr : ref.tag();
      if (tag == nullptr) return 0;
      found.Found(kArtist, Text(tag->artist()));
      found.Found(kAlbum, Text(tag->album()));
      found.Found(kTitle, Text(tag->title()));
      found.Found(kTrack, Number(tag->track()));
      found.Found(kYear, Number(tag->year()));
      found.Found(kGenre, Text(tag->genre()));
    } catch (...) {
      // Damage TagLib gives up on: the file has no tags.
    }
    return 0;
  }
};

}  // namespace

const ContentReader& AudioTagReader() {
  static const Reader reader;
  return reader;
}
