#include "runtime/MessageBox.h"

#include <QLoggingCategory>
#include <utility>

Q_LOGGING_CATEGORY(lcMessageBox, "lumaret.messagebox")

namespace platform {

namespace {
MessageBoxAnswerer& installedAnswerer()
{
    static MessageBoxAnswerer answerer;
    return answerer;
}
} // namespace

QMessageBox::StandardButton showMessageBox(const MessageBoxRequest& request)
{
    // The text also goes to the log: on an unattended screen nobody may be there to read it.
    qCInfo(lcMessageBox).noquote() << request.title << ":" << request.text;
    if (const auto& answerer = installedAnswerer())
        return answerer(request);

    QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

MessageBoxAnswerer setMessageBoxAnswerer(MessageBoxAnswerer answerer)
{
    return std::exchange(installedAnswerer(), std::move(answerer));
}

} // namespace platform
