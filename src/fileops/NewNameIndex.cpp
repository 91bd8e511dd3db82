#include "fileops/NewNameIndex.h"

#include "fileops/NewNameEntries.h"

#include <algorithm>
#include <functional>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr uint32_t kNone = UINT32_MAX;
// More changed partners than this: the update hands over a whole new table, so that the thread
// that puts it in only swaps it.
constexpr size_t kPartnerEditsAtMost = 4096;

uint32_t PathHash(QStringView path) {
  const size_t hash = qHash(path, size_t{0x2545F4914F6CDD1D});
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

NameProblem BaseProblem(const NewNameRow& row) {
  // SameTargetLater is given afterwards, to the first claimant of a target that others meet.
  return row.Problem == NameProblem::SameTargetLater ? NameProblem::None : row.Problem;
}

bool Failing(const NewNameRow& row) {
  return row.Status != kStatusDone && row.Status != kStatusNotProcessed;
}

}  // namespace

// The targets' table and the chains of their entries. A target is found by its hash and then
// by comparing the path of its first entry, so that two targets never mix.
class NewNameGroups {
 public:
  using PathOf = std::function<QString(uint32_t)>;
  using RunOf = std::function<uint32_t(uint32_t)>;

  NewNameGroups(NewNameIndex& index, PathOf pathOf, RunOf runOf)
      : x_(index), pathOf_(std::move(pathOf)), runOf_(std::move(runOf)) {}

  // The first entry planned to `path`, kNone when none is.
  uint32_t Head(QStringView path, uint32_t hash) const {
    const uint32_t slot = Find(path, hash);
    return slot == kNone ? kNone : x_.slots_[slot].Head - 1;
  }

  // The entry that comes right before a new entry at `run` among those of `head`.
  uint32_t PredFor(uint32_t head, uint32_t run) const {
    if (runOf_(head) > run) return kNone;
    const uint32_t tail = x_.prev_[head];
    if (runOf_(tail) < run) return tail;
    // From both ends at once: entries come on screen mostly at one end or the other.
    uint32_t front = head;
    uint32_t back = tail;
    for (;;) {
      const uint32_t after = x_.next_[front];
      if (runOf_(after) > run) return front;
      front = after;
      const uint32_t before = x_.prev_[back];
      if (runOf_(before) < run) return before;
      back = before;
    }
  }

  // Puts `pos` among the entries of `path` in run order; returns the one before it (kNone: it
  // is the first).
  uint32_t Link(uint32_t pos, QStringView path, uint32_t hash) {
    const uint32_t slot = Find(path, hash);
    if (slot == kNone) {
      Add(hash, pos);
      x_.next_[pos] = kNone;
      x_.prev_[pos] = pos;
      return kNone;
    }
    const uint32_t head = x_.slots_[slot].Head - 1;
    const uint32_t tail = x_.prev_[head];
    const uint32_t pred = PredFor(head, runOf_(pos));
    if (pred == kNone) {
      x_.next_[pos] = head;
      x_.prev_[pos] = tail;
      x_.prev_[head] = pos;
      x_.slots_[slot].Head = pos + 1;
    } else {
      const uint32_t succ = x_.next_[pred];
      x_.next_[pred] = pos;
      x_.prev_[pos] = pred;
      x_.next_[pos] = succ;
      if (succ != kNone)
        x_.prev_[succ] = pos;
      else
        x_.prev_[head] = pos;
    }
    return pred;
  }

  // Takes `pos` out of the entries of `path`; hands back the ones before and after it.
  std::pair<uint32_t, uint32_t> Unlink(uint32_t pos, QStringView path, uint32_t hash) {
    const uint32_t slot = Find(path, hash);
    if (slot == kNone) return {kNone, kNone};
    const uint32_t head = x_.slots_[slot].Head - 1;
    uint32_t pred = kNone;
    const uint32_t succ = x_.next_[pos];
    if (pos == head) {
      if (succ == kNone) {
        Remove(slot);
      } else {
        x_.prev_[succ] = x_.prev_[pos];
        x_.slots_[slot].Head = succ + 1;
      }
    } else {
      pred = x_.prev_[pos];
      x_.next_[pred] = succ;
      if (succ != kNone)
        x_.prev_[succ] = pred;
      else
        x_.prev_[head] = pred;
    }
    x_.next_[pos] = kNone;
    x_.prev_[pos] = kNone;
    return {pred, succ};
  }

