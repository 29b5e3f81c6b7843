#pragma once
// One check: probe every monitored target, then decide by the delivery-stop
// rules which notice, if any, to mail, and keep the monitoring state in step.
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "core/echo_engine.h"

#include "core/int16.h"
#include "core/notice.h"

struct SharedState;
struct TargetList;
class CheckExecutor;
class CheckKeeper;
class MonitorEvents;

// The notices go out one SMTP session at a time, in the order they were
// decided, so that a slow server never holds a check. At most one waits
// behind the one in flight: a newer notice takes its place, and the one it
// replaces is logged as superseded. Used on the window's thread only.
class NoticeQueue {
  public:
    NoticeQueue(NoticeSender& mail, CheckExecutor& executor, MonitorEvents& events)
        : mail_(mail), executor_(executor), events_(events) {}
    void post(Notice notice);
    // A notice is being mailed: its worker still uses the transport.
    bool busy() const { return sending_; }

  private:
    void send(Notice notice);

    NoticeSender& mail_;
    CheckExecutor& executor_;
    MonitorEvents& events_;
    bool sending_ = false;
    std::optional<Notice> waiting_;
};

struct CheckFailures {
    int16 checked = 0;               // targets probed (not flagged 1)
    int16 count = 0;                 // targets that never answered
    QString report;                  // one numbered line per failed target, in list order
    std::vector<EchoResult> results; // the engine's, one per record
    QString engine_failure;          // the sweep could not be made: nothing is known
};

// Probes every record in one call of the engine (records flagged 1 get no
// packet) and collects those that never answered. An engine that could not
// sweep at all fails no target: its failure is reported instead.
CheckFailures probe_targets(const TargetList& targets, int attempts, int ttl, EchoEngine& engine);

// One whole check on a copy of the settings and targets taken now, so edits
// made meanwhile apply from the next check. The sweep runs on the executor;
// the decisions and every change of the monitoring state are made on the
// calling thread, in the order the window shows them, and the notice is
// posted to the queue. Ends once decided, with the elapsed minutes at 0, so
// that they count again, then calls finished; its mail may still be out.
// The devices that turned down or came back are announced with the check,
// and what it found goes to the keeper, when there is one.
void start_check(SharedState& state, EchoEngine& engine, NoticeQueue& notices,
                 CheckExecutor& executor, std::function<void()> finished,
                 CheckKeeper* keeper = nullptr);

// The same check, whole, before it returns.
void run_check(SharedState& state, EchoEngine& engine, NoticeSender& mail,
               CheckKeeper* keeper = nullptr);
