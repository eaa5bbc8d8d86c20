#include "frmMain.h"

#include "MasterWatch.h"
#include "Mirror.h"
#include "PlayLog.h"
#include "Schedule.h"
#include "StrovelIds.h"
#include "dlgEnv.h"
#include "mdlCommon.h"

#include "session/PointerHider.h"
#include "session/ServiceNotifier.h"

#include "com/ControlHost.h"
#include "com/PropertyBag.h"
#include "movie/MoviePlayer.h"
#include "movie/RuffleEngine.h"
#include "profile/AtomicFile.h"
#include "profile/RootedFolder.h"
#include "runtime/DocumentOpener.h"
#include "runtime/Guard.h"
#include "text/Cp932.h"
#include "text/EraDate.h"
#include "text/Numbers.h"
#include "text/Printable.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcPlayer, "lumaret.player")

using namespace mdlCommon;
namespace dispid = strovel::dispid;

namespace {

// The design: a 1024 x 768 screen. Window units: 1024 x 768 over the design's client area of
// 15240 x 11010 twips, at 15 twips a pixel.
constexpr double DesignWidth = 1024;
constexpr double DesignHeight = 768;
constexpr double PixelsPerUnitY = 11010.0 / 768 / 15;
constexpr double FlashHeightWithTelop = 677;
constexpr int PointerIdleMs = 3000;     // the pointer goes after this long without movement
constexpr int ShotAfterChangeMs = 2000; // the new presentation shows by then
constexpr int MirrorRefreshMs = 10000;  // a subordinate's mirror follows changed files
constexpr double FlashHeightWithoutTelop = 803;
// A cell is at least one pixel wide: a step of more cells than the board has pixels skips the
// whole board.
constexpr int MaxVisibleMove = 1016;

const QString Environment = QStringLiteral("ENVIRONMENT");

QFont designFont(const char* family, double points)
{
    QFont font(QString::fromUtf8(family));
    font.setPointSizeF(points);
    return font;
}

QString withoutBlanksAround(QString text)
{
    while (text.startsWith(u' '))
        text.remove(0, 1);
    while (text.endsWith(u' '))
        text.chop(1);
    return text;
}

// A whole number from a settings value, or nullopt when the value is not a number in range.
std::optional<qint64> wholeNumber(const QString& text, qint64 low, qint64 high)
{
    const auto number = platform::wholeTextNumber(text);
    if (!number)
        return std::nullopt;
    const double rounded = std::nearbyint(*number);
    if (rounded < double(low) || rounded > double(high))
        return std::nullopt;
    return qint64(rounded);
}

// The design-time properties the window keeps for its telop.
platform::PropertyBag telopDesign()
{
    platform::PropertyBag bag;
    bag.WriteProperty(QStringLiteral("_extentx"), 26882);
    bag.WriteProperty(QStringLiteral("_extenty"), 3175);
    bag.WriteProperty(QStringLiteral("text"), QStringLiteral("Lumaret"));
    bag.WriteProperty(QStringLiteral("font"), designFont("ＭＳ Ｐゴシック", 9));
    bag.WriteProperty(QStringLiteral("frontbmp"),
                      QPixmap(QStringLiteral(":/frmMain/stvTelop-front.bmp")));
    bag.WriteProperty(QStringLiteral("backbmp"),
                      QPixmap(QStringLiteral(":/frmMain/stvTelop-back.bmp")));
    return bag;
}

} // namespace

// ---- The bar and its buttons ------------------------------------------------------------------

PictureBar::PictureBar(QWidget* parent) : QLabel(parent)
{
    setPixmap(QPixmap(QStringLiteral(":/frmMain/picBar.bmp")));
    setScaledContents(true);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureBar::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key() == Qt::Key_Escape ? 27 : event->key(), event->modifiers());
}

VerticalButton::VerticalButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent)
{
    setFont(designFont("ＭＳ ゴシック", 8.25));
    setFocusPolicy(Qt::NoFocus);
}

void VerticalButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
    QString stacked;
    for (const QChar c : text())
        stacked += QString(c) + u'\n';
    stacked.chop(1);
    painter.setPen(palette().buttonText().color());
    painter.drawText(rect(), Qt::AlignCenter, stacked);
}

