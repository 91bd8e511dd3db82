#include "ui/pages/OptionPages.h"

#include "checks/Validation.h"

#include "texts/LanguageEntries.h"
#include "ui/widgets/Icons.h"
#include "ui/widgets/IconCombo.h"
#include "ui/widgets/ReportView.h"
#include "ui/widgets/UiTexts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeZone>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

namespace {

constexpr int kAttributeCount = 4;
// Rows of the attributes page: hidden, read-only, not indexed, archive (caption, tooltip).
constexpr std::array<std::array<int, 2>, kAttributeCount> kAttributeTexts = {
    {{114, 115}, {116, 117}, {120, 121}, {118, 119}}};

QString WithColon(int entry) {
  return Caption(entry) + u':';
}

QDateTime PickerTime(int64_t dateValue) {
  // Date values count local calendar time as if it were UTC; the picker shows those parts.
  return QDateTime::fromSecsSinceEpoch(dateValue, QTimeZone::utc());
}

QHBoxLayout* Row() {
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  return row;
}

// The pair of buttons under a rule list: remove on the left, add on the right, equally wide.
QHBoxLayout* ButtonRow(QPushButton* remove, QPushButton* add) {
  auto* row = Row();
  row->addWidget(remove, 1);
  row->addSpacing(12);
  row->addWidget(add, 1);
  return row;
}

QLabel* ArrowImage() {
  auto* arrow = new QLabel;
  arrow->setPixmap(StoreIcon(kImageArrow).pixmap(16, 16));
  arrow->setAlignment(Qt::AlignCenter);
  arrow->setFixedWidth(20);
  return arrow;
}

QLabel* RightLabel(const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setBuddy(buddy);
  return label;
}

template <typename Rule>
QList<Rule> RulesWithSelection(const RuleTableModel<Rule>* model, const ReportView* view) {
  QList<Rule> rules = model->Rules();
  std::vector<bool> selected(static_cast<size_t>(rules.size()), false);
  for (const int row : view->SelectedRows())
    if (row >= 0 && row < rules.size()) selected[static_cast<size_t>(row)] = true;
  for (int row = 0; row < rules.size(); ++row) {
    if (selected[static_cast<size_t>(row)])
      rules[row].ItemState |= kItemSelected;
    else
      rules[row].ItemState &= ~kItemSelected;
  }
  return rules;
}

template <typename Rule>
void FillRules(RuleTableModel<Rule>* model, ReportView* view, const QList<Rule>& rules) {
  model->SetRules(rules);
  QItemSelection selection;
  for (int row = 0; row < rules.size(); ++row)
    if ((rules[row].ItemState & kItemSelected) != 0)
      selection.select(model->index(row, 0), model->index(row, model->columnCount() - 1));
  view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

template <typename Rule>
void AppendAndSelect(RuleTableModel<Rule>* model, ReportView* view, const Rule& rule) {
  const int row = model->Append(rule);
  view->selectionModel()->select(
      QItemSelection(model->index(row, 0), model->index(row, model->columnCount() - 1)),
      QItemSelectionModel::ClearAndSelect);
  view->selectionModel()->setCurrentIndex(model->index(row, 1), QItemSelectionModel::NoUpdate);
  view->scrollTo(model->index(row, 1));
}

}  // namespace

bool IsTemplateField(FieldKind kind) {
  return kind == FieldKind::InsertText || kind == FieldKind::ReplaceWith ||
         kind == FieldKind::NameTemplate || kind == FieldKind::TargetTemplate;
}

QVBoxLayout* MakePageLayout(QWidget* page, int pageIndex) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* header = Row();
  auto* description = new QLabel(Caption(PageDescriptionEntry(pageIndex)));
  description->setTextFormat(Qt::PlainText);
  description->setWordWrap(true);
  description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  description->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  description->setObjectName(QStringLiteral("pageDescription"));
  auto* icon = new QLabel;
  icon->setPixmap(StoreIcon(kImageFirstPage + pageIndex).pixmap(32, 32));
  icon->setAlignment(Qt::AlignRight | Qt::AlignTop);
  icon->setFixedWidth(40);
  icon->setAccessibleName(PageCaption(pageIndex));
  header->addWidget(description, 1);
  header->addWidget(icon, 0, Qt::AlignTop);
  layout->addLayout(header);
  layout->addSpacing(6);
  return layout;
}

OptionPages::OptionPages(bool templateButtons, bool patternButtons, Clock now, QObject* parent)
    : QObject(parent),
      now_(std::move(now)),
      templateButtons_(templateButtons),
      patternButtons_(patternButtons) {
  BuildFilterPage();
  BuildDatesPage();
  BuildDateRulesPage();
  BuildAttributesPage();
  BuildCutInsertPage();
  BuildNameCasePage();
  BuildExtensionPage();
  BuildSortPage();
  BuildZoneMarkPage();
  BuildNewNamePage();
  BuildTargetPage();
  UpdateFilterEditor(true);
  UpdateDateRuleSpinner();
  UpdateEnabling();
}

OptionPages::~OptionPages() {
  for (const QPointer<QWidget>& page : pages_)
    if (page != nullptr && page->parent() == nullptr) delete page.data();
}

QWidget* OptionPages::Page(int page) const {
  return page > 0 && page < kPageCount ? pages_[static_cast<size_t>(page)].data() : nullptr;
}

CalendarParts OptionPages::Now() const {
  return PartsOfDate(now_());
}

QVBoxLayout* OptionPages::NewPage(int page) {
  auto* widget = new QWidget;
  widget->setObjectName(QStringLiteral("page%1").arg(page));
  pages_[static_cast<size_t>(page)] = widget;
  return MakePageLayout(widget, page);
}

QCheckBox* OptionPages::Switch(const QString& caption) {
  auto* box = new QCheckBox(caption);
  connect(box, &QCheckBox::toggled, this, [this] {
    UpdateEnabling();
    emit SwitchesChanged();
  });
  return box;
}

QLineEdit* OptionPages::FieldWithButton(FieldKind kind, const QString& cue, QWidget*& row) {
  row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto* field = new QLineEdit;
  field->setPlaceholderText(cue);
  field->setAccessibleName(cue);
  layout->addWidget(field, 1);
  const auto index = static_cast<size_t>(kind);
  fields_[index] = field;
  const bool withButton = IsTemplateField(kind) ? templateButtons_ : patternButtons_;
  if (withButton) {
    auto* button = new QToolButton;
    button->setText(QStringLiteral("<"));
    const QString tip = PlainCaption(IsTemplateField(kind) ? 10 : 11);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setObjectName(QStringLiteral("listButton"));
    layout->addWidget(button);
    listButtons_[index] = button;
    connect(button, &QToolButton::clicked, this, [this, kind] { emit ListButtonClicked(kind); });
  }
  return field;
}

