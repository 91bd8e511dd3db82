#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// A file that only grows, for records that must be on disk before what they announce happens.
// Every write goes to the end; Sync makes what was written durable (data and size), so that
// after a crash or a power cut the file reads back at least up to the last sync.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Creates a new file for the owner alone; EEXIST when the name is taken. The folder is synced
  // as well, so that the new name survives a crash together with the file's first sync.
  // 0 or the errno value.
  int Create(const QString& path);
  // Opens an existing file to add to it, first cutting it to `length` bytes when it is longer
  // (what follows its last complete record would hide everything added after it). 0 or the
  // errno value.
  int Open(const QString& path, int64_t length);

  // Writes all of `data`, or nothing: a write that fails halfway is cut off again, so that the
  // file never ends in part of a record. 0 or the errno value (ENOSPC for a write that cannot
  // go on).
  int Append(const char* data, size_t size);
  // fdatasync: 0 or the errno value.
  int Sync();
  // 0, or the errno of closing (which may report a write that failed late).
  int Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Syncs a folder, so that names created or removed in it are durable. 0 or the errno value.
int SyncFolder(const QString& folder);
