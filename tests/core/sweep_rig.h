#pragma once
// A sweep without a window: the display is a plain record of what the main
// window would show, the engine fails the targets named in `down`, the mailer
// records each notice.
#include <QString>
#include <QStringList>
#include <set>

#include "core/check_sweep.h"
#include "core/monitor_display.h"
#include "core/shared_state.h"
#include "support/fakes.h"

struct RecordedDisplay : MonitorDisplay {
    QString Label6 = QStringLiteral("0");
    QString Label7 = QStringLiteral("5");
    QString Yokusi_view;
    QString Label3;
    bool stopped = false; // Command2 enabled, Command3/4 disabled, red

    QString Label6_text() const override { return Label6; }
    void set_Label6(const QString& text) override { Label6 = text; }
    QString Label7_text() const override { return Label7; }
    void set_Label7(const QString& text) override { Label7 = text; }
    void set_Yokusi_view(const QString& text) override { Yokusi_view = text; }
    void set_Label3(const QString& text) override { Label3 = text; }
    bool Command2_enabled() const override { return stopped; }
    void show_stopped() override { stopped = true; }
    void show_normal() override { stopped = false; }
};

struct SweepRig {
    SharedState state;
    RecordedDisplay display;
    ScriptedEngine engine;
    RecordingMailer mail;
    std::set<int> down; // indices of the records that never answer

    explicit SweepRig(int targets = 3, int16 chk_yokusi = 3) {
        state.to_mailadd = QStringLiteral("admin@example.test");
        state.from_mailadd = QStringLiteral("pelmora@example.test");
        state.pop_server = QStringLiteral("127.0.0.1");
        state.from_maildomain = QStringLiteral("example.test");
        state.chk_interval = 5;
        state.chk_ribenzi = 3;
        state.chk_ttl = 64;
        state.chk_yokusi = chk_yokusi;
        for (int i = 0; i < targets; ++i) {
            state.ip_add[i] = QStringLiteral("10.0.0.%1").arg(i + 1);
            state.mess[i] = QStringLiteral("機器%1／03-0000-000%1／担当%1").arg(i);
        }
        state.dat_count = static_cast<int16>(targets);
        engine.reachable = [this](int index, const std::string&) { return !down.count(index); };
    }

    void failing_sweep() {
        down = {0};
        icmp_chk(state, display, engine, mail);
    }
    void clean_sweep() {
        down.clear();
        icmp_chk(state, display, engine, mail);
    }
    size_t notices() const { return mail.sent.size(); }
    QString last_subject() const {
        return mail.sent.empty() ? QString() : mail.sent.back().subject;
    }
};
