#include "targets/octet_check.h"

#include <QRegularExpression>

namespace {
int lower_bound(int box) {
    return box == 0 || box == 3 ? 1 : 0;
}
} // namespace

std::optional<double> whole_number(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral(R"(^[ \t]*([+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?)[ \t]*$)"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toDouble();
}

bool octet_ok(int box, const QString& text) {
    const std::optional<double> value = whole_number(text);
    return value && *value >= lower_bound(box) && *value <= 255;
}

QString octet_message(int box) {
    return lower_bound(box) == 1 ? QStringLiteral("1～255の値で設定してください")
                                 : QStringLiteral("0～255の値で設定してください");
}
