#include "filelist/Loader.h"

#include "platform/Attributes.h"
#include "platform/FileInfo.h"
#include "platform/FileName.h"
#include "platform/LocalTime.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace {

std::atomic<int32_t> gNextEntryId{0};

// The name without its last extension; a dot in front of the first character is no mark.
// Always a copy of its own, even when `fileName` borrows another string's characters.
QString StripExtension(QStringView fileName, int maxExtensionLength) {
  const qsizetype n = fileName.size();
  const qsizetype dot = fileName.lastIndexOf(u'.');
  if (dot <= 0) return fileName.toString();
  const qsizetype extensionLength = n - dot - 1;
  if (maxExtensionLength >= 0 && extensionLength > maxExtensionLength) return fileName.toString();
  return fileName.left(dot).toString();
}

// `dirPath` followed by the decoded `name`, in one allocation of exactly the right size for
// the usual ASCII names.
QString JoinPath(const QString& dirPath, std::string_view name) {
  const qsizetype dirLength = dirPath.size();
  QString path(dirLength + static_cast<qsizetype>(name.size()), Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(path.data());
  std::copy_n(reinterpret_cast<const char16_t*>(dirPath.constData()), dirLength, out);
  out += dirLength;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) return dirPath + DecodeFileName(name);
    *out++ = byte;
  }
  return path;
}

// True when the name has a non-empty extension: the loader only takes such files.
bool HasExtension(QStringView fileName) {
  const qsizetype dot = fileName.lastIndexOf(u'.');
  return dot >= 0 && dot + 1 < fileName.size();
}

// Bytes of a name as the file system lists it: a quick test for a non-empty extension before
// anything is decoded or stat'ed.
bool HasExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot + 1 < name.size();
}

FileEntry* AdmitWithFacts(const QString& path, const QString& directory, const QString& fileName,
                          const char* encodedPath, const FileFacts& facts, FileList& target,
                          const Preset& settings) {
  // A FIFO, socket or device is never a file to work on (reading a FIFO would hang a checksum):
  // it counts as a system file. Missing paths and directories are no files either.
  if (facts.Kind != FileKind::Regular) return nullptr;
  const int32_t attributes = AttributesFromStat(encodedPath, facts.Stat, fileName);
  if (attributes >= 0) {
    if ((attributes & kAttrSystem) != 0) return nullptr;
    if ((attributes & kAttrHidden) != 0 && settings.IncludeHidden == 0) return nullptr;
  }

  FileEntry entry;
  entry.Id = TakeNextEntryId();
  entry.Path = path;
  entry.Directory = directory;
  entry.Name = StripExtension(fileName, -1);
  entry.Attributes = attributes < 0 ? kAttrNormal : attributes;
  entry.Size = facts.Size;
  entry.CreatedTime = facts.Created;
  entry.ModifiedTime = facts.Modified;
  entry.AccessTime = facts.Accessed;
  entry.Created = LocalDateFromUnix(facts.Created.Seconds);
  entry.Modified = LocalDateFromUnix(facts.Modified.Seconds);
  entry.LastAccess = LocalDateFromUnix(facts.Accessed.Seconds);
  return &target.Append(std::move(entry));
}

// One walk of the loader: the list, its settings and the state shared by every level.
class DirectoryWalk {
 public:
  DirectoryWalk(FileList& list, const Preset& settings, LoadFlags& flags,
                const RowAddedFn& onRowAdded)
      : list_(list), settings_(settings), flags_(flags), onRowAdded_(onRowAdded) {}

  qsizetype Added() const { return added_; }
  bool Stopped() const { return flags_.LoadStop.load(std::memory_order_relaxed) == 1; }

