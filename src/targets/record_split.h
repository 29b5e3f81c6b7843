#pragma once
// How the editor takes a stored record apart for its boxes: the address at its
// first three ".", the description at its first two "／" (U+FF0F).
//
// A hand-edited kanshi.ini may hold fewer separators. A missing separator is
// placed just past the end of the text, so the boxes show what is there and
// the parts after it stay empty.
#include <QString>
#include <array>

// Positions count characters from 1; a missing separator reads ipeof.
struct DotPositions {
    int ip1dot;
    int ip2dot;
    int ip3dot;
    int ipeof; // length + 1
};
DotPositions serch_dot(const QString& ipaddress);

struct KoumokuPositions {
    int mes_1;
    int mes_2;
    int mes_3; // length + 1
};
KoumokuPositions serch_koumoku(const QString& koumoku);

inline constexpr QChar kDescriptionSeparator = QChar(0xFF0F); // "／"

// Text1..Text4: the four octets as they stand in the address.
std::array<QString, 4> split_address(const QString& ipaddress);
// Text5..Text7: device name, contact number, person in charge; further "／"
// stay in the person in charge.
std::array<QString, 3> split_description(const QString& koumoku);
