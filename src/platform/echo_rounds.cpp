#include "platform/echo_rounds.h"

#include <algorithm>
#include <deque>
#include <map>

#include "platform/echo_destination.h"

namespace {

using Clock = std::chrono::steady_clock;

class Rounds {
  public:
    Rounds(EchoTransport& net, const std::vector<EchoJob>& jobs, int attempts,
           const EchoTiming& timing)
        : net_(net), timing_(timing), outcome_(jobs.size(), EchoOutcome::Unreachable),
          left_(jobs.size(), 0), destination_(jobs.size(), 0) {
        const int per_target = std::max(1, attempts);
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            if (!jobs[i].enabled) {
                outcome_[i] = EchoOutcome::Skipped;
            } else if (auto address = echo_destination(jobs[i].address)) {
                destination_[i] = *address;
                left_[i] = per_target;
                ready_.push_back(i);
            }
            // a text that names no host fails every attempt without a packet
        }
    }

    std::vector<EchoOutcome> run() {
        next_send_ = Clock::now();
        for (;;) {
            send_if_due(Clock::now());
            // checked after sending: a refused last attempt leaves nothing to wait for
            if (ready_.empty() && in_flight_.empty())
                break;
            if (auto reply = net_.receive(wake_time())) {
                take(*reply);
                continue; // drain every reply before judging any attempt late
            }
            expire(Clock::now());
        }
        return outcome_;
    }

  private:
    struct InFlight {
        std::size_t job;
        Clock::time_point deadline;
    };

    void send_if_due(Clock::time_point now) {
        if (ready_.empty() || now < next_send_)
            return;
        const std::size_t job = ready_.front();
        while (in_flight_.contains(next_sequence_))
            ++next_sequence_;
        switch (net_.send(destination_[job], next_sequence_)) {
        case SendResult::Sent:
            ready_.pop_front();
            in_flight_[next_sequence_++] = {job, now + timing_.reply_wait};
            busy_ = false;
            next_send_ = now + timing_.send_gap;
            break;
        case SendResult::Busy:
            // Our own queue is full, which says nothing about the target; give
            // it up as failed only when the queue stays full for a whole wait.
            if (!busy_) {
                busy_ = true;
                busy_since_ = now;
            }
            if (now - busy_since_ >= timing_.reply_wait) {
                busy_ = false;
                ready_.pop_front();
                attempt_failed(job);
            }
            next_send_ = now + std::max(timing_.send_gap, std::chrono::microseconds(1'000));
            break;
        case SendResult::Failed:
            ready_.pop_front();
            attempt_failed(job);
            break;
        }
    }

    Clock::time_point wake_time() const {
        auto wake = Clock::time_point::max();
        for (const auto& [sequence, flight] : in_flight_)
            wake = std::min(wake, flight.deadline);
        if (!ready_.empty())
            wake = std::min(wake, next_send_);
        return wake;
    }

    void take(const EchoReplySeen& reply) {
        const auto it = in_flight_.find(reply.sequence);
        // a reply from anyone but the target (a router, a spoofer) is no answer
        if (it == in_flight_.end() || destination_[it->second.job] != reply.source)
            return;
        outcome_[it->second.job] = EchoOutcome::Reachable;
        in_flight_.erase(it);
    }

    void expire(Clock::time_point now) {
        for (auto it = in_flight_.begin(); it != in_flight_.end();) {
            if (it->second.deadline <= now) {
                const std::size_t job = it->second.job;
                it = in_flight_.erase(it);
                attempt_failed(job);
            } else {
                ++it;
            }
        }
    }

    void attempt_failed(std::size_t job) {
        if (--left_[job] > 0)
            ready_.push_front(job); // the same target is tried again at once
    }

    EchoTransport& net_;
    const EchoTiming timing_;
    std::vector<EchoOutcome> outcome_;
    std::vector<int> left_;
    std::vector<std::uint32_t> destination_;
    std::deque<std::size_t> ready_;
    std::map<std::uint16_t, InFlight> in_flight_;
    std::uint16_t next_sequence_ = 0;
    Clock::time_point next_send_;
    bool busy_ = false;
    Clock::time_point busy_since_;
};

} // namespace

std::vector<EchoOutcome> run_echo_rounds(EchoTransport& net, const std::vector<EchoJob>& jobs,
                                         int attempts, const EchoTiming& timing) {
    return Rounds(net, jobs, attempts, timing).run();
}
