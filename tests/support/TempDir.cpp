#include "support/TempDir.h"

#include "platform/FileName.h"

#include <QDir>

#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace {

void MakeParents(const std::string& path) {
  for (size_t pos = 1; (pos = path.find('/', pos)) != std::string::npos; ++pos)
    ::mkdir(path.substr(0, pos).c_str(), 0755);
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
  // Tests may leave read-only folders behind; make them writable so that they can be removed.
  ::chmod(path, 0755);
  return ::remove(path);
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = QDir::tempPath().toStdString() + "/mervane-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  bytes_ = pattern + "/";
  path_ = DecodeFileName(bytes_);
}

TempDir::~TempDir() {
  // Depth-first so that every folder is empty when it is removed.
  ::nftw(bytes_.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

std::string TempDir::WriteFile(const std::string& relative, const std::string& content) const {
  const std::string full = bytes_ + relative;
  MakeParents(full);
  const int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + full);
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return full;
}

std::string TempDir::MakeDir(const std::string& relative) const {
  std::string full = bytes_ + relative;
  if (full.back() != '/') full += '/';
  MakeParents(full);
  return full;
}

std::string ReadFileBytes(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return {};
  std::string out;
  char buf[65536];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  ::close(fd);
  return out;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}
