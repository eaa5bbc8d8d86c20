#include "PlayLog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcPlayLog, "lumaret.group.play")

namespace group {

// Appends lines to the day's file on its own thread; every failure is logged once per day.
class PlayLogWriter : public QObject
{
public:
    explicit PlayLogWriter(const QString& programFolder)
        : m_folder(QDir(programFolder).filePath(QStringLiteral("log")))
    {
    }
    ~PlayLogWriter() override { closeDay(); }

    void append(const QDate& day, const QByteArray& line)
    {
        if (day != m_day)
            openDay(day);
        if (m_fd < 0 || m_full)
            return;
        if (m_size + line.size() > PlayLog::MaxFileBytes) {
            m_full = true;
            qCWarning(lcPlayLog).noquote()
                << "the proof of play for" << day.toString(Qt::ISODate) << "has reached"
                << (PlayLog::MaxFileBytes >> 20) << "MiB; further lines of the day are dropped";
            return;
        }
        if (!writeAll(line))
            return;
        if (!m_synced.isValid() || m_synced.elapsed() >= PlayLog::SyncMs)
            sync();
    }

    void sync()
    {
        if (m_fd >= 0)
            ::fdatasync(m_fd);
        m_synced.start();
    }

private:
    bool writeAll(const QByteArray& bytes)
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                failOnce(QStringLiteral("cannot write to"));
                return false;
            }
            done += n;
            m_size += n;
        }
        return true;
    }

    void openDay(const QDate& day)
    {
        closeDay();
        m_day = day;
        m_full = false;
        m_failed = false;
        QDir().mkpath(m_folder);
        m_path = QDir(m_folder).filePath(
            QStringLiteral("play-%1.csv").arg(day.toString(QStringLiteral("yyyy-MM-dd"))));
        // A link or anything but a regular file in the log folder is not written through.
        m_fd = ::open(QFile::encodeName(m_path).constData(),
                      O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
        struct stat info
        {
        };
        if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            failOnce(QStringLiteral("cannot open"));
            closeDay();
            return;
        }
        m_size = info.st_size;
        // A new file starts with a byte order mark (spreadsheets then read it as UTF-8) and
        // the column names.
        if (m_size == 0)
            writeAll("\xEF\xBB\xBFstart,seconds,mode,movie,picture,station,text\r\n");
        removeOldFiles(day);
    }

    void closeDay()
    {
        if (m_fd >= 0) {
            ::fdatasync(m_fd);
            ::close(m_fd);
        }
        m_fd = -1;
    }

    void removeOldFiles(const QDate& today)
    {
        static const QRegularExpression name(QStringLiteral("^play-(\\d{4}-\\d{2}-\\d{2})\\.csv$"));
        // Files dated ahead (a clock that was wrong for a while) are kept as long as files
        // of the past, so they go too once they could not be this month's.
        const QDate oldestKept = today.addDays(1 - PlayLog::KeepDays);
        const QDate newestKept = today.addDays(PlayLog::KeepDays - 1);
        for (const QString& file : QDir(m_folder).entryList(QDir::Files)) {
            const QRegularExpressionMatch match = name.match(file);
            const QDate day =
                match.hasMatch() ? QDate::fromString(match.captured(1), Qt::ISODate) : QDate();
            if (day.isValid() && (day < oldestKept || day > newestKept) &&
                QFile::remove(QDir(m_folder).filePath(file)))
                qCInfo(lcPlayLog).noquote() << "removed the proof of play of" << match.captured(1);
        }
    }

    void failOnce(const QString& what)
    {
        if (!std::exchange(m_failed, true))
            qCWarning(lcPlayLog).noquote() << what << m_path << ":" << std::strerror(errno);
    }

    QString m_folder;
    QString m_path;
    QDate m_day;
    int m_fd = -1;
    qint64 m_size = 0;
    bool m_full = false;
    bool m_failed = false;
    QElapsedTimer m_synced;
};

