#pragma once

#include "filelist/FileList.h"
#include "fileops/NewNamePlan.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <vector>

// The loaded-file list as the window shows it: one row per entry of a FileList, never one
// widget item per file. The view asks only for the rows on screen.
//
// Entries are kept as pointers to the list's entries, in list order. A FileList keeps its
// entries in place while entries are appended, so a pointer stays valid until an entry is
// removed or the list is reordered or cleared; every such change is made by the window, which
// then calls Reload(). While the loader appends on its own thread, the model never touches the
// FileList itself: it only reads the entries the loader has handed over (AppendRows), which
// nobody changes any more (see FileLoader).
//
// With a plan of the new names (SetPlan), the rows follow the order the run will take the
// entries in (the sort of the task), and may be narrowed to the entries with a problem. A row is
// then not a list position: EntryAt and ListPosition translate.
class FileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    // What a renamer's user reads first comes first: the name and the new one.
    kIconColumn,
    kNameColumn,
    kNewNameColumn,
    kNewFolderColumn,  // shown while the task copies or moves into a target folder
    kDirectoryColumn,
    kExtensionColumn,
    kSizeColumn,
    kDateColumn,  // the date the file was last modified
    kColumnCount
  };

  explicit FileListModel(FileList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The entry of a row; nullptr for a row that is not there.
  const FileEntry* EntryAt(int row) const;
  // The number of entries (all of them, also those a narrowed view does not show).
  int RowCount() const { return static_cast<int>(entries_.size()); }
  // The row that shows an entry, -1 when none does.
  int RowOf(const FileEntry* entry) const;
  // The entry's position in the list, -1 when it is not there.
  int ListPosition(const FileEntry* entry) const;
  // The sum of the sizes of all entries.
  int64_t TotalSize() const { return totalSize_; }

  // Rebuilds every row from the list, and drops the plan (it may no longer fit). Only while no
  // other thread changes the list.
  void Reload();
  // Shows no rows until the next Reload: the list belongs to another thread meanwhile.
  void Detach();
  // Appends the rows of entries the loader has just appended to the list, in their order.
  void AppendRows(const std::vector<const FileEntry*>& entries);
  // The column captions follow the language.
  void RefreshHeaders();

  // The plan the new-name columns show (null: none). Its rows are list positions; it must have
  // been made from this list as it is now, or before entries were appended.
  void SetPlan(std::shared_ptr<const NewNamePlan> plan);
  const NewNamePlan* Plan() const { return plan_.get(); }
  // Shows only the entries with a problem.
  void SetOnlyProblems(bool only);
  bool OnlyProblems() const { return onlyProblems_; }

  // Item roles beyond Qt's.
  enum Role {
    ProblemRole = Qt::UserRole + 1,  // the entry's NameProblem as int (new-name column)
    FilteredOutRole,                 // bool: the filter takes the entry out
    NameUnchangedRole,               // bool: the new file name is the old one
    // The part of the new file name that differs from the old one, as QPoint(start, length)
    // into the new name's text (new-name column; absent when nothing differs or no name).
    ChangedPartRole,
  };

 signals:
  // The list goes to another thread (Detach), before anything else happens.
  void Detaching();
  // The rows were rebuilt from the list (Reload).
  void Reloaded();

 private:
  qsizetype PositionOfRow(int row) const;
  // Which list positions the rows show now; null when it is simply the list.
  const std::vector<uint32_t>* Display() const { return display_; }
  void UpdateDisplay();
  void BuildDisplay();
  QVariant NewNameData(qsizetype pos, const FileEntry& entry, int column, int role) const;

  FileList& list_;
  std::vector<const FileEntry*> entries_;  // in list order
  int64_t totalSize_ = 0;
  bool attached_ = true;
  bool resetting_ = false;

  std::shared_ptr<const NewNamePlan> plan_;
  bool onlyProblems_ = false;
  // The rows' positions: the plan's own order when it covers every entry, else built.
  const std::vector<uint32_t>* display_ = nullptr;
  std::vector<uint32_t> built_;
};
