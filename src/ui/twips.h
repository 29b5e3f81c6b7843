#pragma once
// Places in the window layouts are given in twips (1/1440 inch); at 96 dpi
// fifteen of them make a pixel.
#include <QRect>

constexpr int twips(int t) {
    return (t + 7) / 15;
}

constexpr QRect twips_rect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
