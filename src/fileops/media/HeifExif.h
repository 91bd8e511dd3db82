#pragma once

#include "platform/FileReadAt.h"

#include <cstdint>
#include <string>

// What a HEIF image (HEIC, AVIF) keeps beside its pixels: the EXIF and XMP items of its
// primary image and that image's size. The file's boxes are walked here rather than by exiv2,
// whose 0.27 reader makes out the item locations of only some encoders (libheif's not among
// them) and takes the first size property in the file for the picture's (a tile's size, in the
// grid images phones write).
struct HeifMetadata {
  enum Status {
    kNotHeif,     // the type box names none of the HEIF image brands: not ours to read
    kUnreadable,  // a HEIF file whose metadata box is damaged, cut short or beyond the limits
    kRead,
  };
  Status State = kNotHeif;
  std::string Exif;   // the TIFF block (from its byte order mark on); empty when none
  std::string Xmp;    // the XMP packet; empty when none
  int64_t Width = 0;  // the primary image's size in pixels; 0 when not known
  int64_t Height = 0;
};

// Reads the box headers, the metadata box (at most 1 MiB) and the two items (at most 1 MiB
// each), nothing else. Every size is checked against its box and the file, every list is
// counted: a damaged or hostile file ends as kUnreadable or with the items it could make out.
HeifMetadata ReadHeifMetadata(const RandomAccessFile& file);
