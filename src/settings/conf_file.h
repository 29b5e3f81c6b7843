#pragma once
// conf.ini: the eight settings, one per line, in this order: administrator
// address, sender address, SMTP server, sender domain (texts), interval,
// attempts, TTL, stop value (numbers). Anything after the eighth value is
// ignored. See core/line_file.h for the line rules.
#include <QString>

struct Settings;

inline QString settings_file_name() {
    return QStringLiteral("conf.ini");
}

// Reads the file into the eight settings. Throws FileError (file, line,
// reason); then the settings are left as they were.
void load_settings(Settings& settings, const QString& path = settings_file_name());

// Writes the eight settings safely (core/safe_save.h). Throws FileError; then
// the old file is intact.
void save_settings(const Settings& settings, const QString& path = settings_file_name());
