#pragma once

#include "records/Preset.h"
#include "ui/pages/RuleTableModel.h"
#include "ui/widgets/ReportView.h"

#include <QItemSelectionModel>
#include <QList>

#include <vector>

// A rule list as a page shows it: the model of the page's copy of the rules and its view. The
// rows selected in the view are part of the rules (kItemSelected), as the preset keeps them.
template <typename Rule>
struct ShownRules {
  RuleTableModel<Rule>* Model = nullptr;
  ReportView* View = nullptr;

  const Rule& At(int row) const { return Model->At(row); }

  // Shows the rules and selects the rows the rules say were selected.
  void Fill(const QList<Rule>& rules) const {
    Model->SetRules(rules);
    QItemSelection selection;
    for (int row = 0; row < rules.size(); ++row)
      if ((rules[row].ItemState & kItemSelected) != 0)
        selection.select(Model->index(row, 0), Model->index(row, Model->columnCount() - 1));
    View->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  }

  // The rules with their selection bits as the view shows them.
  QList<Rule> Rules() const {
    QList<Rule> rules = Model->Rules();
    std::vector<bool> selected(static_cast<size_t>(rules.size()), false);
    for (const int row : View->SelectedRows())
      if (row >= 0 && row < rules.size()) selected[static_cast<size_t>(row)] = true;
    for (int row = 0; row < rules.size(); ++row) {
      if (selected[static_cast<size_t>(row)])
        rules[row].ItemState |= kItemSelected;
      else
        rules[row].ItemState &= ~kItemSelected;
    }
    return rules;
  }

  // Appends the rule as the one selected row, scrolled into view.
  void Append(const Rule& rule) const {
    const int row = Model->Append(rule);
    View->selectionModel()->select(
        QItemSelection(Model->index(row, 0), Model->index(row, Model->columnCount() - 1)),
        QItemSelectionModel::ClearAndSelect);
    View->selectionModel()->setCurrentIndex(Model->index(row, 1), QItemSelectionModel::NoUpdate);
    View->scrollTo(Model->index(row, 1));
  }

  void RemoveSelected() const { Model->RemoveRows(View->SelectedRows()); }
};
