#pragma once
// A check without a window: `display` records what the main window would
// show as the monitoring state changes, the engine fails the targets named
// in `down`, the mailer records each notice.
#include <QString>
#include <QStringList>
#include <set>

#include "core/check_sweep.h"
#include "core/shared_state.h"
#include "support/fakes.h"
#include "ui/display_texts.h"

struct RecordedDisplay {
    QString elapsed_minutes;
    QString interval_in_use;
    QString notices_in_a_row;
    QString target_count; // targets announced
    bool stopped = false;

    void follow(const MonitorState& m, MonitorField field) {
        switch (field) {
        case MonitorField::ElapsedMinutes:
            elapsed_minutes = QString::number(m.elapsed_minutes());
            break;
        case MonitorField::IntervalInUse:
            interval_in_use = QString::number(m.interval_in_use());
            break;
        case MonitorField::NoticesInARow:
            notices_in_a_row = notices_in_a_row_text(m.notices_in_a_row());
            break;
        case MonitorField::DeliveryStopped:
            stopped = m.delivery_stopped();
            break;
        case MonitorField::AnnouncedTargets:
            target_count = monitored_targets_text(m.announced_targets());
            break;
        }
    }
};

struct SweepRig {
    SharedState state;
    RecordedDisplay display;
    ScriptedEngine engine;
    RecordingMailer mail;
    std::set<int> down; // indices of the records that never answer

    explicit SweepRig(int targets = 3, int16 stop_after = 3) {
        state.monitor.listen([this](MonitorField f) { display.follow(state.monitor, f); });
        Settings& s = state.settings;
        s.admin_address = QStringLiteral("admin@example.test");
        s.sender_address = QStringLiteral("pelmora@example.test");
        s.smtp_server = QStringLiteral("127.0.0.1");
        s.sender_domain = QStringLiteral("example.test");
        s.interval_minutes = 5;
        s.attempts = 3;
        s.ttl = 64;
        s.stop_after_notices = stop_after;
        for (int i = 0; i < targets; ++i) {
            state.targets.records[i].address = QStringLiteral("10.0.0.%1").arg(i + 1);
            state.targets.records[i].description =
                QStringLiteral("機器%1／03-0000-000%1／担当%1").arg(i);
        }
        state.targets.count = static_cast<int16>(targets);
        state.monitor.set_interval_in_use(5);
        state.monitor.set_elapsed_minutes(0);
        engine.reachable = [this](int index, const std::string&) { return !down.count(index); };
    }

    void failing_sweep() {
        down = {0};
        run_check(state, engine, mail);
    }
    void clean_sweep() {
        down.clear();
        run_check(state, engine, mail);
    }
    size_t notices() const { return mail.sent.size(); }
    QString last_subject() const {
        return mail.sent.empty() ? QString() : mail.sent.back().subject;
    }
};
