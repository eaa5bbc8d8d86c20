#pragma once

// The engines that need a large library of their own live in libraries of their own beside
// the presentation component's: the web player (the web engine) and video (GStreamer and Qt
// Multimedia). A library is opened when a movie first needs its engine, so a slide show or a
// picture never loads them. Each exports one function that makes its engine.

#include "movie/MovieEngine.h"

class QObject;
class QString;

namespace platform::movie {

// Exported by liblumaret-movie-web.so as "lumaretNewWebPlayer".
using NewWebPlayer = MovieEngine* (*)(const QString& runtimeFolder, QObject* parent);
inline constexpr char WebPlayerLibrary[] = "liblumaret-movie-web.so";
inline constexpr char NewWebPlayerName[] = "lumaretNewWebPlayer";

// Exported by liblumaret-movie-video.so as "lumaretNewVideoEngine".
using NewVideoEngine = MovieEngine* (*)(QObject* parent);
inline constexpr char VideoLibrary[] = "liblumaret-movie-video.so";
inline constexpr char NewVideoEngineName[] = "lumaretNewVideoEngine";

} // namespace platform::movie
