#include "ui/list/NewNameChecksums.h"

#include "fileops/Checksums.h"
#include "platform/FileInfo.h"
#include "platform/FileName.h"
#include "platform/Process.h"

#include <algorithm>
#include <system_error>

NewNameChecksums::NewNameChecksums(QObject* parent) : QObject(parent) {}

NewNameChecksums::~NewNameChecksums() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  stopRead_.store(1, std::memory_order_relaxed);
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void NewNameChecksums::Request(std::vector<File> files, ChecksumNeed need) {
  {
    std::lock_guard lock(mutex_);
    const int32_t reading = reading_;
    if (reading != 0 && std::none_of(files.begin(), files.end(),
                                     [reading](const File& f) { return f.Id == reading; }))
      stopRead_.store(1, std::memory_order_relaxed);
    waiting_ = std::move(files);
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

void NewNameChecksums::Work() {
  for (;;) {
    File file;
    ChecksumNeed need;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !waiting_.empty(); });
      if (quit_) return;
      file = std::move(waiting_.front());
      waiting_.erase(waiting_.begin());
      need = need_;
      reading_ = file.Id;
      stopRead_.store(0, std::memory_order_relaxed);
    }
    KnownChecksums sums;
    bool answered = true;
    FileFacts facts;
    if (!ReadFileFacts(EncodeFileName(file.Path).constData(), facts) ||
        facts.Kind != FileKind::Regular) {
      sums.Ok = false;  // as the run finds it: a file that is not there cannot be read
    } else {
      const Identity identity{facts.Device, facts.Inode, facts.Size, facts.Modified.Seconds,
                              facts.Modified.Nanoseconds};
      KnownChecksums& cached = byIdentity_[identity];
      const bool complete = cached.Ok && (!need.Crc || !cached.Crc32.isEmpty()) &&
                            (!need.Md5 || !cached.Md5.isEmpty()) &&
                            (!need.Sha1 || !cached.Sha1.isEmpty());
      if (!complete) {
        const ChecksumResult read =
            ComputeChecksums(file.Path, need.Crc, need.Md5, need.Sha1, &stopRead_);
        if (read.Error == ECANCELED) {
          answered = false;
        } else if (!read.Ok) {
          cached = KnownChecksums{};
        } else {
          cached.Ok = true;
          if (need.Crc) cached.Crc32 = read.Crc32;
          if (need.Md5) cached.Md5 = read.Md5;
          if (need.Sha1) cached.Sha1 = read.Sha1;
        }
      }
      sums = cached;
      if (!answered) byIdentity_.remove(identity);
    }
    std::lock_guard lock(mutex_);
    reading_ = 0;
    if (!answered) continue;
    results_.emplace_back(file.Id, sums);
    if (!deliveryPosted_) {
      deliveryPosted_ = true;
      QMetaObject::invokeMethod(this, &NewNameChecksums::Deliver, Qt::QueuedConnection);
    }
  }
}

void NewNameChecksums::Deliver() {
  std::vector<std::pair<int32_t, KnownChecksums>> results;
  {
    std::lock_guard lock(mutex_);
    results.swap(results_);
    deliveryPosted_ = false;
  }
  bool changed = false;
  for (auto& [id, sums] : results) {
    auto it = known_.find(id);
    if (it != known_.end() && it->Ok == sums.Ok && it->Crc32 == sums.Crc32 &&
        it->Md5 == sums.Md5 && it->Sha1 == sums.Sha1)
      continue;
    known_.insert(id, std::move(sums));
    changed = true;
  }
  if (changed) emit Arrived();
}
