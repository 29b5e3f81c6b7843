// Arbitrary texts as a stored address and description: the editor's split
// must end, stay inside the text, and give back exactly what it split.
#include <cstddef>
#include <cstdint>

#include "core/cp932.h"
#include "targets/record_split.h"

namespace {

void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

void address(const QString& text) {
    const DotPositions p = dot_positions(text);
    const int end = static_cast<int>(text.size()) + 1;
    check(p.end == end);
    check(0 < p.first && p.first <= p.second && p.second <= p.third && p.third <= end);
    const std::array<QString, 4> parts = split_address(text);
    const QString joined = parts[0] + u'.' + parts[1] + u'.' + parts[2] + u'.' + parts[3];
    if (text.count(u'.') >= 3)
        check(joined == text); // what the editor shows, stored again, is what it showed
    else
        check(joined.startsWith(text));
}

void description(const QString& text) {
    const SeparatorPositions p = separator_positions(text);
    const int end = static_cast<int>(text.size()) + 1;
    check(p.end == end);
    check(0 < p.first && p.first <= p.second && p.second <= end);
    const std::array<QString, 3> parts = split_description(text);
    const QString joined =
        parts[0] + kDescriptionSeparator + parts[1] + kDescriptionSeparator + parts[2];
    if (text.count(kDescriptionSeparator) >= 2)
        check(joined == text);
    else
        check(joined.startsWith(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QString& text : {cp932_decode(bytes), QString::fromUtf8(bytes)}) {
        address(text);
        description(text);
    }
    return 0;
}
