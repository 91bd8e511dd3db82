#include "settings/PresetsFile.h"

#include "records/PresetFields.h"
#include "settings/BuiltinPresets.h"
#include "settings/SettingsHeader.h"
#include "texts/TextTables.h"

#include <QStringList>

#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

namespace {

// The versions whose presets files this one reads, with the layout each wrote. The running
// version always reads its own files in the current layout.
struct KnownVersion {
  float Version;
  PresetLayout Layout;
};
constexpr KnownVersion kKnownVersions[] = {
    {1.0f, PresetLayout::kVersion10},
    {2.0f, PresetLayout::kVersion20},
};

// Files of 1.0 are recognised as that version always recognised them: by the stored number
// times 100, rounded. Every later version is matched exactly.
bool IsVersion(float stored, const KnownVersion& known) {
  if (known.Layout != PresetLayout::kVersion10) return stored == known.Version;
  const double scaled = static_cast<double>(stored) * 100.0;
  return std::isfinite(scaled) && std::lround(scaled) == 100;
}

std::optional<KnownVersion> KnownVersionOf(const SettingsHeader& header) {
  if (!header.IsOurs()) return std::nullopt;
  if (header.IsCurrent()) return KnownVersion{header.StoredVersion, kCurrentLayout};
  for (const KnownVersion& known : kKnownVersions)
    if (IsVersion(header.StoredVersion, known)) return known;
  return std::nullopt;
}

// The reading and writing of one value of each kind, and of a record field by field after its
// table. Lists are repeated groups: a marker before each rule; the first value that is not the
// marker belongs to the next item and is given back.
void ReadValue(SettingsReader& in, PresetLayout, int8_t& value) {
  value = in.ReadInt8();
}
void ReadValue(SettingsReader& in, PresetLayout, int16_t& value) {
  value = in.ReadInt16();
}
void ReadValue(SettingsReader& in, PresetLayout, int32_t& value) {
  value = in.ReadInt32();
}
void ReadValue(SettingsReader& in, PresetLayout, QString& value) {
  value = in.ReadText();
}
template <typename Rule>
void ReadValue(SettingsReader& in, PresetLayout layout, QList<Rule>& list);

// One value of the optional block, from its text. A number that is no number, or too wide for
// its field, keeps the default.
template <typename Value>
void SetOptionalValue(Value& value, const QString& text) {
  if constexpr (std::is_integral_v<Value>) {
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (ok && number >= std::numeric_limits<Value>::min() &&
        number <= std::numeric_limits<Value>::max())
      value = static_cast<Value>(number);
  } else if constexpr (std::is_same_v<Value, QString>) {
    value = text;
  }
}

template <typename Value>
QString OptionalValueText(const Value& value) {
  if constexpr (std::is_integral_v<Value>)
    return QString::number(value);
  else if constexpr (std::is_same_v<Value, QString>)
    return value;
  else
    return QString();
}

// Named values until an empty name. A name the table does not know (a later build's field) is
// passed over with its value.
// A block that the file's end cuts before its empty name is read one byte past the end, which
// tells the file's reader that it was cut short.
template <typename Record>
void ReadOptionalFields(SettingsReader& in, Record& record) {
  for (;;) {
    if (in.AtEnd()) {
      (void)in.ReadInt8();
      return;
    }
    const QString name = in.ReadText();
    if (name.isEmpty()) return;
    if (in.AtEnd()) {
      (void)in.ReadInt8();
      return;
    }
    const QString text = in.ReadText();
    ForEachField(record, [&](const FieldRow<Record>& row, auto& value) {
      if ((row.Optional || row.Extended()) && name == QLatin1String(row.Name))
        SetOptionalValue(value, text);
    });
  }
}

template <typename Record>
void ReadRecord(SettingsReader& in, PresetLayout layout, Record& record) {
  ForEachField(record, [&in, layout](const FieldRow<Record>& row, auto& value) {
    // A field the layout does not hold keeps the record's default.
    if (row.Since <= layout && !row.Optional) ReadValue(in, layout, value);
  });
  if (in.ReadInt32() == kOptionalFieldsMarker)
    ReadOptionalFields(in, record);
  else
    in.StepBack(4);
}

template <typename Rule>
void ReadValue(SettingsReader& in, PresetLayout layout, QList<Rule>& list) {
  while (in.ReadInt32() == RuleFields<Rule>::Marker) {
    Rule rule;
    ReadRecord(in, layout, rule);
    list.append(rule);
  }
  in.StepBack(4);
}

void WriteValue(SettingsWriter& out, int8_t value) {
  out.WriteInt8(value);
}
void WriteValue(SettingsWriter& out, int16_t value) {
  out.WriteInt16(value);
}
void WriteValue(SettingsWriter& out, int32_t value) {
  out.WriteInt32(value);
}
void WriteValue(SettingsWriter& out, const QString& value) {
  out.WriteText(value);
}
template <typename Rule>
void WriteValue(SettingsWriter& out, const QList<Rule>& list);

// Always in the current layout: every field of the table.
// Optional fields only when one differs from the default, so that a record that uses none is
// written exactly as before they existed.
// Whether the value is one the layout's readers do not know: written as the row's fallback.
template <typename Record, typename Value>
bool BeyondLayout(const FieldRow<Record>& row, const Value& value) {
  if constexpr (std::is_integral_v<Value>)
    // A value out of every range is written as it stands: the range check refuses it anyway.
    return row.Extended() && value > row.LayoutHigh && value <= row.High;
  else
    return false;
}

template <typename Record>
void WriteRecord(SettingsWriter& out, const Record& record) {
  ForEachField(record, [&out](const auto& row, const auto& value) {
    if (row.Optional) return;
    using Value = std::remove_cvref_t<decltype(value)>;
    if constexpr (std::is_integral_v<Value>) {
      if (BeyondLayout(row, value)) {
        WriteValue(out, static_cast<Value>(row.Fallback));
        return;
      }
    }
    WriteValue(out, value);
  });
  const Record defaults{};
  QStringList named;
  ForEachField(record, [&](const FieldRow<Record>& row, const auto& value) {
    if (BeyondLayout(row, value)) {
      named << QLatin1String(row.Name) << OptionalValueText(value);
      return;
    }
    if (!row.Optional) return;
    bool differs = false;
    ForEachField(defaults, [&](const FieldRow<Record>& other, const auto& initial) {
      if constexpr (std::is_same_v<decltype(initial), decltype(value)>)
        if (other.Name == row.Name) differs = !(initial == value);
    });
    if (differs) named << QLatin1String(row.Name) << OptionalValueText(value);
  });
  if (named.isEmpty()) return;
  out.WriteInt32(kOptionalFieldsMarker);
  for (const QString& text : named) out.WriteText(text);
  out.WriteText(QString());
}

template <typename Rule>
void WriteValue(SettingsWriter& out, const QList<Rule>& list) {
  for (const Rule& rule : list) {
    out.WriteInt32(RuleFields<Rule>::Marker);
    WriteRecord(out, rule);
  }
}

// Reads the default position and the preset blocks; says what damage the file shows. A block
// that runs past the end was cut short; bytes left where the next block should begin start
// none; a default that names no preset was changed since it was written (the program keeps it
// in the list). What could be read is in the list either way.
SettingsDamage ReadPresetBlocks(SettingsReader& in, qsizetype size, PresetLayout layout,
                                QList<Preset>& presetList, int32_t& defaultPresetIndex) {
  defaultPresetIndex = in.ReadInt8();
  while (in.ReadInt32() == kPresetMarker) {
    Preset preset;
    ReadRecord(in, layout, preset);
    presetList.append(preset);
  }
  in.StepBack(4);
  if (in.Position() > size) return SettingsDamage::kCutShort;
  if (in.Position() < size) return SettingsDamage::kBytesAfterEnd;
  if (defaultPresetIndex < 0 || defaultPresetIndex >= presetList.size())
    return SettingsDamage::kDefaultMissing;
  return SettingsDamage::kNone;
}

// The file ends every text at a line end, so no text of a stored preset holds one.
template <typename Record>
void WithoutLineEnds(Record& record) {
  ForEachField(record, [](const auto&, auto& value) {
    using Value = std::remove_cvref_t<decltype(value)>;
    if constexpr (std::is_same_v<Value, QString>) {
      for (QChar& c : value)
        if (c == u'\n' || c == u'\r' || c == u'\0') c = u' ';
    } else if constexpr (!std::is_integral_v<Value>) {
      for (auto& rule : value) WithoutLineEnds(rule);
    }
  });
}

}  // namespace

