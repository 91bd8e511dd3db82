#include "journal/RunJournal.h"

#include "fileops/ZoneMark.h"
#include "journal/JournalFolder.h"
#include "platform/Attributes.h"
#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/FileTimes.h"
#include "platform/Locations.h"
#include "platform/Process.h"
#include "platform/Xattr.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

// The group size stays between these; a sync should cost at most a 128th of the work it covers
// (on a disk that syncs in a millisecond, a run of 100,000 renames then makes a few dozen syncs
// instead of a hundred, which took some percent of its time).
// A sync that costs more makes the next group four times as large: on a disk where each sync
// waits for the file system to commit the run's changes so far, a run of 100,000 then makes
// about 7 syncs instead of 15. The largest group holds its planned entries in memory (some
// tens of megabytes).
constexpr qsizetype kMinAhead = 32;
constexpr qsizetype kMaxAhead = 65536;
constexpr qsizetype kGrowth = 4;
constexpr int kSyncShare = 128;
// Outcomes wait for the next group's write, unless this many bytes gather first.
constexpr size_t kPendingLimit = 1 << 20;

JournalAction ActionOf(PlanAction action) {
  switch (action) {
    case PlanAction::Rename:
      return JournalAction::Rename;
    case PlanAction::Move:
      return JournalAction::Move;
    case PlanAction::Copy:
      return JournalAction::Copy;
    case PlanAction::InPlace:
    case PlanAction::None:
      break;
  }
  return JournalAction::InPlace;
}

}  // namespace

RunJournal::RunJournal(QString folder, RunJournalInfo info, std::atomic<int32_t>* stop)
    : folder_(std::move(folder)), info_(std::move(info)), stop_(stop) {}

RunJournal::~RunJournal() = default;

void RunJournal::SetCrashPoint(const JournalCrashPoint& point) {
  crash_ = point;
  hooks_ = std::make_unique<CrashHooks>(point);
}

void RunJournal::CrashAt(JournalCrashPoint::Point point, int64_t& counter) {
  PassCrashPoint(crash_, point, counter);
}

QString RunJournal::OpenErrorText() const {
  if (!problem_.Ok()) return TrustCheckText(problem_);
  return SystemErrorText(error_);
}

int RunJournal::Open() {
  problem_ = OpenJournalFolder(folder_, true, dir_);
  if (!problem_.Ok()) {
    error_ = problem_.Error != 0 ? problem_.Error : EPERM;
    return error_;
  }
  const std::vector<JournalFile> existing = ListJournalFiles(folder_);
  number_ = existing.empty() ? 1 : existing.back().Number + 1;
  int err = EEXIST;
  for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt, ++number_) {
    err = file_.Create(dir_, JournalFileName(number_));
    if (err == 0) break;
  }
  if (err != 0) {
    error_ = err;
    return err;
  }
  path_ = folder_ + JournalFileName(number_);
  JournalHeader header;
  header.Number = number_;
  header.Started = CurrentFileTime();
  header.ProcessId = ProcessId();
  header.PresetNumber = info_.PresetNumber;
  header.PresetName = info_.PresetName;
  header.FrontEnd = info_.FrontEnd;
  header.ListCount = info_.ListCount;
  header.Values = info_.Values;
  pending_.Begin(header);
  err = file_.Append(pending_.Data(), pending_.Size());
  written_ = static_cast<int64_t>(pending_.Size());
  pending_.Clear();
  if (err == 0) err = file_.Sync();
  if (err != 0) {
    file_.Close();
    dir_.Remove(JournalFileName(number_));
    path_.clear();
    error_ = err;
  }
  return err;
}

qsizetype RunJournal::AnnounceAhead() {
  if (lastSyncEnd_ != Clock::time_point{}) {
    const Clock::duration work = Clock::now() - lastSyncEnd_;
    if (lastSync_ * kSyncShare > work) ahead_ = std::min(ahead_ * kGrowth, kMaxAhead);
  }
  return std::max(ahead_, kMinAhead);
}

