#pragma once
// What the web endpoint shows, copied from the live state on its own thread
// after every change that matters (a check, a notice, the stop, a minute)
// and swapped in whole: the HTTP threads read only the copy, never the state.
#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/target_status.h"

struct SharedState;

struct WebTarget {
    int record = 0; // 1-based, as 監視状況 numbers them
    QString address;
    QString name, contact, person; // the description's three parts
    TargetState state = TargetState::Unchecked;
    std::optional<double> rtt_ms;
    std::optional<qint64> since_s; // seconds since the epoch
};

struct WebSnapshot {
    qint64 taken_s = 0;
    std::vector<WebTarget> targets;
    std::optional<qint64> last_check_s; // the last check's start
    double last_duration_s = 0;
    bool checking = false;
    std::optional<qint64> next_check_s;
    int interval_minutes = 0;
    int minute_ms = 60000;
    bool delivery_stopped = false;
    int notices_in_a_row = 0;
    qint64 checks_total = 0;
    qint64 notices_sent = 0, notices_failed = 0, notices_superseded = 0;
    QString log_problem;
    QString version;
};

// The description as 監視状況 shows it: device name／contact number／person
// in charge, further "／" left in the last part.
void split_description_parts(const QString& description, QString* name, QString* contact,
                             QString* person);

class SnapshotPublisher {
  public:
    // Listens to the state's events and its monitor; call on the state's thread.
    SnapshotPublisher(SharedState& state, int minute_ms);
    ~SnapshotPublisher();
    SnapshotPublisher(const SnapshotPublisher&) = delete;
    SnapshotPublisher& operator=(const SnapshotPublisher&) = delete;

    // Any thread.
    std::shared_ptr<const WebSnapshot> current() const;

    // Copies the state now (the state's thread only).
    void publish();

  private:
    SharedState& state_;
    int minute_ms_;
    qint64 checks_total_ = 0;
    qint64 sent_ = 0, failed_ = 0, superseded_ = 0;
    qint64 elapsed_changed_ms_ = 0; // when the minute count last moved
    int events_listener_ = 0;
    int monitor_listener_ = 0;
    mutable std::mutex mutex_;
    std::shared_ptr<const WebSnapshot> current_;
};
