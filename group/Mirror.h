#pragma once

// Play on from a local mirror: a subordinate keeps a copy of what it plays from its master
// folder (the settings pair, the movie or effect movie, the pictures of the slide list) and
// plays from it, so the show goes on when the master can not be reached. The copy is made on a
// worker under the take-over's rules: regular files inside the master folder only, capped per
// file and in total, staged beside their place and renamed into it, and copied only when their
// size or modification time differ. Files the mirror no longer needs are removed.

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

namespace group {

struct MirrorResult
{
    QStringList copied;  // relative paths copied anew
    QStringList removed; // relative paths no longer needed
    QStringList refused; // relative paths not copied, with why
    QString error;       // why nothing could be done ("" when the master was reached)
};

inline constexpr qint64 MaxMirrorBytes = qint64(2) << 30;

// The threads for work that touches the master's share. Never the application's global pool:
// its few threads read and decode the presentation's movies and pictures, and a hung share
// must not hold them. The pool is never deleted, so the program's end waits for no hung read.
QThreadPool* shareWorkers();

// Brings the mirror folder in line with the master folder's files at the relative paths.
MirrorResult syncMirror(const QString& masterFolder, const QString& mirrorFolder,
                        const QStringList& relativePaths, qint64 maxBytes = MaxMirrorBytes);

// The relative paths a subordinate plays from, read from the master's settings and slide list
// as bytes: the movie (ani/) or effect movie and its pictures (img/), then the pair, in the
// order they are to be copied.
QStringList mirroredPaths(const QByteArray& settings, const QByteArray& slideParams);

// Runs syncMirror on a worker, one at a time; a sync asked for while one runs follows it.
class MirrorWatch : public QObject
{
    Q_OBJECT

public:
    explicit MirrorWatch(const QString& mirrorFolder, QObject* parent = nullptr);
    ~MirrorWatch() override;

    const QString& folder() const { return m_folder; }
    void sync(const QString& masterFolder, const QStringList& relativePaths);
    bool isSyncing() const { return m_watcher != nullptr; }

signals:
    void synced(const group::MirrorResult& result);

private:
    void start();

    QString m_folder;
    QString m_master;
    QStringList m_paths;
    QStringList m_lastRefused;
    bool m_again = false;
    QFutureWatcher<MirrorResult>* m_watcher = nullptr;
};

} // namespace group
