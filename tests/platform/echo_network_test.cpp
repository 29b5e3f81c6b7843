// Real echo requests: on loopback, and through namespaces built here
//   prober 198.18.0.1 -- router 198.18.0.2 / 198.18.1.1 -- hosts 198.18.1.0/24
// where the hosts' kernel stays silent and EchoResponder answers by rule. The
// router's own kernel answers all of 198.18.8.0/22 and drops 198.18.12.0/22.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <linux/icmp.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "echo_responder.h"
#include "platform/echo/echo_destination.h"
#include "platform/echo/echo_helper_protocol.h"
#include "platform/echo/helper_echo_engine.h"
#include "platform/echo/icmp_echo_packet.h"
#include "platform/echo/icmp_echo_socket.h"
#include "platform/echo/socket_echo_engine.h"
#include "platform/privileges.h"
#include "support/echo_world.h"
#include "support/net_namespace.h"
#include "support/work_dir.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Kind = IcmpEchoSocket::Kind;
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

// The n-th of 1001 addresses in the /22 that starts at 198.18.<third>.0
// Whether the process holds a raw IPv4 socket: one of its descriptors is a
// socket listed in its network namespace's /proc/net/raw.
bool holds_raw_socket(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::ifstream table(proc + "/net/raw");
    std::string line, inode;
    std::set<std::string> raw; // "socket:[inode]"
    for (std::getline(table, line); std::getline(table, line);) {
        std::istringstream fields(line);
        for (int i = 0; i < 10; ++i) // the tenth field
            fields >> inode;
        raw.insert("socket:[" + inode + "]");
    }
    for (const auto& fd : std::filesystem::directory_iterator(proc + "/fd"))
        if (raw.contains(std::filesystem::read_symlink(fd.path()).string()))
            return true;
    return false;
}

std::string in_block(int third, int n) {
    return "198.18." + std::to_string(third + (n + 1) / 256) + "." + std::to_string((n + 1) % 256);
}

struct SeenRequest {
    int ttl;
    std::vector<std::uint8_t> icmp;
};

// Copies of the echo requests that arrive for one address in the namespace
// the sniffer was made in.
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

// Every stored time-to-live gives one request with the nine-byte payload and
// the clamped time-to-live; a disabled target gives none.
void expect_requests_as_configured(EchoEngine& engine, const std::string& target,
                                   RequestSniffer& sniffer) {
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

} // namespace

TEST(EchoOnLoopback, AnswersPerJobInOrder) {
    auto engine = SocketEchoEngine::open();
    if (!engine)
        GTEST_SKIP() << "this process may open no ICMP socket";
    const std::vector<EchoJob> jobs{{"127.0.0.1"}, {own_loopback(2), false}, {"127.0.0"}, {""},
                                    {"0.0.0.0"},   {" 127. 0.0.001"}};
    EXPECT_EQ(engine->check_all(jobs, 1, 64), (std::vector{R, S, U, U, U, R}));
    // stored time-to-live values the settings window would refuse still probe
    EXPECT_EQ(engine->check_all({{"127.0.0.1"}}, 0, 0), std::vector{R});
    EXPECT_EQ(engine->check_all({{"127.0.0.1"}}, 3, 300), std::vector{R});
    EXPECT_EQ(engine->check_all({{"127.0.0.1"}}, 3, -7), std::vector{R});
    EXPECT_EQ(engine->attempt_once("127.0.0.1", 64), R);
    EXPECT_EQ(engine->attempt_once("127.0.0.256", 64), U);
}

TEST(EchoOnLoopback, RequestCarriesTheTimeToLiveAndNineBytePayload) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for a raw ICMP socket";
    const std::string target = own_loopback(3);
    RequestSniffer sniffer(addr(target));
    ASSERT_TRUE(sniffer.ok());
    SocketEchoEngine engine;
    expect_requests_as_configured(engine, target, sniffer);
}

TEST(EchoSockets, DatagramFirstWhereThePingGroupAdmitsUsElseRawElseNone) {
    NetNamespace admitting("g"), refusing("n");
    if (!admitting.ok() || !refusing.ok())
        GTEST_SKIP() << "no test namespaces (root and iproute2 needed)";
    ASSERT_TRUE(admitting.run("sysctl -w net.ipv4.ping_group_range='0 2147483647'"));
    ASSERT_TRUE(refusing.run("sysctl -w net.ipv4.ping_group_range='1 0'"));
    {
        InNetNamespace inside(admitting.name());
        ASSERT_TRUE(inside.ok());
        auto engine = SocketEchoEngine::open();
        ASSERT_TRUE(engine);
        EXPECT_EQ(engine->socket_kind(), Kind::Datagram);
        AsUnprivileged nobody;
        EXPECT_EQ(SocketEchoEngine::open()->socket_kind(), Kind::Datagram);
    }
    InNetNamespace inside(refusing.name());
    ASSERT_TRUE(inside.ok());
    EXPECT_EQ(SocketEchoEngine::open()->socket_kind(), Kind::Raw);
    AsUnprivileged nobody;
    const auto refused = SocketEchoEngine::open();
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.failure().step, EchoStep::RawSocket); // the last of the two tries
    const int error = refused.failure().code;
    EXPECT_TRUE(error == EPERM || error == EACCES) << error;
    EXPECT_EQ(refused.failure().text, std::strerror(error));
    // without a socket every enabled target is simply unreachable
    SocketEchoEngine fallback;
    EXPECT_EQ(fallback.check_all({{"127.0.0.1"}, {"127.0.0.1", false}}, 3, 64),
              (std::vector{U, S}));
    EXPECT_FALSE(fallback.socket_kind());
}

