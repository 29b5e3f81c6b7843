#include "platform/event_log_file.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// A datagram socket to the system log that never blocks; -1 without one.
int connect_system_log() {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    static constexpr char kPath[] = "/dev/log";
    std::copy(std::begin(kPath), std::end(kPath), address.sun_path);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

qint64 size_of(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? st.st_size : 0;
}

} // namespace

EventLogFile::EventLogFile(EventLogOptions options) : options_(std::move(options)) {}

EventLogFile::~EventLogFile() {
    if (system_log_ >= 0)
        ::close(system_log_);
}

// What syslog(3) would send, "<PRI>Mmm dd hh:mm:ss pelmora[PID]: TEXT", but
// without waiting: glibc's syslog() blocks while /dev/log is full, and a
// stalled journal would then hold up the check that wrote the line.
bool EventLogFile::send_to_system_log(int priority, const QByteArray& text) {
    if (system_log_ < 0 && (system_log_ = connect_system_log()) < 0)
        return false;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%h %e %T", ::localtime_r(&now, &local));
    const QByteArray message = '<' + QByteArray::number(LOG_USER | priority) + '>' + stamp +
                               " pelmora[" + QByteArray::number(::getpid()) + "]: " + text;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::send(system_log_, message.constData(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >=
            0)
            return true;
        if (errno == EAGAIN || errno == ENOBUFS)
            return false; // full: dropped, not waited for
        // the journal restarted: its socket is a new one
        ::close(system_log_);
        if ((system_log_ = connect_system_log()) < 0)
            return false;
    }
    return false;
}

void EventLogFile::to_system_log(int priority, const QByteArray& text) {
    if (system_log_dropped_ > 0 &&
        send_to_system_log(LOG_WARNING,
                           "syslog\tdropped=" + QByteArray::number(system_log_dropped_)))
        system_log_dropped_ = 0;
    if (system_log_dropped_ > 0 || !send_to_system_log(priority, text))
        ++system_log_dropped_;
}

void EventLogFile::write(const MonitorEvent& event) {
    if (event_kind_name(event.kind).isEmpty())
        return;
    MonitorEvent shown = event;
    shown.detail = visible_line(event.detail);
    const QString line = event_line(shown);
    if (options_.syslog) {
        // the system log stamps its own time
        to_system_log(syslog_priority(event), line.section(QLatin1Char('\t'), 1).toUtf8());
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
