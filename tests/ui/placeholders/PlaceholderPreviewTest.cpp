#include "ui/placeholders/PlaceholderPopups.h"
#include "ui/placeholders/PlaceholderPreviewSegments.h"
#include "ui/placeholders/PlaceholderPreviewThrottle.h"
#include "ui/placeholders/PlaceholderPreviewWindow.h"

#include "support/HelperTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>
#include <vector>

using namespace helpers_test;

namespace {

PathFolders SampleFolders() {
  PathFolders folders;
  folders.Desktop = Q("/home/ann/Desktop/");
  folders.Documents = Q("/home/ann/Documents");  // a missing "/" is added
  return folders;                                // the program folder is unknown
}

// "text|kind|sample" per segment, joined by " + ", so a row reads as the preview would.
std::string Describe(const QList<PreviewSegment>& segments) {
  std::string out;
  for (const PreviewSegment& s : segments) {
    if (!out.empty()) out += " + ";
    out += s.Text.toStdString() + "|" + std::to_string(s.Kind) + "|" + s.Sample.toStdString();
  }
  return out;
}

struct SegmentRow {
  PlaceholderField field;
  const char* text;
  const char* expected;
};

TEST(SegmentTemplate, PerFieldKind) {
  using F = PlaceholderField;
  const SegmentRow rows[] = {
      {F::kNameTemplate, "(%001%) %FN%", "(|0|( + %001%|1|001 + ) |0|)  + %FN%|2|IMG0087"},
      // Placeholders are read in any letter case.
      {F::kNameTemplate, "%fn%_%dy%", "%FN%|2|IMG0087 + _|0|_ + %DY%|10|2011"},
      // Only the first counter counts; the second stays text.
      {F::kNameTemplate, "%01%-%001%", "%01%|1|01 + -%001%|0|-%001%"},
      {F::kNameTemplate, "100% done %DS%", "100% done |0|100% done  + %DS%|5|43"},
      {F::kNameTemplate, "%12a%", "%12a%|0|%12a%"},
      {F::kNameTemplate, "%FSK%%FSM%%DI%%DH%%DD%%DM%",
       "%FSK%|3|1394 + %FSM%|4|1 + %DI%|6|08 + %DH%|7|10 + %DD%|8|25 + %DM%|9|06"},
      {F::kNameTemplate, "%CC%", "%CC%|11|61EC39A5"},
      {F::kNameTemplate, "", ""},
      // The insert and replace-with texts take no %FN% and no counter.
      {F::kInsertText, "%FN%-%FSK%", "%FN%-|0|%FN%- + %FSK%|3|1394"},
      {F::kInsertText, "%001%", "%001%|0|%001%"},
      {F::kReplaceWith, "%CM%", "%CM%|12|A58C201697C54B3CA31A09081E451F0B"},
      {F::kReplaceWith, "%cs%", "%CS%|13|2DA642A8D91E5FDD41DA78073432D5544C6CAF07"},
      // A target template reads as the folder it makes.
      {F::kTargetDir, "%PD%\\output\\%DY%\\",
       "%PD%|14|/home/ann/Desktop/ + \\output\\|0|output/ + %DY%|10|2011 + \\|0|/"},
      {F::kTargetDir, "%Pp%out", "%Pp%|15|/home/ann/Documents/ + out|0|out"},
      // An unknown folder shows the placeholder; the separator after it then stays.
      {F::kTargetDir, "%PC%\\x\\", "%PC%|16|%PC% + \\x\\|0|/x/"},
      {F::kTargetDir, "%PF%Sorted\\", "%PF%|17|/home/user/Pictures/ + Sorted\\|0|Sorted/"},
      {F::kTargetDir, "x%PD%", "x%PD%|0|x%PD%"},
      {F::kTargetDir, "%PD%%001%%FN%",
       "%PD%|14|/home/ann/Desktop/ + %001%|0|%001% + %FN%|2|IMG0087"},
      {F::kPattern, "*.jpg|%FN%", "*.jpg|%FN%|0|*.jpg|%FN%"},
  };
  for (const SegmentRow& row : rows) {
    const QList<PreviewSegment> segments = SegmentTemplate(row.field, Q(row.text), SampleFolders());
    EXPECT_EQ(Describe(segments), row.expected) << row.text;
    // The segments always spell the (normalised) field text.
    QString spelled;
    for (const PreviewSegment& s : segments) spelled += s.Text;
    EXPECT_EQ(spelled, NormalizePlaceholderCase(Q(row.text))) << row.text;
  }
}

TEST(HasPreviewPlaceholders, Table) {
  using F = PlaceholderField;
  const struct {
    PlaceholderField field;
    const char* text;
    bool expected;
  } rows[] = {
      {F::kInsertText, "abc", false},   {F::kInsertText, "%FN%", false},
      {F::kInsertText, "%fsk%", true},  {F::kReplaceWith, "%5%", false},
      {F::kReplaceWith, "x%DY%", true}, {F::kNameTemplate, "%FN%", true},
      {F::kNameTemplate, "%5%", true},  {F::kNameTemplate, "50% off", false},
      {F::kNameTemplate, "%%", false},  {F::kTargetDir, "%PD%", true},
      {F::kTargetDir, "a%PD%", false},  {F::kTargetDir, "%FN%", true},
      {F::kTargetDir, "%CC%", true},    {F::kTargetDir, "/srv/out/", false},
      {F::kPattern, "%FN%", false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(HasPreviewPlaceholders(row.field, Q(row.text)), row.expected) << row.text;
}

TEST(PlaceholderPreviewThrottle, RendersAtMostEvery100Ms) {
  PlaceholderPreviewThrottle throttle;
  // (time of the request, rendered at once)
  const std::vector<std::pair<qint64, bool>> requests = {
      {1000, true},  {1050, false}, {1099, false}, {1100, true},
      {1150, false}, {1199, false}, {1350, true},  {1351, false},
  };
  for (const auto& [time, renders] : requests) {
    const bool got = throttle.Request(time);
    EXPECT_EQ(got, renders) << time;
    if (got) throttle.Rendered(time);
  }
  // A preview opened afresh renders its first request at once.
  throttle.Reset();
  EXPECT_TRUE(throttle.Request(1352));
}

// A window with a name template field, a second field the preview does not serve and a
// button.
class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseLanguage(kLanguageEnglish);
    auto* layout = new QVBoxLayout(&owner);
    name = new QLineEdit(&owner);
    target = new QLineEdit(&owner);
    other = new QLineEdit(&owner);
    button = new QPushButton(QStringLiteral("Start"), &owner);
    for (QWidget* w : {static_cast<QWidget*>(name), static_cast<QWidget*>(target),
                       static_cast<QWidget*>(other), static_cast<QWidget*>(button)})
      layout->addWidget(w);
    owner.resize(420, 200);
    owner.move(100, 100);
    popups = new PlaceholderPopups(&owner, true, SampleFolders(), [this] { return now; });
    popups->AttachPreviewField(name, PlaceholderField::kNameTemplate);
    popups->AttachPreviewField(target, PlaceholderField::kTargetDir);
    preview = popups->PreviewWindow();
    ShowAndActivate(owner);
  }

  // Focus into a field as a user's click or Tab puts it there.
  void FocusField(QLineEdit* field) {
    field->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
  }

  // Typing one character at the caret.
  void Type(QLineEdit* field, const char* text) { field->insert(Q(text)); }

  qint64 now = 5000;
  QWidget owner;
  QLineEdit* name = nullptr;
  QLineEdit* target = nullptr;
  QLineEdit* other = nullptr;
  QPushButton* button = nullptr;
  PlaceholderPopups* popups = nullptr;
  PlaceholderPreviewWindow* preview = nullptr;
};

TEST_F(PreviewTest, OpensUnderAFocusedFieldWithPlaceholdersWithoutTakingTheFocus) {
  FocusField(other);
  name->setText(QStringLiteral("(%001%) %FN%"));
  EXPECT_FALSE(popups->PreviewOpen());  // text set by the program opens nothing
  FocusField(name);
  ASSERT_TRUE(popups->PreviewOpen());
  EXPECT_EQ(preview->Field(), name);
  EXPECT_EQ(preview->RenderedText(), Q("(001) IMG0087"));
  EXPECT_EQ(preview->pos(), name->mapToGlobal(QPoint(0, name->height())));
  EXPECT_EQ(preview->width(), name->width());
  EXPECT_EQ(QApplication::focusWidget(), name);
  EXPECT_TRUE(preview->testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_TRUE(preview->windowFlags() & Qt::WindowDoesNotAcceptFocus);
}

TEST_F(PreviewTest, AFieldWithoutPlaceholdersOpensNoPreview) {
  name->setText(QStringLiteral("holiday"));
  FocusField(name);
  EXPECT_FALSE(popups->PreviewOpen());
  // Typing the first placeholder opens it.
  name->setCursorPosition(7);
  Type(name, "%DY%");
  ASSERT_TRUE(popups->PreviewOpen());
  EXPECT_EQ(preview->RenderedText(), Q("holiday2011"));
}

TEST_F(PreviewTest, WithoutTemplateButtonsThereIsNoPreview) {
  popups->SetPreviewEnabled(false);
  name->setText(QStringLiteral("%FN%"));
  FocusField(name);
  EXPECT_FALSE(popups->PreviewOpen());
}

TEST_F(PreviewTest, FastTypingIsThrottledAndTheLastChangeAlwaysShows) {
  name->setText(QStringLiteral("%FN%"));
  FocusField(name);
  ASSERT_EQ(preview->RenderCount(), 1);
  name->setCursorPosition(4);
  now += 30;
  Type(name, "a");
  now += 30;
  Type(name, "b");
  // Within 100 ms of the rendering: skipped, but the trailing rendering is waiting.
  EXPECT_EQ(preview->RenderCount(), 1);
  EXPECT_EQ(preview->RenderedText(), Q("IMG0087"));
  EXPECT_TRUE(preview->TrailingRenderArmed());
  now += 40;  // 100 ms after the rendering
  Type(name, "c");
  EXPECT_EQ(preview->RenderCount(), 2);
  EXPECT_EQ(preview->RenderedText(), Q("IMG0087abc"));
  now += 10;
  Type(name, "d");
  EXPECT_EQ(preview->RenderedText(), Q("IMG0087abc"));
  // The trailing timer renders the last text once its 200 ms have run out.
  QElapsedTimer waited;
  waited.start();
  while (preview->TrailingRenderArmed() && waited.elapsed() < 5000)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  EXPECT_FALSE(preview->TrailingRenderArmed());
  EXPECT_EQ(preview->RenderedText(), Q("IMG0087abcd"));
  EXPECT_EQ(preview->RenderCount(), 3);
}

TEST_F(PreviewTest, ClosesWhenTheFieldLosesTheFocusOrAClickLandsElsewhere) {
  name->setText(QStringLiteral("%FN%"));
  FocusField(name);
  ASSERT_TRUE(popups->PreviewOpen());
  // A click on the field itself keeps it.
  Click(name, QPoint(5, 5));
  EXPECT_TRUE(popups->PreviewOpen());
  // A click on another control closes it, even before that control takes the focus.
  SendMouse(button, QEvent::MouseButtonPress, QPoint(3, 3));
  EXPECT_FALSE(popups->PreviewOpen());
  SendMouse(button, QEvent::MouseButtonRelease, QPoint(3, 3));
  button->setFocus(Qt::MouseFocusReason);  // where a real click puts it

  FocusField(name);
  ASSERT_TRUE(popups->PreviewOpen());
  FocusField(other);
  EXPECT_FALSE(popups->PreviewOpen());
}

TEST_F(PreviewTest, MenuCommandsCloseItAndTypingOpensItAgain) {
  name->setText(QStringLiteral("%FN%"));
  FocusField(name);
  ASSERT_TRUE(popups->PreviewOpen());
  popups->CloseAll();  // a menu command, a shortcut or a drop
  EXPECT_FALSE(popups->PreviewOpen());
  EXPECT_EQ(QApplication::focusWidget(), name);
  name->setCursorPosition(4);
  Type(name, "x");
  ASSERT_TRUE(popups->PreviewOpen());
  EXPECT_EQ(preview->RenderedText(), Q("IMG0087x"));
}

TEST_F(PreviewTest, MovesToTheFocusedFieldAndFollowsItsWindow) {
  name->setText(QStringLiteral("%FN%"));
  target->setText(QStringLiteral("%PD%\\out\\"));
  FocusField(name);
  FocusField(target);
  ASSERT_TRUE(popups->PreviewOpen());
  EXPECT_EQ(preview->Field(), target);
  EXPECT_EQ(preview->RenderedText(), Q("/home/ann/Desktop/out/"));

  owner.move(owner.pos() + QPoint(40, 25));
  QApplication::processEvents();
  EXPECT_EQ(preview->pos(), target->mapToGlobal(QPoint(0, target->height())));

  // A wider field: the preview takes the width and renders again.
  const int renders = preview->RenderCount();
  owner.resize(owner.width() + 60, owner.height());
  QApplication::processEvents();
  EXPECT_EQ(preview->width(), target->width());
  EXPECT_GT(preview->RenderCount(), renders);
}

TEST_F(PreviewTest, EachPlaceholderHasATooltipAndItsOwnColour) {
  target->setText(QStringLiteral("%PD%%DY%<x>"));
  FocusField(target);
  ASSERT_TRUE(popups->PreviewOpen());
  ASSERT_EQ(preview->Segments().size(), 3);
  ASSERT_EQ(preview->SegmentRects().size(), 3);
  // A folder shows alone; a file placeholder as an example; texts are escaped, never markup.
  EXPECT_EQ(preview->SegmentToolTip(0),
            Q("<p style=\"white-space:pre\"><b>Desktop folder  (%PD%)</b><br>"
              "/home/ann/Desktop/</p>"));
  EXPECT_EQ(preview->SegmentToolTip(1),
            Q("<p style=\"white-space:pre\"><b>Year  (%DY%)</b><br>Example: 2011</p>"));
  EXPECT_EQ(preview->SegmentToolTip(2), QString());
  // The samples lie side by side in the strip.
  EXPECT_EQ(preview->SegmentRects()[1].left(), preview->SegmentRects()[0].right() + 1);

  QPalette light;
  light.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
  EXPECT_EQ(PlaceholderPreviewWindow::PlaceholderColour(light), QColor(0x00, 0x60, 0xFF));
  EXPECT_EQ(PlaceholderPreviewWindow::PlaceholderColour(dark), QColor(0x6C, 0xA8, 0xFF));
}

TEST_F(PreviewTest, ReadsAsStaticTextToAssistiveTechnology) {
  name->setText(QStringLiteral("%DY%-%FN%"));
  FocusField(name);
  ASSERT_TRUE(popups->PreviewOpen());
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(preview);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), QAccessible::StaticText);
  EXPECT_EQ(accessible->text(QAccessible::Name), Q("Preview"));
  EXPECT_EQ(accessible->text(QAccessible::Value), Q("2011-IMG0087"));
}

