#include "ui/run/ProgressWindow.h"

#include "run/RunProcedure.h"
#include "texts/LanguageEntries.h"
#include "texts/ProductTitle.h"
#include "texts/TextTables.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/Mnemonics.h"
#include "ui/widgets/UiTexts.h"

#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

using std::memory_order_relaxed;

// The smallest window, in the pixels of the desktop's usual scale.
constexpr int kMinimumWidth = 300;
constexpr int kButtonWidth = 120;

}  // namespace

QString ProgressPercentText(int64_t count, int64_t maximum, int32_t phase) {
  double percent = 0;
  if (maximum > 0)
    percent =
        static_cast<double>(std::max<int64_t>(count, 0)) * 100.0 / static_cast<double>(maximum);
  else if (phase >= kPhaseProcessing)
    percent = 100;  // nothing to process is all done
  // Cut, not rounded: 99.999 % must not read 100.00 while a file is still in hand.
  const double hundredths = std::min(10000.0, std::floor(percent * 100.0 + 1e-9));
  return QString::number(hundredths / 100.0, 'f', 2);
}

ProgressWindow::ProgressWindow(RunFlags& flags, AskLaterFunction ask, ProgressTimings timings,
                               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      flags_(flags),
      control_(flags),
      ask_(std::move(ask)),
      timings_(timings) {
  setObjectName(QStringLiteral("ProgressWindow"));
  setAccessibleName(PlainCaption(kTextProgressTitle));
  setWindowTitle(QString());

  frame_ = new QGroupBox(PlainCaption(kTextProgressTitle));
  frame_->setAccessibleName(frame_->title());

  status_ = new QLabel;
  status_->setTextFormat(Qt::PlainText);
  status_->setAlignment(Qt::AlignCenter);
  status_->setAccessibleName(PlainCaption(kTextProgressTitle));

  auto* fields = new QWidget;
  auto* grid = new QGridLayout(fields);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(8);
  const auto addField = [&](int row, int entry, Qt::TextElideMode mode) {
    auto* label = new QLabel(PlainCaption(entry) + u':');
    label->setTextFormat(Qt::PlainText);
    auto* value = new ElidedLabel(mode);
    value->setAccessibleName(PlainCaption(entry));
    value->SetFullText(QStringLiteral("-"));
    grid->addWidget(label, row, 0);
    grid->addWidget(value, row, 1);
    return value;
  };
  name_ = addField(0, kTextProgressFile, Qt::ElideRight);
  folder_ = addField(1, kTextProgressFolder, Qt::ElideMiddle);
  grid->setColumnStretch(1, 1);

  // The status text and the two fields take turns in one place, so the window keeps its height.
  info_ = new QStackedWidget;
  info_->addWidget(status_);
  info_->addWidget(fields);

  bar_ = new QProgressBar;
  bar_->setRange(0, 1);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  bar_->setAccessibleName(PlainCaption(kTextProgressTitle));

  auto* frameLayout = new QVBoxLayout(frame_);
  frameLayout->setContentsMargins(10, 8, 10, 10);
  frameLayout->setSpacing(8);
  frameLayout->addWidget(info_);
  frameLayout->addWidget(bar_);

  pause_ = new QPushButton;
  cancel_ = new QPushButton(PlainCaption(kTextProgressCancel));
  for (QPushButton* button : {pause_, cancel_}) {
    button->setAutoDefault(false);
    button->setMinimumWidth(kButtonWidth);
  }
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(20);
  buttons->addWidget(pause_, 1);
  buttons->addWidget(cancel_, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(10);
  layout->addWidget(frame_);
  layout->addLayout(buttons);
  SetPauseCaption();

  connect(pause_, &QPushButton::clicked, this, [this] { TogglePause(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { AskToStop(false); });
  setTabOrder(pause_, cancel_);
  pause_->setFocus(Qt::OtherFocusReason);

  // Wider, never higher: the fields and the bar take the width.
  const QSize hint = layout->sizeHint();
  setMinimumWidth(std::max(kMinimumWidth, layout->minimumSize().width()));
  setFixedHeight(hint.height());
  // A little wider than the least, so that a usual path fits without being cut.
  resize(std::max({minimumWidth() * 7 / 5, hint.width()}), hint.height());

  updater_ = new QTimer(this);
  updater_->setInterval(timings_.UpdaterPeriodMs);
  connect(updater_, &QTimer::timeout, this, [this] { Update(); });
  updater_->start();
  ApplyPhase(kPhaseStarting);
}

ProgressWindow::~ProgressWindow() {
  // A question that goes with the window must not hold the run.
  if (asking_) control_.DropStopQuestion();
}

void ProgressWindow::SetPhaseEntries(int32_t phase, int64_t entries) {
  if (phase >= 0 && phase < static_cast<int32_t>(phaseEntries_.size()))
    phaseEntries_[static_cast<size_t>(phase)] = entries;
}

bool ProgressWindow::ShowsEntryFields() const {
  return info_->currentIndex() == 1;
}

int64_t ProgressWindow::BarMaximum() const {
  if (lastPhase_ < 0) return 0;
  const int64_t entries = std::max<int64_t>(0, phaseEntries_[static_cast<size_t>(lastPhase_)]);
  // The filter counts one unit per entry, the processing three.
  return lastPhase_ == kPhasePreparing ? entries : 3 * entries;
}

QString ProgressWindow::Percent() const {
  return ProgressPercentText(flags_.ProgressCount.load(memory_order_relaxed), BarMaximum(),
                             lastPhase_);
}

void ProgressWindow::ApplyPhase(int32_t phase) {
  lastPhase_ = phase;
  QString caption = PlainCaption(kTextProgressTitle);
  QString status;
  bool fields = false;
  switch (phase) {
    case kPhasePreparing:
      caption += QStringLiteral(": ") + PlainCaption(kTextProgressPreparing);
      status = LanguageText(kTextProgressFiltering) + QStringLiteral("...");
      break;
    case kPhaseProcessing:
      caption += QStringLiteral(": ") + PlainCaption(kTextProgressProcessing);
      fields = true;
      break;
    case kPhaseFinished:
      caption += QStringLiteral(": ") + PlainCaption(kTextProgressFinished);
      status = LanguageText(kTextProgressAllDone);
      // Nothing is left to pause or cancel.
      pause_->setEnabled(false);
      cancel_->setEnabled(false);
      break;
    default:
      break;
  }
  frame_->setTitle(caption);
  frame_->setAccessibleName(caption);
  status_->setText(status);
  status_->setAccessibleDescription(status);
  info_->setCurrentIndex(fields ? 1 : 0);
  const int64_t maximum = BarMaximum();
  // A bar from 0 to 0 would turn into a busy indicator: an empty run shows 0 of 1 (or 1 of 1
  // once it is through).
  if (maximum > 0) {
    bar_->setRange(0, static_cast<int>(std::min<int64_t>(maximum, INT32_MAX)));
  } else {
    bar_->setRange(0, 1);
    bar_->setValue(phase >= kPhaseProcessing ? 1 : 0);
  }
}

void ProgressWindow::Update() {
  const int32_t phase = flags_.RunPhase.load(memory_order_relaxed);
  if (phase != lastPhase_ && phase >= 0 && phase < static_cast<int32_t>(phaseEntries_.size()) &&
      phaseEntries_[static_cast<size_t>(phase)] >= 0)
    ApplyPhase(phase);

  const bool held = control_.Held();
  const QString title = ErrorTitle();
  if (held) {
    if (!pausedTitleShown_) {
      pausedTitleShown_ = true;
      setWindowTitle(Percent() + QStringLiteral("% ") + LanguageText(kTextProgressPaused) +
                     QStringLiteral(" - ") + title);
    }
    return;
  }
  // Back from a pause the title is brought up to date at once.
  if (pausedTitleShown_ || !sinceTitle_.isValid() ||
      sinceTitle_.elapsed() > timings_.TitleIntervalMs) {
    sinceTitle_.start();
    setWindowTitle(Percent() + QStringLiteral("% - ") + title);
  }
  pausedTitleShown_ = false;
  if (lastPhase_ == kPhaseProcessing) {
    const int32_t id = flags_.ProgressId.load(memory_order_relaxed);
    if (id != lastId_) {
      lastId_ = id;
      QString name;
      QString directory;
      flags_.ProgressEntry(name, directory);
      name_->SetFullText(name);
      folder_->SetFullText(directory);
    }
  }
  const int64_t maximum = BarMaximum();
  if (maximum > 0)
    bar_->setValue(
        static_cast<int>(std::clamp<int64_t>(flags_.ProgressCount.load(memory_order_relaxed), 0,
                                             std::min<int64_t>(maximum, INT32_MAX))));
}

void ProgressWindow::TogglePause() {
  if (control_.Cancelled()) return;
  control_.TogglePause();
  SetPauseCaption();
}

void ProgressWindow::SetPauseCaption() {
  if (pauseCaption_.isEmpty()) {
    // The keys are chosen once, for both captions of the Pause button, so that Cancel's key
    // never changes under the user's fingers.
    cancel_->setText(PlainCaption(kTextProgressCancel));
    pause_->setText(QString());
    AssignMnemonics(this, QString());
    pause_->setText(PlainCaption(kTextProgressPause));
    AssignMnemonics(this, QString());
    pauseCaption_ = pause_->text();
    pause_->setText(PlainCaption(kTextProgressContinue));
    AssignMnemonics(this, QString());
    continueCaption_ = pause_->text();
  }
  const bool paused = control_.Paused();
  pause_->setText(paused ? continueCaption_ : pauseCaption_);
}

void ProgressWindow::AskToStop(bool quit) {
  // The run holds between two files while the question is open.
  if (asking_ || !control_.BeginStopQuestion()) return;
  asking_ = true;
  QPointer<ProgressWindow> self(this);
  ask_(this, PlainCaption(kTextQuestion), LanguageText(quit ? kTextAskQuit : kTextAskCancelRun),
       [self, quit](bool yes) {
         if (self) self->Stopped(quit, yes);
       });
}

void ProgressWindow::Stopped(bool quit, bool yes) {
  if (!asking_) return;
  control_.EndStopQuestion(yes, quit);
  if (yes) {
    SetPauseCaption();
    pause_->setEnabled(false);
    cancel_->setEnabled(false);
  }
  asking_ = false;
  if (yes && quit) emit QuitChosen();
  emit QuestionClosed();
}

void ProgressWindow::DropQuestion() {
  if (!asking_) return;
  asking_ = false;
  control_.DropStopQuestion();
  for (QDialog* box : findChildren<QDialog*>()) box->reject();
  emit QuestionClosed();
}

void ProgressWindow::Dismiss() {
  dismissed_ = true;
  updater_->stop();
  hide();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
  if (dismissed_) {
    event->accept();
    return;
  }
  event->ignore();
  AskToStop(true);
}

void ProgressWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    AskToStop(true);
    return;
  }
  QWidget::keyPressEvent(event);
}
