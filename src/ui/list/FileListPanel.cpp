#include "ui/list/FileListPanel.h"

#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/list/FileListModel.h"
#include "ui/list/FileListView.h"
#include "ui/widgets/UiTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

FileListPanel::FileListPanel(FileListModel& model, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  statusLine_ = new QLabel;
  statusLine_->setTextFormat(Qt::PlainText);
  // A long line wraps rather than being cut or widening the window.
  statusLine_->setWordWrap(true);
  statusLine_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  problemsButton_ = new QToolButton;
  problemsButton_->setCheckable(true);
  problemsButton_->setAutoRaise(true);
  problemsButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  problemsButton_->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
  problemsButton_->setIconSize(QSize(16, 16));
  problemsButton_->setText(AdditionText(kAddOnlyProblems));
  problemsButton_->setToolTip(AdditionText(kAddOnlyProblemsTip));
  problemsButton_->setChecked(model.OnlyProblems());
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(statusLine_, 1);
  statusRow->addWidget(problemsButton_, 0, Qt::AlignTop);
  layout->addLayout(statusRow);

  view_ = new FileListView;
  view_->setModel(&model);
  // Until the first files are in, the columns are as wide as a usual name; then they fit.
  view_->SetColumnWidths({25, 145, 170, 150, 180, 50, 70, 120});
  // No caption is cut: the narrow columns are at least as wide as their captions.
  for (const int column :
       {FileListModel::kExtensionColumn, FileListModel::kSizeColumn, FileListModel::kDateColumn})
    view_->setColumnWidth(column, std::max(view_->columnWidth(column),
                                           view_->horizontalHeader()->sectionSizeHint(column)));
  view_->setAccessibleName(PlainCaption(kTextPageLoadedFiles));
  layout->addWidget(view_, 1);

  removeButton_ = new QPushButton(Caption(kTextListRemoveSelected));
  clearButton_ = new QPushButton(Caption(kTextListClear));
  auto* row = new QHBoxLayout;
  row->addWidget(removeButton_, 1);
  row->addSpacing(12);
  row->addWidget(clearButton_, 1);
  layout->addLayout(row);
}

void FileListPanel::SetStatusText(const QString& text) {
  // A space after a colon, beside a figure or before its parentheses binds: "13 (78 B)",
  // "Problems: 3", "Selected: -" and "45 %" are never broken, the spaces between the words and
  // between the parts are.
  QString shown = text;
  for (qsizetype i = 0; i < shown.size(); ++i) {
    if (shown[i] != u' ') continue;
    const bool digitBefore = i > 0 && (shown[i - 1].isDigit() || shown[i - 1] == u':');
    const bool digitOrBracketAfter =
        i + 1 < shown.size() && (shown[i + 1].isDigit() || shown[i + 1] == u'(');
    if (digitBefore || digitOrBracketAfter) shown[i] = QChar(0x00A0);
  }
  statusLine_->setText(shown);
  statusLine_->setToolTip(text);
}
