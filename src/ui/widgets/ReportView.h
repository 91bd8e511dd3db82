#pragma once

#include <QTableView>

#include <vector>

// A list in report mode: whole rows selected, several at once, the selection shown also
// without the focus (in the style's colours for an inactive selection), no grid and no row
// header, every row one line high; a cell whose text is cut off shows the whole text as its
// tooltip, followed by the cell's own tooltip (Qt::ToolTipRole) when it has one.
class ReportView : public QTableView {
  Q_OBJECT

 public:
  explicit ReportView(QWidget* parent = nullptr);

  // Column widths for a 96-dpi font of about 13 pixels; they grow with the font.
  // The last column takes what is left.
  void SetColumnWidths(const std::vector<int>& widths);
  // Rows whose any cell is selected, ascending.
  std::vector<int> SelectedRows() const;
  bool HasSelection() const;

 protected:
  bool viewportEvent(QEvent* event) override;
};
