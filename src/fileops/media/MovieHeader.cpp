#include "fileops/media/MovieHeader.h"

#include <array>
#include <cstring>

namespace {

// Seconds from 1904-01-01 (the movie clock's start) to 1970-01-01.
constexpr int64_t kMovieEpochOffset = 2082844800;
// More boxes than any real file holds before its movie header.
constexpr int kMaxBoxes = 4096;

uint32_t Big32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint64_t Big64(const unsigned char* p) {
  return (uint64_t{Big32(p)} << 32) | Big32(p + 4);
}

struct Box {
  char Type[4] = {};
  int64_t Body = 0;  // where its content begins
  int64_t End = 0;   // one past its last byte
};

// The box that begins at `at`, within [at, limit); none when it does not fit.
std::optional<Box> BoxAt(const RandomAccessFile& file, int64_t at, int64_t limit) {
  unsigned char head[16];
  if (limit - at < 8 || file.ReadAt(at, head, 8) != 8) return std::nullopt;
  Box box;
  std::memcpy(box.Type, head + 4, 4);
  uint64_t size = Big32(head);
  box.Body = at + 8;
  if (size == 1) {
    if (limit - at < 16 || file.ReadAt(at + 8, head + 8, 8) != 8) return std::nullopt;
    size = Big64(head + 8);
    box.Body = at + 16;
  } else if (size == 0) {
    size = static_cast<uint64_t>(limit - at);  // up to the end
  }
  if (size < static_cast<uint64_t>(box.Body - at) || size > static_cast<uint64_t>(limit - at))
    return std::nullopt;
  box.End = at + static_cast<int64_t>(size);
  return box;
}

// The first box of type `type` among the boxes in [from, limit).
std::optional<Box> FindBox(const RandomAccessFile& file, int64_t from, int64_t limit,
                           const char* type, int& budget) {
  for (int64_t at = from; at < limit && budget-- > 0;) {
    const std::optional<Box> box = BoxAt(file, at, limit);
    if (!box) return std::nullopt;
    if (std::memcmp(box->Type, type, 4) == 0) return box;
    if (box->End <= at) return std::nullopt;
    at = box->End;
  }
  return std::nullopt;
}

// Whether the file opens as a movie: an "ftyp" box, or (older QuickTime files) one of the
// boxes such a file begins with.
bool OpensAsMovie(const RandomAccessFile& file) {
  unsigned char head[8];
  if (file.ReadAt(0, head, 8) != 8) return false;
  static constexpr std::array<const char*, 6> kOpeners = {"ftyp", "moov", "mdat",
                                                          "wide", "free", "skip"};
  for (const char* opener : kOpeners) {
    if (std::memcmp(head + 4, opener, 4) == 0) return true;
  }
  return false;
}

}  // namespace

std::optional<int64_t> MovieCreationTime(const RandomAccessFile& file) {
  const int64_t size = file.Size();
  if (size < 16 || !OpensAsMovie(file)) return std::nullopt;
  int budget = kMaxBoxes;
  const std::optional<Box> movie = FindBox(file, 0, size, "moov", budget);
  if (!movie) return std::nullopt;
  const std::optional<Box> header = FindBox(file, movie->Body, movie->End, "mvhd", budget);
  if (!header) return std::nullopt;
  // Version and flags, then the creation time: 32 bits in version 0, 64 in version 1.
  unsigned char body[12];
  const int64_t length = header->End - header->Body;
  if (length < 8 || file.ReadAt(header->Body, body, 12) < 8) return std::nullopt;
  uint64_t created = 0;
  if (body[0] == 0) {
    created = Big32(body + 4);
  } else if (body[0] == 1) {
    if (length < 12) return std::nullopt;
    created = Big64(body + 4);
  } else {
    return std::nullopt;
  }
  // 0 is "not set"; anything past the year 9999 is damage.
  constexpr uint64_t kLatest = 253402300799ULL + kMovieEpochOffset;
  if (created == 0 || created > kLatest) return std::nullopt;
  return static_cast<int64_t>(created) - kMovieEpochOffset;
}
