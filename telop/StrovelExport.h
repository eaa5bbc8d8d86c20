#pragma once

#include <QtCore/qglobal.h>

#if defined(STROVEL_LIBRARY)
#define STROVEL_EXPORT Q_DECL_EXPORT
#else
#define STROVEL_EXPORT Q_DECL_IMPORT
#endif
