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

std::vector<EchoResult> SocketEchoEngine::check_all_timed(const std::vector<EchoJob>& jobs,
                                                          int attempts, int ttl) {
    const bool any_enabled =
        std::any_of(jobs.begin(), jobs.end(), [](const EchoJob& job) { return job.enabled; });
    // with nothing to send, no socket is opened for it
    std::vector<EchoResult> results = any_enabled ? check_hosts(echo_hosts(jobs), attempts, ttl)
                                                  : std::vector<EchoResult>(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (!jobs[i].enabled)
            results[i] = {EchoOutcome::Skipped, std::nullopt};
    return results;
}

std::vector<EchoResult> SocketEchoEngine::check_hosts(const std::vector<std::uint32_t>& hosts,
                                                      int attempts, int ttl) {
    std::vector<EchoResult> results(hosts.size()); // unreachable, as a failed echo is
    if (!socket_)
        socket_ = IcmpEchoSocket::open().take();
    if (!socket_ || !socket_->set_ttl(ttl_on_the_wire(ttl)))
        return results;
    // what came too late for the previous sweep is no answer to this one
    socket_->discard_pending();
    std::vector<std::optional<double>> rtt;
    const std::vector<EchoOutcome> outcomes =
        run_echo_rounds(*socket_, hosts, attempts, timing_, &next_sequence_, &rtt);
    for (std::size_t i = 0; i < outcomes.size(); ++i)
        results[i] = {outcomes[i], rtt[i]};
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
