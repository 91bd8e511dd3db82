#include "records/Pages.h"

#include "app/ImageStore.h"
#include "support/UiTestSupport.h"
#include "texts/TextTables.h"
#include "ui/pages/OptionPages.h"
#include "ui/pages/PageList.h"
#include "ui/widgets/Icons.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <map>
#include <memory>

namespace {

class PageTableTest : public testing::Test {
 protected:
  void SetUp() override { LoadUiResources(); }
  void TearDown() override { LoadUiResources(); }

  static std::unique_ptr<OptionPages> MakePages() {
    return std::make_unique<OptionPages>(true, true, [] { return int64_t{1300000000}; });
  }
};

bool IsInside(const QWidget* widget, const QWidget* ancestor) {
  for (const QWidget* w = widget; w != nullptr; w = w->parentWidget())
    if (w == ancestor) return true;
  return false;
}

TEST_F(PageTableTest, EveryPageAndGroupHasItsTextsInBothLanguages) {
  for (const int language : {kLanguageGerman, kLanguageEnglish}) {
    LoadUiResources(language);
    for (const PageRow& row : kPages) {
      SCOPED_TRACE(testing::Message() << "language " << language << " page " << row.Id);
      EXPECT_FALSE(PageCaption(row.Id).isEmpty());
      EXPECT_FALSE(PageDescription(row.Id).isEmpty());
      EXPECT_EQ(PageCaption(row.Id), row.Caption.Text());
      EXPECT_EQ(PageDescription(row.Id), row.Description.Text());
    }
    for (const PageText& group : kPageGroupCaptions) EXPECT_FALSE(group.Text().isEmpty());
  }
  EXPECT_EQ(PageCaption(kPageCount), QString());
  EXPECT_EQ(PageDescription(-1), QString());
}

// A caption may come from either table; only one of the language table has an entry number.
TEST_F(PageTableTest, PageTextsComeFromTheTableTheyName) {
  const PageText language = kTextPageNewName;
  const PageText addition = kAddPageList;
  EXPECT_EQ(language.Text(), LanguageText(kTextPageNewName));
  EXPECT_EQ(addition.Text(), AdditionText(kAddPageList));
  EXPECT_NE(addition.Text(), LanguageText(kAddPageList)) << "an addition read as a language entry";
  EXPECT_FALSE(language.Addition);
  EXPECT_TRUE(addition.Addition);
}

// Each picture of the window has a number of its own: a page icon that took the number of
// another picture would show that picture on the page, or the page's icon in its place.
TEST_F(PageTableTest, PageIconsHaveNumbersOfTheirOwnAndAreCarried) {
  std::map<int, int> uses;
  for (const int number : WindowPictureNumbers()) ++uses[number];
  for (const auto& [number, count] : uses) EXPECT_EQ(count, 1) << "picture " << number;
  for (const PageRow& row : kPages) {
    SCOPED_TRACE(testing::Message() << "page " << row.Id);
    const Image* image = EmbeddedImage(row.Icon.Image);
    ASSERT_NE(image, nullptr) << "picture " << row.Icon.Image << " is not carried";
    EXPECT_EQ(image->Width, 32);
    EXPECT_EQ(image->Height, 32);
    EXPECT_EQ(ThemeNameOf(row.Icon.Image), QString::fromLatin1(row.Icon.ThemeName));
    EXPECT_FALSE(PageIcon(row.Id).isNull());
  }
  EXPECT_TRUE(PageIcon(kPageCount).isNull());
}

// Every switch of a page's row marks that page, and no other page's row.
TEST_F(PageTableTest, EachSwitchOfTheTableSwitchesOnItsOwnPage) {
  Preset off;
  off.TargetDirActive = 0;
  for (int page = 0; page < kPageCount; ++page) EXPECT_FALSE(PageSwitchedOn(page, off)) << page;
  int switches = 0;
  for (const PageRow& row : kPages) {
    for (int8_t Preset::*field : row.Switches) {
      if (field == nullptr) continue;
      ++switches;
      Preset on = off;
      on.*field = 1;
      for (int page = 0; page < kPageCount; ++page)
        EXPECT_EQ(PageSwitchedOn(page, on), page == row.Id) << "switch of page " << row.Id;
    }
  }
  EXPECT_EQ(switches, 17);
  EXPECT_FALSE(PageSwitchedOn(-1, Preset()));
}

// The page list shows the table: a header per group, then that group's pages, in table order.
TEST_F(PageTableTest, PageListShowsTheTableGroupByGroup) {
  PageListModel model;
  ASSERT_EQ(model.rowCount(), kPageCount + kPageGroupCount);
  int nextPage = 0;
  int nextGroup = 0;
  for (int row = 0; row < model.rowCount(); ++row) {
    const int page = PageListModel::PageOfRow(row);
    const QString shown = model.data(model.index(row), Qt::DisplayRole).toString();
    if (page < 0) {
      ASSERT_LT(nextGroup, kPageGroupCount) << row;
      EXPECT_EQ(shown, kPageGroupCaptions[static_cast<size_t>(nextGroup)].Text()) << row;
      ++nextGroup;
      continue;
    }
    EXPECT_EQ(page, nextPage) << row;
    EXPECT_EQ(kPages[static_cast<size_t>(page)].Group, nextGroup - 1) << "page " << page;
    EXPECT_EQ(PageListModel::RowOfPage(page), row);
    EXPECT_EQ(shown, model.RowCaption(page));
    ++nextPage;
  }
  EXPECT_EQ(nextPage, kPageCount);
  EXPECT_EQ(nextGroup, kPageGroupCount);
}

// Each page object stands at its row, with the header the table gives it, and holds exactly
// the controls and fields the page rules give its page.
TEST_F(PageTableTest, EveryPageObjectStandsAtItsRowWithItsControls) {
  const auto pages = MakePages();
  EXPECT_EQ(pages->PageObject(kPageFiles), nullptr) << "the window builds the loaded files";
  EXPECT_EQ(pages->Page(kPageFiles), nullptr);
  EXPECT_EQ(pages->PageObject(kPageCount), nullptr);
  for (int page = 1; page < kPageCount; ++page) {
    SCOPED_TRACE(testing::Message() << "page " << page);
    const OptionPage* object = pages->PageObject(page);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Id(), page);
    ASSERT_EQ(pages->Page(page), object->Widget());
    EXPECT_EQ(object->Widget()->objectName(), QStringLiteral("page%1").arg(page));
    const auto* description =
        object->Widget()->findChild<QLabel*>(QStringLiteral("pageDescription"));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->text(), PageDescription(page));
  }
  for (int i = 0; i < kControlCount; ++i) {
    const auto control = static_cast<Control>(i);
    const int page = PageOfControl(control);
    QWidget* widget = pages->ControlWidget(control);
    ASSERT_NE(widget, nullptr) << "control " << i;
    EXPECT_TRUE(IsInside(widget, pages->Page(page)))
        << "control " << i << " is not on page " << page;
    for (int other = 1; other < kPageCount; ++other) {
      if (other != page) {
        EXPECT_EQ(pages->PageObject(other)->ControlWidget(control), nullptr) << i;
      }
    }
  }
  for (int kind = 0; kind < kFieldKindCount; ++kind) {
    const auto field = static_cast<FieldKind>(kind);
    ASSERT_NE(pages->Field(field), nullptr) << kind;
    int owners = 0;
    for (int page = 1; page < kPageCount; ++page)
      if (pages->PageObject(page)->Field(field) != nullptr) ++owners;
    EXPECT_EQ(owners, 1) << "field " << kind;
  }
}

}  // namespace