SettingsFileStatus ReadPresets(const QByteArray& bytes, const QString& fileNameTitle,
                               const QString& versionText, QList<Preset>& presetList,
                               int32_t& defaultPresetIndex) {
  presetList.clear();
  presetList.append(WorkingPreset());
  SettingsReader in(bytes);
  const SettingsHeader header = ReadHeader(in, fileNameTitle, versionText);
  SettingsFileStatus status;
  status.StoredVersion = header.StoredVersion;
  if (const std::optional<KnownVersion> known = KnownVersionOf(header)) {
    status.StoredVersion = known->Version;
    status.Damage =
        ReadPresetBlocks(in, bytes.size(), known->Layout, presetList, defaultPresetIndex);
    status.State = status.Damage != SettingsDamage::kNone ? SettingsFileState::kDamaged
                   : header.IsCurrent()                   ? SettingsFileState::kCurrent
                                                          : SettingsFileState::kOlderLayout;
    return status;
  }
  // A version no text gives is a damaged header rather than another version's.
  status.State = header.IsOurs() && !StoredVersionName(header.StoredVersion).isEmpty()
                     ? SettingsFileState::kOtherVersion
                     : SettingsFileState::kForeign;
  defaultPresetIndex = 0;
  presetList.append(BuiltinPresets());
  return status;
}

