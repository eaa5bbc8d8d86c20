#pragma once

// The engines that need a large library of their own live in libraries of their own beside
// the presentation component's: the web player (the web engine), video drawn by GStreamer, and
// video through Qt Multimedia. A library is opened when a movie first needs its engine, so a
// slide show or a picture never loads them, and video on X never loads Qt Multimedia. Each
// exports one function that makes its engine.

#include "movie/MovieEngine.h"

class QObject;
class QString;

namespace platform::movie {

// Exported by liblumaret-movie-web.so as "lumaretNewWebPlayer".
using NewWebPlayer = MovieEngine* (*)(const QString& runtimeFolder, QObject* parent);
inline constexpr char WebPlayerLibrary[] = "liblumaret-movie-web.so";
inline constexpr char NewWebPlayerName[] = "lumaretNewWebPlayer";

// Exported by liblumaret-movie-video.so as "lumaretNewVideoEngine": the engine drawing into
// the stage's X window, or none where it cannot (the reason logged).
using NewVideoEngine = MovieEngine* (*)(QObject* parent);
inline constexpr char VideoLibrary[] = "liblumaret-movie-video.so";
inline constexpr char NewVideoEngineName[] = "lumaretNewVideoEngine";

// Exported by liblumaret-movie-multimedia.so as "lumaretNewMultimediaEngine": video through Qt
// Multimedia, where the X window's way is not open.
inline constexpr char MultimediaLibrary[] = "liblumaret-movie-multimedia.so";
inline constexpr char NewMultimediaEngineName[] = "lumaretNewMultimediaEngine";

} // namespace platform::movie
