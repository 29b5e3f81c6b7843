#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <thread>

#include "platform/echo/echo_destination.h"
#include "platform/echo/echo_rounds.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Host {
    int answers_from = 1; // the first attempt that gets an answer; 0: never
    std::chrono::milliseconds delay{0};
    std::optional<std::uint32_t> answer_source = std::nullopt; // another answers for it
    bool reports = false; // a router reports each request failed instead
};

// A network in memory: hosts answer by rule, after their delay.
class FakeNet : public EchoTransport {
  public:
    SendResult send(std::uint32_t destination, std::uint16_t sequence) override {
        ++tries[destination];
        if (refuse) {
            const SendResult r = refuse(destination, tries[destination]);
            if (r != SendResult::Sent)
                return r;
        }
        const int attempt = ++sent[destination];
        const auto host = hosts.find(destination);
        if (host != hosts.end() && host->second.answers_from > 0 &&
            attempt >= host->second.answers_from) {
            const std::uint32_t source = host->second.answer_source.value_or(destination);
            queue.emplace(Clock::now() + host->second.delay,
                          EchoReplySeen{source, sequence, host->second.reports});
        }
        sequences.push_back(sequence);
        return SendResult::Sent;
    }

    std::optional<EchoReplySeen> receive(Clock::time_point until, bool) override {
        if (queue.empty() || queue.begin()->first > until) {
            std::this_thread::sleep_until(until);
            return std::nullopt;
        }
        std::this_thread::sleep_until(queue.begin()->first);
        const EchoReplySeen reply = queue.begin()->second;
        queue.erase(queue.begin());
        return reply;
    }

    std::map<std::uint32_t, Host> hosts;
    std::map<std::uint32_t, int> sent;
    std::map<std::uint32_t, int> tries;
    std::function<SendResult(std::uint32_t, int)> refuse; // (destination, try number)
    std::multimap<Clock::time_point, EchoReplySeen> queue;
    std::vector<std::uint16_t> sequences;
};

std::uint32_t addr(const char* text) {
    return *echo_destination(text);
}

const EchoTiming kFast{30ms, 500ms};
constexpr auto R = EchoOutcome::Reachable;
constexpr auto U = EchoOutcome::Unreachable;
constexpr auto S = EchoOutcome::Skipped;

} // namespace

TEST(EchoRounds, EachTargetGetsItsAttemptsUntilOneIsAnswered) {
    const std::vector<EchoJob> jobs{{"10.0.0.1"}, {"10.0.0.2"}, {"10.0.0.3"}};
    struct Case {
        int attempts;
        std::vector<EchoOutcome> outcomes;
        int sends_second, sends_third;
    };
    for (const Case& c :
         {Case{3, {R, R, U}, 3, 3}, Case{2, {R, U, U}, 2, 2}, Case{1, {R, U, U}, 1, 1},
          Case{0, {R, U, U}, 1, 1}, Case{-5, {R, U, U}, 1, 1}}) {
        FakeNet net;
        net.hosts[addr("10.0.0.1")] = {};
        net.hosts[addr("10.0.0.2")] = {.answers_from = 3};
        EXPECT_EQ(run_echo_rounds(net, jobs, c.attempts, kFast), c.outcomes) << c.attempts;
        EXPECT_EQ(net.sent[addr("10.0.0.1")], 1) << c.attempts;
        EXPECT_EQ(net.sent[addr("10.0.0.2")], c.sends_second) << c.attempts;
        EXPECT_EQ(net.sent[addr("10.0.0.3")], c.sends_third) << c.attempts;
    }
}

TEST(EchoRounds, DisabledAndMalformedTargetsSendNothing) {
    FakeNet net;
    net.hosts[addr("10.0.0.1")] = {};
    const std::vector<EchoJob> jobs{
        {"10.0.0.1", false}, {"", true}, {"10.0.0", true}, {"10.0.0.1", true}, {"10.0.0.1", false}};
    EXPECT_EQ(run_echo_rounds(net, jobs, 3, kFast), (std::vector{S, U, U, R, S}));
    EXPECT_EQ(net.tries.size(), 1u);
    EXPECT_EQ(net.sent[addr("10.0.0.1")], 1);

    FakeNet quiet;
    EXPECT_TRUE(run_echo_rounds(quiet, {}, 3, kFast).empty());
    EXPECT_EQ(run_echo_rounds(quiet, {{"10.0.0.1", false}}, 3, kFast), std::vector{S});
    EXPECT_TRUE(quiet.tries.empty());
}

