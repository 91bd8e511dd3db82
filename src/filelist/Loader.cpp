#include "filelist/Loader.h"

#include "platform/Attributes.h"
#include "platform/FileInfo.h"
#include "platform/FileName.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"
#include "platform/Process.h"

#include <dirent.h>
#include <fcntl.h>

#include <QStringList>

#include <condition_variable>
#include <mutex>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_set>
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

// The attribute word of a regular file that may be loaded, or kRejected. (A FIFO, socket or
// device is never a file to work on, since reading a FIFO would hang a checksum: callers
// reject whatever is not a regular file before they get here.)
int32_t AdmissionWord(int32_t attributes, const Preset& settings) {
  if (attributes < 0) return kAttrNormal;
  if ((attributes & kAttrSystem) != 0) return kRejected;
  if ((attributes & kAttrHidden) != 0 && settings.IncludeHidden == 0) return kRejected;
  return attributes;
}

// The entry for a file that may be loaded, all but its id: built on whichever thread read the
// file's facts, so that the thread that appends only has to number and keep it.
FileEntry MakeEntry(const QString& directory, QString fileName, int32_t attributes,
                    const FileFacts& facts) {
  FileEntry entry;
  entry.SetLocation(directory, std::move(fileName));
  entry.Attributes = attributes;
  entry.Size = facts.Size;
  entry.CreatedTime = facts.Created;
  entry.ModifiedTime = facts.Modified;
  entry.AccessTime = facts.Accessed;
  entry.Created = LocalDateFromUnix(facts.Created.Seconds);
  entry.Modified = LocalDateFromUnix(facts.Modified.Seconds);
  entry.LastAccess = LocalDateFromUnix(facts.Accessed.Seconds);
  entry.Device = facts.Device;
  entry.Inode = facts.Inode;
  return entry;
}

FileEntry& AppendEntry(FileEntry&& entry, FileList& target) {
  entry.Id = TakeNextEntryId();
  return target.Append(std::move(entry));
}

bool AlreadyLoaded(const FileList& list, const QString& path, const FileFacts& facts) {
  return list.ContainsPath(path) || list.ContainsFile(facts.Device, facts.Inode);
}

FileEntry* AdmitWithFacts(const QString& path, const QString& directory, const QString& fileName,
                          const char* encodedPath, const FileFacts& facts, FileList& target,
                          const Preset& settings) {
  if (AlreadyLoaded(target, path, facts) || facts.Kind != FileKind::Regular) return nullptr;
  const int32_t word =
      AdmissionWord(AttributesFromStat(encodedPath, facts.Stat, fileName), settings);
  if (word == kRejected) return nullptr;
  FileEntry entry = MakeEntry(directory, path.mid(directory.size()), word, facts);
  // A path that does not begin with its folder keeps the folder and name it was handed.
  if (!path.startsWith(directory)) entry.SetPath(path);
  return &AppendEntry(std::move(entry), target);
}

