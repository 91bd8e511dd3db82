#pragma once

#include "platform/PrivateFolder.h"

#include <QString>

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// A file that only grows, for records that must be on disk before what they announce happens.
// Every write goes to the end; Sync makes what was written durable (data and size), so that
// after a crash or a power cut the file reads back at least up to the last sync. The file lives
// in a PrivateFolder and is opened relative to it; a lock on the file keeps two processes from
// working with it at once, whatever else they share.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Creates the new file `name` in `folder` for the owner alone, locked for this process
  // (exclusively), and syncs the folder, so that the new name survives a crash together with
  // the file's first sync. EEXIST when the name is taken. 0 or the errno value.
  int Create(const PrivateFolder& folder, const QString& name);

  // Opens the existing file `name` in `folder`, for reading and, with `writable`, for adding to
  // it. It must count as the user's own (see PrivateFolder.h): the result says why it does not.
  TrustCheck Open(const PrivateFolder& folder, const QString& name, bool writable);

  enum class LockKind : int8_t { Shared, Exclusive };
  // Takes the lock without waiting: 0, EWOULDBLOCK when another open of the file holds it in a
  // way that excludes this one, or another errno value.
  int TryLock(LockKind kind);

  // Reads up to `size` bytes at `offset`: the number read (less only at the end), or -errno.
  ssize_t ReadAt(int64_t offset, char* buffer, size_t size) const;
  // Cuts the file to `length` bytes when it is longer. 0 or the errno value.
  int CutTo(int64_t length);

  // Writes all of `data`, or nothing: a write that fails halfway is cut off again, so that the
  // file never ends in part of a record. 0 or the errno value (ENOSPC for a write that cannot
  // go on).
  int Append(const char* data, size_t size);
  // fdatasync: 0 or the errno value.
  int Sync();
  // 0, or the errno of closing (which may report a write that failed late). The lock goes with
  // the file.
  int Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};
