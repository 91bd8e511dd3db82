// Built-in preset 2 on a folder of photos (JPEG and HEIC) whose cameras wrote when they were
// taken: each photo goes into the folder of its date taken, named after it; a file without one
// keeps to its modification date. The real program on real files.

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

// A file's modification time: the local noon of that day.
void SetModified(const std::string& path, int year, int month, int day) {
  struct tm local {};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  const time_t when = ::mktime(&local);
  const struct utimbuf times = {when, when};
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

// The targets a dry run names, by source file name.
std::map<std::string, std::string> PlannedTargets(const ChildResult& dry) {
  std::map<std::string, std::string> targets;
  for (const std::string& line : SplitLines(dry.out)) {
    const size_t first = line.find('\t');
    const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    const std::string source = line.substr(first + 1, second - first - 1);
    const std::string target = line.substr(second + 1);
    targets[source.substr(source.rfind('/') + 1)] = target.substr(target.rfind('/') + 1);
  }
  return targets;
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
      // A phone's HEIC, encoded from a JPEG whose EXIF it carries over.
      {"d.heic", "2022:02:03 04:05:06", "output/2022/02/2022-02-03_04-05-06 d.heic"},
  };
  for (const Photo& photo : photos) {
    const std::string path = w.Work() + "files/" + photo.name;
    if (path.ends_with(".heic")) {
      const std::string jpeg = w.Work() + "source.jpg";
      WriteJpeg(jpeg, photo.taken);
      ASSERT_TRUE(
          RunDebianTool({"heif-enc", "-q", "10", "-o", path, jpeg}, "libheif-examples", w.Work()));
    } else {
      WriteJpeg(path, photo.taken);
    }
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

// The sort and the filter's date conditions on the date taken: the order and what is taken
// out follow the dates the cameras wrote, not the files' dates, which say otherwise here; a
// photo without a date taken sorts and filters by its modification date. The dry run says what
// the run then does.
TEST_F(PhotoDates, SortAndFilterByTheDateTaken) {
  struct Photo {
    const char* name;
    const char* taken;
    int modifiedYear;
  };
  const std::vector<Photo> photos = {
      {"a.jpg", "2021:07:14 09:30:05", 2018},
      {"b.jpg", "2019:12:31 23:59:59", 2022},
      {"c.jpg", "", 2020},  // no date taken
      {"d.jpg", "2019:01:01 00:00:00", 2017},
  };
  const struct {
    const char* what;
    void (*set)(Preset&);
    std::map<std::string, std::string> expected;  // source name -> new name; absent: left
  } rows[] = {
      {"sort by the date taken, ascending",
       [](Preset& p) {
         p.SortActive = 1;
         p.SortKey = 7;
         p.SortDirection = 1;
       },
       {{"d.jpg", "1 d.jpg"}, {"b.jpg", "2 b.jpg"}, {"c.jpg", "3 c.jpg"}, {"a.jpg", "4 a.jpg"}}},
      {"sort by the date taken, descending",
       [](Preset& p) {
         p.SortActive = 1;
         p.SortKey = 7;
         p.SortDirection = 0;
       },
       {{"a.jpg", "1 a.jpg"}, {"c.jpg", "2 c.jpg"}, {"b.jpg", "3 b.jpg"}, {"d.jpg", "4 d.jpg"}}},
      {"photos taken in 2019 filtered out",
       [](Preset& p) {
         p.FilterActive = 1;
         p.FilterDateSource = 3;
         p.FilterConditions = {{kItemChecked, 9, 0, QStringLiteral("2019"), 1}};
         p.SortActive = 1;
         p.SortKey = 1;  // by name: the numbers do not hang on the folder's order
       },
       {{"a.jpg", "1 a.jpg"}, {"c.jpg", "2 c.jpg"}}},
      {"the year of the modification date stands in for a missing date taken",
       [](Preset& p) {
         p.FilterActive = 1;
         p.FilterDateSource = 3;
         p.FilterConditions = {{kItemChecked, 9, 0, QStringLiteral("2020"), 1}};
         p.SortActive = 1;
         p.SortKey = 7;
       },
       {{"d.jpg", "1 d.jpg"}, {"b.jpg", "2 b.jpg"}, {"a.jpg", "3 a.jpg"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    World w;
    Preset preset = RenamePreset("%1% %FN%");
    preset.CounterPerDirectory = 0;
    row.set(preset);
    w.SavePresetList({preset});
    w.Dir().MakeDir("work/files");
    for (const Photo& photo : photos) {
      const std::string path = w.Work() + "files/" + photo.name;
      WriteJpeg(path, photo.taken);
      SetModified(path, photo.modifiedYear, 6, 1);
    }
    const ChildResult dry =
        w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "--dry-run", "files"});
    ASSERT_EQ(dry.exitCode, 0) << dry.out << dry.err;
    EXPECT_EQ(PlannedTargets(dry), row.expected) << dry.out;

    const ChildResult run = w.Run({"-Console", "-Preset=1", "-IgnoreWarning", "files"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    for (const Photo& photo : photos) {
      const auto renamed = row.expected.find(photo.name);
      const std::string now = renamed == row.expected.end() ? photo.name : renamed->second;
      EXPECT_TRUE(PathExists(w.Work() + "files/" + now)) << now << "\n" << run.out;
    }
  }
}

}  // namespace
