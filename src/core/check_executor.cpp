#include "core/check_executor.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <deque>
#include <mutex>
#include <thread>

struct ThreadedExecutor::Home {
    std::mutex lock;
    QObject* receiver = nullptr;   // null once the executor is gone
    std::deque<Handback> finished; // posted, not yet called
};

namespace {

// Calls one finished hand-back per wake-up, on the executor's thread. The
// wake-up carries nothing: the result passes under the home's lock, which
// ThreadSanitizer sees, and not through Qt's event queue, which it does not.
class Receiver : public QObject {
  public:
    explicit Receiver(ThreadedExecutor::Home& home) : home_(home) {}

  protected:
    void customEvent(QEvent*) override {
        std::function<void()> next;
        {
            const std::lock_guard guard(home_.lock);
            if (home_.finished.empty())
                return;
            next = std::move(home_.finished.front());
            home_.finished.pop_front();
        }
        next(); // may end the executor, and this receiver with it
    }

  private:
    ThreadedExecutor::Home& home_;
};

} // namespace

ThreadedExecutor::ThreadedExecutor() : home_(std::make_shared<Home>()) {
    home_->receiver = new Receiver(*home_);
}

ThreadedExecutor::~ThreadedExecutor() {
    QObject* receiver = nullptr;
    std::deque<Handback> dropped; // results already posted: nobody waits for them
    {
        const std::lock_guard guard(home_->lock);
        std::swap(receiver, home_->receiver);
        std::swap(dropped, home_->finished);
    }
    delete receiver;
}

void ThreadedExecutor::hand_over(std::function<Handback()> work) {
    std::thread([home = home_, work = std::move(work)]() mutable {
        Handback handback = work();
        const std::lock_guard guard(home->lock);
        if (!home->receiver)
            return;
        home->finished.push_back(std::move(handback));
        QCoreApplication::postEvent(home->receiver, new QEvent(QEvent::User));
    }).detach();
}
