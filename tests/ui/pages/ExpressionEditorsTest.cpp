#include "ui/pages/OptionPages.h"

#include "ui/pages/ExtensionPage.h"
#include "ui/pages/FilterPage.h"
#include "ui/pages/NameCasePage.h"

#include "filelist/Prepare.h"
#include "support/UiTestSupport.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "ui/widgets/UiTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <functional>
#include <memory>

// The rule editors that take regular expressions: an expression that does not compile is marked
// while it is typed, and the expression switches are usable exactly while the editor is.
namespace {

class ExpressionEditorsTest : public testing::Test {
 public:
  void SetUp() override {
    LoadUiResources();
    pages_ = std::make_unique<OptionPages>(true, true, [] { return int64_t{0}; });
    Preset p = WorkingPreset();
    p.FilterActive = p.ReplaceActive = p.ExtRulesActive = 1;
    pages_->Fill(p);
  }

  QCheckBox* Box(int page, const QString& caption) const {
    for (QCheckBox* box : pages_->Page(page)->findChildren<QCheckBox*>()) {
      QString text = box->text();
      text.remove(u'&');
      if (text == caption) return box;
    }
    return nullptr;
  }
  QLabel* ProblemLine(int page) const {
    return pages_->Page(page)->findChild<QLabel*>(QStringLiteral("expressionProblem"));
  }

