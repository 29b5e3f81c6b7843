#include "settings/settings_form.h"

#include "core/app_title.h"
#include "core/file_error.h"
#include "core/message_box.h"
#include "core/monitor_events.h"
#include "core/settings.h"
#include "settings/conf_file.h"
#include "settings/number_field.h"

SettingsFields settings_fields(const Settings& s) {
    return {s.admin_address,
            s.sender_address,
            s.smtp_server,
            s.sender_domain,
            QString::number(s.interval_minutes),
            QString::number(s.attempts),
            QString::number(s.ttl),
            QString::number(s.stop_after_notices)};
}

int16& number_setting(Settings& s, int number_field) {
    switch (number_field) {
    case 0:
        return s.interval_minutes;
    case 1:
        return s.attempts;
    case 2:
        return s.ttl;
    default:
        return s.stop_after_notices;
    }
}

void store_settings_fields(const SettingsFields& fields, Settings& s) {
    s.admin_address = fields[0];
    s.sender_address = fields[1];
    s.smtp_server = fields[2];
    s.sender_domain = fields[3];
    for (int k = 0; k < 4; ++k) {
        if (std::optional<int16> n = field_to_int16(fields[kFirstNumberField + k]))
            number_setting(s, k) = *n;
    }
}

bool close_settings(const SettingsFields& fields, Settings& settings, MessageBoxes& boxes,
                    const QString& conf_path, MonitorEvents* events) {
    if (!boxes.yes_no(close_question(), close_question_title()))
        return false;
    store_settings_fields(fields, settings);
    try {
        save_settings(settings, conf_path);
        if (events)
            events->announce(EventKind::SettingsSaved,
                             QStringLiteral("file=%1 interval=%2 stop_after=%3")
                                 .arg(conf_path)
                                 .arg(settings.interval_minutes)
                                 .arg(settings.stop_after_notices));
    } catch (const FileError& e) {
        boxes.ok(e.text, app_title(), BoxIcon::Critical);
    }
    return true;
}
