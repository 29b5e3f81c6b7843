#pragma once
// Checks a whole target list with overlapping echo attempts, so that a long
// list of dead hosts costs about one reply wait per attempt instead of one
// per target and attempt.
//
// Per target the rules are those of a walk one attempt at a time: up to
// max(1, attempts) attempts, the next one only after the previous failed,
// each with its own reply wait; reachable as soon as one attempt got an echo
// reply from the target itself in time. An attempt fails when its wait runs
// out, when its request cannot be sent, or at once when a time-exceeded or
// unreachable report about its request comes back.
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/echo_engine.h"
#include "platform/echo/echo_transport.h"

struct EchoTiming {
    std::chrono::microseconds reply_wait{200'000};
    // How long our own send queue may stay full before the attempt waiting to
    // go out is given up. A full queue says nothing about the target (requests
    // to dead hosts on the local link wait there for address resolution, about
    // three seconds), so this is well beyond one reply wait: an answering host
    // queued behind them must still be reached.
    std::chrono::microseconds busy_give_up{5'000'000};
};

// What a target's attempts go to, host byte order: kNoHost (0.0.0.0, never
// sent to) for a target that gets no packet and stays unreachable.
inline constexpr std::uint32_t kNoHost = 0;

// The hosts of the jobs in order: kNoHost for a disabled job and for a text
// that names no host.
std::vector<std::uint32_t> echo_hosts(const std::vector<EchoJob>& jobs);

// rtt_ms (when given) gets, per job, the round trip of the reply that made it
// reachable, from the send of that attempt to the reply being read.
// next_sequence (when given) is the first sequence number to use and comes
// back as the one after the last used: a socket that serves sweep after
// sweep never reuses a number a late reply of an earlier sweep may still carry.
std::vector<EchoOutcome> run_echo_rounds(EchoTransport& net, const std::vector<EchoJob>& jobs,
                                         int attempts, const EchoTiming& timing = {},
                                         std::uint16_t* next_sequence = nullptr,
                                         std::vector<std::optional<double>>* rtt_ms = nullptr);
// The same for hosts already resolved (echo_hosts, or pelmora-echo's request,
// which carries no text); a disabled target is then simply unreachable.
std::vector<EchoOutcome> run_echo_rounds(EchoTransport& net,
                                         const std::vector<std::uint32_t>& hosts, int attempts,
                                         const EchoTiming& timing, std::uint16_t* next_sequence,
                                         std::vector<std::optional<double>>* rtt_ms);
