#pragma once
// What the echo rounds need from the network: put one echo request on the
// wire, and hand back what came in about this sender's requests.
#include <chrono>
#include <cstdint>
#include <optional>

struct EchoReplySeen {
    // the replying host; for an error report, the destination of the request
    // the report is about (the reporter is usually a router)
    std::uint32_t source; // IPv4, host byte order
    std::uint16_t sequence;
    // a time-exceeded or unreachable report: that request will get no answer
    bool error_report = false;
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
    // The next reply or report that came in for this sender, waiting for one
    // until `until` at the latest; nothing when none came. With
    // `wake_when_writable` the wait also ends, empty-handed, as soon as a
    // send that was Busy may succeed.
    virtual std::optional<EchoReplySeen> receive(std::chrono::steady_clock::time_point until,
                                                 bool wake_when_writable) = 0;
};
