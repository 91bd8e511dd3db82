#include "ui/pages/OptionPage.h"

#include "texts/LanguageEntries.h"
#include "ui/widgets/Icons.h"
#include "ui/widgets/ReportView.h"
#include "ui/widgets/UiTexts.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <memory>

namespace {

constexpr std::array<LanguageEntry, kFileDateCount> kFileDateCaptions = {
    kTextWordLastAccess, kTextWordModified, kTextWordCreated};

}  // namespace

bool IsTemplateField(FieldKind kind) {
  return kind == FieldKind::InsertText || kind == FieldKind::ReplaceWith ||
         kind == FieldKind::NameTemplate || kind == FieldKind::TargetTemplate;
}

QString FileDateCaption(int source) {
  return source >= 0 && source < kFileDateCount
             ? Caption(kFileDateCaptions[static_cast<size_t>(source)])
             : QString();
}

QVBoxLayout* MakePageLayout(QWidget* page, int pageIndex) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* header = new QHBoxLayout;
  header->setContentsMargins(0, 0, 0, 0);
  auto* description = new QLabel(PageDescription(pageIndex));
  description->setTextFormat(Qt::PlainText);
  description->setWordWrap(true);
  description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  description->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  description->setObjectName(QStringLiteral("pageDescription"));
  auto* icon = new QLabel;
  icon->setPixmap(PageIcon(pageIndex).pixmap(32, 32));
  icon->setAlignment(Qt::AlignRight | Qt::AlignTop);
  icon->setFixedWidth(40);
  icon->setAccessibleName(PageCaption(pageIndex));
  header->addWidget(description, 1);
  header->addWidget(icon, 0, Qt::AlignTop);
  layout->addLayout(header);
  layout->addSpacing(6);
  return layout;
}

OptionPage::OptionPage(PageIndex id, PageSetup setup) : id_(id), setup_(std::move(setup)) {}

OptionPage::~OptionPage() {
  if (widget_ != nullptr && widget_->parent() == nullptr) delete widget_.data();
}

void OptionPage::Build() {
  if (widget_ != nullptr) return;
  auto* widget = new QWidget;
  widget->setObjectName(QStringLiteral("page%1").arg(static_cast<int>(id_)));
  widget_ = widget;
  BuildControls(MakePageLayout(widget, id_));
  Q_ASSERT_X(FollowsOwnSwitches(), "OptionPage::Build", "a control follows another page's switch");
  WatchEdits();
  built_ = true;
  UpdateEnabling();
}

bool OptionPage::FollowsOwnSwitches() const {
  // A control that follows a switch the page does not store would never be enabled.
  const PageRow* row = FindPage(id_);
  for (const auto& follower : followers_) {
    if (row == nullptr || std::find(row->Switches.begin(), row->Switches.end(), follower.Switch) ==
                              row->Switches.end())
      return false;
  }
  return true;
}

void OptionPage::Fill(const Preset& settings) {
  // Filling sets the controls as they are stored; no handler may add its own changes.
  std::vector<std::unique_ptr<QSignalBlocker>> blockers;
  for (QCheckBox* box : switches_) blockers.push_back(std::make_unique<QSignalBlocker>(box));
  filling_ = true;
  FillControls(settings);
  filling_ = false;
  blockers.clear();
  UpdateEnabling();
}

void OptionPage::UpdateEnabling() {
  // While the controls are being made, some are not there yet to be stored.
  if (!built_) return;
  // Each control's rule reads only its own page's fields, which Store writes in full.
  Preset now;
  Store(now);
  for (const Registered& control : controls_) {
    const bool selected = control.Selection != nullptr && control.Selection->HasSelection();
    control.Widget->setEnabled(ControlEnabled(control.Which, now, selected));
  }
  for (const Follower& follower : followers_)
    follower.Widget->setEnabled(now.*(follower.Switch) != 0 && (!follower.Also || follower.Also()));
}

QWidget* OptionPage::ControlWidget(Control control) const {
  for (const Registered& registered : controls_)
    if (registered.Which == control) return registered.Widget;
  return nullptr;
}

QLineEdit* OptionPage::Field(FieldKind kind) const {
  for (const auto& [which, field] : fields_)
    if (which == kind) return field;
  return nullptr;
}

QToolButton* OptionPage::ListButton(FieldKind kind) const {
  for (const auto& [which, button] : listButtons_)
    if (which == kind) return button;
  return nullptr;
}

int64_t OptionPage::NowDate() const {
  return setup_.Now ? setup_.Now() : NowAsLocalDate();
}

CalendarParts OptionPage::Now() const {
  return PartsOfDate(NowDate());
}

QCheckBox* OptionPage::NewSwitch(const QString& caption) {
  auto* box = new QCheckBox(caption);
  switches_.push_back(box);
  connect(box, &QCheckBox::toggled, this, [this] {
    UpdateEnabling();
    emit SwitchesChanged();
  });
  return box;
}

