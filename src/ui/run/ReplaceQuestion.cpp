#include "ui/run/ReplaceQuestion.h"

#include "fileops/ReplaceAnswers.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/Mnemonics.h"
#include "ui/widgets/UiTexts.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kMinimumWidth = 300;
constexpr int kButtonWidth = 120;
constexpr int kCountdownStart = 60;

QLineEdit* PathField(const QString& text, int entry) {
  auto* field = new QLineEdit(text);
  field->setReadOnly(true);
  field->setToolTip(text);
  field->setAccessibleName(PlainCaption(entry));
  field->setAccessibleDescription(text);
  field->setCursorPosition(0);
  return field;
}

}  // namespace

ReplaceQuestion::ReplaceQuestion(const QString& targetPath, int tickMs, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("ReplaceQuestion"));
  setWindowTitle(PlainCaption(kTextQuestion));
  setAccessibleName(windowTitle());
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  const qsizetype slash = targetPath.lastIndexOf(u'/');
  QString folder = slash < 0 ? QString() : targetPath.left(slash + 1);
  if (folder.size() > 1) folder.chop(1);
  const QString name = targetPath.mid(slash + 1);

  auto* first = new QLabel(LanguageText(kTextReplaceExists) + u':');
  first->setTextFormat(Qt::PlainText);
  folderField_ = PathField(folder, kTextProgressFolder);
  nameField_ = PathField(name, kTextProgressFile);
  // A folder too long for its field shows its end: the folders nearest the file tell most.
  folderField_->setCursorPosition(static_cast<int>(folder.size()));
  auto* second = new QLabel(LanguageText(kTextReplaceQuestion));
  second->setTextFormat(Qt::PlainText);

  const auto button = [](int caption, int tip) {
    auto* b = new QPushButton(PlainCaption(caption));
    b->setToolTip(PlainCaption(tip));
    b->setAccessibleDescription(b->toolTip());
    b->setMinimumWidth(kButtonWidth);
    return b;
  };
  replace_ = button(kTextReplaceReplace, kTextReplaceReplaceTip);
  leave_ = button(kTextReplaceSkip, kTextReplaceSkipTip);
  replaceAll_ = button(kTextReplaceReplaceAll, kTextReplaceReplaceAllTip);
  leaveAll_ = button(kTextReplaceSkipAll, kTextReplaceSkipAllTip);
  // Enter leaves the existing file alone: a key pressed by chance must not replace it.
  for (QPushButton* b : {replace_, replaceAll_, leaveAll_}) b->setAutoDefault(false);
  leave_->setDefault(true);

  // Folder above name, one under the other and aligned, so the eye reads them as one path.
  auto* paths = new QVBoxLayout;
  paths->setContentsMargins(5, 0, 0, 0);
  paths->setSpacing(4);
  paths->addWidget(folderField_);
  paths->addWidget(nameField_);

  auto* buttons = new QGridLayout;
  buttons->setHorizontalSpacing(20);
  buttons->setVerticalSpacing(10);
  buttons->addWidget(replace_, 0, 0);
  buttons->addWidget(leave_, 0, 1);
  buttons->addWidget(replaceAll_, 1, 0);
  buttons->addWidget(leaveAll_, 1, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(6);
  layout->addWidget(first);
  layout->addLayout(paths);
  layout->addSpacing(8);
  layout->addWidget(second);
  layout->addSpacing(6);
  layout->addLayout(buttons);

  setTabOrder(replace_, leave_);
  setTabOrder(leave_, replaceAll_);
  setTabOrder(replaceAll_, leaveAll_);
  setTabOrder(leaveAll_, folderField_);
  setTabOrder(folderField_, nameField_);
  AssignMnemonics(this, QString());
  leaveCaption_ = leave_->text();

  connect(replace_, &QPushButton::clicked, this, [this] { Finish(kAnswerReplace); });
  connect(leave_, &QPushButton::clicked, this, [this] { Finish(kAnswerLeave); });
  connect(replaceAll_, &QPushButton::clicked, this, [this] { Finish(kAnswerReplaceAll); });
  connect(leaveAll_, &QPushButton::clicked, this, [this] { Finish(kAnswerLeaveAll); });

  // Room for the countdown on the leave button from the start, so the window does not grow.
  leave_->setMinimumWidth(std::max(
      kButtonWidth, leave_->fontMetrics().horizontalAdvance(WithoutMnemonics(leaveCaption_) +
                                                            QStringLiteral(" [60]")) +
                        24));
  const QSize hint = layout->sizeHint();
  setMinimumWidth(std::max(kMinimumWidth, layout->minimumSize().width()));
  setFixedHeight(hint.height());
  // Wide enough for the whole path where the screen allows, so nothing has to be scrolled.
  const int pathWidth = folderField_->fontMetrics().horizontalAdvance(folder) + 60;
  int width = std::max({minimumWidth(), hint.width(), pathWidth});
  if (const QScreen* screen = parent != nullptr && parent->screen() != nullptr
                                  ? parent->screen()
                                  : QGuiApplication::primaryScreen())
    width = std::min(width, std::max(minimumWidth(), screen->availableGeometry().width() / 2));
  resize(width, hint.height());

  WatchMouse(this);
  for (QWidget* child : findChildren<QWidget*>()) WatchMouse(child);

  clock_ = new QTimer(this);
  clock_->setInterval(tickMs);
  connect(clock_, &QTimer::timeout, this, [this] { Tick(); });
  if (tickMs > 0) clock_->start();
  leave_->setFocus(Qt::OtherFocusReason);
}

void ReplaceQuestion::WatchMouse(QWidget* widget) {
  widget->setMouseTracking(true);
  widget->installEventFilter(this);
}

void ReplaceQuestion::Tick() {
  if (!counting_ || finished_) return;
  leave_->setText(leaveCaption_ + QStringLiteral(" [") + QString::number(countdown_) + u']');
  if (countdown_ <= 0) {
    Finish(kAnswerLeave);
    return;
  }
  --countdown_;
}

void ReplaceQuestion::StopCountdown() {
  if (!counting_) return;
  counting_ = false;
  clock_->stop();
  leave_->setText(leaveCaption_);
}

void ReplaceQuestion::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // A window that opens under a resting pointer may be told of it as a movement; only a real
  // movement stops the countdown.
  cursorAtShow_ = QCursor::pos();
  cursorKnown_ = true;
}

bool ReplaceQuestion::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && counting_) {
    const auto* move = static_cast<QMouseEvent*>(event);
    const QPoint at = move->globalPosition().toPoint();
    if (!cursorKnown_ || at != cursorAtShow_) StopCountdown();
  }
  return QDialog::eventFilter(watched, event);
}

void ReplaceQuestion::reject() {
  Finish(kAnswerClosed);
}

void ReplaceQuestion::Finish(int32_t answer) {
  if (finished_) return;
  finished_ = true;
  answer_ = answer;
  clock_->stop();
  emit Answered(answer);
  QDialog::done(answer == kAnswerClosed ? QDialog::Rejected : QDialog::Accepted);
}
