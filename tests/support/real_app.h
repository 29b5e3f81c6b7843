#pragma once
// The whole program with nothing faked but the operator: the real echo engine
// and mail over libcurl, started in a test's working directory. Message boxes
// are recorded (a mail failure would show one) and answered by default.
#include <chrono>

#include "core/shared_state.h"
#include "mail/send_mail.h"
#include "platform/curl_smtp_component.h"
#include "support/scripted_boxes.h"
#include "support/work_dir.h"
#include "ui/application.h"

struct RealApp {
    RealApp(const TempWorkDir& dir, EchoEngine& engine)
        : app(Services{state, boxes, engine, mail, [] { return true; },
                       StartupFiles{dir.path("conf.ini"), dir.path("kanshi.ini")}}) {}

    SharedState state;
    ScriptedBoxes boxes;
    CurlSmtpComponent curl{std::chrono::seconds(5), std::chrono::seconds(10)};
    SmtpNoticeSender mail{curl, boxes};
    Application app;
};
