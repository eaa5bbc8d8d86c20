#pragma once

// The open-file dialog with the members the dialogs rely on: FileName (set before, read after;
// a cancel leaves it as it was), InitDir, Filter ("description|pattern" pairs) and ShowOpen.
// Every dialog goes through one seam, so tests can choose files without a real dialog.

#include "runtime/RuntimeExport.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace platform {

struct FileDialogRequest
{
    QWidget* parent = nullptr;
    QString initDir;
    QString filter;
    QString fileName;
};

class PLATFORM_RUNTIME_EXPORT CommonDialog
{
public:
    explicit CommonDialog(QWidget* parent = nullptr) : m_parent(parent) {}

    QString FileName;
    QString InitDir;
    QString Filter;

    // Shows the modal open-file dialog; a chosen file's full path goes to FileName. False when
    // the dialog was cancelled (FileName then stays as it was).
    bool ShowOpen();

private:
    QWidget* m_parent;
};

// The chosen file's path, or nullopt for a cancelled dialog.
using FileDialogAnswerer = std::function<std::optional<QString>(const FileDialogRequest&)>;
PLATFORM_RUNTIME_EXPORT FileDialogAnswerer setFileDialogAnswerer(FileDialogAnswerer answerer);

} // namespace platform
