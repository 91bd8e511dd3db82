// The part of a new name that is drawn in bold: what differs between the old and the new name.

#include "ui/list/NewNameTexts.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

struct ChangedCase {
  const char16_t* oldName;
  const char16_t* newName;
  qsizetype start;
  qsizetype length;
};

class ChangedPartTest : public testing::TestWithParam<ChangedCase> {};

TEST_P(ChangedPartTest, FindsTheChangedMiddle) {
  const ChangedCase& c = GetParam();
  const QString oldName = QString::fromUtf16(c.oldName);
  const QString newName = QString::fromUtf16(c.newName);
  const ChangedSpan span = ChangedPart(oldName, newName);
  EXPECT_EQ(span.Start, c.start) << oldName.toStdString() << " -> " << newName.toStdString();
  EXPECT_EQ(span.Length, c.length) << oldName.toStdString() << " -> " << newName.toStdString();
  // What is left out at both ends is the same in both names.
  ASSERT_LE(span.Start + span.Length, newName.size());
  const qsizetype tail = newName.size() - span.Start - span.Length;
  EXPECT_EQ(newName.left(span.Start), oldName.left(span.Start));
  EXPECT_EQ(newName.right(tail), oldName.right(tail));
  // A surrogate pair is never cut at either end of the part.
  if (span.Length > 0) {
    EXPECT_FALSE(newName[span.Start].isLowSurrogate());
    EXPECT_FALSE(newName[span.Start + span.Length - 1].isHighSurrogate());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangedPartTest,
    testing::Values(
        ChangedCase{u"IMG_0001.jpg", u"IMG_0001.jpg", 12, 0},      // unchanged
        ChangedCase{u"IMG_0001.jpg", u"Holiday_0001.jpg", 0, 7},   // a new start
        ChangedCase{u"photo.jpg", u"photo_2024.jpg", 5, 5},        // inserted in the middle
        ChangedCase{u"report", u"report_final", 6, 6},             // appended
        ChangedCase{u"draft_report", u"report", 0, 0},             // only dropped at the start
        ChangedCase{u"a_b_c", u"a_c", 2, 0},                       // only dropped in the middle
        ChangedCase{u"abc", u"xyz", 0, 3},                         // all new
        ChangedCase{u"", u"new", 0, 3},                            // from nothing
        ChangedCase{u"aaa", u"aaaa", 3, 1},                        // repeats: the added one
        ChangedCase{u"file.JPG", u"file.jpg", 5, 3},               // case only
        ChangedCase{u"Stra\u00dfe", u"Strasse", 4, 2},             // one letter to two
        // Two emoji that share their first half: the whole pair is marked, never half.
        ChangedCase{u"x\U0001F600y", u"x\U0001F601y", 1, 2},
        ChangedCase{u"\U0001F600y", u"\U0001F601y", 0, 2},
        ChangedCase{u"a\U0001F600", u"a\U0001F601", 1, 2},
        // Two emoji that share their second half.
        ChangedCase{u"x\U0001F600", u"x\U0001F400", 1, 2},
        ChangedCase{u"\U0001F600", u"\U0001F600!", 2, 1}));

}  // namespace
