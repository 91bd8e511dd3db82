#include "ui/run/UndoWindow.h"

#include "platform/FileName.h"
#include "platform/Process.h"
#include "texts/AdditionEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/UiTexts.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>

#include <system_error>

namespace {

// The progress bar follows the undo at this pace.
constexpr int kProgressPeriodMs = 100;

}  // namespace

UndoRun::UndoRun(QObject* parent) : QObject(parent) {}

UndoRun::~UndoRun() {
  if (worker_.joinable()) {
    stop_.store(1, std::memory_order_relaxed);
    worker_.join();
  }
}

bool UndoRun::Start(const QString& journalPath) {
  if (running_) return false;
  if (worker_.joinable()) worker_.join();
  stop_.store(0, std::memory_order_relaxed);
  done_.store(0, std::memory_order_relaxed);
  total_.store(0, std::memory_order_relaxed);
  try {
    worker_ = std::thread([this, journalPath] {
      LowerThreadPriority();
      UndoOptions options;
      options.Stop = &stop_;
      options.EntryDone = [this](const UndoEntryReport&, qsizetype done, qsizetype total) {
        total_.store(total, std::memory_order_relaxed);
        done_.store(done, std::memory_order_relaxed);
      };
      summary_ = UndoJournal(journalPath, options);
      QMetaObject::invokeMethod(this, &UndoRun::Complete, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    return false;
  }
  running_ = true;
  return true;
}

void UndoRun::Stop() {
  if (running_) stop_.store(1, std::memory_order_relaxed);
}

void UndoRun::Complete() {
  if (worker_.joinable()) worker_.join();
  running_ = false;
  emit Finished(summary_);
}

UndoProgressDialog::UndoProgressDialog(const QString& text, UndoRun& run, QWidget* parent)
    : QDialog(parent), run_(run) {
  setWindowTitle(AdditionText(kAddUndoTitle));
  setWindowModality(Qt::WindowModal);
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(text);
  label->setTextFormat(Qt::PlainText);
  layout->addWidget(label);
  bar_ = new QProgressBar;
  bar_->setRange(0, 0);  // busy until the undo knows how many entries it walks
  bar_->setAccessibleName(text);
  layout->addWidget(bar_);
  auto* buttons = new QDialogButtonBox;
  cancel_ = buttons->addButton(AdditionText(kAddUndoCancel), QDialogButtonBox::RejectRole);
  connect(cancel_, &QPushButton::clicked, this, &UndoProgressDialog::reject);
  layout->addWidget(buttons);
  setMinimumWidth(360);
  timer_ = new QTimer(this);
  timer_->setInterval(kProgressPeriodMs);
  connect(timer_, &QTimer::timeout, this, &UndoProgressDialog::Update);
  timer_->start();
}

void UndoProgressDialog::Update() {
  const qsizetype total = run_.Total();
  if (total <= 0) return;
  // The bar counts in whole entries, at most what an int holds.
  const int maximum = static_cast<int>(std::min<qsizetype>(total, 1 << 30));
  const int value = static_cast<int>(std::min<qsizetype>(run_.Done(), maximum));
  bar_->setRange(0, maximum);
  bar_->setValue(value);
}

void UndoProgressDialog::reject() {
  // The dialog stays until the undo has stopped; the window closes it then.
  run_.Stop();
  cancel_->setEnabled(false);
}

QStringList UndoResultLines(const UndoSummary& summary) {
  QStringList lines;
  for (const UndoEntryReport& entry : summary.Left) {
    QString line = UndoResultText(entry) + QStringLiteral(": ");
    if (!entry.From.isEmpty()) line += EscapedFileName(entry.From) + QStringLiteral(" -> ");
    lines << line + EscapedFileName(entry.To);
  }
  for (const UndoFolderReport& folder : summary.Folders)
    if (folder.Error != 0)
      lines << AdditionText(kAddUndoFolderStays).arg(EscapedFileName(folder.Path));
  return lines;
}

QString UndoSummaryText(uint32_t runNumber, const UndoSummary& summary) {
  if (!summary.Started) return UndoNotStartedText(runNumber, summary);
  QString text;
  if (summary.ExitCode() == 0)
    text = AdditionText(kAddUndoResultComplete).arg(runNumber);
  else
    text = AdditionText(kAddUndoResultPartly).arg(summary.TakenBack).arg(summary.NotTakenBack());
  if (const QString damage = UndoDamageText(runNumber, summary); !damage.isEmpty())
    text += u'\n' + damage;
  if (summary.Stopped) text += u'\n' + AdditionText(kAddUndoStopped);
  if (summary.Error != 0)
    text += u'\n' + AdditionText(kAddUndoNotRecorded).arg(SystemErrorText(summary.Error));
  return text;
}

UndoResultDialog::UndoResultDialog(uint32_t runNumber, const UndoSummary& summary, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(AdditionText(kAddUndoResultTitle));
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(UndoSummaryText(runNumber, summary));
  summary_->setTextFormat(Qt::PlainText);
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  lines_ = new QStringListModel(UndoResultLines(summary), this);
  list_ = new QListView;
  list_->setModel(lines_);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setUniformItemSizes(true);
  list_->setAccessibleName(AdditionText(kAddUndoResultTitle));
  list_->setVisible(lines_->rowCount() > 0);
  layout->addWidget(list_, 1);
  auto* buttons = new QDialogButtonBox;
  QPushButton* close =
      buttons->addButton(AdditionText(kAddUndoClose), QDialogButtonBox::AcceptRole);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(buttons);
  resize(lines_->rowCount() > 0 ? 640 : 400, lines_->rowCount() > 0 ? 360 : 120);
}
