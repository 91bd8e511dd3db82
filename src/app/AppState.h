#pragma once

#include "cli/StartupOptions.h"
#include "filelist/FileList.h"
#include "records/RunFlags.h"
#include "records/Preset.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// The process-wide state, owned by the main thread. Engine functions take the pieces they need
// as parameters; only start-up, the console run and the window reach for this instance.
struct AppState {
  StartupOptions Options;

  QString StartFolder;  // the caller's working directory, with a final "/"

  QString ProgramFolder;  // with a final "/"
  QString DesktopFolder;  // with a final "/", empty when unknown
  QString PreviewFolder;  // temporary folder + file-name title + "_Preview/"
  bool PreviewFolderCreated = false;
  QString SettingsFolder;
  QString LanguageFile;
  QString PresetsFile;
  QString JournalFolder;  // the undo journals of runs
  int32_t LanguageIndex = 1;  // 0 German, 1 English

  QList<Preset> PresetList;  // position 0 is the working preset 0
  Preset WorkingSettings;
  int32_t DefaultPresetIndex = 0;
  int32_t ActivePresetIndex = 0;
  // Why a console run must not start with these presets (the presets file cannot be used, or
  // the preset asked for is out of range); empty when it may.
  QString PresetRefusal;
  // What the window tells once when it is first shown (then emptied).
  QStringList StartupNotices;

  FileList Files;     // the loaded file list
  FileList FollowUp;  // what the list holds after a run

  RunFlags Run;
  LoadFlags Load;
};

AppState& App();
