#include "ui/list/FileListModel.h"

#include "filelist/Loader.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/list/NewNameTexts.h"
#include "ui/widgets/Icons.h"
#include "ui/widgets/UiTexts.h"

#include "filelist/StatusLine.h"

#include <QApplication>
#include <QDateTime>
#include <QFont>
#include <QPalette>
#include <QPoint>
#include <QStyle>
#include <QTimeZone>

#include <algorithm>

namespace {

// Dates are local calendar values counted as if they were UTC; 0 could not be read.
QString DateText(int64_t date) {
  if (date <= 0) return QString();
  return QDateTime::fromSecsSinceEpoch(date, QTimeZone::utc())
      .toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

// Entries that would fail get the error sign; those that need a look (a question in the run,
// a file replaced, nothing done) the warning sign.
QIcon ProblemIcon(const NewNameRow& row) {
  const bool fails = row.Status == kStatusCopyMoveFailed || row.Status == kStatusInvalidName ||
                     row.Status == kStatusSourceMissing || row.Status == kStatusReadError ||
                     row.Status == kStatusMatchGaveUp;
  return QApplication::style()->standardIcon(fails ? QStyle::SP_MessageBoxCritical
                                                   : QStyle::SP_MessageBoxWarning);
}

}  // namespace

FileListModel::FileListModel(FileList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(display_ != nullptr ? display_->size() : entries_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

qsizetype FileListModel::PositionOfRow(int row) const {
  if (row < 0) return -1;
  if (display_ == nullptr) return static_cast<size_t>(row) < entries_.size() ? row : -1;
  return static_cast<size_t>(row) < display_->size() ? (*display_)[static_cast<size_t>(row)] : -1;
}

const FileEntry* FileListModel::EntryAt(int row) const {
  const qsizetype pos = PositionOfRow(row);
  return pos >= 0 && static_cast<size_t>(pos) < entries_.size() ? entries_[static_cast<size_t>(pos)]
                                                                : nullptr;
}

int FileListModel::ListPosition(const FileEntry* entry) const {
  const auto found = std::find(entries_.begin(), entries_.end(), entry);
  return found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
}

int FileListModel::RowOf(const FileEntry* entry) const {
  const int pos = ListPosition(entry);
  if (pos < 0 || display_ == nullptr) return pos;
  const auto found = std::find(display_->begin(), display_->end(), static_cast<uint32_t>(pos));
  return found == display_->end() ? -1 : static_cast<int>(found - display_->begin());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  const qsizetype pos = index.isValid() ? PositionOfRow(index.row()) : -1;
  const FileEntry* entry = pos >= 0 && static_cast<size_t>(pos) < entries_.size()
                               ? entries_[static_cast<size_t>(pos)]
                               : nullptr;
  if (entry == nullptr) return QVariant();
  const bool planned = plan_ && pos < plan_->Count();
  if (planned) {
    const QVariant value = NewNameData(pos, *entry, index.column(), role);
    if (value.isValid()) return value;
  }
  switch (role) {
    case Qt::DecorationRole:
      if (index.column() == kIconColumn) return ExtensionIcon(ExtensionOf(entry->Path()));
      return QVariant();
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      switch (index.column()) {
        case kIconColumn:
          // The icon column has no text; a screen reader hears the file's name there.
          return role == Qt::AccessibleTextRole ? entry->Path() : QVariant();
        case kDirectoryColumn:
          return entry->Directory();
        case kNameColumn:
          return entry->Name();
        case kExtensionColumn:
          return ExtensionOf(entry->Path());
        case kSizeColumn:
          return FormatSize(entry->Size, entry->Size < 1024 ? 0 : 1);
        case kDateColumn:
          return DateText(entry->Modified);
        default:
          return QVariant();
      }
    case Qt::TextAlignmentRole:
      if (index.column() == kSizeColumn)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
      return QVariant();
    case Qt::ToolTipRole:
      // The folder is cut in the middle; the whole path is a hover away.
      if (index.column() == kDirectoryColumn) return entry->Path();
      return QVariant();
    default:
      return QVariant();
  }
}

// The planned entry's cells: invalid where the plan has nothing to say.
QVariant FileListModel::NewNameData(qsizetype pos, const FileEntry& entry, int column,
                                    int role) const {
  const NewNameRow& row = plan_->Row(pos);
  const bool filtered = row.Has(NewNameRow::kFilteredOut);
  const QPalette palette = QApplication::palette();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      if (column == kNewNameColumn) {
        const QString name = plan_->FileName(pos, entry);
        if (name.isEmpty()) return NewNameStandIn(*plan_, pos);
        if (role == Qt::AccessibleTextRole && row.Problem != NameProblem::None)
          return name + QStringLiteral(" - ") + ProblemShortText(row.Problem);
        return name;
      }
      if (column == kNewFolderColumn) return plan_->Folder(pos, entry);
      return QVariant();
    case ChangedPartRole:
      if (column == kNewNameColumn && !filtered && !row.Has(NewNameRow::kNameUnchanged) &&
          !row.Has(NewNameRow::kPending)) {
        const QString name = plan_->FileName(pos, entry);
        if (name.isEmpty()) return QVariant();
        const ChangedSpan span = ChangedPart(entry.PathAfterDirectory(), name);
        if (span.Length == 0) return QVariant();
        return QPoint(static_cast<int>(span.Start), static_cast<int>(span.Length));
      }
      return QVariant();
    case Qt::DecorationRole:
      if (column == kNewNameColumn && row.Problem != NameProblem::None) return ProblemIcon(row);
      return QVariant();
    case Qt::ToolTipRole:
      if (column != kNewNameColumn && column != kNewFolderColumn) return QVariant();
      {
        const qsizetype other = plan_->OtherEntry(pos);
        const FileEntry* partner = other >= 0 && static_cast<size_t>(other) < entries_.size()
                                       ? entries_[static_cast<size_t>(other)]
                                       : nullptr;
        const QString tip = NewNameTip(*plan_, pos, entry, partner);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
      }
    case Qt::ForegroundRole:
      // The filter's entries are greyed through; names and folders that stay are dimmed.
      if (filtered) return palette.brush(QPalette::Disabled, QPalette::Text);
      if ((column == kNewNameColumn &&
           (row.Has(NewNameRow::kNameUnchanged) || row.Has(NewNameRow::kPending))) ||
          (column == kNewFolderColumn && row.Has(NewNameRow::kFolderUnchanged)))
        return palette.brush(QPalette::PlaceholderText);
      return QVariant();
    case Qt::FontRole:
      if (column == kNewNameColumn && (filtered || row.Has(NewNameRow::kNoTarget))) {
        QFont font = QApplication::font();
        font.setItalic(true);
        return font;
      }
      return QVariant();
    case ProblemRole:
      return static_cast<int>(row.Problem);
    case FilteredOutRole:
      return filtered;
    case NameUnchangedRole:
      return row.Has(NewNameRow::kNameUnchanged);
    default:
      return QVariant();
  }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return QVariant();
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return QVariant();
  switch (section) {
    case kDirectoryColumn:
      return LanguageText(kTextListFolder);
    case kNameColumn:
      return LanguageText(kTextListName);
    case kNewNameColumn:
      return AdditionText(kAddNewNameColumn);
    case kExtensionColumn:
      return LanguageText(kTextListExtension);
    case kNewFolderColumn:
      return AdditionText(kAddNewFolderColumn);
    case kSizeColumn:
      return PlainCaption(kTextWordSize);
    case kDateColumn:
      return PlainCaption(kTextWordModified);
    default:
      return QString();
  }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void FileListModel::BuildDisplay() {
  display_ = nullptr;
  built_.clear();
  const size_t planned = plan_ ? std::min(static_cast<size_t>(plan_->Count()), entries_.size()) : 0;
  static const std::vector<uint32_t> kListOrder;
  const std::vector<uint32_t>& order = plan_ ? plan_->Order() : kListOrder;
  if (!onlyProblems_) {
    if (order.empty()) return;  // the list's own order
    if (order.size() == entries_.size()) {
      display_ = &order;
      return;
    }
  }
  for (size_t i = 0; i < planned; ++i) {
    const uint32_t pos = order.empty() ? static_cast<uint32_t>(i) : order[i];
    if (pos >= entries_.size()) continue;
    if (!onlyProblems_ || plan_->Row(pos).Problem != NameProblem::None) built_.push_back(pos);
  }
  // Entries loaded after the plan was made follow in list order, until the next plan.
  if (!onlyProblems_)
    for (size_t pos = planned; pos < entries_.size(); ++pos)
      built_.push_back(static_cast<uint32_t>(pos));
  display_ = &built_;
}

void FileListModel::SetPlan(std::shared_ptr<const NewNamePlan> plan) {
  // The old plan stays alive until the rows have moved: the old order may be its own.
  std::shared_ptr<const NewNamePlan> old = std::move(plan_);
  plan_ = std::move(plan);
  if (resetting_ || !attached_) {
    BuildDisplay();
    return;
  }
  if (plan_ && plan_ == old && !onlyProblems_) {
    // The same plan brought up to date for a few entries: the rows and their order stay.
    if (!entries_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
    return;
  }
  if (onlyProblems_) {
    // Which rows there are changes with the plan.
    beginResetModel();
    BuildDisplay();
    endResetModel();
    return;
  }
  const bool wasListOrder = display_ == nullptr;
  const bool listOrder = !plan_ || plan_->Order().empty();
  if (wasListOrder && listOrder) {
    BuildDisplay();
    if (!entries_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
    return;
  }
  // The rows move to the run's order: the selection and the current row go with their entries.
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList persistent = persistentIndexList();
  std::vector<qsizetype> positions;
  positions.reserve(static_cast<size_t>(persistent.size()));
  for (const QModelIndex& index : persistent) positions.push_back(PositionOfRow(index.row()));
  BuildDisplay();
  if (!persistent.isEmpty()) {
    std::vector<int> rowOf(entries_.size(), -1);
    const int rows = rowCount();
    for (int row = 0; row < rows; ++row) rowOf[static_cast<size_t>(PositionOfRow(row))] = row;
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (qsizetype i = 0; i < persistent.size(); ++i) {
      const qsizetype pos = positions[static_cast<size_t>(i)];
      const int row = pos >= 0 && static_cast<size_t>(pos) < rowOf.size()
                          ? rowOf[static_cast<size_t>(pos)]
                          : -1;
      moved << (row >= 0 ? index(row, persistent[i].column()) : QModelIndex());
    }
    changePersistentIndexList(persistent, moved);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FileListModel::SetOnlyProblems(bool only) {
  if (only == onlyProblems_) return;
  beginResetModel();
  onlyProblems_ = only;
  BuildDisplay();
  endResetModel();
}

void FileListModel::Reload() {
  resetting_ = true;
  beginResetModel();
  plan_.reset();
  entries_.clear();
  entries_.reserve(static_cast<size_t>(list_.Count()));
  totalSize_ = 0;
  for (const FileEntry& entry : list_) {
    entries_.push_back(&entry);
    totalSize_ += entry.Size;
  }
  attached_ = true;
  BuildDisplay();
  endResetModel();
  resetting_ = false;
  emit Reloaded();
}

void FileListModel::Detach() {
  emit Detaching();
  resetting_ = true;
  beginResetModel();
  entries_.clear();
  entries_.shrink_to_fit();
  totalSize_ = 0;
  attached_ = false;
  BuildDisplay();
  endResetModel();
  resetting_ = false;
}

void FileListModel::AppendRows(const std::vector<const FileEntry*>& entries) {
  if (entries.empty()) return;
  const size_t firstPos = entries_.size();
  if (display_ != nullptr && onlyProblems_) {
    // Entries without a plan have no problem to show yet.
    entries_.insert(entries_.end(), entries.begin(), entries.end());
    for (const FileEntry* entry : entries) totalSize_ += entry->Size;
    return;
  }
  const int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(entries.size()) - 1);
  entries_.insert(entries_.end(), entries.begin(), entries.end());
  for (const FileEntry* entry : entries) totalSize_ += entry->Size;
  if (display_ != nullptr) {
    if (display_ != &built_) built_ = *display_;
    for (size_t pos = firstPos; pos < entries_.size(); ++pos)
      built_.push_back(static_cast<uint32_t>(pos));
    display_ = &built_;
  }
  endInsertRows();
}

void FileListModel::RefreshHeaders() {
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}
