#pragma once

// Inside view of a CtlStrovel for tests and benchmarks: run its procedures directly and read
// its surfaces and motion state, without waiting for real timer ticks.

#include "CtlStrovel.h"
#include "CtlStrovel_p.h"

class CtlStrovelProbe
{
public:
    explicit CtlStrovelProbe(CtlStrovel& control) : c(control) {}

    // One timer tick, with the tick's own error handling.
    void tick() { c.Timer1_Timer(); }
    // The procedures themselves; errors reach the caller.
    void ScrollStep() { c.ScrollStep(); }
    void BuildBackground() { c.BuildBackground(); }
    void BuildTextStrip() { c.BuildTextStrip(); }
    void ShowStill(int16_t textFlag) { c.ShowStill(textFlag); }

    CtlStrovelPrivate& state() { return *c.d; }
    const PictureSurface& PIC_STR() const { return c.d->PIC_STR; }
    const PictureSurface& PIC_BACK() const { return c.d->PIC_BACK; }
    const PictureSurface& PIC_B() const { return c.d->PIC_B; }
    const PictureSurface& PIC_M() const { return c.d->PIC_M; }
    const PictureSurface& PIC_MAIN() const
    {
        c.composeFrame();
        return c.d->PIC_MAIN;
    }
    const PictureSurface& PIC_BMP_FRONT() const { return c.d->PIC_BMP_FRONT; }
    const PictureSurface& PIC_BMP_BACK() const { return c.d->PIC_BMP_BACK; }

    int16_t lastStripX() const { return c.d->lastStripX; }
    bool timerEnabled() const { return c.d->Timer1.isEnabled(); }
    bool timerTicking() const { return c.d->Timer1.isTicking(); }

    // Gives the board and the strip a size without drawing, for motion tests.
    void setBoardAndStripWidth(int boardWidth, int stripWidth)
    {
        c.d->PIC_B.setSize(boardWidth, 10);
        c.d->PIC_M.setSize(stripWidth, 10);
    }

private:
    CtlStrovel& c;
};
