#pragma once

#include <QString>

#include <sys/types.h>
#include <cstddef>
#include <cstdint>

// Reading one regular file from start to end, as checksums do. Opening a FIFO or device never
// blocks, and such a file is refused; the read does not change the file's access time where
// the system allows (it does not for files of other users).
class SequentialFile {
 public:
  SequentialFile() = default;
  ~SequentialFile();
  SequentialFile(const SequentialFile&) = delete;
  SequentialFile& operator=(const SequentialFile&) = delete;

  // 0 or the errno value (EISDIR for a folder, EINVAL for anything but a regular file).
  int Open(const QString& path);
  // Fills `buffer` as far as the file goes: the number of bytes read (less than `size` only at
  // the end), or -errno.
  ssize_t Read(char* buffer, size_t size);
  bool AccessTimeKept() const { return accessTimeKept_; }
  // The size the file had when it was opened.
  int64_t Size() const { return size_; }

 private:
  int fd_ = -1;
  bool accessTimeKept_ = false;
  int64_t size_ = 0;
};
