// The history store on real files: what a check leaves comes back out, the
// hours roll up as they close, old rows go, and no failure of the file (read
// only, full, corrupt, a process killed in the middle of a write) stops the
// next check from being kept.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/monitor_events.h"
#include "history/history_store.h"
#include "support/work_dir.h"

namespace {

constexpr qint64 t0 = 1767225600; // 2026-01-01 00:00 UTC, an hour boundary

struct Rig {
    TempWorkDir dir;
    qint64 now = t0;
    HistoryOptions options(const QString& name = QStringLiteral("pelmora.db")) {
        HistoryOptions o;
        o.path = dir.path(name);
        o.now_s = [this] { return now; };
        return o;
    }
};

// One check at `at`: device i of `answers` answers when answers[i], with a
// round trip of (i + 1) ms plus the minute.
CheckRecord check(qint64 at, const std::vector<bool>& answers) {
    CheckRecord r{QDateTime::fromSecsSinceEpoch(at), 1500, int(answers.size()), 0, {}, {}};
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const QString n = QString::number(i + 1);
        r.samples.push_back({"10.0.0." + n, "機器" + n, answers[i], std::nullopt});
        if (answers[i])
            r.samples.back().rtt_us = qint64(i + 1) * 1000 + (at - t0) / 60;
        r.not_answering += !answers[i];
    }
    return r;
}

CheckRecord big_check(qint64 at) {
    return check(at, std::vector<bool>(1001, true));
}

DeviceChange change(DeviceChangeKind kind, int device, qint64 at, qint64 down_for = 0) {
    return {kind, QStringLiteral("10.0.0.%1").arg(device), QStringLiteral("機器%1").arg(device),
            QDateTime::fromSecsSinceEpoch(at), down_for};
}

std::vector<StoredSample> all_samples(HistoryStore& store, const QString& address = {}) {
    std::vector<StoredSample> rows;
    QString why;
    EXPECT_TRUE(store.export_samples(
        0, address, [&](const StoredSample& s) { rows.push_back(s); }, &why))
        << why.toStdString();
    return rows;
}

// What the store gives, one line a row to compare whole: times from t0,
// round trips in ms to 15 digits, "-" where there is none.
QString field(const QString& text) {
    return text;
}
QString field(qint64 n) {
    return QString::number(n);
}
QString field(std::optional<double> v) {
    return v ? QString::number(*v, 'g', 15) : "-";
}
template <class... F> QString fields(const F&... f) {
    return QStringList{field(f)...}.join(' ');
}
QString line(const StoredSample& s) {
    return fields(s.time_s - t0, s.address, s.name, s.answered, s.rtt_us.value_or(-1));
}
QString line(const DeviceFigures& f) {
    return fields(f.address, f.availability_24h, f.availability_30d, f.mean_rtt_ms_24h);
}
QString line(const RttBucket& b) {
    return fields(b.start_s - t0, b.end_s - t0, b.checks, b.answered, b.min_ms, b.median_ms,
                  b.max_ms);
}
QString line(const StoredEvent& e) {
    return fields(e.time_s - t0, event_kind_name(device_event_kind(e.kind)), e.address, e.name,
                  e.down_for_s);
}
QString line(const DeviceLastState& s) {
    return fields(s.address, s.name, s.down, s.since.toSecsSinceEpoch() - t0);
}
QString line(const TimeSpan& s) {
    return fields(s.from_s - t0, s.to_s - t0);
}
template <class T> QStringList lines(const std::vector<T>& all) {
    QStringList out;
    for (const T& one : all)
        out << line(one);
    return out;
}