TEST(EchoWorldForSweeps, OneAnsweringAndOneSilentTargetSeenFromHere) {
    EchoWorld world;
    if (!world.ok())
        GTEST_SKIP() << world.why_not();
    auto engine = SocketEchoEngine::open();
    ASSERT_TRUE(engine);
    const std::vector<EchoJob> jobs{{world.answering_address()}, {world.silent_address()}};
    EXPECT_EQ(engine->check_all(jobs, 2, 64), (std::vector{R, U}));
    ASSERT_TRUE(world.set_silent_answers(true));
    EXPECT_EQ(engine->check_all(jobs, 2, 64), (std::vector{R, R}));
    ASSERT_TRUE(world.set_silent_answers(false));
    EXPECT_EQ(engine->check_all(jobs, 2, 64), (std::vector{R, U}));
}

namespace {

// Runs body in a child process and returns what it wrote to its pipe: what
// the child gives up (capabilities) stays given up.
template <typename Body> std::string in_child(Body body) {
    int out[2];
    if (::pipe(out) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        const std::string report = body();
        const bool written =
            ::write(out[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(out[1]);
    std::string report;
    char buffer[256];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(got));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return report;
}

std::string status_line(const std::string& name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(name))
            return line;
    return name + " missing";
}

char letter(EchoOutcome outcome) {
    return outcome == R ? 'R' : outcome == U ? 'U' : 'S';
}

} // namespace

// What the program does at start: a raw socket opened with the capability,
// then every capability dropped. The socket must still take a new TTL, send
// and hear replies and time-exceeded reports.
TEST(EchoAfterCapabilityDrop, ARawSocketOpenedBeforeStillReachesTheWorld) {
    EchoWorld world;
    if (!world.ok())
        GTEST_SKIP() << world.why_not();
    const std::string report = in_child([&]() -> std::string {
        auto socket = IcmpEchoSocket::open(Kind::Raw);
        if (!socket)
            return "no raw socket";
        if (const auto kept = drop_all_capabilities())
            return *kept;
        std::string seen = status_line("CapEff:") + " " + status_line("CapPrm:") + " ";
        SocketEchoEngine engine(socket.take());
        for (const EchoOutcome o :
             engine.check_all({{world.answering_address()}, {world.silent_address()}}, 1, 64))
            seen += letter(o);
        // one hop short: the router's report ends the attempt
        seen += letter(engine.check_all({{world.answering_address()}}, 1, 1).front());
        if (::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP) >= 0)
            seen += " and a new raw socket";
        return seen;
    });
    EXPECT_EQ(report, "CapEff:\t0000000000000000 CapPrm:\t0000000000000000 RUU");
}

// pelmora-echo on its own: greets, refuses a malformed request and goes on,
// and ends on end of file, as when pelmora ends however it ends.
TEST(EchoHelper, RefusesAMalformedRequestAndEndsWithItsPeer) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the helper's raw socket";
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    const pid_t helper = ::fork();
    if (helper == 0) {
        ::dup2(ends[1], 3);
        ::execl(PELMORA_ECHO_HELPER, "pelmora-echo", nullptr);
        ::_exit(127);
    }
    ::close(ends[1]);
    const auto answer = [&](const std::vector<std::uint8_t>& request) {
        if (!request.empty())
            ::send(ends[0], request.data(), request.size(), 0);
        std::vector<std::uint8_t> reply(kHelperMaxMessage);
        const ssize_t got = ::recv(ends[0], reply.data(), reply.size(), 0);
        reply.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return read_response(reply);
    };
    using Status = EchoHelperResponse::Status;
    EXPECT_EQ(answer({})->status, Status::Ready);
    for (const std::vector<std::uint8_t>& bad :
         {std::vector<std::uint8_t>{'P', 'E', 'Q', '1', 0, 1, 64, 0, 1, 224, 0, 0, 1},
          std::vector<std::uint8_t>{'P', 'E', 'Q', '1', 0, 1, 0, 0, 0},
          std::vector<std::uint8_t>(kHelperMaxMessage + 1, 'P')}) {
        const auto refused = answer(bad);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, Status::Refused);
        EXPECT_EQ(refused->error_number, EINVAL);
    }
    const auto done = answer(encode_request({1, 64, {addr("127.0.0.1")}}));
    ASSERT_TRUE(done && done->status == Status::Done && done->targets.size() == 1u);
    EXPECT_TRUE(done->targets[0].reached && done->targets[0].rtt_ms);
    ::close(ends[0]);
    int status = -1;
    ASSERT_EQ(::waitpid(helper, &status, 0), helper);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// The engine on the helper: one killed between sweeps is started again
