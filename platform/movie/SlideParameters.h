#pragma once

// The slide list a slide-show movie reads from "swfpara.txt" beside it, read the way the
// shipped effect movies read it: one line in code page 932, "interface2=" then the time per
// picture in milliseconds, "#", the picture count and "#name" for each picture. The count is
// not used: every non-empty name after it is a picture, in order.

#include "movie/MovieExport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform::movie {

struct SlideParameters
{
    static constexpr int DefaultMilliseconds = 3000;
    int milliseconds = DefaultMilliseconds;
    QStringList names;
    int namesLeftOut = 0; // beyond MaxSlideNames
};

// A slide list names at most this many pictures (the dialog writes ten); the rest are left out.
inline constexpr int MaxSlideNames = 1000;

// What the movies make of the file's bytes. A time that is no number, or not above 0, is the
// default; a file without names shows nothing.
PLATFORM_MOVIE_EXPORT SlideParameters parseSlideParameters(const QByteArray& bytes);

// The parameters in the file, the defaults without names when it can not be read or is a
// link out of its folder. Reads at most MaxSlideParametersSize bytes: the list the dialog
// writes is a few hundred.
inline constexpr qsizetype MaxSlideParametersSize = 1024 * 1024;
PLATFORM_MOVIE_EXPORT SlideParameters readSlideParameters(const QString& path);

// The file a picture name stands for, in the movie's folder: the name is an address relative
// to the movie, so blanks and control characters around it go, line breaks and tabs in it go,
// "\" is "/", a "?" starts a query, and %XX escapes stand for their bytes. "" when the name
// leads out of that folder.
PLATFORM_MOVIE_EXPORT QString picturePath(const QString& movieFolder, const QString& name);

} // namespace platform::movie