TEST_F(PreviewTest, AnInsertionFromTheListShowsInThePreview) {
  auto* listButton = new QPushButton(QStringLiteral("<"), &owner);
  owner.layout()->addWidget(listButton);
  popups->AttachListButton(listButton, name, PlaceholderField::kNameTemplate);
  name->setText(QStringLiteral("x"));
  FocusField(name);
  name->setCursorPosition(1);
  EXPECT_FALSE(popups->PreviewOpen());
  listButton->click();
  ASSERT_TRUE(popups->ListOpen());
  popups->ChooseListItem(1);  // %FN%
  EXPECT_EQ(name->text(), Q("x%FN%"));
  EXPECT_EQ(QApplication::focusWidget(), name);
  ASSERT_TRUE(popups->PreviewOpen());
  EXPECT_EQ(preview->RenderedText(), Q("xIMG0087"));
}

}  // namespace

namespace {

// The main window is torn down at every rebuild, with its pop-ups open or not.
TEST(PlaceholderPopupsLifetime, TearingDownTheWindowWithBothOpen) {
  UseLanguage(kLanguageEnglish);
  auto* owner = new QWidget;
  auto* layout = new QVBoxLayout(owner);
  auto* field = new QLineEdit(QStringLiteral("%FN%"), owner);
  layout->addWidget(field);
  auto* popups = new PlaceholderPopups(owner, true, SampleFolders());
  popups->AttachPreviewField(field, PlaceholderField::kNameTemplate);
  ShowAndActivate(*owner);
  field->setFocus();
  ASSERT_TRUE(popups->PreviewOpen());
  // The preview may go before its keeper: nothing dangles afterwards.
  delete popups->PreviewWindow();
  EXPECT_FALSE(popups->PreviewOpen());
  field->insert(QStringLiteral("x"));
  ASSERT_TRUE(popups->OpenList(field, PlaceholderField::kNameTemplate));
  delete owner;  // takes the keeper, the list and the field with it
}

TEST(PlaceholderPopupsLifetime, DeletingTheFocusedFieldWithItsPreviewOpen) {
  UseLanguage(kLanguageEnglish);
  QWidget owner;
  auto* layout = new QVBoxLayout(&owner);
  auto* field = new QLineEdit(QStringLiteral("%FN%"), &owner);
  auto* other = new QLineEdit(&owner);
  layout->addWidget(field);
  layout->addWidget(other);
  PlaceholderPopups popups(&owner, true, SampleFolders());
  popups.AttachPreviewField(field, PlaceholderField::kNameTemplate);
  ShowAndActivate(owner);
  field->setFocus();
  ASSERT_TRUE(popups.PreviewOpen());
  delete field;
  EXPECT_FALSE(popups.PreviewOpen());
  other->setFocus();
  other->setText(QStringLiteral("%FN%"));
  EXPECT_FALSE(popups.PreviewOpen());

  // A list whose field went away inserts nothing and just closes.
  ASSERT_TRUE(popups.OpenList(other, PlaceholderField::kNameTemplate));
  delete other;
  popups.ChooseListItem(0);
  EXPECT_FALSE(popups.ListOpen());
}

}  // namespace
