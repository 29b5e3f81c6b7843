#pragma once
// One running copy per user. The lock is an flock() on a file in the user's
// runtime directory: the kernel drops it when the process ends, so a copy
// that crashed never blocks the next start.
#include <QString>

class SingleInstanceLock {
  public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when this process now holds the lock; false when another copy
    // does. A lock file that cannot be made at all lets the program run.
    bool acquire();

    // $XDG_RUNTIME_DIR/pelmora.lock, or a per-user file in the temp directory.
    static QString lock_path();

  private:
    int fd_ = -1;
};
