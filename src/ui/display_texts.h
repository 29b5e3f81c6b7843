#pragma once
// The texts of the main window's status labels.
#include <QString>

#include "core/int16.h"

// "連続配信回数：" and the count, e.g. 連続配信回数：0
inline QString notices_in_a_row_text(int16 count) {
    return QStringLiteral("連続配信回数：") + QString::number(count);
}

// The count and "拠点監視中", e.g. 12拠点監視中
inline QString monitored_targets_text(int16 count) {
    return QString::number(count) + QStringLiteral("拠点監視中");
}
