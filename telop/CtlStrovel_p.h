#pragma once

// The telop control's state: its surfaces, its timer and its motion.

#include "PictureSurface.h"
#include "ScreenBoard.h"

#include "runtime/IntervalTimer.h"
#include "runtime/RuntimeError.h"

#include <QPixmap>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>

struct CtlStrovelPrivate
{
    PictureSurface PIC_BMP_FRONT{qRgb(0, 255, 0), 1, 1}; // lit dot; pure green without a bitmap
    PictureSurface PIC_BMP_BACK{qRgb(0, 0, 0), 1, 1};    // unlit dot
    PictureSurface PIC_STR{qRgb(0, 0, 0)};               // the text, white on black
    PictureSurface PIC_BACK{qRgb(0, 0, 0)};              // one column of unlit dots
    PictureSurface PIC_B{qRgb(0, 0, 0)};                 // the board of unlit cells
    PictureSurface PIC_M{qRgb(0, 0, 0)};                 // the text as cells
    PictureSurface PIC_MAIN{qRgb(0, 0, 0)};              // the frame shown, composed on demand
    platform::IntervalTimer Timer1;

    QPixmap frontPicture; // the pictures as assigned, handed back by the getters
    QPixmap backPicture;

    QVariant Text;
    int16_t MoveCount = 0;
    int16_t Position = 0;
    bool Reversing = false;
    int16_t Mode = 0;

    std::optional<platform::RuntimeError> lastError; // of the last public procedure

    int16_t lastStripX = 0; // where the last tick drew the strip
    // The frame on show: the board with the strip at stripOnShow (none: the board alone).
    // The screen is painted from the board and the strip directly; PIC_MAIN is composed from
    // them only when someone reads it (frameComposed false until then).
    std::optional<int> stripOnShow;
    bool frameComposed = false;
    bool tickFailing = false;                 // a failing tick was logged; quiet until one succeeds
    bool releaseEndsDouble = false;           // the release after a double click is not a click
    std::unique_ptr<ScreenBoard> screenBoard; // on an X server: the frames drawn by the server
};
