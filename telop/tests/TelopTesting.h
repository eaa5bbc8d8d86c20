#pragma once

// Helpers shared by the telop tests: dot pictures, a font of known height, a fresh thread.

#include "CtlStrovel.h"
#include "Module1.h"

#include "com/PropertyBag.h"

#include <QFont>
#include <QImage>
#include <QPixmap>

namespace telop_testing {

// A w x h dot: a black frame around a face of the given colour, with a white highlight at
// (1, 1) when the dot is big enough, so stretched copies can be told apart pixel by pixel.
inline QImage dotImage(int w, int h, QRgb face)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 0));
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x)
            image.setPixel(x, y, face);
    if (w > 2 && h > 2)
        image.setPixel(1, 1, qRgb(255, 255, 255));
    return image;
}

inline QPixmap dotPicture(int w, int h, QRgb face)
{
    return QPixmap::fromImage(dotImage(w, h, face));
}

const QRgb LitFace = qRgb(0, 255, 0);
const QRgb UnlitFace = qRgb(0, 80, 0);

// A font whose text image is 12 pixels high.
inline QFont twelvePixelFont()
{
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(11);
    return font;
}

// The properties a host's design stores: font and 5 x 5 dots, so no bitmap warning appears.
inline platform::PropertyBag designBag(const QString& text, int dotSize = 5)
{
    platform::PropertyBag bag;
    bag.WriteProperty(QStringLiteral("text"), text);
    bag.WriteProperty(QStringLiteral("font"), twelvePixelFont());
    bag.WriteProperty(QStringLiteral("frontbmp"), dotPicture(dotSize, dotSize, LitFace));
    bag.WriteProperty(QStringLiteral("backbmp"), dotPicture(dotSize, dotSize, UnlitFace));
    return bag;
}

// The cell geometry is shared by all controls of a thread; each test starts as if the library
// had just been loaded.
inline void freshThreadGeometry()
{
    Module1::cellGeometry() = {};
}

} // namespace telop_testing
