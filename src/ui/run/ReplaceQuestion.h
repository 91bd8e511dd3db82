#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>

#include <cstdint>

class QLineEdit;
class QPushButton;
class QTimer;

// The question whether an existing target is to be replaced: its folder and name, and four
// answers (ReplaceAnswer: replace, leave, replace all, leave all). Esc and the close box answer
// -1, which the run treats as leave. Unless the mouse moves over the window, the leave button
// counts down from 60, one tick a second, and the question answers leave by itself after the
// 61st tick; the first movement of the mouse over the window stops the countdown for good.
// The window may be made wider, never higher. It never blocks: it reports through Answered.
class ReplaceQuestion : public QDialog {
  Q_OBJECT

 public:
  // `tickMs` is the countdown's clock (tests make it short, or 0 to tick only by hand).
  explicit ReplaceQuestion(const QString& targetPath, int tickMs = 1000, QWidget* parent = nullptr);

  // -1 until answered (and for Esc or the close box).
  int32_t Answer() const { return answer_; }
  // One tick of the countdown (the clock calls it).
  void Tick();
  bool CountingDown() const { return counting_; }

  QLineEdit* FolderField() const { return folderField_; }
  QLineEdit* NameField() const { return nameField_; }
  QPushButton* ReplaceButton() const { return replace_; }
  QPushButton* LeaveButton() const { return leave_; }
  QPushButton* ReplaceAllButton() const { return replaceAll_; }
  QPushButton* LeaveAllButton() const { return leaveAll_; }

 signals:
  void Answered(int32_t answer);

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Finish(int32_t answer);
  void StopCountdown();
  void WatchMouse(QWidget* widget);

  QLineEdit* folderField_ = nullptr;
  QLineEdit* nameField_ = nullptr;
  QPushButton* replace_ = nullptr;
  QPushButton* leave_ = nullptr;
  QPushButton* replaceAll_ = nullptr;
  QPushButton* leaveAll_ = nullptr;
  QString leaveCaption_;
  QTimer* clock_ = nullptr;
  int countdown_ = 60;
  bool counting_ = true;
  int32_t answer_ = -1;
  bool finished_ = false;
  QPoint cursorAtShow_;
  bool cursorKnown_ = false;
};
