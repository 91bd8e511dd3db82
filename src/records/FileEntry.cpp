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

QExplicitlySharedDataPointer<FileEntry::Folder> FileEntry::SharedFolder(QString text,
                                                                        bool anyAlike) {
  // The entries of one folder are made one after another, on whichever thread reads their
  // facts: each thread keeps the folder block it made last and hands it out again for the very
  // same text (the loader passes one text per folder), a pointer comparison. A text the entry
  // cut from a path itself is fresh, so an equal one does as well; a caller's own text is kept
  // as it is, shared rather than copied.
  thread_local QExplicitlySharedDataPointer<Folder> last;
  if (last) {
    const QString& lastText = last->Text;
    if ((lastText.constData() == text.constData() && lastText.size() == text.size() &&
         lastText.isNull() == text.isNull()) ||
        (anyAlike && SameText(lastText, text)))
      return last;
  }
  last = QExplicitlySharedDataPointer<Folder>(new Folder(std::move(text)));
  return last;
}

void FileEntry::SetFolder(QString text, bool cut) {
  if (text.isNull()) {
    folder_.reset();
    return;
  }
  if (folder_ && folder_->Text.constData() == text.constData() &&
      folder_->Text.size() == text.size())
    return;
  if (cut && folder_ && SameText(folder_->Text, text)) return;
  folder_ = SharedFolder(std::move(text), cut);
}

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
  if (!folder_) return file_;
  const QString& folder = folder_->Text;
  if (file_.isNull()) return folder;
  QString path;
  path.reserve(folder.size() + file_.size());
  path.append(folder).append(file_);
  return path;
}

void FileEntry::SetPath(const QString& path) {
  // Directory and Name stay what they were: only the path changes.
  QString directory = Directory();
  QString name = Name();
  const qsizetype slash = path.lastIndexOf(u'/');
  if (slash < 0) {
    SetFolder(QString(), true);
    file_ = path;
  } else if (slash + 1 == path.size()) {
    SetFolder(path, true);
    file_ = QString();
  } else {
    SetFolder(path.left(slash + 1), true);
    file_ = path.mid(slash + 1);
  }
  SetDirectory(std::move(directory));
  SetName(std::move(name));
}

void FileEntry::SetLocation(QString folder, QString fileName) {
  SetFolder(std::move(folder), false);
  file_ = std::move(fileName);
  if (rare_) {
    rare_->HasDirectory = rare_->HasName = false;
    rare_->Directory = rare_->Name = QString();
  }
}

void FileEntry::SetDirectory(QString directory) {
  if (SameText(directory, PathFolder())) {
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
