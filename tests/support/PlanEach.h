#pragma once

#include "filelist/Prepare.h"
#include "fileops/DiskLookup.h"
#include "fileops/Plan.h"
#include "platform/FileSystem.h"

#include <vector>

// Plans every entry of `files` in list order with one planner, each settled before the next, as
// a run with these settings would meet them now; nothing on disk changes. With `checkFilter`,
// an entry a ticked filter condition takes out is marked instead of planned (a run's
// preparation removes such entries instead). Entries marked by a preparation pass keep their
// code, as in a run after one.
inline std::vector<EntryPlan> PlanEach(const FileList& files, const Preset& settings,
                                       const RunValues& runValues, const PlanOptions& options,
                                       bool checkFilter = false) {
  Planner planner(files, settings, runValues, options);
  const FilterMatcher filter(settings);
  std::vector<EntryPlan> plans;
  plans.reserve(static_cast<size_t>(files.Count()));
  for (const FileEntry& entry : files) {
    EntryPlan plan;
    const int met = checkFilter ? filter.FirstMet(entry) : -1;
    if (met >= 0) {
      plan = Planner::Failed(kStatusNotProcessed);
      plan.Expect = PlanExpect::FilteredOut;
    } else if (met == FilterMatcher::kFilterGaveUp) {
      plan = Planner::Failed(kStatusMatchGaveUp);
    } else if (runValues.PreparationNeeded &&
               (entry.Status == kStatusSourceMissing || entry.Status == kStatusReadError ||
                entry.Status == kStatusMatchGaveUp)) {
      plan = Planner::Failed(entry.Status);
    } else if (options.DiskLookups && (options.Disk != nullptr ? options.Disk->Kind(entry.Path())
                                                               : FileSize(entry.Path())) < 0) {
      plan = Planner::Failed(kStatusSourceMissing);
    } else {
      plan = planner.Plan(entry);
    }
    planner.Settle(entry, plan, plan.Status);
    plans.push_back(std::move(plan));
  }
  return plans;
}
