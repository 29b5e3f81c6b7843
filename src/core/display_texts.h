#pragma once
// The texts the main window's status labels carry.
#include <QString>

#include "core/int16.h"

// "連続配信回数：" and the count, e.g. 連続配信回数：0
inline QString yokusi_view_text(int16 chk_yokusi_cnt) {
    return QStringLiteral("連続配信回数：") + QString::number(chk_yokusi_cnt);
}

// The count and "拠点監視中", e.g. 12拠点監視中
inline QString label3_text(int16 dat_count) {
    return QString::number(dat_count) + QStringLiteral("拠点監視中");
}
