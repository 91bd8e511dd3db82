#include "fileops/Batch.h"

#include "filelist/Loader.h"
#include "fileops/Attributes.h"
#include "fileops/Checksums.h"
#include "fileops/Dates.h"
#include "fileops/ZoneMark.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <thread>

namespace {

using std::memory_order_relaxed;

// How the run plans: the disk tells what earlier entries did, and an in-place target is left to
// the rename, which refuses an existing one at no extra cost. A dry run simulates instead.
PlanOptions PlanOptionsFor(const BatchOptions& options) {
  PlanOptions plan;
  plan.DiskLookups = true;
  plan.ReplaceMemory = options.ReplaceMemory;
  plan.Simulate = options.DryRun;
  plan.LookUpInPlaceTargets = options.DryRun;
  return plan;
}

class BatchRun {
 public:
  BatchRun(FileList& files, FileList& followUp, const Preset& settings, const RunValues& runValues,
           RunFlags& flags, const BatchOptions& options)
      : files_(files),
        followUp_(followUp),
        settings_(settings),
        runValues_(runValues),
        flags_(flags),
        options_(options),
        answers_(options.ReplaceMemory, options.AskReplace),
        requests_(AttributeRequestsFrom(settings)),
        need_(ChecksumsNeeded(settings, runValues)),
        planner_(files, settings, runValues, PlanOptionsFor(options)),
        renamesInPlace_(!settings.TargetDirActive &&
                        (planner_.Targets().NameBuildingActive || settings.ExtCaseActive ||
                         settings.ExtRulesActive)) {}

  BatchResult Run() {
    if (options_.StartDelay.count() > 0) std::this_thread::sleep_for(options_.StartDelay);
    const bool single = flags_.RunSingle.load(memory_order_relaxed) != 0;
    qsizetype pos = single ? files_.Current : 0;
    if (pos < 0) pos = 0;
    for (; pos < files_.Count(); ++pos) {
      ProcessEntry(pos);
      WhilePaused();
      if (flags_.RunCancelled.load(memory_order_relaxed) != 0 ||
          flags_.RunActive.load(memory_order_relaxed) == 0)
        break;
    }
    if (result_.StoppedByFullDisk) result_.Unreached = files_.Count() - pos - 1;
    if (!options_.DryRun) KeepUnprocessed();
    return result_;
  }

 private:
  void AddProgress(int units) { flags_.ProgressCount.fetch_add(units, memory_order_relaxed); }

  // The source as the run must find it: a regular file (or a link to one).
  bool SourceThere(const FileEntry& entry) const { return FileSize(entry.Path) >= 0; }

