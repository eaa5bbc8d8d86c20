#include "movie/RenderMemoryWatch.h"

#include <QFile>
#include <unistd.h>

namespace platform::movie {

RenderMemoryWatch::RenderMemoryWatch(std::function<qint64()> processId)
    : m_processId(std::move(processId))
{
}

void RenderMemoryWatch::pageLoaded()
{
    m_baseline = 0;
    m_sinceLoad.start();
}

qint64 RenderMemoryWatch::growth()
{
    if (!m_sinceLoad.isValid() || m_sinceLoad.elapsed() < m_settleMs)
        return 0;
    const qint64 now = residentBytes(m_processId());
    if (now <= 0)
        return 0;
    if (m_baseline == 0)
        m_baseline = now;
    return now - m_baseline;
}

void RenderMemoryWatch::setLimits(qint64 quietBytes, qint64 forcedBytes)
{
    m_quietLimit = quietBytes;
    m_forcedLimit = forcedBytes;
}

qint64 RenderMemoryWatch::residentBytes(qint64 pid)
{
    if (pid <= 0)
        return 0;
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    // Total and resident size in pages.
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

} // namespace platform::movie
