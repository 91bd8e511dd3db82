#include "settings/PresetsFile.h"

#include "settings/BuiltinPresets.h"
#include "settings/SettingsHeader.h"
#include "texts/TextTables.h"

#include <cmath>

namespace {

// Markers that introduce a preset block and the elements of the four rule lists.
constexpr int32_t kPresetMarker = 0xFEED;
constexpr int32_t kFilterMarker = 0xCAFE;
constexpr int32_t kDateRuleMarker = 0xBABE;
constexpr int32_t kReplaceMarker = 0xF00D;
constexpr int32_t kExtensionMarker = 0xBEEF;

enum class Layout { Current, Version10 };

// Reads one element of a repeated group per marker; the value that is not a marker belongs to
// the next item and is given back.
template <typename Rule, typename ReadFields>
void ReadGroup(SettingsReader& in, int32_t marker, QList<Rule>& list, ReadFields readFields) {
  while (in.ReadInt32() == marker) {
    Rule rule;
    readFields(rule);
    list.append(rule);
  }
  in.StepBack(4);
}

Preset ReadPresetBlock(SettingsReader& in, Layout layout) {
  Preset p;
  p.PresetNumber = in.ReadInt8();
  p.PresetName = in.ReadText();
  p.SelectedPage = in.ReadInt8();
  p.TemplateButtons = in.ReadInt8();
  p.PatternButtons = in.ReadInt8();
  p.AlwaysOnTop = in.ReadInt8();
  p.IncludeSubdirectories = in.ReadInt8();
  p.IncludeHidden = in.ReadInt8();
  p.FilterDateSource = in.ReadInt8();
  p.DatePlaceholderSource = in.ReadInt8();
  p.ListKeepFiltered = in.ReadInt8();
  p.ListKeepSources = in.ReadInt8();
  p.ListKeepFailed = in.ReadInt8();
  p.ListKeepTargets = in.ReadInt8();
  p.ListKeepUnprocessed = in.ReadInt8();
  p.QuitAfterRun = in.ReadInt8();
  p.FilterActive = in.ReadInt8();
  ReadGroup(in, kFilterMarker, p.FilterConditions, [&in](FilterCondition& c) {
    c.ItemState = in.ReadInt32();
    c.Kind = in.ReadInt8();
    c.Operator = in.ReadInt8();
    c.Values = in.ReadText();
    c.Mode = in.ReadInt8();
  });
  p.ChangeDates = in.ReadInt8();
  p.DateMode = in.ReadInt8();
  p.FixedDate = in.ReadInt32();
  p.DateCopySource = in.ReadInt8();
  p.DateRulesActive = in.ReadInt8();
  ReadGroup(in, kDateRuleMarker, p.DateAdjustments, [&in](DateAdjustment& a) {
    a.ItemState = in.ReadInt32();
    a.Unit = in.ReadInt8();
    a.Operation = in.ReadInt8();
    a.Amount = in.ReadInt32();
  });
  p.HiddenChange = in.ReadInt8();
  p.HiddenClear = in.ReadInt8();
  p.ReadOnlyChange = in.ReadInt8();
  p.ReadOnlyClear = in.ReadInt8();
  p.ArchiveChange = in.ReadInt8();
  p.ArchiveClear = in.ReadInt8();
  p.NotIndexedChange = in.ReadInt8();
  p.NotIndexedClear = in.ReadInt8();
  if (layout == Layout::Current) {
    p.RemoveActive = in.ReadInt8();
    p.RemoveFromEnd = in.ReadInt8();
    p.RemovePosition = in.ReadInt16();
    p.RemoveCount = in.ReadInt16();
    p.InsertActive = in.ReadInt8();
    p.InsertFromEnd = in.ReadInt8();
    p.InsertPosition = in.ReadInt16();
    p.InsertText = in.ReadText();
  } else {
    // A version 1.0 file has no remove and insert options: they start switched off.
    p.RemoveActive = 0;
    p.RemoveFromEnd = 0;
    p.RemovePosition = 1;
    p.RemoveCount = 1;
    p.InsertActive = 0;
    p.InsertFromEnd = 0;
    p.InsertPosition = 1;
    p.InsertText.clear();
  }
  p.CaseActive = in.ReadInt8();
  p.CaseMode = in.ReadInt8();
  p.ReplaceActive = in.ReadInt8();
  ReadGroup(in, kReplaceMarker, p.TextReplacements, [&in](TextReplacement& r) {
    r.ItemState = in.ReadInt32();
    r.SearchList = in.ReadText();
    r.Replacement = in.ReadText();
  });
  p.ExtCaseActive = in.ReadInt8();
  p.ExtCaseMode = in.ReadInt8();
  p.ExtRulesActive = in.ReadInt8();
  ReadGroup(in, kExtensionMarker, p.ExtensionCorrections, [&in](ExtensionCorrection& r) {
    r.ItemState = in.ReadInt32();
    r.FromList = in.ReadText();
    r.ToExtension = in.ReadText();
  });
  p.SortActive = in.ReadInt8();
  p.SortKey = in.ReadInt8();
  p.SortDirection = in.ReadInt8();
  p.RemoveZoneMark = in.ReadInt8();
  p.NameTemplateActive = in.ReadInt8();
  p.NameTemplate = in.ReadText();
  if (layout == Layout::Current) {
    p.CounterPerDirectory = in.ReadInt8();
    p.NoLeadingZeros = in.ReadInt8();
  } else {
    // Version 1.0 numbered per target folder and always padded dates.
    p.CounterPerDirectory = 1;
    p.NoLeadingZeros = 0;
  }
  p.TargetDirActive = in.ReadInt8();
  p.TargetDirTemplate = in.ReadText();
  p.KeepSubfolders = in.ReadInt8();
  p.TargetMove = in.ReadInt8();
  return p;
}

void WritePresetBlock(SettingsWriter& out, const Preset& p) {
  out.WriteInt32(kPresetMarker);
  out.WriteInt8(p.PresetNumber);
  out.WriteText(p.PresetName);
  for (const int8_t b :
       {p.SelectedPage, p.TemplateButtons, p.PatternButtons, p.AlwaysOnTop, p.IncludeSubdirectories,
        p.IncludeHidden, p.FilterDateSource, p.DatePlaceholderSource, p.ListKeepFiltered,
        p.ListKeepSources, p.ListKeepFailed, p.ListKeepTargets, p.ListKeepUnprocessed,
        p.QuitAfterRun, p.FilterActive}) {
    out.WriteInt8(b);
  }
  for (const FilterCondition& c : p.FilterConditions) {
    out.WriteInt32(kFilterMarker);
    out.WriteInt32(c.ItemState);
    out.WriteInt8(c.Kind);
    out.WriteInt8(c.Operator);
    out.WriteText(c.Values);
    out.WriteInt8(c.Mode);
  }
  out.WriteInt8(p.ChangeDates);
  out.WriteInt8(p.DateMode);
  out.WriteInt32(p.FixedDate);
  out.WriteInt8(p.DateCopySource);
  out.WriteInt8(p.DateRulesActive);
  for (const DateAdjustment& a : p.DateAdjustments) {
    out.WriteInt32(kDateRuleMarker);
    out.WriteInt32(a.ItemState);
    out.WriteInt8(a.Unit);
    out.WriteInt8(a.Operation);
    out.WriteInt32(a.Amount);
  }
  for (const int8_t b :
       {p.HiddenChange, p.HiddenClear, p.ReadOnlyChange, p.ReadOnlyClear, p.ArchiveChange,
        p.ArchiveClear, p.NotIndexedChange, p.NotIndexedClear, p.RemoveActive, p.RemoveFromEnd}) {
    out.WriteInt8(b);
  }
  out.WriteInt16(p.RemovePosition);
  out.WriteInt16(p.RemoveCount);
  out.WriteInt8(p.InsertActive);
  out.WriteInt8(p.InsertFromEnd);
  out.WriteInt16(p.InsertPosition);
  out.WriteText(p.InsertText);
  out.WriteInt8(p.CaseActive);
  out.WriteInt8(p.CaseMode);
  out.WriteInt8(p.ReplaceActive);
  for (const TextReplacement& r : p.TextReplacements) {
    out.WriteInt32(kReplaceMarker);
    out.WriteInt32(r.ItemState);
    out.WriteText(r.SearchList);
    out.WriteText(r.Replacement);
  }
  out.WriteInt8(p.ExtCaseActive);
  out.WriteInt8(p.ExtCaseMode);
  out.WriteInt8(p.ExtRulesActive);
  for (const ExtensionCorrection& r : p.ExtensionCorrections) {
    out.WriteInt32(kExtensionMarker);
    out.WriteInt32(r.ItemState);
    out.WriteText(r.FromList);
    out.WriteText(r.ToExtension);
  }
  for (const int8_t b :
       {p.SortActive, p.SortKey, p.SortDirection, p.RemoveZoneMark, p.NameTemplateActive}) {
    out.WriteInt8(b);
  }
  out.WriteText(p.NameTemplate);
  out.WriteInt8(p.CounterPerDirectory);
  out.WriteInt8(p.NoLeadingZeros);
  out.WriteInt8(p.TargetDirActive);
  out.WriteText(p.TargetDirTemplate);
  out.WriteInt8(p.KeepSubfolders);
  out.WriteInt8(p.TargetMove);
}

void ReadPresetBlocks(SettingsReader& in, Layout layout, QList<Preset>& presetList,
                      int32_t& defaultPresetIndex) {
  defaultPresetIndex = in.ReadInt8();
  while (in.ReadInt32() == kPresetMarker) presetList.append(ReadPresetBlock(in, layout));
}

// Version 1.0 files lack the remove, insert and counter options but are otherwise read as they
// are; every other version may lay its blocks out differently and is not read at all.
bool IsVersion10(float storedVersion) {
  const double scaled = static_cast<double>(storedVersion) * 100.0;
  return std::isfinite(scaled) && std::lround(scaled) == 100;
}

QString WithoutLineEnds(QString text) {
  for (QChar& c : text) {
    if (c == u'\n' || c == u'\r' || c == u'\0') c = u' ';
  }
  return text;
}

}  // namespace