ReportView* OptionPages::MakeRuleList(QAbstractItemModel* model, const std::vector<int>& widths) {
  auto* view = new ReportView;
  view->setModel(model);
  view->SetColumnWidths(widths);
  view->setMinimumHeight(view->verticalHeader()->defaultSectionSize() * 2 +
                         view->horizontalHeader()->sizeHint().height() + 4);
  return view;
}

void OptionPages::ConnectRuleList(ReportView* list, const std::function<void(int row)>& onSelect) {
  connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    UpdateEnabling();
  });
  connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [list, onSelect](const QModelIndex& current) {
            if (current.isValid() && list->selectionModel()->isRowSelected(current.row()))
              onSelect(current.row());
          });
  connect(list, &QAbstractItemView::clicked, this, [onSelect](const QModelIndex& index) {
    if (index.isValid()) onSelect(index.row());
  });
}

// ---- Page 1: filter rules ----

void OptionPages::BuildFilterPage() {
  QVBoxLayout* layout = NewPage(kPageFilter);
  filterActive_ = Switch(Caption(kTextFilterSwitch));
  layout->addWidget(filterActive_);

  filterModel_ = new RuleTableModel<FilterCondition>(
      {Caption(kTextFilterProperty), Caption(kTextFilterCondition), Caption(kTextFilterValue)},
      [](const FilterCondition& rule, int column) -> QString {
        switch (column) {
          case 1: {
            const int entry = FilterKindCaptionEntry(rule.Kind);
            return entry >= 0 ? Caption(entry) : QString::number(rule.Kind);
          }
          case 2: {
            const int entry = FilterOperatorCaptionEntry(rule.Mode, rule.Operator);
            return entry >= 0 ? Caption(entry) : QString::number(rule.Operator);
          }
          default:
            return rule.Values;
        }
      },
      this);
  filterList_ = MakeRuleList(filterModel_, {28, 120, 80, 120});
  filterList_->setAccessibleName(PlainCaption(kTextPageFilterRules));
  layout->addWidget(filterList_, 1);

  auto* editor = Row();
  filterKind_ = new QComboBox;
  for (int kind = 0; kind < kFilterKindCount; ++kind)
    filterKind_->addItem(Caption(FilterKindCaptionEntry(kind)));
  filterKind_->setAccessibleName(Caption(kTextFilterProperty));
  FitDropDown(filterKind_);
  editor->addWidget(filterKind_, 130);

  filterOperatorStack_ = new QStackedWidget;
  filterNumericOperator_ = new QComboBox;
  for (int entry = 81; entry <= 84; ++entry) filterNumericOperator_->addItem(Caption(entry));
  filterTextOperator_ = new QComboBox;
  for (int entry = 85; entry <= 92; ++entry) filterTextOperator_->addItem(Caption(entry));
  for (QComboBox* combo : {filterNumericOperator_, filterTextOperator_}) {
    combo->setAccessibleName(Caption(kTextFilterCondition));
    FitDropDown(combo);
    filterOperatorStack_->addWidget(combo);
  }
  editor->addWidget(filterOperatorStack_, 75);

  filterValueStack_ = new QStackedWidget;
  filterNumber_ = new QLineEdit;
  filterNumber_->setMaxLength(9);
  filterNumber_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), this));
  filterNumber_->setAccessibleName(Caption(kTextFilterValue));
  filterValueStack_->addWidget(filterNumber_);
  QWidget* textRow = nullptr;
  filterText_ = FieldWithButton(FieldKind::FilterText, Caption(kTextHintEnterText), textRow);
  filterText_->setAccessibleName(Caption(kTextFilterValue));
  filterValueStack_->addWidget(textRow);
  editor->addWidget(filterValueStack_, 125);
  layout->addLayout(editor);

  auto* remove = new QPushButton(Caption(kTextFilterRemoveSelected));
  auto* add = new QPushButton(Caption(kTextFilterAddRule));
  layout->addLayout(ButtonRow(remove, add));

  connect(filterKind_, &QComboBox::currentIndexChanged, this, [this] { UpdateFilterEditor(true); });
  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelectedRules(kPageFilter); });
  connect(add, &QPushButton::clicked, this, [this] {
    const RuleRefusal refusal = AddFilterRule();
    if (refusal.Problem != RuleProblem::None) emit RuleRefused(refusal);
  });
  ConnectRuleList(filterList_, [this](int row) {
    const FilterEditorValues values = EditorValuesOf(filterModel_->At(row));
    if (values.Kind >= 0 && values.Kind < kFilterKindCount) {
      const QSignalBlocker block(filterKind_);
      filterKind_->setCurrentIndex(values.Kind);
    }
    UpdateFilterEditor(false);
    if (FilterKindIsNumeric(values.Kind)) {
      filterNumericOperator_->setCurrentIndex(values.NumericOperator);
      filterNumber_->setText(values.Number);
    } else {
      filterTextOperator_->setCurrentIndex(values.TextOperator);
      filterText_->setText(values.Text);
    }
  });

  using C = Control;
  controls_[static_cast<size_t>(C::FilterList)] = filterList_;
  controls_[static_cast<size_t>(C::FilterKind)] = filterKind_;
  controls_[static_cast<size_t>(C::FilterNumericOperator)] = filterNumericOperator_;
  controls_[static_cast<size_t>(C::FilterTextOperator)] = filterTextOperator_;
  controls_[static_cast<size_t>(C::FilterNumber)] = filterNumber_;
  controls_[static_cast<size_t>(C::FilterText)] = filterText_;
  controls_[static_cast<size_t>(C::FilterTextButton)] =
      listButtons_[static_cast<size_t>(FieldKind::FilterText)];
  controls_[static_cast<size_t>(C::FilterRemove)] = remove;
  controls_[static_cast<size_t>(C::FilterAdd)] = add;
}

void OptionPages::UpdateFilterEditor(bool setDefault) {
  const int kind = filterKind_->currentIndex();
  const bool numeric = FilterKindIsNumeric(kind);
  filterOperatorStack_->setCurrentIndex(numeric ? 0 : 1);
  filterValueStack_->setCurrentIndex(numeric ? 0 : 1);
  if (numeric) {
    const NumberFieldHint hint = FilterNumberHint(kind, Now());
    filterNumber_->setPlaceholderText(hint.Cue);
    if (setDefault) filterNumber_->setText(hint.DefaultValue);
  } else {
    filterText_->setPlaceholderText(FilterTextCue(kind));
  }
}

// ---- Page 2: file dates ----

