#include "platform/echo/helper_echo_engine.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/echo/echo_destination.h"
#include "platform/echo/echo_helper_protocol.h"
#include "platform/echo/socket_echo_engine.h"

namespace {

// The descriptor the helper finds its end of the socketpair on.
constexpr int kHelperFd = 3;

std::string reason(const char* what, int error_number) {
    return std::string("pelmora-echo: ") + what +
           (error_number ? std::string(" (") + std::strerror(error_number) + ")" : "");
}

} // namespace

EchoOpened<HelperEchoEngine> HelperEchoEngine::start(const std::string& helper_path) {
    std::unique_ptr<HelperEchoEngine> engine(new HelperEchoEngine(helper_path));
    if (const int error = engine->spawn())
        return EchoFailure{EchoStep::Helper, error, reason("cannot start", error)};
    return engine;
}

HelperEchoEngine::~HelperEchoEngine() {
    // the helper ends on end of file; it is not waited for, a sweep may be running there
    if (fd_ >= 0)
        ::close(fd_);
}

int HelperEchoEngine::spawn() {
    if (::access(path_.c_str(), X_OK) != 0)
        return errno;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return errno;
    // above the helper's descriptor, so that the dup2 below always copies
    const int theirs = ::fcntl(ends[1], F_DUPFD_CLOEXEC, kHelperFd + 1);
    ::close(ends[1]);
    if (theirs < 0) {
        const int error = errno;
        ::close(ends[0]);
        return error;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, theirs, kHelperFd);
    char* argv[] = {const_cast<char*>(path_.c_str()), nullptr};
    char* no_environment[] = {nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, path_.c_str(), &actions, nullptr, argv, no_environment);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(theirs);
    if (spawned != 0) {
        ::close(ends[0]);
        return spawned;
    }
    fd_ = ends[0];
    pid_ = pid;
    const std::size_t greeting = exchange({});
    if (greeting == 0) {
        forget();
        return EPERM;
    }
    const auto hello = read_response({reply_.data(), greeting});
    if (!hello || hello->status != EchoHelperResponse::Status::Ready) {
        forget();
        return hello && hello->error_number ? hello->error_number : EPROTO;
    }
    return 0;
}

void HelperEchoEngine::forget() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    pid_ = -1;
}

// Sends the request (none: only reads) and reads one whole reply into
// reply_; its length, or 0 when the helper is gone.
std::size_t HelperEchoEngine::exchange(std::span<const std::uint8_t> request) {
    if (!request.empty()) {
        ssize_t sent;
        do
            sent = ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
        while (sent < 0 && errno == EINTR);
        if (sent != static_cast<ssize_t>(request.size()))
            return 0;
    }
    // the buffer is sized once: no sweep pays for clearing 5 kB again
    if (reply_.size() != kHelperMaxMessage)
        reply_.resize(kHelperMaxMessage);
    ssize_t got;
    do
        got = ::recv(fd_, reply_.data(), reply_.size(), 0);
    while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

std::vector<EchoResult> HelperEchoEngine::check_all_timed(const std::vector<EchoJob>& jobs,
                                                          int attempts, int ttl) {
    failure_.reset();
    std::vector<EchoResult> results(jobs.size());
    std::vector<std::size_t> asked; // job of each destination sent
    EchoHelperRequest request;
    request.attempts = std::clamp(attempts, 1, kHelperMaxAttempts);
    request.ttl = ttl_on_the_wire(ttl);
    request.destinations.reserve(jobs.size());
    asked.reserve(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].enabled) {
            results[i].outcome = EchoOutcome::Skipped;
        } else if (auto address = echo_destination(jobs[i].address)) {
            asked.push_back(i);
            request.destinations.push_back(*address);
        }
        // a text that names no host fails without a packet, as on a socket
    }
    if (asked.empty())
        return results;

    for (std::size_t from = 0; from < asked.size(); from += kHelperMaxTargets) {
        const std::size_t count = std::min(kHelperMaxTargets, asked.size() - from);
        EchoHelperRequest part = request;
        part.destinations.assign(request.destinations.begin() + from,
                                 request.destinations.begin() + from + count);
        const auto bytes = encode_request(part);
        std::optional<EchoHelperResponse> response;
        for (int tries = 0; tries < 2 && !response; ++tries) {
            if (fd_ < 0) {
                if (const int error = spawn()) {
                    failure_ = reason("cannot be started again", error);
                    return {};
                }
            }
            if (const std::size_t got = exchange(bytes))
                response = read_response({reply_.data(), got});
            if (!response) {
                failure_ = reason("ended during a check", 0);
                forget();
            }
        }
        if (!response)
            return {};
        if (response->status != EchoHelperResponse::Status::Done ||
            response->targets.size() != count) {
            failure_ = reason("refused the check", response->error_number);
            return {};
        }
        for (std::size_t k = 0; k < count; ++k) {
            const EchoHelperTarget& target = response->targets[k];
            EchoResult& result = results[asked[from + k]];
            result.outcome = target.reached ? EchoOutcome::Reachable : EchoOutcome::Unreachable;
            result.rtt_ms = target.reached ? target.rtt_ms : std::nullopt;
        }
    }
    failure_.reset();
    return results;
}

std::vector<std::string> echo_helper_candidates() {
    std::vector<std::string> candidates;
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string path(self, static_cast<std::size_t>(length));
        candidates.push_back(path.substr(0, path.rfind('/') + 1) + "pelmora-echo");
    }
    candidates.push_back("/usr/lib/pelmora/pelmora-echo");
    return candidates;
}

EchoOpened<EchoEngine> open_unprivileged_echo_engine() {
    EchoOpened<IcmpEchoSocket> datagram = IcmpEchoSocket::open(IcmpEchoSocket::Kind::Datagram);
    if (datagram)
        return std::unique_ptr<EchoEngine>(std::make_unique<SocketEchoEngine>(datagram.take()));
    for (const std::string& path : echo_helper_candidates()) {
        if (::access(path.c_str(), X_OK) != 0)
            continue;
        // the first helper found is the one meant: a build tree's own comes first
        EchoOpened<HelperEchoEngine> helper = HelperEchoEngine::start(path);
        if (helper)
            return std::unique_ptr<EchoEngine>(helper.take());
        return helper.failure();
    }
    return datagram.failure();
}
