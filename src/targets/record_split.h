#pragma once
// How the editor takes a stored record apart for its boxes: the address at its
// first three ".", the description at its first two "／" (U+FF0F).
//
// A hand-edited kanshi.ini may hold fewer separators. A missing separator is
// placed just past the end of the text, so the boxes show what is there and
// the parts after it stay empty.
#include <QString>
#include <array>

#include "core/target_list.h"

// Positions count characters from 1; a missing separator reads end.
struct DotPositions {
    int first;
    int second;
    int third;
    int end; // length + 1
};
DotPositions dot_positions(const QString& address);

struct SeparatorPositions {
    int first;
    int second;
    int end; // length + 1
};
SeparatorPositions separator_positions(const QString& description);

// The four octet boxes: the octets as they stand in the address.
std::array<QString, 4> split_address(const QString& address);
// The three description boxes: device name, contact number, person in charge; further "／"
// stay in the person in charge.
std::array<QString, 3> split_description(const QString& description);
