#include "journal/IdentityLookAhead.h"

#include "platform/FileName.h"

#include <QSet>

#include <system_error>

namespace {

// The names a path written to stands for: its last part, or every part of a folder path (one
// that ends in "/": a folder the run makes).
void AddNames(const QString& path, QSet<QString>& names) {
  if (!path.endsWith(QLatin1Char('/'))) {
    names.insert(FoldedFileName(path));
    return;
  }
  for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
    names.insert(part.toCaseFolded());
}

}  // namespace

IdentityLookAhead::~IdentityLookAhead() {
  Stop();
}

bool IdentityLookAhead::Worthwhile() {
  return std::thread::hardware_concurrency() > 1;
}

bool IdentityLookAhead::Start(qsizetype first, std::vector<QByteArray> sources,
                              std::vector<QString> written) {
  Stop();
  first_ = first;
  sources_ = std::move(sources);
  written_ = std::move(written);
  touched_.clear();
  slots_.assign(sources_.size(), Slot{});
  done_.store(0, std::memory_order_relaxed);
  stop_.store(false, std::memory_order_relaxed);
  try {
    thread_ = std::thread([this] { Work(); });
    return true;
  } catch (const std::system_error&) {
    slots_.clear();
    return false;
  }
}

void IdentityLookAhead::Stop() {
  stop_.store(true, std::memory_order_relaxed);
  Complete();
}

void IdentityLookAhead::Complete() {
  if (!thread_.joinable()) return;
  thread_.join();
  // What the run wrote to while the thread looked: those looks may show the file before it.
  if (touched_.empty()) return;
  QSet<QString> keys;
  for (const QString& path : touched_) AddNames(path, keys);
  const size_t done = done_.load(std::memory_order_relaxed);
  for (size_t i = 0; i < done; ++i)
    if (slots_[i].Standing && keys.contains(slots_[i].Key)) slots_[i].Standing = false;
  touched_.clear();
}

void IdentityLookAhead::Touched(const QString& path) {
  if (thread_.joinable()) touched_.push_back(path);
}

void IdentityLookAhead::Work() {
  QSet<QString> written;
  written.reserve(static_cast<qsizetype>(written_.size()));
  for (const QString& path : written_) AddNames(path, written);
  for (size_t i = 0; i < sources_.size(); ++i) {
    if (stop_.load(std::memory_order_relaxed)) break;
    Slot& slot = slots_[i];
    if (!sources_[i].isEmpty()) {
      slot.Key = FoldedFileName(DecodeFileName(sources_[i]));
      if (!written.contains(slot.Key)) {
        slot.Identity = ReadFileIdentity(sources_[i]);
        slot.Standing = !slot.Identity.IsLink();
      }
    }
    done_.store(i + 1, std::memory_order_release);
  }
}

const FileIdentity* IdentityLookAhead::Find(qsizetype pos, const QByteArray& source) const {
  if (thread_.joinable()) return nullptr;
  const qsizetype index = pos - first_;
  if (index < 0 || static_cast<size_t>(index) >= done_.load(std::memory_order_acquire))
    return nullptr;
  const Slot& slot = slots_[static_cast<size_t>(index)];
  if (!slot.Standing || sources_[static_cast<size_t>(index)] != source) return nullptr;
  return &slot.Identity;
}
