#include "app/ImageStore.h"

#include "texts/PackedData.h"

#include <png.h>

#include <map>

namespace {

// Embedded pictures are icons and small illustrations; anything bigger is damaged data, and
// its claimed size must not decide how much memory we take.
constexpr png_uint_32 kMaxImageSide = 1024;

std::map<int, Image>& Store() {
  static std::map<int, Image> store;
  return store;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, Image* out) {
  if (data == nullptr || size == 0 || out == nullptr) return false;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    png_image_free(&image);
    return false;
  }
  if (image.width == 0 || image.height == 0 || image.width > kMaxImageSide ||
      image.height > kMaxImageSide) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGBA;
  QByteArray pixels(static_cast<qsizetype>(PNG_IMAGE_SIZE(image)), Qt::Uninitialized);
  // finish_read frees the decoder's state in every case.
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return false;
  out->Width = static_cast<int>(image.width);
  out->Height = static_cast<int>(image.height);
  out->Rgba = std::move(pixels);
  return true;
}

bool DecodeEmbeddedImages() {
  auto& store = Store();
  // Images already decoded stay where they are, so pointers handed out earlier remain valid
  // when start-up runs again (a test, or a future re-initialisation).
  for (int number = 1; number <= PackedImageLimit(); ++number) {
    if (store.count(number) != 0) continue;
    const PackedBlob blob = PackedImage(number);
    if (blob.Size == 0) continue;
    Image image;
    if (DecodePng(blob.Data, blob.Size, &image)) store.emplace(number, std::move(image));
  }
  const Image* icon = EmbeddedImage(1);
  return icon != nullptr && icon->Width == 16 && icon->Height == 16;
}

const Image* EmbeddedImage(int number) {
  const auto& store = Store();
  const auto found = store.find(number);
  return found == store.end() ? nullptr : &found->second;
}
