#pragma once

// Tells the service manager (systemd, through the datagram socket named by NOTIFY_SOCKET) that
// the player is ready and, while it is healthy, that it is alive. With "WatchdogSec=" in the
// unit the manager restarts a player that stops saying so. Without NOTIFY_SOCKET (started by
// hand) it does nothing.

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>

class ServiceNotifier : public QObject
{
    Q_OBJECT

public:
    // healthy is asked before each keep-alive message, on this thread: a blocked thread or
    // an unhealthy answer sends nothing, and the manager's watchdog runs out.
    explicit ServiceNotifier(std::function<bool()> healthy, QObject* parent = nullptr);
    ~ServiceNotifier() override;

    // "READY=1", once.
    void notifyReady();
    // "STOPPING=1" before the exit command ends the program.
    void notifyStopping();

    bool isConnected() const { return m_socket >= 0; }
    // The keep-alive period: half the manager's watchdog time; 0 without a watchdog.
    int keepAliveMs() const { return m_keepAlive.interval(); }

private:
    bool send(const QByteArray& message);
    void keepAlive();

    std::function<bool()> m_healthy;
    QByteArray m_address; // the socket's path; a leading "@" names an abstract socket
    int m_socket = -1;
    bool m_ready = false;
    bool m_unhealthyLogged = false;
    QTimer m_keepAlive;
};
