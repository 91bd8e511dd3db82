#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// A decoded picture: Width x Height pixels, 4 bytes each (red, green, blue, alpha, not
// premultiplied), rows top to bottom without padding.
struct Image {
  int Width = 0;
  int Height = 0;
  QByteArray Rgba;
};

// Decodes PNG data into `out`. Fails (leaving `out` untouched) on data that is not a complete,
// valid PNG or whose picture is larger than the program ever carries.
bool DecodePng(const uint8_t* data, size_t size, Image* out);

// Decodes every image carried in the program into the image store. Called once at start-up on
// the main thread; afterwards the store is only read. True when image 1, the 16 x 16 program
// icon, is available.
bool DecodeEmbeddedImages();

// The decoded image `number`, or nullptr when there is none (not decoded yet, not carried, or
// its data could not be decoded).
const Image* EmbeddedImage(int number);
