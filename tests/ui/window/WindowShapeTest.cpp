// The window's shape file and where a stored window comes back: on a screen, within a screen
// smaller than itself, per set of screens, and a file that is not ours left as it is.

#include "ui/window/WindowShape.h"

#include "support/TempDir.h"

#include <QString>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const QSize kSmallest(800, 500);

struct OnScreenCase {
  const char* what;
  QRect stored;
  std::vector<QRect> screens;
  QRect expected;
};

class BroughtOnScreenTest : public testing::TestWithParam<OnScreenCase> {};

TEST_P(BroughtOnScreenTest, TitleStripEndsOnAScreen) {
  const OnScreenCase& c = GetParam();
  const QRect result = BroughtOnScreen(c.stored, c.screens, kSmallest);
  EXPECT_EQ(result, c.expected) << c.what;
  EXPECT_GE(result.width(), kSmallest.width()) << c.what;
  EXPECT_GE(result.height(), kSmallest.height()) << c.what;
}

const QRect kLaptop(0, 0, 1280, 800);
const QRect kRight(1280, 0, 1920, 1080);

INSTANTIATE_TEST_SUITE_P(
    Cases, BroughtOnScreenTest,
    testing::Values(
        OnScreenCase{"wholly on the screen stays", QRect(100, 50, 900, 600), {kLaptop},
                     QRect(100, 50, 900, 600)},
        OnScreenCase{"partly out at the right, title still grabbable, stays",
                     QRect(1000, 50, 900, 600), {kLaptop}, QRect(1000, 50, 900, 600)},
        OnScreenCase{"on a monitor that is gone comes back to the nearest screen",
                     QRect(2000, 100, 900, 600), {kLaptop}, QRect(380, 100, 900, 600)},
        OnScreenCase{"far to the left comes back to the left edge", QRect(-5000, 100, 900, 600),
                     {kLaptop}, QRect(0, 100, 900, 600)},
        OnScreenCase{"title bar above the screen comes down", QRect(100, -300, 900, 600),
                     {kLaptop}, QRect(100, 0, 900, 600)},
        OnScreenCase{"below the screen comes up", QRect(100, 2000, 900, 600), {kLaptop},
                     QRect(100, 200, 900, 600)},
        OnScreenCase{"larger than the screen shrinks to it", QRect(5000, 5000, 2500, 1400),
                     {kLaptop}, QRect(0, 0, 1280, 800)},
        OnScreenCase{"on the second monitor stays there", QRect(1500, 100, 1000, 700),
                     {kLaptop, kRight}, QRect(1500, 100, 1000, 700)},
        OnScreenCase{"screen smaller than the smallest window keeps the smallest size",
                     QRect(3000, 3000, 900, 600), {QRect(0, 0, 640, 480)},
                     QRect(0, 0, 800, 500)},
        OnScreenCase{"a stored size below the smallest grows", QRect(10, 10, 300, 200),
                     {kLaptop}, QRect(10, 10, 800, 500)}));

struct FirstCase {
  const char* what;
  QRect available;
  QRect expected;
};

class FirstGeometryTest : public testing::TestWithParam<FirstCase> {};

