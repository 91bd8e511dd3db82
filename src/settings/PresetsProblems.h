#pragma once

#include "records/Preset.h"
#include "settings/KeptFiles.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// What start-up must say about the presets it found: a presets file that cannot be used, or a
// preset that was asked for and cannot be activated. A console run refuses to start then, so
// that no other task runs in place of the user's; the window says it once and goes on with
// what it could read.

struct PresetsAtStartup {
  QString PresetsFile;         // the path of the presets file
  SettingsFileStatus File;     // what LoadPresets found there
  const QList<Preset>* Presets = nullptr;  // the list as loaded
  int32_t CommandLinePreset = -1;          // "-Preset=", -1 when none was named
  int32_t Wanted = 0;     // the position asked for: the command line's, else the stored default
  int32_t Activated = 0;  // the position ActivatePreset activated
};

// One sentence on what is wrong with the presets file; empty when it could be used.
QString PresetsFileProblem(const QString& presetsFile, const SettingsFileStatus& status);

// Why a console run must not start; empty when it may. A presets file that cannot be used
// stops every run but one that names preset 0 (the default settings, which no file holds); a
// preset asked for that is there but out of range stops the run too, rather than running
// preset 0 in its place. A preset number that names no preset at all still means preset 0.
QString ConsoleRefusal(const PresetsAtStartup& found);

// What the window tells once when it is first shown, one message each: the file's problem with
// what is shown instead and the name the file is kept under before the next save, and a
// default preset that was out of range.
QStringList WindowNotices(const PresetsAtStartup& found);