PlayLog::PlayLog(const QString& programFolder, QObject* parent)
    : QObject(parent), m_writer(new PlayLogWriter(programFolder))
{
    m_writer->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("proof of play"));
    m_thread.start(QThread::LowPriority);
    m_split.setSingleShot(true);
    m_split.setInterval(SplitMs);
    connect(&m_split, &QTimer::timeout, this, [this] {
        endStretch();
        startStretch();
    });
}

PlayLog::~PlayLog()
{
    endStretch();
    waitForWrites();
    m_thread.quit();
    m_thread.wait();
    delete m_writer; // its thread has ended: it is deleted here, closing the day's file
}

void PlayLog::show(const Showing& showing)
{
    // A slide show's first picture takes a moment to come: until then the show is not a
    // stretch of its own.
    const bool firstPicture = m_playing && m_showing.picture.isEmpty() &&
                              !showing.picture.isEmpty() && m_showing.movie == showing.movie &&
                              m_since.msecsTo(now()) < FirstPictureMs;
    if (firstPicture)
        m_playing = false;
    endStretch();
    m_showing = showing;
    m_onShow = true;
    startStretch();
}

void PlayLog::given(const Showing& showing)
{
    endStretch();
    m_showing = showing;
    m_onShow = false;
}

void PlayLog::halt()
{
    endStretch();
    m_halted = true;
}

void PlayLog::resume()
{
    m_halted = false;
    if (!m_playing && m_onShow && !m_showing.movie.isEmpty())
        startStretch();
    writeTelopLine(); // shown again from now
}

void PlayLog::telop(const QString& mode, const QString& text)
{
    const Showing telop{mode, {}, text};
    if (telop == m_telop)
        return;
    m_telop = telop;
    if (!m_halted)
        writeTelopLine();
}

void PlayLog::writeTelopLine()
{
    if (m_telop.mode.isEmpty() || m_telop.picture.isEmpty())
        return;
    const QDateTime start = now();
    writeLine(start.date(), csvLine(start, -1, {m_telop.mode, {}, {}}, m_station, m_telop.picture));
}

void PlayLog::writeLine(const QDate& day, const QByteArray& line)
{
    QMetaObject::invokeMethod(
        m_writer, [writer = m_writer, day, line] { writer->append(day, line); },
        Qt::QueuedConnection);
}

void PlayLog::waitForWrites()
{
    QMetaObject::invokeMethod(
        m_writer, [writer = m_writer] { writer->sync(); }, Qt::BlockingQueuedConnection);
}

void PlayLog::startStretch()
{
    m_playing = true;
    m_since = now();
    m_split.start();
}

void PlayLog::endStretch()
{
    m_split.stop();
    if (!std::exchange(m_playing, false))
        return;
    const QDateTime end = now();
    // What showed for a moment only (the placeholder while a slide list is written) was not
    // seen.
    if (m_since.msecsTo(end) < MinStretchMs)
        return;
    writeLine(m_since.date(),
              csvLine(m_since, qMax<qint64>(0, m_since.msecsTo(end)), m_showing, m_station));
}

QString PlayLog::playedName(const QString& path, const QString& movie)
{
    if (path.isEmpty())
        return {};
    const QDir playFolder(QFileInfo(movie).absolutePath() + QStringLiteral("/.."));
    const QString relative = QDir::cleanPath(playFolder.relativeFilePath(path));
    return relative.startsWith(QLatin1String("..")) ? path : relative;
}

QByteArray PlayLog::csvLine(const QDateTime& start, qint64 milliseconds, const Showing& showing,
                            const QString& station, const QString& text)
{
    // Every field quoted, so a spreadsheet takes none of them for a number or a formula.
    const auto field = [](const QString& value) {
        return '"' + value.toUtf8().replace('"', "\"\"") + '"';
    };
    const QDateTime at = start.toOffsetFromUtc(start.offsetFromUtc());
    const QString seconds =
        milliseconds < 0 ? QString() : QString::number(double(milliseconds) / 1000, 'f', 1);
    return QByteArrayList{field(at.toString(Qt::ISODate)),
                          field(seconds),
                          field(showing.mode),
                          field(playedName(showing.movie, showing.movie)),
                          field(playedName(showing.picture, showing.movie)),
                          field(station),
                          field(text)}
               .join(',') +
           "\r\n";
}

} // namespace group