// unnoticed; one that cannot be started again fails the sweep as a whole,
// never every target.
TEST(EchoHelper, StartedAgainAfterItDiesElseTheSweepFailsAsAWhole) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the helper's raw socket";
    TempWorkDir dir;
    const std::string copy = dir.path("pelmora-echo").toStdString();
    ASSERT_TRUE(std::filesystem::copy_file(PELMORA_ECHO_HELPER, copy));
    auto engine = HelperEchoEngine::start(copy);
    ASSERT_TRUE(engine);
    const std::vector<EchoJob> jobs{{"127.0.0.1"}, {own_loopback(2), false}, {"0.0.0.0"}};
    EXPECT_EQ(engine->check_all(jobs, 1, 64), (std::vector{R, S, U}));
    const pid_t first = engine->helper_pid();
    ::kill(first, SIGKILL);
    EXPECT_EQ(engine->check_all(jobs, 1, 64), (std::vector{R, S, U}));
    EXPECT_FALSE(engine->failure());
    EXPECT_NE(engine->helper_pid(), first);
    ::kill(engine->helper_pid(), SIGKILL);
    std::filesystem::remove(copy);
    EXPECT_TRUE(engine->check_all_timed(jobs, 1, 64).empty());
    ASSERT_TRUE(engine->failure());
    EXPECT_NE(engine->failure()->find("pelmora-echo"), std::string::npos);
}

// The two socket kinds, and the raw one held by pelmora-echo.
enum class EnginePath { Datagram, Raw, Helper };

class EchoThroughRouter : public ::testing::TestWithParam<EnginePath> {
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
            "ip -n " + r + " route add local 198.18.8.0/22 dev lo",
            "ip -n " + r + " route add blackhole 198.18.12.0/22",
            "ip netns exec " + r + " sysctl -w net.ipv4.ip_forward=1",
            "ip netns exec " + r + " sysctl -w net.ipv4.icmp_ratelimit=0",
            "ip netns exec " + h + " sysctl -w net.ipv4.icmp_echo_ignore_all=1",
            "ip netns exec " + p + " sysctl -w net.ipv4.ping_group_range='0 2147483647'",
        };
        for (int host = 10; host <= 16; ++host)
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
                   {addr("198.18.1.16"), 1, 50ms},
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

    // An engine on the path under test, opened in the prober's namespace.
    static std::unique_ptr<EchoEngine> prober_engine() {
        InNetNamespace inside(prober_->name());
        if (!inside.ok())
            return nullptr;
        if (GetParam() == EnginePath::Helper) {
            auto helper = HelperEchoEngine::start(PELMORA_ECHO_HELPER);
            // the raw socket it is there for, though this namespace grants datagram ones
            EXPECT_TRUE(helper && holds_raw_socket(helper->helper_pid()));
            return helper ? std::unique_ptr<EchoEngine>(helper.take()) : nullptr;
        }
        auto socket =
            IcmpEchoSocket::open(GetParam() == EnginePath::Raw ? Kind::Raw : Kind::Datagram);
        return socket ? std::make_unique<SocketEchoEngine>(socket.take()) : nullptr;
    }

    static std::vector<EchoOutcome> probe(const std::vector<EchoJob>& jobs, int attempts, int ttl) {
        auto engine = prober_engine();
        return engine ? engine->check_all(jobs, attempts, ttl) : std::vector<EchoOutcome>{};
    }

    static inline std::unique_ptr<NetNamespace> prober_, router_, hosts_;
    static inline std::unique_ptr<EchoResponder> responder_;
    static inline std::string failed_step_;
};

TEST_P(EchoThroughRouter, TooSmallATimeToLiveFailsEveryAttemptAtOnce) {
    const auto start = Clock::now();
    EXPECT_EQ(probe({{"198.18.1.10"}, {"198.18.0.2"}}, 3, 1), (std::vector{U, R}));
    // the router's reports end the three attempts without their 200 ms waits
    EXPECT_LT(Clock::now() - start, 150ms);
    EXPECT_EQ(responder_->requests(addr("198.18.1.10")), 0);
    EXPECT_EQ(probe({{"198.18.1.10"}}, 1, 2), std::vector{R});
}

