#pragma once

#include "records/FileEntry.h"

#include <QString>

#include <cstdint>

struct Preset;

// The date modes of the task (Preset::DateMode, as stored).
enum DateModeValue : int8_t {
  kDateModeNow = 0,    // created keeps the file's own, modified becomes now
  kDateModeFixed = 1,  // all three become the fixed date
  kDateModeCopy = 2,   // all three become one of the file's dates (DateCopySource)
};

// The unit of a date adjustment: a rule's Unit is unit + 6 x date (0 last access, 1 modified,
// 2 created), so 0..17.
enum DateUnit : int8_t {
  kUnitSecond = 0,
  kUnitMinute = 1,
  kUnitHour = 2,
  kUnitDay = 3,
  kUnitMonth = 4,
  kUnitYear = 5,
};
inline constexpr int kUnitsPerDate = 6;
inline constexpr int kLastRuleUnit = 3 * kUnitsPerDate - 1;

// What an adjustment does (DateAdjustment::Operation).
enum DateOperation : int8_t { kDateSet = 0, kDateAdd = 1, kDateSubtract = 2 };

// Whether the target of an operation still carries the times recorded in its entry.
enum class TargetTimes : int8_t {
  AsRecorded,  // a plain rename, or the source itself: unchanged dates need no write
  Fresh,       // a copy (or a content read that touched the access time): write them all
};

// One date to write: the local date value and the exact file time it stands for.
struct DateToWrite {
  int64_t Value = 0;  // local date value; -1 the invalid date, which is never written
  FileTime Time;      // what goes to the file (full resolution when the value is a recorded one)
  bool Write = false;
};

struct DatePlan {
  DateToWrite Created;
  DateToWrite LastAccess;
  DateToWrite Modified;
  bool AnyWrite() const { return Created.Write || LastAccess.Write || Modified.Write; }
};

// The dates the task gives the file at `targetPath`: the recorded ones, replaced by the date
// mode when ChangeDates is on, then changed by the active adjustment rules. A date that keeps
// its recorded value is written with the recorded full-resolution time, and not at all when
// `targetTimes` says the target still has it. `resolvedFixedDate` is the run's fixed date.
DatePlan ComputeDates(const QString& targetPath, const FileEntry& entry, const Preset& settings,
                      int64_t resolvedFixedDate, TargetTimes targetTimes);

// Writes the planned dates: creation where the file system keeps a writable one (NTFS, CIFS),
// then access and modification in one call. Returns 0 or the errno of the access and
// modification write; a creation date that cannot be written is ignored.
int WriteDatePlan(const QString& targetPath, const DatePlan& plan);

// ComputeDates + WriteDatePlan; failures are ignored, as every date write result is.
void WriteDates(const QString& targetPath, const FileEntry& entry, const Preset& settings,
                int64_t resolvedFixedDate, TargetTimes targetTimes = TargetTimes::Fresh);

// One adjustment: `unit` a DateUnit, `operation` a DateOperation. An
// impossible result (30 February, 29 February + 1 year, hour 24 ...) gives -1; the invalid
// date stays invalid; other unit or operation values leave the date as it is.
int64_t AdjustDate(int64_t date, int unit, int operation, int64_t amount);
