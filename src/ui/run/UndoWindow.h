#pragma once

#include "journal/Undo.h"

#include <QDialog>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <thread>

class QLabel;
class QListView;
class QProgressBar;
class QPushButton;
class QStringListModel;
class QTimer;

// Taking a run back from the window: the undo runs on a worker thread of its own; the window
// reads how far it is and may ask it to stop after the entry in hand. The result comes back to
// the GUI thread as a signal.
class UndoRun : public QObject {
  Q_OBJECT

 public:
  explicit UndoRun(QObject* parent = nullptr);
  ~UndoRun() override;  // stops a running undo and waits for it

  // Starts taking back the run of the journal at `journalPath`. False when an undo is going
  // already or no thread could be started.
  bool Start(const QString& journalPath);
  // The undo ends after the entry in hand; the run can be taken back further later.
  void Stop();
  bool Busy() const { return running_; }
  qsizetype Done() const { return done_.load(std::memory_order_relaxed); }
  qsizetype Total() const { return total_.load(std::memory_order_relaxed); }

 signals:
  void Finished(const UndoSummary& summary);

 private:
  void Complete();

  std::thread worker_;
  bool running_ = false;
  std::atomic<int32_t> stop_{0};
  std::atomic<qsizetype> done_{0};
  std::atomic<qsizetype> total_{0};
  UndoSummary summary_;
};

// How far an undo is: a line of text, a progress bar, and Cancel, which asks the undo to stop.
class UndoProgressDialog : public QDialog {
  Q_OBJECT

 public:
  UndoProgressDialog(const QString& text, UndoRun& run, QWidget* parent);

  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  void reject() override;  // Escape and the close box cancel, as the button does

 private:
  void Update();

  UndoRun& run_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  QTimer* timer_;
};

// The lines of the result list: every entry that could not be taken back (why, where the file
// is, where it belongs), then the folders the run created that had to stay.
QStringList UndoResultLines(const UndoSummary& summary);
// The sentence above the list.
QString UndoSummaryText(uint32_t runNumber, const UndoSummary& summary);

// What the undo did: a sentence and the list of what it could not take back.
class UndoResultDialog : public QDialog {
  Q_OBJECT

 public:
  UndoResultDialog(uint32_t runNumber, const UndoSummary& summary, QWidget* parent);

  QLabel* Summary() const { return summary_; }
  QStringListModel* Lines() const { return lines_; }

 private:
  QLabel* summary_;
  QListView* list_;
  QStringListModel* lines_;
};
