#pragma once

#include <QtCore/qglobal.h>

#if defined(PLATFORM_TEXT_LIBRARY)
#define PLATFORM_TEXT_EXPORT Q_DECL_EXPORT
#else
#define PLATFORM_TEXT_EXPORT Q_DECL_IMPORT
#endif
