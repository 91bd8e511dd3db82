#pragma once

#include "naming/PlaceholderTable.h"

#include <QString>
#include <QStringView>

#include <atomic>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

// Readers of the values that content placeholders take from inside a file (the checksums,
// for one). The batch reads them right before it plans an entry, the new-name column on a worker
// thread for the files on screen; both go through ReadContent (fileops/ContentReading.h).
//
// A reader is a file src/fileops/readers/NAME.cpp that defines `const ContentReader& NAME()`;
// the build lists every such file (cmake/ContentReaders.cmake), so adding one needs no list
// kept by hand. Its placeholders are rows of the placeholder table, family Content.

// What one reader is asked for in one file, and what it found there.
class ContentFindings {
 public:
  explicit ContentFindings(const PlaceholderSet& wanted) : wanted_(wanted) {}

  // Whether the placeholder written `code` is asked for.
  bool Wants(QStringView code) const { return wanted_.Has(PlaceholderId(code)); }
  // Its value in this file. A code not asked for is ignored; one asked for and never found has
  // no value (it expands to the empty text).
  void Found(QStringView code, QString value);
  // Whether the read left the file's access time alone (it is ANDed over every read).
  void SetAccessTimeKept(bool kept) { accessTimeKept_ = accessTimeKept_ && kept; }

  const PlaceholderSet& Wanted() const { return wanted_; }
  const std::vector<std::pair<int, QString>>& Values() const { return values_; }
  bool AccessTimeKept() const { return accessTimeKept_; }

 private:
  PlaceholderSet wanted_;
  std::vector<std::pair<int, QString>> values_;
  bool accessTimeKept_ = true;
};

class ContentReader {
 public:
  virtual ~ContentReader() = default;

  // The codes of the placeholders it reads, as the placeholder table writes them.
  virtual std::span<const QStringView> Serves() const = 0;

  // Whether an entry whose file this reader cannot read fails with a read error, as one does
  // whose checksum cannot be read. Otherwise the entry goes on and the values are empty.
  virtual bool UnreadableFailsEntry() const = 0;

  // Whether it reads the whole file (the checksums do) rather than its headers: a run reads
  // such files one at a time, never a second one ahead while it works on the first.
  virtual bool ReadsWholeFile() const { return false; }

  // Reads the values asked for in `found` from the file at `path`. Returns 0, or the errno of
  // what kept it from reading the file (ECANCELED once `stop`, polled while reading, is
  // non-zero). A file that holds no value, or whose values cannot be made out because it is
  // damaged, is no error: those placeholders have no value. A reader never writes, never
  // blocks on a FIFO or device, reads only what it needs, and may be called from several
  // threads at once.
  virtual int Read(const QString& path, ContentFindings& found,
                   const std::atomic<int32_t>* stop) const = 0;
};

// Every reader of the build.
std::span<const ContentReader* const> ContentReaders();

// The reader that serves the placeholder with this id; null when none does.
const ContentReader* ReaderOf(int placeholderId);