  // Appends `pos` to the entries of `path` (the plan of the whole list, in run order); returns
  // the one before it.
  uint32_t Append(uint32_t pos, QStringView path, uint32_t hash) {
    const uint32_t slot = Find(path, hash);
    if (slot == kNone) {
      Add(hash, pos);
      x_.next_[pos] = kNone;
      x_.prev_[pos] = pos;
      return kNone;
    }
    const uint32_t head = x_.slots_[slot].Head - 1;
    const uint32_t tail = x_.prev_[head];
    x_.next_[tail] = pos;
    x_.prev_[pos] = tail;
    x_.next_[pos] = kNone;
    x_.prev_[head] = pos;
    return tail;
  }

 private:
  uint32_t Find(QStringView path, uint32_t hash) const {
    if (x_.groups_ == 0) return kNone;
    const size_t mask = x_.slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const NewNameIndex::Slot& slot = x_.slots_[i];
      if (slot.Head == 0) return kNone;
      if (slot.Hash == hash && QStringView(pathOf_(slot.Head - 1)) == path)
        return static_cast<uint32_t>(i);
    }
  }

  void Place(const NewNameIndex::Slot& slot) {
    const size_t mask = x_.slots_.size() - 1;
    size_t i = slot.Hash & mask;
    while (x_.slots_[i].Head != 0) i = (i + 1) & mask;
    x_.slots_[i] = slot;
  }

  void Add(uint32_t hash, uint32_t head) {
    if ((x_.groups_ + 1) * 2 > x_.slots_.size()) {
      std::vector<NewNameIndex::Slot> old(x_.slots_.empty() ? 64 : x_.slots_.size() * 2);
      old.swap(x_.slots_);
      for (const NewNameIndex::Slot& moved : old)
        if (moved.Head != 0) Place(moved);
    }
    Place({head + 1, hash});
    ++x_.groups_;
  }

  // Linear probing: the slots after a freed one move back where their search would miss them.
  void Remove(uint32_t slot) {
    const size_t mask = x_.slots_.size() - 1;
    size_t hole = slot;
    for (size_t i = (hole + 1) & mask; x_.slots_[i].Head != 0; i = (i + 1) & mask) {
      const size_t home = x_.slots_[i].Hash & mask;
      const bool staysPut = hole <= i ? (hole < home && home <= i) : (hole < home || home <= i);
      if (staysPut) continue;
      x_.slots_[hole] = x_.slots_[i];
      hole = i;
    }
    x_.slots_[hole] = {};
    --x_.groups_;
  }

  NewNameIndex& x_;
  PathOf pathOf_;
  RunOf runOf_;
};

NewNameIndex::NewNameIndex() = default;
NewNameIndex::~NewNameIndex() = default;

size_t NewNameIndex::KeptBytes() const {
  return rank_.capacity() * 4 + posOfId_.capacity() * 4 + slots_.capacity() * sizeof(Slot) +
         next_.capacity() * 4 + prev_.capacity() * 4 + claimedBefore_.capacity() * 8 +
         gaveUp_.capacity() + static_cast<size_t>(folderIndexes_.size()) * 48;
}

void NewNameIndex::Begin(const Preset& settings, const RunValues& values,
                         const NewNameInputs& inputs, const PlaceholderSet& need,
                         const std::optional<QString>& commonBase, bool counter) {
  usable_ = false;
  settings_ = settings;
  values_ = values;
  need_ = need;
  replaceMemory_ = inputs.ReplaceMemory;
  diskLookups_ = inputs.DiskLookups;
  commonBase_ = commonBase;
  counter_ = counter;
}

