#pragma once
// Hands what each check left to the history, on a worker and one check at a
// time, in the order of the checks. Monitoring and mail never wait for it. A
// history that fails is told once (a box, standard error, a log line) until
// it keeps a check again, which is logged too. Used on the window's thread.
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/device_history.h"
#include "core/owner_thread.h"

class CheckExecutor;
class MessageBoxes;
class MonitorEvents;

class CheckKeeper {
  public:
    // Checks left waiting behind a history that hangs: beyond this the oldest go.
    static constexpr std::size_t kMaxWaiting = 100;

    CheckKeeper(std::shared_ptr<CheckHistory> history, MonitorEvents& events, MessageBoxes& boxes,
                std::function<void(const QString&)> tell = {});

    void keep(CheckRecord record, CheckExecutor& executor);

    // How the devices stood at the last check kept (read in the call).
    std::vector<DeviceLastState> last_states() { return history_->last_states(); }

    // A check is being kept: its worker still uses the history.
    bool busy() const { return writing_; }

  private:
    void write(CheckRecord record, CheckExecutor& executor);
    void written(const QString& why);

    std::shared_ptr<CheckHistory> history_;
    MonitorEvents& events_;
    MessageBoxes& boxes_;
    std::function<void(const QString&)> tell_;
    bool writing_ = false;
    bool failing_ = false;
    std::deque<CheckRecord> waiting_;
    OwnerThread owner_;
};

// The text of the box that tells the history cannot keep checks.
QString history_failure_text(const QString& why);
