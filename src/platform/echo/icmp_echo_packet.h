#pragma once
// The bytes of one ICMP echo exchange: the request this program sends and
// what it accepts as the answer to it.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

inline constexpr std::string_view kEchoPayload = "Echo data"; // 9 bytes, no NUL

// RFC 1071 one's-complement sum, ready to store (a buffer that holds a correct
// checksum sums to 0).
std::uint16_t internet_checksum(std::span<const std::uint8_t> bytes);

// ICMP echo request (no IP header): type 8, code 0, identifier, sequence,
// then the payload.
std::vector<std::uint8_t> echo_request(std::uint16_t identifier, std::uint16_t sequence);

struct EchoReplyHeader {
    std::uint16_t identifier;
    std::uint16_t sequence;
};

// Identifier and sequence of an intact echo reply (type 0, code 0, checksum
// right); nothing for every other ICMP message, a time-exceeded or
// unreachable report included. `icmp` starts at the ICMP header.
std::optional<EchoReplyHeader> parse_echo_reply(std::span<const std::uint8_t> icmp);

// A router's or the target's report that one of our requests failed: time
// exceeded (type 11) or destination unreachable (type 3), read from the head
// of the request that every such report carries back.
struct EchoErrorReport {
    std::uint32_t destination; // the failed request's, host byte order
    std::uint16_t identifier;
    std::uint16_t sequence;
};

// The report about an echo request, or nothing for any other message (a
// report about some other protocol's packet included). `icmp` starts at the
// report's ICMP header, as a raw socket delivers it after the IPv4 header.
std::optional<EchoErrorReport> parse_error_report(std::span<const std::uint8_t> icmp);

// The ICMP part of an IPv4 datagram as a raw socket delivers it; empty when
// the header is not a plausible IPv4 header.
std::span<const std::uint8_t> ipv4_payload(std::span<const std::uint8_t> datagram);