TEST(EchoRounds, OnlyTheTargetsOwnTimelyReplyCounts) {
    FakeNet net;
    net.hosts[addr("10.0.0.1")] = {.answer_source = addr("10.0.0.9")};
    // Answers every attempt 50 ms late: the first answer lands inside the
    // second attempt's wait and must not be taken for the second's.
    net.hosts[addr("10.0.0.2")] = {.delay = 50ms};
    net.hosts[addr("10.0.0.3")] = {.delay = 10ms};
    const std::vector<EchoJob> jobs{{"10.0.0.1"}, {"10.0.0.2"}, {"10.0.0.3"}};
    EXPECT_EQ(run_echo_rounds(net, jobs, 2, kFast), (std::vector{U, U, R}));
    EXPECT_EQ(net.sent[addr("10.0.0.2")], 2);
}

TEST(EchoRounds, SendErrorsCountAsAttemptsButAFullQueueDoesNot) {
    FakeNet net;
    for (const char* a : {"10.0.0.1", "10.0.0.2", "10.0.0.3"})
        net.hosts[addr(a)] = {};
    net.refuse = [](std::uint32_t destination, int attempt) {
        if (destination == addr("10.0.0.1") && attempt == 1)
            return SendResult::Failed;
        if (destination == addr("10.0.0.2") && attempt <= 3)
            return SendResult::Busy;
        if (destination == addr("10.0.0.3"))
            return SendResult::Busy; // never clears
        return SendResult::Sent;
    };
    const auto start = Clock::now();
    const std::vector<EchoJob> jobs{{"10.0.0.1"}, {"10.0.0.2"}, {"10.0.0.3"}};
    EXPECT_EQ(run_echo_rounds(net, jobs, 1, kFast), (std::vector{U, R, U}));
    EXPECT_LT(Clock::now() - start, 2s);

    net.tries.clear();
    EXPECT_EQ(run_echo_rounds(net, {{"10.0.0.1"}}, 2, kFast), std::vector{R});
}

TEST(EchoRounds, AnAnsweringHostQueuedBehindAFullSendQueueIsStillReached) {
    // The queue stays full for several reply waits (requests to dead hosts on
    // the local link waiting for address resolution); the live host behind
    // them must not be reported down for it.
    FakeNet net;
    net.hosts[addr("10.0.0.7")] = {};
    const auto until = Clock::now() + 150ms;
    net.refuse = [until](std::uint32_t, int) {
        return Clock::now() < until ? SendResult::Busy : SendResult::Sent;
    };
    EXPECT_EQ(run_echo_rounds(net, {{"10.0.0.7"}}, 1, kFast), std::vector{R});
}

TEST(EchoRounds, ALongListSendsAtOnceAndWaitsForItsRepliesTogether) {
    FakeNet net;
    std::vector<EchoJob> jobs;
    std::vector<EchoOutcome> expected;
    for (int i = 0; i < 1001; ++i) {
        const std::string a = "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        jobs.push_back({a});
        if (i % 3 == 0)
            net.hosts[addr(a.c_str())] = {.delay = 5ms};
        expected.push_back(i % 3 == 0 ? R : U);
    }
    const auto start = Clock::now();
    EXPECT_EQ(run_echo_rounds(net, jobs, 3, kFast), expected);
    // three waits of 30 ms; one attempt after the other would take
    // 667 x 3 x 30 ms = 60 s, and even 1 ms between sends 3 s
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST(EchoRounds, AnErrorReportEndsThatAttemptAtOnce) {
    FakeNet net;
    const std::uint32_t far = addr("10.0.0.1"), other = addr("10.0.0.2");
    net.hosts[far] = {.delay = 2ms, .reports = true};
    // a report naming another destination than the request's is no report on it
    net.hosts[other] = {.delay = 2ms, .answer_source = addr("10.0.0.9"), .reports = true};
    const EchoTiming slow{400ms};
    auto start = Clock::now();
    EXPECT_EQ(run_echo_rounds(net, {{"10.0.0.1"}}, 3, slow), std::vector{U});
    EXPECT_EQ(net.sent[far], 3);
    EXPECT_LT(Clock::now() - start, 200ms);

    start = Clock::now();
    EXPECT_EQ(run_echo_rounds(net, {{"10.0.0.2"}}, 1, slow), std::vector{U});
    EXPECT_GE(Clock::now() - start, 400ms);
}

TEST(EchoRounds, SequenceNumbersGoOnFromSweepToSweep) {
    FakeNet net;
    net.hosts[addr("10.0.0.1")] = {};
    std::uint16_t next = 65534;
    EXPECT_EQ(run_echo_rounds(net, {{"10.0.0.1"}, {"10.0.0.2"}}, 2, kFast, &next),
              (std::vector{R, U}));
    EXPECT_EQ(run_echo_rounds(net, {{"10.0.0.1"}}, 1, kFast, &next), std::vector{R});
    EXPECT_EQ(net.sequences, (std::vector<std::uint16_t>{65534, 65535, 0, 1}));
    EXPECT_EQ(next, 2);
}
