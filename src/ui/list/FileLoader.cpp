#include "ui/list/FileLoader.h"

#include "filelist/Loader.h"
#include "platform/Process.h"

#include <system_error>

FileLoader::FileLoader(FileList& list, LoadFlags& flags, QObject* parent)
    : QObject(parent), list_(list), flags_(flags) {}

FileLoader::~FileLoader() {
  if (worker_.joinable()) {
    flags_.LoadStop.store(1, std::memory_order_relaxed);
    worker_.join();
  }
}

bool FileLoader::Start(const QString& paths, const Preset& settings) {
  if (running_ || flags_.LoadBusy.load(std::memory_order_relaxed) != 0) return false;
  if (worker_.joinable()) worker_.join();
  // Raised before the thread starts, so that nothing else starts meanwhile.
  flags_.LoadBusy.store(1, std::memory_order_relaxed);
  flags_.LoadStop.store(0, std::memory_order_relaxed);
  added_ = 0;
  local_.clear();
  lastPost_ = std::chrono::steady_clock::now();
  try {
    worker_ = std::thread([this, paths, settings] {
      LowerThreadPriority();
      const qsizetype added = LoadPaths(paths, list_, settings, flags_,
                                        [this](const FileEntry& entry) { OnRowAdded(entry); });
      added_ = added;
      PostPending();
      QMetaObject::invokeMethod(this, &FileLoader::Complete, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    flags_.LoadBusy.store(0, std::memory_order_relaxed);
    return false;
  }
  running_ = true;
  return true;
}

void FileLoader::Stop() {
  if (flags_.LoadBusy.load(std::memory_order_relaxed) != 0)
    flags_.LoadStop.store(1, std::memory_order_relaxed);
}

void FileLoader::StopAndWait() {
  if (!worker_.joinable()) return;
  Stop();
  worker_.join();
  // The queued hand-overs have not run yet: deliver what is left now.
  DeliverPending();
  Complete();
}

void FileLoader::OnRowAdded(const FileEntry& entry) {
  local_.push_back(&entry);
  // Reading the clock costs little next to the file-system calls behind each entry.
  if (std::chrono::steady_clock::now() - lastPost_ >= kBatchInterval) PostPending();
}

void FileLoader::PostPending() {
  lastPost_ = std::chrono::steady_clock::now();
  bool post = false;
  {
    std::lock_guard lock(mutex_);
    if (pending_.empty())
      pending_.swap(local_);
    else
      pending_.insert(pending_.end(), local_.begin(), local_.end());
    post = !deliveryPosted_ && !pending_.empty();
    if (post) deliveryPosted_ = true;
  }
  local_.clear();
  if (post) QMetaObject::invokeMethod(this, &FileLoader::DeliverPending, Qt::QueuedConnection);
}

void FileLoader::DeliverPending() {
  std::vector<const FileEntry*> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(pending_);
    deliveryPosted_ = false;
  }
  if (!batch.empty()) emit RowsArrived(batch);
}

void FileLoader::Complete() {
  if (!running_) return;  // delivered already by StopAndWait
  if (worker_.joinable()) worker_.join();
  DeliverPending();
  running_ = false;
  emit Finished(added_);
}
