#include "platform/echo/socket_echo_engine.h"

#include <algorithm>

int ttl_on_the_wire(int stored) {
    return std::clamp(stored, 1, 255);
}

EchoOpened<SocketEchoEngine> SocketEchoEngine::open(EchoTiming timing) {
    EchoOpened<IcmpEchoSocket> socket = IcmpEchoSocket::open();
    if (!socket)
        return socket.failure();
    return std::make_unique<SocketEchoEngine>(socket.take(), timing);
}

SocketEchoEngine::SocketEchoEngine(std::unique_ptr<IcmpEchoSocket> socket, EchoTiming timing)
    : timing_(timing), socket_(std::move(socket)) {}

SocketEchoEngine::SocketEchoEngine(EchoTiming timing) : timing_(timing) {}

std::vector<EchoOutcome> SocketEchoEngine::check_all(const std::vector<EchoJob>& jobs, int attempts,
                                                     int ttl) {
    std::vector<EchoOutcome> outcomes;
    for (const EchoResult& result : check_all_timed(jobs, attempts, ttl))
        outcomes.push_back(result.outcome);
    return outcomes;
}

std::vector<EchoResult> SocketEchoEngine::check_all_timed(const std::vector<EchoJob>& jobs,
                                                          int attempts, int ttl) {
    const bool any_enabled =
        std::any_of(jobs.begin(), jobs.end(), [](const EchoJob& job) { return job.enabled; });
    if (any_enabled && !socket_)
        socket_ = IcmpEchoSocket::open().take();
    if (!any_enabled || !socket_ || !socket_->set_ttl(ttl_on_the_wire(ttl))) {
        std::vector<EchoResult> results;
        for (const EchoJob& job : jobs)
            results.push_back(
                {job.enabled ? EchoOutcome::Unreachable : EchoOutcome::Skipped, std::nullopt});
        return results;
    }
    // what came too late for the previous sweep is no answer to this one
    socket_->discard_pending();
    std::vector<std::optional<double>> rtt;
    const std::vector<EchoOutcome> outcomes =
        run_echo_rounds(*socket_, jobs, attempts, timing_, &next_sequence_, &rtt);
    std::vector<EchoResult> results;
    for (std::size_t i = 0; i < outcomes.size(); ++i)
        results.push_back({outcomes[i], rtt[i]});
    return results;
}

EchoOutcome SocketEchoEngine::attempt_once(const std::string& address, int ttl) {
    return check_all({{address}}, 1, ttl).front();
}

std::optional<IcmpEchoSocket::Kind> SocketEchoEngine::socket_kind() const {
    if (!socket_)
        return std::nullopt;
    return socket_->kind();
}
