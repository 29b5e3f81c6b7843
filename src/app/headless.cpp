#include "app/headless.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <span>
#include <unistd.h>

#include "app/command_line.h"
#include "app/monitor_services.h"
#include "app/stderr_message_boxes.h"
#include "core/monitoring_cycle.h"
#include "core/shared_state.h"

namespace {

constexpr int kFailedChecksBeforeEnd = 3;

// Signals reach the event loop through a pipe: a handler may do next to
// nothing, but it may write a byte.
int signal_pipe[2] = {-1, -1};

void on_signal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] ssize_t ignored = ::write(signal_pipe[1], &byte, 1);
}

bool catch_signals() {
    if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGUSR1, SIGHUP, SIGTERM, SIGINT})
        if (::sigaction(number, &action, nullptr) != 0)
            return false;
    return true;
}

} // namespace

int run_headless(int argc, char** argv, EchoEngine& engine,
                 const std::optional<EchoFailure>& echo_refused, const CommandLine& options) {
    QCoreApplication app(argc, argv);
    StderrMessageBoxes boxes;
    MonitorServices services(MonitorParts{.boxes = boxes,
                                          .engine = engine,
                                          .echo_refused = echo_refused,
                                          .tell = tell_on_stderr,
                                          .minute_ms = options.minute_ms,
                                          .boxes_on_stderr = true,
                                          .listen = options.listen});
    SharedState& state = services.state;
    if (!services.start())
        return 1;
    if (!catch_signals()) {
        tell_on_stderr(QStringLiteral("シグナルを受け取る準備ができません。"));
        return 1;
    }
    state.events.announce(EventKind::Start, start_detail(QStringLiteral("headless"), state));
    tell_on_stderr(QStringLiteral("監視を開始しました（%1拠点、%2分毎）。")
                       .arg(state.targets.count)
                       .arg(state.settings.interval_minutes));
    if (services.web_port() != 0)
        tell_on_stderr(QStringLiteral("%1:%2 で待ち受けています。")
                           .arg(options.listen->address)
                           .arg(services.web_port()));
    state.monitor.listen([&state](MonitorField field) {
        if (field == MonitorField::DeliveryStopped)
            tell_on_stderr(state.monitor.delivery_stopped()
                               ? QStringLiteral("メール配信を停止しました。")
                               : QStringLiteral("メール配信を再開しました。"));
    });

    // Under the service nothing can start a pelmora-echo that died again: no
    // capability is left to give it. Checks that cannot be made end the
    // program with status 1 instead of leaving the devices unwatched, and the
    // service manager starts it afresh (Restart=on-failure).
    state.events.listen([&state](const MonitorEvent& event) {
        if (event.kind == EventKind::Check &&
            state.status.unmade_in_a_row == kFailedChecksBeforeEnd) {
            tell_on_stderr(QStringLiteral("ICMP エコーを %1 回続けて送れませんでした。"
                                          "状態 1 で終了します。")
                               .arg(kFailedChecksBeforeEnd));
            QCoreApplication::exit(1);
        }
    });

    MonitoringCycle cycle(state, engine, services.notices(), services.executor(),
                          services.keeper());
    QTimer minute;
    minute.setTimerType(Qt::PreciseTimer);
    minute.setInterval(options.minute_ms.value_or(60000));
    QObject::connect(&minute, &QTimer::timeout, [&] { cycle.minute_passed(); });
    minute.start();

    // A storm of SIGHUP must not become a storm of reloads: the first one
    // reloads at once; those that follow within the quiet time give one more
    // reload at its end, so the last edit is still read.
    QTimer reload_quiet;
    reload_quiet.setSingleShot(true);
    reload_quiet.setInterval(500);
    bool reload_pending = false;
    const auto reload_now = [&] {
        reload_pending = false;
        services.reload(tell_on_stderr);
        reload_quiet.start();
    };
    QObject::connect(&reload_quiet, &QTimer::timeout, [&] {
        if (reload_pending)
            reload_now();
    });
    QSocketNotifier signal_notifier(signal_pipe[0], QSocketNotifier::Read);
    QObject::connect(&signal_notifier, &QSocketNotifier::activated, [&] {
        char numbers[256];
        ssize_t count = 0;
        while ((count = ::read(signal_pipe[0], numbers, sizeof numbers)) > 0) {
            for (const char number : std::span(numbers, static_cast<size_t>(count))) {
                switch (number) {
                case SIGUSR1:
                    if (reload_pending) // files edited before the release count
                        reload_now();
                    cycle.release_stop();
                    break;
                case SIGHUP:
                    if (reload_quiet.isActive())
                        reload_pending = true;
                    else
                        reload_now();
                    break;
                default:
                    QCoreApplication::quit();
                }
            }
        }
    });
    const int status = app.exec();
    state.events.announce(EventKind::End, {});
    tell_on_stderr(QStringLiteral("終了します。"));
    if (cycle.checking()) {
        // The check's worker still uses the engine and the transport; nothing
        // is written in this mode, so only the notice in flight is lost.
        std::fflush(nullptr);
        ::_exit(status);
    }
    return status;
}