void OptionPages::BuildDatesPage() {
  QVBoxLayout* layout = NewPage(kPageDates);
  changeDates_ = Switch(Caption(kTextDatesSwitch));
  layout->addWidget(changeDates_);

  dateMode_ = new QButtonGroup(this);
  auto* now = new QRadioButton(Caption(kTextDatesToProcessingTime));
  now->setToolTip(Caption(kTextDatesToProcessingTimeTip));
  auto* fixed = new QRadioButton(WithColon(kTextDatesFixedDate));
  fixed->setToolTip(Caption(kTextDatesFixedDateTip));
  auto* copy = new QRadioButton(WithColon(kTextDatesCopyFrom));
  copy->setToolTip(Caption(kTextDatesCopyFromTip));
  dateMode_->addButton(now, 0);
  dateMode_->addButton(fixed, 1);
  dateMode_->addButton(copy, 2);

  datePicker_ = new QDateTimeEdit;
  datePicker_->setTimeSpec(Qt::UTC);
  datePicker_->setDisplayFormat(QStringLiteral("dd.MM.yyyy, HH:mm"));
  datePicker_->setCalendarPopup(true);
  datePicker_->setDateTimeRange(PickerTime(0), PickerTime(DateFromParts({2037, 12, 31, 23, 59, 59})));
  datePicker_->setAccessibleName(WithoutMnemonics(Caption(kTextDatesFixedDate)));
  dateCopySource_ = new QComboBox;
  for (const int entry : {207, 206, 205}) dateCopySource_->addItem(Caption(entry));
  dateCopySource_->setAccessibleName(WithoutMnemonics(Caption(kTextDatesCopyFrom)));

  auto* grid = new QGridLayout;
  grid->setContentsMargins(0, 4, 0, 0);
  grid->setVerticalSpacing(8);
  grid->addWidget(now, 0, 0, 1, 2);
  grid->addWidget(fixed, 1, 0);
  grid->addWidget(datePicker_, 1, 1);
  grid->addWidget(copy, 2, 0);
  grid->addWidget(dateCopySource_, 2, 1);
  grid->setColumnStretch(0, 185);
  grid->setColumnStretch(1, 150);
  layout->addLayout(grid);
  layout->addStretch(1);

  // Choosing a date or a source picks the mode that uses it.
  connect(datePicker_, &QDateTimeEdit::dateTimeChanged, this, [fixed] { fixed->setChecked(true); });
  connect(dateCopySource_, &QComboBox::activated, this, [copy] { copy->setChecked(true); });

  using C = Control;
  controls_[static_cast<size_t>(C::DateModeNow)] = now;
  controls_[static_cast<size_t>(C::DateModeFixed)] = fixed;
  controls_[static_cast<size_t>(C::DateModeCopy)] = copy;
  controls_[static_cast<size_t>(C::DatePicker)] = datePicker_;
  controls_[static_cast<size_t>(C::DateCopySource)] = dateCopySource_;
}

// ---- Page 3: date rules ----

void OptionPages::BuildDateRulesPage() {
  QVBoxLayout* layout = NewPage(kPageDateRules);
  dateRulesActive_ = Switch(Caption(kTextDateRulesSwitch));
  layout->addWidget(dateRulesActive_);

  dateRuleModel_ = new RuleTableModel<DateAdjustment>(
      {Caption(kTextDateRulesDate), Caption(kTextDateRulesOperation), Caption(kTextDateRulesValue)},
      [](const DateAdjustment& rule, int column) -> QString {
        switch (column) {
          case 1:
            return rule.Unit >= 0 && rule.Unit < kDatePartCount ? DatePartCaption(rule.Unit)
                                                                : QString::number(rule.Unit);
          case 2:
            return rule.Operation >= 0 && rule.Operation <= 2 ? Caption(108 + rule.Operation)
                                                              : QString::number(rule.Operation);
          default:
            return QString::number(rule.Amount);
        }
      },
      this);
  dateRuleList_ = MakeRuleList(dateRuleModel_, {28, 130, 100, 90});
  dateRuleList_->setAccessibleName(PlainCaption(kTextPageDateRules));
  layout->addWidget(dateRuleList_, 1);

  auto* editor = Row();
  dateRulePart_ = new QComboBox;
  for (int part = 0; part < kDatePartCount; ++part) dateRulePart_->addItem(DatePartCaption(part));
  dateRulePart_->setAccessibleName(Caption(kTextDateRulesDate));
  dateRulePart_->setMaxVisibleItems(kDatePartCount);
  FitDropDown(dateRulePart_);
  dateRuleOperation_ = new QComboBox;
  for (int entry = 108; entry <= 110; ++entry) dateRuleOperation_->addItem(Caption(entry));
  dateRuleOperation_->setAccessibleName(Caption(kTextDateRulesOperation));
  FitDropDown(dateRuleOperation_);
  dateRuleAmount_ = new QSpinBox;
  dateRuleAmount_->setAccessibleName(Caption(kTextDateRulesValue));
  editor->addWidget(dateRulePart_, 140);
  editor->addWidget(dateRuleOperation_, 95);
  editor->addWidget(dateRuleAmount_, 95);
  layout->addLayout(editor);

  auto* remove = new QPushButton(Caption(kTextDateRulesRemoveSelected));
  auto* add = new QPushButton(Caption(kTextDateRulesAddRule));
  layout->addLayout(ButtonRow(remove, add));

  connect(dateRulePart_, &QComboBox::currentIndexChanged, this, [this] { UpdateDateRuleSpinner(); });
  connect(dateRuleOperation_, &QComboBox::currentIndexChanged, this,
          [this] { UpdateDateRuleSpinner(); });
  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelectedRules(kPageDateRules); });
  connect(add, &QPushButton::clicked, this, [this] { AddDateRule(); });
  ConnectRuleList(dateRuleList_, [this](int row) {
    const DateAdjustment& rule = dateRuleModel_->At(row);
    {
      const QSignalBlocker blockPart(dateRulePart_);
      const QSignalBlocker blockOperation(dateRuleOperation_);
      if (rule.Unit >= 0 && rule.Unit < kDatePartCount) dateRulePart_->setCurrentIndex(rule.Unit);
      if (rule.Operation >= 0 && rule.Operation <= 2)
        dateRuleOperation_->setCurrentIndex(rule.Operation);
    }
    UpdateDateRuleSpinner();
    dateRuleAmount_->setValue(rule.Amount);
  });

  using C = Control;
  controls_[static_cast<size_t>(C::DateRuleList)] = dateRuleList_;
  controls_[static_cast<size_t>(C::DateRulePart)] = dateRulePart_;
  controls_[static_cast<size_t>(C::DateRuleOperation)] = dateRuleOperation_;
  controls_[static_cast<size_t>(C::DateRuleAmount)] = dateRuleAmount_;
  controls_[static_cast<size_t>(C::DateRuleRemove)] = remove;
  controls_[static_cast<size_t>(C::DateRuleAdd)] = add;
}

void OptionPages::UpdateDateRuleSpinner() {
  const SpinRange range =
      DateRuleRange(dateRulePart_->currentIndex(), dateRuleOperation_->currentIndex(), Now());
  dateRuleAmount_->setRange(range.Minimum, range.Maximum);
  dateRuleAmount_->setValue(range.Default);
  dateRuleAmount_->setToolTip(DateRuleTooltip(range));
}

