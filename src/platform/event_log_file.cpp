#include "platform/event_log_file.h"

#include <QFile>
#include <QFileInfo>
#include <syslog.h>

EventLogFile::EventLogFile(EventLogOptions options) : options_(std::move(options)) {
    if (options_.syslog)
        ::openlog("pelmora", LOG_PID, LOG_USER);
}

EventLogFile::~EventLogFile() {
    if (options_.syslog)
        ::closelog();
}

void EventLogFile::write(const MonitorEvent& event) {
    if (event_kind_name(event.kind).isEmpty())
        return;
    const QString line = event_line(event);
    if (options_.syslog) {
        // the system log stamps its own time
        const QByteArray text = line.section(QLatin1Char('\t'), 1).toUtf8();
        ::syslog(LOG_INFO, "%s", text.constData());
    }

    const QByteArray bytes = line.toUtf8() + '\n';
    const QFileInfo info(options_.path);
    if (info.exists() && info.size() > 0 && info.size() + bytes.size() > options_.rotate_bytes) {
        const QString old = options_.path + QStringLiteral(".1");
        QFile::remove(old);
        if (!QFile::rename(options_.path, old)) {
            failed(QStringLiteral("%1 を %2 に切り替えられません。").arg(options_.path, old));
            // still appended below: a long log is better than a lost line
        }
    }
    QFile file(options_.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size() ||
        !file.flush()) {
        failed(
            QStringLiteral("%1 に書き込めません（%2）。").arg(options_.path, file.errorString()));
    }
}

void EventLogFile::failed(const QString& why) {
    if (reported_)
        return;
    reported_ = true;
    if (on_failure)
        on_failure(why + QStringLiteral("監視は続けます。"));
}

void EventLogFile::follow(MonitorEvents& events, std::function<void(const QString&)> tell) {
    on_failure = [&events, tell = std::move(tell)](const QString& text) {
        events.set_log_problem(text);
        if (tell)
            tell(text);
    };
    events.listen([this](const MonitorEvent& event) { write(event); });
}
