#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// Where the settings files live. Normally in a per-user folder ($XDG_CONFIG_HOME, else
// ~/.config, + the program's title + "/"); in portable mode beside the program, each file
// named with the portable prefix (program folder + file-name title + "_"). Either way the
// files are the prefix or folder + "Language" and + "Presets".

QString PortablePrefix(const QString& programFolder);

// The per-user folder with a final "/", without creating it; empty when there is no
// configuration folder or the title cannot name a folder.
QString PerUserFolderPath();

// True when a settings file beside the program (language or presets file, larger than 0
// bytes) has a current header: a copied program folder keeps its settings without
// "-Portable". A file of another version does not count.
bool DetectPortable(const QString& portablePrefix);

// The per-user folder, created when missing (the configuration folder above it too, as the
// desktop standards ask); the portable prefix when it cannot be made.
QString PerUserSettingsFolder(const QString& portablePrefix);

// 0 German when the system's language is German, else 1 English.
int32_t SystemLanguageIndex();

// The language stored in the language file when its header is current and it holds 0 or 1;
// otherwise the system's language.
int32_t ChooseLanguage(const QString& languageFile);

// Writes the language file (header and index byte) in one step; false when it failed, which
// the caller does not report (the choice then lasts until the program ends).
bool SaveLanguage(const QString& languageFile, int32_t languageIndex);

// Deletes the language file so that the system's language applies again. True when no file
// remains.
bool ForgetLanguage(const QString& languageFile);

// Removes every settings file, whatever the current mode: the language and presets files in the
// per-user folder and then that folder when nothing else is left in it, then the two portable
// files. Files Mervane did not write stay, and a link in place of the per-user folder is never
// followed (it is reported as not removed). A file that is not there is no error. Returns what
// could not be removed (empty when all is gone).
QStringList RemoveAllSettings(const QString& portablePrefix);
