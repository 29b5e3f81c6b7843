#include "targets/octet_check.h"

namespace {
int lower_bound(int box) {
    return box == 0 || box == 3 ? 1 : 0;
}
} // namespace

bool octet_ok(int box, const QString& text) {
    // The text goes into the address as it stands, so only a whole decimal
    // number will do: a sign, an exponent or a fraction ("1e2", "+5", "0.5")
    // would store an address no probe can read, and the device would be
    // reported down on every check.
    const QString digits = QString(text).remove(u' ').remove(u'\t');
    if (digits.isEmpty() || digits.size() > 5 || digits.size() != text.trimmed().size())
        return false;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return false;
    }
    const int value = digits.toInt();
    return value >= lower_bound(box) && value <= 255;
}

QString octet_message(int box) {
    return lower_bound(box) == 1 ? QStringLiteral("1～255の値で設定してください")
                                 : QStringLiteral("0～255の値で設定してください");
}
