// The embedded images: the program icon decodes at start-up, and damaged PNG data is refused
// without crashing.

#include "app/ImageStore.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const std::string kIconPath = std::string(MERVANE_SOURCE_DIR) + "/resources/images/icon16.png";

uint8_t Alpha(const Image& image, int x, int y) {
  return static_cast<uint8_t>(image.Rgba[(y * image.Width + x) * 4 + 3]);
}

TEST(ImageStore, ProgramIconDecodesAtStartUp) {
  ASSERT_TRUE(DecodeEmbeddedImages());
  const Image* icon = EmbeddedImage(1);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->Width, 16);
  EXPECT_EQ(icon->Height, 16);
  ASSERT_EQ(icon->Rgba.size(), 16 * 16 * 4);
  // Rounded corners are transparent, the middle is drawn.
  EXPECT_EQ(Alpha(*icon, 0, 0), 0);
  EXPECT_EQ(Alpha(*icon, 15, 15), 0);
  EXPECT_EQ(Alpha(*icon, 8, 8), 255);
  // Decoding again keeps the images where they are.
  ASSERT_TRUE(DecodeEmbeddedImages());
  EXPECT_EQ(EmbeddedImage(1), icon);
  // Image 2 does not exist; numbers outside the store give nothing.
  for (const int number : {-1, 0, 2, 31, 1000}) EXPECT_EQ(EmbeddedImage(number), nullptr);
}

TEST(ImageStore, EmbeddedIconIsTheCommittedFile) {
  const std::string file = ReadFileBytes(kIconPath);
  Image fromFile;
  ASSERT_TRUE(DecodePng(reinterpret_cast<const uint8_t*>(file.data()), file.size(), &fromFile));
  ASSERT_TRUE(DecodeEmbeddedImages());
  EXPECT_EQ(EmbeddedImage(1)->Rgba, fromFile.Rgba);
}

// Pictures 3 to 30 of the window: icons of 32 x 32 and the 68 x 50 download-mark picture.
TEST(ImageStore, WindowPicturesAreCarried) {
  ASSERT_TRUE(DecodeEmbeddedImages());
  for (int number = 3; number <= 30; ++number) {
    const Image* image = EmbeddedImage(number);
    ASSERT_NE(image, nullptr) << number;
    const bool illustration = number == 27;
    EXPECT_EQ(image->Width, illustration ? 68 : 32) << number;
    EXPECT_EQ(image->Height, illustration ? 50 : 32) << number;
    int drawn = 0;
    for (int y = 0; y < image->Height; ++y)
      for (int x = 0; x < image->Width; ++x) drawn += Alpha(*image, x, y) > 0 ? 1 : 0;
    EXPECT_GT(drawn, image->Width * image->Height / 10) << number << " is nearly empty";
  }
}

TEST(ImageStore, EveryTruncatedIconIsRefused) {
  const std::string file = ReadFileBytes(kIconPath);
  ASSERT_GT(file.size(), 8u);
  // The last 12 bytes are the end chunk, which a decoder may not need.
  for (size_t size = 0; size + 12 < file.size(); ++size) {
    const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
    Image image;
    image.Width = -7;
    EXPECT_FALSE(DecodePng(cut.empty() ? nullptr : cut.data(), cut.size(), &image))
        << "cut to " << size << " bytes";
    EXPECT_EQ(image.Width, -7);  // untouched
  }
}

void PutBe(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBe(out, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  PutBe(out, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// A well-formed PNG header that claims the given size, followed by a tiny image stream.
std::vector<uint8_t> PngClaiming(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBe(header, width);
  PutBe(header, height);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  PutChunk(png, "IHDR", header);
  const std::vector<uint8_t> raw(5, 0);
  uLongf size = compressBound(5);
  std::vector<uint8_t> packed(size);
  compress(packed.data(), &size, raw.data(), 5);
  packed.resize(size);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", {});
  return png;
}

TEST(ImageStore, RefusesDataThatIsNoUsablePng) {
  Image image;
  const std::string text = "not a picture";
  EXPECT_FALSE(DecodePng(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &image));
  EXPECT_FALSE(DecodePng(nullptr, 100, &image));
  // A 1 x 1 picture decodes; huge claimed sizes are refused before any memory is taken.
  const std::vector<uint8_t> small = PngClaiming(1, 1);
  ASSERT_TRUE(DecodePng(small.data(), small.size(), &image));
  EXPECT_EQ(image.Width, 1);
  for (const auto& [width, height] : {std::pair{100000u, 100000u}, std::pair{1u, 70000u}}) {
    const std::vector<uint8_t> huge = PngClaiming(width, height);
    Image refused;
    EXPECT_FALSE(DecodePng(huge.data(), huge.size(), &refused)) << width << " x " << height;
  }
  // Damage inside the image data is reported, not passed on as a picture.
  std::vector<uint8_t> damaged = small;
  damaged[damaged.size() - 20] ^= 0xFF;
  EXPECT_FALSE(DecodePng(damaged.data(), damaged.size(), &image));
}

}  // namespace
