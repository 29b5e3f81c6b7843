#pragma once
// How notices reach a mail server that wants encryption or a login: the
// values of smtp.ini. The defaults are the behaviour without that file.
#include <QString>

enum class MailEncryption {
    None = 0,     // STARTTLS when the server offers it, certificate not checked
    StartTls = 1, // STARTTLS required
    Tls = 2,      // TLS from the first byte (SMTPS)
};

struct MailSecurity {
    MailEncryption encryption = MailEncryption::None;
    bool verify = true; // check the certificate (StartTls and Tls)
    QString user;       // empty: no SMTP AUTH
    QString password;
    QString ca_file; // PEM file trusted besides the system store
    bool operator==(const MailSecurity&) const = default;
};
