#pragma once

// Hides the mouse pointer over the presentation after a few seconds without movement and
// shows it again as soon as the mouse moves, so the buttons stay usable. While a dialog or a
// menu is open over the player the pointer stays.

#include <QObject>
#include <QTimer>

class PointerHider : public QObject
{
    Q_OBJECT

public:
    explicit PointerHider(int idleMs = 3000, QObject* parent = nullptr);
    ~PointerHider() override;

    bool isHidden() const { return m_hidden; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHidden(bool hidden);

    QTimer m_idle;
    bool m_hidden = false;
};