// ---- Page 4: attributes ----

void OptionPages::BuildAttributesPage() {
  QVBoxLayout* layout = NewPage(kPageAttributes);
  auto* grid = new QGridLayout;
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(10);
  for (int i = 0; i < kAttributeCount; ++i) {
    auto* change = Switch(WithColon(kAttributeTexts[static_cast<size_t>(i)][0]));
    change->setToolTip(Caption(kAttributeTexts[static_cast<size_t>(i)][1]));
    auto* mode = new QComboBox;
    mode->addItem(StoreIcon(kImageAttributeSet), Caption(kTextAttributesSet));
    mode->addItem(StoreIcon(kImageAttributeClear), Caption(kTextAttributesClear));
    mode->setAccessibleName(WithoutMnemonics(Caption(kAttributeTexts[static_cast<size_t>(i)][0])));
    FitDropDown(mode);
    grid->addWidget(change, i, 0);
    grid->addWidget(mode, i, 1);
    attributeChange_[static_cast<size_t>(i)] = change;
    attributeMode_[static_cast<size_t>(i)] = mode;
  }
  grid->setColumnStretch(0, 200);
  grid->setColumnStretch(1, 135);
  layout->addLayout(grid);
  layout->addSpacing(10);

  auto* row = Row();
  auto* clearAll = new QPushButton(Caption(kTextAttributesClearAll));
  clearAll->setToolTip(Caption(kTextAttributesClearAllTip));
  auto* noChange = new QToolButton;
  noChange->setIcon(StoreIcon(kImageNoAttributeChange));
  noChange->setToolTip(Caption(kTextAttributesChangeNone));
  noChange->setAccessibleName(Caption(kTextAttributesChangeNone));
  noChange->setFocusPolicy(Qt::StrongFocus);
  noChange->setAutoRaise(false);
  row->addWidget(clearAll);
  row->addStretch(1);
  row->addWidget(noChange);
  layout->addLayout(row);
  layout->addStretch(1);

  connect(clearAll, &QPushButton::clicked, this, [this] { ClearAllAttributes(); });
  connect(noChange, &QToolButton::clicked, this, [this] { ChangeNoAttribute(); });

  using C = Control;
  controls_[static_cast<size_t>(C::HiddenMode)] = attributeMode_[0];
  controls_[static_cast<size_t>(C::ReadOnlyMode)] = attributeMode_[1];
  controls_[static_cast<size_t>(C::NotIndexedMode)] = attributeMode_[2];
  controls_[static_cast<size_t>(C::ArchiveMode)] = attributeMode_[3];
}

void OptionPages::ClearAllAttributes() {
  for (int i = 0; i < kAttributeCount; ++i) {
    const QSignalBlocker block(attributeChange_[static_cast<size_t>(i)]);
    attributeChange_[static_cast<size_t>(i)]->setChecked(true);
    attributeMode_[static_cast<size_t>(i)]->setCurrentIndex(1);
  }
  UpdateEnabling();
  emit SwitchesChanged();
}

void OptionPages::ChangeNoAttribute() {
  for (int i = 0; i < kAttributeCount; ++i) {
    const QSignalBlocker block(attributeChange_[static_cast<size_t>(i)]);
    attributeChange_[static_cast<size_t>(i)]->setChecked(false);
    attributeMode_[static_cast<size_t>(i)]->setCurrentIndex(0);
  }
  UpdateEnabling();
  emit SwitchesChanged();
}

// ---- Page 5: cut and insert characters ----

void OptionPages::BuildCutInsertPage() {
  QVBoxLayout* layout = NewPage(kPageCutInsert);
  const auto fromCombo = [](const QString& name) {
    auto* combo = new IconCombo;
    combo->addItem(StoreIcon(kImageFromStart), Caption(kTextCutFromStart));
    combo->addItem(StoreIcon(kImageFromEnd), Caption(kTextCutFromEnd));
    combo->setAccessibleName(name);
    combo->setToolTip(combo->currentText());
    FitDropDown(combo);
    return combo;
  };
  const auto spinner = [](const QString& name) {
    auto* spin = new QSpinBox;
    spin->setRange(1, 999);
    spin->setAccessibleName(name);
    return spin;
  };

  removeActive_ = Switch(WithColon(kTextCutRemove));
  layout->addWidget(removeActive_);
  removeFromEnd_ = fromCombo(Caption(kTextCutRemove));
  removePosition_ = spinner(Caption(kTextCutRemovePosition));
  removeCount_ = spinner(Caption(kTextCutRemoveCount));
  auto* removePositionLabel = RightLabel(WithColon(kTextCutRemovePosition), removePosition_);
  auto* removeCountLabel = RightLabel(WithColon(kTextCutRemoveCount), removeCount_);
  auto* removeRow = Row();
  removeRow->addWidget(removeFromEnd_);
  removeRow->addWidget(removePositionLabel, 1);
  removeRow->addWidget(removePosition_);
  removeRow->addWidget(removeCountLabel, 1);
  removeRow->addWidget(removeCount_);
  removeRow->addStretch(1);
  layout->addLayout(removeRow);
  layout->addSpacing(14);

  insertActive_ = Switch(WithColon(kTextCutInsert));
  layout->addWidget(insertActive_);
  insertFromEnd_ = fromCombo(Caption(kTextCutInsert));
  insertPosition_ = spinner(Caption(kTextCutInsertPosition));
  auto* insertPositionLabel = RightLabel(WithColon(kTextCutInsertPosition), insertPosition_);
  QWidget* textRow = nullptr;
  QLineEdit* insertText = FieldWithButton(FieldKind::InsertText, Caption(kTextHintEnterText), textRow);
  insertText->setAccessibleName(Caption(kTextCutInsert));
  auto* insertRow = Row();
  insertRow->addWidget(insertFromEnd_);
  insertRow->addWidget(insertPositionLabel, 1);
  insertRow->addWidget(insertPosition_);
  insertRow->addWidget(textRow, 4);
  layout->addLayout(insertRow);
  layout->addStretch(1);

  using C = Control;
  controls_[static_cast<size_t>(C::RemoveFromEnd)] = removeFromEnd_;
  controls_[static_cast<size_t>(C::RemovePositionLabel)] = removePositionLabel;
  controls_[static_cast<size_t>(C::RemovePosition)] = removePosition_;
  controls_[static_cast<size_t>(C::RemoveCountLabel)] = removeCountLabel;
  controls_[static_cast<size_t>(C::RemoveCount)] = removeCount_;
  controls_[static_cast<size_t>(C::InsertFromEnd)] = insertFromEnd_;
  controls_[static_cast<size_t>(C::InsertPositionLabel)] = insertPositionLabel;
  controls_[static_cast<size_t>(C::InsertPosition)] = insertPosition_;
  controls_[static_cast<size_t>(C::InsertText)] = insertText;
  controls_[static_cast<size_t>(C::InsertTextButton)] =
      listButtons_[static_cast<size_t>(FieldKind::InsertText)];
}

