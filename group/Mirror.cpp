#include "Mirror.h"

#include "Schedule.h"

#include "movie/SlideParameters.h"
#include "profile/RootedFolder.h"
#include "text/Cp932.h"
#include "text/Printable.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcMirror, "lumaret.group.mirror")

namespace group {

namespace {

// The value of a key of [ENVIRONMENT] in the settings' text.
QString environmentValue(const QString& settings, const QString& key)
{
    for (const QString& line : sectionLines(settings, QLatin1String("ENVIRONMENT")))
        if (line.section(u'=', 0, 0).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.section(u'=', 1).trimmed();
    return {};
}

// The mirror's copy matches the master's file by size and modification time (copies keep it).
bool sameFile(const struct stat& source, const QString& copy)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(copy).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_size == source.st_size && info.st_mtim.tv_sec == source.st_mtim.tv_sec &&
           info.st_mtim.tv_nsec == source.st_mtim.tv_nsec;
}

struct FileCloser
{
    int fd;
    ~FileCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// What the mirror holds beyond the kept files goes, and then the folders left empty; links
// are removed, never followed.
void removeUnneeded(const QString& mirrorFolder, const QSet<QString>& kept, MirrorResult& result)
{
    const QDir mirror(mirrorFolder);
    QDirIterator files(mirrorFolder, QDir::Files | QDir::System | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = mirror.relativeFilePath(path);
        if (!kept.contains(relative) && QFile::remove(path))
            result.removed << relative;
    }
    QStringList folders;
    QDirIterator subfolders(mirrorFolder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                            QDirIterator::Subdirectories);
    while (subfolders.hasNext())
        folders << subfolders.next();
    std::sort(folders.begin(), folders.end(), std::greater<>()); // the deepest first
    for (const QString& folder : folders)
        mirror.rmdir(folder); // only when empty
}

} // namespace

QThreadPool* shareWorkers()
{
    static QThreadPool* const pool = [] {
        auto* workers = new QThreadPool;
        workers->setMaxThreadCount(4);
        return workers;
    }();
    return pool;
}

QStringList mirroredPaths(const QByteArray& settingsBytes, const QByteArray& slideParams)
{
    const QString settings = platform::fromCp932(settingsBytes);
    // The movie and the pictures first, the slide list and the settings that name them last:
    // a show never reads a list whose pictures are not in the mirror yet.
    QStringList paths;
    const QString movie = environmentValue(settings, QStringLiteral("txtAnime"));
    const bool slides = environmentValue(settings, QStringLiteral("optTarget")) == u'1';
    if (!movie.isEmpty())
        paths << (slides ? QStringLiteral("img/") : QStringLiteral("ani/")) + movie;
    if (slides) {
        const QString folder = QStringLiteral("/img");
        for (const QString& name : platform::movie::parseSlideParameters(slideParams).names) {
            // The picture's path as the show resolves it, relative to the master folder.
            const QString path = platform::movie::picturePath(folder, name);
            if (path.startsWith(folder + u'/'))
                paths << path.mid(1);
        }
    }
    paths << QStringLiteral("img/swfpara.txt") << QStringLiteral("lumaret.ini");
    paths.removeDuplicates();
    return paths;
}

MirrorResult syncMirror(const QString& masterFolder, const QString& mirrorFolder,
                        const QStringList& relativePaths, qint64 maxBytes)
{
    MirrorResult result;
    const platform::RootedFolder master(masterFolder);
    if (!master.isOpen()) {
        result.error = QStringLiteral("cannot reach the master folder ") + masterFolder;
        return result;
    }
    QDir().mkpath(mirrorFolder);
    const platform::RootedFolder mirror(mirrorFolder);
    QSet<QString> kept;
    qint64 total = 0;
    // Files go from the mirror only after a pass in which the master answered for every file
    // and still holds its settings: a share that stops answering mid-way, or a master folder
    // emptied while it is replaced, must not take the show's files away.
    bool masterAnswered = true;
    bool settingsThere = false;
    for (const QString& relative : relativePaths) {
        const QString cleaned = QDir::cleanPath(relative);
        if (!platform::RootedFolder::isInsideName(cleaned))
            continue;
        const auto refuse = [&](const QString& why) { result.refused << cleaned + u' ' + why; };
        const platform::RootedFolder::Opened source = master.openFile(cleaned);
        const FileCloser closer{source.fd};
        switch (source.outcome) {
        case platform::RootedFolder::Opened::Missing:
            continue; // not on the master (a slide list may name missing pictures)
        case platform::RootedFolder::Opened::Unanswered:
            masterAnswered = false;
            kept << cleaned;
            refuse(QStringLiteral("can not be examined (%1); the mirror's copy stays")
                       .arg(source.why));
            continue;
        case platform::RootedFolder::Opened::Refused:
            if (cleaned == QLatin1String("lumaret.ini"))
                settingsThere = true;
            refuse(source.why.contains(QLatin1String("leads out"))
                       ? QStringLiteral("leads out of the master folder")
                       : QStringLiteral("is not a regular file"));
            continue;
        case platform::RootedFolder::Opened::Ok:
            break;
        }
        if (cleaned == QLatin1String("lumaret.ini"))
            settingsThere = true;
        // A file refused for its size takes no room from the files after it.
        if (total + source.info.st_size > maxBytes) {
            refuse(QStringLiteral("would make the mirror larger than %1 MiB").arg(maxBytes >> 20));
            continue;
        }
        total += source.info.st_size;
        kept << cleaned;
        if (sameFile(source.info, QDir(mirrorFolder).filePath(cleaned)))
            continue;
        QString why;
        if (mirror.copyFrom(source.fd, source.info, cleaned, &why))
            result.copied << cleaned;
        else
            refuse(why);
    }
    if (!masterAnswered || (relativePaths.contains(QLatin1String("lumaret.ini")) && !settingsThere))
        return result;
    removeUnneeded(mirrorFolder, kept, result);
    return result;
}

MirrorWatch::MirrorWatch(const QString& mirrorFolder, QObject* parent)
    : QObject(parent), m_folder(mirrorFolder)
{
}

// A sync still running is left to end by itself.
MirrorWatch::~MirrorWatch()
{
    if (m_watcher)
        m_watcher->disconnect(this);
}

void MirrorWatch::sync(const QString& masterFolder, const QStringList& relativePaths)
{
    m_master = masterFolder;
    m_paths = relativePaths;
    if (m_watcher) {
        m_again = true;
        return;
    }
    start();
}

void MirrorWatch::start()
{
    m_again = false;
    m_watcher = new QFutureWatcher<MirrorResult>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, [this] {
        const MirrorResult result = m_watcher->result();
        m_watcher->deleteLater();
        m_watcher = nullptr;
        // A share that stays away refuses the same files at every pass: told once.
        if (result.refused != m_lastRefused)
            for (const QString& refused : result.refused)
                qCWarning(lcMirror).noquote() << "not mirrored:" << platform::printable(refused);
        m_lastRefused = result.refused;
        if (!result.copied.isEmpty() || !result.removed.isEmpty())
            qCInfo(lcMirror).noquote() << "mirror of" << m_master << ":" << result.copied.size()
                                       << "files copied," << result.removed.size() << "removed";
        emit synced(result);
        if (m_again)
            start();
    });
    m_watcher->setFuture(
        QtConcurrent::run(shareWorkers(), syncMirror, m_master, m_folder, m_paths, MaxMirrorBytes));
}

} // namespace group
