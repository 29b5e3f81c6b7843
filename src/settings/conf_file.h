#pragma once
// conf.ini: the eight settings, one per line, in this order: administrator
// address, sender address, SMTP server, sender domain (texts), interval,
// attempts, TTL, stop value (numbers). Anything after the eighth value is
// ignored. See core/line_file.h for the line rules.
#include <QString>

#include "core/file_error.h"

struct Settings;

inline QString settings_file_name() {
    return QStringLiteral("conf.ini");
}

// Reads the file once into the eight settings, and warns of the four numbers
// outside 1..255 and of bad bytes on the lines read. A failure (file, line,
// reason) leaves the settings as they were.
[[nodiscard]] FileRead load_settings(Settings& settings,
                                     const QString& path = settings_file_name());

// Writes the eight settings safely (core/safe_save.h). Throws FileError; then
// the old file is intact.
void save_settings(const Settings& settings, const QString& path = settings_file_name());