  std::unique_ptr<OptionPages> pages_;
};

// Each editor: how to put it into regular-expression mode and out of it, the field the
// expression is typed in, and its add button.
struct Editor {
  const char* Name;
  int Page;
  FieldKind Field;
  std::function<void(ExpressionEditorsTest&, OptionPages&, bool regex)> SetRegex;
  std::function<RuleRefusal(OptionPages&)> Add;
};

TEST_F(ExpressionEditorsTest, AnExpressionThatDoesNotCompileIsMarkedWhileTyped) {
  const Editor editors[] = {
      {"filter", kPageFilter, FieldKind::FilterText,
       [](ExpressionEditorsTest&, OptionPages& pages, bool regex) {
         qobject_cast<QComboBox*>(pages.ControlWidget(Control::FilterKind))
             ->setCurrentIndex(kFilterName);
         qobject_cast<QComboBox*>(pages.ControlWidget(Control::FilterTextOperator))
             ->setCurrentIndex(regex ? kOperatorRegexMatches : kOperatorContains);
       },
       [](OptionPages& pages) { return pages.Get<FilterPage>()->AddRule(); }},
      {"replace", kPageNameCase, FieldKind::FindText,
       [](ExpressionEditorsTest& t, OptionPages&, bool regex) {
         t.Box(kPageNameCase, AdditionText(kAddRegexSwitch))->setChecked(regex);
       },
       [](OptionPages& pages) { return pages.Get<NameCasePage>()->AddRule(); }},
      {"extension", kPageExtension, FieldKind::OldExtensions,
       [](ExpressionEditorsTest& t, OptionPages& pages, bool regex) {
         t.Box(kPageExtension, AdditionText(kAddRegexSwitch))->setChecked(regex);
         qobject_cast<QLineEdit*>(pages.ControlWidget(Control::ExtTo))
             ->setText(QStringLiteral("jpg"));
       },
       [](OptionPages& pages) { return pages.Get<ExtensionPage>()->AddRule(); }},
  };
  for (const Editor& editor : editors) {
    SCOPED_TRACE(editor.Name);
    QLineEdit* field = pages_->Field(editor.Field);
    QLabel* line = ProblemLine(editor.Page);
    ASSERT_NE(field, nullptr);
    ASSERT_NE(line, nullptr);
    editor.SetRegex(*this, *pages_, true);

    // Typed one letter after another: the open group is marked until it is closed.
    field->clear();
    for (const QChar c : QStringLiteral("ab(c")) field->insert(QString(c));
    EXPECT_FALSE(line->isHidden());
    EXPECT_TRUE(line->text().contains(QStringLiteral("parenthesis"))) << line->text().toStdString();
    EXPECT_TRUE(line->text().contains(u'5')) << "the position: " << line->text().toStdString();
    EXPECT_FALSE(field->styleSheet().isEmpty()) << "the field is marked";
    const RuleRefusal refusal = editor.Add(*pages_);
    EXPECT_EQ(refusal.Problem, RuleProblem::InvalidExpression);
    EXPECT_EQ(refusal.Field, field);

    field->insert(QStringLiteral(")"));
    EXPECT_TRUE(line->isHidden());
    EXPECT_TRUE(field->styleSheet().isEmpty());

    // The same text is no fault as a wildcard pattern.
    field->setText(QStringLiteral("ab(c"));
    EXPECT_FALSE(line->isHidden());
    editor.SetRegex(*this, *pages_, false);
    EXPECT_TRUE(line->isHidden()) << "a wildcard pattern is no expression";
    EXPECT_EQ(editor.Add(*pages_).Problem, RuleProblem::None);

    // An empty field is not marked; the add button says what is missing.
    editor.SetRegex(*this, *pages_, true);
    field->clear();
    EXPECT_TRUE(line->isHidden());
    EXPECT_EQ(editor.Add(*pages_).Problem, RuleProblem::EmptyValue);
  }

  // A numeric kind shows no text field, so nothing of it is marked.
  pages_->Field(FieldKind::FilterText)->setText(QStringLiteral("a["));
  EXPECT_FALSE(ProblemLine(kPageFilter)->isHidden());
  qobject_cast<QComboBox*>(pages_->ControlWidget(Control::FilterKind))
      ->setCurrentIndex(kFilterYear);
  EXPECT_TRUE(ProblemLine(kPageFilter)->isHidden());
  // Of all the tries, only the wildcard rule was added.
  Preset stored;
  pages_->Store(stored);
  ASSERT_FALSE(stored.FilterConditions.isEmpty());
  EXPECT_EQ(stored.FilterConditions.back().Operator, kOperatorContains);
}

TEST_F(ExpressionEditorsTest, ExpressionSwitchesFollowTheirEditor) {
  const struct {
    const char* Name;
    int Page;
    int Switch;      // the enabling check box of the editor
    Control Beside;  // a field of the same editor
  } editors[] = {
      {"replace", kPageNameCase, kTextNameFindReplace, Control::ReplaceFind},
      {"extension", kPageExtension, kTextExtensionCorrectExtensions, Control::ExtFrom},
  };
  for (const auto& editor : editors) {
    SCOPED_TRACE(editor.Name);
    QCheckBox* on = Box(editor.Page, Caption(editor.Switch) + u':');
    QCheckBox* regex = Box(editor.Page, AdditionText(kAddRegexSwitch));
    QCheckBox* letterCase = Box(editor.Page, AdditionText(kAddRegexCaseSwitch));
    QWidget* beside = pages_->ControlWidget(editor.Beside);
    ASSERT_NE(on, nullptr);
    ASSERT_NE(regex, nullptr);
    ASSERT_NE(letterCase, nullptr);
    ASSERT_TRUE(on->isChecked());

    regex->setChecked(false);
    EXPECT_TRUE(regex->isEnabled());
    EXPECT_FALSE(letterCase->isEnabled()) << "letter case only counts for an expression";
    regex->setChecked(true);
    EXPECT_TRUE(letterCase->isEnabled());

    on->click();
    EXPECT_FALSE(beside->isEnabled());
    EXPECT_FALSE(regex->isEnabled()) << "off like the fields beside it";
    EXPECT_FALSE(letterCase->isEnabled());
    regex->setChecked(false);
    regex->setChecked(true);
    EXPECT_FALSE(letterCase->isEnabled()) << "the expression switch does not turn it back on";

    on->click();
    EXPECT_TRUE(beside->isEnabled());
    EXPECT_TRUE(regex->isEnabled());
    EXPECT_TRUE(letterCase->isEnabled());

    // Filled from a preset with the editor off, as the window is built.
    Preset off = WorkingPreset();
    off.ReplaceActive = off.ExtRulesActive = 0;
    pages_->Fill(off);
    EXPECT_FALSE(regex->isEnabled());
    EXPECT_FALSE(letterCase->isEnabled());
    Preset back = off;
    back.ReplaceActive = back.ExtRulesActive = 1;
    pages_->Fill(back);
  }
}

}  // namespace