qsizetype RunJournal::ForeseeAhead() {
  // The next group, as large as this one (when it grows, the rest is looked at in its turn).
  return looksAhead_ && error_ == 0 ? ahead_ : 0;
}

void RunJournal::Foresee(qsizetype first, const std::vector<QByteArray>& sources) {
  if (!looksAhead_ || error_ != 0) return;
  if (!lookAhead_.Start(first, sources, std::move(groupWrites_))) looksAhead_ = false;
  groupWrites_.clear();
}

void RunJournal::NoteWrites(const ActIntent& intent, std::vector<QString>& names) const {
  names.push_back(intent.Entry.FileName());
  names.push_back(intent.Target);
  if (intent.RemovesZoneMark) names.push_back(ZoneMarkSiblingPath(intent.Target));
  // Split into its parts on the look's own thread.
  if (intent.Plan.CreateDirectory && !intent.Plan.Directory.isEmpty())
    names.push_back(intent.Plan.Directory.endsWith(QLatin1Char('/'))
                        ? intent.Plan.Directory
                        : intent.Plan.Directory + QLatin1Char('/'));
}

JournalIntent RunJournal::Describe(const ActIntent& act, const FileIdentity* looked) {
  JournalIntent intent;
  intent.Position = static_cast<uint32_t>(act.Position);
  intent.Action = ActionOf(act.Plan.Action);
  intent.Source = act.SourceBytes.isNull() ? EncodeFileName(act.Entry.Path()) : act.SourceBytes;
  intent.Target = act.TargetBytes.isNull() ? EncodeFileName(act.Target) : act.TargetBytes;
  intent.Identity = looked != nullptr ? *looked : ReadFileIdentity(intent.Source);
  const bool copy = intent.Action == JournalAction::Copy;

  // What undo restores on the file itself; a copy leaves its source as it was.
  uint8_t flags = 0;
  if (act.Existing == ExistingTarget::Replace) flags |= kIntentMayReplace;
  if (act.ClearsReadOnly) flags |= kIntentClearsReadOnly;
  if (act.ChangesAttributes && !copy) flags |= kIntentChangesAttributes;
  if (act.RemovesZoneMark) flags |= kIntentRemovesMarks;
  if (act.WritesDates && !copy) flags |= kIntentWritesDates;

  FileIdentity properties = intent.Identity;
  if (intent.Identity.IsLink()) properties = ReadFollowedIdentity(act.Entry.Path());
  intent.Properties.Mode = properties.Mode & 07777;
  intent.Properties.Accessed = properties.Accessed;
  intent.Properties.Modified = properties.Modified;
  intent.Properties.Born = properties.Born;
  intent.Properties.HasBirthTime = properties.HasBirthTime;

  if ((flags & kIntentChangesAttributes) != 0) ReadStoredDosWord(act.Entry.Path(), intent.Dos);
  if ((flags & kIntentRemovesMarks) != 0) {
    if (!copy) {
      for (const char* name : ZoneMarkAttributeNames()) {
        XattrValue value = GetXattr(intent.Source.constData(), name);
        if (value.Ok()) intent.Marks.push_back({QByteArray(name), value.Value});
      }
    }
    const QString sibling = ZoneMarkSiblingPath(act.Target);
    if (IsRegularFile(sibling, false)) {
      // Its times are taken first: the read below counts as a use of it.
      const FileIdentity facts = ReadFileIdentity(sibling);
      const FileReadResult read = ReadWholeFile(sibling, kJournalMaxSibling);
      if (read.Ok()) {
        intent.Sibling = SiblingState::Kept;
        intent.SiblingContent = read.Bytes;
        intent.SiblingMode = facts.Mode & 07777;
        intent.SiblingAccessed = facts.Accessed;
        intent.SiblingModified = facts.Modified;
      } else {
        intent.Sibling = SiblingState::TooLarge;
      }
    }
  }
  if ((flags & kIntentMayReplace) != 0) {
    const FileIdentity there = ReadFileIdentity(act.Target);
    if (there.Exists() && !there.SameFileAs(intent.Identity)) {
      intent.Replaced = there;
      flags |= kIntentHasReplaced;
    }
  }
  intent.Flags = flags;
  return intent;
}