TEST_P(FirstGeometryTest, TwoThirdsInTheMiddle) {
  const FirstCase& c = GetParam();
  EXPECT_EQ(FirstGeometry(c.available, kSmallest), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirstGeometryTest,
    testing::Values(
        FirstCase{"full HD", QRect(0, 0, 1920, 1080), QRect(320, 180, 1280, 720)},
        FirstCase{"a panel at the top", QRect(0, 30, 1920, 1050), QRect(320, 205, 1280, 700)},
        FirstCase{"two thirds below the smallest: the smallest", QRect(0, 0, 1024, 600),
                  QRect(112, 50, 800, 500)},
        FirstCase{"a screen smaller than the smallest window: its top left",
                  QRect(0, 0, 640, 480), QRect(0, 0, 800, 500)},
        FirstCase{"a second screen to the right", QRect(1280, 0, 1920, 1080),
                  QRect(1600, 180, 1280, 720)}));

TEST(WindowShapeTest, ScreenSetKeyIgnoresTheOrderScreensAreListedIn) {
  EXPECT_EQ(ScreenSetKey({kRight, kLaptop}), ScreenSetKey({kLaptop, kRight}));
  EXPECT_NE(ScreenSetKey({kLaptop}), ScreenSetKey({kLaptop, kRight}));
  EXPECT_NE(ScreenSetKey({QRect(-1920, 0, 1920, 1080), kLaptop}),
            ScreenSetKey({QRect(1280, 0, 1920, 1080), kLaptop}));
  EXPECT_FALSE(ScreenSetKey({kLaptop}).contains(u'/')) << "a slash would open a subgroup";
}

TEST(WindowShapeTest, EachSetOfScreensKeepsItsOwnShape) {
  const TempDir dir;
  const QString file = dir.Path() + QStringLiteral("Window.ini");
  const QString alone = ScreenSetKey({kLaptop});
  const QString desk = ScreenSetKey({kLaptop, kRight});
  EXPECT_FALSE(ReadWindowShape(file, alone).has_value()) << "no file yet";

  WindowShape laptop;
  laptop.Geometry = QRect(10, 20, 900, 600);
  laptop.Divider = QByteArray("\x00\x01" "divider" "\xff", 10);
  laptop.Columns = QByteArray("columns");
  WindowShape atDesk;
  atDesk.Geometry = QRect(1400, 50, 1600, 900);
  atDesk.Maximized = true;
  ASSERT_TRUE(WriteWindowShape(file, alone, laptop));
  ASSERT_TRUE(WriteWindowShape(file, desk, atDesk));

  const auto readAlone = ReadWindowShape(file, alone);
  ASSERT_TRUE(readAlone.has_value());
  EXPECT_EQ(readAlone->Geometry, laptop.Geometry);
  EXPECT_FALSE(readAlone->Maximized);
  EXPECT_EQ(readAlone->Divider, laptop.Divider);
  EXPECT_EQ(readAlone->Columns, laptop.Columns);
  const auto readDesk = ReadWindowShape(file, desk);
  ASSERT_TRUE(readDesk.has_value());
  EXPECT_EQ(readDesk->Geometry, atDesk.Geometry);
  EXPECT_TRUE(readDesk->Maximized);
  EXPECT_FALSE(ReadWindowShape(file, ScreenSetKey({kRight})).has_value())
      << "a set never seen has no shape";

  // Writing one set again leaves the other as it was.
  laptop.Geometry = QRect(30, 40, 1000, 700);
  ASSERT_TRUE(WriteWindowShape(file, alone, laptop));
  EXPECT_EQ(ReadWindowShape(file, alone)->Geometry, laptop.Geometry);
  EXPECT_EQ(ReadWindowShape(file, desk)->Geometry, atDesk.Geometry);
}

TEST(WindowShapeTest, AFileThatIsNotOursIsLeftAlone) {
  static const char kBinary[] = "\x7f" "ELF\x02\x01\x01\x00\n[broken\x00\xff\xfe\n\x01";
  const std::vector<std::string> contents = {
      std::string(kBinary, sizeof(kBinary) - 1),  // a stray binary file
      "Notes for Monday\nbuy milk\n",               // someone's text, not settings
      "[1280x800+0+0]\ngeometry=@Rect(1 2 900 600)\n\xc3\x28\n",  // not UTF-8
  };
  for (const std::string& content : contents) {
    const TempDir dir;
    const std::string path = dir.WriteFile("Window.ini", content);
    const QString file = QString::fromStdString(path);
    EXPECT_FALSE(ReadWindowShape(file, ScreenSetKey({kLaptop})).has_value()) << content;
    WindowShape shape;
    shape.Geometry = QRect(10, 20, 900, 600);
    EXPECT_FALSE(WriteWindowShape(file, ScreenSetKey({kLaptop}), shape)) << content;
    EXPECT_EQ(ReadFileBytes(path), content);
  }
}

TEST(WindowShapeTest, AStoredGeometryThatMakesNoSenseIsNotUsed) {
  const TempDir dir;
  const QString key = ScreenSetKey({kLaptop});
  for (const char* geometry : {"@Rect(0 0 0 0)", "@Rect(0 0 -5 300)", "@Rect(0 0 900000 600)",
                               "nonsense"}) {
    const std::string text = "[" + key.toStdString() + "]\ngeometry=" + geometry + "\n";
    const QString file = QString::fromStdString(dir.WriteFile("Window.ini", text));
    EXPECT_FALSE(ReadWindowShape(file, key).has_value()) << geometry;
  }
}

}  // namespace
