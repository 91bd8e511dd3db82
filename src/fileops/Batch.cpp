#include "fileops/Batch.h"

#include "filelist/Loader.h"
#include "fileops/Attributes.h"
#include "fileops/Checksums.h"
#include "fileops/CommonBase.h"
#include "fileops/Dates.h"
#include "fileops/TargetBuilder.h"
#include "fileops/ZoneMark.h"
#include "naming/Placeholders.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"

#include <QRandomGenerator>

#include <cerrno>
#include <thread>

namespace {

using std::memory_order_relaxed;

struct ChecksumNeed {
  bool Crc = false;
  bool Md5 = false;
  bool Sha1 = false;
  bool Any() const { return Crc || Md5 || Sha1; }
};

// Which checksums the texts of the task ask for. Placeholders count in any letter case, as
// they expand, and the target directory counts too: a checksum that a template asks for is
// never expanded as an empty text.
ChecksumNeed ChecksumsNeeded(const Preset& settings, const RunValues& runValues) {
  QString joined;
  if (settings.InsertActive) joined += settings.InsertText + QLatin1Char(' ');
  if (settings.ReplaceActive) {
    for (const TextReplacement& rule : settings.TextReplacements)
      if (rule.IsActive()) joined += rule.Replacement + QLatin1Char(' ');
  }
  if (runValues.NameBuildingActive) joined += runValues.PreparedNameTemplate + QLatin1Char(' ');
  if (settings.TargetDirActive) joined += runValues.PreparedTargetDir + QLatin1Char(' ');
  joined = NormalizePlaceholderCase(joined);
  return {joined.contains(QStringLiteral("%CC%")), joined.contains(QStringLiteral("%CM%")),
          joined.contains(QStringLiteral("%CS%"))};
}

// Moves `from` onto the existing file `to`. The existing file is first renamed aside and only
// removed once the move has worked; a failed move puts it back, so a failure loses nothing.
FileOpResult MoveReplacing(const QString& from, const QString& to, const QString& directory) {
  QString aside;
  FileOpResult parked;
  for (int attempt = 0; attempt < 8; ++attempt) {
    aside = directory + QStringLiteral(".mervane-replace-") +
            QString::number(QRandomGenerator::global()->generate(), 16);
    parked = MoveFile(to, aside);
    if (parked.Error != EEXIST) break;
  }
  if (!parked.Ok()) return parked;
  const FileOpResult moved = MoveFile(from, to);
  if (moved.Ok())
    DeleteFile(aside);
  else
    MoveFile(aside, to);
  return moved;
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
        answers_(InitialAnswer(flags, options), options.AskReplace),
        requests_(AttributeRequestsFrom(settings)),
        need_(ChecksumsNeeded(settings, runValues)),
        plan_(PlanTargets(settings, runValues.PreparedNameTemplate, runValues.PreparedTargetDir,
                          runValues.TargetRelativeToSource,
                          settings.TargetDirActive && settings.KeepSubfolders
                              ? CommonBaseDirectory(files)
                              : QString())),
        counters_(plan_.CounterStart, plan_.CounterWidth, settings.CounterPerDirectory != 0) {}

  void Run() {
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
    KeepUnprocessed();
  }

 private:
  static int32_t InitialAnswer(const RunFlags& flags, const BatchOptions& options) {
    if (options.ConsoleMode) return kAnswerLeaveAll;
    if (flags.RunSingle.load(memory_order_relaxed) != 0) return kAnswerReplaceAll;
    return kAnswerLeave;
  }

  bool ShouldMove() const {
    return plan_.NameBuildingActive || settings_.ExtCaseActive || settings_.ExtRulesActive ||
           (settings_.TargetDirActive && settings_.TargetMove);
  }

  void AddProgress(int units) { flags_.ProgressCount.fetch_add(units, memory_order_relaxed); }

  void ProcessEntry(qsizetype pos) {
    FileEntry& entry = files_.At(pos);
    flags_.ProgressCount.store(static_cast<int32_t>(pos * 3), memory_order_relaxed);
    flags_.SetProgressEntry(entry.Id, entry.Name, entry.Directory);

    int status = kStatusDone;
    int error = 0;
    Target target;
    bool targetBuilt = false;
    bool contentRead = false;  // the checksum read may have changed the access time
    bool copied = false;

    if (runValues_.PreparationNeeded &&
        (entry.Status == kStatusSourceMissing || entry.Status == kStatusReadError))
      status = entry.Status;
    if (status == kStatusDone && FileSize(entry.Path) < 0) status = kStatusSourceMissing;

    if (status == kStatusDone && need_.Any()) {
      const ChecksumResult sums = ComputeChecksums(entry.Path, need_.Crc, need_.Md5, need_.Sha1);
      contentRead = !sums.AccessTimeKept;
      // A read error is what fails the entry; any checksum value, 0 included, is a real one.
      if (!sums.Ok) {
        status = kStatusReadError;
      } else {
        if (need_.Crc) entry.Crc32 = sums.Crc32;
        if (need_.Md5) entry.Md5 = sums.Md5;
        if (need_.Sha1) entry.Sha1 = sums.Sha1;
      }
    }

    if (status == kStatusDone) {
      target = BuildTarget(entry, settings_, plan_, counters_);
      targetBuilt = true;
      if (target.CreateDirectory && target.Directory != lastCreatedDirectory_) {
        // A folder that cannot be made shows as the failed copy or move.
        if (CreateDirectoryPath(target.Directory)) lastCreatedDirectory_ = target.Directory;
      }
    }

    // Only a target that exists can be the source itself or clash with another file, so the
    // common case of a free target costs one look-up.
    bool replace = false;
    if (status == kStatusDone && plan_.TargetDirActive && PathExists(target.Path)) {
      if (target.Path == entry.Path || SameFile(target.Path, entry.Path)) {
        status = kStatusTargetIsSource;
      } else if (FileSize(target.Path) != -2) {  // a folder in the way fails the copy or move
        replace = answers_.ShouldReplace(target.Path);
        if (!replace) status = kStatusTargetExists;
      }
    }
    AddProgress(1);

    if (status == kStatusDone) {
      FileOpResult result;
      if (plan_.TargetDirActive && !settings_.TargetMove) {
        // The copy replaces an existing target in one step, and only once it is complete.
        result = CopyFile(entry.Path, target.Path);
        copied = true;
      } else if (ShouldMove() && target.Path != entry.Path) {
        ClearReadOnly(entry.Path, entry.Attributes);
        result = replace ? MoveReplacing(entry.Path, target.Path, target.Directory)
                         : MoveFile(entry.Path, target.Path);
        copied = result.Copied;
      } else {
        // Only attributes, zone mark or dates change: the later steps work on the source.
        target.Path = entry.Path;
      }
      if (!result.Ok()) {
        error = result.Error;
        status = kStatusCopyMoveFailed;
      }
    }

    if (status == kStatusCopyMoveFailed && IsDiskFull(error)) {
      const bool stop = options_.ConsoleMode ||
                        (options_.AskStopOnDiskFull && options_.AskStopOnDiskFull(target.Path));
      if (stop) flags_.RunCancelled.store(1, memory_order_relaxed);
    }
    AddProgress(1);

    if (status != kStatusDone && target.Counter.Number != -1) counters_.GiveBack(target.Counter);

    // Only the file this run produced loses its mark: a target left in place or a file that
    // merely stood in the way is not the run's to change.
    if (settings_.RemoveZoneMark && status == kStatusDone) ClearZoneMark(target.Path);

    if (status == kStatusDone && requests_.Any()) {
      const int applied = ApplyAttributes(target.Path, requests_, entry.Attributes);
      if (applied == 0) status = kStatusAttributesFailed;
      if (applied == -1) status = kStatusReadError;
    }

    if (status == kStatusDone) {
      const TargetTimes times =
          (copied || contentRead) ? TargetTimes::Fresh : TargetTimes::AsRecorded;
      WriteDates(target.Path, entry, settings_, runValues_.ResolvedFixedDate, times);
    }

    KeepForLater(entry, status, target.Path);
    AddProgress(1);

    entry.Status = static_cast<int8_t>(status);
    entry.Detail = 0;
    entry.NewPath = targetBuilt ? target.Path : QString();
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
  const TargetPlan plan_;
  CounterMap counters_;
  QString lastCreatedDirectory_;
};

}  // namespace

void RunBatch(FileList& files, FileList& followUp, const Preset& settings,
              const RunValues& runValues, RunFlags& flags, const BatchOptions& options) {
  BatchRun run(files, followUp, settings, runValues, flags, options);
  run.Run();
}