void NewNameIndex::Finish(const NewNamePlan& plan, const FileList& files,
                          std::vector<uint8_t>& gaveUp, QHash<QString, uint32_t>& folderIndexes) {
  usable_ = false;
  // Nothing to keep where every later entry may move.
  if (counter_ || plan.NeedsEveryFile() || !plan.Complete()) return;
  gaveUp_.swap(gaveUp);
  folderIndexes_.swap(folderIndexes);
  const size_t count = static_cast<size_t>(plan.Count());
  const std::vector<uint32_t>& order = plan.Order();
  rank_.clear();
  if (!order.empty()) {
    rank_.resize(count);
    for (size_t i = 0; i < count; ++i) rank_[order[i]] = static_cast<uint32_t>(i);
  }
  int32_t maxId = 0;
  for (const FileEntry& entry : files) maxId = std::max(maxId, entry.Id);
  posOfId_.assign(static_cast<size_t>(maxId) + 1, kNone);
  uint32_t pos = 0;
  for (const FileEntry& entry : files) {
    if (entry.Id > 0) posOfId_[static_cast<size_t>(entry.Id)] = pos;
    ++pos;
  }

  slots_.clear();
  groups_ = 0;
  next_.assign(count, kNone);
  prev_.assign(count, kNone);
  claimedBefore_.assign((count + 63) / 64, 0);
  NewNameGroups groups(
      *this, [&](uint32_t at) { return plan.TargetPath(at, files.At(at)); },
      [this](uint32_t at) { return rank_.empty() ? at : rank_[at]; });
  for (size_t i = 0; i < count; ++i) {
    const uint32_t at = order.empty() ? static_cast<uint32_t>(i) : order[i];
    const QString target = plan.TargetPath(at, files.At(at));
    if (target.isEmpty()) continue;
    const uint32_t pred = groups.Append(at, target, PathHash(target));
    const bool claimed = pred != kNone && (RowClaims(plan.Row(pred)) ||
                                           (claimedBefore_[pred >> 6] >> (pred & 63) & 1) != 0);
    if (claimed) claimedBefore_[at >> 6] |= uint64_t{1} << (at & 63);
  }
  usable_ = true;
}

// Plans the entries of one update again, in the run's order, each seeing what the entries
// before it do now.
class NewNameUpdater final : public PlanHistory {
 public:
  NewNameUpdater(const NewNamePlan& plan, NewNameIndex& index, const FileList& files,
                 const NewNameInputs& inputs, NewNameUpdate& update)
      : plan_(plan),
        x_(index),
        files_(files),
        update_(update),
        groups_(
            index, [this](uint32_t pos) { return PathOf(pos); },
            [this](uint32_t pos) { return RunOf(pos); }) {
    inputs_.DiskLookups = index.diskLookups_;
    inputs_.ReplaceMemory = index.replaceMemory_;
    inputs_.Content = inputs.Content;
    cancel_ = inputs.Cancel;
  }

  UpdateOutcome Run(std::span<const int32_t> ids) {
    PlanOptions options;
    options.DiskLookups = x_.diskLookups_;
    options.LookUpInPlaceTargets = true;
    options.Simulate = true;
    options.ReplaceMemory = x_.replaceMemory_;
    options.CommonBase = x_.commonBase_.value_or(QString());
    options.History = this;
    Planner planner(files_, x_.settings_, x_.values_, options);
    TargetFolderCheck folders;
    NewNameEntryPlanner entries(files_, x_.values_, inputs_, x_.need_, x_.gaveUp_, planner, nullptr,
                                folders);

    for (const int32_t id : ids) {
      if (id <= 0 || static_cast<size_t>(id) >= x_.posOfId_.size()) continue;
      const uint32_t pos = x_.posOfId_[static_cast<size_t>(id)];
      if (pos == kNone || plan_.Row(pos).Has(NewNameRow::kFilteredOut)) continue;
      queue_.insert(RunOf(pos));
    }
    size_t planned = 0;
    while (!queue_.empty()) {
      if ((++planned & 63) == 0 && cancel_ != nullptr &&
          cancel_->load(std::memory_order_relaxed) != 0)
        return UpdateOutcome::Cancelled;
      const uint32_t run = *queue_.begin();
      queue_.erase(queue_.begin());
      PlanAgain(PosAt(run), run, entries);
    }
    update_.Replanned = static_cast<qsizetype>(planned);
    SettleClashes();
    Hand();
    return UpdateOutcome::Updated;
  }

