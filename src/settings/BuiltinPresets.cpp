#include "settings/BuiltinPresets.h"

#include "records/Pages.h"
#include "settings/Corrections.h"
#include "texts/TextTables.h"

#include <array>

namespace {

// Extension lists of preset 1's filter conditions, one per kind of file: documents, images,
// videos, audio, programs and scripts, archives, web files, source code. The conditions are
// present but not in force, ready to be ticked.
constexpr std::array<const char16_t*, 8> kFilterExtensions = {
    u"abw|doc|docx|log|odt|pdf|rtf|txt|wpd",
    u"bmp|dds|dib|gif|jp2|jpeg|jpg|jpx|png|svg|tga|tif|tiff",
    u"3g2|3gp|asf|avi|divx|f4v|flv|m4v|mkv|mov|mp4|mpa|mpeg|mpg|ogv|rm|wmv|xvid",
    u"aif|flac|ogg|m4a|mid|mp2|mp3|mpa|ra|wav|wma",
    u"ahk|bat|cmd|com|exe|jar|scr|vb|vbs|wsf",
    u"7z|alz|arc|bz|bz2|gz|rar|sfx|sit|sitx|tgz|zip|zipx",
    u"asp|aspx|atom|cer|csr|css|htm|html|js|jsp|php|rss|wml|xhtm|xhtml|xml",
    u"bas|bat|c|class|cpp|cs|fla|fs|fsx|h|hpp|java|js|jspf|lua|m|mm|ocx|pas|pb|php|pl|py|rb|sh|"
    u"src|vb|vbs",
};

constexpr int kWorkingPresetName = 245;
constexpr int kFirstBuiltinName = 246;

}  // namespace

Preset WorkingPreset() {
  Preset preset;
  preset.PresetNumber = 0;
  preset.PresetName = LanguageTable[kWorkingPresetName];
  return preset;
}

QList<Preset> BuiltinPresets() {
  QList<Preset> presets;
  for (int number = 1; number <= 3; ++number) {
    Preset preset;
    preset.PresetNumber = static_cast<int8_t>(number);
    preset.PresetName = LanguageTable[kFirstBuiltinName + number - 1];
    presets.append(preset);
  }

  // 1: clears the attributes and the zone mark of files in place, tidies the letter case, and
  // offers filter conditions by file kind and the extension corrections (both switched off).
  Preset& p1 = presets[0];
  p1.SelectedPage = kPageFiles;
  p1.ListKeepFiltered = 1;
  for (const char16_t* extensions : kFilterExtensions) {
    FilterCondition condition;
    condition.ItemState = 0;
    condition.Kind = 2;
    condition.Operator = 1;
    condition.Values = QString::fromUtf16(extensions);
    condition.Mode = 2;
    p1.FilterConditions.append(condition);
  }
  p1.HiddenChange = p1.HiddenClear = 1;
  p1.ReadOnlyChange = p1.ReadOnlyClear = 1;
  p1.ArchiveChange = p1.ArchiveClear = 1;
  p1.NotIndexedChange = p1.NotIndexedClear = 1;
  p1.CaseActive = 1;
  p1.CaseMode = 2;
  p1.ExtCaseActive = 1;
  p1.ExtCaseMode = 0;
  p1.ExtRulesActive = 0;
  p1.ExtensionCorrections = ExtensionCorrectionTable();
  p1.SortKey = 2;
  p1.RemoveZoneMark = 1;
  p1.TargetDirActive = 0;
  p1.KeepSubfolders = 1;

  // 2: names files after their date and moves them into year and month folders.
  Preset& p2 = presets[1];
  p2.SelectedPage = kPageNewName;
  p2.DateMode = 2;
  p2.DateCopySource = 1;
  // The date that matters for a photo is when it was shot; a file without one falls back to
  // its modification date.
  p2.DatePlaceholderSource = 3;
  p2.SortKey = 5;
  p2.NameTemplateActive = 1;
  p2.NameTemplate = QStringLiteral("%DY%-%DM%-%DD%_%DH%-%DI%-%DS% %FN%");
  p2.TargetDirActive = 1;
  p2.TargetDirTemplate = QStringLiteral("%PD%\\output\\%DY%\\%DM%\\");
  p2.TargetMove = 1;

  // 3: copies files with plain, web-safe lower-case names, keeping their creation date.
  Preset& p3 = presets[2];
  p3.SelectedPage = kPageNameCase;
  p3.ChangeDates = 1;
  p3.DateMode = 2;
  p3.DateCopySource = 2;
  p3.ReadOnlyChange = 1;
  p3.ReadOnlyClear = 1;
  p3.CaseActive = 1;
  p3.CaseMode = 0;
  p3.ReplaceActive = 1;
  p3.TextReplacements = NameCorrectionTable();
  p3.ExtCaseActive = 1;
  p3.ExtCaseMode = 0;
  p3.TransliterateToAscii = 1;
  p3.SortKey = 1;
  p3.RemoveZoneMark = 1;
  p3.TargetDirActive = 1;
  p3.TargetDirTemplate = QStringLiteral("%PD%\\output\\");
  return presets;
}
