// Real echo requests: on loopback, and through namespaces built here
//   prober 198.18.0.1 -- router 198.18.0.2 / 198.18.1.1 -- hosts 198.18.1.0/24
// where the hosts' kernel stays silent and EchoResponder answers by rule.
#include <gtest/gtest.h>

#include <linux/icmp.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "echo_responder.h"
#include "platform/echo_destination.h"
#include "platform/icmp_echo_packet.h"
#include "platform/icmp_echo_socket.h"
#include "platform/socket_echo_engine.h"
#include "support/net_namespace.h"
#include "support/work_dir.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr auto R = EchoOutcome::Reachable;
constexpr auto U = EchoOutcome::Unreachable;
constexpr auto S = EchoOutcome::Skipped;

std::uint32_t addr(const std::string& text) {
    return *echo_destination(text);
}

// A loopback address of this process alone, so that parallel test programs
// never see each other's requests.
std::string own_loopback(int host) {
    const unsigned pid = static_cast<unsigned>(::getpid());
    return "127." + std::to_string(pid % 250 + 1) + "." + std::to_string(pid / 250 % 250) + "." +
           std::to_string(host);
}

struct SeenRequest {
    int ttl;
    std::vector<std::uint8_t> icmp;
};

// Copies of the echo requests that arrive for one address on this host.
class RequestSniffer {
  public:
    explicit RequestSniffer(std::uint32_t address) : address_(address) {
        fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_ICMP);
        icmp_filter filter{~(1u << ICMP_ECHO)};
        ::setsockopt(fd_, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    }
    ~RequestSniffer() { ::close(fd_); }
    bool ok() const { return fd_ >= 0; }

    std::vector<SeenRequest> take() {
        std::vector<SeenRequest> seen;
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, 50) > 0) {
            std::uint8_t buffer[1500];
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got < 20)
                continue;
            const std::uint32_t destination = std::uint32_t(buffer[16]) << 24 |
                                              std::uint32_t(buffer[17]) << 16 |
                                              std::uint32_t(buffer[18]) << 8 | buffer[19];
            const auto icmp = ipv4_payload({buffer, std::size_t(got)});
            if (destination == address_ && !icmp.empty())
                seen.push_back({buffer[8], {icmp.begin(), icmp.end()}});
        }
        return seen;
    }

  private:
    std::uint32_t address_;
    int fd_ = -1;
};

} // namespace

TEST(EchoOnLoopback, AnswersPerJobInOrder) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for a raw ICMP socket";
    SocketEchoEngine engine;
    const std::vector<EchoJob> jobs{{"127.0.0.1"}, {own_loopback(2), false}, {"127.0.0"}, {""},
                                    {"0.0.0.0"},   {" 127. 0.0.001"}};
    EXPECT_EQ(engine.check_all(jobs, 1, 64), (std::vector{R, S, U, U, U, R}));
    // stored time-to-live values the settings window would refuse still probe
    EXPECT_EQ(engine.check_all({{"127.0.0.1"}}, 0, 0), std::vector{R});
    EXPECT_EQ(engine.check_all({{"127.0.0.1"}}, 3, 300), std::vector{R});
    EXPECT_EQ(engine.check_all({{"127.0.0.1"}}, 3, -7), std::vector{R});
}

TEST(EchoOnLoopback, RequestCarriesTheTimeToLiveAndNineBytePayload) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for a raw ICMP socket";
    const std::string target = own_loopback(3);
    RequestSniffer sniffer(addr(target));
    ASSERT_TRUE(sniffer.ok());
    SocketEchoEngine engine;
    for (const auto& [stored, wire] : std::vector<std::pair<int, int>>{
             {255, 255}, {1, 1}, {64, 64}, {0, 1}, {-1, 1}, {256, 255}, {300, 255}}) {
        ASSERT_EQ(engine.check_all({{target}}, 3, stored), std::vector{R}) << stored;
        const auto seen = sniffer.take();
        ASSERT_EQ(seen.size(), 1u) << "one answered attempt, one request; ttl " << stored;
        EXPECT_EQ(seen[0].ttl, wire) << stored;
        ASSERT_EQ(seen[0].icmp.size(), 17u);
        EXPECT_EQ(std::string(seen[0].icmp.begin() + 8, seen[0].icmp.end()), "Echo data");
    }
    EXPECT_EQ(engine.check_all({{target, false}}, 3, 64), std::vector{S});
    EXPECT_TRUE(sniffer.take().empty());
}

