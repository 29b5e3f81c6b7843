#include "targets/octet_check.h"

#include "core/typed_input.h"

namespace {
int lower_bound(int box) {
    return box == 0 || box == 3 ? 1 : 0;
}
} // namespace

bool octet_ok(int box, const QString& text) {
    const std::optional<double> value = whole_number(text);
    return value && *value >= lower_bound(box) && *value <= 255;
}

QString octet_message(int box) {
    return lower_bound(box) == 1 ? QStringLiteral("1～255の値で設定してください")
                                 : QStringLiteral("0～255の値で設定してください");
}
