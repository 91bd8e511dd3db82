// Planning a million loaded entries in the background, as a "new name" column would: the plan
// of the whole list (one planner without disk look-ups, simulating what earlier entries claim)
// against the bare name building of the same entries (BuildTarget with nothing taken), in the
// same run; and the memory the kept plans add per entry.
//
//   bench_plan [entries]     (default 1000000; 50000 in a debug build)

#include "fileops/Plan.h"
#include "fileops/RunValues.h"
#include "fileops/TargetBuilder.h"
#include "naming/Transform.h"

#include <QString>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

size_t HeapInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

void Load(FileList& list, int count) {
  static const char* const kStems[] = {"holiday_photo draft", "IMG_2041", "scan of letter",
                                       "Meeting-notes_final", "track 07 - live"};
  static const char* const kFolders[] = {"/nonexistent-mervane/photos/2021/",
                                         "/nonexistent-mervane/scans/",
                                         "/nonexistent-mervane/music/"};
  for (int i = 0; i < count; ++i) {
    FileEntry entry;
    entry.Id = i + 1;
    entry.SetDirectory(QString::fromLatin1(kFolders[(i / 1000) % 3]));
    entry.SetName(QString::fromLatin1(kStems[i % 5]) + QString::number(i));
    entry.SetPath(entry.Directory() + entry.Name() + QStringLiteral(".jpg"));
    entry.Size = 1000 + i;
    entry.Modified = 1170000000 + i;
    list.Append(std::move(entry));
  }
}

}  // namespace

int main(int argc, char** argv) {
#ifdef NDEBUG
  const int defaultCount = 1000000;
#else
  const int defaultCount = 50000;
#endif
  const int count = argc > 1 ? std::atoi(argv[1]) : defaultCount;
  if (count <= 0) return 2;

  Preset settings;
  settings.TargetDirActive = 0;
  settings.NameTemplateActive = 1;
  settings.NameTemplate = QStringLiteral("%fn% (%001%)");
  settings.CaseActive = 1;
  settings.CaseMode = kCaseWords;
  settings.ReplaceActive = 1;
  settings.TextReplacements = {{kItemChecked, QStringLiteral("_| "), QStringLiteral("-")},
                               {kItemChecked, QStringLiteral("draft|final"), QStringLiteral("v2")}};
  FileList list;
  Load(list, count);
  const RunValues values = PrepareRunValues(settings, list.Count(), PathFolders{}, 0);

  // The bare name building: every entry's target, nothing taken, nothing kept.
  const TargetPlan targets = PlanTargets(settings, values.PreparedNameTemplate,
                                         values.PreparedTargetDir, false, QString());
  CounterMap counters(targets.CounterStart, targets.CounterWidth, false);
  const PathTaken nothingTaken = [](const QString&) { return false; };
  qsizetype chars = 0;
  const Clock::time_point bareStart = Clock::now();
  for (const FileEntry& entry : list)
    chars += BuildTarget(entry, settings, targets, counters, nothingTaken).Path.size();
  const double bare = Seconds(bareStart);

  // The plan a background column keeps: one record per entry.
  PlanOptions options;
  options.DiskLookups = false;
  const size_t heapBefore = HeapInUse();
  const Clock::time_point planStart = Clock::now();
  std::vector<EntryPlan> plans;
  plans.reserve(static_cast<size_t>(list.Count()));
  {
    Planner planner(list, settings, values, options);
    for (const FileEntry& entry : list) {
      plans.push_back(planner.Plan(entry));
      planner.Settle(entry, plans.back(), plans.back().Status);
    }
  }
  const double planned = Seconds(planStart);
  const size_t heapAfter = HeapInUse();

  std::printf("entries: %d (sample: %s, %lld chars built)\n", count,
              qPrintable(plans.front().FileName), static_cast<long long>(chars));
  std::printf("bare name building   %8.3f s\n", bare);
  std::printf("plan of the list     %8.3f s\n", planned);
  std::printf("plan / bare          %8.2f   (target <= 1.5)\n", planned / bare);
  std::printf("bytes per plan       %8.0f   (target <= 150)\n",
              static_cast<double>(heapAfter - heapBefore) / count);
  return plans.size() == static_cast<size_t>(count) ? 0 : 1;
}
