#pragma once

// One drawing surface of the telop: a persistent off-screen image in pixels with a background
// colour, a fore colour, a font and an optional picture it sizes itself to. Drawing goes into
// the image; the control shows one of them.

#include "StrovelExport.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRgb>

class STROVEL_EXPORT PictureSurface
{
public:
    explicit PictureSurface(QRgb backColor = qRgb(0, 0, 0), int width = 0, int height = 0);

    int width() const { return m_width; }
    int height() const { return m_height; }
    QPoint pos() const { return m_pos; }
    QRgb backColor() const { return m_backColor; }

    // The drawn content; a null image while width or height is 0.
    const QImage& image() const { return m_image; }
    QImage& image() { return m_image; }

    // Clears the drawing to the background colour (the picture, if any, stays shown).
    void Cls();
    void move(int x, int y) { m_pos = QPoint(x, y); }
    // A new size keeps what was drawn at the top left; new area shows the background colour.
    // Setting the size it already has costs nothing.
    void setSize(int width, int height);

    // Shows the picture at the top left and sizes the surface to it. A null picture removes
    // the picture and keeps the size.
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }

    QFont font;
    QRgb foreColor = qRgb(0, 0, 0);

private:
    void paintBackground(QImage& image) const;

    QImage m_image;
    QImage m_picture;
    QRgb m_backColor;
    QPoint m_pos;
    int m_width = 0;
    int m_height = 0;
};
