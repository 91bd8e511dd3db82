#pragma once

// The list and the task that the new-name column's benchmarks plan: names of a few kinds people
// rename, in folders of a thousand, renamed in place with a counter, letter case and
// replacements.

#include "filelist/FileList.h"
#include "filelist/Loader.h"
#include "naming/Transform.h"
#include "platform/FileName.h"
#include "records/Preset.h"
#include "settings/BuiltinPresets.h"

#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace newnames {

constexpr long kPerFolder = 1000;

// The name of entry `i`: a few kinds of names people rename.
inline QString NameOf(long i) {
  static const char* const kStems[] = {"holiday_photo draft", "IMG_2041", "scan of letter",
                                       "Meeting-notes_final", "track 07 - live"};
  return QString::fromLatin1(kStems[i % 5]) + QString::number(i);
}

inline QString FolderOf(const QString& root, long i) {
  return root + QStringLiteral("/dir%1/").arg(i / kPerFolder, 4, 10, QLatin1Char('0'));
}

// Entries under `root` (which need not exist), as the loader would have made them.
inline void Load(FileList& list, const QString& root, long count) {
  for (long i = 0; i < count; ++i) {
    FileEntry entry;
    entry.Id = TakeNextEntryId();
    entry.SetDirectory(FolderOf(root, i));
    entry.SetName(NameOf(i));
    entry.SetPath(entry.Directory() + entry.Name() + QStringLiteral(".jpg"));
    entry.Size = 1000 + (i * 7919) % 100000;
    entry.Modified = 1170000000 + i;
    list.Append(std::move(entry));
  }
}

// The files of Load on disk, empty.
inline bool MakeTree(const QString& root, long count) {
  for (long i = 0; i < count; ++i) {
    if (i % kPerFolder == 0 && ::mkdir(EncodeFileName(FolderOf(root, i)).constData(), 0755) != 0)
      return false;
    const QByteArray path = EncodeFileName(FolderOf(root, i) + NameOf(i) + QStringLiteral(".jpg"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return false;
    ::close(fd);
  }
  return true;
}

inline Preset Task() {
  Preset settings = WorkingPreset();
  settings.TargetDirActive = 0;
  settings.NameTemplateActive = 1;
  settings.NameTemplate = QStringLiteral("%fn% (%001%)");
  settings.CaseActive = 1;
  settings.CaseMode = kCaseWords;
  settings.ReplaceActive = 1;
  settings.TextReplacements = {{kItemChecked, QStringLiteral("_| "), QStringLiteral("-")},
                               {kItemChecked, QStringLiteral("draft|final"), QStringLiteral("v2")}};
  return settings;
}

}  // namespace newnames
