#include "CtlStrovel.h"

#include "CtlStrovel_p.h"
#include "Module1.h"
#include "dlgAbout.h"

#include "com/PropertyBag.h"
#include "runtime/FontNames.h"
#include "runtime/Guard.h"
#include "runtime/Int16.h"
#include "runtime/MessageBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

Q_LOGGING_CATEGORY(lcTelop, "strovel.telop")

using Module1::BitBlt;
using Module1::cellGeometry;
using Module1::GetPixel;
using platform::add16;
using platform::div16;
using platform::mul16;
using platform::roundToInt16;
using platform::toInt16;

namespace {

const QString DefaultText = QStringLiteral("ABC");
constexpr int DefaultInterval = 10;
constexpr int16_t DefaultMoveCount = 1;
constexpr int MaximumExtent = std::numeric_limits<int16_t>::max();
// Bounds the text image's memory: thousands of lines and one long line would otherwise ask
// for 32767 x 32767 pixels (4 GB).
constexpr qint64 MaximumArea = qint64(64) << 20;
const QString WarningTitle = QStringLiteral("ｺﾝﾄﾛｰﾙ警告");

// Text is measured and drawn on an image, at the image's 96 dpi, so a font's pixel size does
// not depend on the screen the control happens to be on.
const QImage& measuringDevice()
{
    static const QImage device(1, 1, QImage::Format_RGB32);
    return device;
}

// Each text pixel is either lit or unlit.
QFont unsmoothed(QFont font)
{
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// The font the text image is drawn with, and its line height. The stored Japanese font names
// keep the line height they had (points x 96 / 72, rounded); the glyphs are drawn as large as
// fits in it. Other fonts keep their own metrics.
QFont layoutFont(const QFont& stored, int* lineHeight)
{
    QFont font = unsmoothed(stored);
    *lineHeight = QFontMetrics(font, &measuringDevice()).height();
    if (!platform::hasStoredCellHeight(stored.family()) || stored.pointSizeF() <= 0)
        return font;
    const int cell = int(std::lround(stored.pointSizeF() * 96 / 72));
    for (int pixels = cell; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font, &measuringDevice()).height() <= cell)
            break;
    }
    *lineHeight = std::max(cell, 1);
    return font;
}

QPixmap toPixmap(const QVariant& value)
{
    if (value.canConvert<QPixmap>())
        return value.value<QPixmap>();
    if (value.canConvert<QImage>())
        return QPixmap::fromImage(value.value<QImage>());
    return {};
}

double toNumber(const QVariant& value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        platform::raiseTypeMismatch();
    return number;
}

int16_t smallerOrOne(int16_t a, int16_t b)
{
    const int16_t smaller = std::min(a, b);
    return smaller == 0 ? int16_t(1) : smaller;
}

// Runs the body of a public procedure (property call, method, event handler). An error ends the
// body, is logged once, and is kept for a late-bound caller to report as the call's failure.
template <typename Body> bool runProcedure(CtlStrovelPrivate& d, const char* name, Body&& body)
{
    d.lastError.reset();
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const platform::RuntimeError& error) {
        d.lastError = error;
    } catch (const std::exception& error) {
        d.lastError = platform::RuntimeError(platform::ErrorNumber::Internal,
                                             QString::fromUtf8(error.what()));
    }
    qCWarning(lcTelop).noquote() << name << "ended by error" << int(d.lastError->number())
                                 << d.lastError->description();
    return false;
}

} // namespace

