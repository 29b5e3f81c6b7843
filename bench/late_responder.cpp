// Answers every echo request that reaches its network namespace, DELAY_MS
// late, from the address that was asked: a host that answers slowly. The
// namespace's kernel must answer nothing itself (icmp_echo_ignore_all=1).
// Runs until killed.
//
//   late_responder DELAY_MS
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Reply {
    Clock::time_point due;
    std::vector<std::uint8_t> packet; // IP header and ICMP, ready to send
    in_addr to;
};

std::uint16_t checksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        sum += std::uint32_t(data[i]) << 8 | data[i + 1];
    if (size % 2)
        sum += std::uint32_t(data[size - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

// The reply to a request as received (IP header included): addresses
// swapped, type 0, checksums new.
bool make_reply(const std::uint8_t* in, std::size_t size, Reply& out) {
    if (size < 20)
        return false;
    const std::size_t header = std::size_t(in[0] & 0x0f) * 4;
    if (size < header + 8 || in[9] != IPPROTO_ICMP || in[header] != 8)
        return false;
    std::vector<std::uint8_t> p(in, in + size);
    std::memcpy(&p[12], in + 16, 4); // from the address that was asked
    std::memcpy(&p[16], in + 12, 4);
    p[8] = 64;         // TTL
    p[10] = p[11] = 0; // the kernel fills in the header checksum
    p[header] = 0;     // echo reply
    p[header + 2] = p[header + 3] = 0;
    const std::uint16_t sum = checksum(&p[header], size - header);
    p[header + 2] = std::uint8_t(sum >> 8);
    p[header + 3] = std::uint8_t(sum & 0xff);
    std::memcpy(&out.to, in + 12, 4);
    out.packet = std::move(p);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: late_responder DELAY_MS\n");
        return 2;
    }
    const auto delay = std::chrono::milliseconds(std::atoi(argv[1]));
    const int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    const int on = 1;
    if (fd < 0 || ::setsockopt(fd, IPPROTO_IP, IP_HDRINCL, &on, sizeof on) != 0) {
        std::perror("late_responder: raw socket");
        return 1;
    }
    const int room = 8 << 20; // a whole sweep's requests may wait here
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room);
    std::deque<Reply> waiting; // in order of arrival, so in order of due time
    for (;;) {
        int wait_ms = -1;
        if (!waiting.empty()) {
            const auto left = waiting.front().due - Clock::now();
            wait_ms =
                std::max<int>(0, int(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        pollfd in{fd, POLLIN, 0};
        if (::poll(&in, 1, wait_ms) > 0) {
            std::uint8_t buffer[1500];
            ssize_t got;
            while ((got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
                Reply r;
                if (make_reply(buffer, std::size_t(got), r)) {
                    r.due = Clock::now() + delay;
                    waiting.push_back(std::move(r));
                }
            }
        }
        while (!waiting.empty() && waiting.front().due <= Clock::now()) {
            const Reply& r = waiting.front();
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr = r.to;
            ::sendto(fd, r.packet.data(), r.packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof to);
            waiting.pop_front();
        }
    }
}
