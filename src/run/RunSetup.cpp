#include "run/RunSetup.h"

#include "fileops/ReplaceAnswers.h"
#include "platform/Locations.h"

PathFolders TemplateFolders(const QString& desktopFolder, const QString& programFolder) {
  PathFolders folders;
  folders.Desktop = desktopFolder;
  folders.Documents = DocumentsFolder();
  folders.Program = programFolder;
  return folders;
}

Preset TestRunSettings(const Preset& settings, const QString& previewFolder) {
  Preset test = settings;
  test.ListKeepFiltered = test.ListKeepSources = test.ListKeepFailed = 0;
  test.ListKeepTargets = test.ListKeepUnprocessed = 0;
  test.QuitAfterRun = 1;
  test.SortActive = 0;
  test.TargetDirActive = 1;
  test.TargetDirTemplate = previewFolder;
  test.KeepSubfolders = 0;
  test.TargetMove = 0;
  return test;
}

RunPolicy TestRunPolicy() {
  RunPolicy policy;
  policy.SingleEntry = true;
  policy.ReplaceMemory = kAnswerReplaceAll;
  policy.KeepNothingForLater = true;
  return policy;
}
