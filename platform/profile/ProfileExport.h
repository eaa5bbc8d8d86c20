#pragma once

#include <QtCore/qglobal.h>

#if defined(PLATFORM_PROFILE_LIBRARY)
#define PLATFORM_PROFILE_EXPORT Q_DECL_EXPORT
#else
#define PLATFORM_PROFILE_EXPORT Q_DECL_IMPORT
#endif
