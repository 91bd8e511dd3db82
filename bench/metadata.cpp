// Renaming photos by the date their camera wrote: the console program with the template
// "%TY%%TM%%TD%_%TH%%TI%%TS%" against exiv2's own rename (`exiv2 -r '%Y%m%d_%H%M%S' rename`)
// and, when it is there, exiftool ('-FileName<DateTimeOriginal'), each on a fresh folder of the
// same photos in the same run, so that the ratios hold on a busy machine too.
//
//   bench_metadata [photo count] [KiB per photo]   (MERVANE_BENCH_FILES also sets the count;
//                                                   the defaults are 10000 photos of 100 KiB in
//                                                   an optimised build, 2000 in a debug build)
//
// Each photo is a small JPEG whose EXIF DateTimeOriginal is written here with exiv2, padded to
// its size after the image's end; no two photos share a second. The program runs in a private
// world (HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR, TMPDIR in the benchmark's folder); its time
// includes start-up, loading, the checks, reading every photo's date and writing the undo
// journal (MERVANE_JOURNAL=off, passed on, leaves the journal out). MERVANE_BENCH_KEEP keeps
// the world and a folder of the photos for profiling.

#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include "BenchSupport.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

// The full path of a program on PATH; empty when there is none.
std::string OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    const size_t end = std::min(folders.find(':', start), folders.size());
    const std::string candidate = folders.substr(start, end - start) + "/" + program;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

std::string PhotoName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "IMG_%05d.jpg", i);
  return name;
}

// The EXIF date of photo i: a minute and a second apart from the one before.
std::string TakenText(int i) {
  const time_t when = 1609459200 + static_cast<time_t>(i) * 61;  // 2021-01-01 00:00:00 UTC
  struct tm parts {};
  ::gmtime_r(&when, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &parts);
  return text;
}

bool MakePhotos(const std::string& folder, int count, int kib) {
  ::mkdir(folder.c_str(), 0755);
  const std::string padding(static_cast<size_t>(kib) * 1024, '\0');
  for (int i = 0; i < count; ++i) {
    const std::string path = folder + "/" + PhotoName(i);
    try {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
      Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg, path);
#pragma GCC diagnostic pop
      image->exifData()["Exif.Image.Make"] = "Bench";
      image->exifData()["Exif.Photo.DateTimeOriginal"] = TakenText(i);
      image->writeMetadata();
    } catch (const std::exception& error) {
      std::printf("cannot write %s: %s\n", path.c_str(), error.what());
      return false;
    }
    // The rest of a photo's size, after the image's end, where no reader looks.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    if (fd < 0 ||
        ::write(fd, padding.data(), padding.size()) != static_cast<ssize_t>(padding.size())) {
      std::perror("padding a photo");
      return false;
    }
    ::close(fd);
  }
  return true;
}

// Photos named after their date ("2021..."), and the names left as they were.
int CountRenamed(const std::string& folder) {
  int renamed = 0;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d))
      if (std::strncmp(e->d_name, "202", 3) == 0) ++renamed;
    ::closedir(d);
  }
  return renamed;
}

std::vector<std::string> PhotoPaths(const std::string& folder, int count) {
  std::vector<std::string> paths;
  paths.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) paths.push_back(folder + "/" + PhotoName(i));
  return paths;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef NDEBUG
  int count = 10000;
#else
  int count = 2000;
