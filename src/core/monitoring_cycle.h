#pragma once
// The once-a-minute cycle: each minute counts up the elapsed minutes and runs
// a check when they reach the interval in use.
#include "core/check_executor.h"
#include "core/check_sweep.h"

struct SharedState;
class EchoEngine;
class NoticeSender;

class MonitoringCycle {
  public:
    // Without an executor every check runs whole within the call; without a
    // keeper the checks are not kept.
    MonitoringCycle(SharedState& state, EchoEngine& engine, NoticeSender& mail,
                    CheckExecutor* executor = nullptr, CheckKeeper* keeper = nullptr);

    // One minute has passed.
    void minute_passed();

    // A check now, exactly as a timed one; the minutes count again from 0.
    void check_now();

    // The operator's release of the delivery stop: at once between checks;
    // during one, once its own decision is made (it may have ended the stop).
    void release_stop();

    // True while a check runs or a notice is still being mailed: either way
    // a worker still uses the engine or the transport.
    bool checking() const { return checking_ || notices_.busy(); }

  private:
    SharedState& state_;
    EchoEngine& engine_;
    InlineExecutor inline_executor_;
    CheckExecutor& executor_;
    CheckKeeper* keeper_;
    NoticeQueue notices_;
    bool checking_ = false; // from the first echo to the decision
    bool release_pending_ = false;
};