TEST(HistoryStore, KeepsChecksRollsUpClosedHoursAndAnswersTheQueries) {
    Rig rig;
    HistoryStore store(rig.options());
    // 10.0.0.1 always answers, .2 every other check, .3 never; a check every
    // 10 minutes for 2 h 30 min, so two hours close and one stays open
    const DeviceChange changes[] = {change(DeviceChangeKind::Down, 3, t0),
                                    change(DeviceChangeKind::Down, 2, t0 + 600),
                                    change(DeviceChangeKind::Up, 2, t0 + 1200, 600)};
    for (int n = 0; n < 16; ++n) {
        rig.now = t0 + n * 600;
        CheckRecord r = check(rig.now, {true, n % 2 == 0, false});
        if (n < 3)
            r.changes.push_back(changes[n]);
        ASSERT_EQ(store.keep(r), QString());
    }

    QStringList rows = lines(all_samples(store));
    ASSERT_EQ(rows.size(), 48);
    EXPECT_EQ(rows.mid(0, 3) << rows.back(),
              (QStringList{"0 10.0.0.1 機器1 1 1000", "0 10.0.0.2 機器2 1 2000",
                           "0 10.0.0.3 機器3 0 -1", "9000 10.0.0.3 機器3 0 -1"}));
    EXPECT_EQ(all_samples(store, QStringLiteral("10.0.0.3")).size(), 16u);

    // 1 ms plus the minutes (0..150); .2 2 ms on the even checks (0..140)
    QStringList figures = lines(store.figures(rig.now));
    figures.sort();
    EXPECT_EQ(figures,
              (QStringList{"10.0.0.1 1 1 1.075", "10.0.0.2 0.5 0.5 2.07", "10.0.0.3 0 0 -"}));

    // hourly buckets: the two closed hours from the rollups, the open one
    // from the raw samples; six checks an hour
    const auto graph = [&](const char* address, GraphRange range) {
        return store.graph_input(QLatin1String(address), range, rig.now);
    };
    EXPECT_EQ(lines(graph("10.0.0.1", GraphRange::Week).buckets),
              (QStringList{"0 3600 6 6 1 1.025 1.05", "3600 7200 6 6 1.06 1.085 1.11",
                           "7200 10800 4 4 1.12 1.135 1.15"}));
    // the checks of the last hour, both ends included, each as long as it took
    const QStringList hour = lines(graph("10.0.0.2", GraphRange::Hour).buckets);
    ASSERT_EQ(hour.size(), 7);
    EXPECT_EQ(hour.back(), "9000 9002 1 0 - - -");

    // down spans: .2 was down for ten minutes, .3 still is (up to now)
    EXPECT_EQ(lines(graph("10.0.0.2", GraphRange::Day).down), QStringList{"600 1200"});
    EXPECT_EQ(lines(graph("10.0.0.3", GraphRange::Day).down), QStringList{"0 9000"});

    EXPECT_EQ(lines(store.events({}, 0, 10)), // newest first
              (QStringList{"1200 up 10.0.0.2 機器2 600", "600 down 10.0.0.2 機器2 0",
                           "0 down 10.0.0.3 機器3 0"}));
    // by device, from a time, and as many as asked
    EXPECT_EQ((QList<QStringList>{lines(store.events(QStringLiteral("10.0.0.3"), 0, 10)),
                                  lines(store.events(QStringLiteral("10.0.0.2"), t0 + 1200, 10)),
                                  lines(store.events({}, 0, 1))}),
              (QList<QStringList>{{"0 down 10.0.0.3 機器3 0"},
                                  {"1200 up 10.0.0.2 機器2 600"},
                                  {"1200 up 10.0.0.2 機器2 600"}}));
}

// 1001 devices at a check every two minutes: an hour is rolled up a slice of
// devices per check, and while it is half done every figure and graph still
// counts each check once. All answer in the first hour only.
TEST(HistoryStore, AnHourRolledUpInSlicesCountsEveryCheckOnce) {
    Rig rig;
    HistoryStore store(rig.options());
    for (int n = 0; n < 75; ++n) {
        rig.now = t0 + n * 120;
        ASSERT_EQ(store.keep(check(rig.now, std::vector<bool>(1001, n < 30))), QString());
        const QString share = field(std::optional(std::min(n + 1, 30) / double(n + 1)));
        const QStringList figures = lines(store.figures(rig.now));
        for (const QString address : {"10.0.0.1", "10.0.0.1001"}) {
            int checks = 0;
            for (const RttBucket& b : store.graph_input(address, GraphRange::Week, rig.now).buckets)
                checks += b.checks;
            EXPECT_EQ(figures.filter(address + ' ').value(0).section(' ', 0, 2) + ' ' +
                          QString::number(checks),
                      QStringLiteral("%1 %2 %2 %3").arg(address, share).arg(n + 1))
                << n;
        }
    }
}

