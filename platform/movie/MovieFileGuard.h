#pragma once

// What a movie in the web player may read of this machine's files: the web player's own files
// and page, the temporary copy it plays from, the fonts it is given, and the folder the movie
// plays from with what lies below it (its pictures and parameter files). Any other local file
// is refused, whatever link leads there, and the first refusal of a movie is logged.

#include <QMutex>
#include <QSet>
#include <QStringList>
#include <QWebEngineUrlRequestInterceptor>

namespace platform::movie {

class MovieFileGuard : public QWebEngineUrlRequestInterceptor
{
public:
    MovieFileGuard(const QStringList& fixedFolders, QObject* parent = nullptr);

    // The folder of the movie now playing.
    void setMovieFolder(const QString& folder);
    // Whether a movie may read the local file (called on the web engine's own thread).
    bool allows(const QString& localPath) const;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    mutable QMutex m_mutex;
    QStringList m_fixed; // canonical paths
    QString m_movie;     // canonical path
    bool m_refusalTold = false;
};

} // namespace platform::movie
