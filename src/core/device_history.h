#pragma once
// What one check leaves for the history: a sample per monitored record and
// the devices that turned down or came back. A device is known by its
// address, so its history follows it when its description changes; the name
// is the device-name part of the description at the time.
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

enum class DeviceChangeKind {
    Down,        // answered before (or was never checked) and now does not
    Up,          // did not answer and now does
    Unmonitored, // made 無効 (or left the list) while down: its down period ends here
};

struct DeviceChange {
    DeviceChangeKind kind = DeviceChangeKind::Down;
    QString address;
    QString name;
    QDateTime time;        // the start of the check that saw it
    qint64 down_for_s = 0; // Up and Unmonitored: how long the device was down
};

struct CheckSample {
    QString address;
    QString name;
    bool answered = false;
    std::optional<qint64> rtt_us; // of the answer, when measured
};

struct CheckRecord {
    QDateTime started;
    qint64 duration_ms = 0;
    int checked = 0;
    int not_answering = 0;
    std::vector<CheckSample> samples; // monitored records only, in list order
    std::vector<DeviceChange> changes;
};

// How a device stood after the last check kept, for a restart: a device
// still down is not announced as newly down.
struct DeviceLastState {
    QString address;
    QString name;
    bool down = false;
    QDateTime since;
};

// Where checks are kept. Called on a worker thread, never the window's; an
// implementation serialises its own calls.
class CheckHistory {
  public:
    virtual ~CheckHistory() = default;
    // Keeps one check in one transaction; empty when kept, otherwise why not,
    // as one line for the operator. A failed call is tried afresh next time.
    virtual QString keep(const CheckRecord& record) = 0;
    // The state of every device the history knows; empty when it cannot be read.
    virtual std::vector<DeviceLastState> last_states() = 0;
};
