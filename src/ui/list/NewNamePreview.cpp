#include "ui/list/NewNamePreview.h"

#include "fileops/PreparationContent.h"
#include "fileops/RunValues.h"
#include "platform/Process.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/list/NewNameContent.h"
#include "ui/list/NewNameTexts.h"
#include "ui/widgets/UiTexts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEventLoop>
#include <QLineEdit>
#include <QProgressDialog>
#include <QSpinBox>

#include <algorithm>
#include <system_error>

namespace {

// The filter or the sort tests the date taken: every file whose date taken is not known yet, to
// be read for that alone.
std::vector<NewNameContent::File> UnknownDatesTaken(const FileList& list,
                                                    const QHash<int32_t, KnownContent>& known) {
  PlaceholderSet taken;
  taken.Add(DateTakenId());
  std::vector<NewNameContent::File> files;
  for (const FileEntry& entry : list) {
    const auto it = known.constFind(entry.Id);
    if (it == known.constEnd() || !it->Values.contains(DateTakenId()))
      files.push_back({entry.Id, entry.Path(), taken});
  }
  return files;
}

}  // namespace

// What one plan is made of, copied on the GUI thread before the worker starts.
struct NewNamePreview::Job {
  Preset Settings;
  RunValues Values;
  QHash<int32_t, KnownContent> Content;  // a shared copy: the worker only reads it
  uint64_t Generation = 0;
  std::atomic<int32_t> Cancel{0};  // the worker stops
  std::atomic<int32_t> Ended{0};   // the worker is about to end
  bool AskEveryDate = false;       // the worker asks for every file's date taken first
};

NewNamePreview::NewNamePreview(FileList& list, Sources sources, Clock clock, QObject* parent)
    : QObject(parent), list_(list), sources_(std::move(sources)), clock_(std::move(clock)) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
  progressTimer_.setInterval(100);
  connect(&progressTimer_, &QTimer::timeout, this, [this] { emit ProgressChanged(); });
  content_ = new NewNameContent(this);
  connect(content_, &NewNameContent::Arrived, this, [this] { ContentArrived(); });
  // A plan made while the dates of a date-taken order were read lacks the last ones: it is let
  // go, so that they come in as soon as its copy of the values is gone and the plan with all of
  // them starts then, instead of after it.
  connect(content_, &NewNameContent::LastValuesHeld, this, [this] {
    if (running_ && !updating_ && runningEvery_) RetireWorker();
  });
  replanTimer_.setSingleShot(true);
  connect(&replanTimer_, &QTimer::timeout, this, [this] {
    if (arrived_.empty()) return;
    inputsDirty_ = true;
    ListChanged();
  });
}

NewNamePreview::~NewNamePreview() {
  CancelWorker();
}

// ---- The list's hand-over ----

void NewNamePreview::RetireWorker() {
  if (!worker_.joinable()) return;
  job_->Cancel.store(1, std::memory_order_relaxed);
  if (updating_) {
    // An update changes the index the next one takes: it is waited for (it stops within a few
    // entries).
    worker_.join();
  } else {
    retired_.push_back({std::move(worker_), std::move(job_)});
  }
  job_.reset();
  // A result the worker posted before it saw the flag is dropped when it arrives.
  ++generation_;
  running_ = false;
  progressTimer_.stop();
  // A stopped or dropped update leaves the index ahead of the plan.
  if (updating_) index_.reset();
  updating_ = false;
}

void NewNamePreview::CancelWorker() {
  RetireWorker();
  for (Retired& retired : retired_) retired.Thread.join();
  retired_.clear();
}

void NewNamePreview::Reap() {
  std::erase_if(retired_, [](Retired& retired) {
    if (retired.Work->Ended.load(std::memory_order_acquire) == 0) return false;
    retired.Thread.join();  // it has nothing left but to return
    return true;
  });
}

void NewNamePreview::ReleaseList(Change change) {
  const bool wasRunning = running_;
  CancelWorker();
  inputsDirty_ = true;
  if (wasRunning) emit ProgressChanged();
  // The entries of a replaced list are not read for.
  if (change == Change::Replace) content_->RequestBehind({});
  if (change == Change::Replace && plan_) {
    plan_.reset();
    index_.reset();
    emit PlanChanged();
  }
}

