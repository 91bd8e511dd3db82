#pragma once

#include "platform/LocalTime.h"
#include "records/Preset.h"
#include "ui/pages/OptionPage.h"
#include "ui/pages/ShownRules.h"

#include <QString>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;

// ---- The filter rule editor's rules, without widgets ----

inline constexpr int kFilterKindCount = 10;  // kinds the editor offers: 0..9
bool FilterKindIsNumeric(int kind);          // 3..9 compare numbers, 0..2 texts
int FilterKindCaptionEntry(int kind);        // -1 for a kind the editor does not offer
// The operator's caption entry in a rule row: numeric operators for mode 1, text operators for
// mode 2; -1 for an operator the editor does not offer.
int FilterOperatorCaptionEntry(int mode, int op);
// How many operators the editor offers for a mode, and the caption of each.
int FilterOperatorCount(int mode);
QString FilterOperatorCaption(int mode, int op);

// What the number field shows when a numeric kind is chosen: its default value and its cue
// banner with the range hint.
struct NumberFieldHint {
  QString DefaultValue;
  QString Cue;
};
NumberFieldHint FilterNumberHint(int kind, const CalendarParts& now);
// The cue banner of the text field for a text kind.
QString FilterTextCue(int kind);

// The editing controls of the filter page, as read from the widgets.
struct FilterEditorValues {
  int Kind = 0;
  int NumericOperator = 0;
  int TextOperator = 0;
  QString Number;
  QString Text;
};
// The rule the add button appends (checked), or nothing when the value is empty or is a regular
// expression that does not compile.
std::optional<FilterCondition> MakeFilterRule(const FilterEditorValues& values);
// What is wrong with the regular expression in the editor, as one line; empty when the editor
// holds no regular expression or one that compiles.
QString FilterEditorProblem(const FilterEditorValues& values);
// The editing controls for a selected rule row: kind, its operator and its value.
FilterEditorValues EditorValuesOf(const FilterCondition& rule);

// ---- The page ----

// Filter rules: the switch, the list of conditions and the editor that adds them. The editor
// shows the number controls for numeric kinds and the text controls for text kinds.
class FilterPage : public OptionPage {
 public:
  explicit FilterPage(PageSetup setup) : OptionPage(kPageFilter, std::move(setup)) {}

  void Store(Preset& settings) const override;

  // The add button: what was wrong when nothing was added.
  RuleRefusal AddRule();
  void RemoveSelectedRules();

 protected:
  void BuildControls(QVBoxLayout* layout) override;
  void FillControls(const Preset& settings) override;

 private:
  // The editor's controls for the chosen kind, with its default value when `setDefault`.
  void UpdateEditor(bool setDefault);
  void ShowRule(int row);
  FilterEditorValues EditorValues() const;
  // Marked while being typed: the field turns red and the line under it says what is wrong.
  void ShowExpressionProblem();

  QCheckBox* active_ = nullptr;
  ShownRules<FilterCondition> rules_;
  QComboBox* kind_ = nullptr;
  QStackedWidget* operatorStack_ = nullptr;
  QComboBox* numericOperator_ = nullptr;
  QComboBox* textOperator_ = nullptr;
  QStackedWidget* valueStack_ = nullptr;
  QLineEdit* number_ = nullptr;
  QLineEdit* text_ = nullptr;
  QLabel* regexProblem_ = nullptr;  // what is wrong with the expression being typed
};
