#pragma once
// The test mail: one message to the administrator that shows the mail
// settings work before an outage has to prove it. It names the server, the
// encryption and the user, never the password.
#include <QDateTime>

#include "core/mail_security.h"
#include "core/notice.h"
#include "mail/mail_transport.h"

struct Settings;

Notice test_mail(const Settings& settings, const MailSecurity& security, const QDateTime& now);

// "なし（可能ならSTARTTLS）", "STARTTLS", "SSL/TLS": the names the settings
// window uses.
QString encryption_name(MailEncryption encryption);

// What the operator is told when the test mail went out.
QString test_mail_sent_text(const Notice& mail);

// What the operator is told when it did not: the notice's failure box text,
// with the library's reason even where that box keeps it short.
QString test_mail_failed_text(const DeliveryFailure& failure);
