#include "ui/placeholders/PlaceholderListItems.h"
#include "ui/placeholders/PlaceholderListWindow.h"
#include "ui/placeholders/PlaceholderPopups.h"
#include "ui/placeholders/PlaceholderPreviewWindow.h"

#include "support/HelperTestSupport.h"
#include "ui/widgets/UiTexts.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace helpers_test;

namespace {

struct InsertRow {
  PlaceholderField field;
  const char* text;
  qsizetype start;
  qsizetype end;
  const char* code;
  const char* expected;
  qsizetype caret;
};

TEST(InsertPlaceholder, Table) {
  using F = PlaceholderField;
  const InsertRow rows[] = {
      // The caret at the end of a name template: the code follows directly.
      {F::kNameTemplate, "(%001%) %FN%", 12, 12, "%DY%", "(%001%) %FN%%DY%", 16},
      // A selection is replaced, in either direction; the caret goes after the code.
      {F::kNameTemplate, "abc def", 4, 7, "%FN%", "abc %FN%", 8},
      {F::kNameTemplate, "abc def", 7, 4, "%FN%", "abc %FN%", 8},
      {F::kNameTemplate, "abc", 0, 0, "%FN%", "%FN%abc", 4},
      // The counter item replaces the counter there, wherever the caret is.
      {F::kNameTemplate, "IMG_%5%_%FN%", 0, 0, "%001%", "IMG_%001%_%FN%", 14},
      {F::kNameTemplate, "(%001%) %FN%", 3, 3, "%001%", "(%001%) %FN%", 12},
      {F::kNameTemplate, "%01%-%001%", 10, 10, "%001%", "%001%-%001%", 11},
      // Without a counter the counter item is inserted like any other.
      {F::kNameTemplate, "%FN% x", 4, 4, "%001%", "%FN%%001% x", 9},
      // "%12a%" is no counter group.
      {F::kNameTemplate, "%12a%", 5, 5, "%001%", "%12a%%001%", 10},
      // Only the name template has a counter to replace.
      {F::kReplaceWith, "x%5%", 4, 4, "%001%", "x%5%%001%", 9},
      // Path items replace a leading path placeholder, in any letter case...
      {F::kTargetDir, "%PD%\\output\\", 0, 0, "%PP%", "%PP%\\output\\", 12},
      {F::kTargetDir, "%pd%\\out\\", 5, 8, "%PF%", "%PF%\\out\\", 9},
      // ...go in front of a relative template...
      {F::kTargetDir, "output\\", 7, 7, "%PP%", "%PP%output\\", 11},
      {F::kTargetDir, "", 0, 0, "%PC%", "%PC%", 4},
      // ...and take the place of an absolute folder, which cannot follow one.
      {F::kTargetDir, "/home/me/out/", 3, 3, "%PD%", "%PD%", 4},
      // A leading "\" is the templates' separator after a placeholder: kept.
      {F::kTargetDir, "\\output\\", 0, 0, "%PD%", "%PD%\\output\\", 12},
      // Other items in a target template go at the caret.
      {F::kTargetDir, "%PD%\\%DY%\\", 10, 10, "%DM%", "%PD%\\%DY%\\%DM%", 14},
      {F::kInsertText, "ab", 1, 1, "%CC%", "a%CC%b", 5},
      {F::kPattern, "jpg", 3, 3, "|", "jpg|", 4},
      {F::kPattern, "abc", 0, 3, "*", "*", 1},
      // A selection past the end (the text changed meanwhile) is held to the text.
      {F::kInsertText, "ab", 5, 9, "%DS%", "ab%DS%", 6},
  };
  for (const InsertRow& row : rows) {
    const PlaceholderInsertion got =
        InsertPlaceholder(row.field, Q(row.text), row.start, row.end, Q(row.code));
    EXPECT_EQ(got.Text, Q(row.expected)) << row.text << " + " << row.code;
    EXPECT_EQ(got.Caret, row.caret) << row.text << " + " << row.code;
  }
}

TEST(FindCounterSpan, FirstGroupOnly) {
  const struct {
    const char* text;
    qsizetype start;
    qsizetype length;
  } rows[] = {
      {"%FN%%001%", 4, 5}, {"x%0%", 1, 3}, {"%12a%", -1, 0}, {"%01%-%001%", 0, 4},
      {"100%", -1, 0},     {"%%5%", 1, 3}, {"", -1, 0},      {"%ENUMNR%%7%", 8, 3},
  };
  for (const auto& row : rows) {
    const CounterSpan span = FindCounterSpan(Q(row.text));
    EXPECT_EQ(span.Start, row.start) << row.text;
    if (row.start >= 0) {
      EXPECT_EQ(span.Length, row.length) << row.text;
    }
  }
}

TEST(PlaceholderItems, PerField) {
  UseLanguage(kLanguageEnglish);
  const struct {
    PlaceholderField field;
    qsizetype count;
    const char* first;
    const char* last;
  } rows[] = {
      {PlaceholderField::kPattern, 4, "Any characters   (*)", "Or   (|)"},
      {PlaceholderField::kInsertText, 29, "Size in KB   (%FSK%)", "Genre   (%AG%)"},
      {PlaceholderField::kReplaceWith, 29, "Size in KB   (%FSK%)", "Genre   (%AG%)"},
      {PlaceholderField::kNameTemplate, 31, "Counter   (%001%)", "Genre   (%AG%)"},
      {PlaceholderField::kTargetDir, 31, "Desktop folder   (%PD%)", "Genre   (%AG%)"},
  };
  for (const auto& row : rows) {
    const QList<PlaceholderItem> items = PlaceholderItemsFor(row.field);
    ASSERT_EQ(items.size(), row.count) << row.first;
    EXPECT_EQ(PlaceholderItemText(items.front()), Q(row.first));
    EXPECT_EQ(PlaceholderItemText(items.back()), Q(row.last));
  }
  // The target list offers no checksums.
  for (const PlaceholderItem& item : PlaceholderItemsFor(PlaceholderField::kTargetDir))
    EXPECT_FALSE(item.Code.startsWith(QLatin1String("%C"))) << item.Code.toStdString();
}

TEST(WithoutMnemonics, Table) {
  const std::pair<const char*, const char*> rows[] = {
      {"&File", "File"},  {"Save &as", "Save as"}, {"Tom && Jerry", "Tom & Jerry"},
      {"plain", "plain"}, {"end&", "end"},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(WithoutMnemonics(Q(in)), Q(out)) << in;
}

TEST(PopupRectForField, BelowAboveAndInsideTheScreen) {
  const QRect screen(0, 0, 1000, 800);
  const QSize size(200, 300);
  // Room below: directly under the field.
  EXPECT_EQ(PopupRectForField(QRect(100, 100, 150, 20), size, screen), QRect(100, 120, 200, 300));
  // Near the bottom: directly above it.
  EXPECT_EQ(PopupRectForField(QRect(100, 600, 150, 20), size, screen), QRect(100, 300, 200, 300));
  // Near the right edge: moved left so it stays on the screen.
  EXPECT_EQ(PopupRectForField(QRect(900, 100, 90, 20), size, screen), QRect(800, 120, 200, 300));
  // No room above either: below, as far as it goes.
  EXPECT_EQ(PopupRectForField(QRect(0, 200, 150, 20), QSize(200, 700), screen).top(), 220);
}

// A window with a name template field, a target field and their "<" buttons.
class ListWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseLanguage(kLanguageEnglish);
    auto* layout = new QVBoxLayout(&owner);
    name = new QLineEdit(&owner);
    nameButton = new QPushButton(QStringLiteral("<"), &owner);
    other = new QLineEdit(&owner);
    name->setAccessibleName(QStringLiteral("name"));
    other->setAccessibleName(QStringLiteral("other"));
    layout->addWidget(name);
    layout->addWidget(nameButton);
    layout->addWidget(other);
    owner.resize(400, 200);
    popups = new PlaceholderPopups(&owner, true, PathFolders{}, [this] { return now; });
    popups->AttachListButton(nameButton, name, PlaceholderField::kNameTemplate);
    popups->AttachPreviewField(name, PlaceholderField::kNameTemplate);
    ShowAndActivate(owner);
  }

