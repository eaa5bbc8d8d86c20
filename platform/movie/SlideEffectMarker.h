#pragma once

// The marker that the shipped slide-show movies carry in their metadata: which effect the
// movie plays and in which version. The component plays a movie with a marker it knows as a
// native slide show; every other player, and this one for a marker it does not know, plays
// the movie itself, so the files stay ordinary movies.

#include "movie/MovieExport.h"
#include "movie/SwfFile.h"

#include <QString>
#include <optional>

namespace platform::movie {

enum class SlideEffect
{
    Placeholder, // shows nothing: the stand-in loaded while the slide list is rewritten
    None,        // the pictures one after another
    Fade,        // each picture fades in over the one before during the first third of its time
    Slide,       // each picture slides in from the right over the one before, likewise
};

// The version of the effects this program plays. A movie marked with a later version does
// something this program does not know, and plays as a movie.
inline constexpr int SlideEffectVersion = 1;

struct SlideEffectMarker
{
    SlideEffect effect = SlideEffect::Placeholder;
    int version = SlideEffectVersion;
    double framesPerSecond = 24; // the movie's own rate, used while a transition moves
};

PLATFORM_MOVIE_EXPORT QString slideEffectName(SlideEffect effect);

// The movie with the marker: a metadata tag right after the file attributes, which say that
// the movie has metadata (a file attributes tag is added where the movie has none).
PLATFORM_MOVIE_EXPORT swf::SwfFile withSlideEffectMarker(swf::SwfFile movie, SlideEffect effect);

// The marker of a movie from the first bytes of its file, when it names an effect and a
// version this program plays; nullopt for every other movie or file.
PLATFORM_MOVIE_EXPORT std::optional<SlideEffectMarker> knownSlideEffect(const QByteArray& head);

// How many bytes of a file knownSlideEffect needs: the marker stands among the first tags.
inline constexpr qsizetype SlideEffectHeadSize = 4096;

} // namespace platform::movie
