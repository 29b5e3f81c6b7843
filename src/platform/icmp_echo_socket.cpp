#include "platform/icmp_echo_socket.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "platform/icmp_echo_packet.h"

namespace {

// A sweep of a thousand targets can have that many replies queued at once.
constexpr int kReceiveBuffer = 1 << 20;

std::uint16_t fresh_identifier() {
    // Raw sockets see every echo reply of the host; the identifier keeps ours
    // apart from those of other processes and of earlier sweeps.
    static std::atomic<unsigned> counter{0};
    return static_cast<std::uint16_t>(static_cast<unsigned>(::getpid()) * 7919u + counter++);
}

int open_fd(int ttl, IcmpEchoSocket::Kind kind) {
    const int type = kind == IcmpEchoSocket::Kind::Raw ? SOCK_RAW : SOCK_DGRAM;
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    if (::setsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) != 0) {
        ::close(fd);
        return -1;
    }
    int buffer = kReceiveBuffer;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer); // best effort
    if (kind == IcmpEchoSocket::Kind::Raw) {
        // only echo replies reach this socket, not every ICMP message the host gets
        icmp_filter filter{~(1u << ICMP_ECHOREPLY)};
        ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    }
    return fd;
}

timespec until_now(std::chrono::steady_clock::time_point until) {
    const auto left = until - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return {0, 0};
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

} // namespace

std::unique_ptr<IcmpEchoSocket> IcmpEchoSocket::open(int ttl) {
    if (auto raw = open(ttl, Kind::Raw))
        return raw;
    return open(ttl, Kind::Datagram);
}

std::unique_ptr<IcmpEchoSocket> IcmpEchoSocket::open(int ttl, Kind kind) {
    const int fd = open_fd(ttl, kind);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<IcmpEchoSocket>(new IcmpEchoSocket(fd, kind, fresh_identifier()));
}

IcmpEchoSocket::IcmpEchoSocket(int fd, Kind kind, std::uint16_t identifier)
    : fd_(fd), kind_(kind), identifier_(identifier) {}

IcmpEchoSocket::~IcmpEchoSocket() {
    ::close(fd_);
}

SendResult IcmpEchoSocket::send(std::uint32_t destination, std::uint16_t sequence) {
    const auto packet = echo_request(identifier_, sequence);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(destination);
    const ssize_t sent = ::sendto(fd_, packet.data(), packet.size(), MSG_DONTWAIT,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent == static_cast<ssize_t>(packet.size()))
        return SendResult::Sent;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS || errno == EINTR))
        return SendResult::Busy;
    return SendResult::Failed;
}

std::optional<EchoReplySeen> IcmpEchoSocket::receive(std::chrono::steady_clock::time_point until) {
    for (;;) {
        std::optional<EchoReplySeen> reply;
        const QueueState state = read_one(reply);
        if (state == QueueState::Reply)
            return reply;
        if (state == QueueState::Broken) {
            // nothing more will come; let the waits run out rather than spin
            std::this_thread::sleep_until(until);
            return std::nullopt;
        }
        const timespec wait = until_now(until);
        if (wait.tv_sec == 0 && wait.tv_nsec == 0)
            return std::nullopt;
        pollfd p{fd_, POLLIN, 0};
        if (::ppoll(&p, 1, &wait, nullptr) == 0)
            return std::nullopt;
    }
}

// Takes datagrams off the queue until one is a reply of ours; the others
// (another process's replies, damaged ones) are dropped on the way.
IcmpEchoSocket::QueueState IcmpEchoSocket::read_one(std::optional<EchoReplySeen>& reply) {
    std::array<std::uint8_t, 2048> buffer;
    for (;;) {
        sockaddr_in from{};
        socklen_t from_size = sizeof from;
        const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr*>(&from), &from_size);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? QueueState::Empty : QueueState::Broken;
        }
        std::span<const std::uint8_t> data(buffer.data(), static_cast<std::size_t>(got));
        // raw sockets deliver the IP header too; datagram sockets only the ICMP message
        if (kind_ == Kind::Raw)
            data = ipv4_payload(data);
        const auto header = parse_echo_reply(data);
        if (!header || (kind_ == Kind::Raw && header->identifier != identifier_))
            continue;
        reply = EchoReplySeen{ntohl(from.sin_addr.s_addr), header->sequence};
        return QueueState::Reply;
    }
}
