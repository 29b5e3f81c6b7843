#pragma once
// The thread that owns an object: the one that made it. The monitoring state
// and events are changed and listened to only there (the window's thread);
// a change from any other thread would race with what the windows show, so
// it ends the program at once, in every build, naming what was changed.
#include <QtGlobal>
#include <thread>

class OwnerThread {
  public:
    OwnerThread() = default;
    // A copy belongs to the thread that makes it; assigning keeps the owner.
    OwnerThread(const OwnerThread&) {}
    OwnerThread& operator=(const OwnerThread&) { return *this; }

    void check(const char* what) const {
        if (std::this_thread::get_id() != owner_)
            qFatal("%s changed off the thread that owns it", what);
    }

  private:
    std::thread::id owner_ = std::this_thread::get_id();
};
