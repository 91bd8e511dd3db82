#include "fileops/Checksums.h"
#include "fileops/ContentReader.h"

#include <array>
#include <cerrno>

// "%CC%" "%CM%" "%CS%": CRC-32, MD5 and SHA-1 of the whole content, from one read of the file.

namespace {

constexpr QStringView kCrc32 = u"%CC%";
constexpr QStringView kMd5 = u"%CM%";
constexpr QStringView kSha1 = u"%CS%";
constexpr std::array kServes = {kCrc32, kMd5, kSha1};

class Reader final : public ContentReader {
 public:
  std::span<const QStringView> Serves() const override { return kServes; }

  // A name asked to carry the checksum must not be made without it.
  bool UnreadableFailsEntry() const override { return true; }

  bool ReadsWholeFile() const override { return true; }

  int Read(const QString& path, ContentFindings& found,
           const std::atomic<int32_t>* stop) const override {
    const bool crc = found.Wants(kCrc32);
    const bool md5 = found.Wants(kMd5);
    const bool sha1 = found.Wants(kSha1);
    const ChecksumResult sums = ComputeChecksums(path, crc, md5, sha1, stop);
    found.SetAccessTimeKept(sums.AccessTimeKept);
    if (!sums.Ok) return sums.Error != 0 ? sums.Error : EIO;
    if (crc) found.Found(kCrc32, sums.Crc32);
    if (md5) found.Found(kMd5, sums.Md5);
    if (sha1) found.Found(kSha1, sums.Sha1);
    return 0;
  }
};

}  // namespace

const ContentReader& ChecksumReader() {
  static const Reader reader;
  return reader;
}
