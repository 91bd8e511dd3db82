#include "records/RunFlags.h"

#include <QMutexLocker>

void RunFlags::SetProgressEntry(int32_t id, const QString& name, const QString& directory) {
  {
    QMutexLocker lock(&progressLock_);
    progressName_ = name;
    progressDirectory_ = directory;
  }
  ProgressId.store(id, std::memory_order_relaxed);
}

void RunFlags::ProgressEntry(QString& name, QString& directory) const {
  QMutexLocker lock(&progressLock_);
  name = progressName_;
  directory = progressDirectory_;
}

void RunFlags::Reset() {
  for (auto* flag : {&RunActive, &RunSingle, &Preparing, &RunPaused, &RunCancelled, &RunAsking,
                     &QuitRequested, &RunPhase, &ProgressCount, &ProgressId, &PreparationNeeded})
    flag->store(0, std::memory_order_relaxed);
  QMutexLocker lock(&progressLock_);
  progressName_.clear();
  progressDirectory_.clear();
}