// A few helper threads that share one job at a time with the thread that hands it out: fn(0)
// .. fn(count - 1), taken in slices. Reading a file's facts is a system call or two that waits
// on the kernel, so several can be under way at once; the threads are started once per walk
// rather than once per batch.
class HelperPool {
 public:
  HelperPool() {
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t helpers = std::min(cores, size_t{4}) - 1;
    for (size_t t = 0; t < helpers; ++t) {
      try {
        threads_.emplace_back([this] { Serve(); });
      } catch (const std::system_error&) {
        break;  // no more threads to be had: the caller does the rest
      }
    }
  }
  ~HelperPool() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }
  HelperPool(const HelperPool&) = delete;
  HelperPool& operator=(const HelperPool&) = delete;

  // Hands out a job; the caller goes on with other work and calls Finish before it needs the
  // results or hands out the next job. `fn` must stay valid until then.
  void Start(size_t count, std::function<void(size_t)> fn) {
    {
      const std::lock_guard lock(mutex_);
      fn_ = std::move(fn);
      count_ = count;
      next_.store(0, std::memory_order_relaxed);
      active_ = true;
      ++generation_;
      published_.store(generation_, std::memory_order_release);
    }
    if (count >= kWorthSharing) wake_.notify_all();
  }

  // Takes part in the job until it is done, and waits for the helpers to let go of it.
  void Finish() {
    Work();
    // A helper still on its last slice lets go within microseconds: looking costs less than
    // being put to sleep and woken.
    SpinUntil([this] { return busyCount_.load(std::memory_order_acquire) == 0; });
    std::unique_lock lock(mutex_);
    active_ = false;
    done_.wait(lock, [this] { return busy_ == 0; });
  }

 private:
  static constexpr size_t kSlice = 8;
  static constexpr size_t kWorthSharing = 64;
  // How long a thread looks for what it waits for before it sleeps. During a walk the jobs
  // follow each other within microseconds, while waking a sleeping thread (on a virtual
  // machine above all) takes tens of them, a good part of a job's time.
  static constexpr std::chrono::microseconds kSpin{50};

  template <typename Done>
  static void SpinUntil(Done done) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    while (!done() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
  }

  void Work() {
    for (;;) {
      const size_t begin = next_.fetch_add(kSlice, std::memory_order_relaxed);
      if (begin >= count_) return;
      const size_t end = std::min(begin + kSlice, count_);
      for (size_t i = begin; i < end; ++i) fn_(i);
    }
  }

  void Serve() {
    uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
      if (!stop_ && !(active_ && generation_ != seen)) {
        lock.unlock();
        SpinUntil([&] { return published_.load(std::memory_order_acquire) != seen; });
        lock.lock();
      }
      wake_.wait(lock, [&] { return stop_ || (active_ && generation_ != seen); });
      if (stop_) return;
      seen = generation_;
      busyCount_.store(++busy_, std::memory_order_release);
      lock.unlock();
      Work();
      lock.lock();
      busyCount_.store(--busy_, std::memory_order_release);
      if (busy_ == 0) done_.notify_all();
    }
  }

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::function<void(size_t)> fn_;
  size_t count_ = 0;
  std::atomic<size_t> next_{0};
  uint64_t generation_ = 0;
  size_t busy_ = 0;
  // The two values above, for a look without the lock.
  std::atomic<uint64_t> published_{0};
  std::atomic<size_t> busyCount_{0};
  bool active_ = false;
  bool stop_ = false;
};

// One walk of the loader over a folder tree, depth first, in the order each folder lists its
// names. The walk keeps its own stack rather than recursing, so that no depth can exhaust the
// thread's stack, and keeps at most kMaxOpenFolders folders open, so that no depth can exhaust
// the process's descriptors either: a folder left open further up is read to its end into
// memory and closed, and opened again through ".." of the folder below when the walk comes
// back to it. Links to folders are never followed: through them a walk would reach files
// outside the folder the user gave (the whole parent, through a link to "..").
//
// A folder is read in batches of names, and three of them are in hand at a time: while this
// thread appends the entries of one batch, the helpers read the facts of the next one and build
// its entries, and this thread reads the one after that from the folder before it joins them.
// The directory reading, the calls per file and the list building thus overlap, and the thread
// that appends does little more per file than the duplicate test.
class DirectoryWalk {
 public:
  DirectoryWalk(FileList& list, const Preset& settings, LoadFlags& flags,
                const RowAddedFn& onRowAdded)
      : list_(list), settings_(settings), flags_(flags), onRowAdded_(onRowAdded) {}

  qsizetype Added() const { return added_; }
  bool Stopped() const { return flags_.LoadStop.load(std::memory_order_relaxed) == 1; }

  // Walks `directory` (absolute and normal); with `recurse`, its subfolders too.
  void Walk(const QString& directory, bool recurse) {
    // The paths one walk builds all differ (each folder is entered once, under its own path,
    // and lists each name once), so only entries loaded before the walk can have one of them.
    checkPaths_ = !list_.IsEmpty();
    path_ = directory;
    if (!path_.endsWith(u'/')) path_ += u'/';
    const QByteArray encoded = EncodeFileName(path_);
    bytes_.assign(encoded.constData(), static_cast<size_t>(encoded.size()));
    auto root = std::make_unique<Frame>();
    if (root->Reader.Open(AT_FDCWD, bytes_.c_str()) != 0) return;  // unreadable: skipped
    Enter(std::move(root));
    while (!stack_.empty() && !Stopped()) {
      Frame& frame = *stack_.back();
      if (frame.Current.Next >= frame.Current.Items.size() && !NextBatch(frame)) {
        Leave();
        continue;
      }
      Listed& listed = frame.Current.Items[frame.Current.Next++];
      if (listed.Type == DT_DIR || listed.IsFolder) {
        if (recurse) Descend(frame, listed);
      } else if (listed.Admit && !AlreadyLoaded(listed.Entry)) {
        FileEntry& entry = AppendEntry(std::move(listed.Entry), list_);
        ++added_;
        if (onRowAdded_) onRowAdded_(entry);
      }
    }
    while (!stack_.empty()) Leave();
  }

