#pragma once
// The services of a running monitor, made in one place for the windows, the
// headless service and the tests: the single-instance lock, the monitoring
// state, the event log, the mail transport and notices, the executor, and the
// start-up steps. A mode differs only in what it plugs in.
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/check_executor.h"
#include "core/check_keeper.h"
#include "core/echo_engine.h"
#include "core/shared_state.h"
#include "core/startup.h"
#include "history/history_store.h"
#include "platform/event_log_file.h"
#include "platform/single_instance.h"
#include "ui/application.h"
#include "web/web_server.h"

class MailTransport;
class NoticeDelivery;
class NoticeSender;
class SnapshotPublisher;

// What a mode plugs in; everything left out is the running program's own.
struct MonitorParts {
    MessageBoxes& boxes;
    EchoEngine& engine;
    // Why no echo socket could be opened; none when one was.
    std::optional<EchoFailure> echo_refused = {};
    WorkingFiles files = {};
    // The single-instance check; none: this user's lock.
    std::function<bool()> first_copy = {};
    // Where the mail servers are reached; none: over libcurl.
    MailTransport* transport = nullptr;
    // Where notices go; none: delivered over the transport.
    NoticeSender* notices = nullptr;
    // The event log; none: no log file.
    std::optional<EventLogOptions> log = EventLogOptions{};
    // Where a failing log is reported once (besides the status window).
    std::function<void(const QString&)> tell = {};
    // false: sweeps and mails run in the call, for scripted tests.
    bool checks_on_workers = true;
    // A minute shortened for tests; the mail's time-outs shrink with it.
    std::optional<int> minute_ms = {};
    // Whether checks are kept in a history; tests that count boxes switch it off.
    bool keep_history = true;
    // Where checks are kept; none: pelmora.db beside conf.ini.
    std::shared_ptr<CheckHistory> history = {};
    // The boxes are lines on standard error already: a failing history is
    // not told there twice.
    bool boxes_on_stderr = false;
    // The read-only web endpoint; none: nothing listens.
    std::optional<ListenOptions> listen = {};
};

// pelmora.db, in the folder of conf.ini.
QString history_path(const WorkingFiles& files);

class MonitorServices {
  public:
    explicit MonitorServices(MonitorParts parts);
    ~MonitorServices();
    MonitorServices(const MonitorServices&) = delete;
    MonitorServices& operator=(const MonitorServices&) = delete;

    SharedState state;

    MessageBoxes& boxes() const { return parts_.boxes; }
    EchoEngine& engine() const { return parts_.engine; }
    NoticeSender& notices() const { return *notices_; }
    CheckExecutor* executor() { return parts_.checks_on_workers ? &executor_ : nullptr; }
    // none when checks are not kept
    CheckKeeper* keeper() { return keeper_.get(); }
    const StartupSteps& steps() const { return steps_; }

    // What the windows are built on.
    Services for_windows();

    // Start-up; false when the program must end (the operator was told why).
    // The devices start as the history last saw them; the web endpoint starts
    // last, once the state it shows is loaded.
    bool start();

    // Where the web endpoint listens; 0 while it does not.
    std::uint16_t web_port() const;

    // Reads the three files again and puts them in force at once. When one
    // cannot be read, the values in use stay and that file's error is told.
    void reload(const std::function<void(const QString&)>& tell);

  private:
    MonitorParts parts_;
    ThreadedExecutor executor_;
    std::shared_ptr<HistoryStore> history_;
    SingleInstanceLock lock_;
    std::unique_ptr<EventLogFile> log_;
    std::unique_ptr<MailTransport> own_transport_;
    std::unique_ptr<NoticeDelivery> delivery_;
    std::unique_ptr<CheckKeeper> keeper_;
    NoticeSender* notices_ = nullptr;
    StartupSteps steps_;
    std::unique_ptr<SnapshotPublisher> snapshots_;
    std::unique_ptr<WebServer> web_;
};
