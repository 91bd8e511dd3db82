#include "ui/placeholders/PlaceholderPopups.h"

#include "app/AppState.h"
#include "platform/Locations.h"
#include "platform/Process.h"
#include "run/RunSetup.h"
#include "texts/TextTables.h"
#include "ui/placeholders/PlaceholderListWindow.h"
#include "ui/placeholders/PlaceholderPreviewWindow.h"
#include "ui/widgets/UiTexts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>

#include <limits>

namespace {

qint64 MonotonicMilliseconds() {
  static QElapsedTimer timer = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return timer.elapsed();
}

bool ServedByPreview(PlaceholderField kind) {
  return kind == PlaceholderField::kInsertText || kind == PlaceholderField::kReplaceWith ||
         kind == PlaceholderField::kNameTemplate || kind == PlaceholderField::kTargetDir;
}

}  // namespace

PlaceholderPopups::PlaceholderPopups(QWidget* owner, bool previewEnabled,
                                     std::optional<PathFolders> folders, Clock clock)
    : QObject(owner),
      owner_(owner),
      previewEnabled_(previewEnabled),
      folders_(std::move(folders)),
      clock_(clock ? std::move(clock) : Clock(MonotonicMilliseconds)),
      lastListClose_(std::numeric_limits<qint64>::min() / 2) {
  preview_ = new PlaceholderPreviewWindow(owner, clock_);
  connect(preview_, &PlaceholderPreviewWindow::Destroying, this, [this] { preview_ = nullptr; });
  // Clicks anywhere in the window, drops and focus changes decide when the pop-ups close; an
  // application-wide filter sees them before the controls do.
  qApp->installEventFilter(this);
}

PlaceholderPopups::~PlaceholderPopups() {
  // Nothing the windows do while they go may reach this half-destroyed object.
  qApp->removeEventFilter(this);
  if (list_ != nullptr) {
    disconnect(list_, nullptr, this, nullptr);
    delete list_;
  }
  if (preview_ != nullptr) {
    disconnect(preview_, nullptr, this, nullptr);
    delete preview_;
  }
}

PathFolders PlaceholderPopups::CurrentPathFolders() {
  const AppState& app = App();
  return TemplateFolders(app.DesktopFolder.isEmpty() ? DesktopFolder() : app.DesktopFolder,
                         app.ProgramFolder.isEmpty() ? ProgramFolderPath() : app.ProgramFolder);
}

void PlaceholderPopups::AttachListButton(QAbstractButton* button, QLineEdit* field,
                                         PlaceholderField kind) {
  const QString caption =
      WithoutMnemonics(LanguageText(kind == PlaceholderField::kPattern ? 11 : 10));
  button->setToolTip(caption);
  button->setAccessibleName(caption);
  // A click must leave the focus, and the selection to be replaced, in the field; keyboard
  // users still reach the button with Tab.
  button->setFocusPolicy(Qt::TabFocus);
  QPointer<QLineEdit> target(field);
  connect(button, &QAbstractButton::clicked, this, [this, target, kind] {
    if (target != nullptr) OpenList(target, kind);
  });
}

void PlaceholderPopups::AttachPreviewField(QLineEdit* field, PlaceholderField kind) {
  if (!ServedByPreview(kind)) return;
  previewFields_.insert(field, kind);
  connect(field, &QLineEdit::textChanged, this, [this, field] {
    // Text set by the program (a preset filling the page) opens nothing; typing, an insertion
    // and a drop on the field while its preview shows do.
    if (preview_ != nullptr && (field->hasFocus() || preview_->Field() == field))
      FieldActivity(field);
  });
  connect(field, &QObject::destroyed, this, [this, field] {
    previewFields_.remove(field);
    if (preview_ != nullptr && preview_->Field() == nullptr) preview_->Close();
  });
}

void PlaceholderPopups::SetPreviewEnabled(bool enabled) {
  previewEnabled_ = enabled;
  if (!enabled) ClosePreview();
}

bool PlaceholderPopups::ListOpen() const {
  return list_ != nullptr && list_->isVisible();
}

bool PlaceholderPopups::PreviewOpen() const {
  return preview_ != nullptr && preview_->IsOpen();
}