 private:
  // One name of a folder, with what was learned about it.
  struct Listed {
    size_t NameOffset = 0;  // into the batch's name store, NUL-terminated there
    uint32_t NameLength = 0;
    unsigned char Type = DT_UNKNOWN;
    bool NeedsFacts = false;
    bool IsFolder = false;   // a folder (not a link to one), learned from its facts
    bool Admit = false;      // Entry holds a file that may be loaded
    uint64_t LinkInode = 0;  // the link's own inode, for a name listed as a link
    QString Path;            // set while reading the folder when paths are checked up front
    FileEntry Entry;         // all but its id
  };

  // A run of names of one folder: read together, their facts read together.
  struct Batch {
    std::vector<Listed> Items;
    std::string Names;
    QString Directory;          // the folder's path with its final "/", for the entries' paths
    size_t DirectoryBytes = 0;  // its length as the file system spells it
    size_t Next = 0;
    bool HaveFacts = false;
  };

  struct Frame {
    DirectoryReader Reader;  // closed while the walk is deep below and descriptors are short
    Batch Current;
    // The batch after the current one, whose facts the helpers read while the current one is
    // appended, and the one after that, read from the folder meanwhile.
    Batch Ahead;
    bool HaveAhead = false;
    bool AheadRunning = false;
    Batch Following;
    bool HaveFollowing = false;
    std::deque<Batch> Rest;    // the rest of the listing, read before the folder was closed
    bool Exhausted = false;    // the listing has been read to its end
    qsizetype PathLength = 0;  // of path_ for this folder, final "/" included
    size_t BytesLength = 0;    // of bytes_
    QString Directory;         // path_ for this folder, shared by its entries
    dev_t Device = 0;
    ino_t Inode = 0;
  };

  static constexpr size_t kBatchSize = 256;
  static constexpr int kMaxOpenFolders = 64;

  struct FolderKey {
    dev_t Device;
    ino_t Inode;
    bool operator==(const FolderKey&) const = default;
  };
  struct FolderKeyHash {
    size_t operator()(const FolderKey& key) const {
      return std::hash<uint64_t>()(static_cast<uint64_t>(key.Device) * 0x9E3779B97F4A7C15ull ^
                                   static_cast<uint64_t>(key.Inode));
    }
  };

  bool AlreadyLoaded(const FileEntry& entry) const {
    return (checkPaths_ && list_.ContainsPath(entry.Path())) ||
           list_.ContainsFile(entry.Device, entry.Inode);
  }

  void Enter(std::unique_ptr<Frame> frame) {
    frame->PathLength = path_.size();
    frame->BytesLength = bytes_.size();
    frame->Directory = path_;
    frame->Device = frame->Reader.Device();
    frame->Inode = frame->Reader.Inode();
    active_.insert({frame->Device, frame->Inode});
    ++open_;
    stack_.push_back(std::move(frame));
  }

  void Descend(Frame& parent, const Listed& listed) {
    const char* name = parent.Current.Names.data() + listed.NameOffset;
    auto child = std::make_unique<Frame>();
    // O_DIRECTORY with the listing's own type: a link to a folder that the listing showed as a
    // folder cannot slip in between, since openat follows no link where the name is none.
    if (child->Reader.Open(parent.Reader.Fd(), name) != 0) return;
    // A folder mounted below itself (a bind mount) would lead round in a circle.
    if (active_.contains({child->Reader.Device(), child->Reader.Inode()})) return;
    // One job at a time: the parent's batch ahead is finished before the child starts its own.
    FinishAhead(parent);
    if (open_ >= kMaxOpenFolders) {
      ReadToEnd(parent);
      parent.Reader.Close();
      --open_;
    }
    const std::string_view nameView(name, listed.NameLength);
    // Appended in place: copying the path at every level would cost the square of the depth.
    path_ += DecodeFileName(nameView);
    path_ += u'/';
    bytes_.append(nameView).push_back('/');
    Enter(std::move(child));
  }

  void Leave() {
    FinishAhead(*stack_.back());
    std::unique_ptr<Frame> child = std::move(stack_.back());
    stack_.pop_back();
    active_.erase({child->Device, child->Inode});
    if (!stack_.empty()) {
      Frame& parent = *stack_.back();
      if (!parent.Reader.IsOpen()) Reopen(parent, *child);
      path_.truncate(parent.PathLength);
      bytes_.resize(parent.BytesLength);
    }
    if (child->Reader.IsOpen()) --open_;
  }

