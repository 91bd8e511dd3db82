#pragma once

#include "naming/Placeholders.h"
#include "ui/placeholders/PlaceholderListItems.h"
#include "ui/placeholders/PlaceholderListWindow.h"
#include "ui/placeholders/PlaceholderPreviewWindow.h"

#include <QHash>
#include <QLineEdit>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QAbstractButton;
class QWidget;

// The placeholder list and the preview of one main window, and every rule of when they open and
// close. The main window makes one (a child of itself, so a rebuild discards it), attaches its
// "<" buttons and its four template fields, and calls CloseAll for every menu command and
// shortcut. Clicks elsewhere in the window, drops, moving the window and the served fields'
// focus are watched here.
class PlaceholderPopups : public QObject {
  Q_OBJECT

 public:
  using Clock = std::function<qint64()>;  // monotonic milliseconds

  // The list does not open again within this time after it closed: the click on "<" that
  // closed the list by landing outside it must not open it again at once.
  static constexpr qint64 kReopenDelay = 500;

  // `owner`: the main window. `previewEnabled`: the TemplateButtons setting; without it the
  // preview never opens. `folders`: samples of %PD% %PP% %PC%; by default this computer's
  // folders, read each time the preview opens. `clock` may be replaced in tests.
  PlaceholderPopups(QWidget* owner, bool previewEnabled,
                    std::optional<PathFolders> folders = std::nullopt, Clock clock = {});
  ~PlaceholderPopups() override;

  // A "<" button: a click opens the list for `field`. Also gives the button its tooltip and
  // accessible name (the menu option of the placeholder or wildcard buttons).
  void AttachListButton(QAbstractButton* button, QLineEdit* field, PlaceholderField kind);
  // A template field that the preview serves: the insert text, the replace-with text, the name
  // and the target template. Other kinds are ignored.
  void AttachPreviewField(QLineEdit* field, PlaceholderField kind);

  void SetPreviewEnabled(bool enabled);
  bool PreviewEnabled() const { return previewEnabled_; }

  // Opens the list for a field; false when refused (within kReopenDelay of the last closing).
  bool OpenList(QLineEdit* field, PlaceholderField kind);
  // Inserts the list's item `index` into its field, as a click on it or Enter does, and closes
  // the list; the field gets the focus and reports the change as typing does (textEdited and
  // textChanged).
  void ChooseListItem(int index);

 public slots:
  void CloseList();
  void ClosePreview();
  // Both pop-ups: every menu command and shortcut, a drop, a rebuild of the window.
  void CloseAll();

 public:
  bool ListOpen() const;
  bool PreviewOpen() const;
  PlaceholderListWindow* ListWindow() const { return list_; }
  PlaceholderPreviewWindow* PreviewWindow() const { return preview_; }

  // The folders of this computer that %PD% %PP% %PC% stand for.
  static PathFolders CurrentPathFolders();

 signals:
  // An item was inserted into `field`.
  void Inserted(QLineEdit* field);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A served field gained the focus or its text changed: open the preview when the text holds
  // placeholders, then render.
  void FieldActivity(QLineEdit* field);
  void ListClosed();
  bool InOwnerWindow(const QObject* object) const;

  QWidget* owner_;
  bool previewEnabled_;
  std::optional<PathFolders> folders_;
  Clock clock_;
  QHash<QLineEdit*, PlaceholderField> previewFields_;
  QPointer<PlaceholderListWindow> list_;
  QPointer<QLineEdit> listField_;
  // Null once the preview is being destroyed: the main window's teardown may take it first.
  PlaceholderPreviewWindow* preview_ = nullptr;
  qint64 lastListClose_;
};
