#pragma once
// Echo requests over a Linux ICMP socket: a raw one where the process may
// open it (root or CAP_NET_RAW), else the unprivileged ICMP datagram socket
// (allowed for the groups in net.ipv4.ping_group_range).
#include <memory>

#include "platform/echo_transport.h"

class IcmpEchoSocket : public EchoTransport {
  public:
    enum class Kind { Raw, Datagram };

    // A socket whose requests carry time-to-live `ttl` (1..255), or nullptr
    // when the system grants neither kind.
    static std::unique_ptr<IcmpEchoSocket> open(int ttl);
    // The same with one kind only; for tests of each path.
    static std::unique_ptr<IcmpEchoSocket> open(int ttl, Kind kind);

    ~IcmpEchoSocket() override;
    IcmpEchoSocket(const IcmpEchoSocket&) = delete;
    IcmpEchoSocket& operator=(const IcmpEchoSocket&) = delete;

    SendResult send(std::uint32_t destination, std::uint16_t sequence) override;
    std::optional<EchoReplySeen> receive(std::chrono::steady_clock::time_point until) override;

    Kind kind() const { return kind_; }

  private:
    IcmpEchoSocket(int fd, Kind kind, std::uint16_t identifier);
    enum class QueueState { Reply, Empty, Broken };
    QueueState read_one(std::optional<EchoReplySeen>& reply);

    int fd_;
    Kind kind_;
    std::uint16_t identifier_; // raw only: the kernel picks it for datagram sockets
};
