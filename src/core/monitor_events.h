#pragma once
// What the monitor did, as it happens: start and end, each check, each
// notice, the delivery stop entered and left, conf.ini or kanshi.ini saved. The log
// and the status window listen; every event is announced on the window's
// thread, in the order it happened.
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "core/device_history.h"
#include "core/listeners.h"
#include "core/owner_thread.h"

enum class EventKind {
    Start,
    End,
    CheckBegun, // shown while it runs, not logged: the check's own line says when it began
    Check,
    Notice,
    StopEntered,
    StopLeft,
    SettingsSaved,
    TargetsSaved,
    DeviceDown,        // a monitored device stopped answering
    DeviceUp,          // and answers again
    DeviceUnmonitored, // left monitoring while down
    History,           // pelmora.db could not keep a check, or can again
    CheckKept,         // not logged: a check is in pelmora.db, its figures can be read
};

struct MonitorEvent {
    EventKind kind = EventKind::Start;
    QDateTime time;
    QString detail; // one line
};

// The name a kind has in the log; empty for the kinds that are not logged.
QString event_kind_name(EventKind kind);
std::optional<EventKind> event_kind_from_name(const QString& name);

class MonitorEvents {
  public:
    using Listener = std::function<void(const MonitorEvent&)>;

    void announce(EventKind kind, const QString& detail,
                  const QDateTime& time = QDateTime::currentDateTime());

    // Why the log cannot be written, once that is known; empty while it can.
    const QString& log_problem() const { return log_problem_; }
    void set_log_problem(const QString& text);

    int listen(Listener listener);
    void unlisten(int id);

  private:
    Listeners<Listener> listeners_;
    QString log_problem_;
    OwnerThread owner_;
};

// The details, one format per kind, as key=value pairs; a free text that may
// hold spaces (a subject, a server's reply) comes last.
QString check_detail(const QDateTime& started, qint64 duration_ms, int checked, int not_answering);
// A check whose echo engine could not sweep at all.
QString check_failed_detail(const QDateTime& started, qint64 duration_ms, const QString& reason);
QString notice_sent_detail(const QString& recipient, const QString& subject);
// A notice that a newer one replaced before it went out.
QString notice_superseded_detail(const QString& recipient, const QString& subject);
QString notice_failed_detail(const QString& recipient, const QString& subject, const QString& stage,
                             int code, const QString& reply);
struct SharedState;
QString start_detail(const QString& mode, const SharedState& state);
enum class StopChange { Limit, Release, Recovery };
QString stop_detail(StopChange why, int notices_in_a_row);
// The kind a device change is logged as.
EventKind device_event_kind(DeviceChangeKind kind);
// address=… name=… and, once it comes back or leaves, down_for=…
QString device_change_detail(const DeviceChange& change);
// A length of time as the log shows it: 45s, 3m05s, 1h02m05s, 2d01h02m05s.
QString duration_text(qint64 seconds);
// The address in a device event's detail; empty for other details.
QString detail_address(const QString& detail);
// pelmora.db failed to keep a check (why), or keeps them again (empty).
QString history_detail(const QString& why);

// Text from outside (a server's reply, a file's contents) as one line that is
// safe to write: breaks and tabs become blanks, and every other control
// character (C0, DEL, C1) and U+2028/U+2029 a visible escape (\x1b, \u2028),
// so that none can steer a terminal, forge a line or cut one short.
QString visible_line(const QString& text);

// 2026-12-07T09:30:00+09:00: to the second, always with the offset.
QString iso_local_time(const QDateTime& time);

// A log line: local time with its offset, the kind and the detail, by tabs.
QString event_line(const MonitorEvent& event);
// A line read back; nothing for a line that is not an event.
std::optional<MonitorEvent> parse_event_line(const QString& line);

// The last `limit` events of the log at path (its rotated part first, when
// the log itself holds fewer), newest first.
std::vector<MonitorEvent> read_recent_events(const QString& path, int limit);
