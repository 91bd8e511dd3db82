#pragma once

#include "platform/FileTime.h"

#include <QString>

#include <cstdint>

// Reading and writing the times of one file. Paths are QStrings in the lossless file-name form.

// The file's creation time: its birth time where the file system reports it, else its
// modification time. False when the file cannot be read.
bool ReadCreationTime(const QString& path, FileTime& time);

// Writes a creation time where the file system keeps a writable one (NTFS: system.ntfs_crtime;
// SMB shares: user.cifs.creationtime); elsewhere nothing happens, as nothing can.
void WriteCreationTime(const QString& path, const FileTime& time);

// While `keep` is set, WriteCreationTime on this thread asks each folder's file system for its
// kind once rather than for every file (FolderFactsScope in FileOps.h sets it); clearing it
// forgets what was learnt.
void KeepFileSystemKinds(bool keep);

// Writes the access and modification times in one call; a null pointer leaves that time as it
// is. Returns 0 or the errno value.
int WriteAccessAndModificationTimes(const QString& path, const FileTime* access,
                                    const FileTime* modification);

// The clock's current time, whole seconds since the epoch (UTC).
int64_t CurrentUnixTime();
// The same with its nanoseconds.
FileTime CurrentFileTime();
