#pragma once

#include "settings/KeptFiles.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// Where the settings files live. Normally in a per-user folder ($XDG_CONFIG_HOME, else
// ~/.config, + the program's title + "/"); in portable mode beside the program, each file
// named with the portable prefix (program folder + file-name title + "_"). Either way the
// files are the prefix or folder + "Language" and + "Presets" (and the window's
// own file, WindowFileName()).

QString PortablePrefix(const QString& programFolder);

// The file in the settings folder (or beside the program, after the prefix) where the window
// keeps its shape: size, place, divider and column widths. Not part of the presets.
QString WindowFileName();

// The per-user folder with a final "/", without creating it; empty when there is no
// configuration folder or the title cannot name a folder.
QString PerUserFolderPath();

// The per-user state folder with a final "/": $XDG_STATE_HOME (else ~/.local/state/) + the
// program's title + "/", where what the program keeps of its runs lives (the undo journals,
// the error log). Not created here; empty when there is no home folder or the title cannot
// name a folder.
QString PerUserStateFolderPath();

// True when a settings file beside the program (language or presets file) is Mervane's, of a
// version this one reads: a copied program folder keeps its settings without "-Portable", also
// after the program in it was updated. A file of a version this one does not read does not
// count, nor does an empty one.
bool DetectPortable(const QString& portablePrefix);

// The per-user folder, created when missing (the configuration folder above it too, as the
// desktop standards ask); the portable prefix when it cannot be made.
QString PerUserSettingsFolder(const QString& portablePrefix);

// 0 German when the system's language is German, else 1 English.
int32_t SystemLanguageIndex();

// What the bytes of a language file are to the running program: the header of this version or
// of an earlier one whose file this one reads (2.0), followed by exactly one byte, 0 or 1.
SettingsFileStatus ClassifyLanguage(const QByteArray& bytes);

// The language stored in the language file when it is of a version this one reads and holds
// 0 or 1; otherwise the system's language.
int32_t ChooseLanguage(const QString& languageFile);

// Writes the language file (header and index byte) in one step; false when it failed, which
// the caller does not report (the choice then lasts until the program ends). A file there that
// this version could not read is kept aside first (KeptFiles.h).
bool SaveLanguage(const QString& languageFile, int32_t languageIndex);

// Deletes the language file so that the system's language applies again; a file of another
// version, or a damaged or foreign one, is kept aside instead. True when no file remains.
bool ForgetLanguage(const QString& languageFile);

// Removes every settings file, whatever the current mode: the language and presets files in the
// per-user folder and then that folder when nothing else is left in it, then the two portable
// files. Files Mervane did not write stay, and a link in place of the per-user folder is never
// followed (it is reported as not removed). A file that is not there is no error. Returns what
// could not be removed (empty when all is gone).
QStringList RemoveAllSettings(const QString& portablePrefix);
