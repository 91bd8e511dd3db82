#include "filelist/Loader.h"

#include "platform/Attributes.h"
#include "platform/FileInfo.h"
#include "platform/FileName.h"
#include "platform/LocalTime.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <string>
#include <system_error>
#include <thread>
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

constexpr int32_t kRejected = std::numeric_limits<int32_t>::min();

// The attribute word of a file that may be loaded, or kRejected. A FIFO, socket or device is
// never a file to work on (reading a FIFO would hang a checksum): it counts as a system file.
// Missing paths and directories are no files either.
int32_t AdmissionWord(const char* encodedPath, const FileFacts& facts, const QString& fileName,
                      const Preset& settings) {
  if (facts.Kind != FileKind::Regular) return kRejected;
  const int32_t attributes = AttributesFromStat(encodedPath, facts.Stat, fileName);
  if (attributes < 0) return kAttrNormal;
  if ((attributes & kAttrSystem) != 0) return kRejected;
  if ((attributes & kAttrHidden) != 0 && settings.IncludeHidden == 0) return kRejected;
  return attributes;
}

FileEntry& AppendEntry(const QString& path, const QString& directory, QStringView fileName,
                       int32_t attributes, const FileFacts& facts, FileList& target) {
  FileEntry entry;
  entry.Id = TakeNextEntryId();
  entry.Path = path;
  entry.Directory = directory;
  entry.Name = StripExtension(fileName, -1);
  entry.Attributes = attributes;
  entry.Size = facts.Size;
  entry.CreatedTime = facts.Created;
  entry.ModifiedTime = facts.Modified;
  entry.AccessTime = facts.Accessed;
  entry.Created = LocalDateFromUnix(facts.Created.Seconds);
  entry.Modified = LocalDateFromUnix(facts.Modified.Seconds);
  entry.LastAccess = LocalDateFromUnix(facts.Accessed.Seconds);
  return target.Append(std::move(entry));
}

FileEntry* AdmitWithFacts(const QString& path, const QString& directory, const QString& fileName,
                          const char* encodedPath, const FileFacts& facts, FileList& target,
                          const Preset& settings) {
  const int32_t word = AdmissionWord(encodedPath, facts, fileName, settings);
  if (word == kRejected) return nullptr;
  return &AppendEntry(path, directory, fileName, word, facts, target);
}

