#pragma once

#include "fileops/NewNamePlan.h"
#include "naming/PlaceholderTable.h"

#include <QElapsedTimer>

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Reads the content values that new names need (the checksums, for one), only for the files the
// list shows, on a worker thread of its own; values read from a file's headers alone (the date
// taken) on a second one beside it, so that a long list of them is read on both cores. Whole-file
// readers (checksums) stay on the first: two of them would only make the disk seek between files.
// Values are remembered by the file's identity (device, inode, size and modification time): a file
// is read once however often it comes on screen, and again once it changed. Every request looks at
// each file anew (a cheap look, no read) so that a changed file is noticed.
class NewNameContent : public QObject {
  Q_OBJECT

 public:
  struct File {
    int32_t Id = 0;
    QString Path;
    PlaceholderSet Need;  // what to read of this file; none: what the request needs
  };

  // Values are handed on (Arrived) at once after a pause and when the worker has nothing more to
  // read; between, the first kFirstValues after such a pause (those on screen come first) at most
  // every kFirstInterval, the others every kArrivalInterval. A hand-on may plan the whole list
  // anew (a sort by the date taken needs every date): a hundred thousand photos whose dates come in
  // a few at a time would otherwise be planned over and over while they are read.
  static constexpr int kFirstValues = 256;
  static constexpr int kFirstInterval = 100;     // milliseconds
  static constexpr int kArrivalInterval = 1000;  // milliseconds

  explicit NewNameContent(QObject* parent = nullptr);
  ~NewNameContent() override;  // stops the reads in hand and waits for the workers

  // The files to read now, replacing every request still waiting (those asked for behind
  // aside); a read in hand of a file no longer asked for stops.
  void Request(std::vector<File> files, const PlaceholderSet& need);
  // Files to read once those of Request are read, each for its own Need (every file's date
  // taken, say), replacing those asked for behind before. Files whose values are read and on
  // their way already are left out. They stay asked for while the files on screen change.
  void RequestBehind(std::vector<File> files);
  // Files asked for behind are left to read (GUI thread).
  bool BehindInHand();
  // Values are read and not handed on yet (GUI thread).
  bool ValuesOnTheWay();
  // The values known so far, by entry id (GUI thread). An entry may lack a value that was not
  // needed when it was read.
  // A copy shares the values with these until they change: while a copy is held (a plan reads
  // it on another thread), values that arrive wait, so that the table is never copied whole on
  // the GUI thread; they come in once the copies are gone.
  const QHash<int32_t, KnownContent>& Known() const { return known_; }
  // The ids whose values became known or changed since the last call (GUI thread).
  std::vector<int32_t> TakeArrived();
  // Files asked for are still being read, or values read are not handed on yet (GUI thread).
  bool Busy();

 signals:
  // Values of one or more files became known or changed (GUI thread).
  void Arrived();
  // Every file asked for is read, but the last values wait for a plan to let go of its copy
  // (GUI thread).
  void LastValuesHeld();

 private:
  struct Identity {
    uint64_t Device = 0;
    uint64_t Inode = 0;
    int64_t Size = 0;
    int64_t Seconds = 0;
    int64_t Nanoseconds = 0;
    bool operator==(const Identity&) const = default;
    friend size_t qHash(const Identity& id, size_t seed) {
      return qHashMulti(seed, id.Device, id.Inode, id.Size, id.Seconds, id.Nanoseconds);
    }
  };

  // How soon held values are tried again, in milliseconds.
  static constexpr int kHeldRetry = 15;

  static constexpr int kWorkers = 2;

  void Work(int worker);  // worker thread
  // The next file waiting, on screen first; null for none (mutex_ held).
  File* Next();
  // Whether the second worker may take the next file waiting (mutex_ held).
  bool SecondMayTake();
  void StartWorkers(bool second);
  bool AnyReading() const;          // mutex_ held
  void Deliver();                   // GUI thread
  void HandOn();                    // GUI thread: what arrived into known_
  bool HeldChangeAnything() const;  // values waiting to be handed on differ from the known ones

  std::thread workers_[kWorkers];
  std::mutex mutex_;
  std::condition_variable wake_;
  // Guarded by mutex_.
  std::vector<File> waiting_;
  size_t nextWaiting_ = 0;  // the first of waiting_ not taken yet
  std::vector<File> behind_;
  size_t nextBehind_ = 0;
  PlaceholderSet need_;
  bool quit_ = false;
  bool headersOnly_ = false;  // need_ is read from the files' headers alone
  PlaceholderSet lastNeed_;   // the last set HeadersOnly answered about, and its answer
  bool lastHeadersOnly_ = false;
  int32_t reading_[kWorkers] = {};     // the id of the file each worker reads, 0 for none
  bool readingBehind_[kWorkers] = {};  // taken from behind_
  std::vector<std::pair<int32_t, KnownContent>> results_;
  bool deliveryPosted_ = false;
  std::chrono::steady_clock::time_point lastPost_;  // when a delivery was last posted
  static constexpr size_t kPostEvery = 64;
  static constexpr std::chrono::milliseconds kPostInterval{5};
  // What was read of each file, by identity; a worker reads outside the lock and merges after.
  QHash<Identity, KnownContent> byIdentity_;
  // Stops each worker's read in hand.
  std::atomic<int32_t> stopRead_[kWorkers] = {};
  // GUI thread only.
  QHash<int32_t, KnownContent> known_;
  std::vector<std::pair<int32_t, KnownContent>> delivered_;  // delivered, not handed on yet
  std::vector<std::pair<int32_t, KnownContent>> held_;       // handed on while known_ was shared
  std::vector<int32_t> arrived_;                             // ids for TakeArrived
  bool retryPosted_ = false;
  QTimer handOnTimer_;
  QElapsedTimer sinceHandOn_;
  qsizetype handedOn_ = 0;  // values handed on since the worker last had nothing to read
};
