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
#include <sys/wait.h>
#include <unistd.h>

#include "history/history_store.h"
#include "support/work_dir.h"

namespace {

constexpr qint64 t0 = 1767225600; // 2026-01-01 00:00 UTC, an hour boundary

// Where a test needs root, it skips without it, except under CI where the
// skip would hide a part that was never tested.
#define NEEDS_ROOT(why)                                                                            \
    if (::geteuid() != 0) {                                                                        \
        if (qEnvironmentVariable("CI") == QLatin1String("true"))                                   \
            FAIL() << "needs root: " << why;                                                       \
        GTEST_SKIP() << "needs root: " << why;                                                     \
    }

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
CheckRecord check(qint64 at, const std::vector<bool>& answers, int devices_from = 1) {
    CheckRecord r;
    r.started = QDateTime::fromSecsSinceEpoch(at);
    r.duration_ms = 1500;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        CheckSample s{QStringLiteral("10.0.0.%1").arg(devices_from + int(i)),
                      QStringLiteral("機器%1").arg(devices_from + int(i)), answers[i],
                      std::nullopt};
        if (answers[i])
            s.rtt_us = qint64(i + 1) * 1000 + (at - t0) / 60;
        r.samples.push_back(s);
        ++r.checked;
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

const DeviceFigures* figures_of(const std::vector<DeviceFigures>& all, const char* address) {
    for (const DeviceFigures& f : all)
        if (f.address == QLatin1String(address))
            return &f;
    return nullptr;
}

TEST(HistoryStore, KeepsChecksRollsUpClosedHoursAndAnswersTheQueries) {
    Rig rig;
    HistoryStore store(rig.options());
    // 10.0.0.1 always answers, .2 every other check, .3 never; a check every
    // 10 minutes for 2 h 30 min, so two hours close and one stays open
    for (int n = 0; n < 16; ++n) {
        rig.now = t0 + n * 600;
        CheckRecord r = check(rig.now, {true, n % 2 == 0, false});
        if (n == 0)
            r.changes.push_back(change(DeviceChangeKind::Down, 3, rig.now));
        if (n == 1)
            r.changes.push_back(change(DeviceChangeKind::Down, 2, rig.now));
        if (n == 2)
            r.changes.push_back(change(DeviceChangeKind::Up, 2, rig.now, 600));
        ASSERT_EQ(store.keep(r), QString());
    }

    const std::vector<StoredSample> rows = all_samples(store);
    ASSERT_EQ(rows.size(), 48u);
    EXPECT_EQ(rows.front().time_s, t0);
    EXPECT_EQ(rows.back().time_s, t0 + 15 * 600);
    EXPECT_EQ(rows[1].address, QStringLiteral("10.0.0.2"));
    EXPECT_EQ(rows[1].name, QStringLiteral("機器2"));
    EXPECT_EQ(rows[0].rtt_us, std::optional<qint64>(1000));
    EXPECT_FALSE(rows[2].answered);
    EXPECT_FALSE(rows[2].rtt_us);
    EXPECT_EQ(all_samples(store, QStringLiteral("10.0.0.3")).size(), 16u);

    const std::vector<DeviceFigures> figures = store.figures(rig.now);
    ASSERT_EQ(figures.size(), 3u);
    struct Want {
        const char* address;
        double availability;
        std::optional<double> mean_ms;
    } const want[] = {
        {"10.0.0.1", 1.0, 1.0 + 7.5 * 10 / 1000.0}, // 1 ms plus the minutes, 0..150
        {"10.0.0.2", 0.5, 2.0 + 7.0 * 10 / 1000.0}, // the even checks: minutes 0..140
        {"10.0.0.3", 0.0, std::nullopt},
    };
    for (const Want& w : want) {
        const DeviceFigures* f = figures_of(figures, w.address);
        ASSERT_TRUE(f) << w.address;
        EXPECT_DOUBLE_EQ(f->availability_24h.value_or(-1), w.availability) << w.address;
        EXPECT_DOUBLE_EQ(f->availability_30d.value_or(-1), w.availability) << w.address;
        ASSERT_EQ(f->mean_rtt_ms_24h.has_value(), w.mean_ms.has_value()) << w.address;
        if (w.mean_ms) {
            EXPECT_NEAR(*f->mean_rtt_ms_24h, *w.mean_ms, 1e-9) << w.address;
        }
    }

    // hourly buckets: the two closed hours from the rollups, the open one
    // from the raw samples; each hour six checks
    const GraphInput week =
        store.graph_input(QStringLiteral("10.0.0.1"), GraphRange::Week, rig.now);
    ASSERT_EQ(week.buckets.size(), 3u);
    for (int h = 0; h < 3; ++h) {
        const RttBucket& b = week.buckets[h];
        EXPECT_EQ(b.start_s, t0 + h * 3600);
        EXPECT_EQ(b.end_s, t0 + (h + 1) * 3600);
        EXPECT_EQ(b.checks, h < 2 ? 6 : 4);
        EXPECT_EQ(b.answered, b.checks);
        const double first = 1.0 + h * 60 / 1000.0; // the minute's part, in ms
        EXPECT_DOUBLE_EQ(b.min_ms.value_or(-1), first);
        EXPECT_DOUBLE_EQ(b.max_ms.value_or(-1), first + (b.checks - 1) * 10 / 1000.0);
        EXPECT_NEAR(b.median_ms.value_or(-1), first + (b.checks - 1) * 5 / 1000.0, 1e-9);
    }
    const GraphInput hour =
        store.graph_input(QStringLiteral("10.0.0.2"), GraphRange::Hour, rig.now);
    ASSERT_EQ(hour.buckets.size(), 7u); // the checks of the last hour, both ends included
    EXPECT_EQ(hour.buckets.back().start_s, rig.now);
    EXPECT_EQ(hour.buckets.back().checks, 1);
    EXPECT_EQ(hour.buckets.back().answered, 0);
    EXPECT_FALSE(hour.buckets.back().median_ms);

    // down spans: .2 was down for ten minutes, .3 still is (up to now)
    const GraphInput day2 = store.graph_input(QStringLiteral("10.0.0.2"), GraphRange::Day, rig.now);
    ASSERT_EQ(day2.down.size(), 1u);
    EXPECT_EQ(day2.down[0].from_s, t0 + 600);
    EXPECT_EQ(day2.down[0].to_s, t0 + 1200);
    const GraphInput day3 = store.graph_input(QStringLiteral("10.0.0.3"), GraphRange::Day, rig.now);
    ASSERT_EQ(day3.down.size(), 1u);
    EXPECT_EQ(day3.down[0].to_s, rig.now);

    const std::vector<StoredEvent> events = store.events({}, 0, 10);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, DeviceChangeKind::Up); // newest first
    EXPECT_EQ(events[0].down_for_s, 600);
    EXPECT_EQ(store.events(QStringLiteral("10.0.0.3"), 0, 10).size(), 1u);
    EXPECT_EQ(store.events(QStringLiteral("10.0.0.2"), t0 + 1200, 10).size(), 1u);
    EXPECT_EQ(store.events({}, 0, 1).size(), 1u);
}

// 1001 devices at a check every two minutes: an hour is rolled up a slice of
// devices per check, and while it is half done every figure and graph still
// counts each check once. All answer in the first hour only.
TEST(HistoryStore, AnHourRolledUpInSlicesCountsEveryCheckOnce) {
    Rig rig;
    HistoryStore store(rig.options());
    const QString first = QStringLiteral("10.0.0.1"), last = QStringLiteral("10.0.0.1001");
    for (int n = 0; n < 75; ++n) {
        rig.now = t0 + n * 120;
        ASSERT_EQ(store.keep(check(rig.now, std::vector<bool>(1001, n < 30))), QString());
        const double answered = std::min(n + 1, 30), kept = n + 1;
        const std::vector<DeviceFigures> figures = store.figures(rig.now);
        for (const char* address : {"10.0.0.1", "10.0.0.1001"}) {
            const DeviceFigures* f = figures_of(figures, address);
            ASSERT_TRUE(f);
            EXPECT_DOUBLE_EQ(f->availability_24h.value_or(-1), answered / kept) << n << address;
            EXPECT_DOUBLE_EQ(f->availability_30d.value_or(-1), answered / kept) << n << address;
        }
        for (const QString& address : {first, last}) {
            int checks = 0;
            for (const RttBucket& b : store.graph_input(address, GraphRange::Week, rig.now).buckets)
                checks += b.checks;
            EXPECT_EQ(checks, n + 1) << n;
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
    std::vector<DeviceLastState> states = reopened.last_states();
    ASSERT_EQ(states.size(), 3u);
    struct Want {
        const char* name;
        bool down;
        qint64 since;
    } const want[] = {{"機器1", false, t0 + 60}, {"改名", false, t0 + 60}, {"機器3", true, t0}};
    for (std::size_t i = 0; i < states.size(); ++i) {
        EXPECT_EQ(states[i].address, QStringLiteral("10.0.0.%1").arg(i + 1));
        EXPECT_EQ(states[i].name, QString::fromUtf8(want[i].name));
        EXPECT_EQ(states[i].down, want[i].down) << i;
        EXPECT_EQ(states[i].since.toSecsSinceEpoch(), want[i].since) << i;
    }
    // an unmonitored event ends the down period
    CheckRecord third = check(t0 + 120, {true, true});
    third.changes = {change(DeviceChangeKind::Unmonitored, 3, t0 + 120, 120)};
    ASSERT_EQ(reopened.keep(third), QString());
    EXPECT_FALSE(reopened.last_states()[2].down);
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

bool files_equal(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.readAll() == bytes;
}

TEST(HistoryStoreFaults, ReadOnlyFolderIsReportedAndTheNextCheckTriesAgain) {
    Rig rig;
    const QString folder = rig.dir.path(QStringLiteral("ro"));
    ASSERT_TRUE(QDir().mkdir(folder));
    HistoryOptions options = rig.options();
    options.path = folder + QStringLiteral("/pelmora.db");
    HistoryStore store(options);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                      QFileDevice::ReadOther | QFileDevice::ExeOther);
    {
        AsUnprivileged nobody; // as root the folder's mode would not stop the write
        const QString why = store.keep(check(t0, {true}));
        EXPECT_TRUE(why.contains(QStringLiteral("pelmora.db"))) << why.toStdString();
        EXPECT_FALSE(why.contains(QLatin1Char('\n')));
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                      QFileDevice::ExeOther);
    EXPECT_EQ(store.keep(check(t0 + 60, {true})), QString());
    EXPECT_EQ(all_samples(store).size(), 1u);
}

TEST(HistoryStoreFaults, FullDiskFailsOneCheckAndKeepsTheEarlierOnes) {
    NEEDS_ROOT("mounts a small tmpfs");
    Rig rig;
    const QString mount_point = rig.dir.path(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkdir(mount_point));
    if (QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                           QStringLiteral("size=1m,mode=0755"), QStringLiteral("tmpfs"),
                           mount_point}) != 0)
        GTEST_SKIP() << "this system lets no tmpfs be mounted here";
    struct Unmount {
        QString at;
        ~Unmount() { QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), at}); }
    } unmount{mount_point};

    HistoryOptions options = rig.options();
    options.path = mount_point + QStringLiteral("/pelmora.db");
    HistoryStore store(options);
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

    ASSERT_EQ(
        QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-o"), QStringLiteral("remount,size=64m"), mount_point}),
        0);
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
    const QString base = rig.dir.path(aside.filter(QRegularExpression(QStringLiteral("\\d$")))[0]);
    EXPECT_TRUE(files_equal(base, garbage));
    EXPECT_TRUE(files_equal(base + QStringLiteral("-wal"), "wal bytes"));
    EXPECT_TRUE(QFile::exists(base + QStringLiteral("-shm"))); // its index rebuilt, not deleted
    // the check went into the fresh file, and the next one goes there too
    EXPECT_EQ(store.keep(check(t0 + 60, {true, false})), QString());
    EXPECT_EQ(all_samples(store).size(), 4u);
}

TEST(HistoryStoreFaults, RootRefusesADatabaseThatIsASymlink) {
    NEEDS_ROOT("the file rules apply to root");
    Rig rig;
    rig.dir.write(QStringLiteral("elsewhere"), "root's own file");
    ASSERT_TRUE(QFile::link(rig.dir.path(QStringLiteral("elsewhere")), rig.dir.path("pelmora.db")));
    HistoryStore store(rig.options());
    EXPECT_FALSE(store.keep(check(t0, {true})).isEmpty());
    EXPECT_TRUE(files_equal(rig.dir.path(QStringLiteral("elsewhere")), "root's own file"));
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
