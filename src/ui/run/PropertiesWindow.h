#pragma once

#include "platform/FileTime.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>

class QLineEdit;

// What the properties window shows of one file, read through the platform layer.
struct FileProperties {
  bool Readable = false;  // false: the file is gone or cannot be read; nothing else is set
  QString Name;           // with its extension
  QString Folder;         // with a final "/"
  int64_t Size = 0;
  FileTime Created;  // birth time where the file system keeps one, else the modification time
  FileTime Modified;
  FileTime Accessed;
  int32_t Mode = 0;        // the permission bits (07777)
  int32_t Attributes = 0;  // the attribute word (read-only, hidden, archive, not indexed...)
  bool ZoneMark = false;   // a download mark is present
};
FileProperties ReadFileProperties(const QString& path);

// The permission bits as "ls" writes them, with the octal form: "rw-r--r-- (644)".
QString PermissionText(int32_t mode);

// Mervane's own properties window, for a desktop whose file manager offers none: the name,
// the folder, the size, the three dates, the permissions, the four attributes of the
// attribute page and whether a download mark is present, each in a read-only field that can
// be selected and copied.
class PropertiesWindow : public QDialog {
  Q_OBJECT

 public:
  enum Row {
    kNameRow, kFolderRow, kSizeRow, kCreatedRow, kModifiedRow, kAccessedRow, kPermissionsRow,
    kHiddenRow, kReadOnlyRow, kArchiveRow, kNotIndexedRow, kZoneMarkRow, kRowCount
  };

  explicit PropertiesWindow(const QString& path, QWidget* parent = nullptr);

  QLineEdit* Field(Row row) const { return fields_[row]; }
  bool Readable() const { return readable_; }

 private:
  bool readable_ = false;
  std::array<QLineEdit*, kRowCount> fields_{};
};

// Shows the properties of `path`: through the desktop's file manager (D-Bus
// org.freedesktop.FileManager1.ShowItemProperties) when one offers it, else in a
// PropertiesWindow over `owner`, which stays open while the user goes on. Never waits.
bool ShowFileProperties(const QString& path, QWidget* owner);
