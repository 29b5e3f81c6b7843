#pragma once
// The SMTP server setting: a host name or address, optionally followed by
// ":port". Files written before a port could be given hold a bare host and
// keep meaning port 25.
#include <QString>
#include <optional>

struct SmtpServerAddress {
    QString host; // IPv6 addresses without their brackets
    int port = 25;

    bool is_ipv6() const { return host.contains(QLatin1Char(':')); }
    // "smtp://host:port", ready for libcurl.
    QString url_authority() const;
};

// nullopt when the text is not a usable host[:port]: empty, a port outside
// 1..65535, or characters no host name or address can hold. Blanks around
// the text are ignored.
std::optional<SmtpServerAddress> parse_smtp_server_address(const QString& text);

// The text without the blanks around it (hand-edited settings often carry them).
QString strip_blanks(const QString& text);
