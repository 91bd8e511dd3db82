// Built-in preset 2 on a folder of photos whose cameras wrote when they were taken: each photo
// goes into the folder of its date taken, named after it; a file without one keeps to its
// modification date. The real program on real files.

#include "console/ConsoleWorld.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <sys/stat.h>
#include <utime.h>

namespace {

void WriteJpeg(const std::string& path, const std::string& taken) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg, path);
#pragma GCC diagnostic pop
  if (!taken.empty()) image->exifData()["Exif.Photo.DateTimeOriginal"] = taken;
  image->writeMetadata();
}

class PhotoDates : public ConsoleWorldTest {};

TEST_F(PhotoDates, PresetTwoFilesEachPhotoUnderItsDateTaken) {
  World w;
  // The second built-in preset, as it is stored as preset 1 of this world.
  w.SavePresetList({BuiltinPresets()[1]});
  w.Dir().MakeDir("work/files");
  struct Photo {
    const char* name;
    const char* taken;
    const char* expected;  // below the desktop
  };
  const std::vector<Photo> photos = {
      {"a.jpg", "2021:07:14 09:30:05", "output/2021/07/2021-07-14_09-30-05 a.jpg"},
      {"b.jpg", "2019:12:31 23:59:59", "output/2019/12/2019-12-31_23-59-59 b.jpg"},
      // No date taken: the modification date, 2 March 2020 at noon local time.
      {"c.jpg", "", "output/2020/03/2020-03-02_12-00-00 c.jpg"},
  };
  for (const Photo& photo : photos) {
    const std::string path = w.Work() + "files/" + photo.name;
    WriteJpeg(path, photo.taken);
    struct tm local {};
    local.tm_year = 120;
    local.tm_mon = 2;
    local.tm_mday = 2;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    const time_t when = ::mktime(&local);
    const struct utimbuf times = {when, when};
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
  }
  const ChildResult run = w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  for (const Photo& photo : photos) {
    EXPECT_TRUE(PathExists(w.Dir().Bytes() + "home/Desktop/" + photo.expected))
        << photo.expected << "\n"
        << run.out;
    EXPECT_FALSE(PathExists(w.Work() + "files/" + photo.name));
  }
}

}  // namespace
