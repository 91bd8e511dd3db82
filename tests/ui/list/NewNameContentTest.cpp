// The new-name column's reading of what is inside the files: every value asked for arrives, the
// many values of a long request are handed on in a few batches rather than one by one (each
// hand-on plans the whole list again), and the last ones without waiting.

#include "ui/list/NewNameContent.h"

#include "naming/PlaceholderTable.h"
#include "platform/LocalTime.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Photos made from one by exiv2, copied with a date of its own for each: i minutes past midnight.
std::vector<NewNameContent::File> MakePhotos(TempDir& dir, int count, const PlaceholderSet& need) {
  const std::string model = dir.WriteFile("model.jpg");
  {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg, model);
#pragma GCC diagnostic pop
    image->exifData()["Exif.Photo.DateTimeOriginal"] = "2021:01:01 00:00:00";
    image->writeMetadata();
  }
  std::string bytes = ReadFileBytes(model);
  const size_t date = bytes.find("2021:01:01 00:00:00");
  std::vector<NewNameContent::File> files;
  if (date == std::string::npos) return files;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%03d.jpg", i);
    char taken[32];
    std::snprintf(taken, sizeof taken, "2021:01:01 %02d:%02d:00", i / 60, i % 60);
    bytes.replace(date, 19, taken);
    files.push_back({i + 1, QString::fromStdString(dir.WriteFile(name, bytes)), need});
  }
  return files;
}

// Every file's date asked for behind the rows on screen is read, while the rows on screen are
// asked for again and again (each new plan and each scroll asks), and on both workers' reading
// each value comes once and right.
TEST(NewNameContent, FilesAskedForBehindStayAskedForWhileTheRowsOnScreenChange) {
  TempDir dir;
  PlaceholderSet need;
  need.Add(DateTakenId());
  constexpr int kFiles = 600;
  std::vector<NewNameContent::File> files = MakePhotos(dir, kFiles, need);
  ASSERT_EQ(files.size(), size_t{kFiles});
  NewNameContent content;
  content.RequestBehind(files);
  EXPECT_TRUE(content.BehindInHand());
  QElapsedTimer waited;
  waited.start();
  while (content.Known().size() < kFiles && waited.elapsed() < 60000) {
    // The same few rows "on screen", asked for again each time round.
    std::vector<NewNameContent::File> screen(files.begin(), files.begin() + 5);
    screen.back().Need = {};
    content.Request(std::move(screen), need);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  ASSERT_EQ(content.Known().size(), kFiles);
  for (int i = 0; i < kFiles; ++i)
    EXPECT_EQ(content.Known().value(i + 1).Values.value(DateTakenId()),
              QString::number(DateFromParts({2021, 1, 1, i / 60, i % 60, 0})))
        << i;
  ASSERT_TRUE([&] {
    while (content.Busy() && waited.elapsed() < 60000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return !content.Busy();
  }());
  EXPECT_FALSE(content.BehindInHand());
}

TEST(NewNameContent, ALongRequestArrivesWholeInAFewBatches) {
  TempDir dir;
  // One photo made by exiv2, copied with a date of its own for each.
  const std::string model = dir.WriteFile("model.jpg");
  {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg, model);
#pragma GCC diagnostic pop
    image->exifData()["Exif.Photo.DateTimeOriginal"] = "2021:01:01 00:00:00";
    image->writeMetadata();
  }
  std::string bytes = ReadFileBytes(model);
  const size_t date = bytes.find("2021:01:01 00:00:00");
  ASSERT_NE(date, std::string::npos);
  constexpr int kFiles = 600;
  std::vector<NewNameContent::File> files;
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%03d.jpg", i);
    char taken[32];
    std::snprintf(taken, sizeof taken, "2021:01:01 %02d:%02d:00", i / 60, i % 60);
    bytes.replace(date, 19, taken);
    files.push_back({i + 1, QString::fromStdString(dir.WriteFile(name, bytes)), {}});
  }
  PlaceholderSet need;
  need.Add(DateTakenId());

  NewNameContent content;
  int arrivals = 0;
  QObject::connect(&content, &NewNameContent::Arrived, [&] { ++arrivals; });
  content.Request(files, need);
  QElapsedTimer waited;
  waited.start();
  while (content.Known().size() < kFiles && waited.elapsed() < 60000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  ASSERT_EQ(content.Known().size(), kFiles);
  for (int i = 0; i < kFiles; ++i) {
    const KnownContent known = content.Known().value(i + 1);
    EXPECT_TRUE(known.Ok);
    EXPECT_EQ(known.Values.value(DateTakenId()),
              QString::number(DateFromParts({2021, 1, 1, i / 60, i % 60, 0})))
        << i;
  }
  // Not one hand-on per file; the batches follow at most every tenth of a second, then every
  // second, and the last one as soon as the reading is done.
  EXPECT_LT(arrivals, kFiles / 10);
}

}  // namespace
