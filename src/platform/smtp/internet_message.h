#pragma once
// One notice as an Internet message: headers a mail reader understands and a
// UTF-8 body in base64, every line ended by CR LF.
#include <QByteArray>
#include <QDateTime>
#include <QString>

struct OutgoingMail {
    QString from;
    QString to;
    QString subject;
    QString body; // line breaks may be CR, LF or CR LF
    QDateTime date;
};

QByteArray compose_internet_message(const OutgoingMail& mail);

// The text with every line break (CR, LF or CR LF) made CR LF: SMTP allows no other.
QString with_crlf_line_breaks(const QString& text);

// An unstructured header value as RFC 2047 encoded-words (UTF-8, base64),
// folded so that no word is longer than the 75 characters allowed.
QByteArray encode_header_words(const QString& text);
