#pragma once

#include "filelist/FileList.h"
#include "records/Preset.h"
#include "records/RunFlags.h"

// Values from inside the files that the run's preparation (its filter and its sort) tests: the
// date taken, when the sort is by it or a ticked date condition of the filter reads it. They are
// read right before the preparation, and only then, as the checksums are read only for a name
// that needs them.

// Whether the filter or the sort of these settings tests the date taken.
bool PreparationNeedsDateTaken(const Preset& settings);

// Reads the date taken of the entries the preparation looks at into them (a file without one,
// or one that cannot be read, has none: the modification date stands in). Nothing when the
// settings do not need it. A single-entry test run reads only the current entry. Polls
// `RunCancelled` after every file. Returns the number of files read.
qsizetype ReadPreparationContent(FileList& list, const Preset& settings, const RunFlags& flags);
