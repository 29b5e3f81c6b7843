#include "settings/number_field.h"

#include <cmath>

#include "core/app_title.h"
#include "core/message_box.h"
#include "settings/typed_input.h"

namespace {

// The settings are stored as numbers, so full-width digits, signs, point,
// "e" and the ideographic space (as typed in Japanese mode) read like their
// ASCII forms here. Nothing else is folded: "①" is no number.
std::optional<double> field_number(const QString& text) {
    QString ascii = text;
    for (QChar& c : ascii) {
        const char16_t u = c.unicode();
        if ((u >= 0xFF10 && u <= 0xFF19) || u == 0xFF0B || u == 0xFF0D || u == 0xFF0E ||
            u == 0xFF45 || u == 0xFF25)
            c = QChar(u - 0xFEE0);
        else if (u == 0x3000)
            c = u' ';
    }
    return whole_number(ascii);
}

} // namespace

bool in_field_range(const QString& text) {
    const std::optional<double> v = field_number(text);
    return v && *v >= kFieldMin && *v <= kFieldMax;
}

std::optional<int16> field_to_int16(const QString& text) {
    const std::optional<double> v = field_number(text);
    if (!v)
        return std::nullopt;
    const double rounded = std::nearbyint(*v); // the default mode rounds half to even
    if (!(rounded >= -32768 && rounded <= 32767))
        return std::nullopt;
    return static_cast<int16>(rounded);
}

void NumberFieldCheck::changed(const QString& text, int16 stored) {
    if (in_field_range(text))
        return;
    boxes_.ok(range_message(), app_title());
    // Putting the stored value back is itself a change and is checked again;
    // a stored value outside the range (hand-edited conf.ini) is then refused
    // once more and put back as the very same text, which changes nothing.
    set_text_(QString::number(stored));
}
