#pragma once
// Stand-ins for the echo engine and the mailer, for tests of the logic above them.
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "core/echo_engine.h"
#include "core/notice.h"

// Answers each sweep from a script: reachable(index, address) decides per
// enabled job (everything answers when it is not set). Records every call.
class ScriptedEngine : public EchoEngine {
  public:
    struct Call {
        std::vector<EchoJob> jobs;
        int attempts;
        int ttl;
    };

    std::vector<EchoOutcome> check_all(const std::vector<EchoJob>& jobs, int attempts,
                                       int ttl) override {
        calls.push_back({jobs, attempts, ttl});
        std::vector<EchoOutcome> out;
        for (size_t i = 0; i < jobs.size(); ++i) {
            if (!jobs[i].enabled)
                out.push_back(EchoOutcome::Skipped);
            else if (!reachable || reachable(static_cast<int>(i), jobs[i].address))
                out.push_back(EchoOutcome::Reachable);
            else
                out.push_back(EchoOutcome::Unreachable);
        }
        return out;
    }

    // With round trips: rtt_ms(index) for each reachable job, when set.
    std::vector<EchoResult> check_all_timed(const std::vector<EchoJob>& jobs, int attempts,
                                            int ttl) override {
        if (fail_with)
            return {};
        std::vector<EchoResult> out;
        int i = 0;
        for (EchoOutcome o : check_all(jobs, attempts, ttl)) {
            out.push_back({o, o == EchoOutcome::Reachable && rtt_ms ? rtt_ms(i) : std::nullopt});
            ++i;
        }
        return out;
    }

    std::function<bool(int index, const std::string& address)> reachable;
    std::function<std::optional<double>(int index)> rtt_ms;
    std::optional<std::string> fail_with; // a sweep that cannot be made at all, and why
    std::optional<std::string> failure() const override { return fail_with; }
    std::vector<Call> calls;
};

struct SentNotice {
    QString to, from, server, domain, body, subject;
    bool operator==(const SentNotice&) const = default;
};

class RecordingMailer : public NoticeSender {
  public:
    DeliveryReport send(const Notice& n) override {
        sent.push_back({n.recipient, n.sender, n.server, n.ehlo_domain, n.body, n.subject});
        if (on_send)
            on_send(sent.back());
        return {};
    }
    std::vector<SentNotice> sent;
    std::function<void(const SentNotice&)> on_send; // e.g. to look at the window mid-sweep
};
