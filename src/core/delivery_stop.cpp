#include "core/delivery_stop.h"

void enter_delivery_stop(MonitorState& monitor) {
    monitor.set_delivery_stopped(true);
    monitor.clean_checks_while_stopped = 0;
}

void leave_delivery_stop(MonitorState& monitor) {
    monitor.set_delivery_stopped(false);
    monitor.set_notices_in_a_row(0);
    monitor.clean_checks_while_stopped = 0;
}
