#pragma once
// The once-a-minute cycle: each minute counts up the elapsed minutes and runs
// a check when they reach the interval in use.
#include "core/check_executor.h"

struct SharedState;
class EchoEngine;
class NoticeSender;

class MonitoringCycle {
  public:
    // Without an executor every check runs whole within the call.
    MonitoringCycle(SharedState& state, EchoEngine& engine, NoticeSender& mail,
                    CheckExecutor* executor = nullptr);

    // One minute has passed.
    void minute_passed();

    // A check now, exactly as a timed one; the minutes count again from 0.
    void check_now();

    // The operator's release of the delivery stop: at once between checks;
    // during one, once its own decision is made (it may have ended the stop).
    void release_stop();

    // True from the first echo of a check to its end, the last mail included.
    bool checking() const { return checking_; }

  private:
    SharedState& state_;
    EchoEngine& engine_;
    NoticeSender& mail_;
    InlineExecutor inline_executor_;
    CheckExecutor& executor_;
    bool checking_ = false;
    bool release_pending_ = false;
};
