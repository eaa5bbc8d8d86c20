#pragma once

#include "movie/MovieExport.h"

namespace platform::movie {

// Sets up the web engine's process options. Call before the application object exists:
// movies may play sound without a click, the sandbox is off only when running as root (it can
// not run then), and without a GPU everything renders in software.
PLATFORM_MOVIE_EXPORT void prepareWebEngine();

} // namespace platform::movie
