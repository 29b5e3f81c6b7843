#include "settings/typed_input.h"

#include <cmath>

#include "core/cp932.h"
#include "core/line_file.h"

std::optional<double> whole_number(const QString& text) {
    const std::optional<NumberPrefix> number = number_prefix(text);
    if (!number || !std::isfinite(number->value))
        return std::nullopt;
    for (qsizetype i = number->end; i < text.size(); ++i) {
        if (text[i] != u' ' && text[i] != u'\t')
            return std::nullopt; // only blanks may follow the number
    }
    return number->value;
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

std::optional<QString> file_text_refusal(const QString& typed, const QString& file_name) {
    const QString text = cp932_fold_typed(typed); // what will be stored
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
