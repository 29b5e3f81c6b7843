#pragma once
// The whole program with nothing faked but the operator: the real echo engine
// and mail over libcurl, started in a test's working directory. Message boxes
// are recorded (a mail failure would show one) and answered by default.
// Checks run on worker threads as in the program; tick() waits for one.
#include <QCoreApplication>
#include <chrono>

#include "app/monitor_services.h"
#include "app_fixture.h"
#include "platform/smtp/curl_mail_transport.h"
#include "support/scripted_boxes.h"
#include "support/work_dir.h"

struct RealApp {
    RealApp(const TempWorkDir& dir, EchoEngine& engine)
        : services(MonitorParts{
              .boxes = boxes,
              .engine = engine,
              .files = files_in(dir),
              .first_copy = [] { return true; },
              .transport = &curl,
              // the program's log in the working directory, without the system log
              .log = EventLogOptions{dir.path("pelmora.log"), kLogRotateBytes, false}}),
          app(services.for_windows()) {}

    // One minute, and the check it may start, to its end, kept in the history.
    void tick() {
        app.Timer1_Timer();
        while (app.checking() || (services.keeper() && services.keeper()->busy()))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    ScriptedBoxes boxes;
    CurlMailTransport curl{SmtpTimeouts{std::chrono::seconds(5), std::chrono::seconds(10),
                                        std::chrono::seconds(2), std::chrono::seconds(30)}};
    MonitorServices services;
    SharedState& state = services.state;
    Application app;
};
