#pragma once
// Echo requests over a Linux ICMP socket: the unprivileged ICMP datagram
// socket where net.ipv4.ping_group_range admits the process's group, else a
// raw one (root or CAP_NET_RAW), in the order ping itself tries them.
#include <memory>

#include "core/echo_engine.h"
#include "platform/echo/echo_transport.h"

class IcmpEchoSocket : public EchoTransport {
  public:
    enum class Kind { Datagram, Raw };

    // A socket of the first kind the system grants, or, when it grants
    // neither, the failure of the last try.
    static EchoOpened<IcmpEchoSocket> open();
    // One kind only, for tests and measurements of each path; queue_bytes
    // stands in for a system that caps the receive queue lower.
    static EchoOpened<IcmpEchoSocket> open(Kind kind, int queue_bytes = kQueueBytes);

    // A sweep of a thousand targets can have a reply to each of them queued
    // at once, at well over a kilobyte of kernel bookkeeping apiece; a dropped
    // reply would report a live host as dead. Without CAP_NET_ADMIN the kernel
    // caps the size at net.core.rmem_max, which is why the rounds also read
    // the queue between sends.
    static constexpr int kQueueBytes = 4 << 20;

    ~IcmpEchoSocket() override;
    IcmpEchoSocket(const IcmpEchoSocket&) = delete;
    IcmpEchoSocket& operator=(const IcmpEchoSocket&) = delete;

    // Time-to-live of the requests sent from now on (1..255); false when refused.
    bool set_ttl(int ttl);
    // Drops whatever is queued: replies and reports that came after their
    // sweep had given up on them.
    void discard_pending();

    SendResult send(std::uint32_t destination, std::uint16_t sequence) override;
    std::optional<EchoReplySeen> receive(std::chrono::steady_clock::time_point until,
                                         bool wake_when_writable) override;

    Kind kind() const { return kind_; }

  private:
    IcmpEchoSocket(int fd, Kind kind, std::uint16_t identifier);
    enum class QueueState { Seen, Empty, Broken };
    QueueState read_one(std::optional<EchoReplySeen>& seen);
    QueueState read_error_queue(std::optional<EchoReplySeen>& seen);

    int fd_;
    Kind kind_;
    std::uint16_t identifier_; // raw only: the kernel picks it for datagram sockets
};