TEST(HistoryStore, LastStatesOutliveARestartAndNamesFollowTheAddress) {
    Rig rig;
    {
        HistoryStore store(rig.options());
        CheckRecord first = check(t0, {false, true, false});
        first.changes = {change(DeviceChangeKind::Down, 1, t0),
                         change(DeviceChangeKind::Down, 3, t0)};
        ASSERT_EQ(store.keep(first), QString());
        CheckRecord second = check(t0 + 60, {true, true, false});
        second.samples[1].name = QStringLiteral("改名");
        second.changes = {change(DeviceChangeKind::Up, 1, t0 + 60, 60)};
        ASSERT_EQ(store.keep(second), QString());
    }
    HistoryStore reopened(rig.options());
    EXPECT_EQ(lines(reopened.last_states()),
              (QStringList{"10.0.0.1 機器1 0 60", "10.0.0.2 改名 0 60", "10.0.0.3 機器3 1 0"}));
    // an unmonitored event ends the down period
    CheckRecord third = check(t0 + 120, {true, true});
    third.changes = {change(DeviceChangeKind::Unmonitored, 3, t0 + 120, 120)};
    ASSERT_EQ(reopened.keep(third), QString());
    EXPECT_EQ(lines(reopened.last_states()).value(2).section(' ', 0, 2), "10.0.0.3 機器3 0");
}

TEST(HistoryStore, DropsRawSamplesAndRollupsAsTheyAgeOutLittleByLittle) {
    Rig rig;
    HistoryOptions options = rig.options();
    options.raw_days = 1;
    options.rollup_days = 3;
    HistoryStore store(options);
    for (qint64 at = t0; at <= t0 + 5 * 86400; at += 1200) {
        rig.now = at;
        CheckRecord r = check(at, {true});
        if ((at - t0) % 86400 == 0)
            r.changes.push_back(change(DeviceChangeKind::Down, 1, at));
        ASSERT_EQ(store.keep(r), QString());
    }
    const std::vector<StoredSample> rows = all_samples(store);
    ASSERT_FALSE(rows.empty());
    EXPECT_GE(rows.front().time_s, rig.now - 86400 - 3600); // the open hour waits for its rollup
    const GraphInput year =
        store.graph_input(QStringLiteral("10.0.0.1"), GraphRange::Year, rig.now);
    ASSERT_FALSE(year.buckets.empty());
    EXPECT_GE(year.buckets.front().start_s, rig.now - 3 * 86400 - 3600);
    EXPECT_EQ(year.buckets.back().start_s, rig.now - rig.now % 3600); // up to the open hour
    const std::vector<StoredEvent> events = store.events({}, 0, 100);
    ASSERT_EQ(events.size(), 4u); // those of the last three days
    EXPECT_EQ(events.back().time_s, t0 + 2 * 86400);
}

// -- faults ----------------------------------------------------------------

TEST(HistoryStoreFaults, ReadOnlyFolderIsReportedAndTheNextCheckTriesAgain) {
    Rig rig;
    const QString folder = rig.dir.path(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkdir(folder));
    HistoryStore store(rig.options(QStringLiteral("ro/pelmora.db")));
    ::chmod(QFile::encodeName(folder).constData(), 0505);
    {
        AsUnprivileged nobody; // as root the folder's mode would not stop the write
        const QString why = store.keep(check(t0, {true}));
        EXPECT_TRUE(why.contains(QStringLiteral("pelmora.db"))) << why.toStdString();
        EXPECT_FALSE(why.contains(QLatin1Char('\n')));
    }
    ::chmod(QFile::encodeName(folder).constData(), 0705);
    EXPECT_EQ(store.keep(check(t0 + 60, {true})), QString());
    EXPECT_EQ(all_samples(store).size(), 1u);
}

