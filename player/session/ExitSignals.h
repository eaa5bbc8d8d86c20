#pragma once

// Turns SIGTERM (how a service manager stops the player) and SIGINT (Ctrl+C) into a Qt
// signal on the user-interface thread, so they end the program the way its exit command
// does: timers stopped, windows closed, temporary files removed.

#include <QObject>

class QSocketNotifier;

class ExitSignals : public QObject
{
    Q_OBJECT

public:
    explicit ExitSignals(QObject* parent = nullptr);
    ~ExitSignals() override;

signals:
    void exitRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
