#include "platform/echo/echo_rounds.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

#include "platform/echo/echo_destination.h"

namespace {

using Clock = std::chrono::steady_clock;

// Replies to a burst of first attempts come back while it is still going out
// (at once, from loopback); reading them every so many sends keeps the
// receive queue short where the system caps its size.
constexpr int kSendsBetweenReads = 32;
// A full send queue that gives no sign of draining is looked at again after
// this long.
constexpr std::chrono::microseconds kBusyPause{200};

class Rounds {
  public:
    Rounds(EchoTransport& net, const std::vector<std::uint32_t>& hosts, int attempts,
           const EchoTiming& timing, std::uint16_t first_sequence)
        : net_(net), timing_(timing), outcome_(hosts.size(), EchoOutcome::Unreachable),
          rtt_(hosts.size()), left_(hosts.size(), 0), destination_(hosts),
          next_sequence_(first_sequence) {
        const int per_target = std::max(1, attempts);
        for (std::size_t i = 0; i < hosts.size(); ++i) {
            if (hosts[i] != kNoHost) {
                left_[i] = per_target;
                ready_.push_back(i);
            }
        }
    }

    std::vector<EchoOutcome> run() {
        for (;;) {
            send_ready();
            // checked after sending: a refused last attempt leaves nothing to wait for
            if (ready_.empty() && in_flight_.empty())
                break;
            auto wake = earliest_deadline();
            if (busy_)
                wake = std::min(wake, Clock::now() + kBusyPause);
            // the first time the queue is full, wait for room; should room be
            // reported but the send still refused, pause briefly instead of spinning
            if (auto seen = net_.receive(wake, busy_ && busy_tries_ == 1)) {
                take(*seen);
                continue; // drain every reply before judging any attempt late
            }
            expire(Clock::now());
        }
        return outcome_;
    }

    std::uint16_t next_sequence() const { return next_sequence_; }
    const std::vector<std::optional<double>>& rtt() const { return rtt_; }

  private:
    struct InFlight {
        std::size_t job;
        Clock::time_point deadline;
        Clock::time_point sent;
    };

    // Every target whose attempt is due goes out now: the first attempts of
    // the whole list in one burst, later ones as soon as their previous failed.
    void send_ready() {
        int sends = 0;
        while (!ready_.empty()) {
            const std::size_t job = ready_.front();
            while (in_flight_.contains(next_sequence_))
                ++next_sequence_;
            const auto now = Clock::now();
            const SendResult result = net_.send(destination_[job], next_sequence_);
            if (result == SendResult::Busy) {
                // Our own queue is full, which says nothing about the target;
                // give the attempt up only when the queue stays full far longer
                // than anything we sent can take to leave it.
                if (!busy_)
                    busy_since_ = now;
                busy_ = true;
                ++busy_tries_;
                if (now - busy_since_ < timing_.busy_give_up)
                    return;
                ready_.pop_front();
                attempt_failed(job);
            } else {
                ready_.pop_front();
                if (result == SendResult::Sent) {
                    in_flight_[next_sequence_] = {job, now + timing_.reply_wait, now};
                    deadlines_.push_back({now + timing_.reply_wait, next_sequence_++});
                } else {
                    attempt_failed(job);
                }
            }
            busy_ = false;
            busy_tries_ = 0;
            if (++sends % kSendsBetweenReads == 0)
                read_queued();
        }
    }

    void read_queued() {
        while (auto seen = net_.receive(Clock::time_point{}, false))
            take(*seen);
    }

    Clock::time_point earliest_deadline() {
        // every attempt waits equally long, so deadlines come in sending order
        while (!deadlines_.empty() && !still_waiting(deadlines_.front()))
            deadlines_.pop_front();
        return deadlines_.empty() ? Clock::time_point::max() : deadlines_.front().first;
    }

    bool still_waiting(const std::pair<Clock::time_point, std::uint16_t>& entry) const {
        const auto it = in_flight_.find(entry.second);
        return it != in_flight_.end() && it->second.deadline == entry.first;
    }

    void take(const EchoReplySeen& seen) {
        const auto it = in_flight_.find(seen.sequence);
        // a reply from anyone but the target (a router, a spoofer) is no
        // answer; a report must be about the request to this very target
        if (it == in_flight_.end() || destination_[it->second.job] != seen.source)
            return;
        const std::size_t job = it->second.job;
        const Clock::duration took = Clock::now() - it->second.sent;
        in_flight_.erase(it);
        if (seen.error_report) {
            attempt_failed(job);
        } else {
            outcome_[job] = EchoOutcome::Reachable;
            rtt_[job] = std::chrono::duration<double, std::milli>(took).count();
        }
    }

    void expire(Clock::time_point now) {
        while (!deadlines_.empty() && deadlines_.front().first <= now) {
            const auto entry = deadlines_.front();
            deadlines_.pop_front();
            if (!still_waiting(entry))
                continue;
            const std::size_t job = in_flight_[entry.second].job;
            in_flight_.erase(entry.second);
            attempt_failed(job);
        }
    }

    void attempt_failed(std::size_t job) {
        if (--left_[job] > 0)
            ready_.push_front(job); // the same target is tried again at once
    }

    EchoTransport& net_;
    const EchoTiming timing_;
    std::vector<EchoOutcome> outcome_;
    std::vector<std::optional<double>> rtt_;
    std::vector<int> left_;
    std::vector<std::uint32_t> destination_;
    std::deque<std::size_t> ready_;
    std::unordered_map<std::uint16_t, InFlight> in_flight_;
    std::deque<std::pair<Clock::time_point, std::uint16_t>> deadlines_;
    std::uint16_t next_sequence_;
    bool busy_ = false;
    int busy_tries_ = 0;
    Clock::time_point busy_since_;
};

} // namespace

std::vector<EchoOutcome> run_echo_rounds(EchoTransport& net,
                                         const std::vector<std::uint32_t>& hosts, int attempts,
                                         const EchoTiming& timing, std::uint16_t* next_sequence,
                                         std::vector<std::optional<double>>* rtt_ms) {
    Rounds rounds(net, hosts, attempts, timing, next_sequence ? *next_sequence : 0);
    auto outcomes = rounds.run();
    if (next_sequence)
        *next_sequence = rounds.next_sequence();
    if (rtt_ms)
        *rtt_ms = rounds.rtt();
    return outcomes;
}

std::vector<std::uint32_t> echo_hosts(const std::vector<EchoJob>& jobs) {
    std::vector<std::uint32_t> hosts;
    hosts.reserve(jobs.size());
    for (const EchoJob& job : jobs)
        hosts.push_back(job.enabled ? echo_destination(job.address).value_or(kNoHost) : kNoHost);
    return hosts;
}

std::vector<EchoOutcome> run_echo_rounds(EchoTransport& net, const std::vector<EchoJob>& jobs,
                                         int attempts, const EchoTiming& timing,
                                         std::uint16_t* next_sequence,
                                         std::vector<std::optional<double>>* rtt_ms) {
    auto outcomes = run_echo_rounds(net, echo_hosts(jobs), attempts, timing, next_sequence, rtt_ms);
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (!jobs[i].enabled)
            outcomes[i] = EchoOutcome::Skipped;
    return outcomes;
}
