#include "fileops/ContentReader.h"

#include "platform/FileRead.h"

// "%FB%": the file's first byte in two upper-case hex digits; an empty file has none.

namespace {

constexpr QStringView kFirstByte = u"%FB%";
constexpr std::array kServes = {kFirstByte};

class Reader final : public ContentReader {
 public:
  std::span<const QStringView> Serves() const override { return kServes; }
  bool UnreadableFailsEntry() const override { return false; }

  int Read(const QString& path, ContentFindings& found,
           const std::atomic<int32_t>*) const override {
    SequentialFile file;
    if (const int error = file.Open(path); error != 0) return error;
    found.SetAccessTimeKept(file.AccessTimeKept());
    char byte = 0;
    const ssize_t n = file.Read(&byte, 1);
    if (n < 0) return static_cast<int>(-n);
    if (n == 1) found.Found(kFirstByte, QString::fromLatin1(QByteArray(1, byte).toHex().toUpper()));
    return 0;
  }
};

}  // namespace

const ContentReader& FirstByteReader() {
  static const Reader reader;
  return reader;
}