  // Opens the list through the "<" button and checks that it came up.
  PlaceholderListWindow* OpenByButton() {
    nameButton->click();
    EXPECT_TRUE(popups->ListOpen());
    return popups->ListWindow();
  }

  qint64 now = 10000;
  QWidget owner;
  QLineEdit* name = nullptr;
  QPushButton* nameButton = nullptr;
  QLineEdit* other = nullptr;
  PlaceholderPopups* popups = nullptr;
};

TEST_F(ListWindowTest, OpensBelowItsFieldWithTheFirstRowCurrent) {
  PlaceholderListWindow* list = OpenByButton();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->List()->count(), 31 + 3);  // the items and the captions of three groups
  EXPECT_EQ(list->List()->currentRow(), 0);
  EXPECT_EQ(list->pos(), name->mapToGlobal(QPoint(0, name->height())));
  EXPECT_TRUE(list->windowFlags() & Qt::Popup);
  // Every row fits without a horizontal scroll bar.
  EXPECT_GE(list->List()->viewport()->width(), list->List()->sizeHintForColumn(0));
}

// The values from inside a file stand in groups of their own, each under its caption, after
// the others; a caption is no item: the arrow keys pass it and Enter on it inserts nothing.
TEST_F(ListWindowTest, ContentPlaceholdersStandInCaptionedGroups) {
  name->setText(QString());
  name->setFocus();
  PlaceholderListWindow* list = OpenByButton();
  ASSERT_NE(list, nullptr);
  QListWidget* rows = list->List();
  const struct {
    int row;
    const char* text;  // a caption, or the start of an item's text
    int item;          // -1 for a caption
  } expected[] = {
      {13, "Name of the folder   (%FO%)", 13}, {14, "Date taken", -1},
      {15, "    Year taken   (%TY%)", 14},     {21, "Camera", -1},
      {22, "    Camera make   (%IK%)", 20},    {27, "Audio tags", -1},
      {33, "    Genre   (%AG%)", 30},
  };
  for (const auto& row : expected) {
    SCOPED_TRACE(row.text);
    ASSERT_NE(rows->item(row.row), nullptr);
    EXPECT_EQ(rows->item(row.row)->text(), Q(row.text));
    EXPECT_EQ(list->ItemAt(row.row), row.item);
    EXPECT_EQ(rows->item(row.row)->flags() == Qt::NoItemFlags, row.item < 0);
  }
  rows->setCurrentRow(13);
  SendKey(rows, Qt::Key_Down);
  EXPECT_EQ(rows->currentRow(), 15);
  SendKey(rows, Qt::Key_Return);
  EXPECT_EQ(name->text(), Q("%TY%"));
}

