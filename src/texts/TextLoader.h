#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>

// Text-table containers ("ISTF" blocks): a 16-byte little-endian header
//   0 magic "ISTF", 4 version (uint16, 1), 6 enciphered flag, 7 compressed flag,
//   8 stored size (uint32, >= 1), 12 unpacked size (uint32, >= 4)
// followed by the stored bytes. Unpacked, the data is a run of records: 0xFF, a uint16 byte
// length L (even), then L bytes of UTF-16LE text. Records hold entries 0, 1, 2, ... in order.
inline constexpr size_t kTableHeaderSize = 16;
inline constexpr uint16_t kTableVersion = 1;

// Fills target[0..expectedCount-1] from one container. Succeeds only when exactly
// expectedCount entries were read; entries stored before a failure stay in target. Never reads
// outside [block, block + blockSize). Enciphered containers are refused: Mervane ships its
// tables plain, so such a block cannot come from this build. key is accepted for the
// container interface and not used otherwise.
bool UnpackTable(const uint8_t* block, size_t blockSize, QByteArrayView key, QString* target,
                 int expectedCount);

// Fills ProductTexts (56 entries) from the container built into the program.
bool LoadProductTexts();

// Fills LanguageTable (371 entries) with the table of languageIndex: 0 German, 1 English.
// Any other index fails and leaves the table as it was.
bool LoadLanguageTable(int languageIndex);

// Numbers of the product texts that code refers to by role.
enum ProductTextEntry : int {
  kProductName = 0,          // display name
  kProductDescription = 1,   // one-line description of the program
  kProductFileName = 2,      // the name as used in file and folder names
  kProductVersionLine = 3,   // "Version ..." line of the information window
  kProductVersion = 4,       // version text; also read as a number for settings headers
  kProductReleaseYear = 5,   // year of this release
  kProductTitleSuffix = 6,   // suffix of window and console titles
  kProductMaker = 7,         // who makes the program
  kProductCopyright = 8,     // copyright line
  kProductLicence = 9,       // licence line
  kProductWebsite = 10,      // web address
  kProductEmail = 11,        // e-mail address
  kProductSourceCode = 12,   // where the source code lives
  kProductBannerLine1 = 13,  // first information line of the console banner
  kProductBannerLine2 = 14,  // second information line of the console banner
};
