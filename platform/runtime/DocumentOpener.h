#pragma once

#include "runtime/RuntimeExport.h"

#include <QString>
#include <functional>

class QObject;

namespace platform {

// Opens a local file with the desktop's application for it, without waiting for it. When no
// application can open it (no opener, or the opener gives up, as it does without a browser),
// `failed` is called with the reason, on this thread, unless `context` is gone by then.
PLATFORM_RUNTIME_EXPORT void openDocument(const QString& path, QObject* context,
                                          std::function<void(const QString& why)> failed);

} // namespace platform