// ---- Page 6: letter case and find/replace ----

void OptionPages::BuildNameCasePage() {
  QVBoxLayout* layout = NewPage(kPageNameCase);
  auto* caseRow = Row();
  caseActive_ = Switch(WithColon(kTextNameChangeCase));
  caseMode_ = new QComboBox;
  for (int entry = 137; entry <= 142; ++entry) caseMode_->addItem(Caption(entry));
  caseMode_->setAccessibleName(Caption(kTextNameChangeCase));
  FitDropDown(caseMode_);
  caseRow->addWidget(caseActive_, 200);
  caseRow->addWidget(caseMode_, 135);
  layout->addLayout(caseRow);
  layout->addSpacing(6);

  replaceActive_ = Switch(WithColon(kTextNameFindReplace));
  layout->addWidget(replaceActive_);
  replaceModel_ = new RuleTableModel<TextReplacement>(
      {Caption(kTextNameFind), Caption(kTextNameReplaceWith)},
      [](const TextReplacement& rule, int column) {
        return column == 1 ? rule.SearchList : rule.Replacement;
      },
      this);
  replaceList_ = MakeRuleList(replaceModel_, {28, 160, 160});
  replaceList_->setAccessibleName(Caption(kTextNameFindReplace));
  layout->addWidget(replaceList_, 1);

  auto* editor = Row();
  editor->setSpacing(2);
  QWidget* findRow = nullptr;
  QLineEdit* find = FieldWithButton(FieldKind::FindText, Caption(kTextHintTextFind), findRow);
  QLabel* arrow = ArrowImage();
  QWidget* withRow = nullptr;
  QLineEdit* with = FieldWithButton(FieldKind::ReplaceWith, Caption(kTextHintReplaceWith), withRow);
  editor->addWidget(findRow, 1);
  editor->addWidget(arrow);
  editor->addWidget(withRow, 1);
  layout->addLayout(editor);

  auto* remove = new QPushButton(Caption(kTextNameRemoveSelected));
  auto* add = new QPushButton(Caption(kTextNameAddRule));
  layout->addLayout(ButtonRow(remove, add));

  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelectedRules(kPageNameCase); });
  connect(add, &QPushButton::clicked, this, [this] {
    const RuleRefusal refusal = AddReplaceRule();
    if (refusal.Problem != RuleProblem::None) emit RuleRefused(refusal);
  });
  ConnectRuleList(replaceList_, [this, find, with](int row) {
    find->setText(replaceModel_->At(row).SearchList);
    with->setText(replaceModel_->At(row).Replacement);
  });

  using C = Control;
  controls_[static_cast<size_t>(C::CaseMode)] = caseMode_;
  controls_[static_cast<size_t>(C::ReplaceList)] = replaceList_;
  controls_[static_cast<size_t>(C::ReplaceFind)] = find;
  controls_[static_cast<size_t>(C::ReplaceFindButton)] =
      listButtons_[static_cast<size_t>(FieldKind::FindText)];
  controls_[static_cast<size_t>(C::ReplaceArrow)] = arrow;
  controls_[static_cast<size_t>(C::ReplaceWith)] = with;
  controls_[static_cast<size_t>(C::ReplaceWithButton)] =
      listButtons_[static_cast<size_t>(FieldKind::ReplaceWith)];
  controls_[static_cast<size_t>(C::ReplaceRemove)] = remove;
  controls_[static_cast<size_t>(C::ReplaceAdd)] = add;
}

// ---- Page 7: extension ----

void OptionPages::BuildExtensionPage() {
  QVBoxLayout* layout = NewPage(kPageExtension);
  auto* caseRow = Row();
  extCaseActive_ = Switch(WithColon(kTextExtensionChangeCase));
  extCaseMode_ = new QComboBox;
  extCaseMode_->addItem(Caption(kTextExtensionLowerCase));
  extCaseMode_->addItem(Caption(kTextExtensionUpperCase));
  extCaseMode_->setAccessibleName(Caption(kTextExtensionChangeCase));
  FitDropDown(extCaseMode_);
  caseRow->addWidget(extCaseActive_, 200);
  caseRow->addWidget(extCaseMode_, 135);
  layout->addLayout(caseRow);
  layout->addSpacing(6);

  extRulesActive_ = Switch(WithColon(kTextExtensionCorrectExtensions));
  layout->addWidget(extRulesActive_);
  extModel_ = new RuleTableModel<ExtensionCorrection>(
      {Caption(kTextExtensionOldExtensions), Caption(kTextExtensionNewExtension)},
      [](const ExtensionCorrection& rule, int column) {
        return column == 1 ? rule.FromList : rule.ToExtension;
      },
      this);
  extList_ = MakeRuleList(extModel_, {28, 190, 130});
  extList_->setAccessibleName(Caption(kTextExtensionCorrectExtensions));
  layout->addWidget(extList_, 1);

  auto* editor = Row();
  editor->setSpacing(2);
  QWidget* fromRow = nullptr;
  QLineEdit* from = FieldWithButton(
      FieldKind::OldExtensions, Caption(kTextHintOldExtensions) + QStringLiteral("  (") + Caption(kTextHintSeparatedByBar) + u')', fromRow);
  QLabel* arrow = ArrowImage();
  extTo_ = new QLineEdit;
  extTo_->setPlaceholderText(Caption(kTextHintNewExtension) + QStringLiteral("  (") + Caption(kTextHintWithoutDot) + u')');
  extTo_->setAccessibleName(Caption(kTextHintNewExtension));
  editor->addWidget(fromRow, 180);
  editor->addWidget(arrow);
  editor->addWidget(extTo_, 130);
  layout->addLayout(editor);

  auto* remove = new QPushButton(Caption(kTextExtensionRemoveSelected));
  auto* add = new QPushButton(Caption(kTextExtensionAddRule));
  layout->addLayout(ButtonRow(remove, add));

  connect(remove, &QPushButton::clicked, this, [this] { RemoveSelectedRules(kPageExtension); });
  connect(add, &QPushButton::clicked, this, [this] {
    const RuleRefusal refusal = AddExtensionRule();
    if (refusal.Problem != RuleProblem::None) emit RuleRefused(refusal);
  });
  ConnectRuleList(extList_, [this, from](int row) {
    from->setText(extModel_->At(row).FromList);
    extTo_->setText(extModel_->At(row).ToExtension);
  });

  using C = Control;
  controls_[static_cast<size_t>(C::ExtCaseMode)] = extCaseMode_;
  controls_[static_cast<size_t>(C::ExtRuleList)] = extList_;
  controls_[static_cast<size_t>(C::ExtFrom)] = from;
  controls_[static_cast<size_t>(C::ExtFromButton)] =
      listButtons_[static_cast<size_t>(FieldKind::OldExtensions)];
  controls_[static_cast<size_t>(C::ExtArrow)] = arrow;
  controls_[static_cast<size_t>(C::ExtTo)] = extTo_;
  controls_[static_cast<size_t>(C::ExtRemove)] = remove;
  controls_[static_cast<size_t>(C::ExtAdd)] = add;
}

