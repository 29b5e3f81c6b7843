// Pelmora: watches IPv4 devices with ICMP echo and mails the administrator
// when they stop answering. Runs in the directory that holds conf.ini and
// kanshi.ini.
#include <QApplication>
#include <QFont>

#include "core/echo_engine.h"
#include "core/notice_sender.h"
#include "core/shared_state.h"
#include "platform/qt_message_boxes.h"
#include "platform/single_instance.h"
#include "ui/application.h"

namespace {

// Until the real engine and mailer are wired in, nothing is probed or sent.
class NoEngine : public EchoEngine {
public:
    std::vector<EchoOutcome> check_all(const std::vector<EchoJob>& jobs, int, int) override {
        return std::vector<EchoOutcome>(jobs.size(), EchoOutcome::Skipped);
    }
};
class NoMail : public NoticeSender {
public:
    void SendMail(const QString&, const QString&, const QString&, const QString&, const QString&,
                  const QString&) override {}
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
    NoMail mail;
    Application app(Services{shared_state(), boxes, engine, mail, [&lock] { return lock.acquire(); }, {}});
    if (!app.start())
        return 1;
    app.main_window().show();
    return qapp.exec();
}
