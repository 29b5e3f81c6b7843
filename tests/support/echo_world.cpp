#include "support/echo_world.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/net_namespace.h"

namespace {

constexpr int kBlocks = 64; // 198.19.0.0/16 in blocks of four /24 networks

} // namespace

EchoWorld::EchoWorld() {
    if (::geteuid() != 0) {
        why_not_ = "needs root to build network namespaces";
        return;
    }
    const int start = static_cast<int>(::getpid() % kBlocks);
    for (int i = 0; i < kBlocks && block_ < 0; ++i) {
        const int block = (start + i) % kBlocks;
        const std::string lock = "/run/lock/pelmora-echo-world-" + std::to_string(block);
        const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            block_ = block;
            lock_fd_ = fd;
        } else if (fd >= 0) {
            ::close(fd);
        }
    }
    if (block_ < 0) {
        why_not_ = "no free address block for a test world";
        return;
    }
    tag_ = "pmew" + std::to_string(block_);
    // what a test program that died in the middle left behind under this block
    tear_down();
    ok_ = build();
    if (!ok_)
        tear_down();
}

EchoWorld::~EchoWorld() {
    if (block_ >= 0)
        tear_down();
    if (lock_fd_ >= 0)
        ::close(lock_fd_);
}

std::string EchoWorld::net(int offset) const {
    return "198.19." + std::to_string(4 * block_ + offset) + ".";
}

std::string EchoWorld::answering_address() const {
    return net(1) + "2";
}

std::string EchoWorld::silent_address() const {
    return net(1) + "3";
}

bool EchoWorld::step(const std::string& command) {
    if (run_quietly(command))
        return true;
    why_not_ = "cannot build the test world (root and iproute2 needed); failed: " + command;
    return false;
}

bool EchoWorld::build() {
    const std::string r = tag_ + "r", h = tag_ + "h";
    const std::string mine = tag_ + "a", router_in = tag_ + "b", router_out = tag_ + "c",
                      host = tag_ + "d";
    const std::string all[] = {
        "ip netns add " + r,
        "ip netns add " + h,
        "ip link add " + mine + " type veth peer name " + router_in + " netns " + r,
        "ip -n " + r + " link add " + router_out + " type veth peer name " + host + " netns " + h,
        "ip addr add " + net(0) + "1/24 dev " + mine,
        "ip -n " + r + " addr add " + net(0) + "2/24 dev " + router_in,
        "ip -n " + r + " addr add " + net(1) + "1/24 dev " + router_out,
        "ip -n " + h + " addr add " + answering_address() + "/24 dev " + host,
        "ip -n " + h + " addr add " + silent_address() + "/24 dev " + host,
        "ip link set " + mine + " up",
        "ip -n " + r + " link set lo up",
        "ip -n " + r + " link set " + router_in + " up",
        "ip -n " + r + " link set " + router_out + " up",
        "ip -n " + h + " link set lo up",
        "ip -n " + h + " link set " + host + " up",
        "ip route add " + net(1) + "0/24 via " + net(0) + "2 dev " + mine,
        "ip -n " + h + " route add default via " + net(1) + "1",
        "ip netns exec " + r + " sysctl -w net.ipv4.ip_forward=1",
        "ip -n " + r + " route add blackhole " + silent_address() + "/32",
    };
    for (const std::string& s : all)
        if (!step(s))
            return false;
    return true;
}

void EchoWorld::tear_down() {
    // the router's end goes with its namespace, and this end with its peer
    run_quietly("ip netns delete " + tag_ + "r");
    run_quietly("ip netns delete " + tag_ + "h");
    run_quietly("ip link delete " + tag_ + "a");
}

bool EchoWorld::set_silent_answers(bool answers) {
    if (!ok_)
        return false;
    const std::string route = " route " + std::string(answers ? "del" : "replace") + " blackhole " +
                              silent_address() + "/32";
    return run_quietly("ip -n " + tag_ + "r" + route);
}