// The web player's files: in the program folder, or where the program is installed when the
// program folder is a user's own (the web player is not copied there).
namespace {
QString webPlayerFolder(const QString& programFolder)
{
    const QString own = QDir(programFolder).filePath(QStringLiteral("ruffle"));
    if (QFileInfo(own).isDir())
        return own;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ruffle"));
}
} // namespace

// ---- The window -------------------------------------------------------------------------------

frmMain::frmMain(const QString& programFolder, QWidget* parent, Clock clock)
    : QWidget(parent),
      m_programFolder(programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                              : programFolder),
      m_clock(std::move(clock))
{
    Q_INIT_RESOURCE(frmMain); // the window's pictures live in this static library
    setWindowTitle(QStringLiteral("Lumaret"));
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/frmMain/lumaret.bmp"))));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::Tool);
    setStyleSheet(QStringLiteral("frmMain { background: black; }"));
    setAttribute(Qt::WA_StyledBackground);

    swf1 = new platform::movie::MoviePlayer(this, webPlayerFolder(m_programFolder));
    stvTelop = new platform::com::ControlHost(this);
    picBar = new PictureBar(this);
    cmdEnv = new VerticalButton(QStringLiteral("設定"), this);
    cmdEnd = new VerticalButton(QStringLiteral("終了"), this);
    cmdHelp = new VerticalButton(QStringLiteral("ヘルプ"), picBar);
    cmdHelp->hide();
    txtDmy = new QLineEdit(this);
    txtDmy->hide();

    connect(cmdEnv, &QPushButton::clicked, this, &frmMain::cmdEnv_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &frmMain::cmdEnd_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &frmMain::cmdHelp_Click);
    connect(picBar, &PictureBar::KeyDown, this, &frmMain::picBar_KeyDown);
    const QString networkFile = QDir(m_programFolder).filePath(NetworkFileName);
    m_master = new MasterWatch(
        [networkFile](const QString& folder, const QString& lastStamp) {
            return master::checkMaster(folder, lastStamp, networkFile);
        },
        this);
    connect(m_master, &MasterWatch::checked, this, [this](const master::Check& check) {
        platform::guarded(lcPlayer, "takeOverMaster", [&] { takeOverMaster(check); });
    });
    // Alive means this thread runs its timers (the telop's among them) and the presentation
    // answers.
    m_service = new ServiceNotifier([this] { return swf1->isAnswering(); }, this);
    // Proof of play: what is drawn, from its first frame or picture on; a movie that can not
    // be shown is never proved, and the report says why.
    m_playLog = new group::PlayLog(m_programFolder, this);
    m_playLog->setClock([this] { return now(); });
    m_stationName =
        group::stationName(GetNetworkString(networkFile, QStringLiteral("name"), QString()));
    m_playLog->setStation(m_stationName);
    // Whoever gives the movie (the start-up, a take-over, the dialog, the schedule): a slide
    // show's effect movies are in "img", other movies in "ani".
    connect(swf1, &platform::movie::MoviePlayer::movieChanged, this, [this](const QString& movie) {
        const bool slides = QFileInfo(movie).dir().dirName() == QLatin1String("img");
        m_showing = {slides ? QStringLiteral("slides") : QStringLiteral("movie"), movie, {}};
        m_picture.clear();
        m_playLog->given(m_showing);
        if (m_status) {
            m_status->changed();
            applyShotInterval();
        }
    });
    // The report tells the first picture of a show at once, later ones at its next minute: a
    // report for every picture would write to the master's share every few seconds.
    connect(swf1, &platform::movie::MoviePlayer::pictureShown, this, [this](const QString& path) {
        const bool first = m_picture.isEmpty();
        m_picture = path;
        m_movieError.clear();
        if (path.isEmpty() || m_blank)
            m_playLog->given({m_showing.mode, m_showing.movie, path}); // black: nothing shown
        else
            m_playLog->show({m_showing.mode, m_showing.movie, path});
        if (m_status && first)
            m_status->changed();
    });
    connect(swf1, &platform::movie::MoviePlayer::movieShown, this, [this](const QString& movie) {
        if (movie != m_showing.movie)
            return;
        m_movieError.clear();
        if (!m_blank)
            m_playLog->show(m_showing);
    });
    connect(swf1, &platform::movie::MoviePlayer::movieFailed, this,
            [this](const QString& movie, const QString& why) {
                if (movie != m_showing.movie)
                    return;
                m_movieError = why;
                if (m_status)
                    m_status->changed();
            });
    // A subordinate's mirror of what it plays from its master, refreshed at each take-over and
    // every MirrorRefreshMs; the presentation moves to it once it holds the files.
    m_mirror =
        new group::MirrorWatch(QDir(m_programFolder).filePath(QStringLiteral("mirror")), this);
    connect(m_mirror, &group::MirrorWatch::synced, this, [this](const group::MirrorResult& result) {
        if (!result.error.isEmpty() && !std::exchange(m_mirrorFailed, true))
            qCWarning(lcPlayer).noquote() << result.error << "; playing on from the mirror";
        if (result.error.isEmpty())
            m_mirrorFailed = false;
        const bool playedChanged =
            std::any_of(result.copied.begin(), result.copied.end(),
                        [](const QString& path) { return path != SettingsFileName; });
        if ((playedChanged || m_presentationPending) && timIntval.interval() != 0) {
            m_presentationPending = false;
            applyPresentation();
        }
    });
    connect(&m_mirrorTimer, &QTimer::timeout, this, &frmMain::refreshMirror);
    m_mirrorTimer.start(MirrorRefreshMs);
    new PointerHider(PointerIdleMs, this);
    // A timer without an interval: it fires once the start-up gives it one.
    timIntval.setEnabled(true);
    connect(&timIntval, &platform::IntervalTimer::Timer, this, &frmMain::timIntval_Timer);

    resize(int(DesignWidth), int(DesignHeight));
    // Writers killed before their rename (a power cut, say) leave their temporary files.
    platform::removeLeftoverTemporaries(settingsFile());
    platform::removeLeftoverTemporaries(QDir(m_programFolder).filePath(SlideParamsFileName));
    createTelop();
    platform::guarded(lcPlayer, "Form_Load", [&] { Form_Load(); });
    // This PC's report to the group, from the start on.
    m_started = now();
    m_status = new group::StatusReporter(
        m_programFolder, [this] { return currentStatus(); }, this);
    m_status->setClock([this] { return now(); });
    m_urgent = new group::UrgentWatch(this);
    m_urgent->setFolders(urgentFolders());
    connect(m_urgent, &group::UrgentWatch::messageChanged, this, &frmMain::showUrgentMessage);
    m_scheduleTimer.setInterval(1000);
    connect(&m_scheduleTimer, &QTimer::timeout, this,
            [this] { platform::guarded(lcPlayer, "scheduleTick", [&] { scheduleTick(); }); });
    m_scheduleTimer.start();
    QTimer::singleShot(0, this, [this] { scheduleTick(); }); // the entry in force at start-up
    connect(&m_shotTimer, &QTimer::timeout, this, &frmMain::takeShot);
    connect(&m_shotSoon, &QTimer::timeout, this, &frmMain::takeShot);
    m_shotSoon.setSingleShot(true);
    m_shotSoon.setInterval(ShotAfterChangeMs);
    applyShotInterval();
}

