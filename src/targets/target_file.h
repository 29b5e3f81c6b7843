#pragma once
// kanshi.ini: three lines per target (address, description, flag), records in
// list order, nothing else. An empty file is an empty list. See
// core/line_file.h for the line rules.
#include <QString>

#include "core/file_error.h"

struct TargetList;

inline QString target_file_name() {
    return QStringLiteral("kanshi.ini");
}

// Reads every record into the list from index 0 and sets the count, and warns
// of bad bytes and of monitored addresses the echo engine cannot send to. A
// failure (file, line, reason) for a missing file, a record cut short or a
// 1002nd record leaves the list as it was. Records above those read keep
// their old values.
[[nodiscard]] FileRead load_target_list(TargetList& targets,
                                        const QString& path = target_file_name());

// Writes records 0..count-1 safely (core/safe_save.h). Throws FileError; then
// the old file is intact. A record the file cannot hold is named by an
// UnwritableRecord (targets/unwritable_record.h).
void save_target_list(const TargetList& targets, const QString& path = target_file_name());