void RunJournal::NoteNewFolders(const ActIntent& intent) {
  if (!intent.Plan.CreateDirectory || intent.Plan.Directory == lastFolder_) return;
  lastFolder_ = intent.Plan.Directory;
  QString folder = lastFolder_;
  while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
  // Each folder along the path that is not there yet is one the run creates.
  while (folder.size() > 1 && !foldersSeen_.contains(folder)) {
    foldersSeen_.insert(folder);
    if (PathExists(folder)) break;
    pending_.Folder(EncodeFileName(folder));
    folder = folder.left(std::max<qsizetype>(1, folder.lastIndexOf(QLatin1Char('/'))));
  }
}

bool RunJournal::Covered(const ActIntent& intent) const {
  const qsizetype slot = intent.Position - announcedFirst_;
  if (slot < 0 || slot >= static_cast<qsizetype>(announced_.size())) return false;
  const Announced& it = announced_[static_cast<size_t>(slot)];
  return it.Valid && it.Action == ActionOf(intent.Plan.Action) && it.Target == intent.Target &&
         (it.MayReplace || intent.Existing == ExistingTarget::Refuse);
}

void RunJournal::Announce(const std::vector<ActIntent>& intents) {
  // The looks ahead, taken while the group before was acted on, are in.
  lookAhead_.Stop();
  if (error_ != 0 || !file_.IsOpen() || intents.empty()) return;
  // Entries before this group are done with.
  const qsizetype first = intents.front().Position;
  if (first >= announcedFirst_ + static_cast<qsizetype>(announced_.size())) {
    announced_.clear();
  } else if (first > announcedFirst_) {
    announced_.erase(announced_.begin(), announced_.begin() + (first - announcedFirst_));
  } else {
    announced_.insert(announced_.begin(), static_cast<size_t>(announcedFirst_ - first), {});
  }
  announcedFirst_ = first;
  bool added = false;
  groupWrites_.clear();
  for (const ActIntent& intent : intents) {
    if (looksAhead_) NoteWrites(intent, groupWrites_);
    // Planned again as announced before: that intent is on disk already.
    if (Covered(intent)) continue;
    NoteNewFolders(intent);
    const QByteArray& source = intent.SourceBytes;
    pending_.Intent(
        Describe(intent, source.isNull() ? nullptr : lookAhead_.Find(intent.Position, source)));
    if (intent.Position >= announcedFirst_) {
      const auto slot = static_cast<size_t>(intent.Position - announcedFirst_);
      if (slot >= announced_.size()) announced_.resize(slot + 1);
      announced_[slot] = {true, ActionOf(intent.Plan.Action),
                          intent.Existing == ExistingTarget::Replace, intent.Target};
    }
    ++intentCount_;
    added = true;
  }
  if (!added) return;
  // A journal that cannot be written refuses every later operation, and the run stops.
  if (const int err = Write(true); err != 0) Fail(err);
}

bool RunJournal::BeforeAct(const ActIntent& intent) {
  if (error_ != 0 || !file_.IsOpen()) return false;
  if (Covered(intent)) return true;
  // Not covered by the group's sync (re-planned, or a replace the question just allowed).
  if (looksAhead_) {
    std::vector<QString> names;
    NoteWrites(intent, names);
    for (const QString& name : names) lookAhead_.Touched(name);
  }
  NoteNewFolders(intent);
  pending_.Intent(Describe(intent));
  ++intentCount_;
  if (const int err = Write(true); err != 0) {
    Fail(err);
    return false;
  }
  return true;
}

bool RunJournal::BeforePlace(const ActIntent& intent, const FileIdentity& made) {
  if (error_ != 0 || !file_.IsOpen()) return false;
  // Written at once, with the outcomes that wait: a kill right after the copy is put in place
  // must find it recorded.
  pending_.Made({static_cast<uint32_t>(intent.Position), JournalMaker::Run, made});
  if (const int err = Write(false); err != 0) {
    Fail(err);
    return false;
  }
  return true;
}

