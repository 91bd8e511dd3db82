#pragma once

#include "records/Preset.h"

#include <QAbstractListModel>
#include <QListView>

// The page list at the left of the main window: four group headers (not selectable) and the
// twelve page rows below them. A page whose module is switched on reads "> " + its caption;
// the shown page has the highlight colour whatever the list's own selection.
class PageListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit PageListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  static int RowOfPage(int page);
  static int PageOfRow(int row);  // -1 for a group header

  // Recomputes the "> " prefixes from these settings.
  void SetSwitches(const Preset& switches);
  void SetShownPage(int page);
  int ShownPage() const { return shownPage_; }
  // The row caption as shown.
  QString RowCaption(int page) const;

 private:
  Preset switches_;
  int shownPage_ = 0;
};

// The list itself: cut-off captions show in full as tooltips.
class PageListView : public QListView {
  Q_OBJECT

 public:
  explicit PageListView(QWidget* parent = nullptr);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  bool viewportEvent(QEvent* event) override;
};
