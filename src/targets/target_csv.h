#pragma once
// kanshi.ini as CSV for a spreadsheet, and a list read back from one: a row a
// target, its description in the editor's three boxes.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

#include "core/target_list.h"

// UTF-8 with a byte order mark (spreadsheet programs need it to read
// Japanese): a header line, then address, device name, contact number,
// person in charge and the flag as stored.
QByteArray targets_csv(const TargetList& targets);

// The text of a CSV file: UTF-8 when the bytes are valid UTF-8 (a byte order
// mark is dropped), else code page 932, as a spreadsheet saves it.
QString csv_file_text(const QByteArray& bytes);

struct TargetsFromCsv {
    // Every row, in order; null when a line is bad.
    std::unique_ptr<TargetList> targets;
    // One "N 行目: why" for each fault, N the line of the file.
    QStringList problems;
};

// Reads a list as targets_csv writes it, a header line optional. Typed
// characters are folded as the editor folds them; a row is refused when the
// editor would refuse its boxes or kanshi.ini could not hold it.
TargetsFromCsv targets_from_csv(const QByteArray& bytes);
