#pragma once

#include <QString>

#include <sys/types.h>
#include <cstddef>
#include <cstdint>

// Reading parts of one regular file at any offset, as the readers of what is inside a photo,
// song or video do: they read its headers, never the whole file. Opening a FIFO or device never
// blocks, and such a file is refused; the read leaves the access time alone where the system
// allows (it does not for files of other users).
class RandomAccessFile {
 public:
  RandomAccessFile() = default;
  ~RandomAccessFile();
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;

  // 0 or the errno value (EISDIR for a folder, EINVAL for anything but a regular file).
  int Open(const QString& path);
  // Up to `size` bytes from `offset`: the number read (fewer only at the end), or -errno.
  ssize_t ReadAt(int64_t offset, void* buffer, size_t size) const;
  // The size at opening.
  int64_t Size() const { return size_; }
  int Descriptor() const { return fd_; }
  bool AccessTimeKept() const { return accessTimeKept_; }

 private:
  int fd_ = -1;
  int64_t size_ = 0;
  bool accessTimeKept_ = false;
};
