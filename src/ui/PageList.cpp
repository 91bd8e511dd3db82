#include "ui/PageList.h"

#include "checks/Validation.h"
#include "texts/TextTables.h"
#include "ui/PageRules.h"

#include <QApplication>
#include <QFont>
#include <QHelpEvent>
#include <QPalette>
#include <QToolTip>

namespace {

constexpr int kRowCount = kPageCount + kPageGroupCount;

// Row of each page and of each group header, in list order.
struct RowInfo {
  int Group;  // for a header, else -1
  int Page;   // for a page row, else -1
};

RowInfo InfoOfRow(int row) {
  int current = 0;
  int lastGroup = -1;
  for (int page = 0; page < kPageCount; ++page) {
    const int group = PageGroupOf(page);
    if (group != lastGroup) {
      if (current == row) return {group, -1};
      ++current;
      lastGroup = group;
    }
    if (current == row) return {-1, page};
    ++current;
  }
  return {-1, -1};
}

}  // namespace

PageListModel::PageListModel(QObject* parent) : QAbstractListModel(parent) {}

int PageListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kRowCount;
}

int PageListModel::RowOfPage(int page) {
  for (int row = 0; row < kRowCount; ++row)
    if (InfoOfRow(row).Page == page) return row;
  return -1;
}

int PageListModel::PageOfRow(int row) {
  return InfoOfRow(row).Page;
}

QString PageListModel::RowCaption(int page) const {
  return PageRowCaption(page, switches_);
}

QVariant PageListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  const RowInfo info = InfoOfRow(index.row());
  if (info.Group >= 0) {
    switch (role) {
      case Qt::DisplayRole:
      case Qt::AccessibleTextRole:
        return LanguageText(PageGroupCaptionEntry(info.Group));
      case Qt::FontRole: {
        QFont font = QApplication::font();
        font.setBold(true);
        return font;
      }
      case Qt::ForegroundRole:
        return QApplication::palette().brush(QPalette::Disabled, QPalette::WindowText);
      default:
        return QVariant();
    }
  }
  if (info.Page < 0) return QVariant();
  const bool shown = info.Page == shownPage_;
  switch (role) {
    case Qt::DisplayRole:
      return QStringLiteral("   ") + RowCaption(info.Page);
    case Qt::AccessibleTextRole:
      return RowCaption(info.Page);
    case Qt::BackgroundRole:
      return shown ? QApplication::palette().brush(QPalette::Active, QPalette::Highlight)
                   : QVariant();
    case Qt::ForegroundRole:
      return shown ? QApplication::palette().brush(QPalette::Active, QPalette::HighlightedText)
                   : QVariant();
    default:
      return QVariant();
  }
}

Qt::ItemFlags PageListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  if (InfoOfRow(index.row()).Page < 0) return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void PageListModel::SetSwitches(const Preset& switches) {
  switches_ = switches;
  emit dataChanged(index(0), index(kRowCount - 1), {Qt::DisplayRole, Qt::AccessibleTextRole});
}

void PageListModel::SetShownPage(int page) {
  if (page < 0 || page >= kPageCount || page == shownPage_) return;
  const int before = RowOfPage(shownPage_);
  shownPage_ = page;
  emit dataChanged(index(before), index(before));
  emit dataChanged(index(RowOfPage(page)), index(RowOfPage(page)));
}

PageListView::PageListView(QWidget* parent) : QListView(parent) {
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTextElideMode(Qt::ElideRight);
  setSpacing(1);
  // The system's face colour behind the rows, as a panel rather than a document.
  QPalette colours = palette();
  colours.setBrush(QPalette::Base, colours.brush(QPalette::Window));
  setPalette(colours);
}

QSize PageListView::sizeHint() const {
  return minimumSizeHint();
}

QSize PageListView::minimumSizeHint() const {
  // As wide as the widest caption with its "> " mark, as tall as every row.
  int width = 0;
  int height = 2 * frameWidth();
  if (model() != nullptr) {
    for (int row = 0; row < model()->rowCount(); ++row) {
      const QModelIndex index = model()->index(row, 0);
      QString text = index.data(Qt::DisplayRole).toString();
      if (PageListModel::PageOfRow(row) >= 0 && !text.contains(QStringLiteral("> ")))
        text += QStringLiteral("> ");
      QFont font = index.data(Qt::FontRole).isValid() ? index.data(Qt::FontRole).value<QFont>()
                                                      : this->font();
      width = std::max(width, QFontMetrics(font).horizontalAdvance(text));
      height += sizeHintForRow(row) + 2 * spacing();
    }
  }
  return QSize(width + 2 * frameWidth() + 16, std::min(height, 200));
}

bool PageListView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data(Qt::DisplayRole).toString();
    if (index.isValid() &&
        fontMetrics().horizontalAdvance(text) > visualRect(index).width() - 6)
      QToolTip::showText(help->globalPos(), text.trimmed(), viewport(), visualRect(index));
    else
      QToolTip::hideText();
    return true;
  }
  return QListView::viewportEvent(event);
}
