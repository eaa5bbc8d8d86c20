#pragma once

// The telop's frames drawn straight into its own window on an X server. The board and the text
// strip go once into pixmaps on the server; a frame is then a few copies the server makes, so a
// tick costs the process a handful of small requests instead of a copy of every changed pixel
// through Qt's backing store and another to the server. Elsewhere (Wayland, offscreen) the
// control paints through Qt.

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <memory>

struct xcb_connection_t;

class ScreenBoard
{
public:
    // Frames can be drawn this way here: the display is an X server, and STROVEL_DRAWING=qt
    // does not ask for Qt's painting.
    static bool available();
    // The board of the widget's native window; nullptr where that window's pixels are not
    // 32-bit words in this machine's byte order, the layout of the control's images, or where
    // the screen is scaled.
    static std::unique_ptr<ScreenBoard> open(const QWidget& widget);
    ~ScreenBoard();
    ScreenBoard(const ScreenBoard&) = delete;
    ScreenBoard& operator=(const ScreenBoard&) = delete;

    WId window() const { return m_window; }

    // The image's pixels of area, at the same place in the window.
    void drawBoard(const QImage& board, const QRect& area);
    // The strip's pixels shown in area of the window, the strip's left edge standing at stripX.
    void drawStrip(const QImage& strip, const QRect& area, int stripX);
    void fillDark(const QRect& area);
    // Sends what was drawn to the server.
    void flush();
    // The server could not hold an image (out of memory): the frames can not be drawn here.
    bool failed() const { return m_failed; }

private:
    // A pixmap on the server holding one image, sent again when the image changes.
    struct ServerImage
    {
        uint32_t pixmap = 0;
        qint64 cacheKey = 0;
        QSize size;
    };

    ScreenBoard(xcb_connection_t* connection, WId window, uint8_t depth);
    uint32_t uploaded(ServerImage& server, const QImage& image);
    void putPixels(uint32_t pixmap, const QImage& image);
    void copy(uint32_t pixmap, const QPoint& from, const QRect& to);

    xcb_connection_t* m_connection;
    WId m_window;
    uint8_t m_depth;
    uint32_t m_gc = 0;
    uint32_t m_maxRequestBytes = 0;
    bool m_failed = false;
    ServerImage m_board;
    ServerImage m_strip;
};
