#include "fileops/Batch.h"

#include "filelist/Loader.h"
#include "fileops/Attributes.h"
#include "fileops/ContentReadAhead.h"
#include "fileops/ContentReading.h"
#include "fileops/Dates.h"
#include "fileops/ZoneMark.h"
#include "platform/Attributes.h"
#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"

#include <QSet>
#include <algorithm>

#include <cerrno>
#include <memory>
#include <thread>
#include <vector>

namespace {

using std::memory_order_relaxed;

// How the run plans: the disk tells what earlier entries did, and an in-place target is left to
// the rename, which refuses an existing one at no extra cost. A dry run simulates instead, and
// so does a run that plans entries ahead of acting on them (an observer asks for it): there the
// entries planned before one have not acted yet when it is planned.
PlanOptions PlanOptionsFor(const BatchOptions& options, bool planAhead) {
  PlanOptions plan;
  plan.DiskLookups = true;
  plan.ReplaceMemory = options.ReplaceMemory;
  plan.Simulate = options.DryRun || planAhead;
  plan.LookUpInPlaceTargets = options.DryRun;
  plan.Rewindable = !options.DryRun;
  return plan;
}

// Planning ahead for an observer is worth it only where entries are acted on one after another.
bool PlansAhead(const BatchOptions& options, const RunFlags& flags) {
  return options.Observer != nullptr && !options.DryRun &&
         flags.RunSingle.load(std::memory_order_relaxed) == 0;
}

// A window of entries planned ahead stops growing after this long, so that the first of them
// is acted on soon even where planning reads whole files for their checksums.
constexpr std::chrono::milliseconds kPlanAheadTime{100};
// After an entry ended otherwise than planned, the entries already announced after it are
// planned anew in windows of at most this many, so that a run in which many entries fail
// spends little on planning again what mostly stays as it was.
constexpr qsizetype kReplanWindow = 64;

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
        need_(ContentNeeded(settings, runValues)),
        planAhead_(PlansAhead(options, flags)),
        planner_(files, settings, runValues, PlanOptionsFor(options, planAhead_)),
        renamesInPlace_(!settings.TargetDirActive &&
                        (planner_.Targets().NameBuildingActive || settings.ExtCaseActive ||
                         settings.ExtRulesActive)),
        copies_(settings.TargetDirActive && !settings.TargetMove) {}

  BatchResult Run() {
    const bool single = flags_.RunSingle.load(memory_order_relaxed) != 0;
    qsizetype pos = single ? files_.Current : 0;
    if (pos < 0) pos = 0;
    // The reading ahead starts before the breath, which it puts to use.
    if (!single) StartReadAhead(pos);
    if (options_.StartDelay.count() > 0) std::this_thread::sleep_for(options_.StartDelay);
    bool stopped = false;
    while (pos < files_.Count() && !stopped) {
      // Plan a group of entries (one, unless an observer wants them announced ahead), then act
      // on them in order. An entry that ends otherwise than planned makes the entries after it
      // be planned anew, from what the disk now shows.
      PlanWindow(pos);
      if (planAhead_) AnnounceWindow();
      for (Pending& pending : window_) {
        const int settled = ActOn(pending);
        pos = pending.Pos + 1;
        WhilePaused();
        if (result_.StoppedByFullDisk || flags_.RunCancelled.load(memory_order_relaxed) != 0 ||
            flags_.RunActive.load(memory_order_relaxed) == 0) {
          stopped = true;
          break;
        }
        if (pending.Planned && settled != pending.Plan.Status) {
          planner_.Rewind(pending.Mark);
          planner_.Settle(files_.At(pending.Pos), pending.Plan, settled);
          break;
        }
      }
      // A dry run goes on simulating every entry; a real run's disk now shows what they did.
      if (!options_.DryRun) planner_.ForgetClaims();
    }
    readAhead_.reset();
    if (result_.StoppedByFullDisk) result_.Unreached = files_.Count() - pos;
    if (!options_.DryRun) KeepUnprocessed();
    return result_;
  }

