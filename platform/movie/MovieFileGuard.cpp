#include "movie/MovieFileGuard.h"

#include "profile/RootedFolder.h"
#include "text/Printable.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QUrl>

Q_LOGGING_CATEGORY(lcGuard, "lumaret.movie.files")

namespace platform::movie {

namespace {

QString canonical(const QString& folder)
{
    return QFileInfo(folder).canonicalFilePath();
}

} // namespace

MovieFileGuard::MovieFileGuard(const QStringList& fixedFolders, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent)
{
    for (const QString& folder : fixedFolders)
        if (const QString real = canonical(folder); !real.isEmpty())
            m_fixed << real;
}

void MovieFileGuard::setMovieFolder(const QString& folder)
{
    const QString real = canonical(folder);
    QMutexLocker lock(&m_mutex);
    m_movie = real;
    m_refusalTold = false;
}

bool MovieFileGuard::allows(const QString& localPath) const
{
    // A file's real place counts; one not there yet is judged by its path (its load fails).
    QString real = canonical(localPath);
    if (real.isEmpty())
        real = QDir::cleanPath(QFileInfo(localPath).absoluteFilePath());
    QMutexLocker lock(&m_mutex);
    if (RootedFolder::isInside(real, m_movie))
        return true;
    return std::any_of(m_fixed.begin(), m_fixed.end(), [&](const QString& folder) {
        return real == folder || RootedFolder::isInside(real, folder);
    });
}

void MovieFileGuard::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const QUrl url = info.requestUrl();
    if (!url.isLocalFile() || allows(url.toLocalFile()))
        return;
    info.block(true);
    QMutexLocker lock(&m_mutex);
    if (!std::exchange(m_refusalTold, true))
        qCWarning(lcGuard).noquote() << "a movie may not read" << printable(url.toLocalFile())
                                     << ": it lies outside the movie's folder";
}

} // namespace platform::movie
