#pragma once

#include "filelist/FileList.h"
#include "fileops/NewNameIndex.h"
#include "fileops/NewNamePlan.h"
#include "naming/Placeholders.h"
#include "records/Preset.h"
#include "ui/list/NewNameContent.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QWidget;

// Keeps the plan of every new name up to date while the user edits the task: the window's
// "New name" column and the warning before a run read it.
//
// Edits come in as SettingsEdited(); once the settings have been quiet for kQuietDelay (or
// changes have kept coming for kLongestWait) the pages' values are taken (a copy) and planned on
// a worker thread. Every new start cancels the plan in hand; a plan whose settings and list are
// those of the last one is not made again.
//
// Who reads the list when. The window (GUI thread) owns the FileList. The worker reads it, and
// only reads it, from the start of a plan until the plan ends or is cancelled; meanwhile the GUI
// thread may read the list too but changes nothing in it. Whoever is about to change the list,
// or to hand it to another thread (the loader, a run), first calls ReleaseList(): it cancels the
// plan in hand and waits for the worker, which polls its cancel flag between entries, so the
// wait is that of one entry. ListChanged() afterwards plans again, from the event loop, once the
// list is free (Sources::ListFree). A plan is never started from inside ReleaseList or
// ListChanged, so the caller's change always comes first.
//
// Content values (checksums) read for the rows on screen do not plan the whole list again: the
// plan keeps an index (NewNameIndex), and a worker re-plans only the entries the new values
// change; the GUI thread then puts the result in (a few rows). Where that cannot be exact (a
// counter in the template, a filter or sort by the date taken) the whole list is planned.
//
// A new plan does not wait for the one it replaces: that one is told to stop and left to end on
// its own (its result is dropped), so the GUI thread never waits for a worker that may be
// sorting a long list or be slowed by a busy machine. Only ReleaseList, the start question and
// the destructor wait, for every worker still reading the list.
//
// A filter or sort by the date taken needs every file's date before the order is final. While
// those dates are read, the values arriving do not plan the whole list each time: a plan follows
// them after a pause (kValuesReplanPause, or four times as long as the last plan took; twice as
// long when rows on screen got theirs), and at once when the reading is done: a plan still
// running then is let go rather than waited for.
// Meanwhile the rows whose date has not come yet show as waiting.
class NewNamePreview : public QObject {
  Q_OBJECT

 public:
  // What the preview takes from the window, each time it plans.
  struct Sources {
    std::function<Preset()> Settings;  // the settings as the pages hold them now
    std::function<PathFolders()> Folders;
    std::function<int64_t()> DateFieldValue;
    std::function<bool()> ListFree;  // no loader and no run owns the list
    // Yes/No question for ConfirmStart: title, text; true = Yes.
    std::function<bool(const QString&, const QString&)> Ask;
  };
  // Milliseconds of a monotonic clock; tests pass their own.
  using Clock = std::function<qint64()>;

  static constexpr qint64 kQuietDelay = 120;
  static constexpr qint64 kLongestWait = 400;
  // A plan taking longer than this shows its progress in the status line.
  static constexpr qint64 kProgressAfter = 250;
  // Up to this many entries, the start question plans at once rather than wait for the worker.
  static constexpr qsizetype kPlanAtOnce = 20000;
  // While every file's date taken is read: the least pause between plans for the values arriving.
  static constexpr qint64 kValuesReplanPause = 1000;

  enum class Change { Append, Replace };

  NewNamePreview(FileList& list, Sources sources, Clock clock, QObject* parent = nullptr);
  ~NewNamePreview() override;  // cancels a plan in hand and waits for it

  // ---- The list's hand-over ----
  // The list is about to change: the worker stops and lets go of it. With Replace the plan is
  // dropped (its rows no longer fit); with Append it stays for the entries it knows.
  void ReleaseList(Change change);
  // The list has changed or is free again: a new plan soon.
  void ListChanged();

  // ---- Edits ----
  void SettingsEdited();
  // The timer's body: starts a plan when the settings have been quiet long enough. Tests with
  // their own clock call it themselves.
  void Poll();

  // The entries on screen: their content values (checksums, say) are read when the names need
  // them.
  void ShowEntries(const std::vector<const FileEntry*>& entries);

