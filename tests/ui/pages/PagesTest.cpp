#include "ui/pages/OptionPages.h"

#include "ui/pages/AttributesPage.h"
#include "ui/pages/DateRulesPage.h"
#include "ui/pages/ExtensionPage.h"
#include "ui/pages/FilterPage.h"
#include "ui/pages/NameCasePage.h"

#include "platform/LocalTime.h"
#include "settings/PresetsFile.h"
#include "support/UiTestSupport.h"
#include "ui/widgets/ReportView.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>
#include <memory>

namespace {

// 2026-12-08 14:30:05 in local calendar time.
const int64_t kNow = DateFromParts({2026, 12, 8, 14, 30, 5});

class PagesTest : public testing::Test {
 protected:
  void SetUp() override { LoadUiResources(); }

  static std::unique_ptr<OptionPages> MakePages(bool templateButtons = true,
                                                bool patternButtons = true) {
    return std::make_unique<OptionPages>(templateButtons, patternButtons, [] { return kNow; });
  }

  template <typename T>
  static T* Find(OptionPages& pages, int page, const QString& text) {
    for (T* widget : pages.Page(page)->findChildren<T*>()) {
      QString caption = widget->text();
      caption.remove(u'&');
      if (caption == text) return widget;
    }
    return nullptr;
  }
};

// The page controls store what was filled, to the last field and rule.
TEST_F(PagesTest, FillThenStoreGivesBackTheSamePreset) {
  QList<Preset> presets = {WorkingPreset()};
  presets += BuiltinPresets();
  presets << PresetOffDefaults();
  for (const Preset& original : presets) {
    const auto pages = MakePages();
    pages->Fill(original);
    Preset stored = original;
    // Start from other values, so that a field the pages forget shows up.
    stored.CopySettingsFrom(Preset());
    stored.SelectedPage = original.SelectedPage;
    stored.TemplateButtons = original.TemplateButtons;
    stored.PatternButtons = original.PatternButtons;
    stored.AlwaysOnTop = original.AlwaysOnTop;
    stored.IncludeSubdirectories = original.IncludeSubdirectories;
    stored.IncludeHidden = original.IncludeHidden;
    stored.FilterDateSource = original.FilterDateSource;
    stored.DatePlaceholderSource = original.DatePlaceholderSource;
    stored.ListKeepFiltered = original.ListKeepFiltered;
    stored.ListKeepSources = original.ListKeepSources;
    stored.ListKeepFailed = original.ListKeepFailed;
    stored.ListKeepTargets = original.ListKeepTargets;
    stored.ListKeepUnprocessed = original.ListKeepUnprocessed;
    stored.QuitAfterRun = original.QuitAfterRun;
    pages->Store(stored);
    EXPECT_EQ(stored, original) << original.PresetName.toStdString();
    EXPECT_EQ(stored.FilterConditions, original.FilterConditions);
    EXPECT_EQ(stored.DateAdjustments, original.DateAdjustments);
    EXPECT_EQ(stored.TextReplacements, original.TextReplacements);
    EXPECT_EQ(stored.ExtensionCorrections, original.ExtensionCorrections);
    EXPECT_EQ(stored.FixedDate, original.FixedDate);
  }
}

TEST_F(PagesTest, DatePickerShowsNowForNoDateAndKeepsAChosenOne) {
  const auto pages = MakePages();
  Preset p = WorkingPreset();
  p.FixedDate = 0;
  pages->Fill(p);
  EXPECT_EQ(pages->DatePickerValue(), kNow);
  Preset stored;
  pages->Store(stored);
  EXPECT_EQ(stored.FixedDate, 0) << "an untouched picker means the date at the start of the run";

  auto* picker = qobject_cast<QDateTimeEdit*>(pages->ControlWidget(Control::DatePicker));
  ASSERT_NE(picker, nullptr);
  picker->setDateTime(picker->dateTime().addSecs(3600));
  pages->Store(stored);
  EXPECT_EQ(stored.FixedDate, kNow + 3600);
  EXPECT_EQ(stored.DateMode, 1) << "choosing a date picks the fixed-date mode";
}

// The enabling rules, through the real widgets: what the table says is what the pages do.
TEST_F(PagesTest, WidgetsFollowTheEnablingRules) {
  const auto pages = MakePages();
  QList<Preset> cases;
  Preset off;
  off.TargetDirActive = 0;
  cases << off << PresetOffDefaults() << WorkingPreset();
  for (const Preset& settings : cases) {
    pages->Fill(settings);
    for (int i = 0; i < kControlCount; ++i) {
      const auto control = static_cast<Control>(i);
      QWidget* widget = pages->ControlWidget(control);
      ASSERT_NE(widget, nullptr) << i;
      ReportView* list = pages->RuleList(PageOfControl(control));
      const bool selected = list != nullptr && list->HasSelection();
      EXPECT_EQ(widget->isEnabled(), ControlEnabled(control, settings, selected))
          << "control " << i;
    }
  }
}

TEST_F(PagesTest, TickingAnEnablingBoxEnablesItsControlsAtOnce) {
  const auto pages = MakePages();
  Preset off;
  off.TargetDirActive = 0;
  pages->Fill(off);
  int changes = 0;
  QObject::connect(pages.get(), &OptionPages::SwitchesChanged, [&] { ++changes; });
  QWidget* combo = pages->ControlWidget(Control::CaseMode);
  EXPECT_FALSE(combo->isEnabled());
  QCheckBox* box = Find<QCheckBox>(*pages, kPageNameCase, Caption(136) + u':');
  ASSERT_NE(box, nullptr);
  box->click();
  EXPECT_TRUE(combo->isEnabled());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(pages->Switches().CaseActive, 1);
}

TEST_F(PagesTest, AttributeButtonsSetEveryRow) {
  const auto pages = MakePages();
  Preset p = WorkingPreset();
  pages->Fill(p);
  pages->Get<AttributesPage>()->ClearAll();
  pages->Store(p);
  EXPECT_EQ(p.HiddenChange + p.ReadOnlyChange + p.ArchiveChange + p.NotIndexedChange, 4);
  EXPECT_EQ(p.HiddenClear + p.ReadOnlyClear + p.ArchiveClear + p.NotIndexedClear, 4);
  for (const Control c :
       {Control::HiddenMode, Control::ReadOnlyMode, Control::ArchiveMode, Control::NotIndexedMode})
    EXPECT_TRUE(pages->ControlWidget(c)->isEnabled());
  pages->Get<AttributesPage>()->ChangeNone();
  pages->Store(p);
  EXPECT_EQ(p.HiddenChange + p.ReadOnlyChange + p.ArchiveChange + p.NotIndexedChange, 0);
  EXPECT_EQ(p.HiddenClear + p.ReadOnlyClear + p.ArchiveClear + p.NotIndexedClear, 0);
  for (const Control c :
       {Control::HiddenMode, Control::ReadOnlyMode, Control::ArchiveMode, Control::NotIndexedMode})
    EXPECT_FALSE(pages->ControlWidget(c)->isEnabled());
}

TEST_F(PagesTest, AddingRulesValidatesTheEditor) {
  const auto pages = MakePages();
  Preset p = WorkingPreset();
  p.FilterActive = p.ReplaceActive = p.ExtRulesActive = p.DateRulesActive = 1;
  pages->Fill(p);

  // Filter: kind 9 (year) pre-fills the current year; an emptied value adds nothing.
  auto* kind = qobject_cast<QComboBox*>(pages->ControlWidget(Control::FilterKind));
  auto* number = qobject_cast<QLineEdit*>(pages->ControlWidget(Control::FilterNumber));
  kind->setCurrentIndex(9);
  EXPECT_EQ(number->text(), QStringLiteral("2026"));
  EXPECT_TRUE(number->placeholderText().endsWith(QStringLiteral("  (1970-2037)")));
  number->clear();
  EXPECT_EQ(pages->Get<FilterPage>()->AddRule().Problem, RuleProblem::EmptyValue);
  EXPECT_EQ(pages->RuleList(kPageFilter)->model()->rowCount(), 0);
  number->setText(QStringLiteral("2011"));
  EXPECT_EQ(pages->Get<FilterPage>()->AddRule().Problem, RuleProblem::None);
  // A text kind shows the text field; its rule keeps the text operator.
  kind->setCurrentIndex(2);
  EXPECT_TRUE(pages->Field(FieldKind::FilterText)->isVisibleTo(pages->Page(kPageFilter)));
  EXPECT_FALSE(number->isVisibleTo(pages->Page(kPageFilter)));
  pages->Field(FieldKind::FilterText)->setText(QStringLiteral("jpg"));
  EXPECT_EQ(pages->Get<FilterPage>()->AddRule().Problem, RuleProblem::None);
  ASSERT_EQ(pages->RuleList(kPageFilter)->model()->rowCount(), 2);
  EXPECT_EQ(pages->RuleList(kPageFilter)->SelectedRows(), std::vector<int>{1})
      << "the new row is the selected one";

  // Selecting the first row puts its kind and value back into the editor.
  ReportView* filterList = pages->RuleList(kPageFilter);
  filterList->selectionModel()->setCurrentIndex(
      filterList->model()->index(0, 1),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  EXPECT_EQ(kind->currentIndex(), 9);
  EXPECT_EQ(number->text(), QStringLiteral("2011"));

  // Find/replace: nothing to find, then a replacement that cannot be part of a name.
  QLineEdit* find = pages->Field(FieldKind::FindText);
  QLineEdit* with = pages->Field(FieldKind::ReplaceWith);
  RuleRefusal refusal = pages->Get<NameCasePage>()->AddRule();
  EXPECT_EQ(refusal.Problem, RuleProblem::EmptyValue);
  EXPECT_EQ(refusal.Field, find);
  find->setText(QStringLiteral("_"));
  with->setText(QStringLiteral("a:b"));
  refusal = pages->Get<NameCasePage>()->AddRule();
  EXPECT_EQ(refusal.Problem, RuleProblem::InvalidCharacters);
  EXPECT_EQ(refusal.Field, with);
  with->clear();
  EXPECT_EQ(pages->Get<NameCasePage>()->AddRule().Problem, RuleProblem::None)
      << "an empty replacement removes";

  // Extension: the new extension must be a name.
  pages->Field(FieldKind::OldExtensions)->setText(QStringLiteral("jpeg"));
  EXPECT_EQ(pages->Get<ExtensionPage>()->AddRule().Problem, RuleProblem::EmptyTarget);

  // Date rules: operation "add" on the year allows 1 to 50.
  auto* part = qobject_cast<QComboBox*>(pages->ControlWidget(Control::DateRulePart));
  auto* operation = qobject_cast<QComboBox*>(pages->ControlWidget(Control::DateRuleOperation));
  auto* amount = qobject_cast<QSpinBox*>(pages->ControlWidget(Control::DateRuleAmount));
  part->setCurrentIndex(11);
  operation->setCurrentIndex(1);
  EXPECT_EQ(amount->minimum(), 1);
  EXPECT_EQ(amount->maximum(), 50);
  operation->setCurrentIndex(0);
  EXPECT_EQ(amount->minimum(), 1970);
  EXPECT_EQ(amount->value(), 2026);
  pages->Get<DateRulesPage>()->AddRule();

  pages->Store(p);
  ASSERT_EQ(p.FilterConditions.size(), 2);
  EXPECT_EQ(p.FilterConditions[0],
            (FilterCondition{kItemChecked | kItemSelected, 9, 0, QStringLiteral("2011"), 1}));
  EXPECT_EQ(p.FilterConditions[1].Mode, 2);
  ASSERT_EQ(p.TextReplacements.size(), 1);
  EXPECT_EQ(p.TextReplacements[0].Replacement, QString());
  EXPECT_TRUE(p.ExtensionCorrections.isEmpty());
  ASSERT_EQ(p.DateAdjustments.size(), 1);
  EXPECT_EQ(p.DateAdjustments[0].Unit, 11);
  EXPECT_EQ(p.DateAdjustments[0].Amount, 2026);

  // Removing the selected rules.
  pages->Get<FilterPage>()->RemoveSelectedRules();
  pages->Store(p);
  EXPECT_EQ(p.FilterConditions.size(), 1);
}

// With the button option off, the field spans the width the "<" button had.
TEST_F(PagesTest, ListButtonsFollowTheOptionsAndTheFieldTakesTheirWidth) {
  struct Case {
    FieldKind Kind;
    int Page;
  } cases[] = {{FieldKind::NameTemplate, kPageNewName}, {FieldKind::TargetTemplate, kPageTarget},
               {FieldKind::InsertText, kPageCutInsert}, {FieldKind::ReplaceWith, kPageNameCase},
               {FieldKind::FindText, kPageNameCase},    {FieldKind::OldExtensions, kPageExtension},
               {FieldKind::FilterText, kPageFilter}};
  const auto widthOf = [](OptionPages& pages, int page, FieldKind kind) {
    QWidget holder;
    auto* layout = new QVBoxLayout(&holder);
    layout->addWidget(pages.Page(page));
    holder.resize(900, 600);
    holder.show();
    ProcessEvents();
    const int width = pages.Field(kind)->width();
    const int buttonWidth = pages.ListButton(kind) != nullptr ? pages.ListButton(kind)->width() : 0;
    pages.Page(page)->setParent(nullptr);
    return std::pair{width, buttonWidth};
  };
  for (const Case& c : cases) {
    const bool templateField = IsTemplateField(c.Kind);
    const auto with = MakePages(true, true);
    const auto without = MakePages(!templateField, templateField);
    with->Fill(PresetOffDefaults());
    without->Fill(PresetOffDefaults());
    ASSERT_NE(with->ListButton(c.Kind), nullptr) << static_cast<int>(c.Kind);
    EXPECT_EQ(without->ListButton(c.Kind), nullptr) << static_cast<int>(c.Kind);
    EXPECT_EQ(with->ListButton(c.Kind)->toolTip(), PlainCaption(templateField ? 10 : 11));
    const auto [widthWith, buttonWidth] = widthOf(*with, c.Page, c.Kind);
    const auto [widthWithout, none] = widthOf(*without, c.Page, c.Kind);
    EXPECT_EQ(none, 0);
    // The field grows by the button and the gap between them.
    EXPECT_GE(widthWithout, widthWith + buttonWidth) << static_cast<int>(c.Kind);
    EXPECT_LE(widthWithout, widthWith + buttonWidth + 8) << static_cast<int>(c.Kind);
  }
}

// Every kind of edit on any page reaches the one Edited signal while the user works, so that the
// new names can follow; filling the pages is one edit in all, not one per control.
TEST_F(PagesTest, EveryEditIsReportedThroughOneSignal) {
  using Edit = std::function<void(OptionPages&)>;
  const auto widget = [](OptionPages& pages, Control control) {
    return pages.ControlWidget(control);
  };
  const struct {
    const char* Name;
    Edit Do;
  } edits[] = {
      {"typing a template",
       [](OptionPages& pages) {
         pages.Field(FieldKind::NameTemplate)->insert(QStringLiteral("x"));
       }},
      {"an enabling check box",
       [](OptionPages& pages) { pages.Page(kPageNewName)->findChild<QCheckBox*>()->click(); }},
      {"a combo box",
       [&](OptionPages& pages) {
         qobject_cast<QComboBox*>(widget(pages, Control::CaseMode))->setCurrentIndex(0);
       }},
      {"a spin box",
       [&](OptionPages& pages) {
         qobject_cast<QSpinBox*>(widget(pages, Control::RemovePosition))->setValue(3);
       }},
      {"the date picker",
       [&](OptionPages& pages) {
         auto* picker = qobject_cast<QDateTimeEdit*>(widget(pages, Control::DatePicker));
         picker->setDateTime(picker->dateTime().addDays(1));
       }},
      {"a radio button",
       [&](OptionPages& pages) {
         qobject_cast<QRadioButton*>(widget(pages, Control::DateModeCopy))->click();
       }},
      {"adding a rule",
       [&](OptionPages& pages) {
         pages.Field(FieldKind::FindText)->setText(QStringLiteral("a"));
         qobject_cast<QPushButton*>(widget(pages, Control::ReplaceAdd))->click();
       }},
      {"a rule's check mark",
       [](OptionPages& pages) {
         QAbstractItemModel* model = pages.RuleList(kPageExtension)->model();
         model->setData(model->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
       }},
      {"removing rules",
       [&](OptionPages& pages) {
         qobject_cast<QPushButton*>(widget(pages, Control::FilterRemove))->click();
       }},
      // The four boxes change with their signals blocked; the page reports it all the same.
      {"clearing every attribute",
       [](OptionPages& pages) { pages.Get<AttributesPage>()->ClearAll(); }},
  };
  Preset start = PresetOffDefaults();
  start.HiddenChange = start.ReadOnlyChange = start.NotIndexedChange = start.ArchiveChange = 0;
  start.HiddenClear = start.ReadOnlyClear = start.NotIndexedClear = start.ArchiveClear = 1;
  for (const auto& edit : edits) {
    const auto pages = MakePages();
    int edited = 0;
    QObject::connect(pages.get(), &OptionPages::Edited, [&] { ++edited; });
    pages->Fill(start);
    EXPECT_EQ(edited, 1) << edit.Name << ": filling is one edit";
    Preset before;
    pages->Store(before);
    edit.Do(*pages);
    Preset after;
    pages->Store(after);
    EXPECT_FALSE(after == before) << edit.Name << " changed no setting";
    EXPECT_GE(edited, 2) << edit.Name << " was not reported";
  }
}

// A page of its own, as a new page would be written: one class over the page interface.
class ProbePage : public OptionPage {
 public:
  ProbePage() : OptionPage(kPageNewName, {true, true, [] { return kNow; }}) {}

  void Store(Preset& s) const override {
    s.NameTemplateActive = active_->isChecked() ? 1 : 0;
    s.NameTemplate = field_->text();
  }
  QCheckBox* Active() const { return active_; }
  QCheckBox* Extra() const { return extra_; }

 protected:
  void BuildControls(QVBoxLayout* layout) override {
    active_ = NewSwitch(QStringLiteral("on"));
    QWidget* row = nullptr;
    field_ = NewField(FieldKind::NameTemplate, QStringLiteral("cue"), row);
    extra_ = new QCheckBox(QStringLiteral("extra"));
    layout->addWidget(active_);
    layout->addWidget(row);
    layout->addWidget(extra_);
    Register(Control::NameTemplate, field_);
    EnableWhile(extra_, &Preset::NameTemplateActive);
  }
  void FillControls(const Preset& s) override {
    active_->setChecked(s.NameTemplateActive != 0);
    field_->setText(s.NameTemplate);
  }

 private:
  QCheckBox* active_ = nullptr;
  QLineEdit* field_ = nullptr;
  QCheckBox* extra_ = nullptr;
};

TEST_F(PagesTest, APageClassGetsItsHeaderEnablingAndSignalsFromTheInterface) {
  ProbePage page;
  page.Build();
  ASSERT_NE(page.Widget(), nullptr);
  const auto* description = page.Widget()->findChild<QLabel*>(QStringLiteral("pageDescription"));
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(description->text(), PageDescription(kPageNewName));
  ASSERT_NE(page.ListButton(FieldKind::NameTemplate), nullptr);

  int edited = 0;
  int switched = 0;
  QObject::connect(&page, &OptionPage::Edited, [&] { ++edited; });
  QObject::connect(&page, &OptionPage::SwitchesChanged, [&] { ++switched; });
  Preset off;
  off.NameTemplateActive = 0;
  off.NameTemplate = QStringLiteral("%FN%");
  page.Fill(off);
  EXPECT_EQ(edited + switched, 0) << "filling is no edit of the page";
  EXPECT_FALSE(page.ControlWidget(Control::NameTemplate)->isEnabled());
  EXPECT_FALSE(page.Extra()->isEnabled()) << "follows the page's switch";

  page.Active()->click();
  EXPECT_EQ(switched, 1);
  EXPECT_GE(edited, 1);
  EXPECT_TRUE(page.ControlWidget(Control::NameTemplate)->isEnabled());
  EXPECT_TRUE(page.Extra()->isEnabled());
  EXPECT_EQ(page.ControlWidget(Control::TargetMove), nullptr) << "a control of another page";

  // Storing writes the page's own fields and no other.
  Preset stored;
  page.Store(stored);
  Preset expected;
  expected.NameTemplateActive = 1;
  expected.NameTemplate = QStringLiteral("%FN%");
  EXPECT_EQ(stored, expected);
}

}  // namespace
