#pragma once

// Gets a SWF movie ready for the web player, away from the user-interface thread: reading and
// decompressing a movie may take seconds and much memory (a compression bomb), so it runs on
// a worker. Old-style movies get a copy that reports its frames; ActionScript 3 movies play as
// they are, inside the loader shell.

#include "movie/MovieExport.h"

#include <QString>

namespace platform::movie {

struct PreparedSwf
{
    bool playable = false;
    QString error; // why not, for the log
    QString file;  // what the web player loads: the copy or the movie itself
    bool actionScript3 = false;
    bool deviceText = false;
    bool sound = false;       // whether the movie may make sound
    bool loadsMovies = false; // whether it may load movies, which may make sound
};

// Reads the movie at path; an old-style movie's copy with frame reports goes to copyPath.
PLATFORM_MOVIE_EXPORT PreparedSwf prepareSwf(const QString& path, const QString& copyPath);

// Removes the movie copies that earlier runs of the program left behind (killed, power cut):
// the folders "<program>-<pid>-XXXXXX" in the temporary folder of processes that are gone.
PLATFORM_MOVIE_EXPORT void removeStaleCopies();

} // namespace platform::movie