// [STATUS] shot=MINUTES of the settings: how often the window's picture goes to the group;
// 0 for never.
void frmMain::applyShotInterval()
{
    const int minutes = GetIniString(settingsFile(), QStringLiteral("STATUS"),
                                     QStringLiteral("shot"), QStringLiteral("5"))
                            .trimmed()
                            .toInt();
    if (minutes <= 0) {
        m_shotTimer.stop();
        m_shotSoon.stop();
        return;
    }
    m_shotTimer.start(std::min(minutes, 24 * 60) * 60000);
    m_shotSoon.start();
}

// The schedule of setting sets; a subordinate follows only its "off" entries (see below). While
// a dialog is open the schedule waits for it to close.
void frmMain::scheduleTick()
{
    if (QApplication::activeModalWidget())
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
        QFile file(settingsFile());
        const QByteArray bytes =
            file.open(QIODevice::ReadOnly) ? file.read(1024 * 1024) : QByteArray();
        QStringList problems;
        m_schedule = group::parseSchedule(platform::fromCp932(bytes), &problems);
        for (const QString& problem : problems)
            if (!m_scheduleProblems.contains(problem)) {
                m_scheduleProblems << problem;
                qCWarning(lcPlayer).noquote()
                    << "cannot read the schedule entry" << platform::printable(problem);
            }
    }
    const QList<group::ScheduleEntry>& entries = m_schedule;
    m_scheduleNext = group::nextChange(entries, now);
    const auto inForce = group::entryInForce(entries, now);
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
    if (strNetMode == QLatin1String("1")) {
        blankScreen(false);
        return;
    }
    // A set that is not there changes nothing: the show is not even stopped for it.
    const QString set = inForce->first.set;
    if (!platform::RootedFolder::isPlainName(set) ||
        !FileExists(QDir(m_programFolder).filePath(QStringLiteral("save/") + set))) {
        qCWarning(lcPlayer).noquote()
            << "the schedule's set" << platform::printable(set) << "is not in"
            << QDir(m_programFolder).filePath(QStringLiteral("save")) << "; nothing changes";
        return;
    }
    dlgEnv dialog(*this);
    if (dialog.takeSet(set))
        blankScreen(false);
    else if (m_blank)
        swf1->StopPlay(); // a set that can not be taken changes nothing: still blank
}

