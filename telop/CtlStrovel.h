#pragma once

// CtlStrovel: a dot-matrix message board. The text is drawn at its natural size into a small
// black-and-white image; every pixel of it becomes one cell on screen, showing the lit-dot
// bitmap (FrontBmp) where the text is and the unlit-dot bitmap (BackBmp) elsewhere. The cells
// are composed once into an off-screen strip whenever the text, font, a bitmap or the size
// changes; each timer tick then only copies the board and the strip at a new offset.
//
// Hosts either use a new instance as it is (it starts as "ABC" with no dot bitmaps) or load
// persisted properties with ReadProperties(). Motion starts with Action(RtoL) and friends.

#include "StrovelExport.h"

#include <QFont>
#include <QPixmap>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

namespace platform {
class PropertyBag;
}
struct CtlStrovelPrivate;
class ScreenBoard;

class STROVEL_EXPORT CtlStrovel : public QWidget
{
    Q_OBJECT
    // Designers edit the text as a string; text() and setText() keep any variant.
    Q_PROPERTY(QString Text READ textString WRITE setTextString)
    Q_PROPERTY(QFont Font READ textFont WRITE setTextFont)
    Q_PROPERTY(int Interval READ interval WRITE setInterval)
    Q_PROPERTY(QPixmap FrontBmp READ frontBmp WRITE setFrontBmp)
    Q_PROPERTY(QPixmap BackBmp READ backBmp WRITE setBackBmp)
    Q_PROPERTY(int MoveCount READ moveCount WRITE setMoveCount)
    Q_PROPERTY(qint32 hWnd READ hWnd)
    Q_PROPERTY(qint32 hDC READ hDC)

public:
    // Motion modes for Action().
    enum EnAction : qint32
    {
        Stpped = 0,
        LtoR = 1,
        RtoL = 2,
        Reverse = 3
    };
    Q_ENUM(EnAction)

    explicit CtlStrovel(QWidget* parent = nullptr);
    ~CtlStrovel() override;

    // The string shown. A new text is drawn at once, still at the left edge; the next tick
    // draws it at the kept position.
    QVariant text() const;
    void setText(const QVariant& text);
    QString textString() const { return text().toString(); }
    void setTextString(const QString& text) { setText(text); }

    // The text's font. The board and strip are rebuilt for it.
    QFont textFont() const;
    void setTextFont(const QFont& font);

    // Tick period in milliseconds, 0 to 65535; 0 means no ticks.
    int interval() const;
    void setInterval(int milliseconds);

    // The lit-dot and unlit-dot pictures. Assigning one checks it against its partner (and
    // may show a warning), then rebuilds.
    QPixmap frontBmp() const;
    void setFrontBmp(const QPixmap& picture);
    QPixmap backBmp() const;
    void setBackBmp(const QPixmap& picture);

    // Cells the strip advances per tick, a 16-bit integer.
    int moveCount() const;
    void setMoveCount(int cells);

    // The native window the control draws in (its own, or its nearest native ancestor's).
    qint32 hWnd() const;
    // Qt paints through a painter opened for each paint event, so there is no persistent
    // device context to hand out: always 0.
    qint32 hDC() const { return 0; }

    // 0 pauses (mode and position are kept), 1 to 3 start or resume moving; a mode other than
    // the current one (and other than 0) restarts from the edge. Always returns 0.
    Q_INVOKABLE int Action(qint32 mode);
    // Shows the board without the text and restarts the position; the timer keeps running.
    Q_INVOKABLE void Cls();
    // Shows the about box modally; returns when it is closed.
    Q_INVOKABLE void ShowAboutBox();

    // A new instance's properties: "ABC", no dot bitmaps, one cell per tick.
    bool InitProperties();
    // Loads the persisted properties; missing names read as their defaults.
    bool ReadProperties(const platform::PropertyBag& bag);
    // Saves the persisted properties that differ from their defaults.
    bool WriteProperties(platform::PropertyBag& bag) const;

    // None while the X server draws the frames into the control's own window.
    QPaintEngine* paintEngine() const override;

signals:
    void Click();
    void DblClick();
    // A property changed through its setter (the container's property-changed notification).
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Rendering and motion.
    void CheckBitmapSize(int16_t flag, int16_t width, int16_t height);
    void BuildBackground();
    void BuildTextStrip();
    void ShowStill(int16_t textFlag);
    void ScrollStep();
    void Timer1_Timer();
    void renderTextImage();
    void composeBoard();
    void composeFrame();
    void showFrame(std::optional<int> stripX);
    struct FrameParts;
    FrameParts frameParts(const QRegion& area) const;
    ScreenBoard* screenBoard();
    void drawOnScreen(ScreenBoard& screen, const QRegion& area);
    void paintThroughQt();
    QImage unlitCellColumn() const;
    int16_t nextStripX();

    // Property procedures; they raise errors, which the public setters log.
    void putText(const QVariant& text);
    void putFont(const QFont& font);
    void putDotPicture(int16_t flag, const QPixmap& picture);
    void UserControl_Resize();
    void warn(const QString& text);
    QFont ambientFont() const;

    std::unique_ptr<CtlStrovelPrivate> d;
    friend class CtlStrovelProbe;
    friend class CtlStrovelObject;
};