bool PlaceholderPopups::OpenList(QLineEdit* field, PlaceholderField kind) {
  if (clock_() - lastListClose_ < kReopenDelay) return false;
  if (list_ != nullptr) {
    disconnect(list_, nullptr, this, nullptr);
    list_->close();
    list_->deleteLater();
  }
  list_ = new PlaceholderListWindow(owner_, kind);
  listField_ = field;
  connect(list_, &PlaceholderListWindow::ItemChosen, this, &PlaceholderPopups::ChooseListItem);
  connect(list_, &PlaceholderListWindow::Closed, this, &PlaceholderPopups::ListClosed);
  list_->PopUpAt(field);
  return true;
}

void PlaceholderPopups::ChooseListItem(int index) {
  QLineEdit* field = listField_;
  if (list_ == nullptr || field == nullptr || index < 0 || index >= list_->Items().size()) {
    CloseList();
    return;
  }
  const QString code = list_->Items()[index].Code;
  const qsizetype start =
      field->hasSelectedText() ? field->selectionStart() : field->cursorPosition();
  const qsizetype end =
      field->hasSelectedText() ? field->selectionStart() + field->selectionLength() : start;
  const PlaceholderInsertion insertion =
      InsertPlaceholder(list_->Field(), field->text(), start, end, code);
  if (insertion.Text != field->text()) {
    // One undoable edit that reports itself as typing does (textEdited, then textChanged).
    field->selectAll();
    field->insert(insertion.Text);
  }
  field->setCursorPosition(static_cast<int>(insertion.Caret));
  CloseList();
  field->setFocus(Qt::OtherFocusReason);
  emit Inserted(field);
}

void PlaceholderPopups::CloseList() {
  if (list_ != nullptr && list_->isVisible()) list_->close();
}

void PlaceholderPopups::ClosePreview() {
  if (preview_ != nullptr) preview_->Close();
}

void PlaceholderPopups::CloseAll() {
  CloseList();
  ClosePreview();
}

void PlaceholderPopups::ListClosed() {
  lastListClose_ = clock_();
  QPointer<QLineEdit> field = listField_;
  if (list_ != nullptr) {
    disconnect(list_, nullptr, this, nullptr);
    list_->deleteLater();
  }
  list_ = nullptr;
  listField_ = nullptr;
  if (field != nullptr && field->isVisible()) field->setFocus(Qt::OtherFocusReason);
}

void PlaceholderPopups::FieldActivity(QLineEdit* field) {
  if (!previewEnabled_ || preview_ == nullptr) return;
  const auto found = previewFields_.constFind(field);
  if (found == previewFields_.constEnd()) return;
  if (preview_->IsOpen() && preview_->Field() != field) preview_->Close();
  if (!preview_->IsOpen()) {
    if (!HasPreviewPlaceholders(found.value(), field->text())) return;
    preview_->OpenAt(field, found.value(), folders_ ? *folders_ : CurrentPathFolders());
  }
  preview_->RequestRender();
}

bool PlaceholderPopups::InOwnerWindow(const QObject* object) const {
  return object != nullptr && object->isWidgetType() &&
         static_cast<const QWidget*>(object)->window() == owner_;
}

bool PlaceholderPopups::eventFilter(QObject* watched, QEvent* event) {
  if (preview_ == nullptr) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::FocusIn:
      if (previewFields_.contains(qobject_cast<QLineEdit*>(watched)))
        FieldActivity(static_cast<QLineEdit*>(watched));
      break;
    case QEvent::FocusOut:
      if (preview_->Serves(watched)) ClosePreview();
      break;
    case QEvent::Move:
    case QEvent::Resize:
      if (watched == owner_ || preview_->Serves(watched)) preview_->FollowField();
      if (watched == owner_ && event->type() == QEvent::Move) CloseList();
      break;
    case QEvent::MouseButtonPress: {
      if (!PreviewOpen() || !InOwnerWindow(watched)) break;
      if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
      auto* focus = qobject_cast<QLineEdit*>(QApplication::focusWidget());
      const auto* target = static_cast<const QWidget*>(watched);
      if (focus != nullptr && previewFields_.contains(focus) &&
          (target == focus || focus->isAncestorOf(target)))
        FieldActivity(focus);
      else
        ClosePreview();
      break;
    }
    case QEvent::Drop:
      // Files dropped on the window: both close before the drop is handled. (Qt delivers drops
      // only during a real drag; the window's drop handlers call CloseAll as well.)
      if (InOwnerWindow(watched)) CloseAll();
      break;
    case QEvent::Hide:
    case QEvent::Close:
      if (watched == owner_) CloseAll();
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}
