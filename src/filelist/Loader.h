#pragma once

#include "filelist/FileList.h"
#include "records/RunFlags.h"
#include "records/Preset.h"

#include <QString>

#include <cstdint>
#include <functional>

// Entry ids: a process-wide running number, never reset, so ids start at 1 and are never
// reused, even after the list is cleared. Safe to call from any thread.
int32_t TakeNextEntryId();
int32_t LastEntryId();  // the id handed out last (0 before the first)

// Called after each entry the loader appends, with that entry (the window adds its row).
using RowAddedFn = std::function<void(const FileEntry&)>;

// Appends a new entry for `path` (made normal first, see NormalPath) to `target` when the file
// may be loaded: it is a regular file (or a link to one), it has no system attribute, it is not
// hidden unless `IncludeHidden` is 1, and no entry of `target` has this path or stands for this
// file under another path (same device and inode: another spelling, or a hard link). Returns 1
// when an entry was appended (it is then the current entry), else 0. Rejections report nothing.
int AdmitFile(const QString& path, FileList& target, const Preset& settings);

// The absolute, normal form of a path: relative to the working directory when it is relative,
// without "." components, doubled or final "/". A ".." takes the component before it away,
// except after a symbolic link, where it goes up from where the link leads, as the kernel would
// (the part up to the link is resolved first). Empty when the path is empty or a ".." follows a
// broken link. "\" is an ordinary character.
QString NormalPath(const QString& path);

// Loads the line-feed-separated `paths`, each made normal first: directories are walked (with
// their subdirectories when `IncludeSubdirectories` is 1), files with an extension are admitted,
// other lines are skipped. A link named here is followed; a link to a folder met during a walk
// is not, while links to files are loaded. Stops early when `flags.LoadStop` becomes 1, keeping
// what was admitted. Returns the number of entries appended.
qsizetype AddPaths(const QString& paths, FileList& list, const Preset& settings, LoadFlags& flags,
                   const RowAddedFn& onRowAdded = {});

// Walks one directory (and, when `recurse`, its subdirectories) and admits its files, at any
// depth, with a bounded number of folders open at a time. Links to folders inside it are not
// followed, and a folder that is already being walked further up (a bind mount of itself) is not
// entered again. Returns the number of entries appended.
qsizetype ScanDirectory(const QString& directory, bool recurse, FileList& list,
                        const Preset& settings, LoadFlags& flags,
                        const RowAddedFn& onRowAdded = {});

// The loader thread's body: raises `LoadBusy` (the starter should already have raised it, so
// that no second loader starts meanwhile), clears `LoadStop`, loads `pendingPaths` and lowers
// `LoadBusy` again. Returns the number of entries appended.
qsizetype LoadPaths(const QString& pendingPaths, FileList& list, const Preset& settings,
                    LoadFlags& flags, const RowAddedFn& onRowAdded = {});

// The file part of `path` (after its last "/"; a "\" is part of a name) without its last
// extension. A leading dot
// is not an extension mark (".profile" stays). With `maxExtensionLength` >= 0 an extension
// longer than that is kept ("archive.backup" with 3 stays whole).
QString BaseName(const QString& path, int maxExtensionLength);

// The text after the last "." of the file part of a loaded path, without the dot; empty when
// there is none. On this system "/" is the only directory separator of a real path: a "\" is
// an ordinary character of a file name.
QString ExtensionOf(const QString& path);

// The list read afresh from the disk, in its order, after something changed its files behind
// its back (an undo moved files back, removed copies, restored dates and attributes): every
// entry is admitted again at its path, hidden or not (what was listed stays listed), and an
// entry whose file no longer stands there leaves. The current entry stays current when it is
// kept; otherwise the first entry is current.
FileList ReadListAgain(const FileList& list, const Preset& settings);
