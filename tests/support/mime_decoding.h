#pragma once
// Just enough MIME reading to check what was sent: headers (unfolded),
// RFC 2047 UTF-8 base64 words, and a base64 body.
#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>

// Joins the words of an encoded header value back into its text. Anything
// that is not an encoded word (other than the folding between them) is kept.
inline QString decode_header_words(const QByteArray& value) {
    static const QRegularExpression word(QStringLiteral(R"(=\?UTF-8\?B\?([A-Za-z0-9+/=]*)\?=)"));
    const QString text = QString::fromLatin1(value);
    QByteArray bytes;
    qsizetype at = 0;
    for (auto match = word.globalMatch(text); match.hasNext();) {
        const auto m = match.next();
        const QString between = text.mid(at, m.capturedStart() - at);
        if (!between.trimmed().isEmpty())
            bytes += between.toLatin1();
        bytes += QByteArray::fromBase64(m.captured(1).toLatin1());
        at = m.capturedEnd();
    }
    bytes += text.mid(at).toLatin1();
    return QString::fromUtf8(bytes);
}

struct ParsedMessage {
    QList<QPair<QByteArray, QByteArray>> headers; // name, value (unfolded)
    QByteArray body;

    QByteArray header(const QByteArray& name) const {
        for (const auto& h : headers)
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        return {};
    }
    int count(const QByteArray& name) const {
        int n = 0;
        for (const auto& h : headers)
            n += h.first.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
        return n;
    }
};

inline ParsedMessage parse_message(const QByteArray& data) {
    ParsedMessage parsed;
    const qsizetype end = data.indexOf("\r\n\r\n");
    QByteArray head = data.left(end < 0 ? data.size() : end);
    parsed.body = end < 0 ? QByteArray() : data.mid(end + 4);
    head.replace("\r\n ", " ").replace("\r\n\t", "\t");
    for (const QByteArray& line : head.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        const qsizetype colon = l.indexOf(':');
        if (colon > 0)
            parsed.headers.append({l.left(colon), l.mid(colon + 1).trimmed()});
    }
    return parsed;
}

// True when every CR is followed by LF and every LF preceded by CR.
inline bool has_only_crlf_breaks(const QByteArray& data) {
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (data[i] == '\r' && (i + 1 >= data.size() || data[i + 1] != '\n'))
            return false;
        if (data[i] == '\n' && (i == 0 || data[i - 1] != '\r'))
            return false;
    }
    return true;
}

// The subject and the body of a message as the administrator reads them.
struct MailText {
    QString subject;
    QString body;
};

inline MailText mail_text(const QByteArray& data) {
    const ParsedMessage m = parse_message(data);
    return {decode_header_words(m.header("Subject")),
            QString::fromUtf8(QByteArray::fromBase64(m.body))};
}
