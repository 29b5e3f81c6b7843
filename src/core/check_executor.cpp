#include "core/check_executor.h"

#include <QMetaObject>
#include <QObject>
#include <mutex>
#include <thread>

struct ThreadedExecutor::Home {
    std::mutex lock;
    QObject* receiver = nullptr; // null once the executor is gone
};

ThreadedExecutor::ThreadedExecutor() : home_(std::make_shared<Home>()) {
    home_->receiver = new QObject;
}

ThreadedExecutor::~ThreadedExecutor() {
    QObject* receiver = nullptr;
    {
        const std::lock_guard guard(home_->lock);
        std::swap(receiver, home_->receiver);
    }
    // Deleting the receiver also drops any result already posted to it.
    delete receiver;
}

void ThreadedExecutor::hand_over(std::function<Handback()> work) {
    std::thread([home = home_, work = std::move(work)]() mutable {
        Handback handback = work();
        const std::lock_guard guard(home->lock);
        if (home->receiver)
            QMetaObject::invokeMethod(home->receiver, std::move(handback), Qt::QueuedConnection);
    }).detach();
}
