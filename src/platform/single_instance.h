#pragma once
// One running copy per user. The lock is an flock() on a file whose place
// follows from the user id alone, never from the environment: two copies
// started with different or no XDG_RUNTIME_DIR or TMPDIR must still find each
// other. The kernel drops the lock when the process ends, so a copy that
// crashed never blocks the next start.
#include <QString>
#include <QStringList>
#include <vector>

class SingleInstanceLock {
  public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // True when this process now holds the lock; false when another copy
    // does. A lock file that cannot be made at all lets the program run.
    bool acquire();

    // /tmp/pelmora-<uid>.lock: taken by every copy.
    static QString lock_path();

    // Every file a copy locks: lock_path(), and before it
    // /run/user/<uid>/pelmora.lock when that directory is the user's own. The
    // second guards against a stranger's file squatting on the first; the
    // first still holds when the runtime directory comes and goes with login
    // sessions.
    static QStringList lock_paths();

    // A test hook: the test suite sets PELMORA_TEST_LOCK_DIR to a folder of
    // its own, and the copies it starts lock <folder>/pelmora.lock alone, so
    // that they meet each other but not the user's running Pelmora. Honoured
    // only for a folder the user owns that group and others cannot write,
    // and never in a program started with raised privileges (a binary with a
    // file capability): there the real lock always holds.
    static QString test_lock_folder();

  private:
    std::vector<int> fds_;
};
