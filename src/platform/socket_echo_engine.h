#pragma once
// The echo engine the program runs with: ICMP sockets of this system, with
// the attempts of a whole sweep overlapped (see echo_rounds.h).
#include "core/echo_engine.h"
#include "platform/echo_rounds.h"

class SocketEchoEngine : public EchoEngine {
  public:
    explicit SocketEchoEngine(EchoTiming timing = {}) : timing_(timing) {}

    // Never reports anything itself: when no ICMP socket can be had, every
    // enabled target is simply unreachable, as a failed echo is.
    std::vector<EchoOutcome> check_all(const std::vector<EchoJob>& jobs, int attempts,
                                       int ttl) override;

  private:
    EchoTiming timing_;
};

// The time-to-live a request carries for the stored setting. The settings
// window admits 1..255; a hand-edited value outside is taken as the nearest
// admitted one rather than cut to its low byte (300 would become 44, 256 a
// packet that cannot leave the host).
int ttl_on_the_wire(int stored);