  // ---- The plan ----
  // The last complete plan; null before the first, and after ReleaseList(Replace).
  std::shared_ptr<const NewNamePlan> Plan() const { return plan_; }
  bool Planning() const { return running_; }
  // No edit, list change or content value waits, and no plan is under way.
  bool Idle() const { return !pending_ && !running_ && arrived_.empty(); }
  // Updates put in for content values since the last plan of the whole list (tests).
  qsizetype UpdatesApplied() const { return updates_; }
  // Plans of the whole list started (tests).
  qsizetype PlansStarted() const { return plansStarted_; }
  // Thousandths of the plan in hand, -1 while no progress is worth showing.
  int Progress() const;
  // The status line's part: problems, names waiting for content values, or the progress.
  QString StatusText() const;

  // The start command's question: when the plan of the settings now has entries that would not
  // be processed as planned, asks whether to start anyway. True: start. A plan that is not up to
  // date is made first (at once for small lists, else while a progress window waits).
  bool ConfirmStart(bool ignoreWarnings);

  NewNameContent* Content() const { return content_; }
  // Another clock (tests).
  void SetClock(Clock clock) { clock_ = std::move(clock); }

 signals:
  // A new plan replaced the last, or the plan was dropped.
  void PlanChanged();
  // The progress of the plan in hand changed (now and then).
  void ProgressChanged();

 private:
  struct Job;
  void Arm();
  void StartPlan();
  void Plan(Job& job);  // worker thread
  // Stops the worker in hand without waiting for it: a plan is left to end on its own.
  void RetireWorker();
  // Stops every worker and waits for them all.
  void CancelWorker();
  void Reap();  // joins the retired workers that have ended
  // Values arrived for a plan whose order waits for every file's date taken.
  void ReplanForValues(bool onScreen);
  // Asks for the date taken of every entry whose date is not known, behind the rows on screen.
  void RequestEveryDateTaken();
  std::unique_ptr<Job> MakeJob();
  void Finished(std::shared_ptr<NewNamePlan> plan, std::shared_ptr<NewNameIndex> index,
                uint64_t generation);
  void ContentArrived();
  // Starts the update of the plan for the values arrived; false when only a whole plan will do.
  bool StartUpdate();
  void UpdateFinished(std::shared_ptr<NewNameUpdate> update, UpdateOutcome outcome,
                      uint64_t generation);
  bool UpToDate(const Preset& settings) const;

  FileList& list_;
  Sources sources_;
  Clock clock_;
  QTimer timer_;
  QTimer progressTimer_;
  NewNameContent* content_ = nullptr;

  bool pending_ = false;  // an edit or a list change waits for a plan
  qint64 firstChange_ = 0;
  qint64 lastChange_ = 0;
  // The list or the content values read changed since the plan in hand (or the last one) started.
  bool inputsDirty_ = true;

  std::thread worker_;
  std::shared_ptr<Job> job_;  // what the worker in hand works on (its cancel flag)
  struct Retired {
    std::thread Thread;
    std::shared_ptr<Job> Work;
  };
  std::vector<Retired> retired_;  // stopped plans not ended yet
  std::atomic<int32_t> progress_{0};
  bool running_ = false;
  qint64 startedAt_ = 0;
  uint64_t generation_ = 0;  // a result of an older start is dropped
  Preset runningSettings_;   // what the plan in hand is made of

  std::shared_ptr<NewNamePlan> plan_;
  // What updating plan_ for new content values takes (null: plan the whole list); only the
  // worker of an update touches it while one runs.
  std::shared_ptr<NewNameIndex> index_;
  qsizetype planListCount_ = 0;  // entries of the list when plan_ was started
  // Ids whose content values arrived since the plan in hand (or the last one) took its copy.
  std::vector<int32_t> arrived_;
  bool updating_ = false;      // the worker updates plan_
  bool runningKeeps_ = false;  // the plan in hand keeps an index for later values
  bool runningEvery_ = false;  // the plan in hand needs every file's date taken
  qsizetype updates_ = 0;
  qsizetype plansStarted_ = 0;
  // The pause between plans while every file's date taken is read.
  QTimer replanTimer_;
  qint64 planTook_ = 0;            // how long the last whole plan took
  qint64 planEnded_ = 0;           // when it ended
  std::vector<int32_t> onScreen_;  // ids of the entries on screen, sorted
};

// Calls `edited` (in `context`) whenever a control below `root` changes: fields, check boxes and
// radio buttons, combo boxes, spin boxes, date fields and the rule lists.
void WatchEdits(QWidget* root, QObject* context, const std::function<void()>& edited);
