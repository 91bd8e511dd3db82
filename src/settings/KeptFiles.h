#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

// What a settings file on disk is to this version, and what becomes of one it cannot use: such
// a file is never overwritten or deleted. Before a new file takes its name it is renamed
// beside it, under a name that says what it was ("Presets.version-3.0", "Presets.damaged"), so
// that nothing a user saved with another version, or a file damaged on disk, is lost.

enum class SettingsFileState : int8_t {
  kMissing,       // no file at the name
  kCurrent,       // written by this version, read in full
  kOlderLayout,   // written by an earlier version in a layout this one knows, read in full
  kDamaged,       // Mervane's, of a version this one reads, but its contents are damaged
  kOtherVersion,  // written by a version whose layout this one does not know: not read
  kForeign,       // no settings file of Mervane's (first line, check bytes or version): not read
  kUnreadable,    // there, but it cannot be read (permissions, not a file, too large)
};

// Which damage a file of a known version shows.
enum class SettingsDamage : int8_t {
  kNone,
  kCutShort,        // it ends in the middle of a preset
  kBytesAfterEnd,   // bytes follow the last preset that begin none
  kDefaultMissing,  // the default preset it names is not in it
  kBadValue,        // the language file holds no language (nothing, or a value that is none)
};

struct SettingsFileStatus {
  SettingsFileState State = SettingsFileState::kMissing;
  SettingsDamage Damage = SettingsDamage::kNone;
  float StoredVersion = 0;  // the version its header gives (for a known one, as it stands for it)
  int Error = 0;            // kUnreadable: the errno value

  // Everything it holds was taken in (or there is nothing): it may be replaced as it is.
  bool Usable() const {
    return State == SettingsFileState::kMissing || State == SettingsFileState::kCurrent ||
           State == SettingsFileState::kOlderLayout;
  }
  // Nothing would be lost by writing over it: there is none, or it is this version's own. An
  // earlier version's file is kept aside all the same, so that that version still finds it.
  bool ReplaceableAsIs() const {
    return State == SettingsFileState::kMissing || State == SettingsFileState::kCurrent;
  }
  // Mervane's file of a version this one reads, damaged or not.
  bool KnownVersion() const {
    return State == SettingsFileState::kCurrent || State == SettingsFileState::kOlderLayout ||
           State == SettingsFileState::kDamaged;
  }
};

// Tells the state of a settings file from its bytes (it is there and could be read).
using SettingsFileClassifier = std::function<SettingsFileStatus(const QByteArray& bytes)>;

// Reads the file at `path` and tells its state; `bytes` (when given) receives its content.
SettingsFileStatus CheckSettingsFile(const QString& path, const SettingsFileClassifier& classify,
                                     QByteArray* bytes = nullptr);

// The ending of the name a file in `status` is kept under: ".version-V" for a file of another
// version (an older one in a known layout too, so that the older program still finds it),
// ".damaged", ".unknown" for a file that is not Mervane's, ".unreadable". Empty for a file that
// is replaced as it is, and for something that is no file (a folder, a FIFO): that is never
// moved, and nothing is written in its place.
QString KeptFileSuffix(const SettingsFileStatus& status);

// The name `path` would be kept under now: `path` + the suffix, or with "-2", "-3", ... after it
// when that name is taken. Empty when the file is not kept (see KeptFileSuffix) or every name
// up to "-99" is taken.
QString KeptFilePath(const QString& path, const SettingsFileStatus& status);

struct KeepResult {
  int Error = 0;     // 0, or the errno value of the rename that failed
  QString KeptPath;  // where the file is now; empty when nothing was moved
};

// Renames the file at `path` to its kept name beside it, never replacing anything. A link at
// `path` is followed: the file it leads to is renamed in its own folder, so that the link
// leads to the new file once it is written.
KeepResult KeepAside(const QString& path, const SettingsFileStatus& status);

struct ReplaceResult {
  int Error = 0;     // 0, or the errno value of the step that failed; the old file then stays
  QString KeptPath;  // where the file that stood there went; empty when none was kept
};

// Writes a settings file in one step (WriteSettingsFile). A file at the name that this version
// could not take in whole is kept aside first; when that fails, or something other than a file
// stands there, nothing is written.
ReplaceResult ReplaceSettingsFile(const QString& path, const QByteArray& bytes,
                                  const SettingsFileClassifier& classify);
