#pragma once
// Where the blocking parts of a check run. The check itself (its decisions
// and every change of the monitoring state) stays on the thread that started
// it; only the echo sweep and each mail are handed to an executor, which calls
// back on that thread when the work is done.
#include <functional>
#include <memory>

class CheckExecutor {
  public:
    virtual ~CheckExecutor() = default;
    // Runs work (which may block for a minute), then done on the caller's
    // thread. done is never called once the executor is gone.
    virtual void run(std::function<void()> work, std::function<void()> done) = 0;
};

// Both at once, in the caller's thread: the logic tests see a check whole.
class InlineExecutor : public CheckExecutor {
  public:
    void run(std::function<void()> work, std::function<void()> done) override {
        work();
        done();
    }
};

// The work on a thread of its own, done posted back to the event loop of the
// thread that made the executor. A worker still blocked when the program ends
// is abandoned, not waited for.
class ThreadedExecutor : public CheckExecutor {
  public:
    ThreadedExecutor();
    ~ThreadedExecutor() override;
    void run(std::function<void()> work, std::function<void()> done) override;

    struct Home; // shared with the workers, which may outlive the executor

  private:
    std::shared_ptr<Home> home_;
};