  static UpdateOutcome Start(const NewNamePlan& plan, NewNameIndex& index, const FileList& files,
                             const NewNameInputs& inputs, std::span<const int32_t> ids,
                             NewNameUpdate& update) {
    update = NewNameUpdate{};
    if (!index.Usable() || inputs.Content == nullptr || plan.Count() != files.Count() ||
        index.next_.size() != static_cast<size_t>(plan.Count()))
      return UpdateOutcome::Whole;
    // Left unusable until the update is complete: a stopped one leaves it half changed.
    index.usable_ = false;
    const UpdateOutcome outcome = NewNameUpdater(plan, index, files, inputs, update).Run(ids);
    index.usable_ = outcome == UpdateOutcome::Updated;
    return outcome;
  }

  static void Apply(NewNamePlan& plan, NewNameUpdate&& update) {
    for (QString& folder : update.NewFolders) plan.folders_.push_back(std::move(folder));
    for (NewNameUpdate::Row& row : update.Rows) {
      NewNameRow value = row.Value;
      if (!row.NameKept && !row.Name.isEmpty()) plan.StoreName(value, row.Name);
      plan.rows_[row.Pos] = value;
    }
    if (update.AllPartners) {
      plan.partners_ = std::move(*update.AllPartners);
    } else {
      for (const auto& [pos, partner] : update.Partners) {
        if (partner < 0)
          plan.partners_.remove(pos);
        else
          plan.partners_.insert(pos, partner);
      }
    }
    for (size_t i = 0; i < plan.problems_.size(); ++i) plan.problems_[i] += update.Problems[i];
    plan.failing_ += update.Failing;
    plan.pending_ += update.Pending;
  }

  bool Claimed(const QString& path) const override {
    if (askedValid_ && path == asked_) return askedAnswer_;
    const uint32_t head = groups_.Head(path, PathHash(path));
    uint32_t pred = kNone;
    if (head != kNone) {
      // The entry in hand is still among those of its old target.
      if (path == currentOld_)
        pred = current_ == head ? kNone : x_.prev_[current_];
      else
        pred = groups_.PredFor(head, currentRun_);
    }
    asked_ = path;
    askedAnswer_ = pred != kNone && (RowClaims(RowOf(pred)) || Bit(pred));
    askedValid_ = true;
    return askedAnswer_;
  }

  bool Freed(int32_t id) const override {
    if (id <= 0 || static_cast<size_t>(id) >= x_.posOfId_.size()) return false;
    const uint32_t owner = x_.posOfId_[static_cast<size_t>(id)];
    return owner != kNone && RunOf(owner) < currentRun_ && RowFrees(RowOf(owner));
  }

 private:
  struct Changed {
    NewNameRow Row;
    QString Name;
    QString Folder;
    QString Target;
    bool Replanned = false;
  };
  struct Clash {
    uint32_t FirstBefore = kNone;  // the first claimant and the first entry that meets it
    uint32_t LaterBefore = kNone;
    uint32_t First = kNone;
    uint32_t Later = kNone;
  };

