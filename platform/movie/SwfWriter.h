#pragma once

// Building blocks for writing SWF movies: rectangles, solid shapes, placing and moving them,
// frames, and the few actions the programs need. Coordinates are in twips (20 per pixel).

#include "movie/MovieExport.h"
#include "movie/SwfFile.h"

#include <QByteArray>
#include <QRect>
#include <QRgb>

namespace platform::swf {

constexpr int TwipsPerPixel = 20;

PLATFORM_MOVIE_EXPORT QByteArray rectRecord(const QRect& twips);
PLATFORM_MOVIE_EXPORT Tag backgroundColor(QRgb colour);
// A filled rectangle as character `id`.
PLATFORM_MOVIE_EXPORT Tag rectangleShape(quint16 id, const QRect& twips, QRgb fill);
// Puts character `id` at `depth`, moved by (x, y) twips.
PLATFORM_MOVIE_EXPORT Tag placeObject(quint16 depth, quint16 id, int x, int y);
// Moves what stands at `depth` to (x, y) twips.
PLATFORM_MOVIE_EXPORT Tag moveObject(quint16 depth, int x, int y);
PLATFORM_MOVIE_EXPORT Tag showFrame();
// Actions run when the frame is reached; `actions` without the closing end action.
PLATFORM_MOVIE_EXPORT Tag doAction(const QByteArray& actions);

namespace action {
// Stops the timeline it runs in.
PLATFORM_MOVIE_EXPORT QByteArray stop();
// getURL(url, target): opens the address in the target window or frame ("_self" and so on).
PLATFORM_MOVIE_EXPORT QByteArray getUrl(const QByteArray& url, const QByteArray& target);
// Offers the host two calls on the timeline the actions run in, through ExternalInterface:
// "lumaretGotoFirst" (go to frame 1 and stop there) and "lumaretPlay". `version` is the SWF
// version of the movie the actions go into (OldestControllableVersion or later).
PLATFORM_MOVIE_EXPORT QByteArray offerTimelineControl(int version);
// Tells the host the timeline's current frame through fscommand("lumaret_frame", n).
PLATFORM_MOVIE_EXPORT QByteArray reportCurrentFrame();
} // namespace action

// The oldest movies that can offer timeline control (their scripts know _global).
constexpr int OldestControllableVersion = 6;

// The movie with a frame report run on every frame its main timeline shows: the host learns
// the frame on show without the movie's own scripts or display list changing. Movies of
// OldestControllableVersion and later also offer the timeline control calls from their first
// frame on, so the host can go back to the first frame in place.
PLATFORM_MOVIE_EXPORT SwfFile withFrameReports(SwfFile movie);

// An empty movie of the given size in pixels.
PLATFORM_MOVIE_EXPORT SwfFile emptyMovie(int version, int width, int height,
                                         double framesPerSecond);

} // namespace platform::swf
