#include "MasterWatch.h"

#include <QLoggingCategory>
#include <QPointer>
#include <algorithm>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcMaster, "lumaret.player.master")

// Carries a worker's answer back to the watch, or nowhere once the watch is gone: a worker
// stuck on a hung share may outlive the window.
struct MasterWatch::Channel
{
    std::mutex mutex;
    MasterWatch* watch = nullptr;

    void deliver(const master::Check& check, int generation)
    {
        const std::lock_guard lock(mutex);
        if (watch)
            QMetaObject::invokeMethod(
                watch, [w = watch, check, generation] { w->finished(check, generation); },
                Qt::QueuedConnection);
    }
};

MasterWatch::MasterWatch(Checker checker, QObject* parent, int timeLimitMs)
    : QObject(parent), m_checker(std::move(checker)), m_timeLimitMs(timeLimitMs),
      m_channel(std::make_shared<Channel>())
{
    m_channel->watch = this;
    m_clock.start();
}

MasterWatch::~MasterWatch()
{
    const std::lock_guard lock(m_channel->mutex);
    m_channel->watch = nullptr;
}

void MasterWatch::tick(const QString& masterFolder, const QString& lastStamp)
{
    const qint64 now = m_clock.elapsed();
    if (m_checking) {
        if (!m_hangLogged && now - m_startedAt > m_timeLimitMs) {
            qCWarning(lcMaster).noquote()
                << "the master folder" << masterFolder << "has not answered for" << m_timeLimitMs
                << "ms; the player goes on with its own settings";
            m_hangLogged = true;
        }
        return;
    }
    if (m_retryDelay > 0 && now < m_retryDue)
        return;
    m_checking = true;
    m_startedAt = now;
    const int generation = ++m_generation;
    std::thread([channel = m_channel, checker = m_checker, masterFolder, lastStamp, generation] {
        channel->deliver(checker(masterFolder, lastStamp), generation);
    }).detach();
}

void MasterWatch::finished(const master::Check& check, int generation)
{
    if (generation != m_generation)
        return;
    m_checking = false;
    m_lastLookMs = m_clock.elapsed() - m_startedAt;
    const bool late = m_lastLookMs > m_timeLimitMs;
    if (m_hangLogged) {
        qCInfo(lcMaster) << "the master folder answered again";
        m_hangLogged = false;
    }
    if (late) {
        // Too old to act on: the next tick looks again.
        qCDebug(lcMaster) << "dropped a late answer from the master folder";
        return;
    }
    emit checked(check);
}

void MasterWatch::reportFailure(const QString& what)
{
    if (m_lastLookMs >= 0 && m_lastLookMs < QuickFailureMs) {
        m_retryDelay = 0;
        if (what != m_failure)
            qCWarning(lcMaster).noquote() << what << "; trying again every second";
        m_failure = what;
        return;
    }
    m_retryDelay = std::clamp(m_retryDelay * 2, 1, MaxRetryDelaySeconds);
    m_retryDue = m_clock.elapsed() + qint64(m_retryDelay) * 1000;
    if (what != m_failure)
        qCWarning(lcMaster).noquote() << what << "; trying again with growing pauses";
    m_failure = what;
}

void MasterWatch::reportSuccess(const QString& what)
{
    if (!m_failure.isEmpty())
        qCInfo(lcMaster) << "the master folder works again";
    if (!what.isEmpty())
        qCInfo(lcMaster).noquote() << what;
    m_failure.clear();
    m_retryDelay = 0;
}