 private:
  // One entry planned and not yet acted on.
  struct Pending {
    qsizetype Pos = 0;
    int Status = kStatusDone;  // what the entry ends with when nothing changes meanwhile
    EntryPlan Plan;
    // The plan's target path, joined once: the announcement, the operation and its record all
    // name it, and joining it anew for each was a good part of the run's own work per file.
    QString Target;
    // Source and target in file-system bytes, encoded when the entry is first announced or
    // acted on (the same reasoning: each encoding is a copy of the path).
    QByteArray SourceBytes;
    QByteArray TargetBytes;
    bool Planned = false;      // the planner planned it (and settled it as planned)
    Planner::Checkpoint Mark;  // the planner's state right after the plan, before settling
  };

  void AddProgress(int units) { flags_.ProgressCount.fetch_add(units, memory_order_relaxed); }

  void PublishProgress(qsizetype pos, const FileEntry& entry) {
    flags_.ProgressCount.store(static_cast<int32_t>(pos * 3), memory_order_relaxed);
    flags_.SetProgressEntry(entry.Id, entry.Name(), entry.Directory());
    if (options_.Events.EntryStarted) options_.Events.EntryStarted(pos, entry);
  }

  // The source as the run must find it: a regular file (or a link to one).
  bool SourceThere(const FileEntry& entry) const { return FileSize(entry.Path()) >= 0; }

  // Whether the batch will read the entry's content when it comes to it, as far as can be told
  // before the run: not when its status from the preparation or its path fails it first.
  bool MayReadContent(const FileEntry& entry) const {
    return !PreFailed(entry) && !PathTooLong(entry);
  }
  // The preparation found the source missing, unreadable or its name given up on.
  bool PreFailed(const FileEntry& entry) const {
    return runValues_.PreparationNeeded &&
           (entry.Status == kStatusSourceMissing || entry.Status == kStatusReadError ||
            entry.Status == kStatusMatchGaveUp);
  }

  void StartReadAhead(qsizetype first) {
    if (!options_.ReadAhead || !ContentReadAhead::Worthwhile(need_) || files_.Count() - first < 2)
      return;
    std::vector<QString> paths;
    paths.reserve(static_cast<size_t>(files_.Count() - first));
    for (qsizetype pos = first; pos < files_.Count(); ++pos) {
      const FileEntry& entry = files_.At(pos);
      paths.push_back(MayReadContent(entry) ? entry.Path() : QString());
    }
    readAhead_ = std::make_unique<ContentReadAhead>(std::move(paths), first, need_, flags_);
    if (!readAhead_->Start()) readAhead_.reset();
  }

