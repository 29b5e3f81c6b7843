#pragma once
// The whole program with nothing faked but the operator: the real echo engine
// and mail over libcurl, started in a test's working directory. Message boxes
// are recorded (a mail failure would show one) and answered by default.
// Checks run on worker threads as in the program; tick() waits for one.
#include <QCoreApplication>
#include <chrono>

#include "core/check_executor.h"
#include "core/shared_state.h"
#include "mail/notice_delivery.h"
#include "platform/event_log_file.h"
#include "platform/smtp/curl_mail_transport.h"
#include "support/scripted_boxes.h"
#include "support/work_dir.h"
#include "ui/application.h"

struct RealApp {
    RealApp(const TempWorkDir& dir, EchoEngine& engine)
        : log_path(dir.path("pelmora.log")),
          app(Services{
              state,
              boxes,
              engine,
              mail,
              [] { return true; },
              WorkingFiles{dir.path("conf.ini"), dir.path("kanshi.ini"), dir.path("pelmora.log")},
              {},
              &executor}) {
        log.follow(state.events, {});
    }

    // One minute, and the check it may start, to its end.
    void tick() {
        app.Timer1_Timer();
        while (app.checking())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    QString log_path;
    ThreadedExecutor executor;
    SharedState state;
    // the program's log in the working directory, without the system log
    EventLogFile log{EventLogOptions{log_path, kLogRotateBytes, false}};
    ScriptedBoxes boxes;
    CurlMailTransport curl{SmtpTimeouts{std::chrono::seconds(5), std::chrono::seconds(10),
                                        std::chrono::seconds(2), std::chrono::seconds(30)}};
    NoticeDelivery mail{curl, boxes, &state.events};
    Application app;
};
