#include "platform/event_log_file.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include "core/file_error.h"
#include "core/root_file_rules.h"

namespace {

// The log opened for appending, or why it may not be. Root keeps to the rules
// of the other files: no symlink, no file or folder another user controls.
struct OpenedLog {
    int fd = -1;
    QString why;
};

OpenedLog open_log(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const bool as_root = root_file_rules_apply();
    if (as_root)
        if (std::optional<QString> refusal = root_file_refusal(name.toStdString(), nullptr))
            return {-1, *refusal};
    // O_NONBLOCK: a FIFO in its place must not hold the check up
    const int fd = ::open(name.constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                              (as_root ? O_NOFOLLOW : 0),
                          0666);
    if (fd < 0)
        return {-1, as_root && errno == ELOOP ? root_symlink_refusal() : system_reason(errno)};
    struct stat st {};
    std::optional<QString> refusal;
    if (::fstat(fd, &st) != 0)
        refusal = system_reason(errno);
    else if (!S_ISREG(st.st_mode))
        refusal = QStringLiteral("通常のファイルではありません");
    else if (as_root)
        refusal = root_file_refusal(name.toStdString(), &st);
    if (refusal) {
        ::close(fd);
        return {-1, *refusal};
    }
    return {fd, {}};
}

// What an administrator's log filter should not miss stands out.
int syslog_priority(const MonitorEvent& event) {
    switch (event.kind) {
    case EventKind::DeviceDown:
    case EventKind::StopEntered:
        return LOG_WARNING;
    case EventKind::Notice:
        return event.detail.section(QLatin1Char(' '), 1, 1) == QLatin1String("result=failed")
                   ? LOG_WARNING
                   : LOG_INFO;
    case EventKind::DeviceUp:
        return LOG_NOTICE;
    default:
        return LOG_INFO;
    }
}

qint64 size_of(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? st.st_size : 0;
}

} // namespace

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
    MonitorEvent shown = event;
    shown.detail = visible_line(event.detail);
    const QString line = event_line(shown);
    if (options_.syslog) {
        // the system log stamps its own time
        const QByteArray text = line.section(QLatin1Char('\t'), 1).toUtf8();
        ::syslog(syslog_priority(event), "%s", text.constData());
    }

    const QByteArray bytes = line.toUtf8() + '\n';
    OpenedLog log = open_log(options_.path);
    if (log.fd >= 0 && size_of(log.fd) > 0 &&
        size_of(log.fd) + bytes.size() > options_.rotate_bytes) {
        const QString old = options_.path + QStringLiteral(".1");
        QFile::remove(old);
        if (!QFile::rename(options_.path, old)) {
            failed(QStringLiteral("%1 を %2 に切り替えられません。").arg(options_.path, old));
            // still appended below: a long log is better than a lost line
        }
        ::close(log.fd);
        log = open_log(options_.path);
    }
    if (log.fd < 0 || ::write(log.fd, bytes.constData(), bytes.size()) != bytes.size())
        failed(QStringLiteral("%1 に書き込めません（%2）。")
                   .arg(options_.path, log.fd < 0 ? log.why : system_reason(errno)));
    if (log.fd >= 0)
        ::close(log.fd);
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
