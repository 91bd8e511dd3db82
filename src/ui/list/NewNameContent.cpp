#include "ui/list/NewNameContent.h"

#include "fileops/ContentReadAhead.h"
#include "fileops/ContentReading.h"
#include "platform/FileInfo.h"
#include "platform/FileName.h"
#include "platform/Process.h"

#include <QTimer>

#include <algorithm>
#include <iterator>
#include <optional>
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
  for (std::atomic<int32_t>& stop : stopRead_) stop.store(1, std::memory_order_relaxed);
  wake_.notify_all();
  for (std::thread& worker : workers_)
    if (worker.joinable()) worker.join();
}

namespace {

// Whether `need` is read from the files' headers alone, remembering the last set asked about:
// every file of a long request tends to ask for the same.
bool HeadersOnly(const PlaceholderSet& need, PlaceholderSet& lastSet, bool& lastAnswer) {
  if (!(need == lastSet)) {
    lastSet = need;
    lastAnswer = ContentReadAhead::Worthwhile(need);
  }
  return lastAnswer;
}

}  // namespace

void NewNameContent::Request(std::vector<File> files, const PlaceholderSet& need) {
  bool second = false;
  {
    std::lock_guard lock(mutex_);
    for (int w = 0; w < kWorkers; ++w) {
      const int32_t reading = reading_[w];
      if (reading != 0 && !readingBehind_[w] &&
          std::none_of(files.begin(), files.end(),
                       [reading](const File& f) { return f.Id == reading; }))
        stopRead_[w].store(1, std::memory_order_relaxed);
    }
    // A request to workers that had read everything starts afresh; one that replaces a request
    // still being read (a new plan asks again for what is not known yet) goes on as it was.
    if (nextWaiting_ >= waiting_.size() && nextBehind_ >= behind_.size() && !AnyReading() &&
        delivered_.empty())
      handedOn_ = 0;
    waiting_ = std::move(files);
    nextWaiting_ = 0;
    need_ = need;
    headersOnly_ = HeadersOnly(need, lastNeed_, lastHeadersOnly_);
    second = waiting_.size() > 1 && headersOnly_;
  }
  StartWorkers(second);
}

void NewNameContent::RequestBehind(std::vector<File> files) {
  bool second = false;
  {
    std::lock_guard lock(mutex_);
    // Values read and on their way are not read twice over while they arrive.
    QHash<int32_t, const KnownContent*> onTheWay;
    for (const auto* read : {&results_, &delivered_, &held_})
      for (const auto& [id, content] : *read) onTheWay.insert(id, &content);
    if (!onTheWay.isEmpty()) {
      std::erase_if(files, [&](const File& f) {
        const KnownContent* content = onTheWay.value(f.Id);
        if (content == nullptr || !content->Ok) return false;
        bool all = true;
        f.Need.ForEach([&](int id) { all = all && content->Values.contains(id); });
        return all;
      });
    }
    for (int w = 0; w < kWorkers; ++w) {
      const int32_t reading = reading_[w];
      if (reading != 0 && readingBehind_[w] &&
          std::none_of(files.begin(), files.end(),
                       [reading](const File& f) { return f.Id == reading; }))
        stopRead_[w].store(1, std::memory_order_relaxed);
    }
    if (nextWaiting_ >= waiting_.size() && nextBehind_ >= behind_.size() && !AnyReading() &&
        delivered_.empty())
      handedOn_ = 0;
    behind_ = std::move(files);
    nextBehind_ = 0;
    second = behind_.size() > 1 && HeadersOnly(behind_.back().Need, lastNeed_, lastHeadersOnly_);
  }
  StartWorkers(second);
}

bool NewNameContent::BehindInHand() {
  std::lock_guard lock(mutex_);
  return nextBehind_ < behind_.size() ||
         std::any_of(std::begin(readingBehind_), std::end(readingBehind_),
                     [](bool b) { return b; });
}

bool NewNameContent::ValuesOnTheWay() {
  if (!delivered_.empty() || !held_.empty()) return true;
  std::lock_guard lock(mutex_);
  return !results_.empty();
}

void NewNameContent::StartWorkers(bool second) {
  for (int w = 0; w < (second ? kWorkers : 1); ++w) {
    if (workers_[w].joinable()) continue;
    try {
      workers_[w] = std::thread([this, w] {
        LowerThreadPriority();
        Work(w);
      });
    } catch (const std::system_error&) {
      // Without the first worker the names keep their placeholders; without the second the
      // first reads everything.
      if (w == 0) return;
    }
  }
  wake_.notify_all();
}

