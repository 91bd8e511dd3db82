#include "fileops/ContentReader.h"
#include "fileops/ContentReading.h"
#include "fileops/media/ExifFile.h"
#include "fileops/media/MovieHeader.h"
#include "platform/FileReadAt.h"
#include "platform/LocalTime.h"

#include <array>
#include <cerrno>

// The date taken ("%TY%" holds it for all six of its parts) and the camera placeholders
// "%IK%" make, "%IC%" model, "%IL%" lens, "%IW%" width and "%IH%" height: from a photo's EXIF
// and XMP through exiv2, or for a video without them from its movie header's creation time.

namespace {

constexpr QStringView kTaken = u"%TY%";
constexpr QStringView kMake = u"%IK%";
constexpr QStringView kModel = u"%IC%";
constexpr QStringView kLens = u"%IL%";
constexpr QStringView kWidth = u"%IW%";
constexpr QStringView kHeight = u"%IH%";
constexpr std::array kServes = {kTaken, kMake, kModel, kLens, kWidth, kHeight};

QString Count(int64_t value) {
  return value > 0 ? QString::number(value) : QString();
}

class Reader final : public ContentReader {
 public:
  std::span<const QStringView> Serves() const override { return kServes; }

  // A file that is no photo simply has no date taken or camera: the name falls back.
  bool UnreadableFailsEntry() const override { return false; }

  int Read(const QString& path, ContentFindings& found,
           const std::atomic<int32_t>* stop) const override {
    if (stop != nullptr && stop->load() != 0) return ECANCELED;
    RandomAccessFile file;
    const int error = file.Open(path);
    found.SetAccessTimeKept(file.AccessTimeKept());
    if (error != 0) return error;
    std::optional<int64_t> taken;
    if (const std::optional<PhotoFacts> photo = ReadPhotoFacts(file, path)) {
      taken = photo->Taken;
      found.Found(kMake, CleanContentText(photo->Make));
      found.Found(kModel, CleanContentText(photo->Model));
      found.Found(kLens, CleanContentText(photo->Lens));
      found.Found(kWidth, Count(photo->Width));
      found.Found(kHeight, Count(photo->Height));
    }
    if (!taken && found.Wants(kTaken)) {
      // A video's clock is UTC; the name shows the wall clock where the user is.
      if (const std::optional<int64_t> created = MovieCreationTime(file))
        taken = LocalDateFromUnix(*created);
    }
    if (taken) found.Found(kTaken, QString::number(*taken));
    return 0;
  }
};

}  // namespace

const ContentReader& ImageReader() {
  static const Reader reader;
  return reader;
}