// ---- Page 8: sort order ----

void OptionPages::BuildSortPage() {
  QVBoxLayout* layout = NewPage(kPageSort);
  sortActive_ = Switch(Caption(kTextSortSwitch));
  layout->addWidget(sortActive_);
  layout->addSpacing(4);
  sortKey_ = new QComboBox;
  sortKey_->addItem(StoreIcon(kImageSortRandom), Caption(kTextWordRandomOrder));
  sortKey_->addItem(StoreIcon(kImageSortName), Caption(kTextWordName));
  sortKey_->addItem(StoreIcon(kImageSortName), Caption(kTextWordPath));
  sortKey_->addItem(StoreIcon(kImageSortSize), Caption(kTextWordSize));
  for (const int entry : {207, 206, 205})
    sortKey_->addItem(StoreIcon(kImageSortDate), Caption(kTextWordDate) + QStringLiteral(": ") + Caption(entry));
  sortKey_->setAccessibleName(Caption(kTextPageSortOrder));
  FitDropDown(sortKey_);
  layout->addWidget(sortKey_);
  layout->addSpacing(20);

  sortDirection_ = new QComboBox;
  sortDirection_->addItem(StoreIcon(kImageDescending), Caption(kTextSortDescending));
  sortDirection_->addItem(StoreIcon(kImageAscending), Caption(kTextSortAscending));
  sortDirection_->setAccessibleName(Caption(kTextSortDirection));
  FitDropDown(sortDirection_);
  auto* directionLabel = RightLabel(WithColon(kTextSortDirection), sortDirection_);
  auto* row = Row();
  row->addWidget(directionLabel, 140);
  row->addWidget(sortDirection_, 195);
  layout->addLayout(row);
  layout->addStretch(1);

  connect(sortKey_, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabling(); });

  using C = Control;
  controls_[static_cast<size_t>(C::SortKey)] = sortKey_;
  controls_[static_cast<size_t>(C::SortDirectionLabel)] = directionLabel;
  controls_[static_cast<size_t>(C::SortDirection)] = sortDirection_;
}

// ---- Page 9: download zone mark ----

void OptionPages::BuildZoneMarkPage() {
  QVBoxLayout* layout = NewPage(kPageZoneMark);
  auto* row = Row();
  auto* picture = new QLabel;
  QPixmap pixmap = StorePixmap(kImageZoneMark);
  if (pixmap.isNull()) pixmap = StoreIcon(kImageFirstPage + static_cast<int>(kPageZoneMark)).pixmap(48, 48);
  picture->setPixmap(pixmap);
  picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  picture->setFixedWidth(68);
  auto* explanation = new QLabel(Caption(kTextMarkExplanation));
  explanation->setTextFormat(Qt::PlainText);
  explanation->setWordWrap(true);
  explanation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  row->addWidget(picture, 0, Qt::AlignTop);
  row->addWidget(explanation, 1);
  layout->addLayout(row);
  layout->addSpacing(10);
  removeZoneMark_ = Switch(Caption(kTextMarkSwitch));
  layout->addWidget(removeZoneMark_);
  layout->addStretch(1);
}

// ---- Page 10: new name ----

void OptionPages::BuildNewNamePage() {
  QVBoxLayout* layout = NewPage(kPageNewName);
  nameTemplateActive_ = Switch(Caption(kTextNewNameSwitch));
  layout->addWidget(nameTemplateActive_);
  QWidget* row = nullptr;
  QLineEdit* nameTemplate = FieldWithButton(FieldKind::NameTemplate, Caption(kTextHintEnterText), row);
  nameTemplate->setAccessibleName(Caption(kTextNewNameSwitch));
  layout->addWidget(row);
  layout->addSpacing(20);
  counterPerDirectory_ = new QCheckBox(Caption(kTextNewNameCounterPerFolder));
  noLeadingZeros_ = new QCheckBox(Caption(kTextNewNameNoLeadingZeros));
  noLeadingZeros_->setToolTip(Caption(kTextNewNameNoLeadingZerosTip));
  layout->addWidget(counterPerDirectory_);
  layout->addSpacing(8);
  layout->addWidget(noLeadingZeros_);
  layout->addStretch(1);

  using C = Control;
  controls_[static_cast<size_t>(C::NameTemplate)] = nameTemplate;
  controls_[static_cast<size_t>(C::NameTemplateButton)] =
      listButtons_[static_cast<size_t>(FieldKind::NameTemplate)];
  controls_[static_cast<size_t>(C::CounterPerDirectory)] = counterPerDirectory_;
  controls_[static_cast<size_t>(C::NoLeadingZeros)] = noLeadingZeros_;
}

// ---- Page 11: target directory ----

void OptionPages::BuildTargetPage() {
  QVBoxLayout* layout = NewPage(kPageTarget);
  targetDirActive_ = Switch(Caption(kTextTargetSwitch));
  layout->addWidget(targetDirActive_);
  QWidget* fieldRow = nullptr;
  QLineEdit* target = FieldWithButton(
      FieldKind::TargetTemplate, Caption(kTextHintEnterText) + QStringLiteral("  (") + Caption(kTextHintFolderPath) + u')',
      fieldRow);
  target->setAccessibleName(Caption(kTextTargetSwitch));
  targetBrowse_ = new QPushButton(QStringLiteral("..."));
  targetBrowse_->setToolTip(Caption(kTextChooseTargetFolder));
  targetBrowse_->setAccessibleName(Caption(kTextChooseTargetFolder));
  targetBrowse_->setFixedWidth(std::max(30, targetBrowse_->fontMetrics().horizontalAdvance(
                                                 QStringLiteral("...")) + 16));
  auto* row = Row();
  row->setSpacing(2);
  row->addWidget(fieldRow, 1);
  row->addSpacing(3);
  row->addWidget(targetBrowse_);
  layout->addLayout(row);
  layout->addSpacing(20);
  keepSubfolders_ = new QCheckBox(Caption(kTextTargetKeepSubfolders));
  keepSubfolders_->setToolTip(Caption(kTextTargetKeepSubfoldersTip));
  targetMove_ = new QCheckBox(Caption(kTextTargetMove));
  layout->addWidget(keepSubfolders_);
  layout->addSpacing(8);
  layout->addWidget(targetMove_);
  layout->addStretch(1);

  connect(targetBrowse_, &QPushButton::clicked, this, [this] { emit BrowseTargetClicked(); });

  using C = Control;
  controls_[static_cast<size_t>(C::TargetTemplate)] = target;
  controls_[static_cast<size_t>(C::TargetTemplateButton)] =
      listButtons_[static_cast<size_t>(FieldKind::TargetTemplate)];
  controls_[static_cast<size_t>(C::TargetBrowse)] = targetBrowse_;
  controls_[static_cast<size_t>(C::KeepSubfolders)] = keepSubfolders_;
  controls_[static_cast<size_t>(C::TargetMove)] = targetMove_;
}