// Blank: the presentation halted and hidden, the telop stopped and hidden, the window black,
// and the display allowed to save power.
// While blank the bar is dark too: its picture and buttons go (it keeps the key focus).
void frmMain::darkenButtonBar(bool dark)
{
    picBar->setPixmap(dark ? QPixmap() : QPixmap(QStringLiteral(":/frmMain/picBar.bmp")));
    const bool buttons = !dark && strMenuMode != QLatin1String("off");
    cmdEnv->setVisible(buttons);
    cmdEnd->setVisible(buttons);
}

void frmMain::blankScreen(bool blank)
{
    if (blank == m_blank)
        return;
    m_blank = blank;
    if (blank) {
        qCInfo(lcPlayer) << "the schedule blanks the screen";
        swf1->StopPlay();
        swf1->hide();
        stvTelop->call(dispid::Action, {0});
        stvTelop->setVisible(false);
        darkenButtonBar(true);
        m_playLog->halt();
    } else {
        qCInfo(lcPlayer) << "the schedule ends the blank screen";
        darkenButtonBar(false);
        swf1->show();
        stvTelop->call(dispid::Action, {2});
        applyTelopVisibility();
        restartPresentation();
        m_playLog->resume();
    }
    emit screenMayBlank(blank);
}

// The files the taken pair names, copied from the master into the mirror on a worker.
bool frmMain::refreshMirror()
{
    if (strNetMode != QLatin1String("1") || strBasePath.isEmpty() || strBasePath == m_programFolder)
        return false;
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.read(1024 * 1024) : QByteArray();
    };
    m_mirror->sync(strBasePath,
                   group::mirroredPaths(read(settingsFile()),
                                        read(QDir(m_programFolder).filePath(SlideParamsFileName))));
    return true;
}

// The folders an urgent message may come from: this PC's program folder, and a
// subordinate's master folder.
QStringList frmMain::urgentFolders() const
{
    QStringList folders{m_programFolder};
    if (strNetMode == QLatin1String("1") && !strBasePath.isEmpty())
        folders << strBasePath;
    return folders;
}

// An urgent message replaces the telop's text, drawn with the urgent dots; when it ends the
// telop shows its own text and dots again.
// An urgent message, and the telop's own text after it, enter anew from the right edge, so
// their beginning is read first.
void frmMain::showUrgentMessage(const QString& text)
{
    if (text.isEmpty()) {
        applyDotPictures();
        showTelopText(m_telopText, m_telopWithDate, m_telopDate);
    } else {
        applyUrgentDots();
        stvTelop->putProperty(dispid::Text, text);
        m_playLog->telop(QStringLiteral("urgent"), text);
    }
    // Cls puts the telop back to its start: the text comes in again from the right edge
    // (Action alone keeps the place of a motion already running).
    stvTelop->call(dispid::Cls, {});
    if (!m_blank)
        stvTelop->call(dispid::Action, {2}); // right to left
}

