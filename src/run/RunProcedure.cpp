#include "run/RunProcedure.h"

#include "filelist/Loader.h"
#include "filelist/Prepare.h"
#include "fileops/PreparationContent.h"
#include "platform/Process.h"
#include "run/RunControl.h"

#include <chrono>
#include <system_error>
#include <thread>

namespace {

using std::memory_order_relaxed;
using Clock = std::chrono::steady_clock;

// Runs `body` on a worker thread at below-normal priority and waits for it. False when the
// thread could not be started.
template <typename Body>
bool RunWorker(Body body) {
  try {
    std::thread worker([&body] {
      LowerThreadPriority();
      body();
    });
    worker.join();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void WaitUntil(Clock::time_point start, std::chrono::milliseconds minimum) {
  const Clock::time_point end = start + minimum;
  const Clock::time_point now = Clock::now();
  if (now < end) std::this_thread::sleep_for(end - now);
}

void Announce(const RunRequest& request, RunStage stage) {
  if (request.Events.StageChanged) request.Events.StageChanged(stage);
}

// The load before the checks: a worker thread fills the list while the controller waits.
bool LoadPathsFirst(RunRequest& request) {
  LoadFlags& load = request.Load;
  load.LoadBusy.store(1, memory_order_relaxed);
  load.LoadStop.store(0, memory_order_relaxed);
  if (request.Events.FlagsReset) request.Events.FlagsReset();
  const bool started = RunWorker([&request, &load] {
    AddPaths(request.PathsToLoad, request.Files, request.Settings, load);
    if (request.Events.Loaded) request.Events.Loaded(request.Files.Count());
  });
  load.LoadBusy.store(0, memory_order_relaxed);
  return started;
}

}  // namespace

QString RunFailureReason(RunFailure failure) {
  switch (failure) {
    case RunFailure::None:
      return {};
    case RunFailure::Loading:
      return QStringLiteral("Couldn't initialize loading.");
    case RunFailure::Preparation:
      return QStringLiteral("Couldn't initialize preparation.");
    case RunFailure::Process:
      return QStringLiteral("Couldn't initialize process.");
  }
  return {};
}

bool AllEntriesSucceeded(const FileList& files) {
  for (const FileEntry& entry : files)
    if (entry.Status != kStatusNotProcessed && entry.Status != kStatusDone) return false;
  return true;
}

RunResult RunProcedure(RunRequest& request) {
  RunResult result;
  RunFlags& flags = request.Flags;
  const RunPolicy& policy = request.Policy;

  if (!request.PathsToLoad.isEmpty()) {
    Announce(request, RunStage::Loading);
    if (!LoadPathsFirst(request)) {
      result.Failure = RunFailure::Loading;
      return result;
    }
  }

  result.Values = PrepareRunValues(request.Settings, request.Files.Count(), request.Folders,
                                   request.DateFieldValue);
  if (request.Events.Check) {
    Announce(request, RunStage::Checking);
    if (!request.Events.Check(result.Values)) return result;
  }
  result.Started = true;

  request.FollowUp.Clear();
  for (auto* flag : {&flags.RunPhase, &flags.ProgressCount, &flags.Preparing, &flags.RunActive})
    flag->store(0, memory_order_relaxed);
  RunControl control(flags);
  control.ResetForRun(policy.SingleEntry);
  flags.PreparationNeeded.store(result.Values.PreparationNeeded ? 1 : 0, memory_order_relaxed);
  flags.RunSingle.store(policy.SingleEntry ? 1 : 0, memory_order_relaxed);
  if (request.Events.FlagsReset) request.Events.FlagsReset();
  Announce(request, RunStage::Starting);

  flags.RunActive.store(1, memory_order_relaxed);
  if (!policy.SingleEntry) request.Files.Current = request.Files.IsEmpty() ? -1 : 0;
  const int8_t quitAfterRun = request.Settings.QuitAfterRun;
  if (policy.KeepNothingForLater) request.Settings.QuitAfterRun = 1;
  const auto restore = [&] { request.Settings.QuitAfterRun = quitAfterRun; };

  if (result.Values.PreparationNeeded) {
    flags.RunPhase.store(kPhasePreparing, memory_order_relaxed);
    flags.Preparing.store(1, memory_order_relaxed);
    Announce(request, RunStage::Preparing);
    const Clock::time_point start = Clock::now();
    const bool prepared = RunWorker([&] {
      // The date taken the filter or the sort tests is read first, only when they test it.
      ReadPreparationContent(request.Files, request.Settings, flags);
      PrepareList(request.Files, request.FollowUp, request.Settings, flags);
    });
    if (!prepared) {
      restore();
      flags.Preparing.store(0, memory_order_relaxed);
      flags.RunActive.store(0, memory_order_relaxed);
      flags.RunSingle.store(0, memory_order_relaxed);
      result.Failure = RunFailure::Preparation;
      return result;
    }
    WaitUntil(start, policy.MinPreparation);
    flags.Preparing.store(0, memory_order_relaxed);
    flags.ProgressCount.store(0, memory_order_relaxed);
  }

  // A single-entry run processes its entry unless the filter took it out (marked, not removed).
  const bool process = policy.SingleEntry ? request.Files.Current >= 0 &&
                                                request.Files.Current < request.Files.Count() &&
                                                request.Files.At(request.Files.Current).Detail == 0
                                          : !control.Cancelled();
  if (process) {
    flags.RunPhase.store(kPhaseProcessing, memory_order_relaxed);
    Announce(request, RunStage::Processing);
    const Clock::time_point start = Clock::now();
    BatchOptions options;
    options.ReplaceMemory = policy.ReplaceMemory;
    options.AskReplace = policy.AskReplace;
    options.AskStopOnDiskFull = policy.AskStopOnDiskFull;
    options.DryRun = policy.DryRun;
    options.StartDelay = policy.StartDelay;
    options.Events = request.Events.Entries;
    options.Observer = request.Events.Observer;
    const bool processed = RunWorker([&] {
      result.Batch = RunBatch(request.Files, request.FollowUp, request.Settings, result.Values,
                              flags, options);
      // A full disk ended the batch early: the run is over as if cancelled.
      if (result.Batch.StoppedByFullDisk) control.Cancel();
    });
    if (!processed) {
      restore();
      flags.RunActive.store(0, memory_order_relaxed);
      flags.RunSingle.store(0, memory_order_relaxed);
      result.Failure = RunFailure::Process;
      return result;
    }
    // A question of the progress window that is still open holds the end of the run.
    while (control.Asking()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    WaitUntil(start, policy.MinProcessing);
  }
  restore();

  result.Succeeded = policy.DryRun ? result.Batch.Failed == 0 : AllEntriesSucceeded(request.Files);
  const bool clean = result.Succeeded && !policy.DryRun && !policy.SingleEntry &&
                     !control.Cancelled() && !control.QuitRequested() &&
                     request.Settings.QuitAfterRun == 0;
  // Only a clean, complete run shows its finished state (for as long as the policy says).
  if (clean) flags.RunPhase.store(kPhaseFinished, memory_order_relaxed);
  Announce(request, RunStage::Finished);
  if (clean) std::this_thread::sleep_for(policy.FinishedDisplay);
  flags.RunActive.store(0, memory_order_relaxed);
  // A test run is over too: a later run must not take it for one still going.
  flags.RunSingle.store(0, memory_order_relaxed);
  return result;
}
