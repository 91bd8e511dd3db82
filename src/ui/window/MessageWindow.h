#pragma once

#include <QDialog>
#include <QFont>
#include <QString>

#include <optional>

class QLabel;
class QPushButton;
class QScrollArea;

// What a caller wants shown in the message window: help, topics, the about text and
// explanations.
struct MessageRequest {
  QWidget* Owner = nullptr;   // disabled while the window is open
  QString Title;              // empty: no title
  bool Resizable = false;     // the window may be enlarged (never made smaller than it opens)
  QString Text;               // lines separated by "\n"; shown as plain text
  int Width = 340;            // width of the text area, in pixels at the desktop's usual scale
  int Height = 0;             // height of the text area, used only when the text needs none
  std::optional<QFont> Font;  // the system's message font when not given
  bool Centred = false;       // the text is centred rather than left-aligned
};

// A modal window with a word-wrapped text and an "OK" button below it, which has the focus. It
// opens as tall as the text needs (scrolling only when the screen is too small for it), centred
// on the screen. OK, Esc and the close box end it.
class MessageWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MessageWindow(const MessageRequest& request);

  QLabel* TextLabel() const { return text_; }
  QPushButton* OkButton() const { return ok_; }

 private:
  QLabel* text_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QPushButton* ok_ = nullptr;
};

// The text as the window shows it: a word joiner (U+2060) after the hyphen that opens a
// command-line option ("-Uninstall"), so that word wrapping never splits an option after its
// hyphen. The window takes the joiners out again of whatever is copied from it.
QString KeepOptionsWhole(const QString& text);

// Shows the message window and returns when it is closed.
void ShowMessageWindow(const MessageRequest& request);

// The width of the text area for a width the texts were written for: a larger desktop font
// makes it wider in proportion, so that lines keep about the same number of words.
int ScaledTextWidth(int width, const QFont& font);
