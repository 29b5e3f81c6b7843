// Pelmora: watches IPv4 devices with ICMP echo and mails the administrator
// when they stop answering. Runs in the directory that holds conf.ini and
// kanshi.ini, with windows, or with --headless as a service.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <cstdio>
#include <unistd.h>

#include "app/command_line.h"
#include "app/csv_commands.h"
#include "app/headless.h"
#include "app/monitor_services.h"
#include "app/stderr_lines.h"
#include "app/test_mail_command.h"
#include "app/work_folder.h"
#include "core/app_title.h"
#include "core/shared_state.h"
#include "platform/echo/helper_echo_engine.h"
#include "platform/echo/socket_echo_engine.h"
#include "platform/privileges.h"
#include "platform/smtp/curl_mail_transport.h"
#include "ui/application.h"
#include "ui/qt_message_boxes.h"

namespace {

// A sweep or a mail still blocked on its worker uses the engine and the
// transport that are about to be destroyed; there is nothing left to save,
// so the process goes without tearing down.
[[noreturn]] void leave_now(int status) {
    std::fflush(nullptr);
    ::_exit(status);
}

QStringList raw_arguments(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

int run_with_windows(int argc, char** argv, EchoEngine& engine,
                     const std::optional<EchoFailure>& echo_refused, const QString& new_folder,
                     const std::optional<ListenOptions>& listen) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelmora"));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(11);
    QApplication::setFont(font);

    QtMessageBoxes boxes;
    if (!new_folder.isEmpty())
        boxes.ok(first_start_text(new_folder), app_title(), BoxIcon::Information);
    MonitorServices services(MonitorParts{.boxes = boxes,
                                          .engine = engine,
                                          .echo_refused = echo_refused,
                                          .tell = tell_on_stderr,
                                          .listen = listen});
    SharedState& state = services.state;
    Application app(services.for_windows());
    if (!app.start())
        return 1;
    state.events.announce(EventKind::Start, start_detail(QStringLiteral("windows"), state));
    app.main_window().show();
    app.main_window().raise();
    app.main_window().activateWindow(); // the keyboard starts where the operator looks
    const int status = qapp.exec();
    state.events.announce(EventKind::End, {});
    if (app.checking())
        leave_now(status);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    // First of all, before Qt reads a plugin path, an argument or any other
    // variable: the ICMP datagram socket where the system grants one, else
    // pelmora-echo, which holds the raw socket in a process of its own (and
    // inherits the service's ambient capability); then no capability here.
    EchoOpened<EchoEngine> opened = open_unprivileged_echo_engine();
    if (const auto kept = drop_all_capabilities()) {
        std::fprintf(stderr, "pelmora: cannot give up capabilities (%s)\n", kept->c_str());
        return 1;
    }
    SocketEchoEngine unopened; // only stands in while start-up reports the refusal
    EchoEngine& engine = opened ? *opened : unopened;
    std::optional<EchoFailure> echo_refused;
    if (!opened)
        echo_refused = opened.failure();

    const CommandLine options = parse_command_line(raw_arguments(argc, argv));
    if (!options.error.isEmpty()) {
        tell_on_stderr(options.error);
        std::fputs(usage_text().toLocal8Bit().constData(), stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(usage_text().toLocal8Bit().constData(), stdout);
        return 0;
    }
    // The CSV file is named from where the command was given, not from --dir.
    const QString import_file = options.import_targets.isEmpty()
                                    ? QString()
                                    : QFileInfo(options.import_targets).absoluteFilePath();
    QString new_folder; // where sample files were put just now
    if (!options.dir.isEmpty() || options.user_folder) {
        const QString folder = options.user_folder ? user_work_folder() : options.dir;
        const PreparedFolder prepared = enter_work_folder(QDir(folder).absolutePath());
        if (!prepared.error.isEmpty()) {
            tell_on_stderr(prepared.error);
            return 1;
        }
        if (prepared.created_files)
            new_folder = QDir(folder).absolutePath();
    }
    if (options.test_mail) {
        CurlMailTransport transport;
        return run_test_mail(transport);
    }
    if (options.export_targets)
        return run_export_targets();
    if (!import_file.isEmpty())
        return run_import_targets(import_file);
    if (options.export_history)
        return run_export_history(options.since, options.address);
    if (options.headless) {
        if (!new_folder.isEmpty())
            tell_on_stderr(first_start_text(new_folder).simplified());
        return run_headless(argc, argv, engine, echo_refused, options);
    }
    return run_with_windows(argc, argv, engine, echo_refused, new_folder, options.listen);
}