CtlStrovel::CtlStrovel(QWidget* parent) : QWidget(parent), d(std::make_unique<CtlStrovelPrivate>())
{
    // Every paint covers the whole widget with the composed frame.
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (ScreenBoard::available()) {
        // Its own window, drawn by the X server from its copies of the board and the strip.
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    d->PIC_STR.foreColor = qRgb(255, 255, 255);
    d->PIC_STR.font = ambientFont();
    d->Timer1.setInterval(DefaultInterval);
    connect(&d->Timer1, &platform::IntervalTimer::Timer, this, &CtlStrovel::Timer1_Timer);
    InitProperties();
}

CtlStrovel::~CtlStrovel()
{
    d->Timer1.setEnabled(false);
}

// ---- Properties ------------------------------------------------------------------------------

QVariant CtlStrovel::text() const
{
    return d->Text;
}

void CtlStrovel::setText(const QVariant& text)
{
    runProcedure(*d, "Text", [&] { putText(text); });
}

void CtlStrovel::putText(const QVariant& text)
{
    d->Text = text;
    emit propertyChanged(QStringLiteral("Text"));
    BuildTextStrip();
    ShowStill(1);
}

QFont CtlStrovel::textFont() const
{
    return d->PIC_STR.font;
}

void CtlStrovel::setTextFont(const QFont& font)
{
    runProcedure(*d, "Font", [&] { putFont(font); });
}

void CtlStrovel::putFont(const QFont& font)
{
    d->PIC_STR.font = font;
    emit propertyChanged(QStringLiteral("Font"));
    BuildBackground();
    BuildTextStrip();
    ShowStill(1);
}

int CtlStrovel::interval() const
{
    return d->Timer1.interval();
}

void CtlStrovel::setInterval(int milliseconds)
{
    runProcedure(*d, "Interval", [&] {
        d->Timer1.setInterval(milliseconds);
        emit propertyChanged(QStringLiteral("Interval"));
    });
}

QPixmap CtlStrovel::frontBmp() const
{
    return d->frontPicture;
}

void CtlStrovel::setFrontBmp(const QPixmap& picture)
{
    runProcedure(*d, "FrontBmp", [&] { putDotPicture(0, picture); });
}

QPixmap CtlStrovel::backBmp() const
{
    return d->backPicture;
}

void CtlStrovel::setBackBmp(const QPixmap& picture)
{
    runProcedure(*d, "BackBmp", [&] { putDotPicture(1, picture); });
}

// flag 0: the lit-dot picture; otherwise the unlit-dot one.
void CtlStrovel::putDotPicture(int16_t flag, const QPixmap& picture)
{
    const bool front = flag == 0;
    PictureSurface& surface = front ? d->PIC_BMP_FRONT : d->PIC_BMP_BACK;
    (front ? d->frontPicture : d->backPicture) = picture;
    surface.setPicture(picture.toImage());
    emit propertyChanged(front ? QStringLiteral("FrontBmp") : QStringLiteral("BackBmp"));
    CheckBitmapSize(flag, roundToInt16(surface.width()), roundToInt16(surface.height()));
    BuildBackground();
    BuildTextStrip();
    ShowStill(1);
}

int CtlStrovel::moveCount() const
{
    return d->MoveCount;
}

void CtlStrovel::setMoveCount(int cells)
{
    runProcedure(*d, "MoveCount", [&] {
        d->MoveCount = toInt16(cells);
        emit propertyChanged(QStringLiteral("MoveCount"));
    });
}

qint32 CtlStrovel::hWnd() const
{
    return qint32(effectiveWinId());
}

// ---- Motion methods --------------------------------------------------------------------------

int CtlStrovel::Action(qint32 mode)
{
    runProcedure(*d, "Action", [&] {
        if (mode != d->Mode && mode != Stpped) {
            d->Position = 0;
            d->Mode = toInt16(mode);
        }
        if (mode == Stpped)
            d->Timer1.setEnabled(false);
        else if (mode >= LtoR && mode <= Reverse)
            d->Timer1.setEnabled(true);
    });
    return 0;
}

void CtlStrovel::Cls()
{
    runProcedure(*d, "Cls", [&] {
        ShowStill(0);
        d->Position = 0;
    });
}

void CtlStrovel::ShowAboutBox()
{
    runProcedure(*d, "ShowAboutBox", [&] {
        // A fresh dialog on every call, gone when the call returns.
        dlgAbout about(this);
        about.exec();
    });
}

// ---- Persisted properties --------------------------------------------------------------------

bool CtlStrovel::InitProperties()
{
    return runProcedure(*d, "InitProperties", [&] {
        d->Text = DefaultText;
        d->frontPicture = d->backPicture = QPixmap();
        d->PIC_BMP_FRONT.setPicture({});
        d->PIC_BMP_BACK.setPicture({});
        d->PIC_BMP_FRONT.setSize(1, d->PIC_BMP_FRONT.height());
        d->PIC_BMP_BACK.setSize(1, d->PIC_BMP_BACK.height());
        cellGeometry().BmpWidth = 1;
        cellGeometry().BmpHeight = 1;
        d->MoveCount = DefaultMoveCount;
    });
}

bool CtlStrovel::ReadProperties(const platform::PropertyBag& bag)
{
    return runProcedure(*d, "ReadProperties", [&] {
        d->Text = bag.ReadProperty(QStringLiteral("Text"), DefaultText);
        d->MoveCount =
            roundToInt16(toNumber(bag.ReadProperty(QStringLiteral("MoveCount"), DefaultMoveCount)));
        putFont(bag.ReadProperty(QStringLiteral("Font"), ambientFont()).value<QFont>());
        d->Timer1.setInterval(platform::roundToInt32(
            toNumber(bag.ReadProperty(QStringLiteral("Interval"), DefaultInterval))));

        // The pictures are taken as they are: no warnings and no rebuild while loading.
        auto& g = cellGeometry();
        d->frontPicture = toPixmap(bag.ReadProperty(QStringLiteral("FrontBmp")));
        d->PIC_BMP_FRONT.setPicture(d->frontPicture.toImage());
        g.FrontWidth = roundToInt16(d->PIC_BMP_FRONT.width());
        g.FrontHeight = roundToInt16(d->PIC_BMP_FRONT.height());
        d->backPicture = toPixmap(bag.ReadProperty(QStringLiteral("BackBmp")));
        d->PIC_BMP_BACK.setPicture(d->backPicture.toImage());
        g.BackWidth = roundToInt16(d->PIC_BMP_BACK.width());
        g.BackHeight = roundToInt16(d->PIC_BMP_BACK.height());
        g.BmpWidth = smallerOrOne(g.FrontWidth, g.BackWidth);
        g.BmpHeight = smallerOrOne(g.FrontHeight, g.BackHeight);
    });
}

bool CtlStrovel::WriteProperties(platform::PropertyBag& bag) const
{
    const auto pictureOrNothing = [](const QPixmap& p) {
        return p.isNull() ? QVariant() : QVariant(p);
    };
    return runProcedure(*d, "WriteProperties", [&] {
        bag.WriteProperty(QStringLiteral("Text"), d->Text, DefaultText);
        bag.WriteProperty(QStringLiteral("Font"), d->PIC_STR.font, ambientFont());
        bag.WriteProperty(QStringLiteral("Interval"), d->Timer1.interval(), DefaultInterval);
        bag.WriteProperty(QStringLiteral("FrontBmp"), pictureOrNothing(d->frontPicture));
        bag.WriteProperty(QStringLiteral("BackBmp"), pictureOrNothing(d->backPicture));
        bag.WriteProperty(QStringLiteral("MoveCount"), int(d->MoveCount), int(DefaultMoveCount));
    });
}

QFont CtlStrovel::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

// ---- Building the board and the strip --------------------------------------------------------

// A dot bitmap was assigned: warn when its partner is missing or of another size, record its
// size, and take the smaller of both sizes as the size of one dot.
void CtlStrovel::CheckBitmapSize(int16_t flag, int16_t width, int16_t height)
{
    auto& g = cellGeometry();
    const bool front = flag == 0;
    const int16_t partnerWidth = front ? g.BackWidth : g.FrontWidth;
    const int16_t partnerHeight = front ? g.BackHeight : g.FrontHeight;
    int16_t& ownWidth = front ? g.FrontWidth : g.BackWidth;
    int16_t& ownHeight = front ? g.FrontHeight : g.BackHeight;

    if (add16(partnerWidth, partnerHeight) == 0) {
        warn(front ? QStringLiteral("BackBmpﾌﾟﾛﾊﾟﾃｨｰも設定して下さい。")
                   : QStringLiteral("FrontBmpﾌﾟﾛﾊﾟﾃｨｰも設定して下さい。"));
        ownWidth = width;
        ownHeight = height;
        return;
    }
    if (partnerWidth != width || partnerHeight != height) {
        warn(front ? QStringLiteral("BackBmpﾌﾟﾛﾊﾟﾃｨｰで設定されているﾋﾞｯﾄﾏｯﾌﾟとｻｲｽﾞが違います。")
                   : QStringLiteral("FrontBmpﾌﾟﾛﾊﾟﾃｨｰで設定されているﾋﾞｯﾄﾏｯﾌﾟとｻｲｽﾞが違います。"));
    }
    ownWidth = width;
    ownHeight = height;
    g.BmpWidth = smallerOrOne(g.FrontWidth, g.BackWidth);
    g.BmpHeight = smallerOrOne(g.FrontHeight, g.BackHeight);
}

void CtlStrovel::warn(const QString& text)
{
    platform::showMessageBox({this, text, WarningTitle, QMessageBox::Information, QMessageBox::Ok});
}

// Draws Text, white on black, into PIC_STR, which takes the text's extent in its font.
void CtlStrovel::renderTextImage()
{
    PictureSurface& surface = d->PIC_STR;
    int lineHeight = 0;
    const QFont font = layoutFont(surface.font, &lineHeight);
    const QFontMetrics metrics(font, &measuringDevice());
    const QStringList lines =
        d->Text.toString().split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    qint64 height = qint64(lineHeight) * lines.size();
    // The strip is scrolled with 16-bit positions, so text beyond 32767 pixels could never be
    // shown; it is cut there. The area is bounded too, by cutting lines off the bottom.
    if (width > MaximumExtent || height > MaximumExtent)
        qCWarning(lcTelop) << "Text is" << width << "x" << height << "pixels; shown cut to"
                           << MaximumExtent;
    width = std::min(width, MaximumExtent);
    height = std::min<qint64>(height, MaximumExtent);
    if (width > 0 && qint64(width) * height > MaximumArea) {
        const qint64 fitting = std::max<qint64>(MaximumArea / width, 1);
        qCWarning(lcTelop) << "Text is" << width << "x" << height << "pixels, more than"
                           << (MaximumArea >> 20) << "Mpixels; shown cut to" << fitting
                           << "pixels high";
        height = fitting;
    }

    surface.Cls();
    surface.setSize(width, int(height));
    if (surface.image().isNull())
        return;
    QPainter painter(&surface.image());
    painter.setFont(font);
    painter.setPen(QColor(surface.foreColor));
    for (int i = 0; i < lines.size() && qint64(i) * lineHeight < height; ++i)
        painter.drawText(0, i * lineHeight + metrics.ascent(), lines[i]);
}

// The board: a grid of unlit dots over the whole control, one band per text row and one
// column per cell, one cell wider than the control. Each step that fails is skipped.
void CtlStrovel::BuildBackground()
{
    auto& g = cellGeometry();
    const auto step = [](const char* what, auto&& body) {
        platform::guarded(lcTelop, what, std::forward<decltype(body)>(body));
    };

    step("BuildBackground: text image", [&] { renderTextImage(); });
    const int textHeight = d->PIC_STR.height();

    step("BuildBackground: unlit column", [&] {
        PictureSurface& column = d->PIC_BACK;
        column.Cls();
        column.setSize(g.BmpWidth, g.BmpHeight * textHeight);
        for (int r = 0; r < textHeight; ++r)
            BitBlt(column.image(), 0, r * g.BmpHeight, g.BmpWidth, g.BmpHeight,
                   d->PIC_BMP_BACK.image(), 0, 0);
    });

    step("BuildBackground: cell height",
         [&] { g.CellHeight = div16(roundToInt16(height()), roundToInt16(textHeight)); });
    if (g.CellHeight <= 0)
        g.CellHeight = 1;

    step("BuildBackground: cell width", [&] {
        if (g.BmpHeight < g.CellHeight)
            g.CellWidth = roundToInt16(std::floor(double(g.CellHeight) / g.BmpHeight * g.BmpWidth));
        else
            g.CellWidth = div16(g.BmpWidth, roundToInt16(double(g.BmpHeight) / g.CellHeight));
    });
    // Dots taller than a cell and narrower than the shrink factor would give cells of width 0,
    // which nothing could be drawn with; one pixel keeps the board drawable.
    if (g.CellWidth <= 0)
        g.CellWidth = 1;

    int16_t columns = 0;
    step("BuildBackground: board size", [&] {
        d->PIC_B.Cls();
        d->PIC_B.move(0, 0);
        columns = add16(div16(roundToInt16(width()), g.CellWidth), 1);
        d->PIC_B.setSize(mul16(columns, g.CellWidth), height());
    });

    step("BuildBackground: board", [&] {
        const QImage cellColumn = unlitCellColumn();
        for (int i = 0; i < columns; ++i)
            BitBlt(d->PIC_B.image(), i * g.CellWidth, 0, g.CellWidth, d->PIC_B.height(), cellColumn,
                   0, 0);
    });
}

// One board column: the stacked unlit dots stretched to a cell's width and the board's height.
// Stretched once and copied into every column.
QImage CtlStrovel::unlitCellColumn() const
{
    const PictureSurface& column = d->PIC_BACK;
    return Module1::stretched(column.image(), 0, 0, column.width(), column.height(),
                              cellGeometry().CellWidth, d->PIC_B.height());
}

// The strip: the text image with every pixel as one cell, lit where the text is.
void CtlStrovel::BuildTextStrip()
{
    const auto& g = cellGeometry();
    renderTextImage();
    const PictureSurface& text = d->PIC_STR;
    // Positions on the strip are 16-bit: it is cut where they end.
    const qint64 stripWidth = std::min<qint64>(qint64(g.CellWidth) * text.width(), MaximumExtent);
    const qint64 stripHeight =
        std::min<qint64>(qint64(g.CellHeight) * text.height(), MaximumExtent);

    PictureSurface& strip = d->PIC_M;
    strip.Cls();
    strip.move(0, 0);
    strip.setSize(int(stripWidth), int(stripHeight));

    // Unlit columns exactly as the board's, cut off below the strip.
    const QImage cellColumn = unlitCellColumn();
    for (int i = 0; i < text.width(); ++i)
        BitBlt(strip.image(), i * g.CellWidth, 0, g.CellWidth, d->PIC_B.height(), cellColumn, 0, 0);

    // Lit cells: one stretched dot, copied wherever the text image is not black.
    const QImage litCell = Module1::stretched(d->PIC_BMP_FRONT.image(), 0, 0, g.BmpWidth,
                                              g.BmpHeight, g.CellWidth, g.CellHeight);
    for (int x = 0; x < text.width(); ++x) {
        for (int y = 0; y < text.height(); ++y) {
            if (GetPixel(text.image(), x, y) != 0)
                BitBlt(strip.image(), x * g.CellWidth, y * g.CellHeight, g.CellWidth, g.CellHeight,
                       litCell, 0, 0);
        }
    }
}

// ---- Showing frames --------------------------------------------------------------------------

// PIC_MAIN takes the board's size and content. The board covers it whole, so nothing needs
// clearing first.
void CtlStrovel::composeBoard()
{
    PictureSurface& frame = d->PIC_MAIN;
    frame.move(0, 0);
    frame.setSize(d->PIC_B.width(), d->PIC_B.height());
    BitBlt(frame.image(), 0, 0, d->PIC_B.width(), d->PIC_B.height(), d->PIC_B.image(), 0, 0);
}

// PIC_MAIN as the frame on show: the board, then the strip where it stands.
void CtlStrovel::composeFrame()
{
    if (std::exchange(d->frameComposed, true))
        return;
    composeBoard();
    if (d->stripOnShow)
        BitBlt(d->PIC_MAIN.image(), *d->stripOnShow, 0, d->PIC_M.width(), d->PIC_M.height(),
               d->PIC_M.image(), 0, 0);
}

// A new frame: the strip at stripX, or none. Only what changed is drawn again: the strip's
// old and new places when it moves, everything when it appears or goes.
void CtlStrovel::showFrame(std::optional<int> stripX)
{
    const auto stripAt = [&](int x) { return QRect(x, 0, d->PIC_M.width(), d->PIC_M.height()); };
    const QRegion changed =
        stripX && d->stripOnShow
            ? QRegion(stripAt(*d->stripOnShow).united(stripAt(*stripX)) & rect())
            : QRegion(rect());
    d->stripOnShow = stripX;
    d->frameComposed = false;
    if (ScreenBoard* screen = isVisible() ? screenBoard() : nullptr)
        drawOnScreen(*screen, changed);
    else
        update(changed);
}

// The board, with the text at the left edge only when textFlag is 1.
void CtlStrovel::ShowStill(int16_t textFlag)
{
    update(); // the board itself may be new
    showFrame(textFlag == 1 ? std::optional<int>(0) : std::nullopt);
}

void CtlStrovel::ScrollStep()
{
    const int16_t x = nextStripX();
    d->lastStripX = x;
    showFrame(x);
}

// Advances the motion state by one tick and returns where the strip's left edge is drawn.
// A reset decided here takes effect from the next tick; this frame is drawn at the x computed.
int16_t CtlStrovel::nextStripX()
{
    const auto& g = cellGeometry();
    const int boardWidth = d->PIC_B.width();
    const int stripWidth = d->PIC_M.width();
    const auto fromRight = [&] { return toInt16(boardWidth - mul16(g.CellWidth, d->Position)); };
    const auto fromLeft = [&] { return toInt16(mul16(g.CellWidth, d->Position) - stripWidth); };
    const auto restartAtStripEnd = [&] { return div16(toInt16(stripWidth), g.CellWidth); };

    int16_t x = 0;
    switch (d->Mode) {
    case LtoR:
        d->Position = add16(d->Position, d->MoveCount);
        x = fromLeft();
        if (x > boardWidth)
            d->Position = 0;
        break;
    case RtoL:
        d->Position = add16(d->Position, d->MoveCount);
        x = fromRight();
        if (x < -stripWidth)
            d->Position = 0;
        break;
    case Reverse:
        d->Position = add16(d->Position, d->MoveCount);
        if (!d->Reversing) {
            x = fromRight();
            if (x < 0) {
                d->Position = restartAtStripEnd();
                d->Reversing = true;
            }
        } else {
            x = fromLeft();
            if (x > boardWidth - stripWidth) {
                d->Position = restartAtStripEnd();
                d->Reversing = false;
            }
        }
        break;
    default:
        break;
    }
    return x;
}

// A failing tick (16-bit overflow on a very long strip or a negative MoveCount) must not stop
// the board: the position restarts at the edge and scrolling goes on. The failure is logged
// once until a tick succeeds again, so a lasting condition does not flood the log.
void CtlStrovel::Timer1_Timer()
{
    try {
        ScrollStep();
        d->tickFailing = false;
        return;
    } catch (const platform::RuntimeError& error) {
        if (!d->tickFailing)
            qCWarning(lcTelop).noquote()
                << "Timer1_Timer ended by error" << int(error.number()) << error.description()
                << "at position" << d->Position << "; scrolling restarts from the edge";
    } catch (const std::exception& error) {
        if (!d->tickFailing)
            qCWarning(lcTelop).noquote() << "Timer1_Timer ended by error:" << error.what();
    }
    d->tickFailing = true;
    d->Position = 0;
}

// ---- Widget events ---------------------------------------------------------------------------

// Where each part of an area of the frame on show comes from.
struct CtlStrovel::FrameParts
{
    QRegion board; // the board's pixels at the same place
    QRegion strip; // the strip's, its left edge at stripX
    QRegion dark;  // black: until the first build, and wherever the board does not reach
    int stripX = 0;
};

CtlStrovel::FrameParts CtlStrovel::frameParts(const QRegion& area) const
{
    const QImage& board = d->PIC_B.image();
    const QImage& strip = d->PIC_M.image();
    const QRect boardRect(0, 0, board.width(), board.height());
    FrameParts parts;
    QRect stripRect;
    if (d->stripOnShow && !strip.isNull()) {
        parts.stripX = *d->stripOnShow;
        stripRect = QRect(parts.stripX, 0, strip.width(), strip.height());
    }
    parts.board = (area - stripRect) & boardRect;
    parts.strip = area & stripRect & boardRect;
    parts.dark = area - boardRect;
    return parts;
}

// Paints the frame on show straight from the board and the strip, in their pixel format and
// size: one copy of what changed, nothing composed in between.
void CtlStrovel::paintEvent(QPaintEvent* event)
{
    // A grab paints through a painter of its own; the screen is drawn by the server.
    const bool grabbed = redirected(nullptr) || sharedPainter();
    if (!grabbed && testAttribute(Qt::WA_PaintOnScreen)) {
        if (ScreenBoard* screen = screenBoard())
            drawOnScreen(*screen, event->region());
        return;
    }
    QPainter painter(this);
    const QImage& board = d->PIC_B.image();
    const QImage& strip = d->PIC_M.image();
    const FrameParts parts = frameParts(event->region());
    for (const QRect& r : parts.board)
        painter.drawImage(r.topLeft(), board, r);
    for (const QRect& r : parts.strip)
        painter.drawImage(r.topLeft(), strip, r.translated(-parts.stripX, 0));
    for (const QRect& r : parts.dark)
        painter.fillRect(r, Qt::black);
}

void CtlStrovel::drawOnScreen(ScreenBoard& screen, const QRegion& area)
{
    const QImage& board = d->PIC_B.image();
    const QImage& strip = d->PIC_M.image();
    const FrameParts parts = frameParts(area);
    for (const QRect& r : parts.board)
        screen.drawBoard(board, r);
    for (const QRect& r : parts.strip)
        screen.drawStrip(strip, r, parts.stripX);
    for (const QRect& r : parts.dark)
        screen.fillDark(r);
    screen.flush();
    if (screen.failed())
        paintThroughQt();
}

// From now on Qt paints the control, into the same window.
void CtlStrovel::paintThroughQt()
{
    d->screenBoard.reset();
    setAttribute(Qt::WA_PaintOnScreen, false);
    update();
}

// The server's board of this widget's window, opened again when the window is new (a new
// parent makes a new one). Where the window's pixels do not suit it, Qt paints from then on.
ScreenBoard* CtlStrovel::screenBoard()
{
    if (!testAttribute(Qt::WA_PaintOnScreen) || !internalWinId())
        return nullptr;
    if (d->screenBoard && d->screenBoard->window() == internalWinId())
        return d->screenBoard.get();
    d->screenBoard = ScreenBoard::open(*this);
    if (!d->screenBoard)
        paintThroughQt();
    return d->screenBoard.get();
}

QPaintEngine* CtlStrovel::paintEngine() const
{
    return testAttribute(Qt::WA_PaintOnScreen) ? nullptr : QWidget::paintEngine();
}

void CtlStrovel::resizeEvent(QResizeEvent* /*event*/)
{
    runProcedure(*d, "UserControl_Resize", [&] { UserControl_Resize(); });
}

// A height that can not hold one line of text is refused and corrected to the text's height;
// that size change comes back here and rebuilds.
void CtlStrovel::UserControl_Resize()
{
    if (height() >= d->PIC_STR.height()) {
        BuildBackground();
        BuildTextStrip();
        ShowStill(1);
        return;
    }
    platform::showMessageBox({this, QStringLiteral("これ以上小さくできません。"), WarningTitle,
                              QMessageBox::Critical, QMessageBox::Ok});
    resize(width(), d->PIC_STR.height());
}

void CtlStrovel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool endsDouble = std::exchange(d->releaseEndsDouble, false);
    if (event->button() == Qt::LeftButton && !endsDouble &&
        rect().contains(event->position().toPoint()))
        emit Click();
}

void CtlStrovel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    d->releaseEndsDouble = true;
    emit DblClick();
}
