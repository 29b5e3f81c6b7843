// Pelmora: watches IPv4 devices with ICMP echo and mails the administrator
// when they stop answering. Runs in the directory that holds conf.ini and
// kanshi.ini.
#include <QApplication>
#include <QFont>

#include "core/echo_engine.h"
#include "mail/send_mail.h"
#include "platform/curl_smtp_component.h"
#include "core/shared_state.h"
#include "platform/qt_message_boxes.h"
#include "platform/single_instance.h"
#include "ui/application.h"

namespace {

// Until the real engine is wired in, nothing is probed.
class NoEngine : public EchoEngine {
public:
    std::vector<EchoOutcome> check_all(const std::vector<EchoJob>& jobs, int, int) override {
        return std::vector<EchoOutcome>(jobs.size(), EchoOutcome::Skipped);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelmora"));
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(11);
    QApplication::setFont(font);

    QtMessageBoxes boxes;
    SingleInstanceLock lock;
    NoEngine engine;
    CurlSmtpComponent smtp;
    SmtpNoticeSender mail(smtp, boxes);
    Application app(Services{shared_state(), boxes, engine, mail, [&lock] { return lock.acquire(); }, {}});
    if (!app.start())
        return 1;
    app.main_window().show();
    return qapp.exec();
}