void NewNamePreview::ListChanged() {
  inputsDirty_ = true;
  const qint64 now = clock_();
  // Due at once: the quiet time is for typing, not for a list that changed.
  pending_ = true;
  firstChange_ = now - kLongestWait;
  lastChange_ = now - kQuietDelay;
  timer_.start(0);
}

// ---- Edits ----

void NewNamePreview::SettingsEdited() {
  const qint64 now = clock_();
  if (!pending_) firstChange_ = now;
  pending_ = true;
  lastChange_ = now;
  Arm();
}

void NewNamePreview::Arm() {
  const qint64 now = clock_();
  const qint64 due = std::min(lastChange_ + kQuietDelay, firstChange_ + kLongestWait);
  timer_.start(static_cast<int>(std::clamp<qint64>(due - now, 0, kLongestWait)));
}

void NewNamePreview::Poll() {
  if (!pending_) return;
  const qint64 now = clock_();
  if (now - lastChange_ < kQuietDelay && now - firstChange_ < kLongestWait) {
    Arm();
    return;
  }
  // A list that a loader or a run holds is planned when it is handed back (ListChanged).
  if (sources_.ListFree && !sources_.ListFree()) return;
  pending_ = false;
  StartPlan();
}

bool NewNamePreview::UpToDate(const Preset& settings) const {
  return plan_ && !inputsDirty_ && !updating_ && arrived_.empty() &&
         plan_->Settings() == settings && planListCount_ == list_.Count();
}

std::unique_ptr<NewNamePreview::Job> NewNamePreview::MakeJob() {
  auto job = std::make_unique<Job>();
  job->Settings = sources_.Settings();
  job->Values = PrepareRunValues(job->Settings, list_.Count(),
                                 sources_.Folders ? sources_.Folders() : PathFolders{},
                                 sources_.DateFieldValue ? sources_.DateFieldValue() : 0);
  job->Content = content_->Known();
  return job;
}

