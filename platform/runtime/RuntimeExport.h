#pragma once

#include <QtCore/qglobal.h>

#if defined(PLATFORM_RUNTIME_LIBRARY)
#define PLATFORM_RUNTIME_EXPORT Q_DECL_EXPORT
#else
#define PLATFORM_RUNTIME_EXPORT Q_DECL_IMPORT
#endif