  // `dirPath` ends with "/"; `dirBytes` is the same path as the file system spells it.
  void Scan(int parentFd, const char* openName, const QString& dirPath, const std::string& dirBytes,
            bool recurse) {
    DirectoryReader reader;
    if (reader.Open(parentFd, openName) != 0) return;  // unreadable directories are skipped
    for (const auto& [dev, ino] : active_) {
      if (dev == reader.Device() && ino == reader.Inode()) return;  // a link back into its tree
    }
    active_.emplace_back(reader.Device(), reader.Inode());

    DirectoryReader::Item item{};
    std::string pathBytes = dirBytes;
    FileFacts facts;
    while (reader.Next(item)) {
      bool isDirectory = item.Type == DT_DIR;
      bool haveFacts = false;
      if (item.Type == DT_LNK || item.Type == DT_UNKNOWN) {
        // A link counts as what it leads to; some file systems do not report types at all.
        if (ReadFileFactsAt(reader.Fd(), std::string(item.Name).c_str(), facts)) {
          haveFacts = true;
          isDirectory = facts.Kind == FileKind::Directory;
        }
      }
      if (isDirectory) {
        if (recurse) {
          const QString subPath = dirPath + DecodeFileName(item.Name) + u'/';
          std::string subBytes = dirBytes;
          subBytes.append(item.Name).push_back('/');
          Scan(reader.Fd(), std::string(item.Name).c_str(), subPath, subBytes, true);
        }
      } else if (item.Type == DT_REG || haveFacts) {
        AdmitListed(reader.Fd(), dirPath, pathBytes, item.Name, haveFacts ? &facts : nullptr);
      }
      // FIFOs, sockets and devices listed as such are system files: never admitted.
      if (Stopped()) break;
    }
    active_.pop_back();
  }

 private:
  void AdmitListed(int dirFd, const QString& dirPath, std::string& pathBytes, std::string_view name,
                   const FileFacts* known) {
    if (!HasExtension(name)) return;
    const QString path = JoinPath(dirPath, name);
    if (list_.ContainsPath(path)) return;
    // The file part of the path, borrowed rather than copied; it does not outlive `path`.
    const QString fileName =
        QString::fromRawData(path.constData() + dirPath.size(), path.size() - dirPath.size());
    const size_t dirLength = pathBytes.size();
    pathBytes.append(name);
    FileFacts facts;
    const FileFacts* use = known;
    if (use == nullptr) {
      ReadFileFactsAt(dirFd, pathBytes.c_str() + dirLength, facts);
      use = &facts;
    }
    if (FileEntry* entry =
            AdmitWithFacts(path, dirPath, fileName, pathBytes.c_str(), *use, list_, settings_)) {
      ++added_;
      if (onRowAdded_) onRowAdded_(*entry);
    }
    pathBytes.resize(dirLength);
  }

  FileList& list_;
  const Preset& settings_;
  LoadFlags& flags_;
  const RowAddedFn& onRowAdded_;
  qsizetype added_ = 0;
  std::vector<std::pair<dev_t, ino_t>> active_;  // the directories being walked, outermost first
};

qsizetype ScanDirectoryWith(const QString& directory, bool recurse, DirectoryWalk& walk) {
  const qsizetype before = walk.Added();
  QString dirPath = directory;
  if (!dirPath.endsWith(u'/')) dirPath += u'/';
  const QByteArray encoded = EncodeFileName(dirPath);
  const std::string dirBytes(encoded.constData(), static_cast<size_t>(encoded.size()));
  walk.Scan(AT_FDCWD, dirBytes.c_str(), dirPath, dirBytes, recurse);
  return walk.Added() - before;
}

}  // namespace

int32_t TakeNextEntryId() {
  return gNextEntryId.fetch_add(1, std::memory_order_relaxed) + 1;
}

int32_t LastEntryId() {
  return gNextEntryId.load(std::memory_order_relaxed);
}

QString BaseName(const QString& path, int maxExtensionLength) {
  const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
  return StripExtension(QStringView(path).mid(slash + 1), maxExtensionLength);
}