void RunJournal::AfterAct(const ActIntent& intent, const ActOutcome& outcome) {
  CrashAt(JournalCrashPoint::Point::Acted, acted_);
  if (!file_.IsOpen()) return;
  JournalOutcome record;
  record.Position = static_cast<uint32_t>(intent.Position);
  record.Status = static_cast<int8_t>(outcome.Status);
  record.Error = outcome.Error;
  if (OutcomeActed(outcome.Status)) {
    ++changed_;
    const bool newFile = outcome.NewFile || intent.Plan.Action == PlanAction::Copy;
    // A new file is recognised later by its own identity: a copy the run made is removed only
    // while it is still that file, unchanged.
    FileIdentity now;
    if (newFile) {
      record.NewFile = true;
      // The file as the copy made it, when nothing after it changed it, is the one to know
      // again: a change by anyone else since it was put in place is no part of the run's.
      record.Result = outcome.MadeKept ? outcome.Made : ReadFileIdentity(outcome.NewPath);
      now = record.Result;
      if (now.IsLink()) now = ReadFollowedIdentity(outcome.NewPath);
    }
    // What the run left the file with: undo puts back only what is still so.
    const bool changes = intent.ClearsReadOnly || intent.ChangesAttributes || intent.WritesDates ||
                         intent.RemovesZoneMark;
    if (changes || newFile) {
      if (!newFile) now = ReadFollowedIdentity(outcome.NewPath);
      if (now.Exists()) {
        record.HasAfter = true;
        record.AfterMode = now.Mode & 07777;
        record.AfterAccessed = now.Accessed;
        record.AfterModified = now.Modified;
        if (intent.ChangesAttributes && intent.Plan.Action != PlanAction::Copy)
          record.HasAfterDos = ReadStoredDosWord(outcome.NewPath, record.AfterDos) == 0;
      }
    }
  } else {
    ++failed_;
  }
  if (outcome.NewPath != intent.Target) {
    record.NewPath = EncodeFileName(outcome.NewPath);
    lookAhead_.Touched(outcome.NewPath);
  }
  pending_.Outcome(record);
  if (error_ == 0 && pending_.Size() > kPendingLimit) {
    if (const int err = Write(false); err != 0) Fail(err);
  }
}

int RunJournal::Write(bool sync) {
  if (!pending_.IsEmpty()) {
    const auto size = static_cast<int64_t>(pending_.Size());
    const int err = spaceLimit_ > 0 && written_ + size > spaceLimit_
                        ? ENOSPC
                        : file_.Append(pending_.Data(), pending_.Size());
    pending_.Clear();
    if (err != 0) return err;
    written_ += size;
  }
  if (!sync) return 0;
  CrashAt(JournalCrashPoint::Point::Written, writtenGroups_);
  const Clock::time_point start = Clock::now();
  if (const int err = file_.Sync(); err != 0) return err;
  lastSyncEnd_ = Clock::now();
  lastSync_ = lastSyncEnd_ - start;
  CrashAt(JournalCrashPoint::Point::Synced, syncedGroups_);
  return 0;
}

void RunJournal::Fail(int error) {
  if (error_ == 0) error_ = error;
  if (stop_ != nullptr) stop_->store(1, std::memory_order_relaxed);
}

int RunJournal::Finish() {
  lookAhead_.Stop();
  if (!file_.IsOpen()) return error_;
  if (intentCount_ == 0) {
    // The run changed nothing: there is nothing to take back.
    file_.Close();
    dir_.Remove(JournalFileName(number_));
    path_.clear();
    return error_;
  }
  if (error_ == 0) {
    // Not synced: every operation's intent is on disk already, and undo asks the disk what
    // became of each entry, so a run whose end record a power cut takes is still taken back
    // whole. A sync here would wait for the file system to commit every change of the run.
    pending_.End({CurrentFileTime(), changed_, failed_});
    if (const int err = Write(false); err != 0) error_ = err;
  }
  if (const int err = file_.Close(); err != 0 && error_ == 0) error_ = err;
  PruneJournals(dir_);
  return error_;
}
