#pragma once

#include <QObject>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The questions the processing thread asks the user during a window run: whether an existing
// target is to be replaced, and whether a full disk stops the run. The worker calls Ask...,
// which hands the question to the GUI thread (a queued call) and sleeps on a condition
// variable until the answer comes; the GUI shows its window without waiting for anything.
//
// Close() gives every open question its safe answer (leave the existing file; stop on a full
// disk) and every later question that answer at once, so that a worker is never left waiting
// for a window that will not come: when the user quits, when the program ends, when the run is
// torn down. The object lives in the GUI thread and must outlive every worker that asks.
class RunQuestions : public QObject {
  Q_OBJECT

 public:
  // Shows a question and calls `answer` once with the user's answer (from the GUI thread, at
  // any later time; an answer after Close() is ignored).
  using ReplacePresenter =
      std::function<void(const QString& targetPath, std::function<void(int32_t)> answer)>;
  using DiskFullPresenter =
      std::function<void(const QString& targetPath, std::function<void(bool stop)> answer)>;

  explicit RunQuestions(QObject* parent = nullptr);
  ~RunQuestions() override;  // closes

  void SetPresenters(ReplacePresenter replace, DiskFullPresenter diskFull);

  // ---- Called on the processing thread; each waits for its answer ----
  // One of the ReplaceAnswer values; kAnswerClosed once closed.
  int32_t AskReplace(const QString& targetPath);
  // True: stop the run after this entry. True once closed.
  bool AskStopOnDiskFull(const QString& targetPath);

  // ---- GUI thread ----
  // A new run: questions are shown again.
  void Open();
  // Answers every open question safely and every later one at once.
  void Close();
  // Questions asked and not answered yet.
  int Pending() const;

 private:
  struct Question;
  int32_t Ask(bool diskFull, const QString& targetPath, int32_t closedAnswer);
  void Present(const std::shared_ptr<Question>& question);
  void Answer(const std::shared_ptr<Question>& question, int32_t answer);

  ReplacePresenter replace_;
  DiskFullPresenter diskFull_;
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  std::vector<std::shared_ptr<Question>> open_;
  bool closed_ = false;
};