  // Opens a folder that was closed on the way down again, through ".." of the folder below it;
  // if that is no longer the same folder (the tree was moved meanwhile), the rest of it is left.
  void Reopen(Frame& parent, const Frame& child) {
    bool same = false;
    if (child.Reader.IsOpen() && parent.Reader.Open(child.Reader.Fd(), "..") == 0) {
      same = parent.Reader.Device() == parent.Device && parent.Reader.Inode() == parent.Inode;
      if (same) {
        ++open_;
      } else {
        parent.Reader.Close();
      }
    }
    if (!same) {
      parent.Current = Batch{};
      parent.Ahead = Batch{};
      parent.HaveAhead = false;
      parent.Following = Batch{};
      parent.HaveFollowing = false;
      parent.Rest.clear();
      parent.Exhausted = true;
    }
  }

  // Reads the rest of a folder's listing into memory, before the folder is closed.
  void ReadToEnd(Frame& frame) {
    while (!frame.Exhausted) {
      Batch batch;
      frame.Exhausted = !ReadBatch(frame.Reader, batch);
      if (!batch.Items.empty()) frame.Rest.push_back(std::move(batch));
    }
  }

  // Makes the next batch of the folder current, with its facts read; has the helpers read the
  // facts of the one after it and reads the one after that meanwhile. False at the end.
  bool NextBatch(Frame& frame) {
    for (;;) {
      if (frame.HaveAhead) {
        FinishAhead(frame);
        frame.Current = std::move(frame.Ahead);
        frame.Ahead = Batch{};
        frame.HaveAhead = false;
      } else if (!LoadNext(frame, frame.Current)) {
        return false;
      }
      if (frame.Current.Items.empty()) continue;
      if (!frame.Current.HaveFacts) {
        StartFacts(frame, frame.Current);
        pool_.Finish();
      }
      if (frame.HaveFollowing) {
        frame.Ahead = std::move(frame.Following);
        frame.Following = Batch{};
        frame.HaveFollowing = false;
        frame.HaveAhead = true;
      } else {
        frame.HaveAhead = LoadNext(frame, frame.Ahead) && !frame.Ahead.Items.empty();
      }
      if (frame.HaveAhead) {
        StartFacts(frame, frame.Ahead);
        frame.AheadRunning = true;
        // The helpers are busy now: the folder is read on while they work.
        frame.HaveFollowing = LoadNext(frame, frame.Following) && !frame.Following.Items.empty();
      }
      return true;
    }
  }

  // The next batch of the listing, from what was read ahead of a close or from the folder.
  bool LoadNext(Frame& frame, Batch& batch) {
    batch = Batch{};
    if (!frame.Rest.empty()) {
      batch = std::move(frame.Rest.front());
      frame.Rest.pop_front();
      return true;
    }
    if (frame.Exhausted || !frame.Reader.IsOpen()) return false;
    frame.Exhausted = !ReadBatch(frame.Reader, batch);
    return true;
  }

  void FinishAhead(Frame& frame) {
    if (!frame.AheadRunning) return;
    pool_.Finish();
    frame.AheadRunning = false;
  }

  void StartFacts(Frame& frame, Batch& batch) {
    batch.HaveFacts = true;
    batch.Directory = frame.Directory;
    batch.DirectoryBytes = frame.BytesLength;
    const int dirFd = frame.Reader.Fd();
    const dev_t device = frame.Device;
    pool_.Start(batch.Items.size(), [this, &batch, dirFd, device](size_t i) {
      ReadFacts(dirFd, device, batch, batch.Items[i]);
    });
  }

