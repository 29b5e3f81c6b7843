#pragma once
// A whole Pelmora in a temporary working directory, with scripted message
// boxes, a scripted engine and a recording mailer. Start-up has run.
#include <QByteArray>
#include <memory>

#include "app/monitor_services.h"
#include "support/fakes.h"
#include "support/scripted_boxes.h"
#include "support/work_dir.h"
#include "ui/application.h"

struct AppFixture {
    // kanshi: the bytes of kanshi.ini; conf: those of conf.ini; smtp: those
    // of smtp.ini (mode 0600), none when empty.
    explicit AppFixture(const QByteArray& kanshi = three_targets(),
                        const QByteArray& conf = conf_bytes(), const QByteArray& smtp = {});

    static QByteArray three_targets(); // 10.0.0.1..3, descriptions A／1／a .. C／3／c, flags 0

    TempWorkDir dir;
    ScriptedBoxes boxes;
    ScriptedEngine engine;
    RecordingMailer mail;
    MonitorServices services; // checks and mails run in the call
    SharedState& state = services.state;
    std::unique_ptr<Application> app;
    bool started = false;

    MainWindow& main() { return app->main_window(); }
};

// conf.ini, kanshi.ini, pelmora.log and smtp.ini in dir.
WorkingFiles files_in(const TempWorkDir& dir);
