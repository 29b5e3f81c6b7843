#include "settings/settings_form.h"

#include "core/app_title.h"
#include "core/file_error.h"
#include "core/message_box.h"
#include "core/shared_state.h"
#include "settings/conf_file.h"
#include "settings/number_field.h"

SettingsFields settings_fields(const SharedState& s) {
    return {s.to_mailadd,
            s.from_mailadd,
            s.pop_server,
            s.from_maildomain,
            QString::number(s.chk_interval),
            QString::number(s.chk_ribenzi),
            QString::number(s.chk_ttl),
            QString::number(s.chk_yokusi)};
}

int16& number_setting(SharedState& s, int number_field) {
    switch (number_field) {
    case 0:
        return s.chk_interval;
    case 1:
        return s.chk_ribenzi;
    case 2:
        return s.chk_ttl;
    default:
        return s.chk_yokusi;
    }
}

void store_settings_fields(const SettingsFields& fields, SharedState& s) {
    s.to_mailadd = fields[0];
    s.from_mailadd = fields[1];
    s.pop_server = fields[2];
    s.from_maildomain = fields[3];
    for (int k = 0; k < 4; ++k) {
        if (std::optional<int16> n = field_to_int16(fields[kFirstNumberField + k]))
            number_setting(s, k) = *n;
    }
}

bool settings_close(const SettingsFields& fields, SharedState& state, MessageBoxes& boxes,
                    const QString& conf_path) {
    if (!boxes.yes_no(close_question(), close_question_title()))
        return false;
    store_settings_fields(fields, state);
    try {
        conf_save(state, conf_path);
    } catch (const FileError& e) {
        boxes.ok(e.text, app_title(), BoxIcon::Critical);
    }
    return true;
}
