#pragma once

#include <QtCore/qglobal.h>

#if defined(PLATFORM_COM_LIBRARY)
#define PLATFORM_COM_EXPORT Q_DECL_EXPORT
#else
#define PLATFORM_COM_EXPORT Q_DECL_IMPORT
#endif
