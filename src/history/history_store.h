#pragma once
// The history of the checks in pelmora.db (SQLite, write-ahead log) beside
// conf.ini: per check its start, length and counts; per monitored device and
// check whether it answered and its round trip; the devices' down, up and
// unmonitored events; and hourly rollups that outlive the raw samples. Every
// call is safe from any thread (never the window's for writes); a write is
// one transaction per check.
//
// A database that cannot be opened or written never stops monitoring: keep()
// says why and the next call tries again. A corrupt file is moved aside as
// pelmora.db.corrupt-TIME with its -wal and -shm, never deleted, and a new
// one started; the keep() that did so says where it went.
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/device_history.h"
#include "history/graph_model.h"

struct HistoryOptions {
    QString path = QStringLiteral("pelmora.db");
    int raw_days = 7;      // raw samples
    int rollup_days = 400; // hourly rollups and events
    // The clock for rollups and retention, seconds since the epoch; none: the
    // system's. Tests and the benchmark step it.
    std::function<qint64()> now_s;
    // Called inside a check's transaction after its inserts, before the
    // commit: a test pauses or ends the process there.
    std::function<void()> inside_write;
};

// For inside_write in tests of a whole process: creates the file at path,
// then waits for as long as it exists (a test removes it, or kills the
// process in the middle of a write).
std::function<void()> history_pause_at(const QString& path);

// A device's figures for 監視状況 and the web page; none without samples.
struct DeviceFigures {
    QString address;
    std::optional<double> availability_24h; // 0..1
    std::optional<double> availability_30d;
    std::optional<double> mean_rtt_ms_24h;
};

struct StoredEvent {
    qint64 time_s = 0;
    DeviceChangeKind kind = DeviceChangeKind::Down;
    QString address;
    QString name;
    qint64 down_for_s = 0;
};

struct StoredSample {
    qint64 time_s = 0; // the check's start
    QString address;
    QString name;
    bool answered = false;
    std::optional<qint64> rtt_us;
};

class HistoryStore final : public CheckHistory {
  public:
    explicit HistoryStore(HistoryOptions options = {});
    ~HistoryStore() override;
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    QString keep(const CheckRecord& record) override;
    std::vector<DeviceLastState> last_states() override;

    // Every address with samples, at now_s.
    std::vector<DeviceFigures> figures(qint64 now_s);
    // Newest first; an empty address: every device.
    std::vector<StoredEvent> events(const QString& address, qint64 since_s, int limit);
    // Raw samples oldest first, from since_s (0: all), of one address or
    // (empty) all; false with why when the store cannot be read.
    bool export_samples(qint64 since_s, const QString& address,
                        const std::function<void(const StoredSample&)>& row, QString* why);
    // What the graph of one device needs for a range ending at now_s.
    GraphInput graph_input(const QString& address, GraphRange range, qint64 now_s);

    const QString& path() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
