#pragma once
// The event log: one line per event appended to pelmora.log (UTF-8), and the
// same to the system log under the ident "pelmora". At the size limit the
// file moves to pelmora.log.1 (replacing the one before) and a new one starts.
// Text from outside stays visible on its line (visible_line); as root the log
// keeps to the rules of the other files (core/root_file_rules.h).
//
// A log that cannot be written must never stop monitoring: the first failure
// is reported through on_failure, and the log goes on trying quietly. The
// system log is never waited for: while it is full (a stalled journal) its
// lines are dropped and counted, and the count is sent once it takes them.
#include <QByteArray>
#include <QString>
#include <functional>

#include "core/monitor_events.h"

inline constexpr qint64 kLogRotateBytes = 10 * 1024 * 1024;

struct EventLogOptions {
    QString path = QStringLiteral("pelmora.log");
    qint64 rotate_bytes = kLogRotateBytes;
    bool syslog = true;
};

class EventLogFile {
  public:
    explicit EventLogFile(EventLogOptions options = {});
    ~EventLogFile();
    EventLogFile(const EventLogFile&) = delete;
    EventLogFile& operator=(const EventLogFile&) = delete;

    // Writes what the kind has a name for; other events are not logged.
    void write(const MonitorEvent& event);

    // Listens to events; failures are reported once on stderr and through
    // log_problem, where the status window shows them.
    void follow(MonitorEvents& events, std::function<void(const QString&)> tell);

    std::function<void(const QString&)> on_failure;

  private:
    void failed(const QString& why);
    void to_system_log(int priority, const QByteArray& text);
    bool send_to_system_log(int priority, const QByteArray& text);

    EventLogOptions options_;
    bool reported_ = false;
    int system_log_ = -1; // a datagram socket connected to /dev/log
    qint64 system_log_dropped_ = 0;
};
