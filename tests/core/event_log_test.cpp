// The event log: what each event writes, rotation at the size limit, and a
// log that cannot be written never stopping a check.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <string_view>
#include <unistd.h>

#include "app/stderr_lines.h"
#include "core/monitoring_cycle.h"
#include "mail/notice_delivery.h"
#include "platform/event_log_file.h"
#include "settings/settings_form.h"
#include "support/scripted_boxes.h"
#include "support/work_dir.h"
#include "sweep_rig.h"
#include "targets/editor_close.h"

namespace {

QStringList lines_of(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Kind and detail of each line; the time is checked on its own.
QStringList kinds_and_details(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines)
        out << line.section(QLatin1Char('\t'), 1);
    return out;
}

struct FailingTransport : MailTransport {
    std::optional<DeliveryFailure> send(const Notice&) override {
        return DeliveryFailure{DeliveryStage::Rcpt, 550, QStringLiteral("5.1.1 No such\r\nuser")};
    }
};

TEST(EventLog, LineIsLocalTimeWithOffsetKindAndDetailAndReadsBack) {
    const QDateTime at(QDate(2026, 12, 7), QTime(9, 30, 5), Qt::OffsetFromUTC, 9 * 3600);
    const MonitorEvent event{EventKind::Notice, at,
                             QStringLiteral("to=a@b result=sent subject=件名 2")};
    EXPECT_EQ(
        event_line(event),
        QStringLiteral("2026-12-07T09:30:05+09:00\tnotice\tto=a@b result=sent subject=件名 2"));
    const auto back = parse_event_line(event_line(event));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, EventKind::Notice);
    EXPECT_EQ(back->time, at);
    EXPECT_EQ(back->detail, event.detail);
    EXPECT_FALSE(parse_event_line(QStringLiteral("garbage\tline")));
}

TEST(EventLog, EveryKindOfEventFromChecksNoticesStopsAndSaves) {
    TempWorkDir dir;
    SweepRig rig(3, 2);
    EventLogFile log({dir.path("pelmora.log"), kLogRotateBytes, false});
    log.follow(rig.state.events, {});
    MonitoringCycle cycle(rig.state, rig.engine, rig.mail);

    rig.state.events.announce(EventKind::Start, start_detail(QStringLiteral("windows"), rig.state));
    rig.state.targets.records[2].flag = 1;
    rig.failing_sweep();
    rig.failing_sweep(); // the second notice reaches the limit
    cycle.release_stop();
    rig.failing_sweep();
    rig.failing_sweep();
    for (int i = 0; i < 3; ++i)
        rig.clean_sweep(); // the third clean check ends the stop
    FailingTransport transport;
    ScriptedBoxes boxes;
    NoticeDelivery delivery(transport, boxes, &rig.state.events);
    delivery.send(
        {QStringLiteral("admin@example.test"), {}, {}, {}, QStringLiteral("件名 X"), {}, {}})();
    close_settings(settings_fields(rig.state.settings), rig.state.settings, boxes,
                   dir.path("conf.ini"), &rig.state.events);
    close_target_editor(rig.state.targets, rig.state.monitor, boxes, dir.path("kanshi.ini"),
                        &rig.state.events);
    rig.state.events.announce(EventKind::End, {});

    const QStringList lines = lines_of(dir.path("pelmora.log"));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(
        QDateTime::fromString(lines[0].section(QLatin1Char('\t'), 0, 0), Qt::ISODate).isValid());
    EXPECT_TRUE(lines[0]
                    .section(QLatin1Char('\t'), 0, 0)
                    .contains(QRegularExpression("[+-]\\d\\d:\\d\\d$")));

    QStringList seen = kinds_and_details(lines);
    for (QString& s : seen) // times inside a check's detail vary
        s.replace(QRegularExpression("started=\\S+ duration_ms=\\d+|\\d+s$"), QStringLiteral("…"));
    const QString check_down = QStringLiteral("check\t… checked=2 not_answering=1");
    const QString check_clean = QStringLiteral("check\t… checked=2 not_answering=0");
    EXPECT_EQ(
        seen,
        (QStringList{
            QStringLiteral("start\tmode=windows targets=3 interval=5"),
            check_down,
            QStringLiteral("down\taddress=10.0.0.1 name=機器0"),
            check_down,
            QStringLiteral("stop\treason=limit notices_in_a_row=2"),
            QStringLiteral("resume\treason=release notices_in_a_row=2"),
            check_down,
            check_down,
            QStringLiteral("stop\treason=limit notices_in_a_row=2"),
            check_clean,
            QStringLiteral("up\taddress=10.0.0.1 name=機器0 down_for=…"),
            check_clean,
            check_clean,
            QStringLiteral("resume\treason=recovery notices_in_a_row=2"),
            QStringLiteral("notice\tto=admin@example.test result=failed stage=rcpt "
                           "code=550 subject=件名 X reply=5.1.1 No such user"),
            QStringLiteral("settings\tfile=%1 interval=5 stop_after=2").arg(dir.path("conf.ini")),
            QStringLiteral("targets\tfile=%1 targets=3").arg(dir.path("kanshi.ini")),
            QStringLiteral("end\t"),
        }));
}

