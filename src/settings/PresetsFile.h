#pragma once

#include "records/Preset.h"
#include "settings/KeptFiles.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// The presets file: the settings-file header, the default preset's position and one block per
// saved preset. Position 0 of the preset list is always the working preset 0, which is built
// from the defaults and never written.

// (Re)builds `presetList` and `defaultPresetIndex` from the presets file at `path` and says
// what the file was. A file of this version, or of an earlier one whose layout is known (1.0,
// 2.0), is read in its layout. A missing, unreadable, foreign or other-version file gives the
// working preset and the three built-in presets with default position 0. A damaged file of a
// known version (cut short, bytes after its last preset, a default that names no preset) yields
// what could be read, with zeros and empty texts after the end. Nothing on disk is changed.
SettingsFileStatus LoadPresets(const QString& path, QList<Preset>& presetList,
                               int32_t& defaultPresetIndex);

// The same from the bytes of a presets file, with the title and version the header must carry.
SettingsFileStatus ReadPresets(const QByteArray& bytes, const QString& fileNameTitle,
                               const QString& versionText, QList<Preset>& presetList,
                               int32_t& defaultPresetIndex);

// ReadPresets, answering whether the bytes were used (false: the built-in presets were put in
// place), damaged or not.
bool ParsePresets(const QByteArray& bytes, const QString& fileNameTitle, const QString& versionText,
                  QList<Preset>& presetList, int32_t& defaultPresetIndex);

// What the bytes of a presets file are to the running program (ProductTexts 2 and 4).
SettingsFileStatus ClassifyPresets(const QByteArray& bytes);

// The bytes of a presets file in the current layout: every preset with a nonzero number.
QByteArray SerializePresets(const QList<Preset>& presetList, int32_t defaultPresetIndex,
                            const QString& fileNameTitle, const QString& versionText);

// Writes the presets file in one atomic step. A file there that this version could not take in
// whole (another version's, a damaged or a foreign one) is kept aside first (KeptFiles.h), and
// when it cannot be, nothing is written. The result says whether the file now holds the list.
bool SavePresets(const QString& path, const QList<Preset>& presetList, int32_t defaultPresetIndex);

// Result of ActivatePreset when not even the working preset 0 can be activated: the caller ends
// the program with the fatal "Couldn't initialize program." message.
inline constexpr int32_t kActivateFailed = -1;

// Copies the preset at `position` (every setting, the rule lists as copies, but not its number
// and name) into `workingSettings` when it passes the range check. A missing position or a
// preset out of range activates position 0 instead. Returns the position activated, or
// kActivateFailed when position 0 itself is missing or out of range; `workingSettings` is then
// unchanged.
int32_t ActivatePreset(int32_t position, const QList<Preset>& presetList, Preset& workingSettings);

// Copies `workingSettings` into the preset at `position`, keeping that preset's number and name.
// Line ends in texts are replaced by spaces, since the file ends every text at one. Returns
// false when there is no preset at `position`.
bool StorePreset(int32_t position, QList<Preset>& presetList, const Preset& workingSettings);
