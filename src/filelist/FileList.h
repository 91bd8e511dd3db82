#pragma once

#include "filelist/FileEntry.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <vector>

// An ordered list of loaded files with a current-entry cursor. Paths and ids are indexed, so
// the duplicate test of admission and the lookup of a row's entry cost constant time.
class FileList {
 public:
  qsizetype Count() const { return static_cast<qsizetype>(entries_.size()); }
  bool IsEmpty() const { return entries_.empty(); }

  // 0-based position in list order.
  FileEntry& At(qsizetype pos) { return entries_[static_cast<size_t>(pos)]; }
  const FileEntry& At(qsizetype pos) const { return entries_[static_cast<size_t>(pos)]; }

  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  // Appends the entry (its Id and Path must be set) and makes it the current entry.
  FileEntry& Append(FileEntry entry);

  // Exact, case-sensitive comparison of paths.
  bool ContainsPath(const QString& path) const { return paths_.contains(path); }
  FileEntry* FindById(int32_t id);
  const FileEntry* FindById(int32_t id) const;
  bool RemoveById(int32_t id);
  void Clear();

  // The current-entry cursor (-1: none).
  qsizetype Current = -1;

 private:
  std::vector<FileEntry> entries_;
  QHash<QString, int32_t> paths_;  // Path -> Id
};
