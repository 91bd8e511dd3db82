#pragma once

#include "checks/Validation.h"
#include "filelist/FileList.h"
#include "fileops/ReplaceAnswers.h"
#include "run/RunFlags.h"
#include "settings/Preset.h"

#include <QString>

#include <chrono>
#include <functional>

// Asked when a copy or move failed because the disk (or the user's quota) is full, with the
// target path; true stops the run after this entry.
using AskStopOnDiskFullFunction = std::function<bool(const QString& targetPath)>;

struct BatchOptions {
  // Nobody can answer a question in a console run: existing targets are never replaced and a
  // full disk stops the run.
  bool ConsoleMode = false;
  AskReplaceFunction AskReplace;                // the window's replace question
  AskStopOnDiskFullFunction AskStopOnDiskFull;  // the window's disk-full question
  // A short breath before the first entry, so that the progress display is up when the first
  // file is processed.
  std::chrono::milliseconds StartDelay{75};
};

// The batch procedure: carries out the task on every entry of `files` (a single-entry run,
// flagged by `flags.RunSingle`, only on the current entry) and records each outcome in the
// entry's Status and NewPath. Per-file failures end as the entry's status and the run goes on;
// only the stop request, a cleared RunActive or a full disk end it early, and the entries not
// reached keep their status. Paths to keep after the run go to `followUp`, unless the
// settings' QuitAfterRun is set. Progress goes to `flags` (three units per entry).
// `runValues` must come from PrepareRunValues for these settings.
void RunBatch(FileList& files, FileList& followUp, const Preset& settings,
              const RunValues& runValues, RunFlags& flags, const BatchOptions& options);
