#pragma once
// kanshi.ini: three lines per target (address, description, flag), records in
// table order, nothing else. An empty file is an empty list. See
// core/line_file.h for the line rules.
#include <QString>

struct SharedState;

inline QString target_file_name() {
    return QStringLiteral("kanshi.ini");
}

// Reads every record into the table from index 0 and sets dat_count. Throws
// FileError (file, line, reason) for a missing file, a record cut short or a
// 1002nd record; then the table and dat_count are left as they were.
// Entries above the records read keep their old values.
void load_target_list(SharedState& state, const QString& path = target_file_name());

// Writes records 0..dat_count-1 safely (core/safe_save.h). Throws FileError;
// then the old file is intact. A record the file cannot hold is named by an
// UnwritableRecord (targets/unwritable_record.h).
void save_target_list(const SharedState& state, const QString& path = target_file_name());
