#pragma once

// Cell geometry shared by the telop controls of one thread, and the block-copy primitives the
// control draws with. Images are QImage::Format_RGB32.

#include "StrovelExport.h"

#include <QImage>
#include <cstdint>

namespace Module1 {

// Sizes in pixels. One set per thread, shared by every control on that thread: the last
// control to compute a value wins. All 0 until a control sets them.
struct CellGeometry
{
    int16_t BmpWidth = 0;   // smaller of FrontWidth and BackWidth, at least 1
    int16_t BmpHeight = 0;  // smaller of FrontHeight and BackHeight, at least 1
    int16_t CellWidth = 0;  // on-screen width of one matrix cell
    int16_t CellHeight = 0; // on-screen height of one matrix cell, at least 1
    int16_t FrontWidth = 0; // lit-dot bitmap as last set or read
    int16_t FrontHeight = 0;
    int16_t BackWidth = 0; // unlit-dot bitmap as last set or read
    int16_t BackHeight = 0;
};

// This thread's cell geometry.
STROVEL_EXPORT CellGeometry& cellGeometry();

// Copies the w x h rectangle at (xs, ys) of src to (x, y) of dst. Whatever lies outside
// either image is left out.
STROVEL_EXPORT void BitBlt(QImage& dst, int x, int y, int w, int h, const QImage& src, int xs,
                           int ys);

// The ws x hs rectangle at (xs, ys) of src stretched to a new w x h image. Enlarging repeats
// source pixels; shrinking combines the source pixels that fall on one target pixel with a
// bitwise AND, so dark detail survives. Source pixels outside src read as black.
STROVEL_EXPORT QImage stretched(const QImage& src, int xs, int ys, int ws, int hs, int w, int h);

// The colour value of one pixel: 0 only for pure black.
inline uint32_t GetPixel(const QImage& image, int x, int y)
{
    return reinterpret_cast<const QRgb*>(image.constScanLine(y))[x] & 0x00FFFFFFu;
}

} // namespace Module1
