#pragma once

#include "runtime/RuntimeExport.h"

#include <QObject>
#include <QTimer>

namespace platform {

// A window timer: fires Timer() every interval() milliseconds while enabled. Unlike QTimer,
// an interval of 0 means the timer never fires, so "interval 0" stops it without losing
// whether it is enabled. Ticks are precise to the millisecond.
class PLATFORM_RUNTIME_EXPORT IntervalTimer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaximumInterval = 65535;

    explicit IntervalTimer(QObject* parent = nullptr);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    int interval() const { return m_interval; }
    // 0 to MaximumInterval; anything else raises an invalid-property-value error and keeps
    // the old interval. A new interval restarts the countdown of a running timer.
    void setInterval(int milliseconds);

    bool isTicking() const { return m_timer.isActive(); }

signals:
    void Timer();

private:
    void applyState();

    QTimer m_timer;
    bool m_enabled = false;
    int m_interval = 0;
};

} // namespace platform
