#pragma once

// Keeps a subordinate's look at its master folder off the user-interface thread. Each tick may
// start one look (master::checkMaster) on a worker thread; the window never waits for it. A
// look still running skips the tick, one that runs past a time limit is given up and logged
// once, and its late answer is dropped. Failures are retried with back-off (1 s doubling to a
// minute, back to every tick on success) and logged once per change of state.

#include "MasterFiles.h"

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>

class MasterWatch : public QObject
{
    Q_OBJECT

public:
    using Checker =
        std::function<master::Check(const QString& masterFolder, const QString& lastStamp)>;

    // checker does the look on the worker thread; a look running longer than timeLimitMs is
    // given up.
    explicit MasterWatch(Checker checker, QObject* parent = nullptr,
                         int timeLimitMs = DefaultTimeLimitMs);
    ~MasterWatch() override;

    // Starts a look unless one is running or a retry is not due yet.
    void tick(const QString& masterFolder, const QString& lastStamp);
    // The caller's verdict on a look it was handed: a failure backs off, a success resets.
    void reportFailure(const QString& what);
    void reportSuccess(const QString& what);

    bool isChecking() const { return m_checking; }
    int retryDelaySeconds() const { return m_retryDelay; }
    // Makes the next tick look at once, whatever the back-off (tests).
    void retryNow() { m_retryDue = 0; }

    static constexpr int DefaultTimeLimitMs = 10000;
    // A look that failed faster than this (a folder that is simply not there) costs nothing
    // to repeat: the next tick looks again, so a master that comes back is followed at once.
    static constexpr int QuickFailureMs = 200;
    static constexpr int MaxRetryDelaySeconds = 60;

signals:
    // A look finished within the time limit.
    void checked(const master::Check& check);

private:
    struct Channel;
    void finished(const master::Check& check, int generation);

    Checker m_checker;
    int m_timeLimitMs;
    std::shared_ptr<Channel> m_channel;
    QElapsedTimer m_clock;
    bool m_checking = false;
    bool m_hangLogged = false;
    qint64 m_startedAt = 0;
    int m_generation = 0;
    int m_retryDelay = 0;     // seconds; 0 while working
    qint64 m_lastLookMs = -1; // how long the last look took; -1 before the first
    qint64 m_retryDue = 0;    // m_clock time of the next look while failing
    QString m_failure;        // the failure last logged; empty while working
};
