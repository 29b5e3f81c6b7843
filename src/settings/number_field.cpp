#include "settings/number_field.h"

#include <cmath>

#include "core/app_title.h"
#include "core/message_box.h"

namespace {

bool is_blank(QChar c) { return c == u' ' || c == u'\t'; }

bool is_digit(QChar c) { return c >= u'0' && c <= u'9'; }

}  // namespace

std::optional<double> whole_number(const QString& typed) {
    // NFKC turns full-width digits, signs, points and the ideographic space
    // into ASCII, so that input typed in Japanese mode reads the same.
    const QString text = typed.normalized(QString::NormalizationForm_KC);
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

bool in_field_range(const QString& text) {
    const std::optional<double> v = whole_number(text);
    return v && *v >= kFieldMin && *v <= kFieldMax;
}

std::optional<int16> field_to_int16(const QString& text) {
    const std::optional<double> v = whole_number(text);
    if (!v)
        return std::nullopt;
    const double rounded = std::nearbyint(*v);  // the default mode rounds half to even
    if (!(rounded >= -32768 && rounded <= 32767))
        return std::nullopt;
    return static_cast<int16>(rounded);
}

void NumberFieldCheck::changed(const QString& text, int16 stored) {
    if (restoring_ || in_field_range(text))
        return;
    boxes_.ok(range_message(), app_title());
    restoring_ = true;
    set_text_(QString::number(stored));
    restoring_ = false;
}
