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

DotPositions dot_positions(const QString& address) {
    const int end = static_cast<int>(address.size()) + 1;
    DotPositions p{};
    p.end = end;
    p.first = next_separator(address, u'.', 0, end);
    p.second = next_separator(address, u'.', p.first, end);
    p.third = next_separator(address, u'.', p.second, end);
    return p;
}

SeparatorPositions separator_positions(const QString& description) {
    const int end = static_cast<int>(description.size()) + 1;
    SeparatorPositions p{};
    p.end = end;
    p.first = next_separator(description, kDescriptionSeparator, 0, end);
    p.second = next_separator(description, kDescriptionSeparator, p.first, end);
    return p;
}

std::array<QString, 4> split_address(const QString& address) {
    const DotPositions p = dot_positions(address);
    return {between(address, 0, p.first), between(address, p.first, p.second),
            between(address, p.second, p.third), between(address, p.third, p.end)};
}

std::array<QString, 3> split_description(const QString& description) {
    const SeparatorPositions p = separator_positions(description);
    return {between(description, 0, p.first), between(description, p.first, p.second),
            between(description, p.second, p.end)};
}
