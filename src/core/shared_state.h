#pragma once
// The program-wide values: the eight settings, the target table and the
// counters of the delivery stop. Every window and the sweep work on the one
// instance directly, by name.
#include <QString>
#include <array>

#include "core/int16.h"

inline constexpr int kTargetSlots = 1001; // indices 0..1000

struct SharedState {
    // conf.ini, in file order
    QString to_mailadd;
    QString from_mailadd;
    QString pop_server; // the SMTP server, despite the name
    QString from_maildomain;
    int16 chk_interval = 0;
    int16 chk_ribenzi = 0;
    int16 chk_ttl = 0;
    int16 chk_yokusi = 0;

    // kanshi.ini: records occupy 0..dat_count-1
    std::array<QString, kTargetSlots> ip_add;
    std::array<QString, kTargetSlots> mess;
    std::array<int16, kTargetSlots> valid_flag{};
    int16 dat_count = 0;

    // delivery stop; never stored, so every run starts in the normal state
    int16 chk_yokusi_cnt = 0;
    int16 fukkyu_cnt = 0;
    QString mail_title;
};

// The one instance the running program uses. Tests build their own.
SharedState& shared_state();
