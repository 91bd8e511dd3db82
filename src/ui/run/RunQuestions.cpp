#include "ui/run/RunQuestions.h"

#include "fileops/ReplaceAnswers.h"

#include <QPointer>

#include <algorithm>

struct RunQuestions::Question {
  bool DiskFull = false;
  QString TargetPath;
  int32_t ClosedAnswer = 0;
  int32_t Answer = 0;
  bool Answered = false;
};

RunQuestions::RunQuestions(QObject* parent) : QObject(parent) {}

RunQuestions::~RunQuestions() {
  Close();
}

void RunQuestions::SetPresenters(ReplacePresenter replace, DiskFullPresenter diskFull) {
  replace_ = std::move(replace);
  diskFull_ = std::move(diskFull);
}

int32_t RunQuestions::AskReplace(const QString& targetPath) {
  return Ask(false, targetPath, kAnswerClosed);
}

bool RunQuestions::AskStopOnDiskFull(const QString& targetPath) {
  return Ask(true, targetPath, 1) != 0;
}

int32_t RunQuestions::Ask(bool diskFull, const QString& targetPath, int32_t closedAnswer) {
  auto question = std::make_shared<Question>();
  question->DiskFull = diskFull;
  question->TargetPath = targetPath;
  question->ClosedAnswer = closedAnswer;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return closedAnswer;
    open_.push_back(question);
  }
  // The window comes up in the GUI thread; a call that never runs there (the object is gone)
  // is covered by the destructor's Close().
  QMetaObject::invokeMethod(
      this, [this, question] { Present(question); }, Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  answered_.wait(lock, [&] { return question->Answered; });
  open_.erase(std::remove(open_.begin(), open_.end(), question), open_.end());
  return question->Answer;
}

void RunQuestions::Present(const std::shared_ptr<Question>& question) {
  {
    std::lock_guard lock(mutex_);
    if (question->Answered) return;
  }
  QPointer<RunQuestions> self(this);
  if (question->DiskFull) {
    if (!diskFull_) {
      Answer(question, question->ClosedAnswer);
      return;
    }
    diskFull_(question->TargetPath, [self, question](bool stop) {
      if (self) self->Answer(question, stop ? 1 : 0);
    });
  } else {
    if (!replace_) {
      Answer(question, question->ClosedAnswer);
      return;
    }
    replace_(question->TargetPath, [self, question](int32_t answer) {
      if (self) self->Answer(question, answer);
    });
  }
}

void RunQuestions::Answer(const std::shared_ptr<Question>& question, int32_t answer) {
  {
    std::lock_guard lock(mutex_);
    if (question->Answered) return;
    question->Answer = answer;
    question->Answered = true;
  }
  answered_.notify_all();
}

void RunQuestions::Open() {
  std::lock_guard lock(mutex_);
  closed_ = false;
}

void RunQuestions::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    for (const auto& question : open_) {
      if (question->Answered) continue;
      question->Answer = question->ClosedAnswer;
      question->Answered = true;
    }
  }
  answered_.notify_all();
}

int RunQuestions::Pending() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(open_.begin(), open_.end(),
                                        [](const auto& question) { return !question->Answered; }));
}
