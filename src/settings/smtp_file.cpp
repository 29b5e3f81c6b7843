#include "settings/smtp_file.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/prctl.h>
#include <sys/stat.h>

#include "core/line_file.h"
#include "core/mail_security.h"
#include "core/safe_save.h"

namespace {

// As ssh-agent does: a process that holds a password leaves no core dump, and
// other processes of the same user may not read its memory.
void keep_out_of_core_dumps(const MailSecurity& security) {
    if (!security.password.isEmpty())
        ::prctl(PR_SET_DUMPABLE, 0);
}

// Throws FileError; then security is left as it was.
void read_mail_security(MailSecurity& security, const QString& path, const QString& name) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT) {
        security = MailSecurity{};
        return;
    }
    // Whoever may write it may switch the certificate check off or swap the CA file.
    if ((st.st_mode & 0066) != 0)
        throw FileError(
            FileFailure{FileFailure::Code::Refused, name, 0,
                        QStringLiteral("%1 はパスワードを含むのに、所有者以外も読み書きできます。\n"
                                       "所有者だけが読めるようにしてから起動してください:\n"
                                       "    chmod 600 %2")
                            .arg(name, path)});
    const QByteArray bytes = read_whole_file(path);
    FieldScanner in(bytes, name);
    MailSecurity read;
    const int encryption_line = in.line();
    const int16 encryption = in.read_number();
    if (encryption < 0 || encryption > 2)
        in.fail(QStringLiteral("暗号化は 0（なし）、1（STARTTLS）、2（SSL/TLS）のどれかです。"),
                encryption_line);
    read.encryption = static_cast<MailEncryption>(encryption);
    const int verify_line = in.line();
    const int16 verify = in.read_number();
    if (verify != 0 && verify != 1)
        in.fail(QStringLiteral("証明書の検証は 1（する）か 0（しない）です。"), verify_line);
    read.verify = verify == 1;
    read.user = in.read_text();
    read.password = in.read_text();
    read.ca_file = in.read_text();
    keep_out_of_core_dumps(read);
    security = read;
}

} // namespace

FileRead load_mail_security(MailSecurity& security, const QString& path) {
    try {
        read_mail_security(security, path, QFileInfo(path).fileName());
        return {};
    } catch (const FileError& e) {
        return e.failure;
    }
}

void save_mail_security(const MailSecurity& security, const QString& path) {
    LineWriter out;
    out.number(static_cast<int16>(security.encryption));
    out.number(security.verify ? 1 : 0);
    out.text(security.user);
    out.text(security.password);
    out.text(security.ca_file);
    keep_out_of_core_dumps(security);
    save_file_safely(path, out.bytes(QFileInfo(path).fileName()), 0600);
}
