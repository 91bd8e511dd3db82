#include "naming/PlaceholderTable.h"
#include "ui/placeholders/PlaceholderListItems.h"
#include "ui/placeholders/PlaceholderPreviewSegments.h"
#include "ui/widgets/UiTexts.h"
#include "ui/window/HelpTexts.h"

#include "support/HelperTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace helpers_test;

namespace {

// The placeholder list, the preview and the help know every placeholder through the table:
// a row shows wherever its fields say, and nowhere else.

constexpr PlaceholderField kTemplateFields[] = {
    PlaceholderField::kInsertText, PlaceholderField::kReplaceWith, PlaceholderField::kNameTemplate,
    PlaceholderField::kTargetDir};

std::string S(QStringView text) {
  return text.toString().toStdString();
}

TEST(PlaceholderTableUse, TheListOffersEachRowInTheFieldsItNames) {
  for (const int language : {kLanguageEnglish, kLanguageGerman}) {
    UseLanguage(language);
    for (const PlaceholderField field : kTemplateFields) {
      const QList<PlaceholderItem> items = PlaceholderItemsFor(field);
      for (const PlaceholderRow& row : PlaceholderTable()) {
        SCOPED_TRACE(S(row.Code) + " in field " + std::to_string(static_cast<int>(field)));
        const QString caption = WithoutMnemonics(row.Caption.Text());
        const QString text = caption + Q("   (") + row.Code.toString() + Q(")");
        const bool listed = std::any_of(items.begin(), items.end(), [&](const PlaceholderItem& i) {
          return PlaceholderItemText(i) == text;
        });
        EXPECT_EQ(listed, (row.Listed & PlaceholderFieldBit(field)) != 0);
        EXPECT_EQ(PlaceholderCaption(row.Code.toString()), caption);
      }
    }
  }
}

TEST(PlaceholderTableUse, ThePreviewShowsEachRowInTheFieldsWhereItStands) {
  const std::span<const PlaceholderRow> table = PlaceholderTable();
  PathFolders folders;
  folders.Desktop = Q("/home/ann/Desktop/");
  folders.Documents = Q("/home/ann/Documents/");
  folders.Program = Q("/opt/mervane/");
  for (const PlaceholderField field : kTemplateFields) {
    for (size_t id = 0; id < table.size(); ++id) {
      const PlaceholderRow& row = table[id];
      SCOPED_TRACE(S(row.Code) + " in field " + std::to_string(static_cast<int>(field)));
      // Typed in lower case at the start of the field, as a user may.
      const QString typed = row.Code.toString().toLower() + Q("x");
      const QList<PreviewSegment> segments = SegmentTemplate(field, typed, folders);
      const bool stands = (row.StandsIn & PlaceholderFieldBit(field)) != 0;
      ASSERT_FALSE(segments.isEmpty());
      EXPECT_EQ(segments.front().IsPlaceholder(), stands);
      EXPECT_EQ(HasPreviewPlaceholders(field, typed), stands);
      if (!stands) continue;
      EXPECT_EQ(segments.front().Kind, static_cast<int>(id) + 1);
      EXPECT_EQ(PreviewSegmentRow(segments.front().Kind), &row);
      if (row.Family != PlaceholderFamily::Counter) {
        EXPECT_EQ(PreviewSegmentCode(segments.front().Kind), row.Code.toString());
        const QString sample = row.Folder != nullptr ? folders.*row.Folder : row.Sample.toString();
        EXPECT_EQ(segments.front().Sample, sample);
      }
    }
  }
}

TEST(PlaceholderTableUse, TheHelpNamesEveryRowWithItsCaption) {
  for (const int language : {kLanguageEnglish, kLanguageGerman}) {
    UseLanguage(language);
    const QString help = HelpText(5);
    const qsizetype folders =
        help.indexOf(WithoutMnemonics(LanguageText(kTextHelpPlaceholdersFolderGroup)));
    ASSERT_GT(folders, 0);
    for (const PlaceholderRow& row : PlaceholderTable()) {
      SCOPED_TRACE(S(row.Code));
      const QString entry =
          row.Code.toString() + Q(" (") + WithoutMnemonics(row.Caption.Text()) + Q(")");
      const qsizetype at = help.indexOf(entry);
      ASSERT_GE(at, 0) << help.toStdString();
      // The folder placeholders have a group of their own, after the others.
      EXPECT_EQ(at > folders, row.Family == PlaceholderFamily::Path);
    }
  }
}

}  // namespace
