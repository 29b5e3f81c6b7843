#include "settings/number_field.h"

#include <cmath>

#include "core/app_title.h"
#include "core/message_box.h"
#include "core/typed_input.h"

namespace {

// The settings are stored as numbers, so full-width digits, signs, points and
// the ideographic space (as typed in Japanese mode) read like ASCII here.
std::optional<double> field_number(const QString& text) {
    return whole_number(text.normalized(QString::NormalizationForm_KC));
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
    if (restoring_ || in_field_range(text))
        return;
    boxes_.ok(range_message(), app_title());
    restoring_ = true;
    set_text_(QString::number(stored));
    restoring_ = false;
}
