#include "journal/JournalInfo.h"

RunJournalInfo JournalInfoFor(const Preset& startedFrom, const Preset& settings,
                              JournalFrontEnd frontEnd, qsizetype listCount,
                              const std::optional<QString>& loadedPaths) {
  RunJournalInfo info;
  info.PresetNumber = startedFrom.PresetNumber;
  info.PresetName = startedFrom.PresetName;
  info.FrontEnd = frontEnd;
  info.ListCount = static_cast<uint32_t>(listCount);
  if (settings.NameTemplateActive)
    info.Values.append({QStringLiteral("NameTemplate"), settings.NameTemplate});
  if (settings.TargetDirActive) {
    info.Values.append({QStringLiteral("TargetDirectory"), settings.TargetDirTemplate});
    info.Values.append({QStringLiteral("TargetMove"), QString::number(settings.TargetMove)});
  }
  if (loadedPaths) info.Values.append({QStringLiteral("Paths"), *loadedPaths});
  return info;
}
