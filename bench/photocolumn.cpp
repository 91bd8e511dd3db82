// The new-name column for many photos named and sorted by their date taken: the time until every
// row shows its name, against the time the run itself needs to read the same photos' dates (its
// preparation reads them all for the sort), both in this run; and the longest stall of the GUI
// thread meanwhile (the longest gap between two ticks of a 10 ms timer).
//
//   bench_photocolumn [photos]   (or MERVANE_BENCH_FILES; 100000 in an optimised build, 2000 in
//                                 a debug build)
//
// The photos are small JPEGs (about 350 bytes: a one-pixel image and an EXIF segment with the
// date taken, all one apart, written by exiv2 once and copied with the date changed), in folders
// of a thousand, in /dev/shm where there is one (MERVANE_BENCH_TREE names another place): 100 KB
// photos would make 10 GB. The reading parses the same EXIF either way.

#include "app/AppState.h"
#include "app/ImageStore.h"
#include "filelist/Loader.h"
#include "filelist/Prepare.h"
#include "fileops/NewNamePlan.h"
#include "fileops/PreparationContent.h"
#include "platform/FileName.h"
#include "platform/Process.h"
#include "settings/BuiltinPresets.h"
#include "texts/TextLoader.h"
#include "ui/list/LoadedFiles.h"
#include "ui/list/NewNamePreview.h"
#include "ui/window/MainWindow.h"

#include "BenchSupport.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::Clock;
using bench::Seconds;

constexpr long kPerFolder = 1000;

// The EXIF date of photo i: a minute and a second after the one before.
std::string TakenText(long i) {
  const time_t when = 1609459200 + static_cast<time_t>(i) * 61;
  struct tm parts {};
  ::gmtime_r(&when, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &parts);
  return text;
}

bool MakePhotos(const std::string& root, long count) {
  const std::string model = root + "/model.jpg";
  try {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg, model);
#pragma GCC diagnostic pop
    image->exifData()["Exif.Image.Make"] = "Bench";
    image->exifData()["Exif.Photo.DateTimeOriginal"] = TakenText(0);
    image->writeMetadata();
  } catch (const std::exception& error) {
    std::printf("cannot write %s: %s\n", model.c_str(), error.what());
    return false;
  }
  std::ifstream in(model, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ::unlink(model.c_str());
  const size_t date = bytes.find(TakenText(0));
  if (date == std::string::npos) return false;
  std::printf("%ld photos of %zu bytes\n", count, bytes.size());
  for (long i = 0; i < count; ++i) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "/dir%03ld", i / kPerFolder);
    if (i % kPerFolder == 0 && ::mkdir((root + folder).c_str(), 0755) != 0) return false;
    char name[32];
    std::snprintf(name, sizeof name, "/IMG_%06ld.jpg", i);
    bytes.replace(date, 19, TakenText(i));
    const int fd = ::open((root + folder + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      return false;
    ::close(fd);
  }
  return true;
}

Preset Task() {
  Preset settings = WorkingPreset();
  settings.TargetDirActive = 0;
  settings.NameTemplateActive = 1;
  settings.NameTemplate = QStringLiteral("%TY%%TM%%TD%_%TH%%TI%%TS%");
  settings.SortActive = 1;
  settings.SortKey = kSortDateTaken;
  return settings;
}

void LoadInto(FileList& list, const QString& root, const Preset& settings) {
  LoadFlags flags;
  LoadPaths(root, list, settings, flags);
}

// The run's own reading: its preparation reads every photo's date taken for the sort.
double RunReading(const QString& root, long count) {
  const Preset settings = Task();
  FileList list;
  LoadInto(list, root, settings);
  if (list.Count() != count) std::printf("loaded %lld of %ld\n", (long long)list.Count(), count);
  RunFlags flags;
  flags.RunActive = 1;
  // On a worker thread at the run's lowered priority, as the column's reading is too.
  qsizetype read = 0;
  const auto start = Clock::now();
  std::thread worker([&] {
    LowerThreadPriority();
    read = ReadPreparationContent(list, settings, flags);
  });
  worker.join();
  const double elapsed = Seconds(start);
  if (read != count) std::printf("read %lld of %ld\n", static_cast<long long>(read), count);
  return elapsed;
}

