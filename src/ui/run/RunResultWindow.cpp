#include "ui/run/RunResultWindow.h"

#include "platform/FileSystem.h"
#include "run/ErrorLog.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/Mnemonics.h"
#include "ui/widgets/ReportView.h"
#include "ui/widgets/UiTexts.h"
#include "ui/window/MessageWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The smallest inner size, in the pixels of the desktop's usual scale.
constexpr int kMinimumWidth = 380;
constexpr int kMinimumHeight = 278;
constexpr int kButtonWidth = 140;
constexpr int kExplanationWidth = 340;

// Enter on a row shows its file, as a double click does, instead of closing the window.
class ResultListView : public ReportView {
 public:
  using ReportView::ReportView;
  std::function<void(const QModelIndex&)> Show;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentIndex().isValid() && Show) {
      Show(currentIndex());
      event->accept();
      return;
    }
    ReportView::keyPressEvent(event);
  }
};

// The failure column is cut at its end, the paths in their middle.
class ResultDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode =
        index.column() == RunResultModel::kFailureColumn ? Qt::ElideRight : Qt::ElideMiddle;
  }
};

// Wide enough for the longest name of a failure.
int FailureColumnWidth(const QFontMetrics& metrics, const QAbstractItemModel& model) {
  int width = metrics.horizontalAdvance(
      model.headerData(RunResultModel::kFailureColumn, Qt::Horizontal, Qt::DisplayRole).toString());
  for (const int status : FailureStatuses())
    width = std::max(width, metrics.horizontalAdvance(FailureName(status)));
  width = std::max(width, metrics.horizontalAdvance(NotReachedName()));
  return width + 24;
}

}  // namespace

std::vector<RunResultRow> RunResultRows(const FileList& files, bool stoppedByFullDisk) {
  std::vector<RunResultRow> rows;
  for (const FileEntry& entry : files)
    if (entry.Status != kStatusNotProcessed && entry.Status != kStatusDone)
      rows.push_back({entry.Status, false, entry.Path(), entry.NewPath()});
  if (stoppedByFullDisk) {
    for (const FileEntry& entry : files)
      if (entry.Status == kStatusNotProcessed)
        rows.push_back({entry.Status, true, entry.Path(), entry.NewPath()});
  }
  return rows;
}

QString RunResultExplanation(const std::vector<RunResultRow>& rows) {
  const auto present = [&rows](int status, bool notReached) {
    return std::any_of(rows.begin(), rows.end(), [&](const RunResultRow& row) {
      return row.NotReached == notReached && (notReached || row.Status == status);
    });
  };
  QStringList blocks;
  for (const int status : FailureStatuses())
    if (present(status, false)) blocks << FailureName(status) + u'\n' + FailureExplanation(status);
  if (present(0, true)) blocks << NotReachedName() + u'\n' + NotReachedExplanation();
  return blocks.join(QStringLiteral("\n\n"));
}

// ---- The model ----

RunResultModel::RunResultModel(std::vector<RunResultRow> rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(std::move(rows)) {}

int RunResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RunResultModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant RunResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || static_cast<size_t>(index.row()) >= rows_.size())
    return QVariant();
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return QVariant();
  const RunResultRow& row = rows_[static_cast<size_t>(index.row())];
  switch (index.column()) {
    case kFailureColumn:
      return row.NotReached ? NotReachedName() : FailureName(row.Status);
    case kSourceColumn:
      return row.Path;
    case kTargetColumn:
      return row.NewPath;
    default:
      return QVariant();
  }
}

QVariant RunResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return QVariant();
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return QVariant();
  switch (section) {
    case kFailureColumn:
      return LanguageText(kTextResultErrorColumn);
    case kSourceColumn:
      return LanguageText(kTextResultFileColumn);
    case kTargetColumn:
      return LanguageText(kTextResultTargetColumn);
    default:
      return QVariant();
  }
}

// ---- The window ----