class EchoThroughRouter : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prober_ = std::make_unique<NetNamespace>("p");
        router_ = std::make_unique<NetNamespace>("r");
        hosts_ = std::make_unique<NetNamespace>("h");
        if (!prober_->ok() || !router_->ok() || !hosts_->ok())
            return;
        const std::string id = std::to_string(::getpid());
        const std::string p = prober_->name(), r = router_->name(), h = hosts_->name();
        std::vector<std::string> steps{
            "ip link add pe" + id + "a netns " + p + " type veth peer name pe" + id + "b netns " +
                r,
            "ip link add pe" + id + "c netns " + r + " type veth peer name pe" + id + "d netns " +
                h,
            "ip -n " + p + " addr add 198.18.0.1/24 dev pe" + id + "a",
            "ip -n " + r + " addr add 198.18.0.2/24 dev pe" + id + "b",
            "ip -n " + r + " addr add 198.18.1.1/24 dev pe" + id + "c",
            "ip -n " + h + " addr add 198.18.1.2/24 dev pe" + id + "d",
            "ip -n " + p + " link set pe" + id + "a up",
            "ip -n " + r + " link set pe" + id + "b up",
            "ip -n " + r + " link set pe" + id + "c up",
            "ip -n " + h + " link set pe" + id + "d up",
            "ip -n " + p + " route add default via 198.18.0.2",
            "ip -n " + h + " route add default via 198.18.1.1",
            "ip netns exec " + r + " sysctl -w net.ipv4.ip_forward=1",
            "ip netns exec " + r + " sysctl -w net.ipv4.icmp_ratelimit=0",
            "ip netns exec " + h + " sysctl -w net.ipv4.icmp_echo_ignore_all=1",
            "ip netns exec " + p + " sysctl -w net.ipv4.ping_group_range='0 2147483647'",
        };
        for (int host = 10; host <= 15; ++host)
            steps.push_back("ip -n " + h + " addr add 198.18.1." + std::to_string(host) +
                            "/24 dev pe" + id + "d");
        for (const std::string& step : steps) {
            if (!run_quietly(step)) {
                failed_step_ = step;
                return;
            }
        }
        responder_ = std::make_unique<EchoResponder>(
            h, std::vector<ResponderRule>{
                   {addr("198.18.1.10")},
                   {addr("198.18.1.11"), 3},
                   {addr("198.18.1.12"), 1, 300ms},
                   {addr("198.18.1.13"), 1, 100ms},
                   {addr("198.18.1.14"), 1, 0ms, addr("198.18.1.15")},
               });
    }

    static void TearDownTestSuite() {
        responder_.reset();
        hosts_.reset();
        router_.reset();
        prober_.reset();
    }

    void SetUp() override {
        if (!responder_ || !responder_->ok())
            GTEST_SKIP() << "no test namespaces (root and iproute2 needed)"
                         << (failed_step_.empty() ? "" : "; failed: " + failed_step_);
        responder_->reset_counts();
    }

    static std::vector<EchoOutcome> probe(const std::vector<EchoJob>& jobs, int attempts, int ttl) {
        InNetNamespace inside(prober_->name());
        if (!inside.ok())
            return {};
        return SocketEchoEngine().check_all(jobs, attempts, ttl);
    }

    static inline std::unique_ptr<NetNamespace> prober_, router_, hosts_;
    static inline std::unique_ptr<EchoResponder> responder_;
    static inline std::string failed_step_;
};

TEST_F(EchoThroughRouter, TimeToLiveTooSmallFailsAlthoughTheRouterReplies) {
    EXPECT_EQ(probe({{"198.18.1.10"}, {"198.18.0.2"}}, 1, 1), (std::vector{U, R}));
    EXPECT_EQ(responder_->requests(addr("198.18.1.10")), 0);
    EXPECT_EQ(probe({{"198.18.1.10"}}, 1, 2), std::vector{R});
}

TEST_F(EchoThroughRouter, OnlyATimelyReplyFromTheTargetCounts) {
    const std::vector<EchoJob> jobs{
        {"198.18.1.12"}, {"198.18.1.13"}, {"198.18.1.14"}, {"198.18.1.2"}, {"198.18.1.10"}};
    EXPECT_EQ(probe(jobs, 1, 64), (std::vector{U, R, U, U, R}));
}

TEST_F(EchoThroughRouter, EveryAttemptIsOneRequestAndALaterOneCanSucceed) {
    EXPECT_EQ(probe({{"198.18.1.11"}, {"198.18.1.2"}}, 2, 64), (std::vector{U, U}));
    EXPECT_EQ(responder_->requests(addr("198.18.1.11")), 2);
    responder_->reset_counts();
    EXPECT_EQ(probe({{"198.18.1.11"}, {"198.18.1.10"}}, 5, 64), (std::vector{R, R}));
    EXPECT_EQ(responder_->requests(addr("198.18.1.11")), 3);
    EXPECT_EQ(responder_->requests(addr("198.18.1.10")), 1);
}

TEST_F(EchoThroughRouter, UnprivilegedProcessUsesTheDatagramSocket) {
    InNetNamespace inside(prober_->name());
    ASSERT_TRUE(inside.ok());
    AsUnprivileged nobody;
    auto socket = IcmpEchoSocket::open(64);
    ASSERT_TRUE(socket);
    EXPECT_EQ(socket->kind(), IcmpEchoSocket::Kind::Datagram);
    const std::vector<EchoJob> jobs{
        {"198.18.1.10"}, {"198.18.1.14"}, {"198.18.1.2"}, {"127.0.0.1"}};
    EXPECT_EQ(run_echo_rounds(*socket, jobs, 2), (std::vector{R, U, U, R}));
    EXPECT_EQ(SocketEchoEngine().check_all({{"198.18.1.13"}}, 1, 64), std::vector{R});
}

TEST_F(EchoThroughRouter, ALongListOfDeadHostsCostsAboutOneWait) {
    std::vector<EchoJob> jobs;
    std::vector<EchoOutcome> expected;
    for (int host = 100; host < 350; ++host) {
        jobs.push_back(
            {"198.18." + std::to_string(1 + host / 250) + "." + std::to_string(host % 250 + 1)});
        expected.push_back(U);
    }
    jobs.push_back({"198.18.1.10"});
    expected.push_back(R);
    const auto start = Clock::now();
    EXPECT_EQ(probe(jobs, 3, 64), expected);
    // 250 dead hosts one attempt at a time: 250 x 3 x 200 ms = 150 s
    EXPECT_LT(Clock::now() - start, 5s);
}
