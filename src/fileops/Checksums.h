#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

struct ChecksumResult {
  bool Ok = false;
  int Error = 0;                // errno of the failed open or read; ECANCELED when stopped
  QString Crc32;                // 8 upper-case hex digits, when asked for
  QString Md5;                  // 32
  QString Sha1;                 // 40
  bool AccessTimeKept = false;  // the read did not touch the file's access time (O_NOATIME)
};

// The checksums asked for, from one read of the file. When more than one is asked for, the
// hashing runs on a second thread beside the reading one. `stop` (optional) is polled between
// blocks; when it becomes non-zero the result fails with ECANCELED.
ChecksumResult ComputeChecksums(const QString& path, bool needCrc, bool needMd5, bool needSha1,
                                const std::atomic<int32_t>* stop = nullptr);
