#pragma once

#include "records/Preset.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

// The model of a rule list on an option page (filter conditions, date rules, find/replace and
// extension rules): one row per rule, a check column titled "x" whose tick is the rule's
// "in force" bit, then one text column per field. The model holds the page's copy of the
// preset's list; the page reads it back when the controls are stored.
template <typename Rule>
class RuleTableModel : public QAbstractTableModel {
 public:
  // The text of a rule's field column (1-based: column 0 is the check column).
  using ColumnText = std::function<QString(const Rule&, int column)>;

  RuleTableModel(QStringList headers, ColumnText text, QObject* parent = nullptr)
      : QAbstractTableModel(parent), headers_(std::move(headers)), text_(std::move(text)) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(rules_.size());
  }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size()) + 1;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rules_.size()) return QVariant();
    const Rule& rule = rules_[index.row()];
    if (index.column() == 0) {
      if (role == Qt::CheckStateRole) return rule.IsActive() ? Qt::Checked : Qt::Unchecked;
      if (role == Qt::AccessibleTextRole) return headers_.isEmpty() ? QString() : text_(rule, 1);
      return QVariant();
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
      return text_(rule, index.column());
    return QVariant();
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
    Rule& rule = rules_[index.row()];
    if (value.toInt() == Qt::Checked)
      rule.ItemState |= kItemChecked;
    else
      rule.ItemState &= ~kItemChecked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0) flags |= Qt::ItemIsUserCheckable;
    return flags;
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    if (section == 0) return QStringLiteral("x");
    return section <= headers_.size() ? headers_[section - 1] : QVariant();
  }

  void SetHeaders(QStringList headers) {
    headers_ = std::move(headers);
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
  }

  const QList<Rule>& Rules() const { return rules_; }
  const Rule& At(int row) const { return rules_[row]; }

  void SetRules(const QList<Rule>& rules) {
    beginResetModel();
    rules_ = rules;
    endResetModel();
  }

  // Appends the rule; returns its row.
  int Append(const Rule& rule) {
    const int row = static_cast<int>(rules_.size());
    beginInsertRows(QModelIndex(), row, row);
    rules_.append(rule);
    endInsertRows();
    return row;
  }

  // Removes the given rows, from the last to the first.
  void RemoveRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
      if (*it < 0 || *it >= rules_.size()) continue;
      beginRemoveRows(QModelIndex(), *it, *it);
      rules_.removeAt(*it);
      endRemoveRows();
    }
  }

  // Sets or clears the "row selected" bit of every rule, as the preset keeps it.
  void SetSelectedBits(const std::vector<bool>& selected) {
    for (int row = 0; row < rules_.size(); ++row) {
      const bool on =
          static_cast<size_t>(row) < selected.size() && selected[static_cast<size_t>(row)];
      if (on)
        rules_[row].ItemState |= kItemSelected;
      else
        rules_[row].ItemState &= ~kItemSelected;
    }
  }

  // Row texts change when the language does.
  void RefreshTexts() {
    if (!rules_.isEmpty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  }

 private:
  QStringList headers_;
  ColumnText text_;
  QList<Rule> rules_;
};