bool ParsePresets(const QByteArray& bytes, const QString& fileNameTitle, const QString& versionText,
                  QList<Preset>& presetList, int32_t& defaultPresetIndex) {
  presetList.clear();
  presetList.append(WorkingPreset());
  SettingsReader in(bytes);
  const SettingsHeader header = ReadHeader(in, fileNameTitle, versionText);
  if (header.IsCurrent()) {
    ReadPresetBlocks(in, Layout::Current, presetList, defaultPresetIndex);
    return true;
  }
  if (header.IsOurs() && IsVersion10(header.StoredVersion)) {
    ReadPresetBlocks(in, Layout::Version10, presetList, defaultPresetIndex);
    return true;
  }
  defaultPresetIndex = 0;
  presetList.append(BuiltinPresets());
  return false;
}

void LoadPresets(const QString& path, QList<Preset>& presetList, int32_t& defaultPresetIndex) {
  const std::optional<QByteArray> bytes = ReadSettingsFile(path);
  // An unreadable file is treated like a foreign one: empty bytes never carry a current header.
  ParsePresets(bytes.value_or(QByteArray()), ProductTexts[2], ProductTexts[4], presetList,
               defaultPresetIndex);
}

QByteArray SerializePresets(const QList<Preset>& presetList, int32_t defaultPresetIndex,
                            const QString& fileNameTitle, const QString& versionText) {
  SettingsWriter out;
  WriteHeader(out, fileNameTitle, versionText);
  out.WriteInt8(static_cast<int8_t>(defaultPresetIndex));
  for (const Preset& preset : presetList) {
    if (preset.PresetNumber != 0) WritePresetBlock(out, preset);
  }
  return out.Bytes();
}