TEST(EventLog, ControlCharactersFromOutsideStayVisibleOnOneLineInTheLogAndOnStderr) {
    using namespace std::string_view_literals;
    const std::pair<std::u16string_view, const char*> cases[] = {
        {u"550 \x1b[2J\x1b]0;title\x1b\\red\u009b31m"sv,
         R"(550 \x1b[2J\x1b]0;title\x1b\red\x9b31m)"},
        {u"cut\0here"sv, R"(cut\x00here)"},
        {u"bell\a tab\v feed\f del\x7f"sv, R"(bell\x07 tab\x0b feed\x0c del\x7f)"},
        {u"next\u0085line\u2028sep\u2029para"sv, R"(next\x85line\u2028sep\u2029para)"},
        {u"件名\r\nsecond\tline"sv, "件名 second line"},
    };
    TempWorkDir dir;
    EventLogFile log({dir.path("pelmora.log"), kLogRotateBytes, false});
    const int saved_stderr = ::dup(2);
    QFile said(dir.path("stderr"));
    ASSERT_TRUE(said.open(QIODevice::WriteOnly) && ::dup2(said.handle(), 2) == 2);
    QStringList logged, told;
    for (const auto& [text, shown] : cases) {
        const QString from_outside = QString::fromUtf16(text.data(), text.size());
        log.write({EventKind::Notice, QDateTime::currentDateTime(), "reply=" + from_outside});
        tell_on_stderr(from_outside);
        logged << "notice\treply=" + QString::fromUtf8(shown);
        told << "pelmora: " + QString::fromUtf8(shown);
    }
    ::dup2(saved_stderr, 2);
    EXPECT_EQ(kinds_and_details(lines_of(dir.path("pelmora.log"))), logged);
    EXPECT_EQ(QString::fromUtf8(dir.read("stderr")).split('\n', Qt::SkipEmptyParts), told);
}

TEST(EventLog, RotatesAtTheLimitKeepingOneOldFile) {
    TempWorkDir dir;
    const QString path = dir.path("pelmora.log");
    EventLogFile log({path, 300, false});
    const QDateTime at = QDateTime::currentDateTime();
    for (int i = 0; i < 20; ++i)
        log.write(
            {EventKind::TargetsSaved, at, QStringLiteral("file=kanshi.ini targets=%1").arg(i)});

    EXPECT_LE(QFileInfo(path).size(), 300);
    EXPECT_LE(QFileInfo(path + ".1").size(), 300);
    EXPECT_GT(QFileInfo(path + ".1").size(), 300 - 80); // full up to the line that did not fit
    const QStringList old_lines = lines_of(path + ".1"), new_lines = lines_of(path);
    EXPECT_TRUE(new_lines.last().endsWith(QStringLiteral("targets=19")));
    const int first_new = new_lines.first().section('=', -1).toInt();
    EXPECT_EQ(old_lines.last().section('=', -1).toInt(), first_new - 1); // no line lost between
}

TEST(EventLog, UnwritableLogSaysSoOnceAndTheCheckGoesOn) {
    TempWorkDir dir;
    ASSERT_TRUE(
        QDir(dir.root()).mkdir(QStringLiteral("pelmora.log"))); // a file cannot be opened there
    SweepRig rig;
    EventLogFile log({dir.path("pelmora.log"), kLogRotateBytes, false});
    QStringList told;
    log.follow(rig.state.events, [&](const QString& text) { told << text; });

    rig.failing_sweep();
    rig.failing_sweep();
    EXPECT_EQ(rig.notices(), 2u);
    EXPECT_EQ(rig.display.notices_in_a_row, notices_in_a_row_text(2));
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("pelmora.log")));
    EXPECT_EQ(rig.state.events.log_problem(), told[0]);
}

} // namespace
