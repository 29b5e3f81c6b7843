#pragma once
// A record kanshi.ini cannot hold (a hand-edited description with a double
// quote and a comma, a byte the code page lacks, ...). The operator has to
// mend it in the editor, so the refusal names the record as the editor
// numbers it and the box that holds the fault.
#include <QString>
#include <optional>

#include "core/file_error.h"

struct TargetList;

struct UnwritableRecord : FileError {
    UnwritableRecord(const QString& text, int record_number, const QString& box)
        : FileError(text), number(record_number), field(box) {}
    int number;    // from 1, as the editor's 監視通番 shows it
    QString field; // the editor's caption of the box: "機器名称", "IPアドレス", ...
};

// The first of records 0..count-1 that could not be written and read back
// whole, as the error saving would raise; nullopt when all can be.
std::optional<UnwritableRecord> first_unwritable_record(const TargetList& targets,
                                                        const QString& file_name);
