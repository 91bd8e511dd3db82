#pragma once

#include "platform/FileReadAt.h"

#include <QString>

#include <cstdint>
#include <optional>

// What a photo's metadata (EXIF, XMP) says, as read with exiv2 from an open file. Only the
// metadata is read: exiv2 walks the file's segments or boxes and stops before the pixels (for
// HEIC and AVIF our own walk finds the items, fileops/media/HeifExif.h, and exiv2 decodes them).
struct PhotoFacts {
  // Date taken as a local date value (platform/LocalTime.h): DateTimeOriginal, else
  // DateTimeDigitized, else the XMP creation date. None when the file names no valid one.
  std::optional<int64_t> Taken;
  QString Make;
  QString Model;
  QString Lens;
  int64_t Width = 0;  // pixels; 0 when not known
  int64_t Height = 0;
};

// How a photo is read: Quick takes a plain JPEG's EXIF segment alone where that gives the same
// values as exiv2's full read (Whole), which reads every other file.
enum class PhotoRead { Quick, Whole };

// None when exiv2 does not know the file's format or cannot make it out (damaged, truncated,
// hostile): such a file has no values, and reading it never throws.
std::optional<PhotoFacts> ReadPhotoFacts(const RandomAccessFile& file, const QString& path,
                                         PhotoRead how = PhotoRead::Quick);

// "2023:07:14 09:30:05" (EXIF) or "2023-07-14T09:30:05+02:00" (XMP, the offset ignored: the
// date taken is the camera's wall clock) as a local date value; none for anything else, for
// blanks and for dates that are not in the calendar.
std::optional<int64_t> ParseMetadataDate(const QString& text);
