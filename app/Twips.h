#pragma once

#include <QRect>

// Control positions are kept in twips, 1440 to the inch: 15 to a logical
// pixel at 96 dots per inch. Qt scales logical pixels on high-DPI screens.
constexpr int TwipsPerPixel = 15;

constexpr int Twips(int twips)
{
    return twips / TwipsPerPixel;
}

constexpr QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}