RunResultWindow::RunResultWindow(std::vector<RunResultRow> rows,
                                 std::function<bool(const QString&)> showFile, QWidget* parent)
    : QDialog(parent), showFile_(std::move(showFile)) {
  setObjectName(QStringLiteral("RunResultWindow"));
  setWindowTitle(PlainCaption(kTextResultTitle));
  setAccessibleName(windowTitle());
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setSizeGripEnabled(true);

  auto* intro = new QLabel(LanguageText(kTextResultIntro) + u':');
  intro->setTextFormat(Qt::PlainText);
  help_ = new QPushButton(QStringLiteral("?"));
  help_->setAutoDefault(false);
  help_->setToolTip(PlainCaption(kTextResultExplanationTitle));
  help_->setAccessibleName(help_->toolTip());
  help_->setFixedWidth(std::max(help_->sizeHint().height(), help_->fontMetrics().height() + 10));

  model_ = new RunResultModel(std::move(rows), this);
  sorted_ = new QSortFilterProxyModel(this);
  sorted_->setSourceModel(model_);
  sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);
  auto* list = new ResultListView;
  list_ = list;
  list_->setModel(sorted_);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setTextElideMode(Qt::ElideMiddle);
  list_->setItemDelegate(new ResultDelegate(list_));
  // The list keeps the run's order until a column header is clicked.
  list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  list_->setSortingEnabled(true);
  list_->setAccessibleName(LanguageText(kTextResultIntro));
  list_->setAccessibleDescription(AdditionText(kAddResultListHint));
  list_->setToolTip(AdditionText(kAddResultListHint));
  intro->setBuddy(list_);
  list->Show = [this](const QModelIndex& index) { ShowFileAt(index); };
  connect(list_, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { ShowFileAt(index); });
  connect(list_->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
          [this] { list_->horizontalHeader()->setSortIndicatorShown(true); });
  if (sorted_->rowCount() > 0)
    list_->selectionModel()->setCurrentIndex(
        sorted_->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

  ok_ = new QPushButton(QStringLiteral("OK"));
  ok_->setDefault(true);
  ok_->setMinimumWidth(kButtonWidth);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(help_, &QPushButton::clicked, this, [this] { ShowExplanation(); });

  auto* top = new QHBoxLayout;
  top->addWidget(intro, 1);
  top->addWidget(help_);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(ok_);
  bottom->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(10);
  layout->addLayout(top);
  layout->addWidget(list_, 1);
  layout->addLayout(bottom);

  AssignMnemonics(this, QString());
  setTabOrder(ok_, list_);
  setTabOrder(list_, help_);
  const QSize minimum = layout->minimumSize().expandedTo(QSize(kMinimumWidth, kMinimumHeight));
  setMinimumSize(minimum);
  // Room for the failures and two paths of about 40 characters where the screen allows.
  const int wanted = FailureColumnWidth(list_->fontMetrics(), *model_) +
                     2 * 40 * list_->fontMetrics().averageCharWidth() + 60;
  QSize size = minimum.expandedTo(QSize(wanted, kMinimumHeight * 4 / 3));
  const QScreen* screen = parent != nullptr && parent->screen() != nullptr
                              ? parent->screen()
                              : QGuiApplication::primaryScreen();
  if (screen != nullptr)
    size = size.boundedTo(screen->availableGeometry().size() * 3 / 4).expandedTo(minimum);
  resize(size);
  if (screen != nullptr) {
    QRect frame(QPoint(0, 0), this->size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  ok_->setFocus(Qt::OtherFocusReason);
}

void RunResultWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (columnsSized_) return;
  columnsSized_ = true;
  // The failure column as wide as its longest text (there are few kinds), the two paths share
  // what is left; a path that does not fit is cut in its middle and shown whole as a tooltip.
  int failureWidth = FailureColumnWidth(list_->fontMetrics(), *model_);
  const int room = list_->viewport()->width();
  failureWidth = std::min(failureWidth, room / 3);
  list_->setColumnWidth(RunResultModel::kFailureColumn, failureWidth);
  list_->setColumnWidth(RunResultModel::kSourceColumn, std::max(60, (room - failureWidth) / 2));
}

QAbstractItemModel* RunResultWindow::ListModel() const {
  return sorted_;
}

void RunResultWindow::ShowExplanation() {
  if (explanation_) return;
  MessageRequest request;
  request.Owner = this;
  request.Title = PlainCaption(kTextResultExplanationTitle);
  request.Text = RunResultExplanation(model_->Rows());
  request.Width = kExplanationWidth;
  // Opened without waiting, so that nothing stops the event loop; it is modal all the same.
  auto* window = new MessageWindow(request);
  window->setAttribute(Qt::WA_DeleteOnClose);
  explanation_ = window;
  window->open();
}

void RunResultWindow::ShowFileAt(const QModelIndex& index) {
  if (!index.isValid() || !showFile_) return;
  const QModelIndex source = sorted_->mapToSource(index);
  if (!source.isValid()) return;
  const RunResultRow& row = model_->Rows()[static_cast<size_t>(source.row())];
  const bool targetThere = !row.NewPath.isEmpty() && PathExists(row.NewPath);
  QString path = row.Path;
  if (source.column() == RunResultModel::kTargetColumn && targetThere)
    path = row.NewPath;
  else if (!PathExists(row.Path) && targetThere)
    path = row.NewPath;
  showFile_(path);
}
