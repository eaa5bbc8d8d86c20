#pragma once

#include <QtCore/qglobal.h>

#if defined(PLATFORM_MOVIE_LIBRARY)
#define PLATFORM_MOVIE_EXPORT Q_DECL_EXPORT
#else
#define PLATFORM_MOVIE_EXPORT Q_DECL_IMPORT
#endif
