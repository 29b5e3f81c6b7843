#pragma once
// The echo probe as the sweep sees it: one call checks every record of the
// target table at once and answers, record by record in table order, whether
// it is reachable.
//
// Per record the result is exactly what a walk one attempt at a time gives:
// an enabled record gets up to `attempts` (at least 1) echo attempts, the next
// one as soon as the previous failed, each waiting at most 200 ms for its own
// reply; it is reachable when any attempt got a good reply in time. A
// disabled record gets no packet.
//
// Free of Qt: the platform layer implements it on sockets.
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct EchoJob {
    std::string address; // dotted IPv4 text as stored; anything else is unreachable
    bool enabled = true; // false: valid_flag 1, no packet
};

enum class EchoOutcome { Reachable, Unreachable, Skipped };

struct EchoResult {
    EchoOutcome outcome = EchoOutcome::Unreachable;
    std::optional<double> rtt_ms; // of the reply that made it reachable, when measured
};

// Why echo could not be had, one value for every step of the way: which step
// failed, the system's error number, and the system's words for it.
enum class EchoStep {
    DatagramSocket, // the unprivileged ICMP socket
    RawSocket,      // the raw one, for root or CAP_NET_RAW
    Helper,         // pelmora-echo, which holds the raw one for us
};

struct EchoFailure {
    EchoStep step = EchoStep::RawSocket;
    int code = 0; // errno
    std::string text;
};

// What an open gives: the opened part, or the failure that kept it closed.
template <class T> class EchoOpened {
  public:
    EchoOpened(std::unique_ptr<T> opened) : opened_(std::move(opened)) {}
    EchoOpened(EchoFailure failure) : failure_(std::move(failure)) {}

    explicit operator bool() const { return opened_ != nullptr; }
    T& operator*() const { return *opened_; }
    T* operator->() const { return opened_.get(); }
    // Why nothing was opened; only meaningful then.
    const EchoFailure& failure() const { return failure_; }
    // Hands the opened part over; nothing is left here.
    std::unique_ptr<T> take() { return std::move(opened_); }

  private:
    std::unique_ptr<T> opened_;
    EchoFailure failure_;
};

class EchoEngine {
  public:
    virtual ~EchoEngine() = default;
    // attempts: the setting as stored (values below 1 mean one attempt);
    // ttl: the setting as stored. Returns one outcome per job, in order.
    virtual std::vector<EchoOutcome> check_all(const std::vector<EchoJob>& jobs, int attempts,
                                               int ttl) = 0;
    // The same, with the round trip of each reply where the engine measures it.
    virtual std::vector<EchoResult> check_all_timed(const std::vector<EchoJob>& jobs, int attempts,
                                                    int ttl) {
        std::vector<EchoResult> results;
        for (EchoOutcome outcome : check_all(jobs, attempts, ttl))
            results.push_back({outcome, std::nullopt});
        return results;
    }
    // Why the last sweep could not be made at all (its results are then
    // empty), or nothing. Such a sweep says nothing about the targets.
    virtual std::optional<std::string> failure() const { return std::nullopt; }
};

// An engine that measures round trips: it makes the timed sweep, and the
// plain one is that sweep's outcomes.
class TimedEchoEngine : public EchoEngine {
  public:
    std::vector<EchoOutcome> check_all(const std::vector<EchoJob>& jobs, int attempts,
                                       int ttl) final {
        std::vector<EchoOutcome> outcomes;
        for (const EchoResult& result : check_all_timed(jobs, attempts, ttl))
            outcomes.push_back(result.outcome);
        return outcomes;
    }
    std::vector<EchoResult> check_all_timed(const std::vector<EchoJob>& jobs, int attempts,
                                            int ttl) override = 0;
};