// urgent-on.bmp and urgent-off.bmp of the program folder; where there are none, the telop's
// own dots in red.
void frmMain::applyUrgentDots()
{
    const struct
    {
        const char* urgent;
        const char* usual;
        int dispid;
    } dots[] = {{"urgent-on.bmp", "on.bmp", dispid::FrontBmp},
                {"urgent-off.bmp", "off.bmp", dispid::BackBmp}};
    for (const auto& dot : dots) {
        QImage picture(QDir(m_programFolder).filePath(QString::fromLatin1(dot.urgent)));
        if (picture.isNull()) {
            picture = QImage(QDir(m_programFolder).filePath(QString::fromLatin1(dot.usual)))
                          .convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    const QRgb pixel = picture.pixel(x, y);
                    picture.setPixel(
                        x, y, qRgb(std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}), 0, 0));
                }
        }
        if (!picture.isNull())
            stvTelop->putPropertyRef(dot.dispid, QPixmap::fromImage(picture));
    }
}

// The window as the screen shows it (the web player's drawing included), else as Qt draws it.
void frmMain::takeShot()
{
    QImage image;
    if (windowHandle() && screen())
        image = screen()->grabWindow(winId()).toImage();
    if (image.isNull())
        image = grab().toImage();
    m_status->saveShot(image);
}

group::Status frmMain::currentStatus()
{
    group::Status status;
    status.name = m_stationName;
    status.version = QCoreApplication::applicationVersion();
    status.started = m_started;
    status.programFolder = m_programFolder;
    status.mode = m_showing.mode;
    status.movie = m_showing.movie;
    status.picture = m_picture;
    status.telop = m_telopText;
    const bool subordinate = strNetMode == QLatin1String("1");
    status.role = subordinate ? QStringLiteral("subordinate") : QStringLiteral("stand-alone");
    status.masterFolder = subordinate ? strBasePath : QString();
    status.masterUnreachableSince = m_masterUnreachableSince;
    status.lastTakeOver = m_lastTakeOver;
    status.lastTakeOverStamp = strLastStamp;
    QList<qint64> processes{QCoreApplication::applicationPid()};
    if (swf1->swfEngine()) {
        status.engine = QStringLiteral("web player");
        status.engineRestarts = std::max(0, swf1->swfEngine()->pageLoadCount() - 1);
        processes << swf1->swfEngine()->renderProcessId();
    } else {
        status.engine = m_showing.mode == QLatin1String("slides") ? QStringLiteral("native")
                                                                  : QStringLiteral("none");
    }
    m_usage.read(processes, status.cpuPercent, status.memoryBytes);
    status.screen = size();
    status.lastError = m_movieError.isEmpty() ? m_lastError : m_movieError;
    return status;
}

frmMain::~frmMain()
{
    timIntval.setInterval(0);
}

QString frmMain::settingsFile() const
{
    return QDir(m_programFolder).filePath(SettingsFileName);
}

QString frmMain::environment(const char* key, const QString& defaultValue) const
{
    return GetIniString(settingsFile(), Environment, QString::fromLatin1(key), defaultValue);
}

void frmMain::createTelop()
{
    const platform::PropertyBag design = telopDesign();
    stvTelop->setFont(designFont("ＭＳ Ｐゴシック", 9));
    stvTelop->createControl(QLatin1String(strovel::ProgId), &design);
}

// The start-up, in its fixed order.
void frmMain::Form_Load()
{
    const QDate today = this->today();
    strBasePath = m_programFolder;

    strMenuMode =
        GetIniString(settingsFile(), QStringLiteral("SYSTEM"), QStringLiteral("menu"), QString());
    if (strMenuMode == QLatin1String("off")) {
        cmdEnv->hide();
        cmdEnd->hide();
    }
    const QString networkFile = QDir(m_programFolder).filePath(NetworkFileName);
    strNetMode = GetNetworkString(networkFile, QStringLiteral("lan"), QString());
    if (strNetMode == QLatin1String("1"))
        strBasePath = GetNetworkString(networkFile, QStringLiteral("master"), QString());

    stvTelop->call(dispid::Action, {2}); // right to left
    applyTelopSpeed();
    applyDotPictures();
    stvTelop->setVisible(true);
    setFlashHeight(FlashHeightWithTelop);

    if (strNetMode == QLatin1String("1") && !FileExists(settingsFile())) {
        WriteDefaultSettings(m_programFolder);
        WriteDefaultSlideParams(m_programFolder);
    }
    applyPresentation();
    applyTelopVisibility();
    applyTelopText(today);
    timIntval.setInterval(1000);
}

