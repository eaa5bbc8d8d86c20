#pragma once

// Keeps the screen from blanking while the player runs: the desktop session's screen-saver
// service is asked to hold off (over D-Bus) where there is one; on a bare X server the X
// screen saver and display power management are turned off with xset. Both are undone when
// the inhibitor goes.

#include <QString>

class ScreenSaverInhibitor
{
public:
    enum class Means
    {
        None,
        SessionService, // org.freedesktop.ScreenSaver on the session bus
        XServer,        // xset: screen saver and DPMS off
    };

    ScreenSaverInhibitor();
    ~ScreenSaverInhibitor();
    ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
    ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;

    Means means() const { return m_means; }

private:
    bool inhibitThroughSession();
    bool inhibitThroughXServer();

    Means m_means = Means::None;
    quint32 m_cookie = 0;
    QString m_savedSaver; // "timeout cycle" as xset reported them
    bool m_dpmsWasEnabled = false;
};
