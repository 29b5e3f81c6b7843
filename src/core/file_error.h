#pragma once
// A file that could not be read or written, with the text the operator sees.
#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>

// One failure at the start-up files' boundary, whatever step it came from.
struct FileFailure {
    enum class Code {
        Unreadable, // missing, not a plain file, too large, or the system refused it
        Refused,    // readable, but the program must not trust it (owner, mode, symlink)
        BadValue,   // a line that cannot be read as the layout says
        Unwritable, // saving failed; the old file is intact
    };
    Code code = Code::Unreadable;
    QString file; // as the operator named it
    int line = 0; // the line it applies to, from 1; 0: the file as a whole
    QString text; // names the file, the line where it applies, and what is wrong
};

// What reading one file gives besides its values: what the operator should
// know about hand-edited lines the program follows as they are, or the
// failure. A failed read leaves the values in use as they were.
class FileRead {
  public:
    FileRead(QStringList warnings = {}) : warnings_(std::move(warnings)) {}
    FileRead(FileFailure failure) : failure_(std::move(failure)) {}
    bool ok() const { return !failure_; }
    const QStringList& warnings() const { return warnings_; }
    const FileFailure& failure() const { return *failure_; }

  private:
    QStringList warnings_;
    std::optional<FileFailure> failure_;
};

// The writers still throw; inside the readers it carries the failure to
// their boundary.
struct FileError : std::runtime_error {
    explicit FileError(const QString& operator_text)
        : FileError(FileFailure{FileFailure::Code::Unwritable, {}, 0, operator_text}) {}
    explicit FileError(FileFailure f)
        : std::runtime_error(f.text.toStdString()), text(f.text), failure(std::move(f)) {}
    QString text; // names the file, the line where it applies, and what is wrong
    FileFailure failure;
};

// The system's reason for errno, in the operator's language where we know it.
QString system_reason(int error_number);