TEST_F(ListWindowTest, EnterInsertsTheCurrentItemLikeTyping) {
  name->setText(QStringLiteral("(%001%) %FN%"));
  name->setFocus();
  name->setCursorPosition(12);
  QStringList edited;
  int changed = 0;
  QObject::connect(name, &QLineEdit::textEdited, [&](const QString& t) { edited << t; });
  QObject::connect(name, &QLineEdit::textChanged, [&] { ++changed; });
  PlaceholderListWindow* list = OpenByButton();
  ASSERT_NE(list, nullptr);
  list->List()->setCurrentRow(11);  // %CM%
  SendKey(list->List(), Qt::Key_Return);
  EXPECT_EQ(name->text(), Q("(%001%) %FN%%CM%"));
  EXPECT_EQ(name->cursorPosition(), 16);
  EXPECT_FALSE(popups->ListOpen());
  EXPECT_EQ(edited, QStringList{Q("(%001%) %FN%%CM%")});
  EXPECT_EQ(changed, 1);
  // One step of undo brings the text back.
  name->undo();
  EXPECT_EQ(name->text(), Q("(%001%) %FN%"));
}

TEST_F(ListWindowTest, OneClickInsertsTheRowUnderTheMouse) {
  name->setText(QStringLiteral("abc def"));
  name->setFocus();
  name->setSelection(4, 3);
  PlaceholderListWindow* list = OpenByButton();
  ASSERT_NE(list, nullptr);
  QListWidget* rows = list->List();
  const QPoint onRow = rows->visualItemRect(rows->item(1)).center();  // %FN%
  // Hot tracking: the row under the mouse becomes the current one.
  rows->viewport()->setMouseTracking(true);
  SendMouse(rows->viewport(), QEvent::MouseMove, onRow);
  EXPECT_EQ(rows->currentRow(), 1);
  Click(rows->viewport(), onRow);
  EXPECT_EQ(name->text(), Q("abc %FN%"));
  EXPECT_EQ(name->cursorPosition(), 8);
  EXPECT_FALSE(popups->ListOpen());
}

