#include "Module1.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Module1 {

CellGeometry& cellGeometry()
{
    thread_local CellGeometry perThread;
    return perThread;
}

void BitBlt(QImage& dst, int x, int y, int w, int h, const QImage& src, int xs, int ys)
{
    if (dst.isNull() || src.isNull())
        return;
    // Clip against the source, then against the destination, moving both origins together.
    const int left = std::max({0, -xs, -x});
    const int top = std::max({0, -ys, -y});
    const int right = std::min({w, src.width() - xs, dst.width() - x});
    const int bottom = std::min({h, src.height() - ys, dst.height() - y});
    if (right <= left || bottom <= top)
        return;
    const size_t bytes = size_t(right - left) * sizeof(QRgb);
    for (int row = top; row < bottom; ++row) {
        auto* to = reinterpret_cast<QRgb*>(dst.scanLine(y + row)) + x + left;
        const auto* from = reinterpret_cast<const QRgb*>(src.constScanLine(ys + row)) + xs + left;
        std::memcpy(to, from, bytes);
    }
}

namespace {

// For each of `target` pixels, the first and one-past-last source index it is made of.
std::vector<std::pair<int, int>> sourceSpans(int source, int target)
{
    std::vector<std::pair<int, int>> spans(size_t(std::max(target, 0)));
    for (int t = 0; t < target; ++t) {
        const int first = int(int64_t(t) * source / target);
        const int last = int(int64_t(t + 1) * source / target);
        spans[size_t(t)] = {first, std::max(last, first + 1)};
    }
    return spans;
}

QRgb sourcePixel(const QImage& src, int x, int y)
{
    if (x < 0 || y < 0 || x >= src.width() || y >= src.height())
        return qRgb(0, 0, 0);
    return reinterpret_cast<const QRgb*>(src.constScanLine(y))[x];
}

} // namespace

QImage stretched(const QImage& src, int xs, int ys, int ws, int hs, int w, int h)
{
    if (w <= 0 || h <= 0)
        return {};
    QImage out(w, h, QImage::Format_RGB32);
    if (ws <= 0 || hs <= 0) {
        out.fill(qRgb(0, 0, 0));
        return out;
    }
    const auto columns = sourceSpans(ws, w);
    const auto rows = sourceSpans(hs, h);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        const auto [rowFirst, rowLast] = rows[size_t(y)];
        for (int x = 0; x < w; ++x) {
            const auto [colFirst, colLast] = columns[size_t(x)];
            QRgb value = 0xFFFFFFFFu;
            for (int sy = rowFirst; sy < rowLast; ++sy)
                for (int sx = colFirst; sx < colLast; ++sx)
                    value &= sourcePixel(src, xs + sx, ys + sy);
            line[x] = value | 0xFF000000u;
        }
    }
    return out;
}

} // namespace Module1
