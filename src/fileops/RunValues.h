#pragma once

#include "naming/Placeholders.h"
#include "records/Preset.h"

#include <QString>

#include <cstdint>

// The values a whole run needs, derived from the settings once before the run starts, so that
// the checks, the preparation and the batch all see the same prepared templates.
struct RunValues {
  // With the fixed-date mode on: the preset's date, or the date the date field showed when the
  // preset holds none; otherwise 0.
  int32_t ResolvedFixedDate = 0;
  bool AttributesNeeded = false;  // any of the four attribute changes is on
  // Any step that builds a new name is on: template, removing, inserting, case, replacing.
  bool NameBuildingActive = false;
  // With name building: the template with its placeholders in upper case, or "%FN%" when only
  // the other steps are on; otherwise empty.
  QString PreparedNameTemplate;
  // With a target directory: its template with the path placeholder resolved, "/"-separated,
  // ending with "/"; otherwise empty.
  QString PreparedTargetDir;
  // The target directory opens with "%PF%": it lies below each file's own folder.
  bool TargetRelativeToSource = false;
  // The list must be filtered or sorted before the batch.
  bool PreparationNeeded = false;

  bool operator==(const RunValues&) const = default;
};

// Derives the run values. `fileCount` is the number of loaded entries (sorting one entry is
// pointless); `dateFieldValue` is the date shown by the date field, used when the fixed-date
// mode is on but the preset holds no date.
RunValues PrepareRunValues(const Preset& settings, qsizetype fileCount, const PathFolders& folders,
                           int64_t dateFieldValue);
