#pragma once
// The once-a-minute cycle: each minute counts up the elapsed minutes and runs
// a check when they reach the interval in use.
struct SharedState;
class EchoEngine;
class NoticeSender;

class MonitoringCycle {
  public:
    MonitoringCycle(SharedState& state, EchoEngine& engine, NoticeSender& mail);

    // One minute has passed.
    void minute_passed();

    // A check now, exactly as a timed one; the minutes count again from 0.
    void check_now();

    // True from the first echo of a check to its end, message boxes of the
    // mail delivery included.
    bool checking() const { return checking_; }

  private:
    SharedState& state_;
    EchoEngine& engine_;
    NoticeSender& mail_;
    bool checking_ = false;
};