bool ParsePresets(const QByteArray& bytes, const QString& fileNameTitle, const QString& versionText,
                  QList<Preset>& presetList, int32_t& defaultPresetIndex) {
  return ReadPresets(bytes, fileNameTitle, versionText, presetList, defaultPresetIndex)
      .KnownVersion();
}

SettingsFileStatus ClassifyPresets(const QByteArray& bytes) {
  QList<Preset> presets;
  int32_t defaultIndex = 0;
  return ReadPresets(bytes, ProductTexts[2], ProductTexts[4], presets, defaultIndex);
}

SettingsFileStatus LoadPresets(const QString& path, QList<Preset>& presetList,
                               int32_t& defaultPresetIndex) {
  const SettingsFileStatus status =
      CheckSettingsFile(path, [&presetList, &defaultPresetIndex](const QByteArray& bytes) {
        return ReadPresets(bytes, ProductTexts[2], ProductTexts[4], presetList, defaultPresetIndex);
      });
  // Nothing to read: empty bytes never carry a header, so the built-in presets are put in place.
  if (status.State == SettingsFileState::kMissing || status.State == SettingsFileState::kUnreadable)
    ReadPresets(QByteArray(), ProductTexts[2], ProductTexts[4], presetList, defaultPresetIndex);
  return status;
}

QByteArray SerializePresets(const QList<Preset>& presetList, int32_t defaultPresetIndex,
                            const QString& fileNameTitle, const QString& versionText) {
  SettingsWriter out;
  WriteHeader(out, fileNameTitle, versionText);
  out.WriteInt8(static_cast<int8_t>(defaultPresetIndex));
  for (const Preset& preset : presetList) {
    if (preset.PresetNumber == 0) continue;
    out.WriteInt32(kPresetMarker);
    WriteRecord(out, preset);
  }
  return out.Bytes();
}

bool SavePresets(const QString& path, const QList<Preset>& presetList, int32_t defaultPresetIndex) {
  return ReplaceSettingsFile(
             path,
             SerializePresets(presetList, defaultPresetIndex, ProductTexts[2], ProductTexts[4]),
             ClassifyPresets)
             .Error == 0;
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
  WithoutLineEnds(target);
  return true;
}
