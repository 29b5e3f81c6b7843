#include "platform/smtp/smtp_server_address.h"

namespace {

// Only what a DNS name or a dotted address may hold: the text goes into a URL,
// so nothing here may carry a path, a user name or a second host.
bool is_host_name(const QString& host) {
    if (host.isEmpty())
        return false;
    for (QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                        (u >= '0' && u <= '9') || u == '.' || u == '-' || u == '_';
        if (!ok)
            return false;
    }
    return true;
}

bool is_ipv6_address(const QString& host) {
    if (!host.contains(QLatin1Char(':')))
        return false;
    for (QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') ||
                        (u >= 'A' && u <= 'F') || u == ':' || u == '.';
        if (!ok)
            return false;
    }
    return true;
}

std::optional<int> parse_port(const QString& text) {
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int port = text.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

} // namespace

QString strip_blanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString SmtpServerAddress::url_authority() const {
    const QString shown_host = is_ipv6() ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("smtp://%1:%2").arg(shown_host).arg(port);
}

std::optional<SmtpServerAddress> parse_smtp_server_address(const QString& raw) {
    const QString text = strip_blanks(raw);
    SmtpServerAddress address;
    QString port_text;
    bool has_port = false;

    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        address.host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return std::nullopt;
            port_text = rest.mid(1);
            has_port = true;
        }
        if (!is_ipv6_address(address.host))
            return std::nullopt;
    } else if (text.count(QLatin1Char(':')) > 1) {
        // A bare IPv6 address: its colons cannot also announce a port.
        address.host = text;
        if (!is_ipv6_address(address.host))
            return std::nullopt;
    } else {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        address.host = colon < 0 ? text : text.left(colon);
        if (colon >= 0) {
            port_text = text.mid(colon + 1);
            has_port = true;
        }
        if (!is_host_name(address.host))
            return std::nullopt;
    }

    if (has_port) {
        const std::optional<int> port = parse_port(port_text);
        if (!port)
            return std::nullopt;
        address.port = *port;
    }
    return address;
}
