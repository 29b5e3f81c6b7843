#include "core/monitor_events.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "core/shared_state.h"

namespace {

constexpr std::array<std::pair<EventKind, const char*>, 12> kNames{{
    {EventKind::Start, "start"},
    {EventKind::End, "end"},
    {EventKind::Check, "check"},
    {EventKind::Notice, "notice"},
    {EventKind::StopEntered, "stop"},
    {EventKind::StopLeft, "resume"},
    {EventKind::SettingsSaved, "settings"},
    {EventKind::TargetsSaved, "targets"},
    {EventKind::DeviceDown, "down"},
    {EventKind::DeviceUp, "up"},
    {EventKind::DeviceUnmonitored, "unmonitored"},
    {EventKind::History, "history"},
}};

// A detail is one line and its fields are split by tabs in the file.
QString one_line(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar c : {QChar('\r'), QChar('\n'), QChar('\t')})
        text.replace(c, QLatin1Char(' '));
    return text.trimmed();
}

} // namespace

QString visible_line(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\n' && i > 0 && text[i - 1] == u'\r')
            continue; // CR LF is one break
        if (c == u'\r' || c == u'\n' || c == u'\t')
            out += u' ';
        else if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
            out += QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'));
        else if (c == 0x2028 || c == 0x2029)
            out += QStringLiteral("\\u%1").arg(int(c), 4, 16);
        else
            out += text[i];
    }
    return out;
}

QString iso_local_time(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString event_kind_name(EventKind kind) {
    for (const auto& [k, name] : kNames)
        if (k == kind)
            return QString::fromLatin1(name);
    return {};
}

std::optional<EventKind> event_kind_from_name(const QString& name) {
    for (const auto& [k, n] : kNames)
        if (name == QLatin1String(n))
            return k;
    return std::nullopt;
}

void MonitorEvents::announce(EventKind kind, const QString& detail, const QDateTime& time) {
    owner_.check("MonitorEvents");
    // a listener may go while being told (a window closing)
    listeners_.tell(MonitorEvent{kind, time, one_line(detail)});
}

void MonitorEvents::set_log_problem(const QString& text) {
    owner_.check("MonitorEvents");
    log_problem_ = text;
}

int MonitorEvents::listen(Listener listener) {
    owner_.check("MonitorEvents");
    return listeners_.add(std::move(listener));
}

void MonitorEvents::unlisten(int id) {
    owner_.check("MonitorEvents");
    listeners_.remove(id);
}

QString check_detail(const QDateTime& started, qint64 duration_ms, int checked, int not_answering) {
    return QStringLiteral("started=%1 duration_ms=%2 checked=%3 not_answering=%4")
        .arg(iso_local_time(started))
        .arg(duration_ms)
        .arg(checked)
        .arg(not_answering);
}

QString check_failed_detail(const QDateTime& started, qint64 duration_ms, const QString& reason) {
    return QStringLiteral("started=%1 duration_ms=%2 echo=failed reason=%3")
        .arg(iso_local_time(started))
        .arg(duration_ms)
        .arg(reason);
}

QString notice_sent_detail(const QString& recipient, const QString& subject) {
    return QStringLiteral("to=%1 result=sent subject=%2").arg(recipient, subject);
}

QString notice_superseded_detail(const QString& recipient, const QString& subject) {
    return QStringLiteral("to=%1 result=superseded subject=%2").arg(recipient, subject);
}

QString notice_failed_detail(const QString& recipient, const QString& subject, const QString& stage,
                             int code, const QString& reply) {
    return QStringLiteral("to=%1 result=failed stage=%2 code=%3 subject=%4 reply=%5")
        .arg(recipient, stage)
        .arg(code)
        .arg(subject, one_line(reply));
}

QString start_detail(const QString& mode, const SharedState& state) {
    return QStringLiteral("mode=%1 targets=%2 interval=%3")
        .arg(mode)
        .arg(state.targets.count)
        .arg(state.settings.interval_minutes);
}

QString stop_detail(StopChange why, int notices_in_a_row) {
    const char* reason = why == StopChange::Limit     ? "limit"
                         : why == StopChange::Release ? "release"
                                                      : "recovery";
    return QStringLiteral("reason=%1 notices_in_a_row=%2")
        .arg(QLatin1String(reason))
        .arg(notices_in_a_row);
}

EventKind device_event_kind(DeviceChangeKind kind) {
    switch (kind) {
    case DeviceChangeKind::Down:
        return EventKind::DeviceDown;
    case DeviceChangeKind::Up:
        return EventKind::DeviceUp;
    case DeviceChangeKind::Unmonitored:
        return EventKind::DeviceUnmonitored;
    }
    return EventKind::DeviceDown;
}

QString duration_text(qint64 seconds) {
    seconds = std::max<qint64>(seconds, 0);
    const qint64 days = seconds / 86400, hours = seconds / 3600 % 24, minutes = seconds / 60 % 60;
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    QString text;
    if (days > 0)
        text = QString::number(days) + u'd' + two(hours) + u'h';
    else if (hours > 0)
        text = QString::number(hours) + u'h';
    if (!text.isEmpty())
        return text + two(minutes) + u'm' + two(seconds % 60) + u's';
    if (minutes > 0)
        return QString::number(minutes) + u'm' + two(seconds % 60) + u's';
    return QString::number(seconds) + u's';
}

QString device_change_detail(const DeviceChange& change) {
    QString detail = QStringLiteral("address=%1 name=%2").arg(change.address, change.name);
    if (change.kind != DeviceChangeKind::Down)
        detail += QStringLiteral(" down_for=") + duration_text(change.down_for_s);
    return detail;
}

QString detail_address(const QString& detail) {
    if (!detail.startsWith(QLatin1String("address=")))
        return {};
    return detail.section(QLatin1Char(' '), 0, 0).mid(8);
}

QString history_detail(const QString& why) {
    return why.isEmpty() ? QStringLiteral("result=kept")
                         : QStringLiteral("result=failed reason=") + why;
}

QString event_line(const MonitorEvent& event) {
    return iso_local_time(event.time) + QLatin1Char('\t') + event_kind_name(event.kind) +
           QLatin1Char('\t') + event.detail;
}

std::optional<MonitorEvent> parse_event_line(const QString& line) {
    const QStringList parts = line.split(QLatin1Char('\t'));
    if (parts.size() < 3)
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(parts[0], Qt::ISODate);
    const std::optional<EventKind> kind = event_kind_from_name(parts[1]);
    if (!time.isValid() || !kind)
        return std::nullopt;
    return MonitorEvent{*kind, time, parts.mid(2).join(QLatin1Char(' '))};
}

std::vector<MonitorEvent> read_recent_events(const QString& path, int limit) {
    std::vector<MonitorEvent> newest_first;
    for (const QString& file_path : {path, path + QStringLiteral(".1")}) {
        QFile file(file_path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
            if (static_cast<int>(newest_first.size()) >= limit)
                return newest_first;
            if (auto event = parse_event_line(*line))
                newest_first.push_back(*event);
        }
    }
    return newest_first;
}
