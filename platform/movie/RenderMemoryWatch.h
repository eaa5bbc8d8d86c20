#pragma once

// The resident memory of the web page's render process, against what it held once the page
// had settled after its load. Parts of the web player keep memory for every movie they load
// (player instances, decoded pictures); reloading the page gives all of it back. The engine
// asks at quiet moments (a new movie, a restart) whether the growth has passed a small limit,
// and now and then whether it has passed a large one that must not wait for such a moment.

#include "movie/MovieExport.h"

#include <QElapsedTimer>
#include <functional>

namespace platform::movie {

class PLATFORM_MOVIE_EXPORT RenderMemoryWatch
{
public:
    // processId gives the render process's id (0 while there is none).
    explicit RenderMemoryWatch(std::function<qint64()> processId);

    // A page (re)load: the next baseline is taken once the page has settled.
    void pageLoaded();
    // Bytes above the baseline; 0 until a baseline was taken. Takes the baseline when due.
    qint64 growth();
    // The growth allowed before a quiet moment's reload, and before an immediate one.
    qint64 quietLimit() const { return m_quietLimit; }
    qint64 forcedLimit() const { return m_forcedLimit; }
    void setLimits(qint64 quietBytes, qint64 forcedBytes);
    void setSettleMs(int milliseconds) { m_settleMs = milliseconds; }

    // A process's resident memory in bytes; 0 when it can not be read.
    static qint64 residentBytes(qint64 pid);

    static constexpr qint64 DefaultQuietLimit = 64 << 20;
    static constexpr qint64 DefaultForcedLimit = 384 << 20;

private:
    std::function<qint64()> m_processId;
    QElapsedTimer m_sinceLoad;
    qint64 m_baseline = 0;
    qint64 m_quietLimit = DefaultQuietLimit;
    qint64 m_forcedLimit = DefaultForcedLimit;
    int m_settleMs = 30000;
};

} // namespace platform::movie
