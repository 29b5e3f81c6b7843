#include "platform/echo/icmp_echo_socket.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "platform/echo/icmp_echo_packet.h"

namespace {

constexpr std::uint8_t kUnreachableType = 3;
constexpr std::uint8_t kTimeExceededType = 11;

std::uint16_t fresh_identifier() {
    // Raw sockets see every echo reply of the host; the identifier keeps ours
    // apart from those of other processes.
    static std::atomic<unsigned> counter{0};
    return static_cast<std::uint16_t>(static_cast<unsigned>(::getpid()) * 7919u + counter++);
}

void set_buffer(int fd, int forced_option, int option, int bytes) {
    if (::setsockopt(fd, SOL_SOCKET, forced_option, &bytes, sizeof bytes) != 0)
        ::setsockopt(fd, SOL_SOCKET, option, &bytes, sizeof bytes); // best effort
}

int open_fd(IcmpEchoSocket::Kind kind, int queue_bytes) {
    const int type = kind == IcmpEchoSocket::Kind::Raw ? SOCK_RAW : SOCK_DGRAM;
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    set_buffer(fd, SO_RCVBUFFORCE, SO_RCVBUF, queue_bytes);
    set_buffer(fd, SO_SNDBUFFORCE, SO_SNDBUF, IcmpEchoSocket::kQueueBytes);
    if (kind == IcmpEchoSocket::Kind::Raw) {
        // echo replies and the two reports that end an attempt early; the
        // host's other ICMP traffic stays out of this socket
        icmp_filter filter{
            ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_TIME_EXCEEDED))};
        ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    } else {
        // a datagram socket hears of time-exceeded and unreachable reports
        // only through its error queue
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
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

EchoOpened<IcmpEchoSocket> IcmpEchoSocket::open() {
    if (auto datagram = open(Kind::Datagram))
        return datagram;
    return open(Kind::Raw);
}

EchoOpened<IcmpEchoSocket> IcmpEchoSocket::open(Kind kind, int queue_bytes) {
    const int fd = open_fd(kind, queue_bytes);
    if (fd < 0) {
        const int code = errno;
        return EchoFailure{kind == Kind::Raw ? EchoStep::RawSocket : EchoStep::DatagramSocket, code,
                           std::generic_category().message(code)};
    }
    return std::unique_ptr<IcmpEchoSocket>(new IcmpEchoSocket(fd, kind, fresh_identifier()));
}

IcmpEchoSocket::IcmpEchoSocket(int fd, Kind kind, std::uint16_t identifier)
    : fd_(fd), kind_(kind), identifier_(identifier) {}

IcmpEchoSocket::~IcmpEchoSocket() {
    ::close(fd_);
}

bool IcmpEchoSocket::set_ttl(int ttl) {
    return ::setsockopt(fd_, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) == 0;
}

void IcmpEchoSocket::discard_pending() {
    std::optional<EchoReplySeen> seen;
    while (read_one(seen) == QueueState::Seen) {
    }
}

SendResult IcmpEchoSocket::send(std::uint32_t destination, std::uint16_t sequence) {
    const auto packet = echo_request(identifier_, sequence);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(destination);
    for (int tries = 1;; ++tries) {
        const ssize_t sent = ::sendto(fd_, packet.data(), packet.size(), MSG_DONTWAIT,
                                      reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent == static_cast<ssize_t>(packet.size()))
            return SendResult::Sent;
        if (sent >= 0)
            return SendResult::Failed;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)
            return SendResult::Busy;
        // On a datagram socket with IP_RECVERR a report about an earlier
        // request (to any target) also comes out once as the error of the
        // next call: try again before blaming this request for it.
        if (errno == EINTR || (kind_ == Kind::Datagram && tries < 4))
            continue;
        return SendResult::Failed;
    }
}

std::optional<EchoReplySeen> IcmpEchoSocket::receive(std::chrono::steady_clock::time_point until,
                                                     bool wake_when_writable) {
    for (;;) {
        std::optional<EchoReplySeen> seen;
        const QueueState state = read_one(seen);
        if (state == QueueState::Seen)
            return seen;
        if (state == QueueState::Broken) {
            // nothing more will come; let the waits run out rather than spin
            std::this_thread::sleep_until(until);
            return std::nullopt;
        }
        const timespec wait = until_now(until);
        if (wait.tv_sec == 0 && wait.tv_nsec == 0)
            return std::nullopt;
        pollfd p{fd_, static_cast<short>(POLLIN | (wake_when_writable ? POLLOUT : 0)), 0};
        const int ready = ::ppoll(&p, 1, &wait, nullptr);
        if (ready == 0 || (ready > 0 && (p.revents & POLLOUT)))
            return std::nullopt;
    }
}

// Takes datagrams off the queues until one is about a request of ours; the
// others (another process's replies, damaged ones) are dropped on the way.
IcmpEchoSocket::QueueState IcmpEchoSocket::read_one(std::optional<EchoReplySeen>& seen) {
    if (kind_ == Kind::Datagram && read_error_queue(seen) == QueueState::Seen)
        return QueueState::Seen;
    std::array<std::uint8_t, 2048> buffer;
    for (int errors = 0;;) {
        sockaddr_in from{};
        socklen_t from_size = sizeof from;
        const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr*>(&from), &from_size);
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return QueueState::Empty;
            // a pending report's error code comes out here once (see send)
            if (errno == EINTR || ++errors < 16)
                continue;
            return QueueState::Broken;
        }
        std::span<const std::uint8_t> data(buffer.data(), static_cast<std::size_t>(got));
        if (kind_ == Kind::Datagram) {
            // the kernel has already matched the reply to this socket
            if (const auto reply = parse_echo_reply(data)) {
                seen = EchoReplySeen{ntohl(from.sin_addr.s_addr), reply->sequence};
                return QueueState::Seen;
            }
            continue;
        }
        data = ipv4_payload(data);
        if (const auto reply = parse_echo_reply(data); reply && reply->identifier == identifier_) {
            seen = EchoReplySeen{ntohl(from.sin_addr.s_addr), reply->sequence};
            return QueueState::Seen;
        }
        if (const auto report = parse_error_report(data);
            report && report->identifier == identifier_) {
            seen = EchoReplySeen{report->destination, report->sequence, true};
            return QueueState::Seen;
        }
    }
}

// The datagram socket's error queue: each entry is the head of a request of
// ours that a time-exceeded or unreachable report came back for.
IcmpEchoSocket::QueueState IcmpEchoSocket::read_error_queue(std::optional<EchoReplySeen>& seen) {
    for (;;) {
        std::array<std::uint8_t, 64> request;
        alignas(cmsghdr) std::array<char, 256> control;
        sockaddr_in destination{};
        iovec part{request.data(), request.size()};
        msghdr message{};
        message.msg_name = &destination;
        message.msg_namelen = sizeof destination;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        const ssize_t got = ::recvmsg(fd_, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return QueueState::Empty;
        }
        const sock_extended_err* error = nullptr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_RECVERR)
                error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
        // local errors (a full queue and the like) say nothing about a target
        if (!error || error->ee_origin != SO_EE_ORIGIN_ICMP ||
            (error->ee_type != kUnreachableType && error->ee_type != kTimeExceededType))
            continue;
        if (got < 8 || request[0] != ICMP_ECHO)
            continue;
        seen = EchoReplySeen{ntohl(destination.sin_addr.s_addr),
                             static_cast<std::uint16_t>(request[6] << 8 | request[7]), true};
        return QueueState::Seen;
    }
}