// Speed and step of the telop. A value that is not a number is replaced by its default so the
// start-up goes on.
void frmMain::applyTelopSpeed()
{
    // The telop takes 0 to 65535 ms; it would refuse anything else and keep its own period.
    const QString interval = environment("TelopInterval", QStringLiteral("40"));
    const auto milliseconds = wholeNumber(interval, 0, platform::IntervalTimer::MaximumInterval);
    if (!milliseconds)
        qCWarning(lcPlayer).noquote()
            << "TelopInterval" << interval << "is not a number from 0 to 65535; using 40";
    else if (*milliseconds == 0)
        qCWarning(lcPlayer) << "TelopInterval 0 stops the telop: its text stands still";
    stvTelop->putProperty(dispid::Interval, int(milliseconds.value_or(40)));

    const QString move = environment("TelopMove", QStringLiteral("1"));
    const auto cells =
        wholeNumber(move, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
    if (!cells)
        qCWarning(lcPlayer).noquote() << "TelopMove" << move << "is not a 16-bit number; using 1";
    else if (*cells <= 0)
        qCWarning(lcPlayer) << "TelopMove" << *cells
                            << "stops the telop's motion: its board stays blank";
    else if (*cells > MaxVisibleMove)
        qCWarning(lcPlayer) << "TelopMove" << *cells
                            << "moves the text past the whole board in one step: the board "
                               "shows no motion";
    stvTelop->putProperty(dispid::MoveCount, int(cells.value_or(1)));
}

// The dot pictures from the program folder; a missing or unreadable one leaves the
// design-time dot in place.
void frmMain::applyDotPictures()
{
    const struct
    {
        const char* file;
        int dispid;
    } dots[] = {{"on.bmp", dispid::FrontBmp}, {"off.bmp", dispid::BackBmp}};
    for (const auto& dot : dots) {
        const QString path = QDir(m_programFolder).filePath(QString::fromLatin1(dot.file));
        QImageReader reader(path);
        const QImage picture = reader.read();
        if (picture.isNull()) {
            qCWarning(lcPlayer).noquote() << "cannot read" << path << ":" << reader.errorString()
                                          << "; the telop keeps its own dots";
            continue;
        }
        stvTelop->putPropertyRef(dot.dispid, QPixmap::fromImage(picture));
    }
}

void frmMain::applyPresentation()
{
    const bool images = environment("optTarget") == QLatin1String("1");
    const QString relative =
        (images ? QStringLiteral("img/") : QStringLiteral("ani/")) + environment("txtAnime");
    // A subordinate plays from its mirror of the master once the mirror holds the movie: the
    // show then goes on when the master can not be reached.
    const bool mirrored = strNetMode == QLatin1String("1") &&
                          QFileInfo(QDir(m_mirror->folder()).filePath(relative)).isFile();
    const QString movie = (mirrored ? m_mirror->folder() : strBasePath) + u'/' + relative;
    // [GROUP] inStep=1 comes with the master's settings, so the whole group changes to it.
    swf1->setSlidesInStep(GetIniString(settingsFile(), QStringLiteral("GROUP"),
                                       QStringLiteral("inStep"), QStringLiteral("0"))
                              .trimmed() == QLatin1String("1"));
    swf1->setMovie(movie);
    restartPresentation();
}

void frmMain::applyTelopVisibility()
{
    const bool hidden = environment("optTelop") == QLatin1String("1");
    stvTelop->setVisible(!hidden);
    setFlashHeight(hidden ? FlashHeightWithoutTelop : FlashHeightWithTelop);
}

void frmMain::applyTelopText(const QDate& today)
{
    showTelopText(withoutBlanksAround(environment("txtTelop")),
                  environment("chkDate") == QLatin1String("1"), today);
}

void frmMain::showTelopText(const QString& text, bool withDate, const QDate& day)
{
    m_telopText = text;
    m_telopWithDate = withDate;
    m_telopDate = day;
    if (m_urgent && !m_urgent->message().isEmpty())
        return; // shown again when the urgent message ends
    const QString shown = withDate ? platform::japaneseEraDatePrefix(m_telopDate) + text : text;
    stvTelop->putProperty(dispid::Text, shown);
    if (stvTelop->isVisibleTo(this))
        m_playLog->telop(QStringLiteral("telop"), shown);
}

void frmMain::restartPresentation()
{
    swf1->StopPlay();
    swf1->GotoFrame(0);
    swf1->Play();
}

void frmMain::setFlashHeight(double units)
{
    m_flashHeight = units;
    layoutControls();
}

// ---- Supervision ------------------------------------------------------------------------------

void frmMain::timIntval_Timer()
{
    platform::guarded(lcPlayer, "timIntval_Timer", [&] {
        followDayChange();
        if (strNetMode == QLatin1String("1"))
            synchroniseWithMaster();

        // An animation whose frame stood still for a whole tick has ended: play it again.
        if (m_blank) {
            intLastFrame = 0;
        } else if (environment("optTarget") != QLatin1String("1")) {
            const int frame = swf1->FrameNum();
            if (frame == intLastFrame) {
                restartPresentation();
                intLastFrame = 1;
            } else {
                intLastFrame = frame;
            }
        } else {
            intLastFrame = 0;
        }
    });
}

// A player runs for months: when the day changes, the date in front of the telop's text
// changes with it. Only the text is set again; the telop's motion settings stay.
void frmMain::followDayChange()
{
    const QDate day = today();
    if (day == m_telopDate)
        return;
    m_telopDate = day;
    if (m_telopWithDate) {
        qCInfo(lcPlayer).noquote()
            << "a new day:" << day.toString(Qt::ISODate) << "; the telop shows its date";
        showTelopText(m_telopText, true, day);
    }
}

// Looks at the master folder on a worker thread; what it finds comes to takeOverMaster.
void frmMain::synchroniseWithMaster()
{
    m_master->tick(strBasePath, strLastStamp);
}

// Takes over a changed master's settings: both files replace the local ones together, then the
// presentation and the telop follow them. The stamp is taken over last, so a failure is tried
// again (with growing pauses) and the player keeps showing what it showed meanwhile.
void frmMain::takeOverMaster(const master::Check& check)
{
    if (timIntval.interval() == 0)
        return; // the supervision stopped meanwhile (settings dialog, exit): looked at again later
    strBasePath = check.masterFolder;
    m_urgent->setFolders(urgentFolders());
    switch (check.outcome) {
    case master::Check::Unchanged:
        m_master->reportSuccess(QString());
        setMasterReachable(true);
        return;
    case master::Check::Changing:
        qCDebug(lcPlayer) << "the master is saving its settings; taking them over at the next tick";
        return;
    case master::Check::Failed:
        m_lastError = check.error;
        m_master->reportFailure(check.error);
        setMasterReachable(false);
        return;
    case master::Check::Changed:
        break;
    }
    QList<std::pair<QString, QByteArray>> files{{settingsFile(), check.pair.settings}};
    if (check.pair.slideParams)
        files.append(
            {QDir(m_programFolder).filePath(SlideParamsFileName), *check.pair.slideParams});
    else
        qCWarning(lcPlayer).noquote()
            << "the master has no usable slide list:" << check.pair.slideParamsError
            << "; its settings are taken over, the slide list stays as it was";
    if (!platform::replaceFilesTogether(files)) {
        m_master->reportFailure(QStringLiteral("cannot store the master's settings in ") +
                                m_programFolder);
        return;
    }
    // The presentation changes once the mirror holds what the new settings show: until then
    // the old show plays on, instead of a new list without its pictures.
    if (refreshMirror())
        m_presentationPending = true;
    else
        applyPresentation();
    applyTelopVisibility();
    applyTelopText(today());
    strLastStamp = check.pair.stamp;
    m_lastTakeOver = now();
    setMasterReachable(true);
    m_master->reportSuccess(QStringLiteral("took over the master's settings of ") + strLastStamp);
}

// The group sees at once that a master stopped answering, or answers again.
void frmMain::setMasterReachable(bool reachable)
{
    if (reachable == !m_masterUnreachableSince.isValid())
        return;
    if (reachable)
        m_lastError.clear(); // the report tells the error of now, not one long mended
    m_masterUnreachableSince = reachable ? QDateTime() : now();
    if (m_status)
        m_status->changed();
}

// ---- Commands ---------------------------------------------------------------------------------

void frmMain::cmdEnd_Click()
{
    m_service->notifyStopping();
    timIntval.setInterval(0);
    if (m_status)
        m_status->stop(); // the group sees the stop at once, not as a report going stale
    emit programEnded();
}

void frmMain::cmdEnv_Click()
{
    timIntval.setInterval(0);
    ShowSettingsDialog();
}

void frmMain::ShowSettingsDialog()
{
    dlgEnv dialog(*this);
    m_playLog->halt();
    dialog.exec();
    if (!m_blank)
        m_playLog
            ->resume(); // a dialog closed while the schedule holds the screen dark proves nothing
}

void frmMain::cmdHelp_Click()
{
    const QString readMe =
        QDir(m_programFolder).filePath(QStringLiteral("最初にお読みください.txt"));
    platform::openDocumentOrSay(this, readMe,
                                QStringLiteral("%1 を開けませんでした。\nこのファイルを開く"
                                               "アプリケーションが見つかりません。")
                                    .arg(QDir::toNativeSeparators(readMe)),
                                QStringLiteral("ヘルプ"));
}

void frmMain::picBar_KeyDown(int keyCode, Qt::KeyboardModifiers)
{
    if (keyCode == 27)
        cmdEnd_Click();
}

// ---- Window events ----------------------------------------------------------------------------

void frmMain::Form_Activate()
{
    intLastFrame = 0;
    picBar->setFocus();
}

void frmMain::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
    QWidget::changeEvent(event);
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

// A full-screen window is sized by the window manager; in a bare X session there is none, and
// the window stayed at its first size in a corner. It covers its screen itself then, and
// follows the screen when its size changes.
void frmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (QWindow* window = windowHandle(); window && !m_followsScreen) {
        m_followsScreen = true;
        const auto follow = [this](QScreen* screen) {
            if (screen)
                connect(screen, &QScreen::geometryChanged, this, &frmMain::coverScreen,
                        Qt::UniqueConnection);
            coverScreen();
        };
        connect(window, &QWindow::screenChanged, this, follow);
        follow(window->screen());
    }
    QTimer::singleShot(0, this, &frmMain::coverScreen);
}

