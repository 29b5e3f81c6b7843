#pragma once
// conf.ini: the eight settings, one per line, in this order: to_mailadd,
// from_mailadd, pop_server, from_maildomain (texts), chk_interval,
// chk_ribenzi, chk_ttl, chk_yokusi (numbers). Anything after the eighth value
// is ignored. See core/line_file.h for the line rules.
#include <QString>

struct SharedState;

inline QString conf_file_name() {
    return QStringLiteral("conf.ini");
}

// Reads the file into the eight settings. Throws FileError (file, line,
// reason); then the settings are left as they were.
void conf_load(SharedState& state, const QString& path = conf_file_name());

// Writes the eight settings safely (core/safe_save.h). Throws FileError; then
// the old file is intact.
void conf_save(const SharedState& state, const QString& path = conf_file_name());
