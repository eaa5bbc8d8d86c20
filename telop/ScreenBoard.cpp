#include "ScreenBoard.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QSysInfo>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <xcb/xcb.h>

Q_DECLARE_LOGGING_CATEGORY(lcTelop)

namespace {

xcb_connection_t* x11Connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Whether drawables of this depth hold a pixel in one 32-bit word, low byte first: a
// QImage::Format_RGB32 row as it stands in memory.
bool wordPixels(xcb_connection_t* connection, uint8_t depth)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST ||
        QSysInfo::ByteOrder != QSysInfo::LittleEndian || (depth != 24 && depth != 32))
        return false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
         xcb_format_next(&formats))
        if (formats.data->depth == depth)
            return formats.data->bits_per_pixel == 32;
    return false;
}

} // namespace

bool ScreenBoard::available()
{
    return qgetenv("STROVEL_DRAWING") != "qt" && x11Connection();
}

std::unique_ptr<ScreenBoard> ScreenBoard::open(const QWidget& widget)
{
    xcb_connection_t* connection = x11Connection();
    const WId window = widget.internalWinId();
    // The images are in the widget's own pixels; scaled screens are left to Qt's painting.
    if (!connection || !window || widget.devicePixelRatioF() != 1)
        return nullptr;
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(
        connection, xcb_get_geometry(connection, xcb_drawable_t(window)), nullptr);
    if (!geometry)
        return nullptr;
    const uint8_t depth = geometry->depth;
    free(geometry);
    if (!wordPixels(connection, depth)) {
        qCInfo(lcTelop) << "the telop is painted through Qt: the window's" << depth
                        << "bit pixels are not 32-bit words";
        return nullptr;
    }
    return std::unique_ptr<ScreenBoard>(new ScreenBoard(connection, window, depth));
}

ScreenBoard::ScreenBoard(xcb_connection_t* connection, WId window, uint8_t depth)
    : m_connection(connection), m_window(window), m_depth(depth)
{
    // No exposure events for copies: the window's own expose repaints what was hidden.
    const uint32_t noExposures = 0;
    m_gc = xcb_generate_id(connection);
    xcb_create_gc(connection, m_gc, xcb_drawable_t(window), XCB_GC_GRAPHICS_EXPOSURES,
                  &noExposures);
    // The length is in 4-byte units, big requests included; a piece of pixels leaves room for
    // the request's header.
    m_maxRequestBytes = std::min<uint32_t>(xcb_get_maximum_request_length(connection), 1 << 20) * 4;
}

ScreenBoard::~ScreenBoard()
{
    for (const ServerImage* server : {&m_board, &m_strip})
        if (server->pixmap)
            xcb_free_pixmap(m_connection, server->pixmap);
    xcb_free_gc(m_connection, m_gc);
    xcb_flush(m_connection);
}

void ScreenBoard::drawBoard(const QImage& board, const QRect& area)
{
    if (const uint32_t pixmap = uploaded(m_board, board))
        copy(pixmap, area.topLeft(), area);
}

void ScreenBoard::drawStrip(const QImage& strip, const QRect& area, int stripX)
{
    if (const uint32_t pixmap = uploaded(m_strip, strip))
        copy(pixmap, area.topLeft() - QPoint(stripX, 0), area);
}

void ScreenBoard::fillDark(const QRect& area)
{
    const uint32_t black = 0;
    xcb_change_gc(m_connection, m_gc, XCB_GC_FOREGROUND, &black);
    const xcb_rectangle_t rectangle{int16_t(area.x()), int16_t(area.y()), uint16_t(area.width()),
                                    uint16_t(area.height())};
    xcb_poly_fill_rectangle(m_connection, xcb_drawable_t(m_window), m_gc, 1, &rectangle);
}

void ScreenBoard::flush()
{
    xcb_flush(m_connection);
}

// The pixmap holding the image as it is now; 0 for an empty image.
uint32_t ScreenBoard::uploaded(ServerImage& server, const QImage& image)
{
    if (image.isNull())
        return 0;
    if (server.pixmap && server.cacheKey == image.cacheKey())
        return server.pixmap;
    if (m_failed)
        return 0;
    if (server.size != image.size()) {
        if (server.pixmap)
            xcb_free_pixmap(m_connection, server.pixmap);
        server.pixmap = xcb_generate_id(m_connection);
        // Checked, once per new size: a pixmap the server refused would fail every frame.
        xcb_generic_error_t* error = xcb_request_check(
            m_connection, xcb_create_pixmap_checked(
                              m_connection, m_depth, server.pixmap, xcb_drawable_t(m_window),
                              uint16_t(image.width()), uint16_t(image.height())));
        if (error) {
            qCWarning(lcTelop) << "the X server can not hold a" << image.size()
                               << "telop image (error" << error->error_code
                               << "); the telop is painted through Qt";
            free(error);
            server = {};
            m_failed = true;
            return 0;
        }
        server.size = image.size();
    }
    putPixels(server.pixmap, image.format() == QImage::Format_RGB32
                                 ? image
                                 : image.convertToFormat(QImage::Format_RGB32));
    server.cacheKey = image.cacheKey();
    return server.pixmap;
}

// Sends the image in pieces that each fit one request: bands of whole rows, and a row wider
// than a request in parts.
void ScreenBoard::putPixels(uint32_t pixmap, const QImage& image)
{
    const int maxPixels = int((m_maxRequestBytes - 64) / 4);
    const int pieceWidth = std::min(image.width(), maxPixels);
    for (int x = 0; x < image.width(); x += pieceWidth) {
        const int width = std::min(pieceWidth, image.width() - x);
        const int rows = std::max(1, maxPixels / width);
        for (int y = 0; y < image.height(); y += rows) {
            const int height = std::min(rows, image.height() - y);
            // Whole rows of an RGB32 image follow each other without padding.
            const QImage piece =
                width == image.width() ? QImage() : image.copy(x, y, width, height);
            const uchar* pixels = piece.isNull() ? image.constScanLine(y) : piece.constBits();
            xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, m_gc, uint16_t(width),
                          uint16_t(height), int16_t(x), int16_t(y), 0, m_depth,
                          uint32_t(width) * uint32_t(height) * 4, pixels);
        }
    }
}

void ScreenBoard::copy(uint32_t pixmap, const QPoint& from, const QRect& to)
{
    xcb_copy_area(m_connection, pixmap, xcb_drawable_t(m_window), m_gc, int16_t(from.x()),
                  int16_t(from.y()), int16_t(to.x()), int16_t(to.y()), uint16_t(to.width()),
                  uint16_t(to.height()));
}