// ---- Filling, storing, enabling ----

void OptionPages::Fill(const Preset& s) {
  // Filling sets the controls as they are stored; no handler may add its own changes.
  const QList<QCheckBox*> switches = {
      filterActive_,     changeDates_,     dateRulesActive_,   attributeChange_[0],
      attributeChange_[1], attributeChange_[2], attributeChange_[3], removeActive_,
      insertActive_,     caseActive_,      replaceActive_,     extCaseActive_,
      extRulesActive_,   sortActive_,      removeZoneMark_,    nameTemplateActive_,
      targetDirActive_};
  std::vector<std::unique_ptr<QSignalBlocker>> blockers;
  for (QCheckBox* box : switches) blockers.push_back(std::make_unique<QSignalBlocker>(box));
  blockers.push_back(std::make_unique<QSignalBlocker>(datePicker_));

  filterActive_->setChecked(s.FilterActive != 0);
  FillRules(filterModel_, filterList_, s.FilterConditions);

  changeDates_->setChecked(s.ChangeDates != 0);
  if (QAbstractButton* mode = dateMode_->button(s.DateMode)) mode->setChecked(true);
  filledNow_ = now_();
  datePicker_->setDateTime(PickerTime(s.FixedDate != 0 ? s.FixedDate : filledNow_));
  // A picker clamped to its range no longer shows "now": remember what it shows.
  if (s.FixedDate == 0) filledNow_ = datePicker_->dateTime().toSecsSinceEpoch();
  dateCopySource_->setCurrentIndex(s.DateCopySource);

  dateRulesActive_->setChecked(s.DateRulesActive != 0);
  FillRules(dateRuleModel_, dateRuleList_, s.DateAdjustments);

  const std::array<std::pair<int8_t, int8_t>, kAttributeCount> attributes = {
      {{s.HiddenChange, s.HiddenClear},
       {s.ReadOnlyChange, s.ReadOnlyClear},
       {s.NotIndexedChange, s.NotIndexedClear},
       {s.ArchiveChange, s.ArchiveClear}}};
  for (size_t i = 0; i < attributes.size(); ++i) {
    attributeChange_[i]->setChecked(attributes[i].first != 0);
    attributeMode_[i]->setCurrentIndex(attributes[i].second);
  }

  removeActive_->setChecked(s.RemoveActive != 0);
  removeFromEnd_->setCurrentIndex(s.RemoveFromEnd);
  removePosition_->setValue(s.RemovePosition);
  removeCount_->setValue(s.RemoveCount);
  insertActive_->setChecked(s.InsertActive != 0);
  insertFromEnd_->setCurrentIndex(s.InsertFromEnd);
  insertPosition_->setValue(s.InsertPosition);
  Field(FieldKind::InsertText)->setText(s.InsertText);

  caseActive_->setChecked(s.CaseActive != 0);
  caseMode_->setCurrentIndex(s.CaseMode);
  replaceActive_->setChecked(s.ReplaceActive != 0);
  FillRules(replaceModel_, replaceList_, s.TextReplacements);

  extCaseActive_->setChecked(s.ExtCaseActive != 0);
  extCaseMode_->setCurrentIndex(s.ExtCaseMode);
  extRulesActive_->setChecked(s.ExtRulesActive != 0);
  FillRules(extModel_, extList_, s.ExtensionCorrections);

  sortActive_->setChecked(s.SortActive != 0);
  sortKey_->setCurrentIndex(s.SortKey);
  sortDirection_->setCurrentIndex(s.SortDirection);

  removeZoneMark_->setChecked(s.RemoveZoneMark != 0);

  nameTemplateActive_->setChecked(s.NameTemplateActive != 0);
  Field(FieldKind::NameTemplate)->setText(s.NameTemplate);
  counterPerDirectory_->setChecked(s.CounterPerDirectory != 0);
  noLeadingZeros_->setChecked(s.NoLeadingZeros != 0);

  targetDirActive_->setChecked(s.TargetDirActive != 0);
  Field(FieldKind::TargetTemplate)->setText(s.TargetDirTemplate);
  keepSubfolders_->setChecked(s.KeepSubfolders != 0);
  targetMove_->setChecked(s.TargetMove != 0);

  blockers.clear();
  UpdateEnabling();
}

void OptionPages::Store(Preset& s) const {
  const auto byte = [](bool on) { return static_cast<int8_t>(on ? 1 : 0); };
  const auto index = [](const QComboBox* combo) { return static_cast<int8_t>(combo->currentIndex()); };
  const auto word = [](const QSpinBox* spin) { return static_cast<int16_t>(spin->value()); };

  s.FilterActive = byte(filterActive_->isChecked());
  s.FilterConditions = RulesWithSelection(filterModel_, filterList_);

  s.ChangeDates = byte(changeDates_->isChecked());
  s.DateMode = static_cast<int8_t>(std::max(0, dateMode_->checkedId()));
  const int64_t picked = datePicker_->dateTime().toSecsSinceEpoch();
  s.FixedDate = picked == filledNow_
                    ? 0
                    : static_cast<int32_t>(std::clamp<int64_t>(
                          picked, 0, std::numeric_limits<int32_t>::max()));
  s.DateCopySource = index(dateCopySource_);
  s.DateRulesActive = byte(dateRulesActive_->isChecked());
  s.DateAdjustments = RulesWithSelection(dateRuleModel_, dateRuleList_);

  s.HiddenChange = byte(attributeChange_[0]->isChecked());
  s.HiddenClear = index(attributeMode_[0]);
  s.ReadOnlyChange = byte(attributeChange_[1]->isChecked());
  s.ReadOnlyClear = index(attributeMode_[1]);
  s.NotIndexedChange = byte(attributeChange_[2]->isChecked());
  s.NotIndexedClear = index(attributeMode_[2]);
  s.ArchiveChange = byte(attributeChange_[3]->isChecked());
  s.ArchiveClear = index(attributeMode_[3]);

  s.RemoveActive = byte(removeActive_->isChecked());
  s.RemoveFromEnd = index(removeFromEnd_);
  s.RemovePosition = word(removePosition_);
  s.RemoveCount = word(removeCount_);
  s.InsertActive = byte(insertActive_->isChecked());
  s.InsertFromEnd = index(insertFromEnd_);
  s.InsertPosition = word(insertPosition_);
  s.InsertText = Field(FieldKind::InsertText)->text();

  s.CaseActive = byte(caseActive_->isChecked());
  s.CaseMode = index(caseMode_);
  s.ReplaceActive = byte(replaceActive_->isChecked());
  s.TextReplacements = RulesWithSelection(replaceModel_, replaceList_);

  s.ExtCaseActive = byte(extCaseActive_->isChecked());
  s.ExtCaseMode = index(extCaseMode_);
  s.ExtRulesActive = byte(extRulesActive_->isChecked());
  s.ExtensionCorrections = RulesWithSelection(extModel_, extList_);

  s.SortActive = byte(sortActive_->isChecked());
  s.SortKey = index(sortKey_);
  s.SortDirection = index(sortDirection_);
  s.RemoveZoneMark = byte(removeZoneMark_->isChecked());

  s.NameTemplateActive = byte(nameTemplateActive_->isChecked());
  s.NameTemplate = Field(FieldKind::NameTemplate)->text();
  s.CounterPerDirectory = byte(counterPerDirectory_->isChecked());
  s.NoLeadingZeros = byte(noLeadingZeros_->isChecked());

  s.TargetDirActive = byte(targetDirActive_->isChecked());
  s.TargetDirTemplate = Field(FieldKind::TargetTemplate)->text();
  s.KeepSubfolders = byte(keepSubfolders_->isChecked());
  s.TargetMove = byte(targetMove_->isChecked());
}

