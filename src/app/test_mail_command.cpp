#include "app/test_mail_command.h"

#include <cstdio>

#include "app/stderr_lines.h"
#include "core/file_error.h"
#include "core/mail_security.h"
#include "core/settings.h"
#include "mail/test_mail.h"
#include "settings/conf_file.h"
#include "settings/smtp_file.h"

int run_test_mail(MailTransport& transport) {
    Settings settings;
    MailSecurity security;
    const FileRead conf = load_settings(settings);
    const FileRead smtp = conf.ok() ? load_mail_security(security) : conf;
    if (!smtp.ok()) {
        tell_on_stderr(smtp.failure().text.simplified());
        return 1;
    }
    const Notice mail = test_mail(settings, security, QDateTime::currentDateTime());
    if (const std::optional<DeliveryFailure> failure = transport.send(mail)) {
        // One line per line of the box, so a journal keeps them together.
        for (const QString& line : test_mail_failed_text(*failure).split(QStringLiteral("\r\n")))
            if (!line.isEmpty())
                tell_on_stderr(line);
        return 1;
    }
    std::fputs((test_mail_sent_text(mail) + u'\n').toLocal8Bit().constData(), stdout);
    return 0;
}
