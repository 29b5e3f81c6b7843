#pragma once
// The eight settings of conf.ini, as the monitor uses them.
#include <QString>

#include "core/int16.h"

struct Settings {
    QString admin_address;  // the recipient of every notice
    QString sender_address; // the notices' sender
    QString smtp_server;    // "host" or "host:port"
    QString sender_domain;  // the name the program greets the mail server with
    int16 interval_minutes = 0;
    int16 attempts = 0;           // echo attempts a target gets in one check
    int16 ttl = 0;                // time-to-live of the echo requests
    int16 stop_after_notices = 0; // failure notices in a row that stop delivery
};