bool SavePresets(const QString& path, const QList<Preset>& presetList, int32_t defaultPresetIndex) {
  return WriteSettingsFile(
      path, SerializePresets(presetList, defaultPresetIndex, ProductTexts[2], ProductTexts[4]));
}

int32_t ActivatePreset(int32_t position, const QList<Preset>& presetList, Preset& workingSettings) {
  // The candidate is checked before it replaces the working settings, so a preset that fails
  // never leaves half its values behind.
  for (const int32_t candidatePosition : {position, 0}) {
    if (candidatePosition < 0 || candidatePosition >= presetList.size()) continue;
    Preset candidate = workingSettings;
    candidate.CopySettingsFrom(presetList[candidatePosition]);
    if (ValidateRanges(candidate) == 1) {
      workingSettings = std::move(candidate);
      return candidatePosition;
    }
  }
  return kActivateFailed;
}

bool StorePreset(int32_t position, QList<Preset>& presetList, const Preset& workingSettings) {
  if (position < 0 || position >= presetList.size()) return false;
  Preset& target = presetList[position];
  target.CopySettingsFrom(workingSettings);
  target.InsertText = WithoutLineEnds(target.InsertText);
  target.NameTemplate = WithoutLineEnds(target.NameTemplate);
  target.TargetDirTemplate = WithoutLineEnds(target.TargetDirTemplate);
  for (FilterCondition& c : target.FilterConditions) c.Values = WithoutLineEnds(c.Values);
  for (TextReplacement& r : target.TextReplacements) {
    r.SearchList = WithoutLineEnds(r.SearchList);
    r.Replacement = WithoutLineEnds(r.Replacement);
  }
  for (ExtensionCorrection& r : target.ExtensionCorrections) {
    r.FromList = WithoutLineEnds(r.FromList);
    r.ToExtension = WithoutLineEnds(r.ToExtension);
  }
  return true;
}