  void ProcessEntry(qsizetype pos) {
    FileEntry& entry = files_.At(pos);
    flags_.ProgressCount.store(static_cast<int32_t>(pos * 3), memory_order_relaxed);
    flags_.SetProgressEntry(entry.Id, entry.Name, entry.Directory);
    if (options_.Events.EntryStarted) options_.Events.EntryStarted(pos, entry);

    int status = kStatusDone;
    EntryPlan plan;
    bool planned = false;
    if (runValues_.PreparationNeeded &&
        (entry.Status == kStatusSourceMissing || entry.Status == kStatusReadError))
      status = entry.Status;
    // A plain rename in place needs no look at the source first: the rename's own "no such
    // file" tells the same (see Act), and a large batch of renames saves a call per file.
    const bool lookFirst = !renamesInPlace_ || need_.Any() || options_.DryRun;
    if (status == kStatusDone && lookFirst && !SourceThere(entry)) status = kStatusSourceMissing;
    if (status == kStatusDone && need_.Any()) status = FillChecksums(entry);

    if (status != kStatusDone) {
      plan = Planner::Failed(static_cast<int8_t>(status));
    } else {
      plan = planner_.Plan(entry);
      planned = true;
      // An in-place change of attributes or dates acts on the source: it must be there.
      if (plan.Action == PlanAction::InPlace && !lookFirst && !SourceThere(entry)) {
        EntryPlan failed = Planner::Failed(kStatusSourceMissing);
        failed.Directory = plan.Directory;  // so that a counter number taken goes back
        failed.CounterNumber = plan.CounterNumber;
        plan = failed;
      }
      status = plan.Status;
    }
    if (options_.DryRun) {
      if (planned) planner_.Settle(entry, plan, status);
      Finish(pos, entry, status, plan);
      return;
    }

    // Only a decision to replace lets the operation put the file over an existing one: the
    // answer for this target, or replace-all, which also covers a file that appears there
    // after the plan. Otherwise a file found there by then is left.
    ExistingTarget existing = ExistingTarget::Refuse;
    if (planned && plan.Expect == PlanExpect::TargetExists && settings_.TargetDirActive) {
      if (answers_.ShouldReplace(plan.TargetPath())) {
        existing = ExistingTarget::Replace;
        status = kStatusDone;
      } else {
        status = kStatusTargetExists;
      }
    } else if (settings_.TargetDirActive && answers_.Memory() == kAnswerReplaceAll) {
      existing = ExistingTarget::Replace;
    }
    AddProgress(1);

    QString targetPath = plan.TargetPath();
    int error = 0;
    if (status == kStatusDone) {
      ActIntent intent{entry, plan, plan.Action == PlanAction::InPlace ? entry.Path : targetPath};
      intent.Existing = existing;
      intent.ClearsReadOnly =
          (plan.Action == PlanAction::Move || plan.Action == PlanAction::Rename) &&
          (entry.Attributes & kAttrReadOnly) != 0;
      intent.RemovesZoneMark = settings_.RemoveZoneMark != 0;
      intent.ChangesAttributes = requests_.Any();
      intent.WritesDates = settings_.ChangeDates != 0 || settings_.DateRulesActive != 0;
      if (options_.Observer != nullptr && !options_.Observer->BeforeAct(intent)) {
        error = ECANCELED;
        status = kStatusCopyMoveFailed;
      } else {
        status = Act(entry, plan, existing, !lookFirst, targetPath, error);
      }
      if (status == kStatusCopyMoveFailed && IsDiskFull(error)) {
        const bool stop = !options_.AskStopOnDiskFull || options_.AskStopOnDiskFull(targetPath);
        if (stop) {
          flags_.RunCancelled.store(1, memory_order_relaxed);
          result_.StoppedByFullDisk = true;
        }
      }
      AddProgress(1);
      planner_.Settle(entry, plan, status);
      AfterOperation(entry, status, targetPath);
      if (options_.Observer != nullptr)
        options_.Observer->AfterAct(intent, status, targetPath, error);
    } else {
      AddProgress(1);
      if (planned) planner_.Settle(entry, plan, status);
    }

    KeepForLater(entry, status, targetPath);
    AddProgress(1);
    entry.Status = static_cast<int8_t>(status);
    entry.Detail = 0;
    entry.NewPath = targetPath;
    Finish(pos, entry, status, plan);
  }

  int FillChecksums(FileEntry& entry) {
    const ChecksumResult sums = ComputeChecksums(entry.Path, need_.Crc, need_.Md5, need_.Sha1);
    contentRead_ = !sums.AccessTimeKept;
    // A read error is what fails the entry; any checksum value, 0 included, is a real one.
    if (!sums.Ok) return kStatusReadError;
    if (need_.Crc) entry.Crc32 = sums.Crc32;
    if (need_.Md5) entry.Md5 = sums.Md5;
    if (need_.Sha1) entry.Sha1 = sums.Sha1;
    return kStatusDone;
  }

  void MakeTargetFolder(const EntryPlan& plan) {
    if (!plan.CreateDirectory || plan.Directory == lastCreatedDirectory_) return;
    // A folder that cannot be made shows as the failed copy or move.
    if (CreateDirectoryPath(plan.Directory)) lastCreatedDirectory_ = plan.Directory;
  }

  // The copy or move of one entry; the status it ends with. `targetPath` becomes the source
  // itself when nothing is moved or copied. `sourceUnchecked`: nobody looked at the source
  // before, so a source found missing now is status 2, as the look would have said.
  int Act(FileEntry& entry, const EntryPlan& plan, ExistingTarget existing, bool sourceUnchecked,
          QString& targetPath, int& error) {
    copied_ = false;
    if (plan.Action == PlanAction::InPlace) {
      // Only attributes, zone mark or dates change: the later steps work on the source.
      targetPath = entry.Path;
      return kStatusDone;
    }
    const bool copy = plan.Action == PlanAction::Copy;
    MakeTargetFolder(plan);
    // The read-only bit goes before a move (the moved file arrives writable); a move that
    // fails puts the source's permissions back as they were.
    int32_t savedMode = -1;
    if (!copy) savedMode = ClearReadOnlyBeforeMove(entry.Path, entry.Attributes);
    FileOpResult result = Operate(entry, targetPath, copy, existing);
    if (result.Error == ENOENT && SourceThere(entry) && plan.CreateDirectory) {
      // The target folder was removed during the run (by another program): make it again
      // where the run made it, and try once more.
      lastCreatedDirectory_.clear();
      MakeTargetFolder(plan);
      result = Operate(entry, targetPath, copy, existing);
    }
    if (result.Ok()) {
      copied_ = copy || result.Copied;
      return kStatusDone;
    }
    if (savedMode >= 0) SetFileMode(entry.Path, savedMode);
    error = result.Error;
    if (sourceUnchecked && error == ENOENT && !SourceThere(entry)) return kStatusSourceMissing;
    // A file that appeared at the target after the plan is left as any existing target is.
    if (error == EEXIST && settings_.TargetDirActive) return kStatusTargetExists;
    return kStatusCopyMoveFailed;
  }

