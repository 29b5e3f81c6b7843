#pragma once
// What the echo rounds need from the network: put one echo request on the
// wire, and hand back the replies addressed to this sender.
#include <chrono>
#include <cstdint>
#include <optional>

struct EchoReplySeen {
    std::uint32_t source; // IPv4, host byte order
    std::uint16_t sequence;
};

enum class SendResult {
    Sent,
    Busy,  // the local send queue is full: worth trying again in a moment
    Failed // this request cannot go out (no route, refused, ...)
};

class EchoTransport {
  public:
    virtual ~EchoTransport() = default;
    virtual SendResult send(std::uint32_t destination, std::uint16_t sequence) = 0;
    // The next reply that came in for this sender, waiting for one until
    // `until` at the latest; nothing when none came.
    virtual std::optional<EchoReplySeen> receive(std::chrono::steady_clock::time_point until) = 0;
};
