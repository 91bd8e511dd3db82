#include "ui/list/NewNameContent.h"

#include "fileops/ContentReading.h"
#include "platform/FileInfo.h"
#include "platform/FileName.h"
#include "platform/Process.h"

#include <QTimer>

#include <algorithm>
#include <iterator>
#include <system_error>

NewNameContent::NewNameContent(QObject* parent) : QObject(parent) {
  handOnTimer_.setSingleShot(true);
  connect(&handOnTimer_, &QTimer::timeout, this, [this] { HandOn(); });
}

NewNameContent::~NewNameContent() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  stopRead_.store(1, std::memory_order_relaxed);
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void NewNameContent::Request(std::vector<File> files, const PlaceholderSet& need) {
  {
    std::lock_guard lock(mutex_);
    const int32_t reading = reading_;
    if (reading != 0 && std::none_of(files.begin(), files.end(),
                                     [reading](const File& f) { return f.Id == reading; }))
      stopRead_.store(1, std::memory_order_relaxed);
    // A request to a worker that had read everything starts afresh; one that replaces a request
    // still being read (a new plan asks again for what is not known yet) goes on as it was.
    if (nextWaiting_ >= waiting_.size() && reading_ == 0 && delivered_.empty()) handedOn_ = 0;
    waiting_ = std::move(files);
    nextWaiting_ = 0;
    need_ = need;
  }
  if (!worker_.joinable()) {
    try {
      worker_ = std::thread([this] {
        LowerThreadPriority();
        Work();
      });
    } catch (const std::system_error&) {
      return;  // the names keep their placeholders
    }
  }
  wake_.notify_all();
}

void NewNameContent::Work() {
  for (;;) {
    File file;
    PlaceholderSet need;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || nextWaiting_ < waiting_.size(); });
      if (quit_) return;
      // Taken from the front by an index: a request may hold every file of a large list.
      file = std::move(waiting_[nextWaiting_++]);
      need = file.Need.Any() ? file.Need : need_;
      reading_ = file.Id;
      stopRead_.store(0, std::memory_order_relaxed);
    }
    KnownContent content;
    bool answered = true;
    FileFacts facts;
    if (!ReadFileFacts(EncodeFileName(file.Path).constData(), facts) ||
        facts.Kind != FileKind::Regular) {
      content.Ok = false;  // as the run finds it: a file that is not there cannot be read
    } else {
      const Identity identity{facts.Device, facts.Inode, facts.Size, facts.Modified.Seconds,
                              facts.Modified.Nanoseconds};
      KnownContent& cached = byIdentity_[identity];
      // Only what was not read before is read now; a file that failed is tried again.
      PlaceholderSet missing;
      need.ForEach([&](int id) {
        if (!cached.Ok || !cached.Values.contains(id)) missing.Add(id);
      });
      if (missing.Any()) {
        const ContentRead read = ReadContent(file.Path, missing, &stopRead_);
        if (read.Error == ECANCELED) {
          answered = false;
        } else if (!read.Ok) {
          cached = KnownContent{};
        } else {
          cached.Ok = true;
          cached.Values.insert(read.Values);
        }
      }
      content = cached;
      // A stopped read keeps what was read before; a file never read is forgotten.
      if (!answered && !cached.Ok) byIdentity_.remove(identity);
    }
    std::lock_guard lock(mutex_);
    reading_ = 0;
    if (!answered) continue;
    results_.emplace_back(file.Id, content);
    if (!deliveryPosted_) {
      deliveryPosted_ = true;
      QMetaObject::invokeMethod(this, &NewNameContent::Deliver, Qt::QueuedConnection);
    }
  }
}

void NewNameContent::Deliver() {
  bool last = false;
  {
    std::lock_guard lock(mutex_);
    last = nextWaiting_ >= waiting_.size() && reading_ == 0;
    if (delivered_.empty()) {
      delivered_.swap(results_);
    } else {
      std::move(results_.begin(), results_.end(), std::back_inserter(delivered_));
      results_.clear();
    }
    deliveryPosted_ = false;
  }
  const qint64 interval = handedOn_ < kFirstValues ? kFirstInterval : kArrivalInterval;
  const qint64 since = sinceHandOn_.isValid() ? sinceHandOn_.elapsed() : interval;
  if (last || since >= interval) {
    handOnTimer_.stop();
    HandOn();
  } else if (!handOnTimer_.isActive()) {
    handOnTimer_.start(static_cast<int>(interval - since));
  }
}

void NewNameContent::HandOn() {
  std::vector<std::pair<int32_t, KnownContent>> results;
  results.swap(delivered_);
  if (!held_.empty()) {
    results.insert(results.begin(), std::make_move_iterator(held_.begin()),
                   std::make_move_iterator(held_.end()));
    held_.clear();
  }
  if (results.empty()) return;
  if (!known_.isEmpty() && !known_.isDetached()) {
    // A plan holds a copy: changing the table now would copy all of it here.
    held_ = std::move(results);
    if (!retryPosted_) {
      retryPosted_ = true;
      QTimer::singleShot(kHeldRetry, this, [this] {
        retryPosted_ = false;
        HandOn();
      });
    }
    return;
  }
  sinceHandOn_.start();
  handedOn_ += static_cast<qsizetype>(results.size());
  bool changed = false;
  for (auto& [id, content] : results) {
    auto it = known_.find(id);
    if (it != known_.end() && it->Ok == content.Ok && it->Values == content.Values) continue;
    known_.insert(id, std::move(content));
    arrived_.push_back(id);
    changed = true;
  }
  if (changed) emit Arrived();
}

std::vector<int32_t> NewNameContent::TakeArrived() {
  std::vector<int32_t> ids;
  ids.swap(arrived_);
  return ids;
}
