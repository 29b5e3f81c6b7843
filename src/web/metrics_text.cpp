#include "web/metrics_text.h"

#include "web/web_snapshot.h"

namespace {

class Families {
  public:
    void family(const char* name, const char* type, const char* help) {
        out_ += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                    .arg(QLatin1String(name), QLatin1String(help), QLatin1String(type));
    }
    void sample(const char* name, const QString& labels, const QString& value) {
        out_ += QLatin1String(name);
        if (!labels.isEmpty())
            out_ += QLatin1Char('{') + labels + QLatin1Char('}');
        out_ += QLatin1Char(' ') + value + QLatin1Char('\n');
    }
    QByteArray bytes() const { return out_.toUtf8(); }

  private:
    QString out_;
};

QString number(double value) {
    return QString::number(value, 'g', 15);
}

QString integer(qint64 value) {
    return QString::number(value);
}

QString target_labels(const WebTarget& t) {
    return QStringLiteral("record=\"%1\",address=\"%2\",name=\"%3\"")
        .arg(t.record)
        .arg(metric_label_value(t.address), metric_label_value(t.name));
}

bool checked_monitored(const WebTarget& t) {
    return t.state == TargetState::Answering || t.state == TargetState::Silent;
}

} // namespace

QString metric_label_value(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            out += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
}

QByteArray metrics_text(const WebSnapshot& s) {
    Families m;
    m.family("pelmora_target_up", "gauge",
             "1 when the monitored target answered the last check, 0 when it did not.");
    for (const WebTarget& t : s.targets)
        if (checked_monitored(t))
            m.sample("pelmora_target_up", target_labels(t),
                     t.state == TargetState::Answering ? QStringLiteral("1") : QStringLiteral("0"));
    m.family("pelmora_target_rtt_seconds", "gauge",
             "Round trip of the target's answer in the last check.");
    for (const WebTarget& t : s.targets)
        if (t.state == TargetState::Answering && t.rtt_ms)
            m.sample("pelmora_target_rtt_seconds", target_labels(t), number(*t.rtt_ms / 1000.0));
    m.family("pelmora_target_state_change_timestamp_seconds", "gauge",
             "When the target entered its present state, seconds since the epoch.");
    for (const WebTarget& t : s.targets)
        if (t.since_s)
            m.sample("pelmora_target_state_change_timestamp_seconds", target_labels(t),
                     integer(*t.since_s));
    m.family("pelmora_last_check_timestamp_seconds", "gauge",
             "Start of the last check, seconds since the epoch.");
    if (s.last_check_s)
        m.sample("pelmora_last_check_timestamp_seconds", {}, integer(*s.last_check_s));
    m.family("pelmora_check_duration_seconds", "gauge", "How long the last check's echo took.");
    if (s.last_check_s)
        m.sample("pelmora_check_duration_seconds", {}, number(s.last_duration_s));
    m.family("pelmora_checks_total", "counter", "Checks made since the program started.");
    m.sample("pelmora_checks_total", {}, integer(s.checks_total));
    m.family("pelmora_notices_total", "counter", "Notices since the program started, by result.");
    m.sample("pelmora_notices_total", QStringLiteral("result=\"sent\""), integer(s.notices_sent));
    m.sample("pelmora_notices_total", QStringLiteral("result=\"failed\""),
             integer(s.notices_failed));
    m.sample("pelmora_notices_total", QStringLiteral("result=\"superseded\""),
             integer(s.notices_superseded));
    m.family("pelmora_delivery_stopped", "gauge", "1 while mail delivery is stopped.");
    m.sample("pelmora_delivery_stopped", {}, s.delivery_stopped ? QStringLiteral("1") : "0");
    m.family("pelmora_notices_in_a_row", "gauge", "Failure notices attempted in a row.");
    m.sample("pelmora_notices_in_a_row", {}, integer(s.notices_in_a_row));
    int up = 0, down = 0, unmonitored = 0, unknown = 0;
    for (const WebTarget& t : s.targets) {
        switch (t.state) {
        case TargetState::Answering:
            ++up;
            break;
        case TargetState::Silent:
            ++down;
            break;
        case TargetState::NotMonitored:
            ++unmonitored;
            break;
        case TargetState::Unchecked:
            ++unknown;
            break;
        }
    }
    m.family("pelmora_targets", "gauge", "Targets in the list by state.");
    m.sample("pelmora_targets", QStringLiteral("state=\"up\""), integer(up));
    m.sample("pelmora_targets", QStringLiteral("state=\"down\""), integer(down));
    m.sample("pelmora_targets", QStringLiteral("state=\"unmonitored\""), integer(unmonitored));
    m.sample("pelmora_targets", QStringLiteral("state=\"unknown\""), integer(unknown));
    m.family("pelmora_build_info", "gauge", "The running version; always 1.");
    m.sample("pelmora_build_info",
             QStringLiteral("version=\"%1\"").arg(metric_label_value(s.version)), "1");
    m.family("pelmora_interval_seconds", "gauge", "The monitoring interval in use.");
    m.sample("pelmora_interval_seconds", {},
             number(static_cast<double>(s.interval_minutes) * s.minute_ms / 1000.0));
    return m.bytes();
}
