#include "history/history_store.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unordered_map>

#include "core/root_file_rules.h"
#include "history/sqlite_db.h"

namespace {

constexpr qint64 hour_s = 3600;
constexpr qint64 day_s = 86400;

qint64 floor_to(qint64 t, qint64 step) {
    return t - ((t % step) + step) % step;
}

// Samples are keyed by check, then device: one check's rows go to the end of
// the table together, so a write touches a few pages however many devices
// there are. Rollups and day totals are keyed by time first for the same
// reason; one device's rows are found by looking up each hour.
const char* const schema = R"(
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value INTEGER) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS devices(id INTEGER PRIMARY KEY, address TEXT NOT NULL UNIQUE,
    name TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS checks(id INTEGER PRIMARY KEY, start_s INTEGER NOT NULL,
    duration_ms INTEGER NOT NULL, checked INTEGER NOT NULL, not_answering INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS checks_by_start ON checks(start_s);
CREATE TABLE IF NOT EXISTS samples(check_id INTEGER NOT NULL, device INTEGER NOT NULL,
    answered INTEGER NOT NULL, rtt_us INTEGER, PRIMARY KEY(check_id, device)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS hourly(hour_s INTEGER NOT NULL, device INTEGER NOT NULL,
    checks INTEGER NOT NULL, answered INTEGER NOT NULL, rtt_n INTEGER NOT NULL,
    rtt_sum_us INTEGER NOT NULL, min_us INTEGER, median_us INTEGER, max_us INTEGER,
    PRIMARY KEY(hour_s, device)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS daily(day_s INTEGER NOT NULL, device INTEGER NOT NULL,
    checks INTEGER NOT NULL, answered INTEGER NOT NULL, rtt_n INTEGER NOT NULL,
    rtt_sum_us INTEGER NOT NULL, PRIMARY KEY(day_s, device)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS events(id INTEGER PRIMARY KEY, time_s INTEGER NOT NULL,
    kind INTEGER NOT NULL, device INTEGER NOT NULL, name TEXT NOT NULL,
    down_for_s INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS events_by_device ON events(device, time_s);
CREATE INDEX IF NOT EXISTS events_by_time ON events(time_s);
)";

bool is_corrupt(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

QString file_name(const QString& path) {
    return QFileInfo(path).fileName();
}

// Root keeps to the rules of the other files for the database and its two
// companions: no symlink, nothing another user controls.
std::optional<QString> root_refusal(const QString& path) {
    if (!root_file_rules_apply())
        return std::nullopt;
    for (const QString& name :
         {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
        const std::string native = QFile::encodeName(name).toStdString();
        struct stat st {};
        const bool exists = ::lstat(native.c_str(), &st) == 0;
        if (exists && S_ISLNK(st.st_mode))
            return root_symlink_refusal();
        if (std::optional<QString> refusal = root_file_refusal(native, exists ? &st : nullptr))
            return refusal;
    }
    return std::nullopt;
}

struct Connection {
    sqlite3* db = nullptr;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { close(); }
    void close() {
        if (db)
            sqlite3_close_v2(db);
        db = nullptr;
    }
    int exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    QString error() const { return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString(); }
};

// What one device's samples in one hour come to.
struct HourTotals {
    qint64 checks = 0;
    qint64 answered = 0;
    std::vector<qint64> rtts;
};

double ms(qint64 us) {
    return double(us) / 1000.0;
}

// How far back each range reaches, known here so that the store does not
// wait on the graph code.
qint64 range_seconds(GraphRange range) {
    switch (range) {
    case GraphRange::Hour:
        return hour_s;
    case GraphRange::Day:
        return day_s;
    case GraphRange::Week:
        return 7 * day_s;
    case GraphRange::Month:
        return 30 * day_s;
    case GraphRange::Year:
        return 365 * day_s;
    }
    return day_s;
}

RttBucket bucket(qint64 start_s, qint64 end_s) {
    RttBucket b;
    b.start_s = start_s;
    b.end_s = end_s;
    return b;
}

} // namespace

std::function<void()> history_pause_at(const QString& path) {
    return [path] {
        QFile flag(path);
        if (!flag.open(QIODevice::WriteOnly))
            return;
        flag.close();
        while (QFile::exists(path))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
}

struct HistoryStore::Impl {
    HistoryOptions options;

    // The writer: opened on the first keep, closed after any failure so that
    // the next keep starts afresh.
    std::mutex write_mutex;
    Connection writer;
    Statement insert_check, insert_sample, find_device, insert_device, rename_device, insert_event;
    std::unordered_map<QString, std::pair<qint64, QString>> devices; // address -> id, name

    // Readers have their own connection, so a long read never waits for a write.
    std::mutex read_mutex;
    Connection reader;

    qint64 now(qint64 fallback) const { return options.now_s ? options.now_s() : fallback; }

    // -- files -------------------------------------------------------------

    // Moves a corrupt database and its companions aside; never deletes.
    QString move_aside() {
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const QString base = options.path + QStringLiteral(".corrupt-") + stamp;
        QString target = base;
        for (int n = 1; QFile::exists(target); ++n)
            target = base + QStringLiteral("-%1").arg(n);
        for (const char* suffix : {"", "-wal", "-shm"}) {
            const QString from = options.path + QLatin1String(suffix);
            if (QFile::exists(from))
                QFile::rename(from, target + QLatin1String(suffix));
        }
        return target;
    }

    // Opens (creating) the database; empty when ready. A file that is not a
    // database is moved aside and a new one started; *moved names where.
    QString open_writer(QString* moved) {
        if (writer.db)
            return {};
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (std::optional<QString> refusal = root_refusal(options.path))
                return QStringLiteral("%1 を使えません（%2）。").arg(options.path, *refusal);
            const QByteArray name = QFile::encodeName(options.path);
            int rc = sqlite3_open_v2(name.constData(), &writer.db,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                         SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                                     nullptr);
            if (rc == SQLITE_OK) {
                sqlite3_busy_timeout(writer.db, 2000);
                sqlite3_extended_result_codes(writer.db, 1);
                rc = writer.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                                 "PRAGMA wal_autocheckpoint=0; PRAGMA journal_size_limit=8388608;");
                if (rc == SQLITE_OK)
                    rc = writer.exec(schema);
                if (rc == SQLITE_OK)
                    rc = prepare();
                if (rc == SQLITE_OK)
                    rc = load_devices();
            }
            if (rc == SQLITE_OK)
                return {};
            const QString why = writer.db ? writer.error() : QString::fromUtf8(sqlite3_errstr(rc));
            if (!is_corrupt(rc) || attempt == 1) {
                close_writer();
                return QStringLiteral("%1 を開けません（%2）。").arg(options.path, why);
            }
            // renamed while still open: closing removes the -wal and -shm by
            // name, which then are no longer there
            const QString target = move_aside();
            close_writer();
            if (moved)
                *moved = target;
        }
        return {};
    }

    int prepare() {
        insert_check = Statement(writer.db, "INSERT INTO checks(start_s, duration_ms, checked, "
                                            "not_answering) VALUES(?,?,?,?)");
        insert_sample = Statement(writer.db, "INSERT OR REPLACE INTO samples(check_id, device, "
                                             "answered, rtt_us) VALUES(?,?,?,?)");
        insert_device = Statement(writer.db, "INSERT INTO devices(address, name) VALUES(?,?)");
        rename_device = Statement(writer.db, "UPDATE devices SET name=? WHERE id=?");
        insert_event = Statement(writer.db, "INSERT INTO events(time_s, kind, device, name, "
                                            "down_for_s) VALUES(?,?,?,?,?)");
        for (const Statement* s :
             {&insert_check, &insert_sample, &insert_device, &rename_device, &insert_event})
            if (!s->ok())
                return s->prepare_rc() ? s->prepare_rc() : SQLITE_ERROR;
        return SQLITE_OK;
    }

    int load_devices() {
        devices.clear();
        Statement all(writer.db, "SELECT id, address, name FROM devices");
        int rc;
        while ((rc = all.step()) == SQLITE_ROW)
            devices[all.text(1)] = {all.i64(0), all.text(2)};
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    void close_writer() {
        insert_check = {};
        insert_sample = {};
        insert_device = {};
        rename_device = {};
        insert_event = {};
        devices.clear();
        writer.close();
    }

    // -- writing -----------------------------------------------------------

    // The device's id, added or renamed as needed; -1 on failure.
    qint64 device_id(const QString& address, const QString& name) {
        auto it = devices.find(address);
        if (it == devices.end()) {
            if (insert_device.reset().bind(1, address).bind(2, name).step() != SQLITE_DONE)
                return -1;
            const qint64 id = sqlite3_last_insert_rowid(writer.db);
            devices[address] = {id, name};
            return id;
        }
        if (it->second.second != name && !name.isEmpty()) {
            if (rename_device.reset().bind(1, name).bind(2, it->second.first).step() != SQLITE_DONE)
                return -1;
            it->second.second = name;
        }
        return it->second.first;
    }

    qint64 meta(const char* key, qint64 fallback) {
        Statement get(writer.db, "SELECT value FROM meta WHERE key=?");
        get.bind(1, QString::fromLatin1(key));
        return get.step() == SQLITE_ROW ? get.i64(0) : fallback;
    }
    int set_meta(const char* key, qint64 value) {
        Statement put(writer.db, "INSERT OR REPLACE INTO meta(key, value) VALUES(?,?)");
        put.bind(1, QString::fromLatin1(key)).bind(2, value);
        return put.step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(writer.db);
    }

    // Rolls up closed hours a slice of devices at a time, about
    // rollup_budget samples per check, so that neither the close of an hour
    // nor a long pause (or a first start on old data) makes one slow write.
    // rolled_to: every hour before it is rolled up; rolling_from: the first
    // device of the hour at rolled_to still to do.
    static constexpr qint64 rollup_budget = 16000;
    int roll_up(qint64 now_s) {
        const qint64 open_hour = floor_to(now_s, hour_s);
        qint64 budget = rollup_budget;
        for (int round = 0; round < 4 && budget > 0; ++round) {
            const qint64 rolled_to = meta("rolled_to", 0);
            if (rolled_to >= open_hour)
                return SQLITE_OK;
            Statement next(writer.db,
                           "SELECT min(start_s) FROM checks WHERE start_s >= ? AND start_s < ?");
            next.bind(1, rolled_to).bind(2, open_hour);
            if (next.step() != SQLITE_ROW)
                return sqlite3_errcode(writer.db);
            if (next.null(0))
                return set_meta("rolled_to", open_hour);
            const qint64 hour = floor_to(next.i64(0), hour_s);
            if (hour != rolled_to) { // nothing between: start this hour from its first device
                if (int rc = set_meta("rolled_to", hour); rc != SQLITE_OK)
                    return rc;
                if (int rc = set_meta("rolling_from", 0); rc != SQLITE_OK)
                    return rc;
            }
            Statement count(writer.db,
                            "SELECT count(*) FROM checks WHERE start_s >= ? AND start_s < ?");
            count.bind(1, hour).bind(2, hour + hour_s);
            const qint64 checks =
                count.step() == SQLITE_ROW ? std::max<qint64>(1, count.i64(0)) : 1;
            const qint64 from = meta("rolling_from", 0);
            const qint64 span = std::max<qint64>(1, budget / checks);
            budget -= span * checks;
            if (int rc = roll_slice(hour, from, from + span); rc != SQLITE_OK)
                return rc;
            Statement last(writer.db, "SELECT max(id) FROM devices");
            const qint64 last_device = last.step() == SQLITE_ROW ? last.i64(0) : 0;
            const bool done = from + span > last_device;
            if (int rc = set_meta("rolling_from", done ? 0 : from + span); rc != SQLITE_OK)
                return rc;
            if (done)
                if (int rc = set_meta("rolled_to", hour + hour_s); rc != SQLITE_OK)
                    return rc;
        }
        return SQLITE_OK;
    }

    // One hour's rollup of the devices whose ids are in [first, end).
    int roll_slice(qint64 hour, qint64 first, qint64 end) {
        std::unordered_map<qint64, HourTotals> totals;
        Statement rows(writer.db, "SELECT s.device, s.answered, s.rtt_us FROM checks c "
                                  "JOIN samples s ON s.check_id = c.id AND s.device >= ?3 "
                                  "AND s.device < ?4 WHERE c.start_s >= ?1 AND c.start_s < ?2");
        rows.bind(1, hour).bind(2, hour + hour_s).bind(3, first).bind(4, end);
        int rc;
        while ((rc = rows.step()) == SQLITE_ROW) {
            HourTotals& t = totals[rows.i64(0)];
            ++t.checks;
            if (rows.i64(1)) {
                ++t.answered;
                if (!rows.null(2))
                    t.rtts.push_back(rows.i64(2));
            }
        }
        if (rc != SQLITE_DONE)
            return rc;

        Statement put_hour(writer.db,
                           "INSERT OR REPLACE INTO hourly(hour_s, device, checks, answered, rtt_n, "
                           "rtt_sum_us, min_us, median_us, max_us) VALUES(?,?,?,?,?,?,?,?,?)");
        Statement put_day(writer.db, "INSERT INTO daily(day_s, device, checks, answered, rtt_n, "
                                     "rtt_sum_us) VALUES(?1,?2,?3,?4,?5,?6) "
                                     "ON CONFLICT(day_s, device) DO UPDATE SET "
                                     "checks=checks+?3, answered=answered+?4, rtt_n=rtt_n+?5, "
                                     "rtt_sum_us=rtt_sum_us+?6");
        std::vector<std::pair<qint64, HourTotals*>> ordered;
        ordered.reserve(totals.size());
        for (auto& [device, t] : totals)
            ordered.emplace_back(device, &t);
        std::sort(ordered.begin(), ordered.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [device, t] : ordered) {
            qint64 sum = 0;
            for (qint64 v : t->rtts)
                sum += v;
            put_hour.reset().bind(1, hour).bind(2, device).bind(3, t->checks).bind(4, t->answered);
            put_hour.bind(5, qint64(t->rtts.size())).bind(6, sum);
            if (t->rtts.empty()) {
                put_hour.bind_null(7).bind_null(8).bind_null(9);
            } else {
                auto& v = t->rtts;
                const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
                const qint64 low = *lo, high = *hi;
                std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
                qint64 median = v[v.size() / 2];
                if (v.size() % 2 == 0) // the lower middle is the largest of the lower half
                    median = (median + *std::max_element(v.begin(), v.begin() + v.size() / 2)) / 2;
                put_hour.bind(7, low).bind(8, median).bind(9, high);
            }
            if (put_hour.step() != SQLITE_DONE)
                return sqlite3_errcode(writer.db);
            put_day.reset().bind(1, floor_to(hour, day_s)).bind(2, device).bind(3, t->checks);
            put_day.bind(4, t->answered).bind(5, qint64(t->rtts.size())).bind(6, sum);
            if (put_day.step() != SQLITE_DONE)
                return sqlite3_errcode(writer.db);
        }
        return SQLITE_OK;
    }

    // Removes a little of what has aged out with every check: a few checks'
    // samples and one hour of rollups, so no single write is slow.
    int trim(qint64 now_s) {
        const qint64 rolled_to = meta("rolled_to", 0);
        const qint64 raw_cutoff = std::min(now_s - qint64(options.raw_days) * day_s, rolled_to);
        const qint64 old_cutoff = now_s - qint64(options.rollup_days) * day_s;
        const char* const steps[] = {
            "DELETE FROM samples WHERE check_id = (SELECT min(check_id) FROM samples) AND "
            "(SELECT start_s FROM checks WHERE id = (SELECT min(check_id) FROM samples)) < ?1",
            "DELETE FROM samples WHERE check_id = (SELECT min(check_id) FROM samples) AND "
            "(SELECT start_s FROM checks WHERE id = (SELECT min(check_id) FROM samples)) < ?1",
            "DELETE FROM checks WHERE id IN (SELECT id FROM checks WHERE start_s < ?2 "
            "AND start_s < ?1 ORDER BY id LIMIT 4)",
            "DELETE FROM hourly WHERE hour_s = (SELECT min(hour_s) FROM hourly) AND hour_s < ?2",
            "DELETE FROM daily WHERE day_s = (SELECT min(day_s) FROM daily) AND day_s < ?2",
            "DELETE FROM events WHERE id IN (SELECT id FROM events WHERE time_s < ?2 "
            "ORDER BY time_s LIMIT 16)",
        };
        for (const char* sql : steps) {
            Statement s(writer.db, sql);
            if (!s.ok())
                return s.prepare_rc();
            s.bind(1, raw_cutoff).bind(2, old_cutoff);
            if (s.step() != SQLITE_DONE)
                return sqlite3_errcode(writer.db);
        }
        return SQLITE_OK;
    }

    int write(const CheckRecord& record) {
        const qint64 start = record.started.toSecsSinceEpoch();
        if (writer.exec("BEGIN IMMEDIATE") != SQLITE_OK)
            return sqlite3_errcode(writer.db);
        insert_check.reset().bind(1, start).bind(2, record.duration_ms);
        insert_check.bind(3, qint64(record.checked)).bind(4, qint64(record.not_answering));
        if (insert_check.step() != SQLITE_DONE)
            return sqlite3_errcode(writer.db);
        const qint64 check_id = sqlite3_last_insert_rowid(writer.db);
        for (const CheckSample& sample : record.samples) {
            const qint64 device = device_id(sample.address, sample.name);
            if (device < 0)
                return sqlite3_errcode(writer.db);
            insert_sample.reset()
                .bind(1, check_id)
                .bind(2, device)
                .bind(3, qint64(sample.answered));
            if (sample.rtt_us)
                insert_sample.bind(4, *sample.rtt_us);
            if (insert_sample.step() != SQLITE_DONE)
                return sqlite3_errcode(writer.db);
        }
        for (const DeviceChange& change : record.changes) {
            const qint64 device = device_id(change.address, change.name);
            if (device < 0)
                return sqlite3_errcode(writer.db);
            const qint64 at = change.time.isValid() ? change.time.toSecsSinceEpoch() : start;
            insert_event.reset().bind(1, at).bind(2, qint64(change.kind)).bind(3, device);
            insert_event.bind(4, change.name).bind(5, change.down_for_s);
            if (insert_event.step() != SQLITE_DONE)
                return sqlite3_errcode(writer.db);
        }
        const qint64 now_s = now(start);
        int rc = roll_up(now_s);
        if (rc == SQLITE_OK)
            rc = trim(now_s);
        if (rc != SQLITE_OK)
            return rc;
        if (options.inside_write)
            options.inside_write();
        if (writer.exec("COMMIT") != SQLITE_OK)
            return sqlite3_errcode(writer.db);
        // Copies the log back a little at a time: a passive checkpoint every
        // so many checks keeps each one short and the -wal from growing, and
        // costs one flush to disk per round rather than one per check.
        if (++writes_since_checkpoint >= 32) {
            writes_since_checkpoint = 0;
            sqlite3_wal_checkpoint_v2(writer.db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                      nullptr);
        }
        return SQLITE_OK;
    }
    int writes_since_checkpoint = 0;

    // -- reading -----------------------------------------------------------

    // The reader connection, opened when first needed; false when there is
    // no database to read.
    bool open_reader(QString* why) {
        if (reader.db)
            return true;
        if (std::optional<QString> refusal = root_refusal(options.path)) {
            if (why)
                *why = QStringLiteral("%1 を使えません（%2）。").arg(options.path, *refusal);
            return false;
        }
        const QByteArray name = QFile::encodeName(options.path);
        int rc = sqlite3_open_v2(name.constData(), &reader.db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                                 nullptr);
        if (rc != SQLITE_OK) {
            reader.close();
            rc = sqlite3_open_v2(name.constData(), &reader.db,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                                 nullptr);
        }
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(reader.db, 5000);
            // a reader never removes the -wal on closing: it may belong to a
            // file the writer is about to move aside
            int persist = 1;
            sqlite3_file_control(reader.db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
            // a database without our tables (a new, empty one) reads as empty
            Statement probe(reader.db, "SELECT 1 FROM samples, hourly, events LIMIT 0");
            if (probe.ok())
                return true;
            rc = probe.prepare_rc();
        }
        if (why)
            *why = QStringLiteral("%1 を読めません（%2）。")
                       .arg(options.path,
                            reader.db ? reader.error() : QString::fromUtf8(sqlite3_errstr(rc)));
        reader.close();
        return false;
    }

    qint64 read_meta(const char* key, qint64 fallback) {
        Statement get(reader.db, "SELECT value FROM meta WHERE key=?");
        get.bind(1, QString::fromLatin1(key));
        return get.step() == SQLITE_ROW ? get.i64(0) : fallback;
    }

    // One device's id for the reader; -1 when unknown.
    qint64 reader_device(const QString& address) {
        Statement find(reader.db, "SELECT id FROM devices WHERE address=?");
        find.bind(1, address);
        return find.step() == SQLITE_ROW ? find.i64(0) : -1;
    }
};

HistoryStore::HistoryStore(HistoryOptions options) : impl_(new Impl{}) {
    impl_->options = std::move(options);
}

HistoryStore::~HistoryStore() {
    std::scoped_lock lock(impl_->write_mutex, impl_->read_mutex);
    if (impl_->writer.db)
        sqlite3_wal_checkpoint_v2(impl_->writer.db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                  nullptr);
    impl_->close_writer();
    impl_->reader.close();
}

const QString& HistoryStore::path() const {
    return impl_->options.path;
}

QString HistoryStore::keep(const CheckRecord& record) {
    std::lock_guard lock(impl_->write_mutex);
    Impl& d = *impl_;
    QString moved;
    QString why = d.open_writer(&moved);
    if (why.isEmpty()) {
        const int rc = d.write(record);
        if (rc != SQLITE_OK) {
            why = QStringLiteral("%1 に書き込めません（%2）。")
                      .arg(d.options.path, d.writer.error().isEmpty()
                                               ? QString::fromUtf8(sqlite3_errstr(rc))
                                               : d.writer.error());
            if (is_corrupt(rc))
                moved = d.move_aside(); // before closing, as in open_writer
            d.writer.exec("ROLLBACK");
            d.close_writer();
        }
    }
    if (!moved.isEmpty()) {
        // the reader must not go on reading the file that was moved
        std::lock_guard read_lock(d.read_mutex);
        d.reader.close();
        const QString note = QStringLiteral("%1 は壊れていたため %2 に移し、新しく始めました。")
                                 .arg(file_name(d.options.path), file_name(moved));
        why = why.isEmpty() ? note : why + QLatin1Char(' ') + note;
    }
    return why;
}

std::vector<DeviceLastState> HistoryStore::last_states() {
    std::lock_guard lock(impl_->read_mutex);
    Impl& d = *impl_;
    std::vector<DeviceLastState> states;
    if (!d.open_reader(nullptr))
        return states;
    // the last event says it; a device without events, its sample in the last check
    Statement rows(d.reader.db,
                   "SELECT d.address, d.name, e.kind, e.time_s, s.answered, c.start_s "
                   "FROM devices d LEFT JOIN events e ON e.id = (SELECT id FROM events "
                   " WHERE device = d.id ORDER BY time_s DESC, id DESC LIMIT 1) "
                   "LEFT JOIN checks c ON c.id = (SELECT max(check_id) FROM samples) "
                   "LEFT JOIN samples s ON s.check_id = c.id AND s.device = d.id ORDER BY d.id");
    while (rows.step() == SQLITE_ROW) {
        DeviceLastState state;
        state.address = rows.text(0);
        state.name = rows.text(1);
        if (!rows.null(2)) {
            state.down = rows.i64(2) == qint64(DeviceChangeKind::Down);
            state.since = QDateTime::fromSecsSinceEpoch(rows.i64(3));
        } else if (!rows.null(4)) {
            state.down = rows.i64(4) == 0;
            state.since = QDateTime::fromSecsSinceEpoch(rows.i64(5));
        } else {
            continue;
        }
        states.push_back(state);
    }
    return states;
}

std::vector<DeviceFigures> HistoryStore::figures(qint64 now_s) {
    std::lock_guard lock(impl_->read_mutex);
    Impl& d = *impl_;
    std::vector<DeviceFigures> result;
    if (!d.open_reader(nullptr))
        return result;
    struct Sums {
        qint64 checks = 0, answered = 0, rtt_n = 0, rtt_sum = 0;
        void add(const Statement& s) {
            checks += s.i64(1);
            answered += s.i64(2);
            rtt_n += s.i64(3);
            rtt_sum += s.i64(4);
        }
    };
    std::unordered_map<qint64, Sums> day, month;
    // one read transaction, so the rollups and the raw rows agree
    d.reader.exec("BEGIN");
    const qint64 rolled_to = d.read_meta("rolled_to", 0);
    // the closed hours from the rollups, the open one from the raw samples
    // summed here rather than grouped in SQL, which would sort every row
    Statement hours(d.reader.db, "SELECT device, checks, answered, rtt_n, rtt_sum_us FROM hourly "
                                 "WHERE hour_s >= ? AND hour_s < ?");
    hours.bind(1, now_s - day_s).bind(2, rolled_to);
    while (hours.step() == SQLITE_ROW)
        day[hours.i64(0)].add(hours);
    Statement days(d.reader.db, "SELECT device, checks, answered, rtt_n, rtt_sum_us FROM daily "
                                "WHERE day_s >= ? AND day_s < ?");
    // whole days from the day totals; the day of rolled_to, which may hold a
    // part of an hour, from its closed hours
    const qint64 rolled_day = floor_to(rolled_to, day_s);
    days.bind(1, floor_to(now_s - 30 * day_s, day_s) + day_s).bind(2, rolled_day);
    while (days.step() == SQLITE_ROW)
        month[days.i64(0)].add(days);
    Statement today(d.reader.db, "SELECT device, checks, answered, rtt_n, rtt_sum_us FROM hourly "
                                 "WHERE hour_s >= ? AND hour_s < ?");
    today.bind(1, rolled_day).bind(2, rolled_to);
    while (today.step() == SQLITE_ROW)
        month[today.i64(0)].add(today);
    Statement raw(d.reader.db,
                  "SELECT s.device, 1, s.answered, s.rtt_us IS NOT NULL, coalesce(s.rtt_us, 0) "
                  "FROM checks c JOIN samples s ON s.check_id = c.id "
                  "WHERE c.start_s >= ? AND c.start_s <= ?");
    raw.bind(1, std::max(rolled_to, now_s - day_s)).bind(2, now_s);
    while (raw.step() == SQLITE_ROW) {
        day[raw.i64(0)].add(raw);
        month[raw.i64(0)].add(raw);
    }
    Statement names(d.reader.db, "SELECT id, address FROM devices ORDER BY id");
    while (names.step() == SQLITE_ROW) {
        const auto m = month.find(names.i64(0));
        if (m == month.end())
            continue;
        DeviceFigures f;
        f.address = names.text(1);
        if (m->second.checks)
            f.availability_30d = double(m->second.answered) / double(m->second.checks);
        const auto h = day.find(names.i64(0));
        if (h != day.end() && h->second.checks) {
            f.availability_24h = double(h->second.answered) / double(h->second.checks);
            if (h->second.rtt_n)
                f.mean_rtt_ms_24h = ms(h->second.rtt_sum) / double(h->second.rtt_n);
        }
        result.push_back(f);
    }
    d.reader.exec("COMMIT");
    return result;
}

std::vector<StoredEvent> HistoryStore::events(const QString& address, qint64 since_s, int limit) {
    std::lock_guard lock(impl_->read_mutex);
    Impl& d = *impl_;
    std::vector<StoredEvent> result;
    if (!d.open_reader(nullptr))
        return result;
    Statement rows(d.reader.db,
                   "SELECT e.time_s, e.kind, d.address, e.name, e.down_for_s FROM events e "
                   "JOIN devices d ON d.id = e.device WHERE e.time_s >= ?1 "
                   "AND (?2 = '' OR d.address = ?2) ORDER BY e.time_s DESC, e.id DESC LIMIT ?3");
    rows.bind(1, since_s).bind(2, address).bind(3, qint64(limit < 0 ? -1 : limit));
    while (rows.step() == SQLITE_ROW) {
        StoredEvent e;
        e.time_s = rows.i64(0);
        e.kind = DeviceChangeKind(rows.i64(1));
        e.address = rows.text(2);
        e.name = rows.text(3);
        e.down_for_s = rows.i64(4);
        result.push_back(e);
    }
    return result;
}

bool HistoryStore::export_samples(qint64 since_s, const QString& address,
                                  const std::function<void(const StoredSample&)>& row,
                                  QString* why) {
    std::lock_guard lock(impl_->read_mutex);
    Impl& d = *impl_;
    if (!d.open_reader(why))
        return false;
    Statement rows(d.reader.db,
                   "SELECT c.start_s, d.address, d.name, s.answered, s.rtt_us FROM samples s "
                   "JOIN checks c ON c.id = s.check_id JOIN devices d ON d.id = s.device "
                   "WHERE c.start_s >= ?1 AND (?2 = '' OR d.address = ?2) "
                   "ORDER BY s.check_id, s.device");
    rows.bind(1, since_s).bind(2, address);
    int rc;
    while ((rc = rows.step()) == SQLITE_ROW) {
        StoredSample sample;
        sample.time_s = rows.i64(0);
        sample.address = rows.text(1);
        sample.name = rows.text(2);
        sample.answered = rows.i64(3) != 0;
        if (!rows.null(4))
            sample.rtt_us = rows.i64(4);
        row(sample);
    }
    if (rc != SQLITE_DONE) {
        if (why)
            *why = QStringLiteral("%1 を読めません（%2）。").arg(d.options.path, d.reader.error());
        return false;
    }
    return true;
}

GraphInput HistoryStore::graph_input(const QString& address, GraphRange range, qint64 now_s) {
    std::lock_guard lock(impl_->read_mutex);
    Impl& d = *impl_;
    GraphInput input;
    if (!d.open_reader(nullptr))
        return input;
    const qint64 device = d.reader_device(address);
    if (device < 0)
        return input;
    const qint64 from = now_s - range_seconds(range);
    d.reader.exec("BEGIN");
    const qint64 rolled_to = d.read_meta("rolled_to", 0);
    auto add_raw = [&](qint64 raw_from, bool hourly) {
        Statement rows(d.reader.db,
                       "SELECT c.start_s, c.duration_ms, s.answered, s.rtt_us FROM checks c "
                       "JOIN samples s ON s.check_id = c.id AND s.device = ?3 "
                       "WHERE c.start_s >= ?1 AND c.start_s <= ?2 ORDER BY c.start_s, c.id");
        rows.bind(1, raw_from).bind(2, now_s).bind(3, device);
        std::vector<double> rtts;
        auto close_hour = [&] {
            if (input.buckets.empty() || !hourly || rtts.empty())
                return;
            RttBucket& b = input.buckets.back();
            std::sort(rtts.begin(), rtts.end());
            b.min_ms = rtts.front();
            b.max_ms = rtts.back();
            const std::size_t mid = rtts.size() / 2;
            b.median_ms = rtts.size() % 2 ? rtts[mid] : (rtts[mid - 1] + rtts[mid]) / 2;
            rtts.clear();
        };
        while (rows.step() == SQLITE_ROW) {
            const qint64 start = rows.i64(0);
            const bool answered = rows.i64(2) != 0;
            const std::optional<double> rtt =
                answered && !rows.null(3) ? std::optional<double>(ms(rows.i64(3))) : std::nullopt;
            if (hourly) {
                const qint64 hour = floor_to(start, hour_s);
                if (input.buckets.empty() || input.buckets.back().start_s != hour) {
                    close_hour();
                    input.buckets.push_back(bucket(hour, hour + hour_s));
                }
                RttBucket& b = input.buckets.back();
                ++b.checks;
                b.answered += answered;
                if (rtt)
                    rtts.push_back(*rtt);
            } else {
                RttBucket b =
                    bucket(start, start + std::max<qint64>(1, (rows.i64(1) + 999) / 1000));
                b.checks = 1;
                b.answered = answered;
                b.min_ms = b.median_ms = b.max_ms = rtt;
                input.buckets.push_back(b);
            }
        }
        close_hour();
    };
    if (range == GraphRange::Hour || range == GraphRange::Day) {
        add_raw(from, false);
    } else {
        // each hour of the range looked up by its key: a year is 8760 lookups
        Statement hours(d.reader.db,
                        "WITH RECURSIVE h(t) AS (SELECT ?1 UNION ALL SELECT t + 3600 FROM h "
                        "WHERE t + 3600 < ?2) SELECT r.hour_s, r.checks, r.answered, r.min_us, "
                        "r.median_us, r.max_us FROM h JOIN hourly r ON r.hour_s = h.t "
                        "AND r.device = ?3 ORDER BY r.hour_s");
        hours.bind(1, floor_to(from, hour_s))
            .bind(2, std::min(rolled_to, now_s + 1))
            .bind(3, device);
        while (hours.step() == SQLITE_ROW) {
            RttBucket b = bucket(hours.i64(0), hours.i64(0) + hour_s);
            b.checks = int(hours.i64(1));
            b.answered = int(hours.i64(2));
            if (!hours.null(3)) {
                b.min_ms = ms(hours.i64(3));
                b.median_ms = ms(hours.i64(4));
                b.max_ms = ms(hours.i64(5));
            }
            input.buckets.push_back(b);
        }
        // the hours not rolled up yet, from the raw samples
        add_raw(std::max(rolled_to, from), true);
    }

    // down spans: from each down event to the next up or unmonitored one
    Statement events(d.reader.db,
                     "SELECT time_s, kind FROM (SELECT time_s, kind, id FROM events "
                     "WHERE device = ?1 AND time_s < ?2 ORDER BY time_s DESC, id DESC LIMIT 1) "
                     "UNION ALL SELECT time_s, kind FROM (SELECT time_s, kind, id FROM events "
                     "WHERE device = ?1 AND time_s >= ?2 AND time_s <= ?3 ORDER BY time_s, id)");
    events.bind(1, device).bind(2, from).bind(3, now_s);
    bool is_down = false;
    qint64 down_since = 0;
    while (events.step() == SQLITE_ROW) {
        const qint64 t = events.i64(0);
        const bool down = events.i64(1) == qint64(DeviceChangeKind::Down);
        if (down && !is_down) {
            is_down = true;
            down_since = t;
        } else if (!down && is_down) {
            if (t > from)
                input.down.push_back(TimeSpan{std::max(down_since, from), t});
            is_down = false;
        }
    }
    if (is_down)
        input.down.push_back(TimeSpan{std::max(down_since, from), now_s});
    d.reader.exec("COMMIT");
    return input;
}
