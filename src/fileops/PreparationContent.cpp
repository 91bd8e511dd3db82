#include "fileops/PreparationContent.h"

#include "filelist/Prepare.h"
#include "fileops/ContentReading.h"
#include "naming/PlaceholderTable.h"

#include <cerrno>

bool PreparationNeedsDateTaken(const Preset& settings) {
  if (settings.SortActive == 1 && settings.SortKey == kSortDateTaken) return true;
  if (settings.FilterActive != 1 || settings.FilterDateSource != kDateSourceTaken) return false;
  for (const FilterCondition& condition : settings.FilterConditions) {
    if (condition.IsActive() && condition.Kind >= kFilterSecond && condition.Kind <= kFilterYear)
      return true;
  }
  return false;
}

qsizetype ReadPreparationContent(FileList& list, const Preset& settings, const RunFlags& flags) {
  if (!PreparationNeedsDateTaken(settings)) return 0;
  const bool single = flags.RunSingle.load(std::memory_order_relaxed) == 1;
  // The sort looks at every entry; a filter alone only at those it may take out.
  const bool sorting = settings.SortActive == 1 && settings.SortKey == kSortDateTaken && !single;
  PlaceholderSet wanted;
  wanted.Add(DateTakenId());
  qsizetype pos = single ? list.Current : 0;
  const qsizetype last = single ? list.Current : list.Count() - 1;
  if (pos < 0) return 0;
  qsizetype read = 0;
  for (; pos <= last; ++pos) {
    if (flags.RunCancelled.load(std::memory_order_relaxed) == 1) break;
    FileEntry& entry = list.At(pos);
    if (!sorting && entry.Status != kStatusNotProcessed) continue;
    const ContentRead values = ReadContent(entry.Path(), wanted, &flags.RunCancelled);
    if (values.Error == ECANCELED) break;
    // No value (a file without a date taken, or one that cannot be read) is stored as none.
    StoreContent(entry, values.Ok ? values.Values : QHash<int, QString>{{DateTakenId(), {}}});
    ++read;
  }
  return read;
}