Preset OptionPages::Switches() const {
  Preset s;
  s.FilterActive = filterActive_->isChecked();
  s.ChangeDates = changeDates_->isChecked();
  s.DateRulesActive = dateRulesActive_->isChecked();
  s.HiddenChange = attributeChange_[0]->isChecked();
  s.ReadOnlyChange = attributeChange_[1]->isChecked();
  s.NotIndexedChange = attributeChange_[2]->isChecked();
  s.ArchiveChange = attributeChange_[3]->isChecked();
  s.RemoveActive = removeActive_->isChecked();
  s.InsertActive = insertActive_->isChecked();
  s.CaseActive = caseActive_->isChecked();
  s.ReplaceActive = replaceActive_->isChecked();
  s.ExtCaseActive = extCaseActive_->isChecked();
  s.ExtRulesActive = extRulesActive_->isChecked();
  s.SortActive = sortActive_->isChecked();
  s.SortKey = static_cast<int8_t>(sortKey_->currentIndex());
  s.RemoveZoneMark = removeZoneMark_->isChecked();
  s.NameTemplateActive = nameTemplateActive_->isChecked();
  s.TargetDirActive = targetDirActive_->isChecked();
  return s;
}

void OptionPages::UpdateEnabling() {
  const Preset switches = Switches();
  for (int i = 0; i < kControlCount; ++i) {
    QWidget* widget = controls_[static_cast<size_t>(i)];
    if (widget == nullptr) continue;
    const auto control = static_cast<Control>(i);
    bool selected = false;
    switch (control) {
      case Control::FilterRemove:
        selected = filterList_->HasSelection();
        break;
      case Control::DateRuleRemove:
        selected = dateRuleList_->HasSelection();
        break;
      case Control::ReplaceRemove:
        selected = replaceList_->HasSelection();
        break;
      case Control::ExtRemove:
        selected = extList_->HasSelection();
        break;
      default:
        break;
    }
    widget->setEnabled(ControlEnabled(control, switches, selected));
  }
}

int64_t OptionPages::DatePickerValue() const {
  return datePicker_->dateTime().toSecsSinceEpoch();
}

QWidget* OptionPages::ControlWidget(Control control) const {
  return controls_[static_cast<size_t>(control)];
}

QLineEdit* OptionPages::Field(FieldKind kind) const {
  return fields_[static_cast<size_t>(kind)];
}

QToolButton* OptionPages::ListButton(FieldKind kind) const {
  return listButtons_[static_cast<size_t>(kind)];
}

ReportView* OptionPages::RuleList(int page) const {
  switch (page) {
    case kPageFilter:
      return filterList_;
    case kPageDateRules:
      return dateRuleList_;
    case kPageNameCase:
      return replaceList_;
    case kPageExtension:
      return extList_;
    default:
      return nullptr;
  }
}

void OptionPages::RemoveSelectedRules(int page) {
  ReportView* view = RuleList(page);
  if (view == nullptr) return;
  const std::vector<int> rows = view->SelectedRows();
  switch (page) {
    case kPageFilter:
      filterModel_->RemoveRows(rows);
      break;
    case kPageDateRules:
      dateRuleModel_->RemoveRows(rows);
      break;
    case kPageNameCase:
      replaceModel_->RemoveRows(rows);
      break;
    case kPageExtension:
      extModel_->RemoveRows(rows);
      break;
    default:
      break;
  }
  UpdateEnabling();
}

RuleRefusal OptionPages::AddFilterRule() {
  FilterEditorValues values;
  values.Kind = filterKind_->currentIndex();
  values.NumericOperator = filterNumericOperator_->currentIndex();
  values.TextOperator = filterTextOperator_->currentIndex();
  values.Number = filterNumber_->text();
  values.Text = filterText_->text();
  const std::optional<FilterCondition> rule = MakeFilterRule(values);
  if (!rule)
    return {RuleProblem::EmptyValue, FilterKindIsNumeric(values.Kind) ? filterNumber_ : filterText_};
  AppendAndSelect(filterModel_, filterList_, *rule);
  return {};
}

RuleRefusal OptionPages::AddDateRule() {
  DateAdjustment rule;
  rule.ItemState = kItemChecked;
  rule.Unit = static_cast<int8_t>(dateRulePart_->currentIndex());
  rule.Operation = static_cast<int8_t>(dateRuleOperation_->currentIndex());
  rule.Amount = dateRuleAmount_->value();
  AppendAndSelect(dateRuleModel_, dateRuleList_, rule);
  return {};
}

RuleRefusal OptionPages::AddReplaceRule() {
  QLineEdit* find = Field(FieldKind::FindText);
  QLineEdit* with = Field(FieldKind::ReplaceWith);
  const RuleProblem problem = CheckReplaceRule(find->text(), with->text());
  if (problem != RuleProblem::None)
    return {problem, problem == RuleProblem::EmptyValue ? find : with};
  TextReplacement rule;
  rule.ItemState = kItemChecked;
  rule.SearchList = find->text();
  rule.Replacement = with->text();
  AppendAndSelect(replaceModel_, replaceList_, rule);
  return {};
}

RuleRefusal OptionPages::AddExtensionRule() {
  QLineEdit* from = Field(FieldKind::OldExtensions);
  const RuleProblem problem = CheckExtensionRule(from->text(), extTo_->text());
  if (problem != RuleProblem::None)
    return {problem, problem == RuleProblem::EmptyValue ? from : extTo_};
  ExtensionCorrection rule;
  rule.ItemState = kItemChecked;
  rule.FromList = from->text();
  rule.ToExtension = extTo_->text();
  AppendAndSelect(extModel_, extList_, rule);
  return {};
}
