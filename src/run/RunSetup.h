#pragma once

#include "naming/Placeholders.h"
#include "records/Preset.h"
#include "run/RunProcedure.h"

#include <QString>

// What a front end sets up before it starts a run.

// The folders the path placeholders stand for: the desktop and the program's folder as start-up
// found them, the documents folder as the system names it now. The run, the new-name column and
// the placeholder preview all expand with these.
PathFolders TemplateFolders(const QString& desktopFolder, const QString& programFolder);

// The single-file test run: a copy of one file goes into the preview folder under the name the
// task gives it, and nothing is asked, kept or sorted. Its settings are `settings` with those
// few overridden, so that the settings the user works on come out as they went in.
Preset TestRunSettings(const Preset& settings, const QString& previewFolder);
// Its policy: only the current entry is processed, an earlier copy is replaced without asking,
// and nothing is kept for a later list.
RunPolicy TestRunPolicy();
