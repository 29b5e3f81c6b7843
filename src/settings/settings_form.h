#pragma once
// What the settings window does with the settings: fill its eight fields
// from them, and on closing ask, store the fields and write conf.ini.
#include <QString>
#include <array>

#include "core/int16.h"

struct Settings;
class MessageBoxes;
class MonitorEvents;

// The eight fields in window order: administrator address, sender address,
// SMTP server and sender domain as they are, then interval, attempts, TTL and
// stop value in decimal.
using SettingsFields = std::array<QString, 8>;
inline constexpr int kFirstNumberField = 4; // the interval

inline QString close_question() {
    return QStringLiteral("更新して終了します。");
}
inline QString close_question_title() {
    return QStringLiteral("終了判定");
}

SettingsFields settings_fields(const Settings& settings);

// The setting behind number field 0..3 (interval, attempts, TTL, stop value).
int16& number_setting(Settings& settings, int number_field);

// Texts unchanged; numbers rounded to the nearest integer, an exact half to
// the even neighbour. A number field that holds no number leaves its setting
// alone (the window's range check never lets one stay).
void store_settings_fields(const SettingsFields& fields, Settings& settings);

// The close of the settings window, whatever asked for it: on Yes to the update
// question the fields go into the shared settings and conf.ini is written to
// conf_path; on No nothing changes. A failed write is shown to the operator
// and the program goes on; the settings keep the confirmed values and the file
// its old content. Returns whether the operator answered Yes.
// A saved file is announced to events (when given).
bool close_settings(const SettingsFields& fields, Settings& settings, MessageBoxes& boxes,
                    const QString& conf_path, MonitorEvents* events = nullptr);
