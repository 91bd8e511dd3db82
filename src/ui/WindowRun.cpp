#include "ui/WindowRun.h"

#include "app/AppState.h"

#include <system_error>

WindowRun::WindowRun(AppState& app, QObject* parent)
    : QObject(parent), app_(app), settings_(std::make_unique<Preset>()) {}

WindowRun::~WindowRun() {
  if (controller_.joinable()) {
    app_.Run.RunCancelled.store(1, std::memory_order_relaxed);
    controller_.join();
  }
}

bool WindowRun::Start(const Preset& settings, const PathFolders& folders, int64_t dateFieldValue,
                      bool single, std::unique_ptr<RunJournal> journal) {
  if (running_ || app_.Run.RunActive.load() != 0 || app_.Run.RunSingle.load() != 0) return false;
  if (controller_.joinable()) controller_.join();
  *settings_ = settings;
  journal_ = std::move(journal);
  journalError_ = 0;
  journalPath_.clear();
  RunPolicy policy;
  if (single) {
    policy.SingleEntry = true;
    policy.ReplaceMemory = kAnswerReplaceAll;
    policy.KeepNothingForLater = true;
  } else {
    // Nobody is asked yet (the progress window brings the questions): a clash keeps the
    // existing file and a full disk stops the run, so nothing is lost meanwhile.
    policy.ReplaceMemory = kAnswerLeaveAll;
  }
  try {
    controller_ = std::thread([this, folders, dateFieldValue, policy] {
      RunRequest request{app_.Files, app_.FollowUp, *settings_, app_.Run, app_.Load};
      request.Folders = folders;
      request.DateFieldValue = dateFieldValue;
      request.Policy = policy;
      request.Events.StageChanged = [this](RunStage stage) {
        QMetaObject::invokeMethod(this, [this, stage] { emit StageChanged(stage); },
                                  Qt::QueuedConnection);
      };
      request.Events.Observer = journal_.get();
      result_ = RunProcedure(request);
      if (journal_) {
        journalError_ = journal_->Finish();
        journalPath_ = journal_->Path();
      }
      QMetaObject::invokeMethod(this, &WindowRun::Complete, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    return false;
  }
  running_ = true;
  return true;
}

void WindowRun::Cancel() {
  if (running_) app_.Run.RunCancelled.store(1, std::memory_order_relaxed);
}

void WindowRun::Complete() {
  if (controller_.joinable()) controller_.join();
  journal_.reset();
  running_ = false;
  emit Finished(result_);
}
