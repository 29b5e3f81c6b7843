#include "platform/socket_echo_engine.h"

#include <algorithm>

#include "platform/icmp_echo_socket.h"

int ttl_on_the_wire(int stored) {
    return std::clamp(stored, 1, 255);
}

std::vector<EchoOutcome> SocketEchoEngine::check_all(const std::vector<EchoJob>& jobs, int attempts,
                                                     int ttl) {
    const bool any_enabled =
        std::any_of(jobs.begin(), jobs.end(), [](const EchoJob& job) { return job.enabled; });
    std::unique_ptr<IcmpEchoSocket> socket;
    if (any_enabled)
        socket = IcmpEchoSocket::open(ttl_on_the_wire(ttl));
    if (!socket) {
        std::vector<EchoOutcome> outcomes;
        for (const EchoJob& job : jobs)
            outcomes.push_back(job.enabled ? EchoOutcome::Unreachable : EchoOutcome::Skipped);
        return outcomes;
    }
    return run_echo_rounds(*socket, jobs, attempts, timing_);
}
