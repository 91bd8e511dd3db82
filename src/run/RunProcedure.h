#pragma once

#include "filelist/FileList.h"
#include "fileops/Batch.h"
#include "naming/Placeholders.h"
#include "records/RunFlags.h"
#include "fileops/RunValues.h"
#include "records/Preset.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>

// One run from start to end, for every front end: load, checks, preparation, processing,
// finished. A front end starts it on a worker thread of its own (the run controller) and
// waits for nothing: what differs between the window, the console and a test run is a policy
// below, and what happens is reported through events. Nothing here ends the process; a worker
// thread that cannot be started comes back as a RunFailure for the caller to handle.

// The stages a run goes through, in order. Loading and Checking happen only when the request
// asks for them; Preparing only when the list is filtered or sorted.
enum class RunStage : int8_t { Loading, Checking, Starting, Preparing, Processing, Finished };

// The values of RunFlags::RunPhase, read by the progress display.
enum RunPhaseValue : int32_t {
  kPhaseStarting = 0,
  kPhasePreparing = 1,
  kPhaseProcessing = 2,
  kPhaseFinished = 3,
};

// A worker thread that could not be started. Every such failure is fatal to the program; the
// caller ends it (RunFailureReason gives the text).
enum class RunFailure : int8_t { None, Loading, Preparation, Process };

// "Couldn't initialize ..." for a failure; empty for None.
QString RunFailureReason(RunFailure failure);

struct RunPolicy {
  // The replace answer memory the processing starts with: kAnswerLeave asks at every clash
  // (the window), kAnswerLeaveAll never replaces (the console: nobody can answer),
  // kAnswerReplaceAll replaces without asking (the single-file test run).
  int32_t ReplaceMemory = kAnswerLeave;
  // The replace question and the full-disk question, called on the processing thread, which
  // waits for the answer. Without a replace question a clash is left; without a full-disk
  // question a full disk stops the run.
  AskReplaceFunction AskReplace;
  AskStopOnDiskFullFunction AskStopOnDiskFull;
  // Plan every entry instead of processing it; nothing on disk changes.
  bool DryRun = false;
  // Only the current entry of the list is processed, and an existing target is replaced
  // without asking: the single-file test run (which also sets ReplaceMemory).
  bool SingleEntry = false;
  // Nothing is kept for a later list while the run lasts (QuitAfterRun is held at 1).
  bool KeepNothingForLater = false;
  // The window keeps each phase on screen long enough to be read; the console waits for
  // nothing. Tests make these short.
  std::chrono::milliseconds MinPreparation{0};
  std::chrono::milliseconds MinProcessing{0};
  std::chrono::milliseconds FinishedDisplay{0};  // after a clean, complete run
  std::chrono::milliseconds StartDelay{75};      // the processing's breath before the first entry
};

// Called on the controller's thread (stages) or on the workers' threads (the rest). A window
// posts them to its own thread; the console prints from them.
struct RunEvents {
  std::function<void(RunStage stage)> StageChanged;
  // The run has just cleared its stop flags (the loader's before the load, the run's before the
  // preparation): a front end raises again a stop that was asked for earlier, such as a signal.
  std::function<void()> FlagsReset;
  // The load is over, with the number of entries the list holds (on the loader thread).
  std::function<void(qsizetype count)> Loaded;
  // Decides whether the run starts, after the run values are known; the console prints its
  // problems here. Without it the run starts (the window checks before it starts the run).
  std::function<bool(const RunValues& values)> Check;
  BatchEvents Entries;
  ActObserver* Observer = nullptr;  // sees every operation (an undo journal)
};

// What a run works on. The lists, the settings and the flags belong to the caller; the run
// uses them until it returns.
struct RunRequest {
  FileList& Files;
  FileList& FollowUp;
  Preset& Settings;
  RunFlags& Flags;
  LoadFlags& Load;
  QString PathsToLoad;         // line-feed separated; empty: nothing is loaded first
  PathFolders Folders;         // what the path placeholders stand for
  int64_t DateFieldValue = 0;  // the date field's value, for a fixed date the preset lacks
  RunPolicy Policy;
  RunEvents Events;
};

struct RunResult {
  RunFailure Failure = RunFailure::None;
  bool Started = false;    // the checks let the run start
  bool Succeeded = false;  // no entry ended with a status other than 0 or 1
  RunValues Values;
  BatchResult Batch;
};

// The run controller's body. Loads PathsToLoad (when given), derives the run values, runs the
// check, prepares the list (filter and sort) and processes it, each worker on a thread of its
// own at below-normal priority, and keeps the flags as the progress display expects them.
RunResult RunProcedure(RunRequest& request);

// Whether every entry ended with status 0 (not processed) or 1 (done).
bool AllEntriesSucceeded(const FileList& files);
