#pragma once
// The check each octet box (Text1..Text4) runs on every change of its text:
// the whole text, blanks around it allowed, must be a whole decimal number
// within the box's range. The first and last octet cannot be 0.
#include <QString>

inline constexpr int kOctetBoxes = 4;

// box: 0 for Text1 .. 3 for Text4.
bool octet_ok(int box, const QString& text);

// "1～255の値で設定してください" or "0～255の値で設定してください".
QString octet_message(int box);
