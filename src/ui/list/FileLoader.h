#pragma once

#include "filelist/FileList.h"
#include "records/RunFlags.h"
#include "records/Preset.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// Runs the loader on a worker thread and hands its new rows to the window in batches.
//
// Hand-over: from Start until Finished the worker owns the FileList: it alone appends to it,
// and the window neither reads nor changes the list (its commands are locked). Each entry the
// loader appends is final, and a FileList keeps its entries in place while it grows, so the
// worker collects pointers to the new entries and passes them on at most every 100 ms
// (RowsArrived, in the GUI thread). The window reads only those entries, never the list's own
// structure, until Finished hands the list back.
class FileLoader : public QObject {
  Q_OBJECT

 public:
  FileLoader(FileList& list, LoadFlags& flags, QObject* parent = nullptr);
  ~FileLoader() override;  // stops a running load and waits for it

  // Starts loading the line-feed-separated paths with a copy of `settings`. False when a load
  // is running already or no thread could be started.
  bool Start(const QString& paths, const Preset& settings);
  // Asks a running load to stop after the file in hand; what was loaded stays.
  void Stop();
  // Stops a running load and waits until the worker has ended (the list is the caller's again;
  // rows not yet handed over are delivered before this returns).
  void StopAndWait();
  bool Busy() const { return running_; }

  // The least time between two batches.
  static constexpr std::chrono::milliseconds kBatchInterval{100};

 signals:
  void RowsArrived(const std::vector<const FileEntry*>& entries);
  void Finished(qsizetype added);

 private:
  void OnRowAdded(const FileEntry& entry);
  void PostPending();
  void DeliverPending();  // GUI thread
  void Complete();        // GUI thread

  FileList& list_;
  LoadFlags& flags_;
  std::thread worker_;
  bool running_ = false;  // GUI thread's view: between Start and Finished

  std::mutex mutex_;
  std::vector<const FileEntry*> pending_;  // guarded by mutex_
  bool deliveryPosted_ = false;            // guarded by mutex_
  qsizetype added_ = 0;                    // written by the worker, read after it ended
  // Worker only.
  std::vector<const FileEntry*> local_;
  std::chrono::steady_clock::time_point lastPost_;
};