struct ColumnFill {
  double Seconds = 0;
  double LongestGapMs = 0;
};

// The window over the loaded photos: from its showing until no row waits for its date taken.
ColumnFill Column(const QString& root, long count) {
  auto app = std::make_unique<AppState>();
  app->PresetList = {WorkingPreset()};
  app->WorkingSettings = Task();
  LoadInto(app->Files, root, app->WorkingSettings);
  ColumnFill fill;
  QElapsedTimer sinceTick;
  QTimer ticker;
  ticker.setInterval(10);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    fill.LongestGapMs = std::max(fill.LongestGapMs, sinceTick.nsecsElapsed() / 1e6);
    sinceTick.restart();
  });
  const auto start = Clock::now();
  auto window = std::make_unique<MainWindow>(*app);
  window->resize(1000, 700);
  window->show();
  sinceTick.start();
  ticker.start();
  NewNamePreview* names = window->Files()->NewNames();
  const auto done = [&] {
    const std::shared_ptr<const NewNamePlan> plan = names->Plan();
    return plan != nullptr && plan->Count() == count && plan->Pending() == 0 && names->Idle();
  };
  const auto limit = Clock::now() + std::chrono::minutes(5);
  while (!done() && Clock::now() < limit)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);  // the ticker wakes it
  fill.Seconds = Seconds(start);
  ticker.stop();
  if (!done()) {
    std::printf("the column did not fill within five minutes\n");
    fill.Seconds = -1;
  }
  return fill;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
#ifdef NDEBUG
  long count = 100000;
#else
  long count = 2000;
#endif
  if (const char* env = std::getenv("MERVANE_BENCH_FILES")) count = std::atol(env);
  if (argc > 1) count = std::atol(argv[1]);
  if (count <= 0) count = 1000;
  if (!LoadProductTexts() || !LoadLanguageTable(1) || !DecodeEmbeddedImages()) return 1;

  std::string base = QDir::tempPath().toStdString();
  if (const char* env = std::getenv("MERVANE_BENCH_TREE"))
    base = env;
  else if (::access("/dev/shm", W_OK) == 0)
    base = "/dev/shm";
  std::string root = base + "/mervane-bench-XXXXXX";
  if (::mkdtemp(root.data()) == nullptr) return 1;
  if (!MakePhotos(root, count)) {
    std::perror("making the photos");
    bench::RemoveTree(root);
    return 1;
  }
  const QString tree = DecodeFileName(root);
  // Turns alternate, best of three each, so that a passing load falls on both alike.
  double reading = 1e9;
  ColumnFill column{1e9, 0};
  for (int round = 0; round < 3; ++round) {
    reading = std::min(reading, RunReading(tree, count));
    const ColumnFill fill = Column(tree, count);
    if (fill.Seconds < 0) {
      bench::RemoveTree(root);
      return 1;
    }
    if (fill.Seconds < column.Seconds) column.Seconds = fill.Seconds;
    column.LongestGapMs = std::max(column.LongestGapMs, fill.LongestGapMs);
  }
  bench::RemoveTree(root);
  std::printf("run reads the dates taken   %8.3f s   (its preparation, for the sort; best of 3)\n",
              reading);
  std::printf("column shows every name     %8.3f s   (from the window's showing; best of 3)\n",
              column.Seconds);
  std::printf("column / run reading        %8.2f     (target <= 1.5)\n", column.Seconds / reading);
  std::printf("longest gap between ticks   %8.1f ms  (target < 100; the longest of 3)\n",
              column.LongestGapMs);
  return 0;
}