  // Before an operation: the names at which it may make or replace a file or folder. Values
  // read ahead for a later entry whose file has one of these names are not taken (the file at
  // that path may be another one now, or changed), whatever folder the name is in: a path may
  // reach the same file through a link, and a name is cheap to check.
  void RememberWrites(const EntryPlan& plan, const QString& target) {
    if (!readAhead_) return;
    writtenNames_.insert(FoldedFileName(target));
    if (plan.CreateDirectory) {
      for (const QString& part : plan.Directory.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        writtenNames_.insert(part.toCaseFolded());
    }
  }

  // UTF-8 takes at most three bytes per UTF-16 unit: only long paths are encoded to tell.
  static bool PathTooLong(const FileEntry& entry) {
    return entry.Path().size() * 3 > kMaxPathBytes &&
           EncodeFileName(entry.Path()).size() > kMaxPathBytes;
  }

  // A plain rename in place needs no look at the source first: the rename's own "no such file"
  // tells the same (see Act), and a large batch of renames saves a call per file. So does a
  // copy, whose open of the source finds it missing or no regular file.
  bool LooksFirst() const {
    return !(renamesInPlace_ || copies_) || need_.Any() || options_.DryRun;
  }

  void PlanWindow(qsizetype first) {
    window_.clear();
    qsizetype ahead = 1;
    if (planAhead_) {
      ahead = std::max<qsizetype>(1, options_.Observer->AnnounceAhead());
      // Entries announced before are planned again up to where that announcement went, so that
      // the observer finds them announced as they stand and has nothing new to record.
      if (first < announcedEnd_) ahead = std::min({ahead, announcedEnd_ - first, kReplanWindow});
    }
    const auto start = std::chrono::steady_clock::now();
    for (qsizetype pos = first;
         pos < files_.Count() && static_cast<qsizetype>(window_.size()) < ahead; ++pos) {
      window_.push_back(PlanEntry(pos));
      if (std::chrono::steady_clock::now() - start > kPlanAheadTime) break;
    }
  }

  Pending PlanEntry(qsizetype pos) {
    FileEntry& entry = files_.At(pos);
    // Entries planned ahead show in the progress when they are acted on; one whose content is
    // read (for its checksums, say) shows while it is read.
    if (!planAhead_)
      PublishProgress(pos, entry);
    else if (need_.Any())
      flags_.SetProgressEntry(entry.Id, entry.Name(), entry.Directory());

    Pending pending;
    pending.Pos = pos;
    int status = kStatusDone;
    if (PreFailed(entry)) status = entry.Status;
    const bool lookFirst = LooksFirst();
    // A path the system does not take whole names no file it could find: that is no missing
    // source, it is a file the run cannot work on (the loader counted it).
    if (status == kStatusDone && PathTooLong(entry)) status = kStatusCopyMoveFailed;
    FileStamp stamp;
    if (status == kStatusDone && lookFirst) {
      // With values read ahead, the look at the source also tells whether they are its own.
      if (readAhead_) stamp = ReadFileStamp(entry.Path());
      if (readAhead_ ? stamp.Size < 0 : !SourceThere(entry)) status = kStatusSourceMissing;
    }
    if (status == kStatusDone && need_.Any()) status = FillContent(pos, entry, stamp);

    if (status != kStatusDone) {
      pending.Plan = Planner::Failed(static_cast<int8_t>(status));
    } else {
      pending.Plan = planner_.Plan(entry);
      pending.Planned = true;
      // An in-place change of attributes or dates acts on the source: it must be there.
      if (pending.Plan.Action == PlanAction::InPlace && !lookFirst && !SourceThere(entry)) {
        EntryPlan failed = Planner::Failed(kStatusSourceMissing);
        failed.Directory = pending.Plan.Directory;  // so that a counter number taken goes back
        failed.CounterNumber = pending.Plan.CounterNumber;
        pending.Plan = failed;
      }
      status = pending.Plan.Status;
      // A target folder that cannot be made, or a folder of the new name that is not there,
      // fails the copy or move: the dry run says so, as the run would find it.
      if (options_.DryRun && status == kStatusDone &&
          folders_.Check(pending.Plan, entry.Directory()).Outcome !=
              TargetFolderCheck::Verdict::Usable)
        status = kStatusCopyMoveFailed;
    }
    pending.Status = status;
    pending.Target = pending.Plan.TargetPath();
    if (pending.Planned) {
      pending.Mark = planner_.Mark();
      planner_.Settle(entry, pending.Plan, status);
    }
    return pending;
  }

  // What the entry's operation does with a file at its target: only a decision to replace lets
  // it put the file over an existing one (the answer for this target, or replace-all, which
  // also covers a file that appears there after the plan). `status` becomes 3 for a target left.
  ExistingTarget DecideExisting(const Pending& pending, int& status) {
    if (pending.Planned && pending.Plan.Expect == PlanExpect::TargetExists &&
        settings_.TargetDirActive) {
      if (answers_.ShouldReplace(pending.Target)) {
        status = kStatusDone;
        return ExistingTarget::Replace;
      }
      status = kStatusTargetExists;
      return ExistingTarget::Refuse;
    }
    if (settings_.TargetDirActive && answers_.Memory() == kAnswerReplaceAll)
      return ExistingTarget::Replace;
    return ExistingTarget::Refuse;
  }

  ActIntent IntentFor(Pending& pending, ExistingTarget existing) {
    const FileEntry& entry = files_.At(pending.Pos);
    const EntryPlan& plan = pending.Plan;
    const bool inPlace = plan.Action == PlanAction::InPlace;
    if (pending.SourceBytes.isNull()) {
      pending.SourceBytes = ForeseenSource(pending.Pos);
      if (pending.SourceBytes.isEmpty()) pending.SourceBytes = EncodeFileName(entry.Path());
      pending.TargetBytes = inPlace ? pending.SourceBytes : EncodeFileName(pending.Target);
    }
    ActIntent intent{entry, plan, pending.Pos, inPlace ? entry.Path() : pending.Target};
    intent.SourceBytes = pending.SourceBytes;
    intent.TargetBytes = pending.TargetBytes;
    intent.Existing = existing;
    intent.ClearsReadOnly =
        (plan.Action == PlanAction::Move || plan.Action == PlanAction::Rename) &&
        (entry.Attributes & kAttrReadOnly) != 0;
    intent.RemovesZoneMark = settings_.RemoveZoneMark != 0;
    intent.ChangesAttributes = requests_.Any();
    intent.WritesDates = settings_.ChangeDates != 0 || settings_.DateRulesActive != 0;
    return intent;
  }

  // Tells the observer what the entries of the window may do: those planned to be acted on,
  // and those whose target is still to be asked about (the answer may be to replace it).
  void AnnounceWindow() {
    std::vector<ActIntent> intents;
    intents.reserve(window_.size());
    const bool asks =
        answers_.Memory() != kAnswerLeaveAll && answers_.Memory() != kAnswerReplaceAll;
    for (Pending& pending : window_) {
      if (!pending.Planned) continue;
      const bool clash =
          pending.Plan.Expect == PlanExpect::TargetExists && settings_.TargetDirActive;
      if (pending.Status == kStatusDone) {
        const bool replace =
            settings_.TargetDirActive && (clash || answers_.Memory() == kAnswerReplaceAll);
        intents.push_back(
            IntentFor(pending, replace ? ExistingTarget::Replace : ExistingTarget::Refuse));
      } else if (pending.Status == kStatusTargetExists && clash && asks) {
        intents.push_back(IntentFor(pending, ExistingTarget::Replace));
      }
    }
    if (!intents.empty()) options_.Observer->Announce(intents);
    if (!window_.empty()) announcedEnd_ = std::max(announcedEnd_, window_.back().Pos + 1);
    if (!window_.empty()) ForeseeAfter(window_.back().Pos + 1);
  }

  // Names the sources after the window to the observer, which may look at them while the window
  // is acted on. Each source is encoded once: the entry's operation takes the same bytes. Not
  // when the entries' content is read: planning them reads their files, after any look ahead.
  void ForeseeAfter(qsizetype first) {
    if (options_.DryRun || need_.Any()) return;
    const qsizetype wanted = options_.Observer->ForeseeAhead();
    const qsizetype end = std::min(files_.Count(), first + std::max<qsizetype>(0, wanted));
    if (first >= end) return;
    foreseen_.clear();
    foreseen_.reserve(static_cast<size_t>(end - first));
    for (qsizetype pos = first; pos < end; ++pos) {
      const FileEntry& entry = files_.At(pos);
      foreseen_.push_back(PreFailed(entry) || PathTooLong(entry) ? QByteArray()
                                                                 : EncodeFileName(entry.Path()));
    }
    foreseenFirst_ = first;
    options_.Observer->Foresee(first, foreseen_);
  }

  // The source's bytes as named ahead to the observer, or a null array.
  QByteArray ForeseenSource(qsizetype pos) const {
    const qsizetype slot = pos - foreseenFirst_;
    if (slot < 0 || slot >= static_cast<qsizetype>(foreseen_.size())) return {};
    return foreseen_[static_cast<size_t>(slot)];
  }

  // Acts on one planned entry and records its outcome; returns the status the planner settles
  // it with (the status right after the copy or move, before the later steps).
  int ActOn(Pending& pending) {
    const qsizetype pos = pending.Pos;
    FileEntry& entry = files_.At(pos);
    if (planAhead_) PublishProgress(pos, entry);
    const EntryPlan& plan = pending.Plan;
    int status = pending.Status;
    if (options_.DryRun) {
      Finish(pos, entry, status, plan);
      return status;
    }

    const ExistingTarget existing = DecideExisting(pending, status);
    AddProgress(1);

    QString targetPath = pending.Target;
    int error = 0;
    if (status == kStatusDone) {
      const ActIntent intent = IntentFor(pending, existing);
      bool refused = false;
      if (options_.Observer != nullptr && !options_.Observer->BeforeAct(intent)) {
        refused = true;
        error = options_.Observer->RefusalError();
        status = kStatusCopyMoveFailed;
      } else {
        RememberWrites(plan, targetPath);
        status =
            Act(entry, plan, existing, pending.Planned && plan.Expect == PlanExpect::TargetExists,
                intent, targetPath, error, refused);
      }
      if (status == kStatusCopyMoveFailed && IsDiskFull(error)) {
        // A journal that cannot record more refuses every later entry: no question then.
        const bool stop =
            refused || !options_.AskStopOnDiskFull || options_.AskStopOnDiskFull(targetPath);
        // The batch stops of itself; the run procedure cancels the run through its control.
        if (stop) result_.StoppedByFullDisk = true;
      }
      AddProgress(1);
      const int settled = status;
      AfterOperation(entry, status, targetPath);
      if (options_.Observer != nullptr) {
        ActOutcome outcome;
        outcome.Status = status;
        outcome.NewPath = targetPath;
        outcome.Error = error;
        outcome.NewFile = copied_ && settled == kStatusDone;
        outcome.MadeKept = outcome.NewFile && madeKept_;
        if (outcome.MadeKept) outcome.Made = made_;
        options_.Observer->AfterAct(intent, outcome);
      }
      FinishEntry(pos, entry, status, targetPath, plan);
      return settled;
    }
    AddProgress(1);
    FinishEntry(pos, entry, status, targetPath, plan);
    return status;
  }

  void FinishEntry(qsizetype pos, FileEntry& entry, int status, const QString& targetPath,
                   const EntryPlan& plan) {
    KeepForLater(entry, status, targetPath);
    AddProgress(1);
    entry.Status = static_cast<int8_t>(status);
    entry.Detail = 0;
    entry.SetNewPath(targetPath);
    Finish(pos, entry, status, plan);
  }

  int FillContent(qsizetype pos, FileEntry& entry, const FileStamp& stamp) {
    std::optional<ContentReadAhead::Found> ahead;
    if (readAhead_) ahead = readAhead_->Take(pos);
    // Values read ahead stand for the entry's own read only if the file is the one read then,
    // unchanged, and nothing this run did since may have written at its name.
    const bool usable = ahead && ContentReadAhead::Usable(*ahead, stamp) &&
                        !writtenNames_.contains(FoldedFileName(entry.Path()));
    const ContentRead read = usable ? std::move(ahead->Content) : ReadContent(entry.Path(), need_);
    contentRead_ = !read.AccessTimeKept;
    // A read error is what fails the entry; any checksum value, 0 included, is a real one.
    if (!read.Ok) return kStatusReadError;
    StoreContent(entry, read.Values);
    return kStatusDone;
  }

  void MakeTargetFolder(const EntryPlan& plan) {
    if (!plan.CreateDirectory || plan.Directory == lastCreatedDirectory_) return;
    // A folder that cannot be made shows as the failed copy or move.
    if (CreateDirectoryPath(plan.Directory)) lastCreatedDirectory_ = plan.Directory;
  }

  // The copy or move of one entry; the status it ends with. `targetPath` becomes the source
  // itself when nothing is moved or copied. `clash`: the plan met a file at the target (the
  // replace question came between). `refused`: the observer vetoed the placing of a copy.
  int Act(FileEntry& entry, const EntryPlan& plan, ExistingTarget existing, bool clash,
          const ActIntent& intent, QString& targetPath, int& error, bool& refused) {
    copied_ = false;
    madeKept_ = false;
    if (plan.Action == PlanAction::InPlace) {
      // Only attributes, zone mark or dates change: the later steps work on the source.
      targetPath = entry.Path();
      return kStatusDone;
    }
    const bool copy = plan.Action == PlanAction::Copy;
    MakeTargetFolder(plan);
    // The read-only bit goes before a move (the moved file arrives writable); a move that
    // fails puts the source's permissions back as they were.
    int32_t savedMode = -1;
    if (!copy) savedMode = ClearReadOnlyBeforeMove(entry.Path(), entry.Attributes);
    // The observer records a copy's new file before it is put in place.
    BeforePlaceFunction beforePlace;
    if (options_.Observer != nullptr) {
      beforePlace = [this, &intent, &refused](const FileIdentity& made) {
        refused = !options_.Observer->BeforePlace(intent, made);
        made_ = made;
        madeKept_ = !refused && made.Exists();
        return !refused;
      };
    }
    FileOpResult result = Operate(intent, copy, existing, beforePlace);
    if (result.Error == ENOENT && SourceThere(entry) && plan.CreateDirectory) {
      // The target folder was removed during the run (by another program): make it again
      // where the run made it, and try once more.
      lastCreatedDirectory_.clear();
      MakeTargetFolder(plan);
      result = Operate(intent, copy, existing, beforePlace);
    }
    carried_ = result;
    if (result.Ok()) {
      copied_ = copy || result.Copied;
      return kStatusDone;
    }
    if (savedMode >= 0) SetFileMode(entry.Path(), savedMode);
    error = refused ? options_.Observer->RefusalError() : result.Error;
    // A source gone when its entry's turn came is missing, whether or not it was looked at
    // when the entry was planned (a run that plans ahead looks long before). One that went
    // while the replace question was open went during the operation, which failed. A copy,
    // planned without a look, also finds a folder or other non-file in the source's place.
    const bool sourceError = error == ENOENT || (copy && (error == EISDIR || error == EINVAL));
    if (!refused && sourceError && !clash && !SourceThere(entry)) return kStatusSourceMissing;
    // A file that appeared at the target after the plan is left as any existing target is.
    if (error == EEXIST && settings_.TargetDirActive) return kStatusTargetExists;
    return kStatusCopyMoveFailed;
  }

  // The intent's target is the plan's (the operation acts where it was announced).
  static FileOpResult Operate(const ActIntent& intent, bool copy, ExistingTarget existing,
                              const BeforePlaceFunction& beforePlace) {
    return copy ? CopyFile(intent.SourceBytes, intent.TargetBytes, existing, beforePlace)
                : MoveFile(intent.SourceBytes, intent.TargetBytes, existing, beforePlace);
  }

  // Zone mark, attributes and dates of the file the run produced.
  void AfterOperation(FileEntry& entry, int& status, const QString& targetPath) {
    // Only the file this run produced loses its mark: a target left in place or a file that
    // merely stood in the way is not the run's to change.
    if (settings_.RemoveZoneMark && status == kStatusDone) ClearZoneMark(targetPath);
    // Attributes and dates written below change what the copy was made with.
    if (requests_.Any()) madeKept_ = false;
    if (status == kStatusDone && requests_.Any()) {
      const int applied = ApplyAttributes(targetPath, requests_, entry.Attributes);
      if (applied == 0) status = kStatusAttributesFailed;
      if (applied == -1) status = kStatusReadError;
    }
    if (status == kStatusDone) {
      const TargetTimes times =
          (copied_ || contentRead_) ? TargetTimes::Fresh : TargetTimes::AsRecorded;
      DatePlan dates =
          ComputeDates(targetPath, entry, settings_, runValues_.ResolvedFixedDate, times);
      // A time the copy carries already needs no second write.
      if (copied_ && carried_.TimesCarried) {
        if (dates.LastAccess.Time == carried_.Accessed) dates.LastAccess.Write = false;
        if (dates.Modified.Time == carried_.Modified) dates.Modified.Write = false;
      }
      // A creation time written (where the file system keeps one) is no part of the record.
      if (dates.LastAccess.Write || dates.Modified.Write) madeKept_ = false;
      WriteDatePlan(targetPath, dates);
    }
    contentRead_ = false;
    carried_ = {};
  }

  void Finish(qsizetype pos, const FileEntry& entry, int status, const EntryPlan& plan) {
    if (status != kStatusDone && status != kStatusNotProcessed) ++result_.Failed;
    if (!options_.Events.EntryFinished) return;
    EntryOutcome outcome;
    outcome.Status = status;
    outcome.NewPath = options_.DryRun ? plan.TargetPath() : entry.NewPath();
    outcome.Action = plan.Action;
    outcome.Expect = plan.Expect;
    options_.Events.EntryFinished(pos, entry, outcome);
  }

  void KeepForLater(const FileEntry& entry, int status, const QString& targetPath) {
    if (settings_.QuitAfterRun) return;
    if (settings_.ListKeepSources || (settings_.ListKeepFailed && status != kStatusDone))
      AdmitFile(entry.Path(), followUp_, settings_);
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
      if (entry.Status == kStatusNotProcessed) AdmitFile(entry.Path(), followUp_, settings_);
  }

  FileList& files_;
  FileList& followUp_;
  const Preset& settings_;
  const RunValues& runValues_;
  RunFlags& flags_;
  const BatchOptions& options_;
  ReplaceAnswers answers_;
  const AttributeRequests requests_;
  const PlaceholderSet need_;  // what the templates need read from inside each file
  const bool planAhead_;       // entries are planned and announced in groups before acting
  Planner planner_;
  TargetFolderCheck folders_;  // the dry run's look at target folders
  const bool renamesInPlace_;
  const bool copies_;  // every planned entry is copied into the target folder
  std::vector<Pending> window_;
  std::unique_ptr<ContentReadAhead> readAhead_;  // null when every entry is read in its turn
  QSet<QString> writtenNames_;  // names the run may have written to so far (see RememberWrites)
  qsizetype announcedEnd_ = 0;  // the position after the last entry announced so far
  // The sources last named ahead to the observer, from position foreseenFirst_ on.
  std::vector<QByteArray> foreseen_;
  qsizetype foreseenFirst_ = 0;
  QString lastCreatedDirectory_;
  bool contentRead_ = false;  // reading the content may have changed the access time
  bool copied_ = false;       // the target is a new file (a copy, or a move across devices)
  // The new file as the copy handed it to the observer, and whether it is still so.
  FileIdentity made_;
  bool madeKept_ = false;
  FileOpResult carried_;  // what the last copy or move reported, its carried times among it
  BatchResult result_;
};

}  // namespace

BatchResult RunBatch(FileList& files, FileList& followUp, const Preset& settings,
                     const RunValues& runValues, RunFlags& flags, const BatchOptions& options) {
  // The run's copies learn their target folders' facts once, and let go of them at the end.
  const FolderFactsScope folderFacts;
  BatchRun run(files, followUp, settings, runValues, flags, options);
  return run.Run();
}
