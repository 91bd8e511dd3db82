#pragma once

#include <QMutex>
#include <QString>

#include <atomic>
#include <cstdint>

// The flags through which the threads of a run meet. Each is written by one side per
// transition and polled by the other; relaxed loads and stores are enough because every
// reading tolerates being one poll late.
struct RunFlags {
  std::atomic<int32_t> RunActive{0};
  std::atomic<int32_t> RunSingle{0};
  std::atomic<int32_t> Preparing{0};
  std::atomic<int32_t> RunPaused{0};
  std::atomic<int32_t> RunCancelled{0};
  std::atomic<int32_t> RunAsking{0};
  std::atomic<int32_t> QuitRequested{0};
  std::atomic<int32_t> RunPhase{0};  // 0 starting, 1 preparing, 2 processing, 3 finished
  std::atomic<int32_t> ProgressCount{0};
  std::atomic<int32_t> ProgressId{0};
  std::atomic<int32_t> PreparationNeeded{0};

  // The entry in hand, for the progress display: replaced whole under the lock.
  void SetProgressEntry(int32_t id, const QString& name, const QString& directory);
  void ProgressEntry(QString& name, QString& directory) const;

  // Back to the idle state: every flag and the progress values 0.
  void Reset();

 private:
  mutable QMutex progressLock_;
  QString progressName_;
  QString progressDirectory_;
};

// Loader flags: a loader thread is running / the user asked it to stop; and how many files the
// load met whose paths are longer than the system takes (the run refuses them), counted by the
// loader and cleared when a load starts.
struct LoadFlags {
  std::atomic<int32_t> LoadBusy{0};
  std::atomic<int32_t> LoadStop{0};
  std::atomic<int32_t> PathsTooLong{0};
};
