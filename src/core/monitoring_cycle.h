#pragma once
// The once-a-minute cycle: Timer1's tick counts the minutes in Label6 and
// runs a sweep when they reach the interval shown in Label7. Both numbers are
// read back from the labels on every tick, so what the operator sees is what
// drives the cycle.
#include <QString>

struct SharedState;
class MonitorDisplay;
class EchoEngine;
class NoticeSender;

// The number a label's text starts with, the way the cycle reads Label6 and
// Label7: leading blanks skipped, the longest leading decimal number, 0 when
// there is none.
double label_number(const QString& text);

// The elapsed minutes as Label6 shows them: whole numbers without a point.
QString elapsed_text(double elapsed);

class MonitoringCycle {
  public:
    MonitoringCycle(SharedState& state, MonitorDisplay& display, EchoEngine& engine,
                    NoticeSender& mail);

    // One tick of Timer1.
    void Timer1_Timer();

    // True from the first echo of a sweep to its end, message boxes of the
    // mail delivery included.
    bool sweeping() const { return sweeping_; }

  private:
    SharedState& state_;
    MonitorDisplay& display_;
    EchoEngine& engine_;
    NoticeSender& mail_;
    bool sweeping_ = false;
};
