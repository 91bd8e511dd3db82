#include "records/FileEntry.h"

#include <QStringView>

namespace {

// The file name without its last extension: a name with no dot, or whose only dot leads,
// is its own stem.
QString Stem(const QString& fileName) {
  const qsizetype dot = fileName.lastIndexOf(u'.');
  return dot <= 0 ? fileName : fileName.left(dot);
}

// Same text, and both null or both not: what comparing two plain fields would keep apart.
bool SameText(const QString& a, const QString& b) {
  return a.isNull() == b.isNull() && a == b;
}

}  // namespace

FileEntry::FileEntry(const FileEntry& other)
    : Id(other.Id),
      Attributes(other.Attributes),
      Detail(other.Detail),
      Status(other.Status),
      Size(other.Size),
      Created(other.Created),
      Modified(other.Modified),
      LastAccess(other.LastAccess),
      CreatedTime(other.CreatedTime),
      ModifiedTime(other.ModifiedTime),
      AccessTime(other.AccessTime),
      Device(other.Device),
      Inode(other.Inode),
      folder_(other.folder_),
      file_(other.file_),
      rare_(other.rare_ ? std::make_unique<Rare>(*other.rare_) : nullptr) {}

const QString FileEntry::Path() const {
  if (folder_.isNull()) return file_;
  if (file_.isNull()) return folder_;
  QString path;
  path.reserve(folder_.size() + file_.size());
  path.append(folder_).append(file_);
  return path;
}

void FileEntry::SetPath(const QString& path) {
  // Directory and Name stay what they were: only the path changes.
  QString directory = Directory();
  QString name = Name();
  const qsizetype slash = path.lastIndexOf(u'/');
  if (slash < 0) {
    folder_ = QString();
    file_ = path;
  } else if (slash + 1 == path.size()) {
    folder_ = path;
    file_ = QString();
  } else {
    folder_ = path.left(slash + 1);
    file_ = path.mid(slash + 1);
  }
  SetDirectory(std::move(directory));
  SetName(std::move(name));
}

void FileEntry::SetLocation(QString folder, QString fileName) {
  folder_ = std::move(folder);
  file_ = std::move(fileName);
  if (rare_) {
    rare_->HasDirectory = rare_->HasName = false;
    rare_->Directory = rare_->Name = QString();
  }
}

void FileEntry::SetDirectory(QString directory) {
  if (SameText(directory, folder_)) {
    if (rare_) {
      rare_->HasDirectory = false;
      rare_->Directory = QString();
    }
    return;
  }
  Rare& rare = TakeRare();
  rare.Directory = std::move(directory);
  rare.HasDirectory = true;
}

const QString FileEntry::Name() const {
  return rare_ && rare_->HasName ? rare_->Name : Stem(file_);
}

void FileEntry::SetName(QString name) {
  if (SameText(name, Stem(file_))) {
    if (rare_) {
      rare_->HasName = false;
      rare_->Name = QString();
    }
    return;
  }
  Rare& rare = TakeRare();
  rare.Name = std::move(name);
  rare.HasName = true;
}

QString FileEntry::PathAfterDirectory() const {
  if ((rare_ && rare_->HasDirectory) || file_.isNull()) return Path().mid(Directory().size());
  return file_;
}
