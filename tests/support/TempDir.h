#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// A temporary folder that is removed with everything in it when the object goes out of scope.
// Paths are handled as raw bytes so that tests can create names that are not UTF-8.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, with a final "/".
  const QString& Path() const { return path_; }
  std::string Bytes() const { return bytes_; }

  // Creates a file (and its missing parent folders) below the folder; returns its full path.
  std::string WriteFile(const std::string& relative, const std::string& content = {}) const;
  std::string MakeDir(const std::string& relative) const;

 private:
  std::string bytes_;
  QString path_;
};

// Reads a whole file; an empty string when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool PathExists(const std::string& path);