QString ExtensionOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(u'/');
  const qsizetype dot = path.lastIndexOf(u'.');
  if (dot < 0 || dot < slash) return {};
  return path.mid(dot + 1);
}

int AdmitFile(const QString& path, FileList& target, const Preset& settings) {
  // The duplicate test first: it is the cheapest and needs no file access.
  if (path.isEmpty() || target.ContainsPath(path)) return 0;
  const qsizetype slash = path.lastIndexOf(u'/');
  const QString fileName = path.mid(slash + 1);
  if (fileName.isEmpty()) return 0;
  const QByteArray encoded = EncodeFileName(path);
  FileFacts facts;
  if (!ReadFileFacts(encoded.constData(), facts)) return 0;
  const QString directory = path.left(slash + 1);
  return AdmitWithFacts(path, directory, fileName, encoded.constData(), facts, target, settings) !=
                 nullptr
             ? 1
             : 0;
}

qsizetype ScanDirectory(const QString& directory, bool recurse, FileList& list,
                        const Preset& settings, LoadFlags& flags, const RowAddedFn& onRowAdded) {
  DirectoryWalk walk(list, settings, flags, onRowAdded);
  return ScanDirectoryWith(directory, recurse, walk);
}

qsizetype AddPaths(const QString& paths, FileList& list, const Preset& settings, LoadFlags& flags,
                   const RowAddedFn& onRowAdded) {
  DirectoryWalk walk(list, settings, flags, onRowAdded);
  qsizetype added = 0;
  // Files chosen in a dialog mostly share their folder: their entries share its text too.
  QString lastDirectory;
  for (const QStringView field : QStringView(paths).split(u'\n')) {
    if (!field.isEmpty()) {
      const QString path = field.toString();
      const QByteArray encoded = EncodeFileName(path);
      FileFacts facts;
      // Anything else (no extension, nothing there) is skipped without a word.
      if (ReadFileFacts(encoded.constData(), facts)) {
        const qsizetype slash = path.lastIndexOf(u'/');
        const QStringView fileName = QStringView(path).mid(slash + 1);
        if (facts.Kind == FileKind::Directory) {
          added += ScanDirectoryWith(path, settings.IncludeSubdirectories == 1, walk);
        } else if (HasExtension(fileName) && !list.ContainsPath(path)) {
          const QStringView directory = QStringView(path).left(slash + 1);
          if (directory != lastDirectory) lastDirectory = directory.toString();
          if (const FileEntry* entry = AdmitWithFacts(path, lastDirectory, fileName.toString(),
                                                      encoded.constData(), facts, list, settings)) {
            ++added;
            if (onRowAdded) onRowAdded(*entry);
          }
        }
      }
    }
    if (walk.Stopped()) break;
  }
  return added;
}

qsizetype LoadPaths(const QString& pendingPaths, FileList& list, const Preset& settings,
                    LoadFlags& flags, const RowAddedFn& onRowAdded) {
  flags.LoadBusy.store(1, std::memory_order_relaxed);
  flags.LoadStop.store(0, std::memory_order_relaxed);
  const qsizetype added = AddPaths(pendingPaths, list, settings, flags, onRowAdded);
  flags.LoadBusy.store(0, std::memory_order_relaxed);
  return added;
}

QString ResolveRelativePaths(const QString& text, const QString& baseDirectory) {
  QString base = baseDirectory;
  base.replace(u'\\', u'/');
  if (!base.endsWith(u'/')) base += u'/';
  QString result;
  for (const QStringView field : QStringView(text).split(u'\n')) {
    if (field.isEmpty()) continue;
    QString line = field.toString();
    line.replace(u'\\', u'/');
    if (!line.startsWith(u'/')) {
      // "./" in front says nothing: drop it so the loaded path reads as a user expects.
      while (line.startsWith(u"./")) line.remove(0, 2);
      line.prepend(base);
    }
    result += line;
    result += u'\n';
  }
  return result;
}
