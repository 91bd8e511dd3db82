#include "fileops/ContentReadAhead.h"

#include "fileops/ContentReader.h"

#include <cerrno>
#include <chrono>
#include <system_error>

namespace {

using std::memory_order_relaxed;

}  // namespace

bool ContentReadAhead::Worthwhile(const PlaceholderSet& need) {
  if (!need.Any()) return false;
  bool headersOnly = true;
  need.ForEach([&](int id) {
    const ContentReader* reader = ReaderOf(ReadIdOf(id));
    if (reader != nullptr && reader->ReadsWholeFile()) headersOnly = false;
  });
  return headersOnly;
}

ContentReadAhead::ContentReadAhead(std::vector<QString> paths, qsizetype first,
                                   const PlaceholderSet& need, const RunFlags& flags)
    : paths_(std::move(paths)),
      first_(first),
      need_(need),
      flags_(flags),
      slots_(static_cast<size_t>(kAhead)),
      next_(first),
      asked_(first) {}

ContentReadAhead::~ContentReadAhead() {
  Stop();
}

bool ContentReadAhead::Start() {
  try {
    thread_ = std::thread([this] { Work(); });
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void ContentReadAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool ContentReadAhead::Stopping() const {
  return flags_.RunCancelled.load(memory_order_relaxed) != 0 ||
         flags_.RunActive.load(memory_order_relaxed) == 0;
}

void ContentReadAhead::Work() {
  const qsizetype end = first_ + static_cast<qsizetype>(paths_.size());
  for (;;) {
    // While the run is paused the files may be changed by hand: nothing is read then.
    while (!Stopping() && (flags_.RunPaused.load(memory_order_relaxed) != 0 ||
                           flags_.RunAsking.load(memory_order_relaxed) != 0)) {
      std::unique_lock lock(mutex_);
      if (changed_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stop_; })) return;
    }
    qsizetype pos = 0;
    QString path;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || next_ - asked_ < kAhead; });
      if (stop_) return;
      if (next_ < asked_) next_ = asked_;
      while (next_ < end && paths_[static_cast<size_t>(next_ - first_)].isEmpty()) ++next_;
      if (next_ >= end) return;
      pos = next_++;
      reading_ = pos;
      path = paths_[static_cast<size_t>(pos - first_)];
    }
    Found found;
    const bool stopping = Stopping();
    if (!stopping) {
      found.Stamp = ReadFileStamp(path);
      // A source that is not there is not read: the batch fails it as missing.
      if (found.Stamp.Size >= 0) found.Content = ReadContent(path, need_, &flags_.RunCancelled);
    }
    {
      std::lock_guard lock(mutex_);
      reading_ = -1;
      if (!stopping) {
        Slot& slot = slots_[static_cast<size_t>(pos % kAhead)];
        slot.Pos = pos;
        slot.Values = std::move(found);
      }
      if (stopping) stop_ = true;
    }
    changed_.notify_all();
    if (stopping) return;
  }
}

std::optional<ContentReadAhead::Found> ContentReadAhead::Take(qsizetype pos) {
  std::optional<Found> taken;
  {
    std::unique_lock lock(mutex_);
    if (pos < asked_) return std::nullopt;  // asked before: whatever it was, it is gone
    asked_ = pos + 1;
    changed_.wait(lock, [&] { return reading_ != pos; });
    Slot& slot = slots_[static_cast<size_t>(pos % kAhead)];
    if (slot.Pos == pos) {
      taken = std::move(slot.Values);
      slot.Pos = -1;
    }
    // Not reached yet: the thread goes on after it.
    if (next_ < asked_) next_ = asked_;
  }
  changed_.notify_all();
  return taken;
}

bool ContentReadAhead::Usable(const Found& found, const FileStamp& now) {
  return found.Stamp.Size >= 0 && found.Stamp == now && found.Content.Error != ECANCELED;
}
