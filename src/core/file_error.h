#pragma once
// A file that could not be read or written, with the text the operator sees.
#include <QString>
#include <stdexcept>

struct FileError : std::runtime_error {
    explicit FileError(const QString& operator_text)
        : std::runtime_error(operator_text.toStdString()), text(operator_text) {}
    QString text; // names the file, the line where it applies, and what is wrong
};

// The system's reason for errno, in the operator's language where we know it.
QString system_reason(int error_number);
