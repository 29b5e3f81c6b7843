#include <gtest/gtest.h>

#include "platform/echo/icmp_echo_packet.h"

namespace {

// The packet retyped, with its checksum made right again.
std::vector<std::uint8_t> retyped(std::vector<std::uint8_t> packet, std::uint8_t type) {
    packet[0] = type;
    packet[2] = packet[3] = 0;
    const std::uint16_t sum = internet_checksum(packet);
    packet[2] = static_cast<std::uint8_t>(sum >> 8);
    packet[3] = static_cast<std::uint8_t>(sum & 0xff);
    return packet;
}

} // namespace

TEST(IcmpEchoPacket, RequestCarriesTheNineBytePayloadAndAValidChecksum) {
    const auto packet = echo_request(0x1234, 0xABCD);
    const std::vector<std::uint8_t> expected_head{8, 0, 0, 0, 0x12, 0x34, 0xAB, 0xCD};
    ASSERT_EQ(packet.size(), 17u);
    EXPECT_TRUE(std::equal(expected_head.begin(), expected_head.begin() + 2, packet.begin()));
    EXPECT_TRUE(std::equal(expected_head.begin() + 4, expected_head.end(), packet.begin() + 4));
    EXPECT_EQ(std::string(packet.begin() + 8, packet.end()), "Echo data");
    EXPECT_EQ(internet_checksum(packet), 0);
}

TEST(IcmpEchoPacket, ChecksumFoldsCarriesAndPadsAnOddByte) {
    const std::vector<std::uint8_t> carries{0xFF, 0xFF, 0x00, 0x01};
    EXPECT_EQ(internet_checksum(carries), 0xFFFE);
    const std::vector<std::uint8_t> odd{0x01};
    EXPECT_EQ(internet_checksum(odd), 0xFEFF);
}

TEST(IcmpEchoPacket, OnlyAnIntactEchoReplyIsAnAnswer) {
    const auto reply = retyped(echo_request(7, 65535), 0);
    const auto header = parse_echo_reply(reply);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->identifier, 7);
    EXPECT_EQ(header->sequence, 65535);

    auto damaged = reply;
    damaged[10] ^= 1;
    EXPECT_FALSE(parse_echo_reply(damaged));
    EXPECT_FALSE(parse_echo_reply(echo_request(7, 1))); // our own request looped back
    EXPECT_FALSE(parse_echo_reply(retyped(reply, 11))); // time exceeded
    EXPECT_FALSE(parse_echo_reply(retyped(reply, 3)));  // destination unreachable
    EXPECT_FALSE(parse_echo_reply(std::span(reply).first(7)));
}

TEST(IcmpEchoPacket, Ipv4PayloadHonoursTheHeaderLength) {
    std::vector<std::uint8_t> datagram(24 + 3, 0);
    datagram[0] = 0x46; // version 4, 24-byte header with options
    datagram[24] = 0xAA;
    const auto payload = ipv4_payload(datagram);
    ASSERT_EQ(payload.size(), 3u);
    EXPECT_EQ(payload[0], 0xAA);

    datagram[0] = 0x4F; // claims 60 bytes, only 27 there
    EXPECT_TRUE(ipv4_payload(datagram).empty());
    datagram[0] = 0x64; // IPv6 version nibble
    EXPECT_TRUE(ipv4_payload(datagram).empty());
    EXPECT_TRUE(ipv4_payload({}).empty());
}

TEST(IcmpEchoPacket, ErrorReportNamesTheRequestItCarriesBack) {
    // time exceeded for our request to 10.0.0.7: ICMP header, the request's
    // IPv4 header, the first 8 bytes of the request
    std::vector<std::uint8_t> report{11, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<std::uint8_t> ip{0x45, 0, 0,   37, 0, 0, 0,  0, 1, 1,
                                       0,    0, 192, 0,  2, 1, 10, 0, 0, 7};
    report.insert(report.end(), ip.begin(), ip.end());
    const auto request = echo_request(0x4242, 513);
    report.insert(report.end(), request.begin(), request.begin() + 8);
    const auto parsed = parse_error_report(retyped(report, 11));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->destination, 0x0A000007u);
    EXPECT_EQ(parsed->identifier, 0x4242);
    EXPECT_EQ(parsed->sequence, 513);
    EXPECT_TRUE(parse_error_report(retyped(report, 3))); // destination unreachable

    EXPECT_FALSE(parse_error_report(retyped(report, 5))); // a redirect ends nothing
    auto damaged = retyped(report, 11);
    damaged[30] ^= 1;
    EXPECT_FALSE(parse_error_report(damaged));
    auto udp = report;
    udp[8 + 9] = 17; // about a datagram of another protocol
    EXPECT_FALSE(parse_error_report(retyped(udp, 11)));
    auto about_reply = report;
    about_reply[28] = 0; // about an echo reply, not a request
    EXPECT_FALSE(parse_error_report(retyped(about_reply, 11)));
    EXPECT_FALSE(parse_error_report(retyped({report.begin(), report.end() - 1}, 11)));
}
