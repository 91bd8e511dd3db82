#pragma once

#include <cstddef>
#include <cstdint>

// Data packed into the program at build time by tools/pack_texts (a generated source file
// defines these functions). A blob with Size 0 does not exist.
struct PackedBlob {
  const uint8_t* Data = nullptr;
  size_t Size = 0;
};

// The text-table containers: product texts, and the language tables by language index
// (0 German, 1 English; any other index gives an empty blob).
PackedBlob PackedProductTexts();
PackedBlob PackedLanguageTexts(int languageIndex);

// Mervane's own texts, beyond the language table, in one language: Texts[n] is entry n, nullptr
// where the numbering leaves a gap.
struct PackedAdditions {
  const char16_t* const* Texts = nullptr;
  int Count = 0;
};

// The additions of a language index (0 German, 1 English; any other index gives none).
PackedAdditions PackedAdditionTexts(int languageIndex);

// The PNG data of embedded image `number` (1 is the 16 x 16 program icon); empty when the
// program carries no image of that number.
PackedBlob PackedImage(int number);

// The highest image number that may exist, so callers can walk all images.
int PackedImageLimit();
