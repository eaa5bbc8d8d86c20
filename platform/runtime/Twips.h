#pragma once

// Designs give positions and sizes in twips; the screens they were made for had 15 twips per
// pixel (96 dpi).

#include <QRect>

namespace platform {

inline constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return twips / TwipsPerPixel;
}

// A rectangle given as left, top, width and height in twips, in pixels.
constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

} // namespace platform
