#pragma once

#include "platform/LocalTime.h"
#include "records/Pages.h"
#include "records/Preset.h"
#include "ui/pages/PageRules.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class QAbstractItemModel;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;
class QWidget;
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

// The caption of a file date (DateSource: last access, modified, created), as every page names
// it; empty for a value that names none.
inline constexpr int kFileDateCount = 3;
QString FileDateCaption(int source);

// Why the add button of a rule list added nothing, for the window to explain.
struct RuleRefusal {
  RuleProblem Problem = RuleProblem::None;
  QLineEdit* Field = nullptr;  // the field to correct
};

// What every page is built with: the two button options of the preset the window is built for,
// and the clock that gives the current local date (the date picker's "now", the defaults of the
// rule editors); tests pass a fixed clock.
struct PageSetup {
  bool TemplateButtons = true;
  bool PatternButtons = true;
  std::function<int64_t()> Now;
};

// One option page: its controls under the page's header (description and icon), filled from a
// preset and stored back into it, enabled as the page rules say. A page class builds its
// controls, fills and stores its own fields of the preset and nothing else; everything a page
// has in common with the others is here.
class OptionPage : public QObject {
  Q_OBJECT

 public:
  OptionPage(PageIndex id, PageSetup setup);
  ~OptionPage() override;  // deletes the page's widget when no window has taken it

  PageIndex Id() const { return id_; }
  // Parentless until the window takes it.
  QWidget* Widget() const { return widget_.data(); }

  // Makes the widget with its header and the page's controls. Called once, by the owner, right
  // after construction (a constructor cannot call the page class's own building).
  void Build();
  // Sets the page's controls from the settings, rule lists included, without reporting edits
  // or switch changes; then recomputes the enabled controls.
  void Fill(const Preset& settings);
  // Writes the page's controls into the settings: its own fields, no other.
  virtual void Store(Preset& settings) const = 0;
  // Enables each control of the page as the page rules say for the page's controls now.
  void UpdateEnabling();

  // The widget of a control of this page; nullptr for one it lacks (a "<" button while its
  // option is off, or a control of another page).
  QWidget* ControlWidget(Control control) const;
  // A field the pop-ups serve, and its "<" button; nullptr when the page has none.
  QLineEdit* Field(FieldKind kind) const;
  QToolButton* ListButton(FieldKind kind) const;
  // The page's rule list; nullptr for a page without one.
  ReportView* RuleList() const { return ruleList_; }

 signals:
  // Any control of the page changed, by the user or by one of the page's own commands: the
  // settings the page holds may be different. Not while the page is filled.
  void Edited();
  // An enabling check box changed: the page's row in the page list may change.
  void SwitchesChanged();
  // A "<" button was pressed.
  void ListButtonClicked(FieldKind kind);
  // An add button refused its rule.
  void RuleRefused(const RuleRefusal& refusal);

 protected:
  virtual void BuildControls(QVBoxLayout* layout) = 0;
  virtual void FillControls(const Preset& settings) = 0;

  const PageSetup& Setup() const { return setup_; }
  // The current local date, as a date value and in parts.
  int64_t NowDate() const;
  CalendarParts Now() const;

  // An enabling check box: it updates the page's enabling and reports the switch change.
  QCheckBox* NewSwitch(const QString& caption);
  // A text field served by the pop-ups, with its "<" button when the preset's option says so;
  // `row` receives the widget holding both.
  QLineEdit* NewField(FieldKind kind, const QString& cue, QWidget*& row);
  // A rule list over `model`, the page's one rule list; its selection enables the remove
  // button registered with it.
  ReportView* NewRuleList(QAbstractItemModel* model, const std::vector<int>& widths);
  // Calls `chosen` with the row whenever the user picks a rule row, to put it into the editor.
  void OnRuleChosen(const std::function<void(int row)>& chosen);

  // Makes the page rules decide the widget's enabled state. A remove button names the list
  // whose selection it needs.
  void Register(Control control, QWidget* widget, ReportView* selection = nullptr);
  // A widget enabled while one of the page's switches is set: a control added beside the ones
  // the page rules name, whose rule is no more than that, or that and `also` (a control that
  // only matters while another control of the editor is on).
  void EnableWhile(QWidget* widget, int8_t Preset::*pageSwitch, std::function<bool()> also = {});
  // Reports a change the controls' own signals do not show (one made with signals blocked).
  void ReportEdit();
  // A rule refusal goes out; a refusal of nothing goes nowhere.
  void Refuse(const RuleRefusal& refusal);

  // Pieces the pages share.
  static QString WithColon(int entry);
  static QHBoxLayout* NewRowLayout();
  // The pair of buttons under a rule list: remove on the left, add on the right, equally wide.
  static QHBoxLayout* RuleButtonRow(QPushButton* remove, QPushButton* add);
  static QLabel* NewArrowImage();
  static QLabel* NewRightLabel(const QString& text, QWidget* buddy);
  // The line under a rule editor that says what is wrong with the expression being typed: red,
  // wrapped, hidden while there is nothing to say.
  static QLabel* NewProblemLine();
  // Puts `problem` on the line and marks the field red; an empty text clears and hides both.
  static void ShowProblem(QLineEdit* field, QLabel* line, const QString& problem);

 private:
  struct Registered {
    Control Which;
    QWidget* Widget;
    ReportView* Selection;
  };
  void WatchEdits();
  bool FollowsOwnSwitches() const;

  PageIndex id_;
  PageSetup setup_;
  QPointer<QWidget> widget_;
  std::vector<Registered> controls_;
  struct Follower {
    QWidget* Widget;
    int8_t Preset::*Switch;
    std::function<bool()> Also;
  };
  std::vector<Follower> followers_;
  std::vector<QCheckBox*> switches_;
  std::vector<std::pair<FieldKind, QLineEdit*>> fields_;
  std::vector<std::pair<FieldKind, QToolButton*>> listButtons_;
  ReportView* ruleList_ = nullptr;
  bool built_ = false;
  bool filling_ = false;
};

// The page header every page has: its description and its icon, above the page's controls.
// Returns the layout the page's controls go into. The loaded-files page, which the window
// builds itself, uses it too.
QVBoxLayout* MakePageLayout(QWidget* page, int pageIndex);