TEST_P(EchoThroughRouter, RequestsLeaveWithTheTimeToLiveAndPayloadAsConfigured) {
    std::unique_ptr<RequestSniffer> sniffer;
    {
        InNetNamespace inside(router_->name());
        ASSERT_TRUE(inside.ok());
        sniffer = std::make_unique<RequestSniffer>(addr("198.18.0.2"));
    }
    ASSERT_TRUE(sniffer->ok());
    auto engine = prober_engine();
    ASSERT_TRUE(engine);
    expect_requests_as_configured(*engine, "198.18.0.2", *sniffer);
}

TEST_P(EchoThroughRouter, OnlyATimelyReplyFromTheTargetCounts) {
    const std::vector<EchoJob> jobs{{"198.18.1.12"}, {"198.18.1.13"}, {"198.18.1.16"},
                                    {"198.18.1.14"}, {"198.18.1.2"},  {"198.18.12.9"},
                                    {"198.18.1.10"}};
    EXPECT_EQ(probe(jobs, 1, 64), (std::vector{U, R, R, U, U, U, R}));
}

TEST_P(EchoThroughRouter, AHostThatAnswersOnlyItsThirdRequestNeedsThreeAttempts) {
    EXPECT_EQ(probe({{"198.18.1.11"}, {"198.18.1.2"}}, 2, 64), (std::vector{U, U}));
    EXPECT_EQ(responder_->requests(addr("198.18.1.11")), 2);
    responder_->reset_counts();
    EXPECT_EQ(probe({{"198.18.1.11"}, {"198.18.1.10"}}, 3, 64), (std::vector{R, R}));
    EXPECT_EQ(responder_->requests(addr("198.18.1.11")), 3);
    EXPECT_EQ(responder_->requests(addr("198.18.1.10")), 1);
}

TEST_P(EchoThroughRouter, AThousandAnsweringTargetsNeverFailSweepAfterSweep) {
    std::vector<EchoJob> jobs;
    for (int n = 0; n < 1001; ++n)
        jobs.push_back({in_block(8, n)});
    const std::vector<EchoOutcome> all_reachable(jobs.size(), R);
    auto engine = prober_engine();
    ASSERT_TRUE(engine);
    for (int sweep = 1; sweep <= 20; ++sweep) {
        // a single attempt: any reply lost on the way in would show here
        const auto outcomes = engine->check_all(jobs, 1, 64);
        ASSERT_EQ(std::count(outcomes.begin(), outcomes.end(), U), 0) << "sweep " << sweep;
        ASSERT_EQ(outcomes, all_reachable);
    }
}

TEST_P(EchoThroughRouter, AThousandSilentTargetsCostOneWaitPerAttempt) {
    std::vector<EchoJob> jobs;
    for (int n = 0; n < 1001; ++n)
        jobs.push_back({in_block(12, n)});
    jobs.push_back({"198.18.1.10"});
    std::vector<EchoOutcome> expected(1001, U);
    expected.push_back(R);
    const auto start = Clock::now();
    EXPECT_EQ(probe(jobs, 3, 64), expected);
    // three 200 ms waits; one attempt after the other would take 600 s
    EXPECT_LT(Clock::now() - start, 900ms);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, EchoThroughRouter,
                         ::testing::Values(EnginePath::Datagram, EnginePath::Raw,
                                           EnginePath::Helper),
                         [](const auto& info) {
                             return info.param == EnginePath::Raw      ? "Raw"
                                    : info.param == EnginePath::Helper ? "Helper"
                                                                       : "Datagram";
                         });

TEST(EchoUnprivileged, ASmallReceiveQueueStillTakesAThousandReplies) {
    NetNamespace alone("u");
    if (!alone.ok())
        GTEST_SKIP() << "no test namespaces (root and iproute2 needed)";
    ASSERT_TRUE(alone.run("sysctl -w net.ipv4.ping_group_range='0 2147483647'"));
    InNetNamespace inside(alone.name());
    ASSERT_TRUE(inside.ok());
    AsUnprivileged nobody;
    // what an unprivileged process gets where net.core.rmem_max is at its
    // usual 208 KiB, and less
    auto socket = IcmpEchoSocket::open(Kind::Datagram, 64 << 10);
    ASSERT_TRUE(socket);
    auto engine = std::make_unique<SocketEchoEngine>(socket.take());
    std::vector<EchoJob> jobs;
    for (int n = 0; n < 1001; ++n)
        jobs.push_back({"127.1." + std::to_string(n / 200) + "." + std::to_string(n % 200 + 1)});
    const std::vector<EchoOutcome> all_reachable(jobs.size(), R);
    for (int sweep = 1; sweep <= 20; ++sweep)
        ASSERT_EQ(engine->check_all(jobs, 1, 64), all_reachable) << "sweep " << sweep;
}
