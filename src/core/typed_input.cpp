#include "core/typed_input.h"

#include <cmath>

#include "core/cp932.h"

namespace {

bool is_blank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool is_digit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

std::optional<double> whole_number(const QString& text) {
    qsizetype i = 0;
    qsizetype n = text.size();
    while (i < n && is_blank(text[i]))
        ++i;
    while (n > i && is_blank(text[n - 1]))
        --n;
    const qsizetype start = i;

    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && is_digit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && is_digit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        qsizetype exp_digits = 0;
        while (i < n && is_digit(text[i]))
            ++i, ++exp_digits;
        if (exp_digits == 0)
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;

    bool ok = false;
    const double value = text.mid(start, n - start).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The character at the first place where text holds bad, whole even when it
// is a surrogate pair.
static QString whole_character(const QString& text, QChar bad) {
    const qsizetype at = text.indexOf(bad);
    if (at < 0)
        return QString(bad);
    const qsizetype length = bad.isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
    return text.mid(at, length);
}

std::optional<QString> file_text_refusal(const QString& text, const QString& file_name) {
    for (QChar c : text) {
        if (c == u'"' || c == u'\r' || c == u'\n')
            return quote_or_break_message();
    }
    if (std::optional<QChar> bad = cp932_first_unencodable(text)) {
        return QStringLiteral(
                   "「%1」は使用できません（%2 の文字コード（シフトJIS）で表せない文字です）")
            .arg(whole_character(text, *bad), file_name);
    }
    return std::nullopt;
}
