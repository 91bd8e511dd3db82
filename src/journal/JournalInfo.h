#pragma once

#include "journal/RunJournal.h"
#include "records/Preset.h"

#include <QString>

#include <optional>

// What the header of a run's journal says about the run, the same from every front end: the
// preset it was started from, the front end, how many entries the list held, and the task in
// short (the name template, the target folder and whether the files move), so that a list of
// runs can tell them apart. `loadedPaths`, when given, are the paths the run loaded itself (the
// console's command line); a window run works on a list loaded before it.
RunJournalInfo JournalInfoFor(const Preset& startedFrom, const Preset& settings,
                              JournalFrontEnd frontEnd, qsizetype listCount,
                              const std::optional<QString>& loadedPaths = std::nullopt);
