#include "core/monitoring_cycle.h"

#include <cmath>

#include "core/check_sweep.h"
#include "core/line_file.h"
#include "core/monitor_display.h"

double label_number(const QString& text) {
    return leading_number(text).value_or(0.0);
}

QString elapsed_text(double elapsed) {
    if (std::nearbyint(elapsed) == elapsed && std::abs(elapsed) < 1e15)
        return QString::number(elapsed, 'f', 0);
    return QString::number(elapsed, 'g', 15);
}

MonitoringCycle::MonitoringCycle(SharedState& state, MonitorDisplay& display, EchoEngine& engine,
                                 NoticeSender& mail)
    : state_(state), display_(display), engine_(engine), mail_(mail) {}

void MonitoringCycle::Timer1_Timer() {
    // A sweep keeps the thread until its last mail, yet a message box of the
    // mail delivery runs a nested event loop, so events, ticks among them, can
    // be handled while a sweep is still running. Such a tick is dropped, not
    // kept for later: the sweep sets Label6 to 0 when it ends, so a minute
    // counted meanwhile would be lost anyway, and a second sweep must never
    // start inside the first. (Qt does not re-enter a QTimer's own handler,
    // but this guard does not rely on it.) A tick the timer delivers late,
    // after the sweep has returned, is an ordinary tick.
    if (sweeping_)
        return;

    const double elapsed = label_number(display_.Label6_text()) + 1;
    const double interval = label_number(display_.Label7_text());
    if (interval <= elapsed) {
        struct Running {
            bool& flag;
            explicit Running(bool& f) : flag(f) { flag = true; }
            ~Running() { flag = false; }
        } running(sweeping_);
        icmp_chk(state_, display_, engine_, mail_);
        return;
    }
    display_.set_Label6(elapsed_text(elapsed));
}