TEST_F(ListWindowTest, EscClosesWithoutInserting) {
  name->setText(QStringLiteral("x"));
  PlaceholderListWindow* list = OpenByButton();
  ASSERT_NE(list, nullptr);
  SendKey(list->List(), Qt::Key_Escape);
  EXPECT_FALSE(popups->ListOpen());
  EXPECT_EQ(name->text(), Q("x"));
}

TEST_F(ListWindowTest, RefusesToOpenWithin500MsOfClosing) {
  ASSERT_TRUE(popups->OpenList(name, PlaceholderField::kNameTemplate));
  popups->CloseList();
  EXPECT_FALSE(popups->ListOpen());
  now += 1;
  EXPECT_FALSE(popups->OpenList(name, PlaceholderField::kNameTemplate));
  now += 498;  // 499 ms after the closing
  nameButton->click();
  EXPECT_FALSE(popups->ListOpen());
  now += 1;  // 500 ms
  EXPECT_TRUE(popups->OpenList(name, PlaceholderField::kNameTemplate));
  EXPECT_TRUE(popups->ListOpen());
}

TEST_F(ListWindowTest, MenuCommandsAndMovingTheWindowCloseIt) {
  ASSERT_TRUE(popups->OpenList(name, PlaceholderField::kNameTemplate));
  popups->CloseAll();
  EXPECT_FALSE(popups->ListOpen());
  now += 1000;
  ASSERT_TRUE(popups->OpenList(name, PlaceholderField::kNameTemplate));
  owner.move(owner.pos() + QPoint(30, 20));
  QApplication::processEvents();
  EXPECT_FALSE(popups->ListOpen());
}

TEST_F(ListWindowTest, RowsAndButtonsAreAccessible) {
  EXPECT_EQ(nameButton->accessibleName(), Q("Placeholder list"));
  EXPECT_EQ(nameButton->toolTip(), Q("Placeholder list"));
  PlaceholderListWindow* list = OpenByButton();
  ASSERT_NE(list, nullptr);
  ExpectAccessible(list);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(list->List());
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->text(QAccessible::Name), Q("Placeholders"));
  EXPECT_EQ(accessible->role(), QAccessible::List);
  // Each row reads as its caption and code.
  EXPECT_EQ(list->List()->item(1)->data(Qt::AccessibleTextRole).toString(), Q("File name %FN%"));
}

TEST(PlaceholderListWindowKinds, WildcardButtonsListTheWildcards) {
  UseLanguage(kLanguageGerman);
  QWidget owner;
  auto* layout = new QVBoxLayout(&owner);
  auto* field = new QLineEdit(&owner);
  auto* button = new QPushButton(QStringLiteral("<"), &owner);
  layout->addWidget(field);
  layout->addWidget(button);
  PlaceholderPopups popups(&owner, true, PathFolders{});
  popups.AttachListButton(button, field, PlaceholderField::kPattern);
  ShowAndActivate(owner);
  EXPECT_EQ(button->toolTip(), Q("Suchmusterliste"));
  button->click();
  ASSERT_TRUE(popups.ListOpen());
  QListWidget* rows = popups.ListWindow()->List();
  ASSERT_EQ(rows->count(), 4);
  EXPECT_EQ(rows->item(3)->text(), Q("Oder   (|)"));
  EXPECT_EQ(popups.ListWindow()->accessibleName(), Q("Suchmuster"));
  SendKey(rows, Qt::Key_Down);
  SendKey(rows, Qt::Key_Enter);
  EXPECT_EQ(field->text(), Q("?"));
}

}  // namespace
