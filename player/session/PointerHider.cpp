#include "session/PointerHider.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QWidget>

namespace {

// A dialog (the settings, a message, a file picker) or a menu is open over the player: the
// pointer is needed there.
bool dialogIsOpen()
{
    return QApplication::activeModalWidget() || QApplication::activePopupWidget();
}

} // namespace

PointerHider::PointerHider(int idleMs, QObject* parent) : QObject(parent)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(idleMs);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (dialogIsOpen())
            m_idle.start(); // looked at again later
        else
            setHidden(true);
    });
    m_idle.start();
    // Every window's pointer moves, whichever child is under the pointer (the web view
    // included) and whether or not it tracks the mouse: a still pointer costs nothing.
    QCoreApplication::instance()->installEventFilter(this);
}

PointerHider::~PointerHider()
{
    setHidden(false);
}

bool PointerHider::eventFilter(QObject* watched, QEvent* event)
{
    if (watched->isWindowType() &&
        (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress)) {
        setHidden(false);
        m_idle.start();
    }
    // A dialog that opens brings the pointer back at once.
    if (m_hidden && event->type() == QEvent::Show && watched->isWidgetType()) {
        const auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && (widget->isModal() || widget->windowType() == Qt::Popup)) {
            setHidden(false);
            m_idle.start();
        }
    }
    return false;
}

void PointerHider::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (hidden)
        QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}
