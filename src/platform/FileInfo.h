#pragma once

#include "platform/FileTime.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

// What a file is, for the loader: only regular files are ever loaded; everything that is not a
// regular file or a directory (FIFO, socket, device) counts as a system file.
enum class FileKind : int8_t { Missing, Regular, Directory, Other };

// The facts the loader needs about one file, links followed.
struct FileFacts {
  FileKind Kind = FileKind::Missing;
  bool IsLink = false;  // the name itself is a symbolic link (known where it was asked)
  // Which file the name stands for, to tell two spellings of one file apart from two files: the
  // device and inode of the file, or of the link itself for a symbolic link (renaming acts on
  // the link, so a link and its target are two entries).
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;
  FileTime Created;  // birth time where the file system reports it, else the modification time
  FileTime Modified;
  FileTime Accessed;
  struct stat Stat {};  // the classic stat fields, for the attribute word
  int Error = 0;        // errno when Kind is Missing
};

// Reads the facts of `path` (file-system bytes), links followed; also tells whether the name is
// a link, with the link's own identity. False when it cannot be read.
bool ReadFileFacts(const char* encodedPath, FileFacts& facts);
// The same for `name` relative to the open directory `dirFd`.
bool ReadFileFactsAt(int dirFd, const char* name, FileFacts& facts);
// Only the facts of the file a link leads to, in one call: for a name the directory listing
// already showed to be a link (the caller sets IsLink and the identity) or a regular file.
bool ReadFollowedFactsAt(int dirFd, const char* name, FileFacts& facts);

// Walks one directory in the order the file system lists it, without "." and "..".
// Opening relative to the parent's descriptor keeps every lookup a single path step.
class DirectoryReader {
 public:
  DirectoryReader() = default;
  ~DirectoryReader();
  DirectoryReader(const DirectoryReader&) = delete;
  DirectoryReader& operator=(const DirectoryReader&) = delete;

  // Opens `name` relative to `parentFd` (AT_FDCWD for a path of its own). 0 or the errno value.
  int Open(int parentFd, const char* name);
  int Fd() const { return fd_; }
  dev_t Device() const { return device_; }
  ino_t Inode() const { return inode_; }

  struct Item {
    std::string_view Name;  // valid until the next call of Next
    unsigned char Type;     // DT_* as the file system reported it (DT_UNKNOWN possible)
    uint64_t Inode;         // of the entry itself (a link's own inode)
  };
  // The next entry; false at the end or on a read error.
  bool Next(Item& item);
  // Gives the descriptor and the buffer back; Open may be called again.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  char* buffer_ = nullptr;
  long used_ = 0;
  long offset_ = 0;
};
