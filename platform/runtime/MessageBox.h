#pragma once

// Every modal message box of the programs goes through showMessageBox(), so that a test (or an
// unattended harness) can answer it instead of blocking on a real dialog.

#include "runtime/RuntimeExport.h"

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace platform {

struct MessageBoxRequest
{
    QWidget* parent = nullptr;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

using MessageBoxAnswerer = std::function<QMessageBox::StandardButton(const MessageBoxRequest&)>;

// Shows the box modally (or hands it to the installed answerer) and returns the button pressed.
PLATFORM_RUNTIME_EXPORT QMessageBox::StandardButton
showMessageBox(const MessageBoxRequest& request);

// Installs an answerer for all message boxes of this process; an empty one restores real boxes.
// Returns the answerer that was installed before.
PLATFORM_RUNTIME_EXPORT MessageBoxAnswerer setMessageBoxAnswerer(MessageBoxAnswerer answerer);

} // namespace platform
