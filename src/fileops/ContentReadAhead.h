#pragma once

#include "fileops/ContentReading.h"
#include "naming/PlaceholderTable.h"
#include "platform/FileSystem.h"
#include "records/RunFlags.h"

#include <QString>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// What a run's templates need from inside its files (the date taken, say), read on a thread of
// its own a little ahead of the batch, so that the parsing of one file overlaps the planning and
// renaming of the one before. The batch asks for each entry's values when it comes to it; it
// takes them only if the file is still the one that was read (see Usable), and reads the file
// itself otherwise, or when the thread has not got there yet (the thread then goes on after it).
//
// The thread is owned here: the destructor stops it and waits for it. It never reads an entry the
// batch has already asked for, stops when the run is cancelled, waits while the run is paused,
// and keeps at most kAhead entries read ahead.
class ContentReadAhead {
 public:
  // How far the thread may be ahead of the batch, in entries.
  static constexpr qsizetype kAhead = 1024;

  // One entry's values as read ahead, with the look at its file taken right before the read.
  struct Found {
    FileStamp Stamp;
    ContentRead Content;
  };

  // Whether reading `need` ahead is worth it: only for readers that read a file's headers (a
  // second file's checksums read beside the first would only make the disk seek between them).
  static bool Worthwhile(const PlaceholderSet& need);

  // `paths`: the source of every entry from position `first` on, in the batch's order; an empty
  // path is an entry whose content the batch will not read (it fails before that).
  ContentReadAhead(std::vector<QString> paths, qsizetype first, const PlaceholderSet& need,
                   const RunFlags& flags);
  ~ContentReadAhead();
  ContentReadAhead(const ContentReadAhead&) = delete;
  ContentReadAhead& operator=(const ContentReadAhead&) = delete;

  // False when no thread could be started: the batch then reads everything itself.
  bool Start();
  // Stops the thread and waits for it; what it read and nobody took is dropped.
  void Stop();

  // The values read ahead for the entry at `pos`, waiting while the thread is reading that very
  // entry; none when the thread has not reached it (or was stopped, or `pos` was asked before).
  // Positions are asked in rising order; the thread never reads one asked for.
  std::optional<Found> Take(qsizetype pos);

  // Whether values read ahead may stand for the batch's own read: the file at the path is the
  // one read, unchanged (`now`, the batch's look at it), and the read was not cut short.
  static bool Usable(const Found& found, const FileStamp& now);

 private:
  struct Slot {
    qsizetype Pos = -1;
    Found Values;
  };

  void Work();
  bool Stopping() const;

  std::vector<QString> paths_;
  const qsizetype first_;
  const PlaceholderSet need_;
  const RunFlags& flags_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;  // kAhead of them, the entry at pos in slot pos % kAhead
  qsizetype next_;           // the next position the thread reads
  qsizetype asked_;          // the position after the last one the batch asked for
  qsizetype reading_ = -1;   // the position the thread is reading now
  bool stop_ = false;
  std::thread thread_;
};
