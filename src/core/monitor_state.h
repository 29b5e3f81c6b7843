#pragma once
// Where the monitor stands between two minutes: the minutes counted since the
// last check, the interval in use, the failure notices sent in a row and
// whether mail delivery is stopped. The cycle and the check change it; the
// main window (or the headless mode) listens and shows it. Every change is
// announced at once, so what is shown follows the order of the changes; all
// of it happens on the thread that made the state.
#include <functional>
#include <utility>
#include <vector>

#include "core/int16.h"
#include "core/listeners.h"
#include "core/owner_thread.h"

enum class MonitorField {
    ElapsedMinutes,
    IntervalInUse,
    NoticesInARow,
    DeliveryStopped,
    AnnouncedTargets,
};

class MonitorState {
  public:
    using Listener = std::function<void(MonitorField)>;

    // Minutes counted since the last check; 0 at start and after every check.
    long long elapsed_minutes() const { return elapsed_minutes_; }
    void set_elapsed_minutes(long long minutes);

    // The interval the cycle compares with. It follows the setting only when
    // the operator comes back to the main window (or the files are re-read),
    // so a change takes effect at a moment the operator can see.
    int16 interval_in_use() const { return interval_in_use_; }
    void set_interval_in_use(int16 minutes);

    // Failure notices sent in a row since the last recovery or release.
    int16 notices_in_a_row() const { return notices_in_a_row_; }
    void set_notices_in_a_row(int16 count);

    // Clean checks in a row while delivery is stopped; not shown anywhere.
    int16 clean_checks_while_stopped = 0;

    bool delivery_stopped() const { return delivery_stopped_; }
    void set_delivery_stopped(bool stopped);

    // The number of targets the status line announces: set at start and
    // whenever the target editor closes, not on every edit.
    int16 announced_targets() const { return announced_targets_; }
    void set_announced_targets(int16 count);

    // Returns what unlisten takes, for a listener that goes before the state.
    int listen(Listener listener);
    void unlisten(int id);

  private:
    void changed(MonitorField field);
    template <class T> void set(T& value, T to, MonitorField field);

    long long elapsed_minutes_ = 0;
    int16 interval_in_use_ = 0;
    int16 notices_in_a_row_ = 0;
    bool delivery_stopped_ = false;
    int16 announced_targets_ = 0;
    Listeners<Listener> listeners_;
    OwnerThread owner_;
};
