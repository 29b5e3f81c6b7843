#pragma once
// The messages between the program and pelmora-echo, the small helper that
// holds the raw ICMP socket where the system grants no datagram socket. One
// message per SOCK_SEQPACKET packet; integers in network byte order.
//
//   request   "PEQ1" attempts:u16 ttl:u8 count:u16, then count IPv4 addresses:u32
//   response  "PER1" status:u8, then
//               done:     count:u16, per target reached:u8 rtt_us:u32 (kNoRtt: none)
//               ready:    nothing (the helper's greeting: its socket is open)
//               refused:  errno:u32 (a malformed request, or no socket at all)
//
// The helper can do only what a check needs: the request names the attempts,
// the TTL and the hosts, never the packet's bytes.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr std::size_t kHelperMaxTargets = 1024;
inline constexpr int kHelperMaxAttempts = 32767; // the largest the settings file holds
inline constexpr std::size_t kHelperMaxMessage = 16 + kHelperMaxTargets * 5;

struct EchoHelperRequest {
    int attempts = 1;                        // 1..kHelperMaxAttempts
    int ttl = 64;                            // 1..255
    std::vector<std::uint32_t> destinations; // host byte order, each a single host
};

struct EchoHelperTarget {
    bool reached = false;
    std::optional<double> rtt_ms;
};

struct EchoHelperResponse {
    enum class Status : std::uint8_t { Done = 0, Ready = 1, Refused = 2 };
    Status status = Status::Done;
    int error_number = 0;                  // refused only
    std::vector<EchoHelperTarget> targets; // done only, in request order
};

std::vector<std::uint8_t> encode_request(const EchoHelperRequest& request);
// Nothing for anything but a well-formed request: wrong tag or length,
// attempts or TTL out of range, too many targets, an address that is no
// single host (0.0.0.0/8, multicast and above).
std::optional<EchoHelperRequest> read_request(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> encode_response(const EchoHelperResponse& response);
std::optional<EchoHelperResponse> read_response(std::span<const std::uint8_t> bytes);
