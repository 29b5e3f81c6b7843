#pragma once
// Checks a whole target list with overlapping echo attempts, so that a long
// list of dead hosts costs about one reply wait instead of one per attempt.
//
// Per target the rules are those of a walk one attempt at a time: up to
// max(1, attempts) attempts, the next one only after the previous failed,
// each with its own reply wait; reachable as soon as one attempt got an echo
// reply from the target itself in time.
#include <chrono>
#include <vector>

#include "core/echo_engine.h"
#include "platform/echo_transport.h"

struct EchoTiming {
    std::chrono::microseconds reply_wait{200'000};
    // Pause between two requests, so that a long list does not leave as one
    // burst that fills the send queue or a router's ICMP rate limit.
    std::chrono::microseconds send_gap{1'000};
};

std::vector<EchoOutcome> run_echo_rounds(EchoTransport& net, const std::vector<EchoJob>& jobs,
                                         int attempts, const EchoTiming& timing = {});
