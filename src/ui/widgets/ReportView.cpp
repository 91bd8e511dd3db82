#include "ui/widgets/ReportView.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QToolTip>

#include <algorithm>

ReportView::ReportView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setShowGrid(false);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  setAlternatingRowColors(true);
  setTabKeyNavigation(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  // Fixed row heights: the view never measures rows, so a million rows cost nothing.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ReportView::SetColumnWidths(const std::vector<int>& widths) {
  // The widths are given for a font about 13 pixels high.
  const double scale = std::max(1.0, fontMetrics().height() / 13.0);
  for (size_t i = 0; i < widths.size(); ++i)
    setColumnWidth(static_cast<int>(i), static_cast<int>(widths[i] * scale));
}

std::vector<int> ReportView::SelectedRows() const {
  std::vector<int> rows;
  if (selectionModel() == nullptr) return rows;
  for (const QItemSelectionRange& range : selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

bool ReportView::HasSelection() const {
  return selectionModel() != nullptr && selectionModel()->hasSelection();
}

bool ReportView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data(Qt::DisplayRole).toString();
    const QRect cell = visualRect(index);
    // Only a cut-off text gets a tooltip; its room is the cell less the margins and the icon.
    int room = cell.width() - 8;
    if (!index.data(Qt::DecorationRole).isNull()) room -= iconSize().width() + 4;
    QString tip;
    if (index.isValid() && !text.isEmpty() && fontMetrics().horizontalAdvance(text) > room)
      tip = text;
    // A cell may have more to say than its text (why it is marked): after the text, if cut.
    const QString own = index.data(Qt::ToolTipRole).toString();
    if (!own.isEmpty()) tip = tip.isEmpty() ? own : tip + QStringLiteral("\n\n") + own;
    if (!tip.isEmpty())
      QToolTip::showText(help->globalPos(), tip, viewport(), cell);
    else
      QToolTip::hideText();
    return true;
  }
  return QTableView::viewportEvent(event);
}
