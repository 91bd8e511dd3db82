#pragma once

#include "records/RunFlags.h"
#include "run/RunControl.h"

#include <QElapsedTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class ElidedLabel;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTimer;

// A Yes/No question with the question icon over `parent` that does not wait: `done` gets the
// answer later (true for Yes). While a run goes on the event loop never stops for a question.
using AskLaterFunction = std::function<void(QWidget* parent, const QString& title,
                                            const QString& text, std::function<void(bool)> done)>;

// The updater's period and the least time between two changes of the title.
struct ProgressTimings {
  int UpdaterPeriodMs = 100;
  int TitleIntervalMs = 500;
};

// The percentage the title shows: `count` of `maximum` units, with two decimals ("42.50").
// A maximum of 0 (the filter took every file out) reads 0.00 before processing and 100.00
// from then on. Never more than 100.00.
QString ProgressPercentText(int64_t count, int64_t maximum, int32_t phase);

// The progress window of a batch run. It reads the run flags every 100 ms (the updater) and
// steers the run only through its RunControl: pause, cancel, quit and the asking scope. Its phase,
// from RunPhase, decides the frame's caption and what it shows: the status text while preparing and
// when finished, the file and folder in hand while processing. Pause holds the run between two
// files; Cancel (after a question) lets the file in hand finish and starts no other; Esc and the
// close box ask whether to quit the program, which then ends after the file in hand. The window may
// be made wider, never higher.
class ProgressWindow : public QWidget {
  Q_OBJECT

 public:
  ProgressWindow(RunFlags& flags, AskLaterFunction ask, ProgressTimings timings = {},
                 QWidget* parent = nullptr);
  ~ProgressWindow() override;

  // How many entries a phase works on, as the run knew it when the phase began. The updater
  // shows a phase only once it knows its count.
  void SetPhaseEntries(int32_t phase, int64_t entries);
  // One round of the updater (its timer calls it).
  void Update();
  // A question of this window is open.
  bool Asking() const { return asking_; }
  // Closes the window for good at the end of the run (the close box only asks).
  void Dismiss();
  // The program is to end: an open question of this window is closed unanswered and no
  // longer holds the run.
  void DropQuestion();

  // ---- For tests and the screenshots ----
  QGroupBox* Frame() const { return frame_; }
  QLabel* StatusText() const { return status_; }
  ElidedLabel* NameField() const { return name_; }
  ElidedLabel* FolderField() const { return folder_; }
  QProgressBar* Bar() const { return bar_; }
  QPushButton* PauseButton() const { return pause_; }
  QPushButton* CancelButton() const { return cancel_; }
  int32_t ShownPhase() const { return lastPhase_; }
  bool ShowsEntryFields() const;

 signals:
  // The user answered Yes to the quit question: the program ends after the file in hand.
  void QuitChosen();
  // A question of this window was answered.
  void QuestionClosed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ApplyPhase(int32_t phase);
  void TogglePause();
  void AskToStop(bool quit);
  void Stopped(bool quit, bool yes);
  void SetPauseCaption();
  int64_t BarMaximum() const;
  QString Percent() const;

  RunFlags& flags_;
  RunControl control_;
  AskLaterFunction ask_;
  ProgressTimings timings_;
  QTimer* updater_ = nullptr;
  QGroupBox* frame_ = nullptr;
  QStackedWidget* info_ = nullptr;
  QLabel* status_ = nullptr;
  ElidedLabel* name_ = nullptr;
  ElidedLabel* folder_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* cancel_ = nullptr;

  QString pauseCaption_;  // with their access keys
  QString continueCaption_;
  std::array<int64_t, 4> phaseEntries_{0, -1, -1, -1};  // -1: not known yet
  int32_t lastPhase_ = -1;
  int32_t lastId_ = -1;
  QElapsedTimer sinceTitle_;
  bool pausedTitleShown_ = false;
  bool asking_ = false;
  bool dismissed_ = false;
};
