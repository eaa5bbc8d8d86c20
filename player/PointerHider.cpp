#include "PointerHider.h"

#include <QCursor>
#include <QGuiApplication>

#include <algorithm>

namespace {
// How often the pointer's position is read. A move is seen within this time; reading it
// costs next to nothing, and unlike move events it sees the pointer over every child window
// (the web view included).
constexpr int LookMs = 250;
} // namespace

PointerHider::PointerHider(int idleMs, QObject* parent)
    : QObject(parent), m_last(QCursor::pos()), m_idleMs(idleMs)
{
    m_look.setInterval(std::min(LookMs, std::max(1, idleMs / 2)));
    connect(&m_look, &QTimer::timeout, this, &PointerHider::look);
    m_look.start();
}

PointerHider::~PointerHider()
{
    setHidden(false);
}

void PointerHider::look()
{
    const QPoint now = QCursor::pos();
    if (now != m_last) {
        m_last = now;
        m_stillMs = 0;
        setHidden(false);
        return;
    }
    m_stillMs += m_look.interval();
    if (m_stillMs >= m_idleMs)
        setHidden(true);
}

void PointerHider::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (hidden)
        QGuiApplication::setOverrideCursor(Qt::BlankCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}
