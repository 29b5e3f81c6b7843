#pragma once
// What the settings window does with the shared settings: fill its eight
// fields from them, and on closing ask, store the fields and write conf.ini.
#include <QString>
#include <array>

#include "core/int16.h"

struct SharedState;
class MessageBoxes;

// The fields Text1..Text8: to_mailadd, from_mailadd, pop_server,
// from_maildomain as they are, then chk_interval, chk_ribenzi, chk_ttl,
// chk_yokusi in decimal.
using SettingsFields = std::array<QString, 8>;
inline constexpr int kFirstNumberField = 4; // Text5

inline QString close_question() {
    return QStringLiteral("更新して終了します。");
}
inline QString close_question_title() {
    return QStringLiteral("終了判定");
}

SettingsFields settings_fields(const SharedState& state);

// The setting behind number field Text5..Text8, counted 0..3.
int16& number_setting(SharedState& state, int number_field);

// Texts unchanged; numbers rounded to the nearest integer, an exact half to
// the even neighbour. A number field that holds no number leaves its setting
// alone (the window's range check never lets one stay).
void store_settings_fields(const SettingsFields& fields, SharedState& state);

// The close of the settings window, whatever asked for it: on Yes to the update
// question the fields go into the shared settings and conf.ini is written to
// conf_path; on No nothing changes. A failed write is shown to the operator
// and the program goes on; the settings keep the confirmed values and the file
// its old content. Returns whether the operator answered Yes.
bool settings_close(const SettingsFields& fields, SharedState& state, MessageBoxes& boxes,
                    const QString& conf_path);