QLineEdit* OptionPage::NewField(FieldKind kind, const QString& cue, QWidget*& row) {
  row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto* field = new QLineEdit;
  field->setPlaceholderText(cue);
  field->setAccessibleName(cue);
  layout->addWidget(field, 1);
  fields_.emplace_back(kind, field);
  const bool withButton = IsTemplateField(kind) ? setup_.TemplateButtons : setup_.PatternButtons;
  if (withButton) {
    auto* button = new QToolButton;
    button->setText(QStringLiteral("<"));
    const QString tip =
        PlainCaption(IsTemplateField(kind) ? kTextMenuPlaceholderList : kTextMenuWildcardList);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setObjectName(QStringLiteral("listButton"));
    layout->addWidget(button);
    listButtons_.emplace_back(kind, button);
    connect(button, &QToolButton::clicked, this, [this, kind] { emit ListButtonClicked(kind); });
  }
  return field;
}

ReportView* OptionPage::NewRuleList(QAbstractItemModel* model, const std::vector<int>& widths) {
  auto* view = new ReportView;
  view->setModel(model);
  view->SetColumnWidths(widths);
  view->setMinimumHeight(view->verticalHeader()->defaultSectionSize() * 2 +
                         view->horizontalHeader()->sizeHint().height() + 4);
  ruleList_ = view;
  connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { UpdateEnabling(); });
  return view;
}

void OptionPage::OnRuleChosen(const std::function<void(int row)>& chosen) {
  ReportView* list = ruleList_;
  if (list == nullptr) return;
  connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [list, chosen](const QModelIndex& current) {
            if (current.isValid() && list->selectionModel()->isRowSelected(current.row()))
              chosen(current.row());
          });
  connect(list, &QAbstractItemView::clicked, this, [chosen](const QModelIndex& index) {
    if (index.isValid()) chosen(index.row());
  });
}

void OptionPage::Register(Control control, QWidget* widget, ReportView* selection) {
  // A "<" button the preset's option leaves out is no control of this build.
  if (widget != nullptr) controls_.push_back({control, widget, selection});
}

void OptionPage::EnableWhile(QWidget* widget, int8_t Preset::*pageSwitch,
                             std::function<bool()> also) {
  if (widget != nullptr && pageSwitch != nullptr)
    followers_.push_back({widget, pageSwitch, std::move(also)});
}

void OptionPage::ReportEdit() {
  if (!filling_) emit Edited();
}

void OptionPage::Refuse(const RuleRefusal& refusal) {
  if (refusal.Problem != RuleProblem::None) emit RuleRefused(refusal);
}

void OptionPage::WatchEdits() {
  // Every control of the page, whatever its kind, so that a control added later reports its
  // edits without being named here.
  QWidget* root = widget_.data();
  const auto edited = [this] { ReportEdit(); };
  for (QLineEdit* field : root->findChildren<QLineEdit*>()) {
    // A spin box's or combo box's own field is watched through its owner.
    if (qobject_cast<QAbstractSpinBox*>(field->parentWidget()) != nullptr ||
        qobject_cast<QComboBox*>(field->parentWidget()) != nullptr)
      continue;
    connect(field, &QLineEdit::textChanged, this, edited);
  }
  for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
    if (button->isCheckable()) connect(button, &QAbstractButton::toggled, this, edited);
  for (QComboBox* combo : root->findChildren<QComboBox*>())
    connect(combo, &QComboBox::currentIndexChanged, this, edited);
  for (QSpinBox* spin : root->findChildren<QSpinBox*>())
    connect(spin, &QSpinBox::valueChanged, this, edited);
  for (QDateTimeEdit* date : root->findChildren<QDateTimeEdit*>())
    connect(date, &QDateTimeEdit::dateTimeChanged, this, edited);
  for (ReportView* view : root->findChildren<ReportView*>()) {
    QAbstractItemModel* model = view->model();
    if (model == nullptr) continue;
    connect(model, &QAbstractItemModel::dataChanged, this, edited);
    connect(model, &QAbstractItemModel::rowsInserted, this, edited);
    connect(model, &QAbstractItemModel::rowsRemoved, this, edited);
    connect(model, &QAbstractItemModel::rowsMoved, this, edited);
    connect(model, &QAbstractItemModel::modelReset, this, edited);
  }
}

QString OptionPage::WithColon(int entry) {
  return Caption(entry) + u':';
}

QHBoxLayout* OptionPage::NewRowLayout() {
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  return row;
}

QHBoxLayout* OptionPage::RuleButtonRow(QPushButton* remove, QPushButton* add) {
  auto* row = NewRowLayout();
  row->addWidget(remove, 1);
  row->addSpacing(12);
  row->addWidget(add, 1);
  return row;
}

QLabel* OptionPage::NewArrowImage() {
  auto* arrow = new QLabel;
  arrow->setPixmap(StoreIcon(kImageArrow).pixmap(16, 16));
  arrow->setAlignment(Qt::AlignCenter);
  arrow->setFixedWidth(20);
  return arrow;
}

QLabel* OptionPage::NewRightLabel(const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setBuddy(buddy);
  return label;
}

QLabel* OptionPage::NewProblemLine() {
  auto* line = new QLabel;
  line->setObjectName(QStringLiteral("expressionProblem"));
  line->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
  line->setWordWrap(true);
  line->hide();
  return line;
}

void OptionPage::ShowProblem(QLineEdit* field, QLabel* line, const QString& problem) {
  line->setText(problem);
  line->setVisible(!problem.isEmpty());
  field->setStyleSheet(problem.isEmpty() ? QString()
                                         : QStringLiteral("QLineEdit { color: #b00000; }"));
}
