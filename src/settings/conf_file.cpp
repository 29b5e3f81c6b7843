#include "settings/conf_file.h"

#include <QFileInfo>

#include "core/line_file.h"
#include "core/safe_save.h"
#include "core/settings.h"

void load_settings(Settings& settings, const QString& path) {
    FieldScanner in(read_whole_file(path), QFileInfo(path).fileName());
    // Read everything first, so that a file that fails leaves the settings alone.
    Settings read;
    read.admin_address = in.read_text();
    read.sender_address = in.read_text();
    read.smtp_server = in.read_text();
    read.sender_domain = in.read_text();
    read.interval_minutes = in.read_number();
    read.attempts = in.read_number();
    read.ttl = in.read_number();
    read.stop_after_notices = in.read_number();
    settings = read;
}

void save_settings(const Settings& settings, const QString& path) {
    LineWriter out;
    out.text(settings.admin_address);
    out.text(settings.sender_address);
    out.text(settings.smtp_server);
    out.text(settings.sender_domain);
    out.number(settings.interval_minutes);
    out.number(settings.attempts);
    out.number(settings.ttl);
    out.number(settings.stop_after_notices);
    save_file_safely(path, out.bytes(QFileInfo(path).fileName()));
}
