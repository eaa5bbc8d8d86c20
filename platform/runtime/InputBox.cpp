#include "runtime/InputBox.h"

#include <QInputDialog>
#include <utility>

namespace platform {

namespace {
InputBoxAnswerer& installedAnswerer()
{
    static InputBoxAnswerer answerer;
    return answerer;
}
} // namespace

QString showInputBox(const InputBoxRequest& request)
{
    if (const auto& answerer = installedAnswerer())
        return answerer(request);
    bool ok = false;
    const QString text = QInputDialog::getText(request.parent, request.title, request.prompt,
                                               QLineEdit::Normal, request.defaultText, &ok);
    return ok ? text : QString();
}

InputBoxAnswerer setInputBoxAnswerer(InputBoxAnswerer answerer)
{
    return std::exchange(installedAnswerer(), std::move(answerer));
}

} // namespace platform
