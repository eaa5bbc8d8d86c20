#include "Station.h"

#include "Mirror.h"
#include "UrgentMessage.h"

#include "profile/PrivateProfile.h"
#include "profile/RootedFolder.h"
#include "runtime/Guard.h"
#include "text/Cp932.h"
#include "text/Printable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcStation, "lumaret.group.station")

namespace group {

namespace {

constexpr int ShotAfterChangeMs = 2000; // the new presentation shows by then
constexpr int MirrorRefreshMs = 10000;  // a subordinate's mirror follows changed files
constexpr int ScheduleLookMs = 1000;
const QString SettingsName = QStringLiteral("lumaret.ini");
const QString SlideListName = QStringLiteral("img/swfpara.txt");

QByteArray readBounded(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(1024 * 1024) : QByteArray();
}

} // namespace

Station::Station(const QString& programFolder, const QString& name, StationHost& host, Clock clock,
                 QObject* parent)
    : QObject(parent), m_programFolder(programFolder), m_name(name), m_host(host),
      m_clock(std::move(clock))
{
    // Proof of play: what is drawn, from its first frame or picture on; a movie that can not
    // be shown is never proved, and the report says why.
    m_playLog = new PlayLog(m_programFolder, this);
    m_playLog->setClock([this] { return now(); });
    m_playLog->setStation(m_name);
    // A subordinate's mirror of what it plays from its master, refreshed at each take-over and
    // every MirrorRefreshMs; the presentation moves to it once it holds the files.
    m_mirror = new MirrorWatch(QDir(m_programFolder).filePath(QStringLiteral("mirror")), this);
    connect(m_mirror, &MirrorWatch::synced, this, &Station::mirrorSynced);
    connect(&m_mirrorTimer, &QTimer::timeout, this, &Station::refreshMirror);
    m_mirrorTimer.start(MirrorRefreshMs);
}

Station::~Station() = default;

void Station::start()
{
    m_started = now();
    m_status = new StatusReporter(
        m_programFolder, [this] { return currentStatus(); }, this);
    m_status->setClock([this] { return now(); });
    m_urgent = new UrgentWatch(this);
    m_urgent->setFolders(urgentFolders());
    connect(m_urgent, &UrgentWatch::messageChanged, this, &Station::showUrgentMessage);
    m_scheduleTimer.setInterval(ScheduleLookMs);
    connect(&m_scheduleTimer, &QTimer::timeout, this,
            [this] { platform::guarded(lcStation, "scheduleTick", [&] { scheduleTick(); }); });
    m_scheduleTimer.start();
    QTimer::singleShot(0, this, [this] { scheduleTick(); }); // the entry in force at start-up
    connect(&m_shotTimer, &QTimer::timeout, this, &Station::takeShot);
    connect(&m_shotSoon, &QTimer::timeout, this, &Station::takeShot);
    m_shotSoon.setSingleShot(true);
    m_shotSoon.setInterval(ShotAfterChangeMs);
    applyShotInterval();
}

void Station::setRole(bool subordinate, const QString& masterFolder)
{
    m_subordinate = subordinate;
    m_masterFolder = subordinate ? masterFolder : QString();
    if (m_urgent)
        m_urgent->setFolders(urgentFolders());
}

QString Station::settingsFile() const
{
    return QDir(m_programFolder).filePath(SettingsName);
}

// ---- What the presentation shows ------------------------------------------------------------

// Whoever gives the movie (the start-up, a take-over, the dialog, the schedule): a slide
// show's effect movies are in "img", other movies in "ani".
void Station::movieGiven(const QString& path)
{
    const bool slides = QFileInfo(path).dir().dirName() == QLatin1String("img");
    m_showing = {slides ? QStringLiteral("slides") : QStringLiteral("movie"), path, {}};
    m_picture.clear();
    m_playLog->given(m_showing);
    if (m_status) {
        m_status->changed();
        applyShotInterval();
    }
}

void Station::movieShown(const QString& path)
{
    if (path != m_showing.movie)
        return;
    m_movieError.clear();
    if (!m_blank)
        m_playLog->show(m_showing);
}

// The report tells the first picture of a show at once, later ones at its next minute: a
// report for every picture would write to the master's share every few seconds.
void Station::pictureShown(const QString& path)
{
    const bool first = m_picture.isEmpty();
    m_picture = path;
    m_movieError.clear();
    if (path.isEmpty() || m_blank)
        m_playLog->given({m_showing.mode, m_showing.movie, path}); // black: nothing shown
    else
        m_playLog->show({m_showing.mode, m_showing.movie, path});
    if (m_status && first)
        m_status->changed();
}

void Station::movieFailed(const QString& path, const QString& why)
{
    if (path != m_showing.movie)
        return;
    m_movieError = why;
    reportChange();
}

void Station::telopShown(const QString& text, const QString& shown, bool visible)
{
    m_telopText = text;
    if (visible)
        m_playLog->telop(QStringLiteral("telop"), shown);
}

void Station::hold(bool held)
{
    m_held = held;
    if (held)
        m_playLog->halt();
    else if (!m_blank)
        m_playLog
            ->resume(); // a dialog closed while the schedule holds the screen dark proves nothing
}

// ---- The master ---------------------------------------------------------------------------

// The group sees at once that a master stopped answering, or answers again.
void Station::masterReached(bool reachable, const QString& error)
{
    if (!reachable)
        m_lastError = error;
    if (reachable == !m_masterUnreachableSince.isValid())
        return;
    if (reachable)
        m_lastError.clear(); // the report tells the error of now, not one long mended
    m_masterUnreachableSince = reachable ? QDateTime() : now();
    reportChange();
}

// The presentation changes once the mirror holds what the new settings show: until then the
// old show plays on, instead of a new list without its pictures.
bool Station::tookOver(const QString& stamp)
{
    m_presentationPending = refreshMirror();
    m_lastTakeOverStamp = stamp;
    m_lastTakeOver = now();
    masterReached(true);
    return m_presentationPending;
}

void Station::stop()
{
    m_stopped = true;
    if (m_status)
        m_status->stop(); // the group sees the stop at once, not as a report going stale
}

// ---- The report ---------------------------------------------------------------------------

void Station::reportChange()
{
    if (m_status)
        m_status->changed();
}

// [STATUS] shot=MINUTES of the settings: how often the window's picture goes to the group;
// 0 for never.
void Station::applyShotInterval()
{
    char value[16] = {};
    platform::GetPrivateProfileStringA("STATUS", "shot", "5", value, sizeof value, settingsFile());
    const int minutes = QByteArray(value).trimmed().toInt();
    if (minutes <= 0) {
        m_shotTimer.stop();
        m_shotSoon.stop();
        return;
    }
    m_shotTimer.start(std::min(minutes, 24 * 60) * 60000);
    m_shotSoon.start();
}

void Station::takeShot()
{
    m_status->saveShot(m_host.picture());
}

Status Station::currentStatus()
{
    Status status;
    status.name = m_name;
    status.version = QCoreApplication::applicationVersion();
    status.started = m_started;
    status.programFolder = m_programFolder;
    status.mode = m_showing.mode;
    status.movie = m_showing.movie;
    status.picture = m_picture;
    status.telop = m_telopText;
    status.role = m_subordinate ? QStringLiteral("subordinate") : QStringLiteral("stand-alone");
    status.masterFolder = m_masterFolder;
    status.masterUnreachableSince = m_masterUnreachableSince;
    status.lastTakeOver = m_lastTakeOver;
    status.lastTakeOverStamp = m_lastTakeOverStamp;
    QList<qint64> processes{QCoreApplication::applicationPid()};
    const StationHost::Engine engine = m_host.engine();
    status.engine = engine.name;
    status.engineRestarts = engine.restarts;
    if (engine.renderProcess > 0)
        processes << engine.renderProcess;
    m_usage.read(processes, status.cpuPercent, status.memoryBytes);
    status.screen = m_host.screenSize();
    status.lastError = m_movieError.isEmpty() ? m_lastError : m_movieError;
    return status;
}

// ---- The urgent message -------------------------------------------------------------------

// The folders an urgent message may come from: this PC's program folder, and a
// subordinate's master folder.
QStringList Station::urgentFolders() const
{
    QStringList folders{m_programFolder};
    if (!m_masterFolder.isEmpty())
        folders << m_masterFolder;
    return folders;
}

QString Station::urgentMessage() const
{
    return m_urgent ? m_urgent->message() : QString();
}

void Station::showUrgentMessage(const QString& text)
{
    if (!text.isEmpty())
        m_playLog->telop(QStringLiteral("urgent"), text);
    m_host.showUrgent(text);
}

// ---- The schedule -------------------------------------------------------------------------

// The schedule of setting sets; a subordinate follows only its "off" entries (see below). While
// a dialog is open the schedule waits for it to close.
void Station::scheduleTick()
{
    if (m_held || m_host.isShowHeld())
        return;
    // The settings are read again only when they changed, and the entry in force looked for
    // only then or when the next entry's time came (or the clock went back).
    const QFileInfo info(settingsFile());
    const QString stamp = QString::number(info.size()) + u' ' +
                          QString::number(info.lastModified().toMSecsSinceEpoch());
    const QDateTime now = this->now();
    const bool settingsChanged = stamp != m_scheduleStamp;
    if (!settingsChanged && m_scheduleLookedAt.isValid() && now >= m_scheduleLookedAt &&
        (!m_scheduleNext.isValid() || now < m_scheduleNext))
        return;
    m_scheduleLookedAt = now;
    if (settingsChanged) {
        m_scheduleStamp = stamp;
        QStringList problems;
        m_schedule = parseSchedule(platform::fromCp932(readBounded(settingsFile())), &problems);
        for (const QString& problem : problems)
            if (!m_scheduleProblems.contains(problem)) {
                m_scheduleProblems << problem;
                qCWarning(lcStation).noquote()
                    << "cannot read the schedule entry" << platform::printable(problem);
            }
    }
    m_scheduleNext = nextChange(m_schedule, now);
    const auto inForce = entryInForce(m_schedule, now);
    const QString occurrence = inForce ? inForce->first.key + u'=' + inForce->first.set + u'@' +
                                             inForce->second.toString(Qt::ISODate)
                                       : QString();
    if (occurrence == m_scheduleInForce)
        return;
    m_scheduleInForce = occurrence;
    if (!inForce || inForce->first.isOff()) {
        blankScreen(inForce.has_value());
        return;
    }
    // A subordinate plays its master's files and takes no set of its own; of the schedule
    // that came with them it follows "off", so the whole group goes dark and comes back
    // together.
    if (m_subordinate) {
        blankScreen(false);
        return;
    }
    // A set that is not there changes nothing: the show is not even stopped for it.
    const QString set = inForce->first.set;
    const QString saved = QDir(m_programFolder).filePath(QStringLiteral("save"));
    if (!platform::RootedFolder::isPlainName(set) ||
        !QFileInfo(QDir(saved).filePath(set)).isFile()) {
        qCWarning(lcStation).noquote() << "the schedule's set" << platform::printable(set)
                                       << "is not in" << saved << "; nothing changes";
        return;
    }
    if (m_host.takeSet(set))
        blankScreen(false);
}

// Blank: the presentation halted and hidden, the telop stopped and hidden, the window and its
// bar dark, and the display allowed to save power; nothing is proved as played meanwhile.
void Station::blankScreen(bool blank)
{
    if (blank == m_blank)
        return;
    m_blank = blank;
    qCInfo(lcStation) << (blank ? "the schedule blanks the screen"
                                : "the schedule ends the blank screen");
    m_host.darken(blank);
    if (blank)
        m_playLog->halt();
    else
        m_playLog->resume();
}

// ---- The mirror ---------------------------------------------------------------------------

// The files the taken pair names, copied from the master into the mirror on a worker.
bool Station::refreshMirror()
{
    if (!m_subordinate || m_masterFolder.isEmpty() || m_masterFolder == m_programFolder)
        return false;
    m_mirror->sync(m_masterFolder,
                   mirroredPaths(readBounded(settingsFile()),
                                 readBounded(QDir(m_programFolder).filePath(SlideListName))));
    return true;
}

void Station::mirrorSynced(const MirrorResult& result)
{
    if (!result.error.isEmpty() && !std::exchange(m_mirrorFailed, true))
        qCWarning(lcStation).noquote() << result.error << "; playing on from the mirror";
    if (result.error.isEmpty())
        m_mirrorFailed = false;
    const bool playedChanged =
        std::any_of(result.copied.begin(), result.copied.end(),
                    [](const QString& path) { return path != SettingsName; });
    if ((playedChanged || m_presentationPending) && !m_held && !m_stopped) {
        m_presentationPending = false;
        m_host.applyPresentation();
    }
}

QString Station::mirrored(const QString& relative) const
{
    if (!m_subordinate)
        return QString();
    const QString path = QDir(m_mirror->folder()).filePath(relative);
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace group
