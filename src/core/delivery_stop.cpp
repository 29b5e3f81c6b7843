#include "core/delivery_stop.h"

#include "core/display_texts.h"
#include "core/monitor_display.h"
#include "core/shared_state.h"

void enter_delivery_stop(SharedState& state, MonitorDisplay& display) {
    display.show_stopped();
    state.fukkyu_cnt = 0;
}

void leave_delivery_stop(SharedState& state, MonitorDisplay& display) {
    display.show_normal();
    state.chk_yokusi_cnt = 0;
    display.set_Yokusi_view(yokusi_view_text(state.chk_yokusi_cnt));
    state.fukkyu_cnt = 0;
}

void Command2_Click(SharedState& state, MonitorDisplay& display) {
    leave_delivery_stop(state, display);
}
