#pragma once

// Answers every message box of the process while it lives, and remembers what was asked.

#include "runtime/MessageBox.h"

#include <QList>
#include <QStringList>

class MessageBoxRecorder
{
public:
    explicit MessageBoxRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok)
    {
        m_previous =
            platform::setMessageBoxAnswerer([this, answer](const platform::MessageBoxRequest& r) {
                requests.append(r);
                return answer;
            });
    }
    ~MessageBoxRecorder() { platform::setMessageBoxAnswerer(m_previous); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    QStringList texts() const
    {
        QStringList result;
        for (const auto& r : requests)
            result.append(r.text);
        return result;
    }

    QList<platform::MessageBoxRequest> requests;

private:
    platform::MessageBoxAnswerer m_previous;
};
