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