void NewNamePreview::StartPlan() {
  std::unique_ptr<Job> job = MakeJob();
  // Nothing new: the plan in hand, or the last one, is of these settings and this list.
  const bool planFits =
      plan_ && plan_->Settings() == job->Settings && planListCount_ == list_.Count();
  if (!inputsDirty_ && ((running_ && !updating_ && runningSettings_ == job->Settings) ||
                        (planFits && (updating_ || !running_)))) {
    // Values that arrived meanwhile update the plan once nothing else runs.
    if (!running_ && !StartUpdate()) {
      inputsDirty_ = true;
      ListChanged();
    }
    return;
  }
  RetireWorker();
  Reap();
  replanTimer_.stop();
  inputsDirty_ = false;
  // The copy of the values this plan takes holds every value arrived so far.
  arrived_.clear();
  runningKeeps_ = ContentNeeded(job->Settings, job->Values).Any();
  runningEvery_ = job->Values.PreparationNeeded && PreparationNeedsDateTaken(job->Settings);
  // The dates the order waits for are read while the list is planned the first time, rather
  // than after it; the worker lists the files, which takes a moment on a long list.
  job->AskEveryDate = runningEvery_ && !(plan_ && plan_->NeedsEveryFile());
  // Reading by position may close gaps left by removals: done here, so that the worker's reads
  // change nothing.
  (void)list_.begin();
  progress_.store(0, std::memory_order_relaxed);
  job->Generation = ++generation_;
  runningSettings_ = job->Settings;
  planListCount_ = list_.Count();
  startedAt_ = clock_();
  std::shared_ptr<Job> work(std::move(job));
  try {
    worker_ = std::thread([this, job = work] {
      LowerThreadPriority();
      Plan(*job);
      // Whether or not it is wanted still, the thread is joined once it ends.
      job->Ended.store(1, std::memory_order_release);
      QMetaObject::invokeMethod(
          this, [this] { Reap(); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    inputsDirty_ = true;  // no thread: the column keeps what it shows
    return;
  }
  job_ = std::move(work);
  running_ = true;
  ++plansStarted_;
  progressTimer_.start();
}

void NewNamePreview::Plan(Job& job) {
  if (job.AskEveryDate) {
    std::vector<NewNameContent::File> files = UnknownDatesTaken(list_, job.Content);
    QMetaObject::invokeMethod(
        this,
        [this, files = std::move(files), generation = job.Generation]() mutable {
          // A list released meanwhile may have other entries.
          if (generation == generation_ && !files.empty())
            content_->RequestBehind(std::move(files));
        },
        Qt::QueuedConnection);
  }
  NewNameInputs inputs;
  inputs.ReplaceMemory = kAnswerLeave;
  inputs.Content = &job.Content;
  inputs.Cancel = &job.Cancel;
  inputs.Progress = &progress_;
  // Checksums read later update this plan instead of planning it whole again.
  std::shared_ptr<NewNameIndex> index;
  if (ContentNeeded(job.Settings, job.Values).Any()) {
    index = std::make_shared<NewNameIndex>();
    inputs.Keep = index.get();
  }
  auto plan = std::make_shared<NewNamePlan>(PlanNewNames(list_, job.Settings, job.Values, inputs));
  if (!plan->Complete()) return;
  if (index && !index->Usable()) index.reset();
  QMetaObject::invokeMethod(
      this, [this, plan, index, generation = job.Generation] { Finished(plan, index, generation); },
      Qt::QueuedConnection);
}

void NewNamePreview::Finished(std::shared_ptr<NewNamePlan> plan,
                              std::shared_ptr<NewNameIndex> index, uint64_t generation) {
  if (generation != generation_) return;
  if (worker_.joinable()) worker_.join();
  job_.reset();
  running_ = false;
  progressTimer_.stop();
  planEnded_ = clock_();
  planTook_ = planEnded_ - startedAt_;
  plan_ = std::move(plan);
  index_ = std::move(index);
  updates_ = 0;
  emit PlanChanged();
  emit ProgressChanged();
  if (!arrived_.empty() && !running_ && plan_->NeedsEveryFile()) {
    ReplanForValues(false);
  } else if (!arrived_.empty() && !running_ && !StartUpdate()) {
    inputsDirty_ = true;
    ListChanged();
  }
}

// ---- Content values ----

void NewNamePreview::ContentArrived() {
  const std::vector<int32_t> ids = content_->TakeArrived();
  arrived_.insert(arrived_.end(), ids.begin(), ids.end());
  const bool every = running_ && !updating_ ? runningEvery_ : plan_ && plan_->NeedsEveryFile();
  if (every) {
    if (!running_) {
      ReplanForValues(std::any_of(ids.begin(), ids.end(), [this](int32_t id) {
        return std::binary_search(onScreen_.begin(), onScreen_.end(), id);
      }));
    } else if (!content_->Busy()) {
      // The last values: the plan in hand lacks them, a new one starts now.
      inputsDirty_ = true;
      ListChanged();
    }
    // Otherwise the plan in hand is followed once it ends.
    return;
  }
  // The plan or update in hand is followed by an update with these values.
  if (running_ && (updating_ || runningKeeps_)) return;
  if (running_ || !StartUpdate()) {
    // New values give new names: plan again at once.
    inputsDirty_ = true;
    ListChanged();
  }
}

void NewNamePreview::ReplanForValues(bool onScreen) {
  if (!content_->Busy()) {
    replanTimer_.stop();
    inputsDirty_ = true;
    ListChanged();
    return;
  }
  // A plan that takes a moment on a long list is not made again and again while the values
  // come: the reading needs the cores more. Rows on screen are planned sooner.
  const qint64 pause = onScreen ? 2 * planTook_ : std::max(kValuesReplanPause, 4 * planTook_);
  const qint64 due = std::clamp<qint64>(planEnded_ + pause - clock_(), 0, pause);
  if (replanTimer_.isActive() && replanTimer_.remainingTime() <= due) return;
  replanTimer_.start(static_cast<int>(due));
}

bool NewNamePreview::StartUpdate() {
  if (arrived_.empty()) return true;
  if (running_ || !plan_ || !index_ || !index_->Usable() || inputsDirty_ ||
      planListCount_ != list_.Count())
    return false;
  // An edit waits for its quiet time: the whole plan it brings takes every value.
  if (pending_) return true;
  std::shared_ptr<Job> job = MakeJob();
  if (!(plan_->Settings() == job->Settings) || !index_->MadeOf(job->Settings, job->Values))
    return false;
  if (worker_.joinable()) worker_.join();  // a worker that ended without a result
  // Reading by position may close gaps: done here, so that the worker's reads change nothing.
  (void)list_.begin();
  job->Generation = ++generation_;
  std::vector<int32_t> ids;
  ids.swap(arrived_);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  try {
    worker_ = std::thread([this, job, ids = std::move(ids),
                           plan = std::shared_ptr<const NewNamePlan>(plan_), index = index_] {
      LowerThreadPriority();
      NewNameInputs inputs;
      inputs.Content = &job->Content;
      inputs.Cancel = &job->Cancel;
      auto update = std::make_shared<NewNameUpdate>();
      // Reads the plan, which the GUI thread only reads meanwhile, and changes the index alone.
      const UpdateOutcome outcome = PlanNewNameUpdate(*plan, *index, list_, inputs, ids, *update);
      if (outcome == UpdateOutcome::Cancelled) return;
      QMetaObject::invokeMethod(
          this,
          [this, update, outcome, generation = job->Generation] {
            UpdateFinished(update, outcome, generation);
          },
          Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    return false;
  }
  job_ = std::move(job);
  running_ = true;
  updating_ = true;
  return true;
}

void NewNamePreview::UpdateFinished(std::shared_ptr<NewNameUpdate> update, UpdateOutcome outcome,
                                    uint64_t generation) {
  if (generation != generation_) return;
  if (worker_.joinable()) worker_.join();
  job_.reset();
  running_ = false;
  updating_ = false;
  if (outcome != UpdateOutcome::Updated) {
    index_.reset();
    inputsDirty_ = true;
    ListChanged();
    return;
  }
  ApplyNewNameUpdate(*plan_, std::move(*update));
  ++updates_;
  emit PlanChanged();
  if (!arrived_.empty() && !StartUpdate()) {
    inputsDirty_ = true;
    ListChanged();
  }
}

void NewNamePreview::ShowEntries(const std::vector<const FileEntry*>& entries) {
  onScreen_.clear();
  for (const FileEntry* entry : entries)
    if (entry != nullptr) onScreen_.push_back(entry->Id);
  std::sort(onScreen_.begin(), onScreen_.end());
  const bool every = plan_ && plan_->NeedsEveryFile();
  // Dates no plan waits for any more are not read.
  if (!every && !(running_ && !updating_ && runningEvery_) && content_->BehindInHand())
    content_->RequestBehind({});
  if (!plan_ || !plan_->ContentNeeded()) return;
  std::vector<NewNameContent::File> files;
  files.reserve(entries.size());
  for (const FileEntry* entry : entries)
    if (entry != nullptr) files.push_back({entry->Id, entry->Path(), {}});
  if (!files.empty()) content_->Request(std::move(files), plan_->Need());
  // The every-file list is made again only once the one in hand is read: rows scrolled to and
  // each new plan ask for the files on screen alone.
  if (every && plan_->Pending() > 0 && !content_->BehindInHand() && !content_->ValuesOnTheWay())
    RequestEveryDateTaken();
}

void NewNamePreview::RequestEveryDateTaken() {
  std::vector<NewNameContent::File> files = UnknownDatesTaken(list_, content_->Known());
  if (!files.empty()) content_->RequestBehind(std::move(files));
}

int NewNamePreview::Progress() const {
  if (!running_ || updating_ || clock_() - startedAt_ < kProgressAfter) return -1;
  return progress_.load(std::memory_order_relaxed);
}

QString NewNamePreview::StatusText() const {
  QStringList parts;
  const int progress = Progress();
  if (progress >= 0)
    parts << AdditionText(kAddPlanningNewNames) + QStringLiteral(": ") +
                 QString::number(progress / 10) + QStringLiteral(" %");
  if (plan_) {
    if (plan_->Problems() > 0)
      parts << AdditionText(kAddProblems) + QStringLiteral(": ") +
                   QString::number(plan_->Problems());
    if (plan_->Pending() > 0)
      parts << AdditionText(kAddWaitingForChecksums) + QStringLiteral(": ") +
                   QString::number(plan_->Pending());
  }
  return parts.join(QStringLiteral("   "));
}

// ---- The start question ----

bool NewNamePreview::ConfirmStart(bool ignoreWarnings) {
  if (ignoreWarnings || list_.IsEmpty()) return true;
  const Preset settings = sources_.Settings();
  if (!UpToDate(settings)) {
    pending_ = false;
    if (list_.Count() <= kPlanAtOnce) {
      // Small lists are planned here and now: quicker than showing anything.
      CancelWorker();
      std::unique_ptr<Job> job = MakeJob();
      (void)list_.begin();
      NewNameInputs inputs;
      inputs.ReplaceMemory = kAnswerLeave;
      inputs.Content = &job->Content;
      auto index = std::make_shared<NewNameIndex>();
      if (ContentNeeded(job->Settings, job->Values).Any()) inputs.Keep = index.get();
      planListCount_ = list_.Count();
      inputsDirty_ = false;
      arrived_.clear();
      plan_ =
          std::make_shared<NewNamePlan>(PlanNewNames(list_, job->Settings, job->Values, inputs));
      index_ = index->Usable() ? std::move(index) : nullptr;
      updates_ = 0;
      emit PlanChanged();
    } else {
      // A large list: the worker plans (or, when only content values arrived, updates the
      // plan) while a progress window waits, which the user may cancel (and with it the start).
      const bool onlyValues = plan_ && !inputsDirty_ && plan_->Settings() == settings &&
                              planListCount_ == list_.Count();
      if (!onlyValues || (!updating_ && !StartUpdate())) {
        inputsDirty_ = true;
        StartPlan();
      }
      QProgressDialog wait(AdditionText(kAddPlanningNewNames) + QStringLiteral("..."),
                           PlainCaption(kTextProgressCancel), 0, 1000,
                           qobject_cast<QWidget*>(parent()));
      wait.setWindowTitle(PlainCaption(kTextQuestion));
      wait.setWindowModality(Qt::ApplicationModal);
      wait.setMinimumDuration(300);
      QEventLoop loop;
      const auto planned = connect(this, &NewNamePreview::PlanChanged, &loop, &QEventLoop::quit);
      const auto progressed = connect(this, &NewNamePreview::ProgressChanged, &wait, [&] {
        wait.setValue(std::max(0, progress_.load(std::memory_order_relaxed)));
      });
      connect(&wait, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
      if (running_) loop.exec();
      disconnect(planned);
      disconnect(progressed);
      if (wait.wasCanceled() || !plan_ || !(plan_->Settings() == settings)) return false;
    }
  }
  const QString question = StartQuestionText(*plan_);
  if (question.isEmpty()) return true;
  return sources_.Ask && sources_.Ask(PlainCaption(kTextQuestion), question);
}

void WatchEdits(QWidget* root, QObject* context, const std::function<void()>& edited) {
  if (root == nullptr) return;
  for (QLineEdit* field : root->findChildren<QLineEdit*>()) {
    // A spin box's or combo box's own field is watched through its owner.
    if (qobject_cast<QAbstractSpinBox*>(field->parentWidget()) != nullptr ||
        qobject_cast<QComboBox*>(field->parentWidget()) != nullptr)
      continue;
    QObject::connect(field, &QLineEdit::textChanged, context, edited);
  }
  for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
    if (button->isCheckable()) QObject::connect(button, &QAbstractButton::toggled, context, edited);
  for (QComboBox* combo : root->findChildren<QComboBox*>())
    QObject::connect(combo, &QComboBox::currentIndexChanged, context, edited);
  for (QSpinBox* spin : root->findChildren<QSpinBox*>())
    QObject::connect(spin, &QSpinBox::valueChanged, context, edited);
  for (QDateTimeEdit* date : root->findChildren<QDateTimeEdit*>())
    QObject::connect(date, &QDateTimeEdit::dateTimeChanged, context, edited);
  for (QAbstractItemView* view : root->findChildren<QAbstractItemView*>()) {
    QAbstractItemModel* model = view->model();
    if (model == nullptr || qobject_cast<QComboBox*>(view->parentWidget()) != nullptr) continue;
    QObject::connect(model, &QAbstractItemModel::dataChanged, context, edited);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, context, edited);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, context, edited);
    QObject::connect(model, &QAbstractItemModel::rowsMoved, context, edited);
    QObject::connect(model, &QAbstractItemModel::modelReset, context, edited);
  }
}
