#include "MasterFiles.h"

#include "mdlCommon.h"

#include "profile/RootedFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <thread>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace master {

namespace {

FileStamp stampFrom(const struct stat& info)
{
    return {true, qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec)};
}

struct Reading
{
    FileStamp stamp; // when opened; none when it could not be examined
    QByteArray bytes;
    QString error;
};

// A regular file of at most MaxFileSize bytes inside the master folder, read through the
// folder's own descriptor: a link out of it (to a system file, or a sibling folder whose name
// begins with the master's), a folder swapped for a link, a FIFO or a device is refused, and a
// file that grows meanwhile is read only to the size examined.
Reading readMasterFile(const QString& folder, const QString& name)
{
    using platform::RootedFolder;
    const QString path = QDir(folder).filePath(name);
    const RootedFolder::Read read = RootedFolder(folder).read(name, MaxFileSize);
    Reading reading;
    if (read.size >= 0)
        reading.stamp = {true, read.size, read.modifiedNs};
    switch (read.outcome) {
    case RootedFolder::Opened::Ok:
        reading.bytes = read.bytes;
        break;
    case RootedFolder::Opened::Missing:
        reading.error = QStringLiteral("cannot reach ") + path;
        break;
    case RootedFolder::Opened::Refused:
        reading.error = read.size > MaxFileSize
                            ? QStringLiteral("%1 holds %2 bytes, more than a settings file can")
                                  .arg(path)
                                  .arg(read.size)
                        : read.error.contains(QLatin1String("leads out"))
                            ? path + QStringLiteral(" leads out of the master folder")
                            : path + QStringLiteral(" is not a regular file");
        break;
    case RootedFolder::Opened::Unanswered:
        reading.error = QStringLiteral("cannot read %1: %2").arg(path, read.error);
        break;
    }
    return reading;
}

std::function<void()> afterPairRead;
std::function<void()> afterPairChecked;

} // namespace

void setAfterPairRead(std::function<void()> hook)
{
    afterPairRead = std::move(hook);
}

void setAfterPairChecked(std::function<void()> hook)
{
    afterPairChecked = std::move(hook);
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
    check.masterFolder =
        mdlCommon::GetNetworkString(networkFile, QStringLiteral("master"), QString());
    if (check.masterFolder.isEmpty()) {
        check.error = QStringLiteral("no master folder is set");
        return check;
    }
    const QDir folder(check.masterFolder);
    const QString settingsPath = folder.filePath(mdlCommon::SettingsFileName);
    const QString slidesPath = folder.filePath(mdlCommon::SlideParamsFileName);
    const Reading settings = readMasterFile(check.masterFolder, mdlCommon::SettingsFileName);
    if (!settings.error.isEmpty()) {
        check.error = settings.error;
        return check;
    }
    const Reading slides = readMasterFile(check.masterFolder, mdlCommon::SlideParamsFileName);
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
    if (afterPairChecked)
        afterPairChecked();
    // The stamp of what was read, in the form the looks see it, so the next look finds the
    // pair unchanged; a save landing after the reading is a change for the next look.
    const FileStamp slidesStamp = slides.stamp.exists ? slides.stamp : stampOf(slidesPath);
    check.pair = {settings.stamp.text() + u'|' + slidesStamp.text(), settings.bytes,
                  withSlides ? std::optional(slides.bytes) : std::nullopt, slides.error};
    return check;
}

} // namespace master
