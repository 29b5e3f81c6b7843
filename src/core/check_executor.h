#pragma once
// Where the blocking parts of a check run. The check itself (its decisions
// and every change of the monitoring state) stays on the thread that started
// it; only the echo sweep and each mail are handed to an executor, which hands
// the work's result back, by value, to done on that thread.
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

class CheckExecutor {
  public:
    virtual ~CheckExecutor() = default;

    // Runs work (which may block for a minute), then done(its result) on the
    // caller's thread. work gets values, never the live monitoring state:
    // whatever it reads is copied in when it is made. done is never called
    // once the executor is gone.
    template <class Work, class Done> void run(Work work, Done done) {
        using Result = std::invoke_result_t<Work&>;
        static_assert(std::is_invocable_v<Done&, Result>, "done takes what work returns");
        hand_over([work = std::move(work), done = std::move(done)]() mutable -> Handback {
            return [done = std::move(done), result = work()]() mutable { done(std::move(result)); };
        });
    }

  protected:
    // done bound to the work's result: to be called on the caller's thread.
    using Handback = std::function<void()>;
    // Calls work wherever the executor runs its work; calls what it returns
    // on the thread that called run, unless the executor is gone by then.
    virtual void hand_over(std::function<Handback()> work) = 0;
};

// Both at once, in the caller's thread: the logic tests see a check whole.
class InlineExecutor : public CheckExecutor {
  protected:
    void hand_over(std::function<Handback()> work) override { work()(); }
};

// The work on a thread of its own, done posted back to the event loop of the
// thread that made the executor. A worker still blocked when the program ends
// is abandoned, not waited for.
class ThreadedExecutor : public CheckExecutor {
  public:
    ThreadedExecutor();
    ~ThreadedExecutor() override;

    struct Home; // shared with the workers, which may outlive the executor

  protected:
    void hand_over(std::function<Handback()> work) override;

  private:
    std::shared_ptr<Home> home_;
};
