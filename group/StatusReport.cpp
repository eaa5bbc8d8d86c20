#include "StatusReport.h"

#include "GroupPage.h"
#include "Mirror.h"

#include "profile/RootedFolder.h"
#include "text/Printable.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <algorithm>
#include <cstdlib>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcStatus, "lumaret.group.status")

namespace group {

namespace {

QString isoTime(const QDateTime& time)
{
    return time.isValid() ? time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate)
                          : QString();
}

} // namespace

QJsonObject Status::toJson(const QDateTime& updated) const
{
    return {
        {QStringLiteral("name"), name},
        {QStringLiteral("version"), version},
        {QStringLiteral("started"), isoTime(started)},
        {QStringLiteral("updated"), isoTime(updated)},
        {QStringLiteral("programFolder"), programFolder},
        {QStringLiteral("mode"), mode},
        {QStringLiteral("movie"), movie},
        {QStringLiteral("picture"), picture},
        {QStringLiteral("telop"), telop},
        {QStringLiteral("role"), role},
        {QStringLiteral("masterFolder"), masterFolder},
        {QStringLiteral("masterReachable"), !masterUnreachableSince.isValid()},
        {QStringLiteral("masterUnreachableSince"), isoTime(masterUnreachableSince)},
        {QStringLiteral("lastTakeOver"), isoTime(lastTakeOver)},
        {QStringLiteral("lastTakeOverStamp"), lastTakeOverStamp},
        {QStringLiteral("engine"), engine},
        {QStringLiteral("engineRestarts"), engineRestarts},
        {QStringLiteral("cpuPercent"), qRound(cpuPercent * 10) / 10.0},
        {QStringLiteral("memoryMiB"), double(memoryBytes >> 20)},
        {QStringLiteral("screen"),
         QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height())},
        {QStringLiteral("lastError"), lastError},
        {QStringLiteral("stopped"), stopped},
        {QStringLiteral("machine"), machine},
    };
}

QString machineIdentity()
{
    static const QString identity = [] {
        QFile file(QStringLiteral("/etc/machine-id"));
        const QByteArray id =
            file.open(QIODevice::ReadOnly) ? file.read(64).trimmed() : QByteArray();
        const bool hex = std::all_of(id.begin(), id.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        });
        return hex ? QString::fromLatin1(id) : QString();
    }();
    return identity;
}

bool isSafeStationName(const QString& name)
{
    if (name.isEmpty() || name.size() > 64 || name.startsWith(u'.'))
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c == u'/' || c == u'\\' || c.category() == QChar::Other_Control ||
               c.category() == QChar::Other_Format;
    });
}

QString stationName(const QString& configured)
{
    if (!configured.isEmpty()) {
        if (isSafeStationName(configured))
            return configured;
        qCWarning(lcStatus).noquote()
            << "the name" << configured << "can not name a status report; using the host name";
    }
    const QString host = QHostInfo::localHostName();
    return isSafeStationName(host) ? host : QString();
}