#endif
  int kib = 100;
  if (const char* env = std::getenv("MERVANE_BENCH_FILES")) count = std::atoi(env);
  if (argc > 1) count = std::atoi(argv[1]);
  if (argc > 2) kib = std::atoi(argv[2]);
  if (count <= 0) count = 1000;
  if (kib < 0) kib = 0;

  const std::string exiv2 = OnPath("exiv2");
  const std::string exiftool = OnPath("exiftool");
  if (exiv2.empty()) {
    std::printf("exiv2 is not installed (Debian's package exiv2): nothing to compare with\n");
    return 1;
  }

  const std::string root = bench::MakeWorld();
  if (root.empty()) return 1;

  if (!LoadProductTexts() || !LoadLanguageTable(kLanguageEnglish)) return 1;
  Preset preset;
  preset.PresetNumber = 1;
  preset.PresetName = QStringLiteral("By date taken");
  preset.TargetDirActive = 0;
  preset.NameTemplateActive = 1;
  preset.NameTemplate = QStringLiteral("%TY%%TM%%TD%_%TH%%TI%%TS%");
  const std::string settings = root + "/config/" + ProductTexts[0].toStdString();
  ::mkdir(settings.c_str(), 0755);
  if (!SavePresets(QString::fromStdString(settings + "/Presets"), {WorkingPreset(), preset}, 0))
    return 1;
  std::vector<std::string> env = bench::WorldEnvironment(root);
  env.push_back("TZ=UTC0");
  // MERVANE_JOURNAL=off (test and benchmark builds) shows what the undo journal costs.
  if (const char* journal = std::getenv("MERVANE_JOURNAL"))
    env.push_back(std::string("MERVANE_JOURNAL=") + journal);

  std::printf("%d photos of %d KiB in one folder, renamed by their date taken\n", count, kib);

  // One tool on a fresh folder of the photos: its time, or a negative one when it failed. The
  // photos just made are written out first, so that a tool that syncs (the undo journal does)
  // does not pay for the benchmark's own writing of a hundred megabytes.
  const auto timed = [&](const char* what, auto&& args) {
    const std::string folder = root + "/photos";
    if (!MakePhotos(folder, count, kib)) std::exit(1);
    ::sync();
    std::vector<std::string> command = args(folder);
    int exitCode = 0;
    const double seconds = bench::TimedRun(std::move(command), env, root, exitCode);
    const int renamed = CountRenamed(folder);
    bench::RemoveTree(folder);
    if (exitCode != 0 || renamed != count) {
      std::printf("%s failed: exit code %d, %d of %d renamed\n", what, exitCode, renamed, count);
      return -1.0;
    }
    std::printf("  %-10s %8.3f s  (%7.1f photos/s)\n", what, seconds, count / seconds);
    return seconds;
  };

  // The tools take turns, three rounds, so that a passing load falls on each of them alike.
  constexpr int kRounds = 3;
  std::vector<double> programTimes, exiv2Times, exiftoolTimes;
  for (int round = 0; round < kRounds; ++round) {
    programTimes.push_back(timed("mervane", [&](const std::string& folder) {
      return std::vector<std::string>{MERVANE_BINARY, "-Console", "-Preset=1", "-IgnoreWarning",
                                      folder};
    }));
    exiv2Times.push_back(timed("exiv2", [&](const std::string& folder) {
      std::vector<std::string> command = {exiv2, "-r", "%Y%m%d_%H%M%S", "rename"};
      for (std::string& path : PhotoPaths(folder, count)) command.push_back(std::move(path));
      return command;
    }));
    // exiftool is a hundred times slower: one round of it is a fair figure already.
    if (!exiftool.empty() && round == 0) {
      exiftoolTimes.push_back(timed("exiftool", [&](const std::string& folder) {
        return std::vector<std::string>{
            exiftool, "-q", "-FileName<DateTimeOriginal", "-d", "%Y%m%d_%H%M%S%%-c.%%e", folder};
      }));
    }
  }
  const auto median = [](std::vector<double> values) {
    if (std::any_of(values.begin(), values.end(), [](double v) { return v < 0; })) return -1.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  const double program = median(programTimes);
  const double byExiv2 = median(exiv2Times);
  const double byExiftool = exiftool.empty() ? 0.0 : median(exiftoolTimes);
  std::printf("medians of %d: mervane %.3f s, exiv2 %.3f s\n", kRounds, program, byExiv2);
  // MERVANE_BENCH_KEEP keeps the private world (settings included) with a folder "kept" of the
  // photos as made, for profiling by hand (copy it before each run: the run renames them).
  if (std::getenv("MERVANE_BENCH_KEEP") && MakePhotos(root + "/kept", count, kib))
    std::printf("kept %s\n", root.c_str());
  else
    bench::RemoveTree(root);
  if (program < 0 || byExiv2 < 0 || byExiftool < 0) return 1;

  std::printf("mervane / exiv2 rename: %.2fx (target at most 1.0x)\n", program / byExiv2);
  if (!exiftool.empty())
    std::printf("mervane / exiftool:     %.3fx (target at most 0.1x)\n", program / byExiftool);
  else
    std::printf("exiftool is not installed (Debian's package libimage-exiftool-perl): no ratio\n");
  return 0;
}
