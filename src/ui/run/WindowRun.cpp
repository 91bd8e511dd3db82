#include "ui/run/WindowRun.h"

#include "app/AppState.h"
#include "run/RunControl.h"
#include "run/RunSetup.h"

#include <chrono>
#include <system_error>

WindowRun::WindowRun(AppState& app, QObject* parent)
    : QObject(parent),
      app_(app),
      settings_(std::make_unique<Preset>()),
      testFiles_(std::make_unique<FileList>()),
      testFollowUp_(std::make_unique<FileList>()) {}

WindowRun::~WindowRun() {
  StopAndWait();
}

void WindowRun::StopAndWait() {
  if (!controller_.joinable()) return;
  // Raised again until the run is over: a run that is just starting clears the flags once.
  RunControl control(app_.Run);
  while (!done_.load()) {
    control.Abandon();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  controller_.join();
}

bool WindowRun::Start(const Preset& settings, const PathFolders& folders, int64_t dateFieldValue,
                      const RunPolicy& policy, std::unique_ptr<RunJournal> journal) {
  if (running_ || RunControl(app_.Run).Running()) return false;
  *settings_ = settings;
  journal_ = std::move(journal);
  return Launch(app_.Files, app_.FollowUp, folders, dateFieldValue, policy);
}

bool WindowRun::StartTest(const Preset& settings, const PathFolders& folders,
                          int64_t dateFieldValue, const FileEntry& entry) {
  if (running_ || RunControl(app_.Run).Running()) return false;
  *settings_ = settings;
  journal_.reset();  // the test run works on a copy: nothing to take back
  testFiles_->Clear();
  testFollowUp_->Clear();
  FileEntry copy = entry;
  copy.Status = kStatusNotProcessed;
  copy.Detail = 0;
  copy.SetNewPath(QString());
  testFiles_->Append(std::move(copy));
  testFiles_->Current = 0;
  return Launch(*testFiles_, *testFollowUp_, folders, dateFieldValue, TestRunPolicy());
}

const FileEntry* WindowRun::TestedEntry() const {
  return running_ || testFiles_->IsEmpty() ? nullptr : &testFiles_->At(0);
}

bool WindowRun::Launch(FileList& files, FileList& followUp, const PathFolders& folders,
                       int64_t dateFieldValue, const RunPolicy& policy) {
  if (controller_.joinable()) controller_.join();
  journalError_ = 0;
  journalPath_.clear();
  done_.store(false);
  try {
    controller_ = std::thread([this, &files, &followUp, folders, dateFieldValue, policy] {
      RunRequest request{files, followUp, *settings_, app_.Run, app_.Load};
      request.Folders = folders;
      request.DateFieldValue = dateFieldValue;
      request.Policy = policy;
      // Called on this thread while no worker runs, so the count is safe to read.
      request.Events.StageChanged = [this, &files](RunStage stage) {
        const qint64 entries = files.Count();
        QMetaObject::invokeMethod(
            this, [this, stage, entries] { emit StageChanged(stage, entries); },
            Qt::QueuedConnection);
      };
      request.Events.Observer = journal_.get();
      result_ = RunProcedure(request);
      if (journal_) {
        journalError_ = journal_->Finish();
        journalPath_ = journal_->Path();
      }
      done_.store(true);
      QMetaObject::invokeMethod(this, &WindowRun::Complete, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    return false;
  }
  running_ = true;
  return true;
}

void WindowRun::Complete() {
  if (controller_.joinable()) controller_.join();
  journal_.reset();
  running_ = false;
  emit Finished(result_);
}