  uint32_t RunOf(uint32_t pos) const { return x_.rank_.empty() ? pos : x_.rank_[pos]; }
  uint32_t PosAt(uint32_t run) const { return plan_.order_.empty() ? run : plan_.order_[run]; }
  const NewNameRow& RowOf(uint32_t pos) const {
    const auto found = changed_.find(pos);
    return found != changed_.end() ? found->second.Row : plan_.rows_[pos];
  }
  QString PathOf(uint32_t pos) const {
    const auto found = changed_.find(pos);
    return found != changed_.end() ? found->second.Target : plan_.TargetPath(pos, files_.At(pos));
  }
  bool Frees(const NewNameRow& row) const { return x_.diskLookups_ && RowFrees(row); }
  bool Bit(uint32_t pos) const { return (x_.claimedBefore_[pos >> 6] >> (pos & 63) & 1) != 0; }
  void SetBit(uint32_t pos, bool on) {
    if (on)
      x_.claimedBefore_[pos >> 6] |= uint64_t{1} << (pos & 63);
    else
      x_.claimedBefore_[pos >> 6] &= ~(uint64_t{1} << (pos & 63));
  }
  // Whether the entries after `pred` find their target claimed by it or one before it.
  bool ClaimedAfter(uint32_t pred) const {
    return pred != kNone && (RowClaims(RowOf(pred)) || Bit(pred));
  }
  // An entry whose view of its target no longer holds is planned again.
  void Check(uint32_t pos, bool claimed) {
    if (pos != kNone && Bit(pos) != claimed) queue_.insert(RunOf(pos));
  }

  // The first claimant of the target and the first entry after it that meets it.
  std::pair<uint32_t, uint32_t> FirstAndLater(const QString& target) const {
    uint32_t first = kNone;
    uint32_t later = kNone;
    for (uint32_t pos = groups_.Head(target, PathHash(target)); pos != kNone; pos = x_.next_[pos]) {
      const NewNameRow& row = RowOf(pos);
      if (first == kNone && RowClaims(row)) first = pos;
      if (later == kNone && row.Problem == NameProblem::SameTargetEarlier) later = pos;
      if (first != kNone && later != kNone) break;
    }
    return {first, later};
  }
  // Notes how a target's clash stood before its first change in this update.
  void Touch(const QString& target) {
    if (target.isEmpty() || clashes_.contains(target)) return;
    const auto [first, later] = FirstAndLater(target);
    clashes_.insert(target, {first, later, kNone, kNone});
  }

  void PlanAgain(uint32_t pos, uint32_t run, NewNameEntryPlanner& entries) {
    const NewNameRow old = RowOf(pos);
    const QString oldTarget = PathOf(pos);
    if (RowClaims(old) || old.Problem == NameProblem::SameTargetEarlier) Touch(oldTarget);
    current_ = pos;
    currentRun_ = run;
    currentOld_ = oldTarget;
    askedValid_ = false;
    const FileEntry& entry = files_.At(pos);
    PlannedRow planned = entries.Plan(pos, entry);
    askedValid_ = false;
    currentOld_.clear();
    const QString target = PlannedTarget(planned, entry);
    const bool claims = RowClaims(planned.Row);
    if (claims || planned.Row.Problem == NameProblem::SameTargetEarlier) Touch(target);

    uint32_t pred = kNone;
    if (target != oldTarget) {
      if (!oldTarget.isEmpty()) {
        const auto [before, after] = groups_.Unlink(pos, oldTarget, PathHash(oldTarget));
        Check(after, ClaimedAfter(before));
      }
    } else if (!target.isEmpty()) {
      pred = current_ == groups_.Head(target, PathHash(target)) ? kNone : x_.prev_[pos];
    }
    Changed& changed = changed_[pos];
    changed.Row = planned.Row;
    changed.Name = std::move(planned.Name);
    changed.Folder = std::move(planned.Folder);
    changed.Target = target;
    changed.Replanned = true;
    if (target.isEmpty()) {
      SetBit(pos, false);
    } else {
      if (target != oldTarget) pred = groups_.Link(pos, target, PathHash(target));
      SetBit(pos, ClaimedAfter(pred));
      Check(x_.next_[pos], claims || Bit(pos));
    }
    // Whether it moves its source away decides for those planned to that name.
    if (Frees(old) != Frees(planned.Row)) {
      for (uint32_t other = groups_.Head(entry.Path(), PathHash(entry.Path())); other != kNone;
           other = x_.next_[other])
        if (RunOf(other) > run) queue_.insert(RunOf(other));
    }
  }

