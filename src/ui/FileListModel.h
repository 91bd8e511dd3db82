#pragma once

#include "filelist/FileList.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

// The loaded-file list as the window shows it: one row per entry of a FileList, never one
// widget item per file. The view asks only for the rows on screen.
//
// Rows are kept as pointers to the list's entries. A FileList keeps its entries in place while
// entries are appended, so a pointer stays valid until an entry is removed or the list is
// reordered or cleared; every such change is made by the window, which then calls Reload().
// While the loader appends on its own thread, the model never touches the FileList itself: it
// only reads the entries the loader has handed over (AppendRows), which nobody changes any
// more (see FileLoader).
class FileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kIconColumn, kDirectoryColumn, kNameColumn, kExtensionColumn, kColumnCount };

  explicit FileListModel(FileList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The entry of a row; nullptr for a row that is not there.
  const FileEntry* EntryAt(int row) const;
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // The row of an entry, -1 when it has none; rows are the list's positions.
  int RowOf(const FileEntry* entry) const;
  // The sum of the sizes of all rows.
  int64_t TotalSize() const { return totalSize_; }

  // Rebuilds every row from the list. Only while no other thread changes the list.
  void Reload();
  // Shows no rows until the next Reload: the list belongs to another thread meanwhile.
  void Detach();
  // Appends the rows of entries the loader has just appended to the list, in their order.
  void AppendRows(const std::vector<const FileEntry*>& entries);
  // The column captions follow the language.
  void RefreshHeaders();

 private:
  FileList& list_;
  std::vector<const FileEntry*> rows_;
  int64_t totalSize_ = 0;
};
