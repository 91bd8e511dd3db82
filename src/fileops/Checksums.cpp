#include "fileops/Checksums.h"

#include "platform/FileRead.h"

#include <libdeflate.h>
#include <openssl/evp.h>

#include <cerrno>
#include <cstdlib>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr size_t kBlock = size_t{1} << 20;
constexpr int kRing = 4;  // blocks in flight between the reading and the hashing thread
// From this size on the hashing has a thread of its own beside the reading, which it overlaps
// (below it, starting the thread costs more than it saves): for one checksum the thread does all
// of the hashing, for more the slowest goes there and the reading thread does the others.
constexpr int64_t kThreadForOneFrom = int64_t{2} << 20;
constexpr int64_t kThreadForMoreFrom = int64_t{256} << 10;

// Blocks aligned to pages: the kernel copies whole pages into them.
struct FreeBlock {
  void operator()(char* p) const { std::free(p); }
};
using Block = std::unique_ptr<char[], FreeBlock>;

Block NewBlock() {
  return Block(static_cast<char*>(std::aligned_alloc(4096, kBlock)));
}

class Digest {
 public:
  explicit Digest(const EVP_MD* md) : ctx_(EVP_MD_CTX_new()) {
    ok_ = ctx_ != nullptr && EVP_DigestInit_ex(ctx_, md, nullptr) == 1;
  }
  ~Digest() { EVP_MD_CTX_free(ctx_); }
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  void Update(const char* data, size_t size) {
    if (ok_ && size > 0) ok_ = EVP_DigestUpdate(ctx_, data, size) == 1;
  }
  // Upper-case hex text of the digest; empty when the library failed.
  QString Final() {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!ok_ || EVP_DigestFinal_ex(ctx_, md, &length) != 1) return {};
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(md), length).toHex().toUpper());
  }

 private:
  EVP_MD_CTX* ctx_;
  bool ok_ = false;
};

// The work on one block, split into what the reading thread does itself and what the second
// thread does: the slowest hash goes to the second thread.
struct Hashes {
  bool Crc = false;
  std::unique_ptr<Digest> Md5;
  std::unique_ptr<Digest> Sha1;
  uint32_t CrcValue = 0;

  void Update(const char* data, size_t size) {
    if (Crc) CrcValue = static_cast<uint32_t>(libdeflate_crc32(CrcValue, data, size));
    if (Md5) Md5->Update(data, size);
    if (Sha1) Sha1->Update(data, size);
  }
};

bool Stopped(const std::atomic<int32_t>* stop) {
  return stop != nullptr && stop->load(std::memory_order_relaxed) != 0;
}

int HashAlone(SequentialFile& file, Hashes& hashes, Hashes* more,
              const std::atomic<int32_t>* stop) {
  Block buffer = NewBlock();
  if (!buffer) return ENOMEM;
  for (;;) {
    if (Stopped(stop)) return ECANCELED;
    const ssize_t n = file.Read(buffer.get(), kBlock);
    if (n < 0) return static_cast<int>(-n);
    if (n == 0) return 0;
    hashes.Update(buffer.get(), static_cast<size_t>(n));
    if (more != nullptr) more->Update(buffer.get(), static_cast<size_t>(n));
  }
}

// The reading thread fills a ring of blocks and hashes each with its share; the second thread
// hashes the same blocks with its share. A block is refilled only after both are done with it.
int HashOnTwoThreads(SequentialFile& file, Hashes& own, Hashes& other,
                     const std::atomic<int32_t>* stop) {
  std::vector<Block> ring;
  std::vector<size_t> sizes(kRing, 0);
  for (int i = 0; i < kRing; ++i) {
    ring.push_back(NewBlock());
    if (!ring.back()) return ENOMEM;
  }
  std::mutex mutex;
  std::condition_variable changed;
  int64_t published = 0;  // blocks handed to the second thread
  int64_t consumed = 0;   // blocks it has finished
  bool finished = false;  // no more blocks will come

  std::thread worker;
  try {
    worker = std::thread([&] {
      for (int64_t next = 0;; ++next) {
        {
          std::unique_lock lock(mutex);
          changed.wait(lock, [&] { return published > next || finished; });
          if (published <= next) return;
        }
        const auto slot = static_cast<size_t>(next % kRing);
        other.Update(ring[slot].get(), sizes[slot]);
        {
          std::lock_guard lock(mutex);
          consumed = next + 1;
        }
        changed.notify_all();
      }
    });
  } catch (const std::system_error&) {
    // No second thread to be had: the same work on this one.
    return HashAlone(file, own, &other, stop);
  }

  int err = 0;
  for (int64_t block = 0;; ++block) {
    if (Stopped(stop)) {
      err = ECANCELED;
      break;
    }
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return block - consumed < kRing; });
    }
    const auto slot = static_cast<size_t>(block % kRing);
    const ssize_t n = file.Read(ring[slot].get(), kBlock);
    if (n < 0) {
      err = static_cast<int>(-n);
      break;
    }
    if (n == 0) break;
    sizes[slot] = static_cast<size_t>(n);
    {
      std::lock_guard lock(mutex);
      published = block + 1;
    }
    changed.notify_all();
    own.Update(ring[slot].get(), static_cast<size_t>(n));
  }
  {
    std::lock_guard lock(mutex);
    finished = true;
  }
  changed.notify_all();
  worker.join();
  return err;
}

}  // namespace

ChecksumResult ComputeChecksums(const QString& path, bool needCrc, bool needMd5, bool needSha1,
                                const std::atomic<int32_t>* stop) {
  ChecksumResult result;
  SequentialFile file;
  if (const int err = file.Open(path); err != 0) {
    result.Error = err;
    return result;
  }
  result.AccessTimeKept = file.AccessTimeKept();

  Hashes own;
  Hashes other;
  const int needed = int{needCrc} + int{needMd5} + int{needSha1};
  const bool twoThreads =
      file.Size() >= (needed > 1 ? kThreadForMoreFrom : kThreadForOneFrom) && needed > 0;
  // The slowest asked-for hash goes to the second thread: MD5, then SHA-1, then CRC-32; the
  // others stay with the reading thread. One alone goes to the second thread.
  Hashes& md5Side = twoThreads ? other : own;
  Hashes& sha1Side = twoThreads && (!needMd5 || needed == 1) ? other : own;
  Hashes& crcSide = twoThreads && needed == 1 ? other : own;
  crcSide.Crc = needCrc;
  if (needMd5) md5Side.Md5 = std::make_unique<Digest>(EVP_md5());
  if (needSha1) sha1Side.Sha1 = std::make_unique<Digest>(EVP_sha1());

  const int err =
      twoThreads ? HashOnTwoThreads(file, own, other, stop) : HashAlone(file, own, nullptr, stop);
  if (err != 0) {
    result.Error = err;
    return result;
  }
  if (needCrc)
    result.Crc32 = QStringLiteral("%1").arg(crcSide.CrcValue, 8, 16, QLatin1Char('0')).toUpper();
  if (needMd5) result.Md5 = md5Side.Md5->Final();
  if (needSha1) result.Sha1 = sha1Side.Sha1->Final();
  result.Ok = (!needMd5 || result.Md5.size() == 32) && (!needSha1 || result.Sha1.size() == 40);
  if (!result.Ok) result.Error = EIO;
  return result;
}
