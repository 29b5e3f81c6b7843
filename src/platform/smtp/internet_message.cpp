#include "platform/smtp/internet_message.h"

#include <QUuid>

namespace {

const QByteArray kCrLf("\r\n");

// RFC 5322 wants English day and month names whatever the system's locale.
QByteArray rfc5322_date(const QDateTime& when) {
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = when.date();
    const QTime t = when.time();
    const int offset_minutes = when.offsetFromUtc() / 60;
    const int magnitude = offset_minutes < 0 ? -offset_minutes : offset_minutes;
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
        .arg(QLatin1String(days[d.dayOfWeek() - 1]))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(months[d.month() - 1]))
        .arg(d.year())
        .arg(t.hour(), 2, 10, QLatin1Char('0'))
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.second(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1Char(offset_minutes < 0 ? '-' : '+'))
        .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
        .arg(magnitude % 60, 2, 10, QLatin1Char('0'))
        .toLatin1();
}

// The sender's own domain names the message, as mail software expects; a
// sender without a usable one still gets a unique identifier.
QByteArray message_id(const QString& from) {
    QString domain = from.section(QLatin1Char('@'), -1);
    domain.remove(QLatin1Char('>'));
    bool usable = from.contains(QLatin1Char('@')) && !domain.isEmpty();
    for (QChar c : domain)
        usable = usable &&
                 (c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-')) &&
                 c.unicode() < 0x80;
    if (!usable)
        domain = QStringLiteral("pelmora.invalid");
    return "<" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + "@" +
           domain.toLatin1() + ">";
}

QByteArray base64_lines(const QByteArray& bytes) {
    const QByteArray encoded = bytes.toBase64();
    QByteArray out;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        out += encoded.mid(at, 76) + kCrLf;
    return out;
}

} // namespace

QString with_crlf_line_breaks(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            out += QLatin1String("\r\n");
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray encode_header_words(const QString& text) {
    // 45 bytes make 60 base64 characters, which with "=?UTF-8?B?" and "?="
    // stay within 75. Words split only between characters, never inside one.
    constexpr qsizetype max_bytes_per_word = 45;
    QByteArray out;
    QByteArray chunk;
    auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype length = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            length = 2;
        const QByteArray character = text.mid(i, length).toUtf8();
        if (chunk.size() + character.size() > max_bytes_per_word)
            flush();
        chunk += character;
        i += length - 1;
    }
    flush();
    return out;
}

QByteArray compose_internet_message(const OutgoingMail& mail) {
    QByteArray out;
    out += "From: " + mail.from.toUtf8() + kCrLf;
    out += "To: " + mail.to.toUtf8() + kCrLf;
    out += "Subject:";
    if (!mail.subject.isEmpty())
        out += " " + encode_header_words(mail.subject);
    out += kCrLf;
    out += "Date: " + rfc5322_date(mail.date) + kCrLf;
    out += "Message-ID: " + message_id(mail.from) + kCrLf;
    out += "MIME-Version: 1.0" + kCrLf;
    out += "Content-Type: text/plain; charset=UTF-8" + kCrLf;
    out += "Content-Transfer-Encoding: base64" + kCrLf;
    out += kCrLf;
    out += base64_lines(with_crlf_line_breaks(mail.body).toUtf8());
    return out;
}
