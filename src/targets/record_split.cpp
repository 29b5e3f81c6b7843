#include "targets/record_split.h"

namespace {

// Position (from 1) of the next separator after position `after`, or end when
// there is none (or the previous one was already missing).
int next_separator(const QString& text, QChar separator, int after, int end) {
    if (after >= end)
        return end;
    qsizetype found = text.indexOf(separator, after);
    return found < 0 ? end : static_cast<int>(found) + 1;
}

// The characters strictly between two positions; empty when they touch or
// the first lies past the end.
QString between(const QString& text, int from, int to) {
    if (to - from - 1 <= 0 || from >= text.size())
        return QString();
    return text.mid(from, to - from - 1);
}

} // namespace

DotPositions serch_dot(const QString& ipaddress) {
    const int end = static_cast<int>(ipaddress.size()) + 1;
    DotPositions p{};
    p.ipeof = end;
    p.ip1dot = next_separator(ipaddress, u'.', 0, end);
    p.ip2dot = next_separator(ipaddress, u'.', p.ip1dot, end);
    p.ip3dot = next_separator(ipaddress, u'.', p.ip2dot, end);
    return p;
}

KoumokuPositions serch_koumoku(const QString& koumoku) {
    const int end = static_cast<int>(koumoku.size()) + 1;
    KoumokuPositions p{};
    p.mes_3 = end;
    p.mes_1 = next_separator(koumoku, kDescriptionSeparator, 0, end);
    p.mes_2 = next_separator(koumoku, kDescriptionSeparator, p.mes_1, end);
    return p;
}

std::array<QString, 4> split_address(const QString& ipaddress) {
    const DotPositions p = serch_dot(ipaddress);
    return {between(ipaddress, 0, p.ip1dot), between(ipaddress, p.ip1dot, p.ip2dot),
            between(ipaddress, p.ip2dot, p.ip3dot), between(ipaddress, p.ip3dot, p.ipeof)};
}

std::array<QString, 3> split_description(const QString& koumoku) {
    const KoumokuPositions p = serch_koumoku(koumoku);
    return {between(koumoku, 0, p.mes_1), between(koumoku, p.mes_1, p.mes_2),
            between(koumoku, p.mes_2, p.mes_3)};
}