void frmMain::coverScreen()
{
    if (!isFullScreen() || !screen() || geometry() == screen()->geometry())
        return;
    qCInfo(lcPlayer) << "the window covers the screen itself:" << screen()->geometry();
    setGeometry(screen()->geometry());
}

// A close request (Alt+F4, a desktop's or a script's close) is the exit command: the window
// must never just disappear while the program runs on.
void frmMain::closeEvent(QCloseEvent* event)
{
    qCInfo(lcPlayer) << "the window was asked to close; ending as the exit command does";
    platform::guarded(lcPlayer, "closeEvent", [&] { cmdEnd_Click(); });
    event->accept();
}

// The first frame on screen: the player is ready.
void frmMain::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    m_service->notifyReady();
}

// Places the controls: design pixels of a 1024 x 768 screen, scaled to the window.
void frmMain::layoutControls()
{
    const double sx = width() / DesignWidth;
    const double sy = height() / DesignHeight;
    const auto place = [&](QWidget* w, double x, double y, double wd, double ht) {
        w->setGeometry(int(std::lround(x * sx)), int(std::lround(y * sy)),
                       int(std::lround(wd * sx)), int(std::lround(ht * sy)));
    };
    const double flashHeight = m_flashHeight > 0 ? m_flashHeight * PixelsPerUnitY : 614;
    place(swf1, 16, 0, 1016, flashHeight);
    place(stvTelop, 18, 648, 1016, 120);
    place(picBar, 0, 0, 21, 772);
    place(cmdEnv, 2, 120, 17, 41);
    place(cmdEnd, 2, 160, 17, 41);
    place(cmdHelp, 0, 200, 17, 41);
    picBar->raise();
    cmdEnv->raise();
    cmdEnd->raise();
}
