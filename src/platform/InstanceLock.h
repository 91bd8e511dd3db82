#pragma once

#include <QString>

// Makes sure that only one copy of the program runs per user: an exclusive flock on a file
// named after the program's title. The kernel releases the lock when the holder ends, crashes
// included, so a stale file never blocks a later start.
class InstanceLock {
 public:
  enum Result {
    kAcquired,       // this object holds the lock now
    kHeldElsewhere,  // another process (or another InstanceLock) holds it
    kUnavailable,    // the lock file could not be opened: nothing can be told
  };

  InstanceLock() = default;
  ~InstanceLock();  // releases the lock
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  Result Acquire(const QString& lockFile);
  bool Held() const { return fd_ >= 0; }

  // The lock file for a title: in $XDG_RUNTIME_DIR, which belongs to the user alone; else in
  // the temporary folder with the user id in the name, so that two users never meet there.
  static QString LockFilePath(const QString& title);

 private:
  int fd_ = -1;
};
