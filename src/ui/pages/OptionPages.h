#pragma once

#include "platform/LocalTime.h"
#include "records/Preset.h"
#include "ui/pages/PageRules.h"
#include "ui/pages/RuleTableModel.h"

#include <QObject>
#include <QPointer>

#include <array>
#include <functional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;
class ReportView;

// The text fields that the placeholder and wildcard pop-ups serve. The first four take
// placeholders ("<" buttons while TemplateButtons is set), the last three patterns ("<" buttons
// while PatternButtons is set).
enum class FieldKind {
  InsertText,
  ReplaceWith,
  NameTemplate,
  TargetTemplate,
  FilterText,
  FindText,
  OldExtensions,
};
inline constexpr int kFieldKindCount = 7;
bool IsTemplateField(FieldKind kind);

// Why the add button of a rule list added nothing, for the window to explain.
struct RuleRefusal {
  RuleProblem Problem = RuleProblem::None;
  QLineEdit* Field = nullptr;  // the field to correct
};

// Option pages 1 to 11: their controls, filling them from a preset and storing them back,
// their enabling rules and their rule editors. Built once per window build; the "<" buttons
// exist only when the preset's button options say so.
class OptionPages : public QObject {
  Q_OBJECT

 public:
  // `now` gives the current local date and time (the date picker's "now", default values of
  // the rule editors); tests pass a fixed clock.
  using Clock = std::function<int64_t()>;
  OptionPages(bool templateButtons, bool patternButtons, Clock now, QObject* parent = nullptr);
  ~OptionPages() override;  // deletes the pages no window has taken

  // Page 1..11's widget (parentless until the window takes it); nullptr for page 0.
  QWidget* Page(int page) const;

  // Sets every control of pages 1 to 11 from the settings, the rule lists included.
  void Fill(const Preset& settings);
  // Writes every control of pages 1 to 11 into the settings (not the shown page and not the
  // menu options, which the window keeps).
  void Store(Preset& settings) const;
  // The settings that the enabling rules read, taken from the controls now.
  Preset Switches() const;
  // Recomputes which controls are enabled, on every page.
  void UpdateEnabling();

  // The widget of a control whose enabling the rules decide; nullptr for a "<" button that
  // does not exist.
  QWidget* ControlWidget(Control control) const;
  // The fields served by the pop-ups, and their "<" buttons (nullptr while the option is off).
  QLineEdit* Field(FieldKind kind) const;
  QToolButton* ListButton(FieldKind kind) const;
  // The date the date picker shows now (a date value), for a run's fixed date.
  int64_t DatePickerValue() const;
  // The target page's "..." button, which the window also makes a drop target.
  QPushButton* BrowseButton() const { return targetBrowse_; }

  // Rule editors, as the add and remove buttons use them. Add returns what was wrong when
  // nothing was added.
  RuleRefusal AddFilterRule();
  RuleRefusal AddDateRule();
  RuleRefusal AddReplaceRule();
  RuleRefusal AddExtensionRule();
  ReportView* RuleList(int page) const;  // pages 1, 3, 6, 7
  void RemoveSelectedRules(int page);

  // The attributes page's two buttons.
  void ClearAllAttributes();
  void ChangeNoAttribute();

  // Texts that follow the clock or the language: the filter's default and cue, the spinner.
  void UpdateFilterEditor(bool setDefault);
  void UpdateDateRuleSpinner();

 signals:
  // An enabling check box or another switch changed: the page list's rows may change.
  void SwitchesChanged();
  // A "<" button was pressed.
  void ListButtonClicked(FieldKind kind);
  // The target page's "..." button was pressed.
  void BrowseTargetClicked();
  // An add button refused its rule.
  void RuleRefused(const RuleRefusal& refusal);

 private:
  QVBoxLayout* NewPage(int page);
  void BuildFilterPage();
  void BuildDatesPage();
  void BuildDateRulesPage();
  void BuildAttributesPage();
  void BuildCutInsertPage();
  void BuildNameCasePage();
  void BuildExtensionPage();
  void BuildSortPage();
  void BuildZoneMarkPage();
  void BuildNewNamePage();
  void BuildTargetPage();
  QCheckBox* Switch(const QString& caption);
  QLineEdit* FieldWithButton(FieldKind kind, const QString& cue, QWidget*& row);
  ReportView* MakeRuleList(QAbstractItemModel* model, const std::vector<int>& widths);
  void ConnectRuleList(ReportView* list, const std::function<void(int row)>& onSelect);
  CalendarParts Now() const;

