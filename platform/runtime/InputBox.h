#pragma once

// A modal text-input box (prompt, title, default text, OK and Cancel). Like message boxes it
// goes through one seam, so tests can answer it.

#include "runtime/RuntimeExport.h"

#include <QString>
#include <functional>

class QWidget;

namespace platform {

struct InputBoxRequest
{
    QWidget* parent = nullptr;
    QString prompt;
    QString title;
    QString defaultText;
};

// The typed text, or "" on Cancel.
PLATFORM_RUNTIME_EXPORT QString showInputBox(const InputBoxRequest& request);

using InputBoxAnswerer = std::function<QString(const InputBoxRequest&)>;
// Installs an answerer for all input boxes; an empty one restores real boxes. Returns the
// answerer installed before.
PLATFORM_RUNTIME_EXPORT InputBoxAnswerer setInputBoxAnswerer(InputBoxAnswerer answerer);

} // namespace platform
