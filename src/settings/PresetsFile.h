#pragma once

#include "records/Preset.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// The presets file: the settings-file header, the default preset's position and one block per
// saved preset. Position 0 of the preset list is always the working preset 0, which is built
// from the defaults and never written.

// (Re)builds `presetList` and `defaultPresetIndex` from the presets file at `path`. A missing,
// unreadable, foreign or other-version file gives the working preset and the three built-in
// presets with default position 0 and is left on disk as it is. A file from version 1.0 is read
// in its older layout. A file cut short yields what was read, with zeros and empty texts after
// the end.
void LoadPresets(const QString& path, QList<Preset>& presetList, int32_t& defaultPresetIndex);

// The same from the bytes of a presets file, with the title and version the header must carry.
// Returns whether the bytes were used (false: the built-in presets were put in place).
bool ParsePresets(const QByteArray& bytes, const QString& fileNameTitle, const QString& versionText,
                  QList<Preset>& presetList, int32_t& defaultPresetIndex);

// The bytes of a presets file in the current layout: every preset with a nonzero number.
QByteArray SerializePresets(const QList<Preset>& presetList, int32_t defaultPresetIndex,
                            const QString& fileNameTitle, const QString& versionText);

// Writes the presets file in one atomic step. The user is never told of a failure; the result
// only says whether the file now holds the list.
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