  Clock now_;
  bool templateButtons_;
  bool patternButtons_;
  std::array<QPointer<QWidget>, kPageCount> pages_{};
  std::array<QWidget*, kControlCount> controls_{};
  std::array<QLineEdit*, kFieldKindCount> fields_{};
  std::array<QToolButton*, kFieldKindCount> listButtons_{};
  int64_t filledNow_ = 0;  // the picker's value that means "the date at the start of the run"

  // Page 1.
  QCheckBox* filterActive_ = nullptr;
  RuleTableModel<FilterCondition>* filterModel_ = nullptr;
  ReportView* filterList_ = nullptr;
  QComboBox* filterKind_ = nullptr;
  QStackedWidget* filterOperatorStack_ = nullptr;
  QComboBox* filterNumericOperator_ = nullptr;
  QComboBox* filterTextOperator_ = nullptr;
  QStackedWidget* filterValueStack_ = nullptr;
  QLineEdit* filterNumber_ = nullptr;
  QLineEdit* filterText_ = nullptr;
  // Page 2.
  QCheckBox* changeDates_ = nullptr;
  QButtonGroup* dateMode_ = nullptr;
  QDateTimeEdit* datePicker_ = nullptr;
  QComboBox* dateCopySource_ = nullptr;
  // Page 3.
  QCheckBox* dateRulesActive_ = nullptr;
  RuleTableModel<DateAdjustment>* dateRuleModel_ = nullptr;
  ReportView* dateRuleList_ = nullptr;
  QComboBox* dateRulePart_ = nullptr;
  QComboBox* dateRuleOperation_ = nullptr;
  QSpinBox* dateRuleAmount_ = nullptr;
  // Page 4: hidden, read-only, not indexed, archive.
  std::array<QCheckBox*, 4> attributeChange_{};
  std::array<QComboBox*, 4> attributeMode_{};
  // Page 5.
  QCheckBox* removeActive_ = nullptr;
  QComboBox* removeFromEnd_ = nullptr;
  QSpinBox* removePosition_ = nullptr;
  QSpinBox* removeCount_ = nullptr;
  QCheckBox* insertActive_ = nullptr;
  QComboBox* insertFromEnd_ = nullptr;
  QSpinBox* insertPosition_ = nullptr;
  // Page 6.
  QCheckBox* caseActive_ = nullptr;
  QComboBox* caseMode_ = nullptr;
  QCheckBox* replaceActive_ = nullptr;
  RuleTableModel<TextReplacement>* replaceModel_ = nullptr;
  ReportView* replaceList_ = nullptr;
  // Page 7.
  QCheckBox* extCaseActive_ = nullptr;
  QComboBox* extCaseMode_ = nullptr;
  QCheckBox* extRulesActive_ = nullptr;
  RuleTableModel<ExtensionCorrection>* extModel_ = nullptr;
  ReportView* extList_ = nullptr;
  QLineEdit* extTo_ = nullptr;
  // Page 8.
  QCheckBox* sortActive_ = nullptr;
  QComboBox* sortKey_ = nullptr;
  QComboBox* sortDirection_ = nullptr;
  // Page 9.
  QCheckBox* removeZoneMark_ = nullptr;
  // Page 10.
  QCheckBox* nameTemplateActive_ = nullptr;
  QCheckBox* counterPerDirectory_ = nullptr;
  QCheckBox* noLeadingZeros_ = nullptr;
  // Page 11.
  QCheckBox* targetDirActive_ = nullptr;
  QPushButton* targetBrowse_ = nullptr;
  QCheckBox* keepSubfolders_ = nullptr;
  QCheckBox* targetMove_ = nullptr;
};

// The page header every page has: its description and its icon, above the page's controls.
// Returns the layout the page's controls go into.
QVBoxLayout* MakePageLayout(QWidget* page, int pageIndex);
