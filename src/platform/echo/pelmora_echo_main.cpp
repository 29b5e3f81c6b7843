// pelmora-echo: holds the raw ICMP socket for a Pelmora that may open none
// itself, and sends the echo requests of its checks. Started by pelmora with
// its end of a socketpair as descriptor 3; ends when pelmora does.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/echo/echo_helper_protocol.h"
#include "platform/echo/socket_echo_engine.h"

namespace {

constexpr int kPeer = 3;

// Nothing past the socket is privileged: no capability stays, and exec
// grants none again.
bool drop_capabilities() {
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    return ::syscall(SYS_capset, &header, none) == 0 &&
           ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

void reply(const EchoHelperResponse& response) {
    const auto bytes = encode_response(response);
    ::send(kPeer, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

} // namespace

int main() {
    int type = 0;
    socklen_t size = sizeof type;
    if (::getsockopt(kPeer, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_SEQPACKET) {
        std::fputs("pelmora-echo: started by pelmora only\n", stderr);
        return 2;
    }
    // pelmora's signals are its own: a reload or a release sent to the
    // service's whole group must not end the helper; the end of pelmora does
    for (int signal : {SIGHUP, SIGINT, SIGUSR1, SIGUSR2, SIGPIPE})
        std::signal(signal, SIG_IGN);
    ::close_range(kPeer + 1, ~0u, 0);

    // the raw socket, which is what the helper is for: where the system
    // grants datagram sockets pelmora needs no helper
    EchoOpened<IcmpEchoSocket> socket = IcmpEchoSocket::open(IcmpEchoSocket::Kind::Raw);
    if (!drop_capabilities()) {
        reply({EchoHelperResponse::Status::Refused, errno, {}});
        return 1;
    }
    if (!socket) {
        reply({EchoHelperResponse::Status::Refused, socket.failure().code, {}});
        return 1;
    }
    reply({EchoHelperResponse::Status::Ready, 0, {}});
    SocketEchoEngine engine(socket.take());

    std::vector<std::uint8_t> buffer(kHelperMaxMessage + 1);
    for (;;) {
        const ssize_t got = ::recv(kPeer, buffer.data(), buffer.size(), MSG_TRUNC);
        if (got == 0)
            return 0; // pelmora has ended, however it ended
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        const std::size_t length = static_cast<std::size_t>(got);
        const auto request =
            length <= buffer.size() ? read_request({buffer.data(), length}) : std::nullopt;
        if (!request) {
            reply({EchoHelperResponse::Status::Refused, EINVAL, {}});
            continue;
        }
        EchoHelperResponse done;
        done.targets.reserve(request->destinations.size());
        for (const EchoResult& result :
             engine.check_hosts(request->destinations, request->attempts, request->ttl))
            done.targets.push_back({result.outcome == EchoOutcome::Reachable, result.rtt_ms});
        reply(done);
    }
}
