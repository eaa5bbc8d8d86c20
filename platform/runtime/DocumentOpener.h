#pragma once

#include "runtime/RuntimeExport.h"

#include <QString>
#include <functional>

class QObject;
class QWidget;

namespace platform {

// Opens a local file with the desktop's application for it, without waiting for it. When no
// application can open it (no opener, or the opener gives up, as it does without a browser),
// `failed` is called with the reason, on this thread, unless `context` is gone by then.
PLATFORM_RUNTIME_EXPORT void openDocument(const QString& path, QObject* context,
                                          std::function<void(const QString& why)> failed);

// Opens the file as openDocument does; when it can not be opened, logs why and tells the user
// `message` in a warning box titled `title` over `parent`.
PLATFORM_RUNTIME_EXPORT void openDocumentOrSay(QWidget* parent, const QString& path,
                                               const QString& message, const QString& title);

} // namespace platform
