#include "records/Preset.h"

#include "records/Pages.h"

namespace {

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

bool IsSwitch(int8_t value) {
  return value == 0 || value == 1;
}

}  // namespace

void Preset::CopySettingsFrom(const Preset& from) {
  // QList and QString have value semantics (copy on write), so the assignment is a deep copy:
  // editing a rule of one preset is never seen through another.
  const int8_t number = PresetNumber;
  const QString name = PresetName;
  *this = from;
  PresetNumber = number;
  PresetName = name;
}

int ValidateRanges(const Preset& s) {
  if (s.PresetNumber < 0 || !InRange(s.SelectedPage, 0, kPageCount - 1)) return 0;
  for (const int8_t flag :
       {s.TemplateButtons,  s.PatternButtons,      s.AlwaysOnTop,        s.IncludeSubdirectories,
        s.IncludeHidden,    s.ListKeepFiltered,    s.ListKeepSources,    s.ListKeepFailed,
        s.ListKeepTargets,  s.ListKeepUnprocessed, s.QuitAfterRun,       s.FilterActive,
        s.ChangeDates,      s.DateRulesActive,     s.HiddenChange,       s.HiddenClear,
        s.ReadOnlyChange,   s.ReadOnlyClear,       s.ArchiveChange,      s.ArchiveClear,
        s.NotIndexedChange, s.NotIndexedClear,     s.RemoveActive,       s.RemoveFromEnd,
        s.InsertActive,     s.InsertFromEnd,       s.CaseActive,         s.ReplaceActive,
        s.ExtCaseActive,    s.ExtCaseMode,         s.ExtRulesActive,     s.SortActive,
        s.SortDirection,    s.RemoveZoneMark,      s.NameTemplateActive, s.CounterPerDirectory,
        s.NoLeadingZeros,   s.TargetDirActive,     s.KeepSubfolders,     s.TargetMove}) {
    if (!IsSwitch(flag)) return 0;
  }
  for (const int8_t choice :
       {s.FilterDateSource, s.DatePlaceholderSource, s.DateMode, s.DateCopySource}) {
    if (!InRange(choice, 0, 2)) return 0;
  }
  if (s.FixedDate < 0) return 0;
  for (const int16_t position : {s.RemovePosition, s.RemoveCount, s.InsertPosition}) {
    if (!InRange(position, 1, 999)) return 0;
  }
  if (!InRange(s.CaseMode, 0, 5) || !InRange(s.SortKey, 0, 6)) return 0;
  for (const FilterCondition& c : s.FilterConditions) {
    if (!InRange(c.Kind, 0, 14) || !InRange(c.Operator, 0, 7) || !InRange(c.Mode, 1, 2)) {
      return 0;
    }
  }
  for (const DateAdjustment& a : s.DateAdjustments) {
    if (!InRange(a.Unit, 0, 17) || !InRange(a.Operation, 0, 2)) return 0;
  }
  return 1;
}
