#include "fileops/RunValues.h"

namespace {

const QString kFileNamePlaceholder = QStringLiteral("%FN%");

}  // namespace

RunValues PrepareRunValues(const Preset& settings, qsizetype fileCount, const PathFolders& folders,
                           int64_t dateFieldValue) {
  RunValues values;
  if (settings.ChangeDates == 1 && settings.DateMode == 1) {
    values.ResolvedFixedDate =
        settings.FixedDate != 0 ? settings.FixedDate : static_cast<int32_t>(dateFieldValue);
  }
  values.AttributesNeeded = settings.HiddenChange == 1 || settings.ReadOnlyChange == 1 ||
                            settings.ArchiveChange == 1 || settings.NotIndexedChange == 1;
  values.NameBuildingActive = settings.NameTemplateActive == 1 || settings.RemoveActive == 1 ||
                              settings.InsertActive == 1 || settings.CaseActive == 1 ||
                              settings.ReplaceActive == 1;
  if (values.NameBuildingActive) {
    values.PreparedNameTemplate = settings.NameTemplateActive == 1
                                      ? NormalizePlaceholderCase(settings.NameTemplate)
                                      : kFileNamePlaceholder;
  }
  if (settings.TargetDirActive == 1) {
    const QString normalized = NormalizePlaceholderCase(settings.TargetDirTemplate);
    values.PreparedTargetDir = ResolvePathPlaceholders(normalized, folders);
    values.TargetRelativeToSource = LeadingPathPlaceholder(normalized) == u"%PF%";
  }
  values.PreparationNeeded =
      (settings.SortActive == 1 && fileCount > 1) || settings.FilterActive == 1;
  return values;
}