TEST(HistoryStoreFaults, FullDiskFailsOneCheckAndKeepsTheEarlierOnes) {
    NEED(::geteuid() == 0, "needs root: mounts a small tmpfs");
    Rig rig;
    const QString mount_point = rig.dir.path(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkdir(mount_point));
    if (QProcess::execute("mount",
                          {"-t", "tmpfs", "-o", "size=1m,mode=0755", "tmpfs", mount_point}))
        GTEST_SKIP() << "this system lets no tmpfs be mounted here";
    struct Unmount {
        QString at;
        ~Unmount() { QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), at}); }
    } unmount{mount_point};

    HistoryStore store(rig.options(QStringLiteral("small/pelmora.db")));
    int kept = 0;
    QString why;
    for (int n = 0; n < 200 && why.isEmpty(); ++n) {
        rig.now = t0 + n * 60;
        why = store.keep(big_check(rig.now));
        kept += why.isEmpty();
    }
    ASSERT_FALSE(why.isEmpty()) << "1 MB never filled";
    EXPECT_TRUE(why.contains(QStringLiteral("書き込めません"))) << why.toStdString();
    EXPECT_GT(kept, 0);
    EXPECT_EQ(all_samples(store).size(), std::size_t(kept) * 1001);

    ASSERT_EQ(QProcess::execute("mount", {"-o", "remount,size=64m", mount_point}), 0);
    rig.now += 60;
    EXPECT_EQ(store.keep(big_check(rig.now)), QString());
    EXPECT_EQ(all_samples(store).size(), std::size_t(kept + 1) * 1001);
}

TEST(HistoryStoreFaults, CorruptFileIsMovedAsideWithItsCompanionsAndAFreshOneStarted) {
    Rig rig;
    const QByteArray garbage(8192, '\x5a');
    rig.dir.write(QStringLiteral("pelmora.db"), garbage);
    rig.dir.write(QStringLiteral("pelmora.db-wal"), "wal bytes");
    rig.dir.write(QStringLiteral("pelmora.db-shm"), "shm bytes");
    HistoryStore store(rig.options());
    const QString why = store.keep(check(t0, {true, false}));
    EXPECT_TRUE(why.contains(QStringLiteral("pelmora.db.corrupt-"))) << why.toStdString();

    const QStringList aside =
        QDir(rig.dir.root()).entryList({QStringLiteral("pelmora.db.corrupt-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 3) << aside.join(QLatin1Char(' ')).toStdString();
    const QString base = aside.filter(QRegularExpression(QStringLiteral("\\d$")))[0];
    EXPECT_EQ(rig.dir.read(base), garbage);
    EXPECT_EQ(rig.dir.read(base + QStringLiteral("-wal")), "wal bytes");
    EXPECT_TRUE(QFile::exists(rig.dir.path(base + QStringLiteral("-shm")))); // rebuilt, not deleted
    // the check went into the fresh file, and the next one goes there too
    EXPECT_EQ(store.keep(check(t0 + 60, {true, false})), QString());
    EXPECT_EQ(all_samples(store).size(), 4u);
}

TEST(HistoryStoreFaults, RootRefusesADatabaseThatIsASymlink) {
    NEED(::geteuid() == 0, "needs root: the file rules apply to root");
    Rig rig;
    rig.dir.write(QStringLiteral("elsewhere"), "root's own file");
    ASSERT_TRUE(QFile::link(rig.dir.path(QStringLiteral("elsewhere")), rig.dir.path("pelmora.db")));
    HistoryStore store(rig.options());
    EXPECT_FALSE(store.keep(check(t0, {true})).isEmpty());
    EXPECT_EQ(rig.dir.read(QStringLiteral("elsewhere")), "root's own file");
}

// A process killed inside the transaction of its fourth check: the three
// before it are there, the fourth is not, and the store goes on.
TEST(HistoryStoreFaults, KillDuringAWriteLosesOnlyTheCheckInFlight) {
    Rig rig;
    {
        HistoryStore store(rig.options());
        for (int n = 0; n < 3; ++n)
            ASSERT_EQ(store.keep(big_check(t0 + n * 60)), QString());
    }
    const QString paused = rig.dir.path(QStringLiteral("paused"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HistoryOptions options = rig.options();
        options.inside_write = history_pause_at(paused);
        HistoryStore store(options);
        store.keep(big_check(t0 + 3 * 60));
        ::_exit(0);
    }
    for (int waited = 0; !QFile::exists(paused) && waited < 1000; ++waited)
        QThread::msleep(10);
    const bool reached = QFile::exists(paused);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(reached) << "the child never reached the middle of its write";
    ASSERT_TRUE(WIFSIGNALED(status));

    HistoryStore store(rig.options());
    std::vector<StoredSample> rows = all_samples(store);
    ASSERT_EQ(rows.size(), 3u * 1001);
    EXPECT_EQ(rows.back().time_s, t0 + 2 * 60);
    EXPECT_EQ(store.keep(big_check(t0 + 4 * 60)), QString());
    EXPECT_EQ(all_samples(store).size(), 4u * 1001);
}

} // namespace