void ProcessUsage::read(const QList<qint64>& pids, double& cpuPercent, qint64& memoryBytes)
{
    qint64 ticks = 0;
    memoryBytes = 0;
    for (const qint64 pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
        if (pid <= 0 || !stat.open(QIODevice::ReadOnly) || !statm.open(QIODevice::ReadOnly))
            continue;
        const QByteArray fields = stat.readAll();
        const QList<QByteArray> after = fields.mid(fields.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 12)
            ticks += after[11].toLongLong() + after[12].toLongLong(); // user and system time
        const QList<QByteArray> pages = statm.readAll().split(' ');
        if (pages.size() > 1)
            memoryBytes += pages[1].toLongLong() * ::sysconf(_SC_PAGESIZE);
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    cpuPercent = 0;
    if (m_lastTicks >= 0 && ticks >= m_lastTicks && m_lastTime.msecsTo(now) > 0)
        cpuPercent = 100.0 * double(ticks - m_lastTicks) / double(::sysconf(_SC_CLK_TCK)) /
                     (double(m_lastTime.msecsTo(now)) / 1000);
    m_lastTicks = ticks;
    m_lastTime = now;
}

// Cloned PCs share a host name, and so a report file on the master. Before a report replaces
// the one there, a fresh one written by another machine is looked for; the report then says
// so ("nameSharedWith"), and the page and the table show it.
QByteArray withNameClash(const QString& statusFolder, const QString& fileName,
                         const QByteArray& bytes, std::atomic<bool>& told)
{
    if (!fileName.endsWith(QLatin1String(".json")))
        return bytes;
    const QFileInfo folder(statusFolder);
    const platform::RootedFolder::Read there =
        platform::RootedFolder(folder.path())
            .read(folder.fileName() + u'/' + fileName, MaxReportBytes);
    const QJsonObject other = QJsonDocument::fromJson(there.bytes).object();
    QJsonObject own = QJsonDocument::fromJson(bytes).object();
    const QString otherMachine = other.value(QLatin1String("machine")).toString();
    const QString ownMachine = own.value(QLatin1String("machine")).toString();
    const QDateTime otherTime =
        QDateTime::fromString(other.value(QLatin1String("updated")).toString(), Qt::ISODate);
    const QDateTime ownTime =
        QDateTime::fromString(own.value(QLatin1String("updated")).toString(), Qt::ISODate);
    const bool clash = !otherMachine.isEmpty() && !ownMachine.isEmpty() &&
                       otherMachine != ownMachine && otherTime.isValid() && ownTime.isValid() &&
                       std::abs(otherTime.secsTo(ownTime)) <= StaleAfterSeconds &&
                       !other.value(QLatin1String("stopped")).toBool();
    if (!clash) {
        told = false;
        return bytes;
    }
    if (!told.exchange(true))
        qCWarning(lcStatus).noquote()
            << "another machine (" << platform::printable(otherMachine) << ") writes its reports as"
            << platform::printable(fileName.chopped(5)) << "too; give each PC a name= of its own";
    own.insert(QStringLiteral("nameSharedWith"), otherMachine);
    return QJsonDocument(own).toJson(QJsonDocument::Indented);
}

void failOnce(std::atomic<bool>& failed, const QString& message)
{
    if (!failed.exchange(true))
        qCWarning(lcStatus).noquote() << message;
}

// Writes reports into the program folder on its own thread. Writes to the master's share run
// on the share's workers (see shareWorkers), so a share that hangs holds up no local report.
class StatusReporterWriter : public QObject
{
public:
    // Writes fileName into the program folder's status folder; the group page too when
    // pageTime is valid.
    void write(const QString& programFolder, const QString& fileName, const QByteArray& bytes,
               const QDateTime& pageTime)
    {
        const QString own = QDir(programFolder).filePath(QStringLiteral("status"));
        QString why;
        if (!writeStatusFile(own, fileName, bytes, true, &why) ||
            (pageTime.isValid() && !writeGroupPage(own, pageTime, fileName.chopped(5))))
            failOnce(m_failed, QStringLiteral("cannot write the status report into %1: %2")
                                   .arg(own, why.isEmpty() ? QStringLiteral("the page") : why));
        else
            m_failed = false;
    }

private:
    std::atomic<bool> m_failed = false;
};

StatusReporter::StatusReporter(const QString& programFolder, std::function<Status()> status,
                               QObject* parent)
    : QObject(parent), m_programFolder(programFolder), m_status(std::move(status)),
      m_thread(new QThread), m_writer(new StatusReporterWriter),
      m_masterBusy(std::make_shared<std::atomic<bool>>(false)),
      m_masterFailed(std::make_shared<std::atomic<bool>>(false)),
      m_clashTold(std::make_shared<std::atomic<bool>>(false))
{
    m_writer->moveToThread(m_thread);
    m_thread->setObjectName(QStringLiteral("status report"));
    m_thread->start(QThread::LowPriority);
    m_interval.setInterval(IntervalMs);
    connect(&m_interval, &QTimer::timeout, this, [this] { report(true); });
    m_interval.start();
    m_soon.setSingleShot(true);
    m_soon.setInterval(1000);
    connect(&m_soon, &QTimer::timeout, this, [this] { report(false); });
    QTimer::singleShot(0, this, [this] { report(true); }); // as soon as the player runs
}

StatusReporter::~StatusReporter()
{
    // The writes asked for so far go first.
    QMetaObject::invokeMethod(m_writer, [thread = m_thread] { thread->quit(); });
    // A write hanging on the program folder's disk is not waited for long: the thread and its
    // writer are then left to the end of the process.
    if (!m_thread->wait(2000)) {
        qCWarning(lcStatus) << "a status write still hangs; leaving it";
        return;
    }
    delete m_writer;
    delete m_thread;
}

void StatusReporter::changed()
{
    if (!m_soon.isActive())
        m_soon.start();
}

void StatusReporter::waitForWrites()
{
    QMetaObject::invokeMethod(
        m_writer, [] {}, Qt::BlockingQueuedConnection);
}

// The report, and every minute the group page of the reports in the program folder.
void StatusReporter::report(bool withPage)
{
    Status status = m_status();
    if (status.name.isEmpty())
        return;
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    if (status.machine.isEmpty())
        status.machine = machineIdentity();
    status.stopped = m_stopped;
    m_name = status.name;
    m_masterFolder = status.role == QLatin1String("subordinate") ? status.masterFolder : QString();
    send(status.name + QStringLiteral(".json"),
         QJsonDocument(status.toJson(now)).toJson(QJsonDocument::Indented),
         withPage ? now : QDateTime());
}

void StatusReporter::stop()
{
    m_interval.stop();
    m_soon.stop();
    m_stopped = true;
    report(true);
    waitForWrites();
    // The master's copy too, for a moment: the page there then shows the stop at once.
    for (int waited = 0; waited < 2000 && m_masterBusy->load(); waited += 20)
        QThread::msleep(20);
}

void StatusReporter::saveShot(const QImage& window)
{
    if (m_name.isEmpty() || window.isNull())
        return;
    send(m_name + QStringLiteral(".jpg"), shotJpeg(window), {});
}

void StatusReporter::send(const QString& fileName, const QByteArray& bytes, const QDateTime& page)
{
    QMetaObject::invokeMethod(
        m_writer,
        [writer = m_writer, folder = m_programFolder, fileName, bytes, page] {
            writer->write(folder, fileName, bytes, page);
        },
        Qt::QueuedConnection);
    if (m_masterFolder.isEmpty())
        return;
    if (m_masterBusy->exchange(true)) {
        qCDebug(lcStatus) << "the last status write to the master folder still runs; skipped";
        return;
    }
    // The shop opts in by making the folder: nothing is made on the master unasked.
    shareWorkers()->start([shared = QDir(m_masterFolder).filePath(QStringLiteral("status")),
                           fileName, bytes, busy = m_masterBusy, failed = m_masterFailed,
                           clashTold = m_clashTold] {
        QString why;
        const bool written =
            !QFileInfo(shared).isDir() ||
            writeStatusFile(shared, fileName, withNameClash(shared, fileName, bytes, *clashTold),
                            false, &why);
        busy->store(false);
        if (!written)
            failOnce(*failed,
                     QStringLiteral("cannot write the status report into %1: %2").arg(shared, why));
        else
            failed->store(false);
    });
}

QByteArray StatusReporter::shotJpeg(const QImage& window)
{
    const QImage small = window.scaledToWidth(ShotWidth, Qt::SmoothTransformation);
    QByteArray jpeg;
    for (int quality = 85; quality >= 5; quality -= 10) {
        jpeg.clear();
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        small.save(&buffer, "JPEG", quality);
        if (jpeg.size() <= MaxShotBytes)
            break;
    }
    return jpeg;
}

} // namespace group
