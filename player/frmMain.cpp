#include "frmMain.h"

#include "MasterWatch.h"
#include "StrovelIds.h"
#include "dlgEnv.h"
#include "mdlCommon.h"

#include "session/PointerHider.h"
#include "session/ServiceNotifier.h"

#include "com/ControlHost.h"
#include "com/PropertyBag.h"
#include "movie/MovieEngine.h"
#include "movie/MoviePlayer.h"
#include "profile/AtomicFile.h"
#include "runtime/DocumentOpener.h"
#include "runtime/Guard.h"
#include "text/EraDate.h"
#include "text/Numbers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>
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
constexpr int PointerIdleMs = 3000; // the pointer goes after this long without movement
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
    m_station = new group::Station(
        m_programFolder,
        group::stationName(GetNetworkString(networkFile, QStringLiteral("name"), QString())), *this,
        [this] { return now(); }, this);
    using platform::movie::MoviePlayer;
    connect(swf1, &MoviePlayer::movieChanged, m_station, &group::Station::movieGiven);
    connect(swf1, &MoviePlayer::pictureShown, m_station, &group::Station::pictureShown);
    connect(swf1, &MoviePlayer::movieShown, m_station, &group::Station::movieShown);
    connect(swf1, &MoviePlayer::movieFailed, m_station, &group::Station::movieFailed);
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
    m_station->start(); // the group sees this PC from the start on
}

// ---- What the group's station asks of the window ---------------------------------------------

bool frmMain::takeSet(const QString& name)
{
    dlgEnv dialog(*this);
    if (dialog.takeSet(name))
        return true;
    if (m_station->isBlank())
        swf1->StopPlay(); // a set that can not be taken changes nothing: still blank
    return false;
}

bool frmMain::isShowHeld() const
{
    return QApplication::activeModalWidget() != nullptr;
}

// While blank the bar is dark too: its picture and buttons go (it keeps the key focus).
void frmMain::darkenButtonBar(bool dark)
{
    picBar->setPixmap(dark ? QPixmap() : QPixmap(QStringLiteral(":/frmMain/picBar.bmp")));
    const bool buttons = !dark && strMenuMode != QLatin1String("off");
    cmdEnv->setVisible(buttons);
    cmdEnd->setVisible(buttons);
}

// Blank: the presentation halted and hidden, the telop stopped and hidden, the window black,
// and the display allowed to save power.
void frmMain::darken(bool dark)
{
    if (dark) {
        swf1->StopPlay();
        swf1->hide();
        stvTelop->call(dispid::Action, {0});
        stvTelop->setVisible(false);
        darkenButtonBar(true);
    } else {
        darkenButtonBar(false);
        swf1->show();
        stvTelop->call(dispid::Action, {2});
        applyTelopVisibility();
        restartPresentation();
    }
    emit screenMayBlank(dark);
}

// An urgent message replaces the telop's text, drawn with the urgent dots; when it ends the
// telop shows its own text and dots again.
// An urgent message, and the telop's own text after it, enter anew from the right edge, so
// their beginning is read first.
void frmMain::showUrgent(const QString& text)
{
    if (text.isEmpty()) {
        applyDotPictures();
        showTelopText(m_telopText, m_telopWithDate, m_telopDate);
    } else {
        applyUrgentDots();
        stvTelop->putProperty(dispid::Text, text);
    }
    // Cls puts the telop back to its start: the text comes in again from the right edge
    // (Action alone keeps the place of a motion already running).
    stvTelop->call(dispid::Cls, {});
    if (!m_station->isBlank())
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
QImage frmMain::picture()
{
    QImage image;
    if (windowHandle() && screen())
        image = screen()->grabWindow(winId()).toImage();
    return image.isNull() ? grab().toImage() : image;
}

group::StationHost::Engine frmMain::engine() const
{
    if (const auto* web = swf1->webPlayer())
        return {QStringLiteral("web player"), web->restartCount(), web->helperProcessId()};
    return {m_station->showing().mode == QLatin1String("slides") ? QStringLiteral("native")
                                                                 : QStringLiteral("none"),
            0, 0};
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
    m_station->setRole(strNetMode == QLatin1String("1"), strBasePath);

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
    const QString mirrored = m_station->mirrored(relative);
    const QString movie = mirrored.isEmpty() ? strBasePath + u'/' + relative : mirrored;
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
    if (!m_station->urgentMessage().isEmpty())
        return; // shown again when the urgent message ends
    const QString shown = withDate ? platform::japaneseEraDatePrefix(m_telopDate) + text : text;
    stvTelop->putProperty(dispid::Text, shown);
    m_station->telopShown(text, shown, stvTelop->isVisibleTo(this));
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
        if (m_station->isBlank()) {
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
    m_station->setRole(true, strBasePath);
    switch (check.outcome) {
    case master::Check::Unchanged:
        m_master->reportSuccess(QString());
        m_station->masterReached(true);
        return;
    case master::Check::Changing:
        qCDebug(lcPlayer) << "the master is saving its settings; taking them over at the next tick";
        return;
    case master::Check::Failed:
        m_master->reportFailure(check.error);
        m_station->masterReached(false, check.error);
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
    strLastStamp = check.pair.stamp;
    // The presentation changes once the mirror holds what the new settings show: until then
    // the old show plays on, instead of a new list without its pictures.
    if (!m_station->tookOver(strLastStamp))
        applyPresentation();
    applyTelopVisibility();
    applyTelopText(today());
    m_master->reportSuccess(QStringLiteral("took over the master's settings of ") + strLastStamp);
}

// ---- Commands ---------------------------------------------------------------------------------

void frmMain::cmdEnd_Click()
{
    m_service->notifyStopping();
    timIntval.setInterval(0);
    m_station->stop();
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
    m_station->hold(true);
    dialog.exec();
    m_station->hold(false);
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
