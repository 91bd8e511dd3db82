#include "ui/FileListModel.h"

#include "filelist/Loader.h"
#include "texts/TextTables.h"
#include "ui/Icons.h"

#include <algorithm>

FileListModel::FileListModel(FileList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

const FileEntry* FileListModel::EntryAt(int row) const {
  return row >= 0 && static_cast<size_t>(row) < rows_.size() ? rows_[static_cast<size_t>(row)]
                                                             : nullptr;
}

int FileListModel::RowOf(const FileEntry* entry) const {
  const auto found = std::find(rows_.begin(), rows_.end(), entry);
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  const FileEntry* entry = index.isValid() ? EntryAt(index.row()) : nullptr;
  if (entry == nullptr) return QVariant();
  switch (role) {
    case Qt::DecorationRole:
      if (index.column() == kIconColumn) return ExtensionIcon(ExtensionOf(entry->Path));
      return QVariant();
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      switch (index.column()) {
        case kIconColumn:
          // The icon column has no text; a screen reader hears the file's name there.
          return role == Qt::AccessibleTextRole ? entry->Path : QVariant();
        case kDirectoryColumn:
          return entry->Directory;
        case kNameColumn:
          return entry->Name;
        case kExtensionColumn:
          return ExtensionOf(entry->Path);
        default:
          return QVariant();
      }
    default:
      return QVariant();
  }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return QVariant();
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return QVariant();
  switch (section) {
    case kDirectoryColumn:
      return LanguageText(71);
    case kNameColumn:
      return LanguageText(72);
    case kExtensionColumn:
      return LanguageText(73);
    default:
      return QString();
  }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void FileListModel::Reload() {
  beginResetModel();
  rows_.clear();
  rows_.reserve(static_cast<size_t>(list_.Count()));
  totalSize_ = 0;
  for (const FileEntry& entry : list_) {
    rows_.push_back(&entry);
    totalSize_ += entry.Size;
  }
  endResetModel();
}

void FileListModel::Detach() {
  beginResetModel();
  rows_.clear();
  rows_.shrink_to_fit();
  totalSize_ = 0;
  endResetModel();
}

void FileListModel::AppendRows(const std::vector<const FileEntry*>& entries) {
  if (entries.empty()) return;
  const int first = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(entries.size()) - 1);
  rows_.insert(rows_.end(), entries.begin(), entries.end());
  for (const FileEntry* entry : entries) totalSize_ += entry->Size;
  endInsertRows();
}

void FileListModel::RefreshHeaders() {
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}
