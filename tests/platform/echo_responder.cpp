#include "echo_responder.h"

#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/echo/icmp_echo_packet.h"
#include "support/net_namespace.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Pending {
    Clock::time_point due;
    int fd;
    std::uint32_t to;
    std::vector<std::uint8_t> packet;
};

int bound_raw_socket(std::uint32_t address) {
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    icmp_filter filter{~(1u << ICMP_ECHO)};
    ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::vector<std::uint8_t> reply_to(std::span<const std::uint8_t> request) {
    std::vector<std::uint8_t> reply(request.begin(), request.end());
    reply[0] = 0;
    reply[2] = reply[3] = 0;
    const std::uint16_t sum = internet_checksum(reply);
    reply[2] = static_cast<std::uint8_t>(sum >> 8);
    reply[3] = static_cast<std::uint8_t>(sum & 0xff);
    return reply;
}

} // namespace

EchoResponder::EchoResponder(const std::string& netns, std::vector<ResponderRule> rules)
    : rules_(std::move(rules)), thread_([this, netns] { serve(netns); }) {
    while (ready_ == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

EchoResponder::~EchoResponder() {
    stop_ = true;
    thread_.join();
}

int EchoResponder::requests(std::uint32_t address) {
    std::lock_guard lock(mutex_);
    return counts_[address];
}

void EchoResponder::reset_counts() {
    std::lock_guard lock(mutex_);
    counts_.clear();
}

void EchoResponder::serve(std::string netns) {
    std::map<std::uint32_t, int> socket_of;
    std::vector<pollfd> listening;
    {
        InNetNamespace inside(netns);
        bool opened = inside.ok();
        for (const ResponderRule& rule : rules_) {
            for (auto address : {std::optional(rule.address), rule.reply_from}) {
                if (!address || socket_of.contains(*address))
                    continue;
                const int fd = bound_raw_socket(*address);
                opened = opened && fd >= 0;
                socket_of[*address] = fd;
            }
            listening.push_back({socket_of[rule.address], POLLIN, 0});
        }
        ready_ = opened ? 1 : -1;
    }
    std::vector<Pending> pending;
    while (!stop_ && ready_ == 1) {
        ::poll(listening.data(), listening.size(), 5);
        const auto now = Clock::now();
        for (std::size_t i = 0; i < listening.size(); ++i) {
            if (!(listening[i].revents & POLLIN))
                continue;
            std::uint8_t buffer[1500];
            sockaddr_in from{};
            socklen_t size = sizeof from;
            const ssize_t got = ::recvfrom(listening[i].fd, buffer, sizeof buffer, 0,
                                           reinterpret_cast<sockaddr*>(&from), &size);
            const auto icmp = ipv4_payload({buffer, got > 0 ? std::size_t(got) : 0});
            if (icmp.size() < 8 || icmp[0] != 8)
                continue;
            const ResponderRule& rule = rules_[i];
            int count;
            {
                std::lock_guard lock(mutex_);
                count = ++counts_[rule.address];
            }
            if (count >= rule.answers_from)
                pending.push_back({now + rule.delay,
                                   socket_of[rule.reply_from.value_or(rule.address)],
                                   ntohl(from.sin_addr.s_addr), reply_to(icmp)});
        }
        for (auto it = pending.begin(); it != pending.end();) {
            if (it->due > Clock::now()) {
                ++it;
                continue;
            }
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(it->to);
            ::sendto(it->fd, it->packet.data(), it->packet.size(), 0,
                     reinterpret_cast<sockaddr*>(&to), sizeof to);
            it = pending.erase(it);
        }
    }
    for (const auto& [address, fd] : socket_of)
        if (fd >= 0)
            ::close(fd);
}
