#include "ui/pages/PageList.h"

#include "records/Pages.h"
#include "ui/pages/PageRules.h"

#include <QApplication>
#include <QFont>
#include <QHelpEvent>
#include <QPalette>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace {

constexpr int kRowCount = kPageCount + kPageGroupCount;

// Row of each page and of each group header, in list order: the page table's rows, each group
// under a header of its own.
struct RowInfo {
  int Group;  // for a header, else -1
  int Page;   // for a page row, else -1
};

RowInfo InfoOfRow(int row) {
  int current = 0;
  int lastGroup = -1;
  for (const PageRow& pageRow : kPages) {
    const int page = pageRow.Id;
    const int group = pageRow.Group;
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

const QString kMarker = QStringLiteral("> ");

// Page rows are indented under their group; the "> " mark of a switched-on page hangs in the
// indent, so that the captions stay aligned.
int Indent(const QFontMetrics& metrics) {
  return metrics.horizontalAdvance(kMarker) + 10;
}

class PageRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    if (PageListModel::PageOfRow(index.row()) < 0) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const bool marked = item.text.startsWith(kMarker);
    const QString caption = marked ? item.text.mid(kMarker.size()) : item.text;
    item.text.clear();
    const QWidget* view = option.widget;
    QStyle* style = view != nullptr ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, view);

    const QVariant foreground = index.data(Qt::ForegroundRole);
    const QColor colour = foreground.isValid()
                              ? foreground.value<QBrush>().color()
                              : item.palette.color((item.state & QStyle::State_Selected) != 0
                                                       ? QPalette::HighlightedText
                                                       : QPalette::Text);
    const int indent = Indent(item.fontMetrics);
    const QRect text = item.rect.adjusted(indent, 0, -2, 0);
    painter->save();
    painter->setPen(colour);
    if (marked)
      painter->drawText(QRect(item.rect.left(), item.rect.top(), indent, item.rect.height()),
                        Qt::AlignRight | Qt::AlignVCenter, kMarker);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      item.fontMetrics.elidedText(caption, Qt::ElideRight, text.width()));
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (PageListModel::PageOfRow(index.row()) >= 0) size.rwidth() += Indent(option.fontMetrics);
    return size;
  }
};

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
        return kPageGroupCaptions[static_cast<size_t>(info.Group)].Text();
      case Qt::FontRole: {
        QFont font = QApplication::font();
        font.setBold(true);
        return font;
      }
      default:
        return QVariant();
    }
  }
  if (info.Page < 0) return QVariant();
  const bool shown = info.Page == shownPage_;
  switch (role) {
    case Qt::DisplayRole:
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
  setItemDelegate(new PageRowDelegate(this));
  // The system's face colour behind the rows, as a panel rather than a document; it follows
  // the desktop's palette when that changes.
  viewport()->setBackgroundRole(QPalette::Window);
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
      const bool page = PageListModel::PageOfRow(row) >= 0;
      if (page && text.startsWith(kMarker)) text = text.mid(kMarker.size());
      const QFont font = index.data(Qt::FontRole).isValid()
                             ? index.data(Qt::FontRole).value<QFont>()
                             : this->font();
      const QFontMetrics metrics(font);
      width = std::max(width, metrics.horizontalAdvance(text) + (page ? Indent(metrics) : 0));
      height += sizeHintForRow(row) + 2 * spacing();
    }
  }
  // Every row is in view without a scroll bar.
  return QSize(width + 2 * frameWidth() + 16, height);
}

bool PageListView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data(Qt::DisplayRole).toString();
    if (index.isValid() &&
        fontMetrics().horizontalAdvance(text) + Indent(fontMetrics()) > visualRect(index).width())
      QToolTip::showText(help->globalPos(), text.trimmed(), viewport(), visualRect(index));
    else
      QToolTip::hideText();
    return true;
  }
  return QListView::viewportEvent(event);
}