  Changed& Overlay(uint32_t pos) {
    auto found = changed_.find(pos);
    if (found != changed_.end()) return found->second;
    Changed& added = changed_[pos];
    added.Row = plan_.rows_[pos];
    added.Target = plan_.TargetPath(pos, files_.At(pos));
    return added;
  }

  // Partners and SameTargetLater as the plan of the whole list gives them, for every entry of
  // a target whose first claimant or first later entry may have changed.
  void SettleClashes() {
    std::vector<uint32_t> settle;
    for (const auto& [pos, changed] : changed_) settle.push_back(pos);
    for (auto it = clashes_.begin(); it != clashes_.end(); ++it) {
      Clash& clash = it.value();
      std::tie(clash.First, clash.Later) = FirstAndLater(it.key());
      for (const uint32_t pos : {clash.FirstBefore, clash.LaterBefore, clash.First, clash.Later})
        if (pos != kNone) settle.push_back(pos);
      if (clash.First == clash.FirstBefore) continue;
      // Every entry that meets the target now names another first claimant.
      for (uint32_t pos = groups_.Head(it.key(), PathHash(it.key())); pos != kNone;
           pos = x_.next_[pos])
        if (RowOf(pos).Problem == NameProblem::SameTargetEarlier) settle.push_back(pos);
    }
    std::sort(settle.begin(), settle.end());
    settle.erase(std::unique(settle.begin(), settle.end()), settle.end());
    for (const uint32_t pos : settle) {
      const NewNameRow& row = RowOf(pos);
      const NameProblem base = BaseProblem(row);
      uint32_t first = kNone;
      uint32_t later = kNone;
      if (base == NameProblem::SameTargetEarlier || RowClaims(row)) {
        const auto found = clashes_.constFind(PathOf(pos));
        if (found != clashes_.constEnd()) {
          first = found->First;
          later = found->Later;
        } else if (base == NameProblem::SameTargetEarlier || plan_.OtherEntry(pos) >= 0) {
          std::tie(first, later) = FirstAndLater(PathOf(pos));
        }
      }
      qsizetype partner = -1;
      NameProblem problem = base;
      if (base == NameProblem::SameTargetEarlier) {
        partner = first == kNone ? -1 : static_cast<qsizetype>(first);
      } else if (pos == first && later != kNone) {
        partner = later;
        if (base == NameProblem::None) problem = NameProblem::SameTargetLater;
      }
      const auto edited = partners_.find(pos);
      const qsizetype now = edited != partners_.end() ? edited->second : plan_.OtherEntry(pos);
      if (partner != now) partners_[pos] = partner;
      if (problem != row.Problem) Overlay(pos).Row.Problem = problem;
    }
  }