NewNameContent::File* NewNameContent::Next() {
  if (nextWaiting_ < waiting_.size()) return &waiting_[nextWaiting_];
  if (nextBehind_ < behind_.size()) return &behind_[nextBehind_];
  return nullptr;
}

bool NewNameContent::AnyReading() const {
  return std::any_of(std::begin(reading_), std::end(reading_), [](int32_t id) { return id != 0; });
}

bool NewNameContent::SecondMayTake() {
  const File* next = Next();
  return next != nullptr &&
         (next->Need.Any() ? HeadersOnly(next->Need, lastNeed_, lastHeadersOnly_) : headersOnly_);
}

bool NewNameContent::Busy() {
  if (!delivered_.empty() || !held_.empty()) return true;
  std::lock_guard lock(mutex_);
  return Next() != nullptr || AnyReading() || !results_.empty();
}

void NewNameContent::Work(int w) {
  for (;;) {
    File file;
    PlaceholderSet need;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock,
                 [this, w] { return quit_ || (w == 0 ? Next() != nullptr : SecondMayTake()); });
      if (quit_) return;
      // Taken from the front by an index: a request may hold every file of a large list.
      readingBehind_[w] = nextWaiting_ >= waiting_.size();
      file = std::move(readingBehind_[w] ? behind_[nextBehind_++] : waiting_[nextWaiting_++]);
      need = file.Need.Any() ? file.Need : need_;
      reading_[w] = file.Id;
      stopRead_[w].store(0, std::memory_order_relaxed);
    }
    // The file after this one may be one the second worker takes.
    if (w == 0) wake_.notify_all();
    KnownContent content;
    bool answered = true;
    FileFacts facts;
    std::optional<Identity> identity;
    if (!ReadFileFacts(EncodeFileName(file.Path).constData(), facts) ||
        facts.Kind != FileKind::Regular) {
      content.Ok = false;  // as the run finds it: a file that is not there cannot be read
    } else {
      identity = Identity{facts.Device, facts.Inode, facts.Size, facts.Modified.Seconds,
                          facts.Modified.Nanoseconds};
      {
        std::lock_guard lock(mutex_);
        content = byIdentity_.value(*identity);
      }
      // Only what was not read before is read now; a file that failed is tried again.
      PlaceholderSet missing;
      need.ForEach([&](int id) {
        if (!content.Ok || !content.Values.contains(id)) missing.Add(id);
      });
      if (missing.Any()) {
        const ContentRead read = ReadContent(file.Path, missing, &stopRead_[w]);
        if (read.Error == ECANCELED) {
          // A stopped read keeps what was read before.
          answered = false;
        } else if (!read.Ok) {
          content = KnownContent{};
        } else {
          content.Ok = true;
          content.Values.insert(read.Values);
        }
      } else {
        identity.reset();  // nothing new to remember
      }
    }
    std::lock_guard lock(mutex_);
    reading_[w] = 0;
    readingBehind_[w] = false;
    if (!answered) continue;
    if (identity) byIdentity_.insert(*identity, content);
    results_.emplace_back(file.Id, content);
    // The GUI thread is woken for a few dozen values or every few milliseconds, not for each
    // file: on a long list of small photos the wake-ups cost the readers more than the reading.
    // What a worker read before it runs out of files to take is posted at once.
    const auto now = std::chrono::steady_clock::now();
    if (!deliveryPosted_ && (results_.size() >= kPostEvery || now - lastPost_ >= kPostInterval ||
                             (w == 0 ? Next() == nullptr : !SecondMayTake()))) {
      deliveryPosted_ = true;
      lastPost_ = now;
      QMetaObject::invokeMethod(this, &NewNameContent::Deliver, Qt::QueuedConnection);
    }
  }
}

void NewNameContent::Deliver() {
  bool last = false;
  {
    std::lock_guard lock(mutex_);
    last = Next() == nullptr && !AnyReading();
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
    if (last && HeldChangeAnything()) emit LastValuesHeld();
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

bool NewNameContent::HeldChangeAnything() const {
  return std::any_of(held_.begin(), held_.end(), [this](const auto& result) {
    const auto it = known_.constFind(result.first);
    return it == known_.cend() || it->Ok != result.second.Ok || it->Values != result.second.Values;
  });
}

std::vector<int32_t> NewNameContent::TakeArrived() {
  std::vector<int32_t> ids;
  ids.swap(arrived_);
  return ids;
}
