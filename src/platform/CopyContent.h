#pragma once

#include <sys/stat.h>

#include <cstddef>

// The content of one open file into another, for the copies and moves of FileOps.cpp: the
// steps that read and write bytes, with the failure injection tests use. Not for use outside
// the platform layer.

namespace file_content {

// The devices a copy goes from and to. What a pair of them cannot do (share blocks, copy in
// the kernel, keep extended attributes) is found out by the first copy between them and not
// asked again by the following ones of the same thread. A device of 0 is not known: every
// copy then asks for itself.
struct CopyTarget {
  dev_t From = 0;
  dev_t To = 0;
};

// Writes all of `data` to `fd` (counted by the failure injection): 0 or the errno value.
int WriteAll(int fd, const char* data, size_t size);
// The content of `src` into the empty file `dst`: a reflink where the file system shares
// blocks, else (for a file with holes) its data extents, else an in-kernel copy, else plain
// reads and writes. 0 or the errno value.
int CopyContent(int src, const struct stat& srcStat, int dst, const CopyTarget& devices = {});
// The user.* extended attributes; only running out of space fails the copy. 0 or errno.
int CopyUserXattrs(int src, int dst, const CopyTarget& devices = {});
// Forgets what the copies of this thread found out about the devices they copied between.
void ForgetCopyCapabilities();
// Media that keep no Unix permissions refuse most changes of them.
bool IsMetadataUnsupported(int err);

}  // namespace file_content
