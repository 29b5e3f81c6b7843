#include "platform/echo/icmp_echo_packet.h"

namespace {

constexpr std::uint8_t kEchoReplyType = 0;
constexpr std::uint8_t kEchoRequestType = 8;
constexpr std::uint8_t kUnreachableType = 3;
constexpr std::uint8_t kTimeExceededType = 11;
constexpr std::uint8_t kIcmpProtocol = 1;
constexpr std::size_t kIcmpHeaderSize = 8;

std::uint16_t read16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

void write16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t value) {
    b[at] = static_cast<std::uint8_t>(value >> 8);
    b[at + 1] = static_cast<std::uint8_t>(value & 0xff);
}

} // namespace

std::uint16_t internet_checksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2)
        sum += read16(bytes, i);
    if (i < bytes.size())
        sum += static_cast<std::uint32_t>(bytes[i]) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

std::vector<std::uint8_t> echo_request(std::uint16_t identifier, std::uint16_t sequence) {
    std::vector<std::uint8_t> packet(kIcmpHeaderSize + kEchoPayload.size(), 0);
    packet[0] = kEchoRequestType;
    write16(packet, 4, identifier);
    write16(packet, 6, sequence);
    for (std::size_t i = 0; i < kEchoPayload.size(); ++i)
        packet[kIcmpHeaderSize + i] = static_cast<std::uint8_t>(kEchoPayload[i]);
    write16(packet, 2, internet_checksum(packet));
    return packet;
}

std::optional<EchoReplyHeader> parse_echo_reply(std::span<const std::uint8_t> icmp) {
    if (icmp.size() < kIcmpHeaderSize || icmp[0] != kEchoReplyType || icmp[1] != 0)
        return std::nullopt;
    if (internet_checksum(icmp) != 0)
        return std::nullopt;
    return EchoReplyHeader{read16(icmp, 4), read16(icmp, 6)};
}

std::optional<EchoErrorReport> parse_error_report(std::span<const std::uint8_t> icmp) {
    if (icmp.size() < kIcmpHeaderSize ||
        (icmp[0] != kUnreachableType && icmp[0] != kTimeExceededType))
        return std::nullopt;
    if (internet_checksum(icmp) != 0)
        return std::nullopt;
    const auto original = icmp.subspan(kIcmpHeaderSize);
    const auto request = ipv4_payload(original);
    // 20 bytes of IPv4 header at least, so the destination at 16..19 is there
    if (request.size() < kIcmpHeaderSize || original[9] != kIcmpProtocol ||
        request[0] != kEchoRequestType)
        return std::nullopt;
    const std::uint32_t destination = std::uint32_t(original[16]) << 24 |
                                      std::uint32_t(original[17]) << 16 |
                                      std::uint32_t(original[18]) << 8 | original[19];
    return EchoErrorReport{destination, read16(request, 4), read16(request, 6)};
}

std::span<const std::uint8_t> ipv4_payload(std::span<const std::uint8_t> datagram) {
    if (datagram.empty() || (datagram[0] >> 4) != 4)
        return {};
    const std::size_t header = static_cast<std::size_t>(datagram[0] & 0x0f) * 4;
    if (header < 20 || header > datagram.size())
        return {};
    return datagram.subspan(header);
}
