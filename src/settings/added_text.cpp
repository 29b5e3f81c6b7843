#include "settings/added_text.h"

#include <algorithm>

QString added_text(const QString& before, const QString& after) {
    const qsizetype most = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < most && before[head] == after[head])
        ++head;
    // never end the shared start between the halves of a surrogate pair
    if (head > 0 && after[head - 1].isHighSurrogate())
        --head;
    qsizetype tail = 0;
    while (tail < most - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    if (tail > 0 && tail < after.size() && after[after.size() - tail].isLowSurrogate())
        --tail;
    return after.mid(head, after.size() - head - tail);
}
