#include "PictureSurface.h"

#include "Module1.h"

#include <algorithm>

PictureSurface::PictureSurface(QRgb backColor, int width, int height) : m_backColor(backColor)
{
    setSize(width, height);
}

void PictureSurface::Cls()
{
    if (!m_image.isNull())
        paintBackground(m_image);
}

void PictureSurface::setSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == m_width && height == m_height)
        return;
    QImage resized;
    if (width > 0 && height > 0) {
        resized = QImage(width, height, QImage::Format_RGB32);
        paintBackground(resized);
        Module1::BitBlt(resized, 0, 0, m_width, m_height, m_image, 0, 0);
    }
    m_image = resized;
    m_width = width;
    m_height = height;
}

void PictureSurface::setPicture(const QImage& picture)
{
    m_picture = picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_RGB32);
    if (!m_picture.isNull()) {
        m_image = QImage();
        m_width = m_height = 0;
        setSize(m_picture.width(), m_picture.height());
    }
    Cls();
}

void PictureSurface::paintBackground(QImage& image) const
{
    image.fill(m_backColor);
    Module1::BitBlt(image, 0, 0, m_picture.width(), m_picture.height(), m_picture, 0, 0);
}
