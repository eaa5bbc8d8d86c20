#include "Mirror.h"

#include "Schedule.h"

#include "movie/SlideParameters.h"
#include "text/Cp932.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>
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

// Copies one regular file through a staged file beside its place; its modification time
// goes with it, so the next sync finds it unchanged.
bool copyStaged(const QString& from, const QString& to, QString& why)
{
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat info
    {
    };
    if (in < 0 || ::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (in >= 0)
            ::close(in);
        why = QStringLiteral("not a regular file");
        return false;
    }
    QFile source;
    source.open(in, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    QDir().mkpath(QFileInfo(to).absolutePath());
    QTemporaryFile staged(QFileInfo(to).absolutePath() + QStringLiteral("/.") +
                          QFileInfo(to).fileName() + QStringLiteral(".lumaret-mirror-XXXXXX"));
    if (!staged.open()) {
        why = staged.errorString();
        return false;
    }
    char buffer[1 << 16];
    for (qint64 n; (n = source.read(buffer, sizeof buffer)) > 0;) {
        if (staged.write(buffer, n) != n) {
            why = staged.errorString();
            return false;
        }
    }
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (!staged.flush() || ::fsync(staged.handle()) != 0 ||
        ::futimens(staged.handle(), times) != 0 || source.error() != QFileDevice::NoError) {
        why = QStringLiteral("can not be copied whole");
        return false;
    }
    staged.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                          QFile::ReadOther);
    if (::rename(QFile::encodeName(staged.fileName()).constData(),
                 QFile::encodeName(to).constData()) != 0) {
        why = QStringLiteral("can not be put in place");
        return false;
    }
    staged.setAutoRemove(false);
    return true;
}

// A file of the master folder as found now: its real path and kind, or why it could not be
// examined. A file that is simply not there has neither.
struct Examined
{
    QString real;
    bool regular = false;
    QString problem; // the master did not answer for it (a share that stopped answering)
};

Examined examine(const QString& path)
{
    const auto problem = [](int error) {
        return error == ENOENT || error == ENOTDIR
                   ? QString()
                   : QString::fromLocal8Bit(std::strerror(error));
    };
    char real[PATH_MAX];
    if (!::realpath(QFile::encodeName(path).constData(), real))
        return {{}, false, problem(errno)};
    struct stat info
    {
    };
    if (::stat(real, &info) != 0)
        return {{}, false, problem(errno)};
    return {QFile::decodeName(real), S_ISREG(info.st_mode), {}};
}

bool sameFile(const QFileInfo& a, const QFileInfo& b)
{
    return b.exists() && a.size() == b.size() &&
           a.lastModified().toMSecsSinceEpoch() == b.lastModified().toMSecsSinceEpoch();
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
    QStringList paths{QStringLiteral("lumaret.ini"), QStringLiteral("img/swfpara.txt")};
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
    paths.removeDuplicates();
    return paths;
}

MirrorResult syncMirror(const QString& masterFolder, const QString& mirrorFolder,
                        const QStringList& relativePaths, qint64 maxBytes)
{
    MirrorResult result;
    const QString master = QFileInfo(masterFolder).canonicalFilePath();
    if (master.isEmpty() || !QFileInfo(master).isDir()) {
        result.error = QStringLiteral("cannot reach the master folder ") + masterFolder;
        return result;
    }
    QDir().mkpath(mirrorFolder);
    QSet<QString> kept;
    qint64 total = 0;
    // Files go from the mirror only after a pass in which the master answered for every file
    // and still holds its settings: a share that stops answering mid-way, or a master folder
    // emptied while it is replaced, must not take the show's files away.
    bool masterAnswered = true;
    bool settingsThere = false;
    for (const QString& relative : relativePaths) {
        const QString cleaned = QDir::cleanPath(relative);
        if (cleaned.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(cleaned))
            continue;
        const auto refuse = [&](const QString& why) { result.refused << cleaned + u' ' + why; };
        const Examined source = examine(QDir(master).filePath(cleaned));
        if (!source.problem.isEmpty()) {
            masterAnswered = false;
            kept << cleaned;
            refuse(QStringLiteral("can not be examined (%1); the mirror's copy stays")
                       .arg(source.problem));
            continue;
        }
        const QString& real = source.real;
        if (real.isEmpty())
            continue; // not on the master (a slide list may name missing pictures)
        const QFileInfo file(real);
        if (cleaned == QLatin1String("lumaret.ini"))
            settingsThere = true;
        if (!real.startsWith(master + u'/'))
            refuse(QStringLiteral("leads out of the master folder"));
        else if (!source.regular)
            refuse(QStringLiteral("is not a regular file"));
        else if ((total += file.size()) > maxBytes)
            refuse(QStringLiteral("would make the mirror larger than %1 MiB").arg(maxBytes >> 20));
        else {
            const QString target = QDir(mirrorFolder).filePath(cleaned);
            kept << cleaned;
            QString why;
            if (sameFile(file, QFileInfo(target)))
                continue;
            if (copyStaged(real, target, why))
                result.copied << cleaned;
            else
                refuse(why);
        }
    }
    if (!masterAnswered || (relativePaths.contains(QLatin1String("lumaret.ini")) && !settingsThere))
        return result;
    // What the mirror holds beyond that goes; links are removed, never followed.
    QDirIterator it(mirrorFolder, QDir::Files | QDir::System | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(mirrorFolder).relativeFilePath(path);
        if (!kept.contains(relative) && QFile::remove(path))
            result.removed << relative;
    }
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
                qCWarning(lcMirror).noquote() << "not mirrored:" << refused;
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
