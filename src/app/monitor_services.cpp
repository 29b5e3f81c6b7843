#include "app/monitor_services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <unistd.h>

#include "core/app_title.h"
#include "core/file_error.h"
#include "core/startup.h"
#include "history/history_store.h"
#include "mail/notice_delivery.h"
#include "platform/echo/helper_echo_engine.h"
#include "platform/smtp/curl_mail_transport.h"
#include "settings/conf_file.h"
#include "settings/smtp_file.h"
#include "targets/target_file.h"
#include "web/web_snapshot.h"

namespace {

// The file the capability belongs on: the helper this program would start.
QString echo_helper_for_advice() {
    const std::vector<std::string> candidates = echo_helper_candidates();
    for (const std::string& path : candidates)
        if (::access(path.c_str(), F_OK) == 0)
            return QString::fromStdString(path);
    return QString::fromStdString(candidates.back());
}

} // namespace

QString history_path(const WorkingFiles& files) {
    return QFileInfo(files.conf).dir().filePath(QStringLiteral("pelmora.db"));
}

MonitorServices::MonitorServices(MonitorParts parts) : parts_(std::move(parts)) {
    if (parts_.log) {
        log_ = std::make_unique<EventLogFile>(*parts_.log);
        log_->follow(state.events, parts_.tell);
    }
    if (!parts_.transport) {
        own_transport_ = std::make_unique<CurlMailTransport>(
            parts_.minute_ms
                ? SmtpTimeouts::for_minute(std::chrono::milliseconds(*parts_.minute_ms))
                : SmtpTimeouts{});
        parts_.transport = own_transport_.get();
    }
    notices_ = parts_.notices;
    if (!notices_) {
        delivery_ =
            std::make_unique<NoticeDelivery>(*parts_.transport, parts_.boxes, &state.events);
        notices_ = delivery_.get();
    }

    // One store of pelmora.db, beside conf.ini: the checks are kept in it and
    // the windows read their figures and graphs from it.
    HistoryOptions options;
    options.path = history_path(parts_.files);
    history_ = std::make_shared<HistoryStore>(std::move(options));
    if (parts_.keep_history)
        keeper_ = std::make_unique<CheckKeeper>(
            parts_.history ? parts_.history : std::shared_ptr<CheckHistory>(history_), state.events,
            parts_.boxes,
            parts_.boxes_on_stderr ? std::function<void(const QString&)>{} : parts_.tell);

    const WorkingFiles files = parts_.files;
    steps_.first_copy = parts_.first_copy;
    if (!steps_.first_copy)
        steps_.first_copy = [this] { return lock_.acquire(); };
    if (const std::optional<EchoFailure> refused = parts_.echo_refused)
        steps_.echo_right = [code = refused->code]() -> std::optional<QString> {
            return echo_right_message(code, echo_helper_for_advice());
        };
    steps_.load_settings = [files](Settings& settings) {
        return load_settings(settings, files.conf);
    };
    steps_.load_targets = [files](TargetList& targets) {
        return load_target_list(targets, files.targets);
    };
    steps_.load_mail_security = [files](MailSecurity& security) {
        return load_mail_security(security, files.smtp);
    };
}

MonitorServices::~MonitorServices() = default;

Services MonitorServices::for_windows() {
    return Services{.state = state,
                    .boxes = parts_.boxes,
                    .engine = parts_.engine,
                    .mail = *notices_,
                    .start_up = [this] { return start(); },
                    .files = parts_.files,
                    .executor = executor(),
                    .transport = parts_.transport,
                    .keeper = keeper(),
                    .history = history_.get()};
}

bool MonitorServices::start() {
    if (!start_monitor(state, parts_.boxes, steps_))
        return false;
    if (keeper_)
        state.status.seed(keeper_->last_states());
    if (!parts_.listen)
        return true;
    snapshots_ = std::make_unique<SnapshotPublisher>(state, parts_.minute_ms.value_or(60000));
    HistoryStore* store = history_.get();
    web_ = std::make_unique<WebServer>(
        *snapshots_,
        WebHistory{
            .figures = [store](qint64 now_s) { return store->figures(now_s); },
            .events = [store](const QString& address,
                              int limit) { return store->events(address, 0, limit); },
            .graph = [store](const QString& address, GraphRange range,
                             qint64 now_s) { return store->graph_input(address, range, now_s); }});
    const QString why = web_->start(*parts_.listen);
    if (!why.isEmpty()) {
        parts_.boxes.show({why, app_title(), BoxIcon::Critical});
        web_.reset();
        return false;
    }
    return true;
}

std::uint16_t MonitorServices::web_port() const {
    return web_ ? web_->port() : 0;
}

void MonitorServices::reload(const std::function<void(const QString&)>& tell) {
    // Read into copies, so that a file that fails leaves the values in use.
    Settings settings = state.settings;
    TargetList targets = state.targets;
    MailSecurity security = state.mail_security;
    const FileRead conf = steps_.load_settings(settings);
    const FileRead kanshi = conf.ok() ? steps_.load_targets(targets) : conf;
    const FileRead smtp = kanshi.ok() ? steps_.load_mail_security(security) : kanshi;
    if (!smtp.ok()) {
        tell(smtp.failure().text.simplified() +
             QStringLiteral(" 以前の設定のまま監視を続けます。"));
        return;
    }
    state.settings = settings;
    state.targets = targets;
    state.mail_security = security;
    if (snapshots_)
        snapshots_->publish();
    state.monitor.set_interval_in_use(settings.interval_minutes);
    state.monitor.set_announced_targets(targets.count);
    tell(QStringLiteral("conf.ini と kanshi.ini を読み直しました（%1拠点、%2分毎）。")
             .arg(targets.count)
             .arg(settings.interval_minutes));
    const QString warnings = hand_edit_warning_box_text(conf.warnings() + kanshi.warnings());
    if (!warnings.isEmpty())
        parts_.boxes.inform({warnings, app_title(), BoxIcon::Warning},
                            MessageBoxes::Kind::HandEditWarnings);
}
