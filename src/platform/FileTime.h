#pragma once

#include <cstdint>

// A file's recorded time with its full resolution, kept so that a time written back unchanged
// does not lose its sub-second part.
struct FileTime {
  int64_t Seconds = 0;
  int64_t Nanoseconds = 0;
  bool operator==(const FileTime&) const = default;
};