  static FileOpResult Operate(const FileEntry& entry, const QString& targetPath, bool copy,
                              ExistingTarget existing) {
    return copy ? CopyFile(entry.Path, targetPath, existing)
                : MoveFile(entry.Path, targetPath, existing);
  }

  // Zone mark, attributes and dates of the file the run produced.
  void AfterOperation(FileEntry& entry, int& status, const QString& targetPath) {
    // Only the file this run produced loses its mark: a target left in place or a file that
    // merely stood in the way is not the run's to change.
    if (settings_.RemoveZoneMark && status == kStatusDone) ClearZoneMark(targetPath);
    if (status == kStatusDone && requests_.Any()) {
      const int applied = ApplyAttributes(targetPath, requests_, entry.Attributes);
      if (applied == 0) status = kStatusAttributesFailed;
      if (applied == -1) status = kStatusReadError;
    }
    if (status == kStatusDone) {
      const TargetTimes times =
          (copied_ || contentRead_) ? TargetTimes::Fresh : TargetTimes::AsRecorded;
      WriteDates(targetPath, entry, settings_, runValues_.ResolvedFixedDate, times);
    }
    contentRead_ = false;
  }

  void Finish(qsizetype pos, const FileEntry& entry, int status, const EntryPlan& plan) {
    if (status != kStatusDone && status != kStatusNotProcessed) ++result_.Failed;
    if (!options_.Events.EntryFinished) return;
    EntryOutcome outcome;
    outcome.Status = status;
    outcome.NewPath = options_.DryRun ? plan.TargetPath() : entry.NewPath;
    outcome.Action = plan.Action;
    outcome.Expect = plan.Expect;
    options_.Events.EntryFinished(pos, entry, outcome);
  }

  void KeepForLater(const FileEntry& entry, int status, const QString& targetPath) {
    if (settings_.QuitAfterRun) return;
    if (settings_.ListKeepSources || (settings_.ListKeepFailed && status != kStatusDone))
      AdmitFile(entry.Path, followUp_, settings_);
    if (settings_.ListKeepTargets && status == kStatusDone)
      AdmitFile(targetPath, followUp_, settings_);
  }

  void WhilePaused() {
    while ((flags_.RunPaused.load(memory_order_relaxed) != 0 ||
            flags_.RunAsking.load(memory_order_relaxed) != 0) &&
           flags_.RunActive.load(memory_order_relaxed) != 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  void KeepUnprocessed() {
    if (!settings_.ListKeepUnprocessed || settings_.QuitAfterRun ||
        flags_.QuitRequested.load(memory_order_relaxed) != 0)
      return;
    for (const FileEntry& entry : files_)
      if (entry.Status == kStatusNotProcessed) AdmitFile(entry.Path, followUp_, settings_);
  }

  FileList& files_;
  FileList& followUp_;
  const Preset& settings_;
  const RunValues& runValues_;
  RunFlags& flags_;
  const BatchOptions& options_;
  ReplaceAnswers answers_;
  const AttributeRequests requests_;
  const ChecksumNeed need_;
  Planner planner_;
  const bool renamesInPlace_;
  QString lastCreatedDirectory_;
  bool contentRead_ = false;  // the checksum read may have changed the access time
  bool copied_ = false;       // the target is a new file (a copy, or a move across devices)
  BatchResult result_;
};

}  // namespace

BatchResult RunBatch(FileList& files, FileList& followUp, const Preset& settings,
                     const RunValues& runValues, RunFlags& flags, const BatchOptions& options) {
  BatchRun run(files, followUp, settings, runValues, flags, options);
  return run.Run();
}
