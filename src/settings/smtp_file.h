#pragma once
// smtp.ini, beside conf.ini and optional: encryption (0, 1, 2), verify the
// certificate (1, 0), user name, password, CA file, one per line. It holds a
// password, so the program writes it for its owner only (0600), refuses a
// file that group or others can read or write, and once it holds a password
// leaves no core dump. See core/line_file.h for the line rules.
#include <QString>

#include "core/file_error.h"

struct MailSecurity;

inline QString smtp_file_name() {
    return QStringLiteral("smtp.ini");
}

// Reads the file into security; no file leaves the defaults. A failure (file,
// line, reason, or how to close the file to others) leaves security as it
// was. It gives no warnings.
[[nodiscard]] FileRead load_mail_security(MailSecurity& security,
                                          const QString& path = smtp_file_name());

// Writes the five values safely with mode 0600. Throws FileError; then the
// old file is intact.
void save_mail_security(const MailSecurity& security, const QString& path = smtp_file_name());
