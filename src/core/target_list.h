#pragma once
// The target list: up to 1001 devices, in the order of kanshi.ini.
#include <QString>
#include <array>

#include "core/int16.h"

inline constexpr int kTargetSlots = 1001; // records 0..1000

// "／" (U+FF0F) separates the device name, contact number and person in
// charge inside a description.
inline constexpr QChar kDescriptionSeparator = QChar(0xFF0F);

struct Target {
    QString address;     // dotted IPv4 text, as stored
    QString description; // device name／contact number／person in charge
    int16 flag = 0;      // 1: not monitored; any other value: monitored

    bool monitored() const { return flag != 1; }
};

struct TargetList {
    std::array<Target, kTargetSlots> records;
    int16 count = 0; // records 0..count-1 are in use
};