  // Writes what changed into the update, with the counts by difference.
  void Hand() {
    std::vector<uint32_t> order;
    order.reserve(changed_.size());
    for (const auto& [pos, changed] : changed_) order.push_back(pos);
    std::sort(order.begin(), order.end());
    for (const uint32_t pos : order) {
      const Changed& changed = changed_.at(pos);
      const NewNameRow& old = plan_.rows_[pos];
      const FileEntry& entry = files_.At(pos);
      NewNameUpdate::Row out;
      out.Pos = pos;
      out.Value = changed.Row;
      if (!changed.Replanned) {
        if (changed.Row.Problem == old.Problem) continue;
        out.NameKept = true;
      } else {
        const NewNameRow& now = changed.Row;
        const bool hasTarget =
            !now.Has(NewNameRow::kNoTarget) && !now.Has(NewNameRow::kFilteredOut);
        const QString oldName = plan_.FileName(pos, entry);
        const QString newName = !hasTarget                            ? QString()
                                : now.Has(NewNameRow::kNameUnchanged) ? entry.PathAfterDirectory()
                                                                      : changed.Name;
        const QString oldFolder = plan_.Folder(pos, entry);
        const QString newFolder = !hasTarget                              ? QString()
                                  : now.Has(NewNameRow::kFolderUnchanged) ? entry.Directory()
                                                                          : changed.Folder;
        const bool sameName = oldName == newName;
        if (sameName && oldFolder == newFolder && now.Status == old.Status &&
            now.Action == old.Action && now.Problem == old.Problem && now.Flags == old.Flags &&
            now.Detail == old.Detail && now.CounterFrom == old.CounterFrom)
          continue;
        if (hasTarget && !now.Has(NewNameRow::kNameUnchanged)) {
          if (sameName && !old.Has(NewNameRow::kNameUnchanged) && old.NameLength > 0) {
            out.NameKept = true;
            out.Value.NameOffset = old.NameOffset;
            out.Value.NameLength = old.NameLength;
          } else {
            out.Name = changed.Name;
          }
        }
        if (hasTarget && !now.Has(NewNameRow::kFolderUnchanged))
          out.Value.Folder = FolderIndex(changed.Folder);
      }
      --update_.Problems[static_cast<size_t>(old.Problem)];
      ++update_.Problems[static_cast<size_t>(out.Value.Problem)];
      update_.Failing += (Failing(out.Value) ? 1 : 0) - (Failing(old) ? 1 : 0);
      update_.Pending +=
          (out.Value.Has(NewNameRow::kPending) ? 1 : 0) - (old.Has(NewNameRow::kPending) ? 1 : 0);
      update_.Rows.push_back(std::move(out));
    }
    if (partners_.size() > kPartnerEditsAtMost) {
      QHash<uint32_t, qsizetype> all = plan_.partners_;
      for (const auto& [pos, partner] : partners_) {
        if (partner < 0)
          all.remove(pos);
        else
          all.insert(pos, partner);
      }
      update_.AllPartners = std::move(all);
    } else {
      update_.Partners.assign(partners_.begin(), partners_.end());
      std::sort(update_.Partners.begin(), update_.Partners.end());
    }
  }

  uint32_t FolderIndex(const QString& folder) {
    const auto found = x_.folderIndexes_.constFind(folder);
    if (found != x_.folderIndexes_.constEnd()) return found.value();
    const auto index = static_cast<uint32_t>(plan_.folders_.size() + update_.NewFolders.size());
    update_.NewFolders.push_back(folder);
    x_.folderIndexes_.insert(folder, index);
    return index;
  }

  const NewNamePlan& plan_;
  NewNameIndex& x_;
  const FileList& files_;
  NewNameUpdate& update_;
  NewNameInputs inputs_;
  const std::atomic<int32_t>* cancel_ = nullptr;
  NewNameGroups groups_;
  std::set<uint32_t> queue_;  // run places of the entries still to plan again
  std::unordered_map<uint32_t, Changed> changed_;
  std::unordered_map<uint32_t, qsizetype> partners_;
  QHash<QString, Clash> clashes_;
  // The entry in hand, and its target before this plan of it.
  uint32_t current_ = kNone;
  uint32_t currentRun_ = 0;
  QString currentOld_;
  mutable QString asked_;
  mutable bool askedAnswer_ = false;
  mutable bool askedValid_ = false;
};

UpdateOutcome PlanNewNameUpdate(const NewNamePlan& plan, NewNameIndex& index, const FileList& files,
                                const NewNameInputs& inputs, std::span<const int32_t> ids,
                                NewNameUpdate& update) {
  return NewNameUpdater::Start(plan, index, files, inputs, ids, update);
}

void ApplyNewNameUpdate(NewNamePlan& plan, NewNameUpdate&& update) {
  NewNameUpdater::Apply(plan, std::move(update));
}

UpdateOutcome UpdateNewNames(NewNamePlan& plan, NewNameIndex& index, const FileList& files,
                             const NewNameInputs& inputs, std::span<const int32_t> ids) {
  NewNameUpdate update;
  const UpdateOutcome outcome = PlanNewNameUpdate(plan, index, files, inputs, ids, update);
  if (outcome == UpdateOutcome::Updated) ApplyNewNameUpdate(plan, std::move(update));
  return outcome;
}
