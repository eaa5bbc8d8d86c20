#include "runtime/IntervalTimer.h"

#include "runtime/RuntimeError.h"

namespace platform {

IntervalTimer::IntervalTimer(QObject* parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::Timer);
}

void IntervalTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    applyState();
}

void IntervalTimer::setInterval(int milliseconds)
{
    if (milliseconds < 0 || milliseconds > MaximumInterval)
        raiseInvalidPropertyValue();
    m_interval = milliseconds;
    if (m_timer.isActive())
        m_timer.stop();
    applyState();
}

void IntervalTimer::applyState()
{
    if (m_enabled && m_interval > 0) {
        if (!m_timer.isActive())
            m_timer.start(m_interval);
    } else {
        m_timer.stop();
    }
}

} // namespace platform
