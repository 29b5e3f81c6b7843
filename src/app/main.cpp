// Pelmora: watches IPv4 devices with ICMP echo and mails the administrator
// when they stop answering. Runs in the directory that holds conf.ini and
// kanshi.ini.
#include <QApplication>
#include <QFont>
#include <cstdio>

#include "core/shared_state.h"
#include "mail/send_mail.h"
#include "platform/curl_smtp_component.h"
#include "platform/privileges.h"
#include "platform/qt_message_boxes.h"
#include "platform/single_instance.h"
#include "platform/socket_echo_engine.h"
#include "ui/application.h"

int main(int argc, char** argv) {
    // First of all, while the binary's capability is still there: the one
    // ICMP socket for the whole run, then no capability at all before Qt
    // reads a plugin path, an argument or any other variable.
    int echo_error = 0;
    std::unique_ptr<SocketEchoEngine> opened = SocketEchoEngine::open(&echo_error);
    if (const auto kept = drop_all_capabilities()) {
        std::fprintf(stderr, "pelmora: cannot give up capabilities (%s)\n", kept->c_str());
        return 1;
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelmora"));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(11);
    QApplication::setFont(font);

    QtMessageBoxes boxes;
    SingleInstanceLock lock;
    SocketEchoEngine unopened; // only stands in while start-up reports the refusal
    EchoEngine& engine = opened ? static_cast<EchoEngine&>(*opened) : unopened;
    CurlSmtpComponent smtp;
    SmtpNoticeSender mail(smtp, boxes);
    Application app(Services{
        shared_state(), boxes, engine, mail, [&lock] { return lock.acquire(); }, StartupFiles{},
        [&]() -> std::optional<QString> {
            if (opened)
                return std::nullopt;
            return echo_right_message(echo_error, QCoreApplication::applicationFilePath());
        }});
    if (!app.start())
        return 1;
    app.main_window().show();
    return qapp.exec();
}