  // Fills the batch with the next names worth a look; false when the folder is exhausted.
  bool ReadBatch(DirectoryReader& reader, Batch& batch) {
    DirectoryReader::Item item{};
    while (batch.Items.size() < kBatchSize) {
      if (!reader.Next(item)) return false;
      Listed listed;
      listed.Type = item.Type;
      switch (item.Type) {
        case DT_DIR:
          break;
        case DT_REG:
          // Only names with an extension are loaded: no need to look at the others.
          if (!HasExtension(item.Name)) continue;
          // A file loaded before costs no system call.
          if (checkPaths_) {
            listed.Path = JoinPath(path_, item.Name);
            if (list_.ContainsPath(listed.Path)) continue;
          }
          listed.NeedsFacts = true;
          break;
        case DT_LNK:
          // A link to a file is loaded (renaming acts on the link); a link to a folder never
          // leads the walk anywhere. Without an extension it is neither.
          if (!HasExtension(item.Name)) continue;
          listed.NeedsFacts = true;
          listed.LinkInode = item.Inode;
          break;
        case DT_UNKNOWN:
          // Some file systems do not report types at all: the facts tell.
          listed.NeedsFacts = true;
          break;
        default:
          continue;  // FIFOs, sockets and devices listed as such are system files
      }
      listed.NameOffset = batch.Names.size();
      listed.NameLength = static_cast<uint32_t>(item.Name.size());
      batch.Names.append(item.Name).push_back('\0');
      batch.Items.push_back(std::move(listed));
    }
    return true;
  }

  // Runs on any thread: touches only its own element and reads the rest of the batch. Reads
  // the facts of the name and, for a file that may be loaded, builds its entry.
  void ReadFacts(int dirFd, dev_t device, const Batch& batch, Listed& listed) const {
    if (!listed.NeedsFacts) return;
    const char* name = batch.Names.data() + listed.NameOffset;
    FileFacts facts;
    if (listed.Type == DT_UNKNOWN) {
      if (!ReadFileFactsAt(dirFd, name, facts)) return;
    } else {
      if (!ReadFollowedFactsAt(dirFd, name, facts)) return;
      if (listed.Type == DT_LNK) {
        facts.IsLink = true;
        facts.Device = device;
        facts.Inode = listed.LinkInode;
      }
    }
    listed.IsFolder = facts.Kind == FileKind::Directory && !facts.IsLink;
    const std::string_view nameView(name, listed.NameLength);
    if (facts.Kind != FileKind::Regular || !HasExtension(nameView)) return;
    // A path the system does not take whole cannot be renamed, moved or read by it later: the
    // file is listed, and counted so that the front end can say so before the run refuses it.
    if (batch.DirectoryBytes + nameView.size() > static_cast<size_t>(kMaxPathBytes))
      flags_.PathsTooLong.fetch_add(1, std::memory_order_relaxed);
    // Only the name is decoded: the entry shares the folder's text with its neighbours.
    QString fileName = listed.Path.isEmpty() ? JoinPath(QString(), nameView)
                                             : listed.Path.mid(batch.Directory.size());
    const int32_t word =
        AdmissionWord(AttributesFromStatAt(dirFd, name, facts.Stat, fileName), settings_);
    if (word == kRejected) return;
    listed.Entry = MakeEntry(batch.Directory, std::move(fileName), word, facts);
    listed.Admit = true;
  }

  FileList& list_;
  const Preset& settings_;
  LoadFlags& flags_;
  const RowAddedFn& onRowAdded_;
  qsizetype added_ = 0;
  bool checkPaths_ = true;  // the list held entries when the walk began
  std::vector<std::unique_ptr<Frame>> stack_;
  QString path_;       // the folder of the top frame, with a final "/"
  std::string bytes_;  // the same as the file system spells it
  std::unordered_set<FolderKey, FolderKeyHash> active_;  // the folders being walked
  int open_ = 0;                                         // folders open at this moment
  HelperPool pool_;  // last, so that it ends (and its threads with it) before the rest
};

// True when the path may not be normal: it has an empty, "." or ".." component, or a final
// "/". Paths the walk builds never do; a quick look spares them the work.
bool MayNeedNormalizing(const QString& path) {
  const qsizetype n = path.size();
  if (n == 0 || path.front() != u'/') return true;
  if (n > 1 && path.back() == u'/') return true;
  for (qsizetype i = 0; i + 1 < n; ++i) {
    if (path[i] != u'/') continue;
    const QChar next = path[i + 1];
    if (next == u'/') return true;
    if (next == u'.') {
      const QChar after = i + 2 < n ? path[i + 2] : QChar(u'/');
      if (after == u'/' || (after == u'.' && (i + 3 >= n || path[i + 3] == u'/'))) return true;
    }
  }
  return false;
}

}  // namespace

int32_t TakeNextEntryId() {
  return gNextEntryId.fetch_add(1, std::memory_order_relaxed) + 1;
}

int32_t LastEntryId() {
  return gNextEntryId.load(std::memory_order_relaxed);
}

QString BaseName(const QString& path, int maxExtensionLength) {
  const qsizetype slash = path.lastIndexOf(u'/');
  return StripExtension(QStringView(path).mid(slash + 1), maxExtensionLength);
}

