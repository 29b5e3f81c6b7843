#pragma once
// The check each of the four octet boxes runs on every change of its text:
// the whole text, blanks around it allowed, must be a whole decimal number
// within the box's range. The first and last octet cannot be 0.
#include <QString>

inline constexpr int kOctetBoxes = 4;

// box: 0 for the first octet .. 3 for the last.
bool octet_ok(int box, const QString& text);

// "1～255の値で設定してください" or "0～255の値で設定してください".
QString octet_message(int box);