// Runs fn(0) .. fn(count - 1) on a few threads when there is enough to share. Reading a file's
// facts is a system call or two that waits on the kernel, so several can be under way at once.
template <typename Fn>
void ForEachShared(size_t count, const Fn& fn) {
  constexpr size_t kPerThread = 64;
  constexpr size_t kSlice = 16;
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t threads = std::min({cores, size_t{4}, count / kPerThread});
  if (threads <= 1) {
    for (size_t i = 0; i < count; ++i) fn(i);
    return;
  }
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (;;) {
      const size_t begin = next.fetch_add(kSlice, std::memory_order_relaxed);
      if (begin >= count) return;
      const size_t end = std::min(begin + kSlice, count);
      for (size_t i = begin; i < end; ++i) fn(i);
    }
  };
  std::vector<std::thread> helpers;
  helpers.reserve(threads - 1);
  for (size_t t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the calling thread does the rest
    }
  }
  work();
  for (std::thread& helper : helpers) helper.join();
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
  // Returns false when the walk was stopped.
  bool Scan(int parentFd, const char* openName, const QString& dirPath, const std::string& dirBytes,
            bool recurse) {
    DirectoryReader reader;
    if (reader.Open(parentFd, openName) != 0) return true;  // unreadable directories are skipped
    for (const auto& [dev, ino] : active_) {
      if (dev == reader.Device() && ino == reader.Inode()) return true;  // a link back up
    }
    active_.emplace_back(reader.Device(), reader.Inode());
    bool more = true;
    bool go = true;
    // The directory is read a batch at a time: the batch's files are stat'ed together, then
    // admitted (and subdirectories walked) in the order the directory lists them.
    std::vector<Listed> batch;
    std::string names;
    while (go && more) {
      more = ReadBatch(reader, dirPath, recurse, batch, names);
      ForEachShared(batch.size(), [&](size_t i) {
        ReadFacts(reader.Fd(), dirBytes, dirPath.size(), names, batch[i]);
      });
      for (const Listed& listed : batch) {
        const char* name = names.data() + listed.NameOffset;
        const bool isDirectory =
            listed.Type == DT_DIR || (listed.HaveFacts && listed.Facts.Kind == FileKind::Directory);
        if (isDirectory) {
          if (recurse) {
            const std::string_view nameView(name, listed.NameLength);
            const QString subPath = JoinPath(dirPath, nameView) + u'/';
            std::string subBytes = dirBytes;
            subBytes.append(nameView).push_back('/');
            if (!Scan(reader.Fd(), name, subPath, subBytes, true)) go = false;
          }
        } else if (!listed.Path.isEmpty() && listed.HaveFacts && listed.Word != kRejected &&
                   !list_.ContainsPath(listed.Path)) {
          const QStringView fileName = QStringView(listed.Path).mid(dirPath.size());
          FileEntry& entry =
              AppendEntry(listed.Path, dirPath, fileName, listed.Word, listed.Facts, list_);
          ++added_;
          if (onRowAdded_) onRowAdded_(entry);
        }
        if (!go || Stopped()) {
          go = false;
          break;
        }
      }
    }
    active_.pop_back();
    return go;
  }

 private:
  // One name of a directory batch, with what was learned about it.
  struct Listed {
    size_t NameOffset = 0;  // into the batch's name store, NUL-terminated there
    uint32_t NameLength = 0;
    unsigned char Type = DT_UNKNOWN;
    bool NeedsFacts = false;
    bool HaveFacts = false;
    QString Path;  // set for a file that may be admitted
    int32_t Word = kRejected;
    FileFacts Facts;
  };

  static constexpr size_t kBatchSize = 1024;

  // Fills the batch with the next names worth a look; false when the directory is exhausted.
  bool ReadBatch(DirectoryReader& reader, const QString& dirPath, bool recurse,
                 std::vector<Listed>& batch, std::string& names) {
    batch.clear();
    names.clear();
    DirectoryReader::Item item{};
    while (batch.size() < kBatchSize) {
      if (!reader.Next(item)) return false;
      Listed listed;
      listed.Type = item.Type;
      switch (item.Type) {
        case DT_DIR:
          if (!recurse) continue;
          break;
        case DT_REG:
          // Only names with an extension are loaded: no need to look at the others.
          if (!HasExtension(item.Name)) continue;
          listed.Path = JoinPath(dirPath, item.Name);
          if (list_.ContainsPath(listed.Path)) continue;
          listed.NeedsFacts = true;
          break;
        case DT_LNK:
        case DT_UNKNOWN:
          // A link counts as what it leads to; some file systems do not report types at all.
          listed.NeedsFacts = true;
          if (HasExtension(item.Name)) listed.Path = JoinPath(dirPath, item.Name);
          break;
        default:
          continue;  // FIFOs, sockets and devices listed as such are system files
      }
      listed.NameOffset = names.size();
      listed.NameLength = static_cast<uint32_t>(item.Name.size());
      names.append(item.Name).push_back('\0');
      batch.push_back(std::move(listed));
    }
    return true;
  }

  // Runs on any thread: touches only its own element and reads the rest.
  void ReadFacts(int dirFd, const std::string& dirBytes, qsizetype dirLength,
                 const std::string& names, Listed& listed) const {
    if (!listed.NeedsFacts) return;
    const char* name = names.data() + listed.NameOffset;
    listed.HaveFacts = ReadFileFactsAt(dirFd, name, listed.Facts);
    if (!listed.HaveFacts || listed.Path.isEmpty() || listed.Facts.Kind == FileKind::Directory)
      return;
    std::string encodedPath = dirBytes;
    encodedPath.append(name, listed.NameLength);
    const QString fileName =
        QString::fromRawData(listed.Path.constData() + dirLength, listed.Path.size() - dirLength);
    listed.Word = AdmissionWord(encodedPath.c_str(), listed.Facts, fileName, settings_);
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
  if (!base.endsWith(u'/')) base += u'/';
  QString result;
  for (const QStringView field : QStringView(text).split(u'\n')) {
    if (field.isEmpty()) continue;
    QString line = field.toString();
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
