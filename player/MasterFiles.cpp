#include "MasterFiles.h"

#include "mdlCommon.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <thread>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace master {

namespace {

FileStamp stampFrom(const struct stat& info)
{
    return {true, qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec)};
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The file's real place, when it lies inside the master folder: a link out of it (to a system
// file, or a sibling folder whose name begins with the master's) is refused rather than copied
// into the program folder. "" when it does not.
QString realPlaceInside(const QString& path, const QString& folder)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString root = QFileInfo(folder).canonicalFilePath();
    return !real.isEmpty() && !root.isEmpty() && real.startsWith(root + u'/') ? real : QString();
}

struct Reading
{
    FileStamp stamp; // when opened
    QByteArray bytes;
    QString error;
};

// A regular file of at most MaxFileSize bytes. Opened without blocking, so a FIFO or a
// device is refused instead of waited for.
Reading readMasterFile(const QString& path, const QString& folder)
{
    Reading reading;
    const QString real = realPlaceInside(path, folder);
    if (real.isEmpty()) {
        reading.error = QFileInfo::exists(path)
                            ? path + QStringLiteral(" leads out of the master folder")
                            : QStringLiteral("cannot reach ") + path;
        return reading;
    }
    // The place that was checked is opened, without following a link there: a link swapped in
    // after the check is not followed out of the folder.
    const int fd =
        ::open(QFile::encodeName(real).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        reading.error = QStringLiteral("cannot open %1: %2").arg(path, systemError());
        return reading;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        reading.error = QStringLiteral("cannot read %1: %2").arg(path, systemError());
    } else if (!S_ISREG(info.st_mode)) {
        reading.error = path + QStringLiteral(" is not a regular file");
    } else if (info.st_size > MaxFileSize) {
        reading.error = QStringLiteral("%1 holds %2 bytes, more than a settings file can")
                            .arg(path)
                            .arg(info.st_size);
    } else {
        reading.stamp = stampFrom(info);
        reading.bytes.resize(qsizetype(info.st_size) + 1);
        qsizetype total = 0;
        while (total < reading.bytes.size()) {
            const ssize_t got =
                ::read(fd, reading.bytes.data() + total, size_t(reading.bytes.size() - total));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                reading.error = QStringLiteral("cannot read %1: %2").arg(path, systemError());
                break;
            }
            if (got == 0)
                break;
            total += got;
        }
        reading.bytes.truncate(total);
        if (reading.error.isEmpty() && total > MaxFileSize)
            reading.error = path + QStringLiteral(" grew past the size a settings file can have");
    }
    ::close(fd);
    return reading;
}

std::function<void()> afterPairRead;

} // namespace

void setAfterPairRead(std::function<void()> hook)
{
    afterPairRead = std::move(hook);
}

QString FileStamp::text() const
{
    if (!exists)
        return {};
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(modifiedNs / 1000000);
    return QStringLiteral("%1.%2 %3")
        .arg(when.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")))
        .arg(modifiedNs % 1000000000, 9, 10, QLatin1Char('0'))
        .arg(size);
}

FileStamp stampOf(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return stampFrom(info);
}

QString pairStamp(const QString& masterFolder)
{
    const QDir folder(masterFolder);
    const FileStamp settings = stampOf(folder.filePath(mdlCommon::SettingsFileName));
    if (!settings.exists)
        return {};
    return settings.text() + u'|' + stampOf(folder.filePath(mdlCommon::SlideParamsFileName)).text();
}

Check checkMaster(const QString& masterFolder, const QString& lastStamp, const QString& networkFile)
{
    Check check;
    check.masterFolder = masterFolder;
    if (masterFolder.isEmpty()) {
        check.error = QStringLiteral("no master folder is set");
        return check;
    }
    const QString stamp = pairStamp(masterFolder);
    if (stamp.isEmpty()) {
        check.error = QStringLiteral("cannot reach the master's settings in ") + masterFolder;
        return check;
    }
    if (stamp == lastStamp) {
        check.outcome = Check::Unchanged;
        return check;
    }
    // A pair that is still being written is left for the next tick.
    std::this_thread::sleep_for(std::chrono::milliseconds(SettleMs));
    if (pairStamp(masterFolder) != stamp) {
        check.outcome = Check::Changing;
        return check;
    }

    // A change: the network file may name another master by now.
    check.masterFolder = mdlCommon::GetIniString(networkFile, QStringLiteral("NETWORK"),
                                                 QStringLiteral("master"), QString());
    if (check.masterFolder.isEmpty()) {
        check.error = QStringLiteral("no master folder is set");
        return check;
    }
    const QDir folder(check.masterFolder);
    const QString settingsPath = folder.filePath(mdlCommon::SettingsFileName);
    const QString slidesPath = folder.filePath(mdlCommon::SlideParamsFileName);
    const Reading settings = readMasterFile(settingsPath, check.masterFolder);
    if (!settings.error.isEmpty()) {
        check.error = settings.error;
        return check;
    }
    const Reading slides = readMasterFile(slidesPath, check.masterFolder);
    const bool withSlides = slides.error.isEmpty();
    if (afterPairRead)
        afterPairRead();
    // A pair from one save only: both files unchanged from before their reading to after.
    if (stampOf(settingsPath) != settings.stamp ||
        (withSlides && stampOf(slidesPath) != slides.stamp)) {
        check.outcome = Check::Changing;
        return check;
    }
    check.outcome = Check::Changed;
    // The stamp as the looks see it, so the next look finds the pair unchanged.
    check.pair = {pairStamp(check.masterFolder), settings.bytes,
                  withSlides ? std::optional(slides.bytes) : std::nullopt, slides.error};
    return check;
}

} // namespace master