QString ExtensionOf(const QString& path) {
  const qsizetype slash = path.lastIndexOf(u'/');
  const qsizetype dot = path.lastIndexOf(u'.');
  if (dot < 0 || dot < slash) return {};
  return path.mid(dot + 1);
}

QString NormalPath(const QString& path) {
  if (path.isEmpty()) return {};
  if (!MayNeedNormalizing(path)) return path;
  QString absolute = path;
  if (absolute.front() != u'/') absolute.prepend(CurrentFolder());
  QStringList parts;
  for (const QStringView part : QStringView(absolute).split(u'/')) {
    if (part.isEmpty() || part == u".") continue;
    if (part != u"..") {
      parts.append(part.toString());
      continue;
    }
    if (parts.isEmpty()) continue;  // the root is its own parent
    // ".." after a link goes up from where the link leads, as the kernel reads it; after
    // anything else it takes the last component away, which names the same folder.
    const QString prefix = u'/' + parts.join(u'/');
    if (IsSymbolicLink(prefix)) {
      const QString resolved = ResolvedPath(prefix);
      if (resolved.isEmpty()) return {};  // a broken link: the path names nothing
      parts = resolved.split(u'/', Qt::SkipEmptyParts);
      if (parts.isEmpty()) continue;
    }
    parts.removeLast();
  }
  return u'/' + parts.join(u'/');
}

int AdmitFile(const QString& givenPath, FileList& target, const Preset& settings) {
  const QString path = NormalPath(givenPath);
  // The path test first: it is the cheapest and needs no file access.
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
  const QString path = NormalPath(directory);
  if (path.isEmpty()) return 0;
  DirectoryWalk walk(list, settings, flags, onRowAdded);
  walk.Walk(path, recurse);
  return walk.Added();
}

qsizetype AddPaths(const QString& paths, FileList& list, const Preset& settings, LoadFlags& flags,
                   const RowAddedFn& onRowAdded) {
  qsizetype added = 0;
  // Files chosen in a dialog mostly share their folder: their entries share its text too.
  QString lastDirectory;
  for (const QStringView field : QStringView(paths).split(u'\n')) {
    const QString path = field.isEmpty() ? QString() : NormalPath(field.toString());
    if (!path.isEmpty()) {
      const QByteArray encoded = EncodeFileName(path);
      FileFacts facts;
      // Anything else (no extension, nothing there) is skipped without a word. A link named
      // here is followed: the user pointed at it. A path the system does not take whole cannot
      // be looked at: it is counted.
      if (encoded.size() > kMaxPathBytes) {
        flags.PathsTooLong.fetch_add(1, std::memory_order_relaxed);
      } else if (ReadFileFacts(encoded.constData(), facts)) {
        const qsizetype slash = path.lastIndexOf(u'/');
        const QStringView fileName = QStringView(path).mid(slash + 1);
        if (facts.Kind == FileKind::Directory) {
          DirectoryWalk walk(list, settings, flags, onRowAdded);
          walk.Walk(path, settings.IncludeSubdirectories == 1);
          added += walk.Added();
        } else if (HasExtension(fileName)) {
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
    if (flags.LoadStop.load(std::memory_order_relaxed) == 1) break;
  }
  return added;
}

qsizetype LoadPaths(const QString& pendingPaths, FileList& list, const Preset& settings,
                    LoadFlags& flags, const RowAddedFn& onRowAdded) {
  flags.LoadBusy.store(1, std::memory_order_relaxed);
  flags.LoadStop.store(0, std::memory_order_relaxed);
  flags.PathsTooLong.store(0, std::memory_order_relaxed);
  const qsizetype added = AddPaths(pendingPaths, list, settings, flags, onRowAdded);
  flags.LoadBusy.store(0, std::memory_order_relaxed);
  return added;
}

FileList ReadListAgain(const FileList& list, const Preset& settings) {
  Preset admit = settings;
  admit.IncludeHidden = 1;
  FileList refreshed;
  const qsizetype wanted = list.Current;
  qsizetype position = 0;
  qsizetype current = -1;
  for (const FileEntry& entry : list) {
    const bool kept = AdmitFile(entry.Path(), refreshed, admit) == 1;
    if (kept && position == wanted) current = refreshed.Count() - 1;
    ++position;
  }
  refreshed.Current = current >= 0 ? current : (refreshed.IsEmpty() ? -1 : 0);
  return refreshed;
}
