// The player window with its real controls, in a temporary program folder (and a master folder
// for the network cases). Ticks are driven by calling the handler.

#include "MasterWatch.h"
#include "Mirror.h"
#include "StrovelIds.h"
#include "dlgEnv.h"
#include "frmMain.h"
#include "mdlCommon.h"

#include "com/ComRuntime.h"
#include "com/ControlHost.h"
#include "movie/MoviePlayer.h"
#include "movie/WebEngineSetup.h"
#include "runtime/FontNames.h"
#include "text/Cp932.h"
#include "text/EraDate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

namespace dispid = strovel::dispid;

const QString ProgramDir = QStringLiteral(PROGRAM_DIR);
const QString Fixtures = QStringLiteral(MOVIE_FIXTURES);

class frmMainProbe
{
public:
    explicit frmMainProbe(frmMain& w) : w(w) {}
    int intLastFrame() const { return w.intLastFrame; }
    QString strBasePath() const { return w.strBasePath; }
    QString strLastStamp() const { return w.strLastStamp; }
    QString movie() const { return w.station().showing().movie; } // the movie last given
    bool mirrorSyncing() const { return w.station().mirror().isSyncing(); }
    // One supervision tick on a subordinate, its look at the master done and applied; any
    // back-off from earlier failures is skipped.
    void syncTick()
    {
        w.m_master->retryNow();
        w.timIntval_Timer();
        QTRY_VERIFY(!w.m_master->isChecking());
    }
    QVariant telop(int id) const
    {
        QVariant value;
        w.stvTelop->getProperty(id, &value);
        return value;
    }

private:
    frmMain& w;
};

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

QByteArray settings(const QStringList& lines)
{
    return platform::toCp932(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

// The windows' clock where a test reads a date: it starts on a Monday morning, whatever today
// is, and runs on with the test.
QDateTime fixedClock()
{
    static const QElapsedTimer sinceStart = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return QDateTime(QDate(2026, 12, 7), QTime(9, 0)).addMSecs(sinceStart.elapsed());
}

// Moves a file's modification time, so stamps differ by whole seconds.
void touch(const QString& path, int secondsAhead)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(secondsAhead),
                             QFileDevice::FileModificationTime));
}

// A program folder with the dot pictures, the web player and the movie folders.
struct Folder
{
    QTemporaryDir dir;
    Folder()
    {
        for (const char* name : {"on.bmp", "off.bmp"})
            QFile::copy(QDir(ProgramDir).filePath(QLatin1String(name)),
                        dir.filePath(QLatin1String(name)));
        QFile::link(QDir(ProgramDir).filePath(QStringLiteral("ruffle")),
                    dir.filePath(QStringLiteral("ruffle")));
        QDir(dir.path()).mkpath(QStringLiteral("img"));
        QDir(dir.path()).mkpath(QStringLiteral("ani"));
    }
    QString path() const { return dir.path(); }
    QString file(const QString& name) const { return dir.filePath(name); }
};

// A still picture standing for a movie: its frame number is always 0.
void stillMovie(const QString& path)
{
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QVERIFY(image.save(path, "PNG"));
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

    QTemporaryDir config;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8()); // no registered classes: the telop
        platform::com::setHostProgramFolder(ProgramDir);    // comes from the program folder
    }

    void startUp_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("movie"); // relative to the program folder
        QTest::addColumn<bool>("telopShown");
        QTest::addColumn<QString>("telopText"); // "DATE " stands for today's prefix
        QTest::addColumn<bool>("buttonsShown");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("moveCount");
        const QStringList none;
        QTest::newRow("no settings file") << none << "/ani/" << true << "" << true << 40 << 1;
        QTest::newRow("image mode")
            << QStringList{"[ENVIRONMENT]", "optTarget=1", "txtAnime=効果無し.swf"}
            << "/img/効果無し.swf" << true << "" << true << 40 << 1;
        QTest::newRow("only 1 is image mode")
            << QStringList{"[ENVIRONMENT]", "optTarget=2", "txtAnime=a.swf"} << "/ani/a.swf" << true
            << "" << true << 40 << 1;
        QTest::newRow("telop hidden") << QStringList{"[ENVIRONMENT]", "optTelop=1", "txtTelop=x"}
                                      << "/ani/" << false << "x" << true << 40 << 1;
        QTest::newRow("only blanks U+0020 trimmed")
            << QStringList{"[ENVIRONMENT]", "txtTelop=\"  \u3000開店\t \""} << "/ani/" << true
            << "\u3000開店\t" << true << 40 << 1;
        QTest::newRow("date prefix") << QStringList{"[ENVIRONMENT]", "txtTelop= 開店 ", "chkDate=1"}
                                     << "/ani/" << true << "DATE 開店" << true << 40 << 1;
        QTest::newRow("chkDate 0: no date")
            << QStringList{"[ENVIRONMENT]", "txtTelop=開店", "chkDate=0"} << "/ani/" << true
            << "開店" << true << 40 << 1;
        QTest::newRow("menu off") << QStringList{"[SYSTEM]", "menu=off"} << "/ani/" << true << ""
                                  << false << 40 << 1;
        QTest::newRow("menu Off") << QStringList{"[SYSTEM]", "menu=Off"} << "/ani/" << true << ""
                                  << true << 40 << 1;
        QTest::newRow("menu OFF") << QStringList{"[SYSTEM]", "menu=OFF"} << "/ani/" << true << ""
                                  << true << 40 << 1;
        QTest::newRow("speed and step")
            << QStringList{"[ENVIRONMENT]", "TelopInterval=60", "TelopMove=3"} << "/ani/" << true
            << "" << true << 60 << 3;
        QTest::newRow("not numbers: defaults")
            << QStringList{"[ENVIRONMENT]", "TelopInterval=fast", "TelopMove=70000"} << "/ani/"
            << true << "" << true << 40 << 1;
    }
    void startUp()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, movie);
        QFETCH(bool, telopShown);
        QFETCH(QString, telopText);
        QFETCH(bool, buttonsShown);
        QFETCH(int, interval);
        QFETCH(int, moveCount);
        Folder folder;
        if (!lines.isEmpty())
            writeFile(folder.file(mdlCommon::SettingsFileName), settings(lines));
        if (interval == 40 && lines.join(u' ').contains(QStringLiteral("fast"))) {
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("TelopInterval fast is not a number"));
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("TelopMove 70000 is not a 16-bit number"));
        }
        frmMain window(folder.path(), nullptr, fixedClock);
        frmMainProbe probe(window);
        QCOMPARE(window.swf1->Movie(), folder.path() + movie);
        QCOMPARE(window.stvTelop->isVisibleTo(&window), telopShown);
        QCOMPARE(window.flashHeight(), telopShown ? 677.0 : 803.0);
        telopText.replace(QStringLiteral("DATE "),
                          platform::japaneseEraDatePrefix(fixedClock().date()));
        QCOMPARE(probe.telop(dispid::Text).toString(), telopText);
        QCOMPARE(window.cmdEnv->isVisibleTo(&window), buttonsShown);
        QCOMPARE(window.cmdEnd->isVisibleTo(&window), buttonsShown);
        QVERIFY(!window.cmdHelp->isVisibleTo(&window));
        QCOMPARE(probe.telop(dispid::Interval).toInt(), interval);
        QCOMPARE(probe.telop(dispid::MoveCount).toInt(), moveCount);
        QCOMPARE(window.timIntval.interval(), 1000);
        QVERIFY(!QFile::exists(folder.file(mdlCommon::SettingsFileName)) ||
                !lines.isEmpty()); // nothing written
    }

    // Temporary files of writers that were killed are removed at start-up; the user's own
    // files beside the settings stay, whatever they are called.
    void startUpRemovesLeftoverTemporaries()
    {
        Folder folder;
        const QStringList names{".lumaret.ini.lumaret-staged-Ab3xYz",
                                "img/.swfpara.txt.lumaret-staged-Qw12er",
                                "lumaret.ini.backup",
                                "img/swfpara.txt.keep01",
                                "lumaret.ini.orig01",
                                "img/photo.jpg.Qw12er"};
        for (const QString& name : names)
            writeFile(folder.file(name), "x");
        frmMain window(folder.path());
        QVERIFY(!QFile::exists(folder.file(names[0])));
        QVERIFY(!QFile::exists(folder.file(names[1])));
        for (const QString& name : names.mid(2))
            QVERIFY2(QFile::exists(folder.file(name)), qPrintable(name));
    }

    // The telop's speed and step from the settings: values the telop refuses become the
    // default with a log line; values it takes but that stop the board are logged once.
    void telopSpeedSettings_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("move");
        QTest::addColumn<int>("usedInterval");
        QTest::addColumn<int>("usedMove");
        QTest::addColumn<QString>("warning"); // "" for none
        QTest::newRow("largest interval") << "65535"
                                          << "1" << 65535 << 1 << "";
        QTest::newRow("interval beyond the telop's range")
            << "70000"
            << "1" << 40 << 1 << "TelopInterval 70000 is not a number from 0 to 65535";
        QTest::newRow("negative interval")
            << "-5"
            << "1" << 40 << 1 << "TelopInterval -5 is not a number from 0 to 65535";
        QTest::newRow("interval 0 stands still") << "0"
                                                 << "1" << 0 << 1 << "TelopInterval 0 stops";
        QTest::newRow("move 0") << "40"
                                << "0" << 40 << 0 << "TelopMove 0 stops the telop's motion";
        QTest::newRow("negative move")
            << "40"
            << "-3" << 40 << -3 << "TelopMove -3 stops the telop's motion";
        QTest::newRow("largest move")
            << "40"
            << "32767" << 40 << 32767 << "TelopMove 32767 moves the text past the whole";
        QTest::newRow("ordinary") << "25"
                                  << "4" << 25 << 4 << "";
    }
    void telopSpeedSettings()
    {
        QFETCH(QString, interval);
        QFETCH(QString, move);
        QFETCH(int, usedInterval);
        QFETCH(int, usedMove);
        QFETCH(QString, warning);
        Folder folder;
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "TelopInterval=" + interval, "TelopMove=" + move}));
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        QTest::failOnWarning(QRegularExpression("Telop"));
        frmMain window(folder.path());
        frmMainProbe probe(window);
        QCOMPARE(probe.telop(dispid::Interval).toInt(), usedInterval);
        QCOMPARE(probe.telop(dispid::MoveCount).toInt(), usedMove);
    }

    // A player left running for days shows each day's date: the text is set again once when
    // the day changes, and only where the date prefix is on.
    void dayChangeRenewsTheDate_data()
    {
        QTest::addColumn<QString>("chkDate");
        QTest::newRow("date shown") << "1";
        QTest::newRow("no date") << "0";
    }
    void dayChangeRenewsTheDate()
    {
        QFETCH(QString, chkDate);
        Folder folder;
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=営業中", "chkDate=" + chkDate}));
        QDate day(2026, 12, 7);
        frmMain window(folder.path(), nullptr, [&] { return day.startOfDay(); });
        frmMainProbe probe(window);
        const auto shown = [&](const QDate& date) {
            return (chkDate == QLatin1String("1") ? platform::japaneseEraDatePrefix(date)
                                                  : QString()) +
                   QStringLiteral("営業中");
        };
        window.timIntval_Timer();
        QCOMPARE(probe.telop(dispid::Text).toString(), shown(day));

        day = day.addDays(1);
        window.timIntval_Timer();
        QCOMPARE(probe.telop(dispid::Text).toString(), shown(day));
        // Once per change: the same day does not set the text again.
        window.stvTelop->putProperty(dispid::Text, QStringLiteral("set by hand"));
        window.timIntval_Timer();
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("set by hand"));
        day = day.addDays(3);
        window.timIntval_Timer();
        QCOMPARE(probe.telop(dispid::Text).toString(),
                 chkDate == QLatin1String("1") ? shown(day) : QStringLiteral("set by hand"));
    }

    // A close request from outside is the exit command, whichever way it comes.
    void closeRequestIsTheExitCommand()
    {
        Folder folder;
        frmMain window(folder.path());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy ended(&window, &frmMain::programEnded);
        QVERIFY(window.close());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(window.timIntval.interval(), 0);
    }

    // A subordinate without settings writes the defaults and plays from the master folder.
    void subordinateWithoutSettingsWritesDefaults()
    {
        Folder folder;
        QTemporaryDir master;
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        frmMain window(folder.path());
        QCOMPARE(readFile(folder.file(mdlCommon::SettingsFileName)).size(), 358);
        QCOMPARE(readFile(folder.file(mdlCommon::SlideParamsFileName)),
                 QByteArray("interface2=3000#5") + QByteArray("#quandor.jpg").repeated(5));
        QCOMPARE(window.swf1->Movie(), master.path() + QStringLiteral("/img/効果無し.swf"));
        QCOMPARE(frmMainProbe(window).strBasePath(), master.path());
    }

    void subordinateWithoutMasterUsesAnEmptyBase()
    {
        Folder folder;
        writeFile(folder.file(mdlCommon::NetworkFileName), settings({"[NETWORK]", "lan=1"}));
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtAnime=a.swf"}));
        frmMain window(folder.path());
        QCOMPARE(window.swf1->Movie(), QStringLiteral("/ani/a.swf"));
    }

    // The first tick takes the master's settings over, later ticks only when they change.
    void followsTheMaster()
    {
        Folder folder;
        QTemporaryDir master;
        const QString masterSettings = QDir(master.path()).filePath(mdlCommon::SettingsFileName);
        const QString masterSlides = QDir(master.path()).filePath(mdlCommon::SlideParamsFileName);
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=local"}));
        writeFile(masterSettings, settings({"[ENVIRONMENT]", "optTarget=1", "txtAnime=フェード.swf",
                                            "txtTelop=親機"}));
        writeFile(masterSlides, "interface2=3000#1#a.jpg");
        frmMain window(folder.path());
        frmMainProbe probe(window);
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("local"));

        probe.syncTick();
        QCOMPARE(readFile(folder.file(mdlCommon::SettingsFileName)), readFile(masterSettings));
        QCOMPARE(readFile(folder.file(mdlCommon::SlideParamsFileName)),
                 QByteArray("interface2=3000#1#a.jpg"));
        QCOMPARE(window.swf1->Movie(), master.path() + QStringLiteral("/img/フェード.swf"));
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("親機"));
        QVERIFY(!probe.strLastStamp().isEmpty());

        // Unchanged master: nothing is copied, even over a changed local file.
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "optTarget=1"}));
        probe.syncTick();
        QCOMPARE(readFile(folder.file(mdlCommon::SettingsFileName)),
                 settings({"[ENVIRONMENT]", "optTarget=1"}));

        // A new save on the master is taken over.
        writeFile(masterSettings,
                  settings({"[ENVIRONMENT]", "optTarget=1", "txtTelop=新しい", "optTelop=1"}));
        touch(masterSettings, 2);
        probe.syncTick();
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("新しい"));
        QVERIFY(!window.stvTelop->isVisibleTo(&window));
        QCOMPARE(window.flashHeight(), 803.0);
    }

    // A master that can not be reached: the player keeps what it shows, logs once, and
    // catches up when the master is back.
    void unreachableMasterIsRetried()
    {
        Folder folder;
        QTemporaryDir master;
        const QString masterSettings = QDir(master.path()).filePath(mdlCommon::SettingsFileName);
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=local"}));
        frmMain window(folder.path());
        frmMainProbe probe(window);

        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("cannot reach the master's settings"));
        probe.syncTick();
        QTest::failOnWarning(QRegularExpression("master"));
        probe.syncTick(); // still failing: no new log line
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("local"));

        writeFile(masterSettings, settings({"[ENVIRONMENT]", "txtTelop=戻った"}));
        writeFile(QDir(master.path()).filePath(mdlCommon::SlideParamsFileName),
                  "interface2=3000#0");
        probe.syncTick();
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("戻った"));
    }

    // Nothing the master holds is trusted: a FIFO (which would block a reader), a link out of
    // the master folder, a file far too large. Each is refused without blocking and without
    // writing anything, logged once however often it is tried. A master whose slide list can
    // not be used still passes on its settings; the slide list stays as it was.
    void masterFilesAreCheckedBeforeTakingOver_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("warning"); // "" when the pair is taken over
        QTest::addColumn<bool>("settingsTaken");
        QTest::newRow("settings file is a FIFO") << "fifo"
                                                 << "lumaret.ini is not a regular file" << false;
        QTest::newRow("slide parameters link out of the master folder")
            << "link out"
            << "no usable slide list: .*swfpara.txt leads out of the master folder" << true;
        QTest::newRow("settings link into a sibling named like the master")
            << "link to sibling"
            << "lumaret.ini leads out of the master folder" << false;
        QTest::newRow("2 GB settings file") << "huge"
                                            << "holds 2147483648 bytes" << false;
        QTest::newRow("settings file of exactly the largest size") << "at the limit"
                                                                   << "" << true;
        QTest::newRow("settings file one byte larger") << "over the limit"
                                                       << "holds 1048577 bytes" << false;
        QTest::newRow("no slide parameters")
            << "no slides"
            << "no usable slide list: cannot reach .*swfpara.txt" << true;
        QTest::newRow("a link inside the master folder is followed") << "link in"
                                                                     << "" << true;
    }
    void masterFilesAreCheckedBeforeTakingOver()
    {
        QFETCH(QString, kind);
        QFETCH(QString, warning);
        QFETCH(bool, settingsTaken);
        Folder folder;
        QTemporaryDir master;
        QTemporaryDir elsewhere;
        const QDir m(master.path());
        const QString masterSettings = m.filePath(mdlCommon::SettingsFileName);
        const QString masterSlides = m.filePath(mdlCommon::SlideParamsFileName);
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        const QByteArray local = settings({"[ENVIRONMENT]", "txtTelop=local"});
        writeFile(folder.file(mdlCommon::SettingsFileName), local);
        writeFile(folder.file(mdlCommon::SlideParamsFileName), "interface2=1000#0");
        writeFile(masterSettings, settings({"[ENVIRONMENT]", "txtTelop=親機"}));
        writeFile(masterSlides, "interface2=3000#0");
        const QString secret = elsewhere.filePath(QStringLiteral("secret"));
        writeFile(secret, "root:x:0:0");
        if (kind == QLatin1String("fifo")) {
            QFile::remove(masterSettings);
            QCOMPARE(::mkfifo(QFile::encodeName(masterSettings).constData(), 0644), 0);
        } else if (kind == QLatin1String("link out")) {
            QFile::remove(masterSlides);
            QVERIFY(QFile::link(secret, masterSlides));
        } else if (kind == QLatin1String("huge")) {
            QFile huge(masterSettings);
            QVERIFY(huge.open(QIODevice::ReadWrite) && huge.resize(qint64(2) << 30));
        } else if (kind == QLatin1String("at the limit") ||
                   kind == QLatin1String("over the limit")) {
            QByteArray padded = settings({"[ENVIRONMENT]", "txtTelop=親機", "[PAD]"}) + "x=";
            padded += QByteArray(master::MaxFileSize - padded.size(), 'x');
            if (kind == QLatin1String("over the limit"))
                padded += 'x';
            writeFile(masterSettings, padded);
        } else if (kind == QLatin1String("no slides")) {
            QFile::remove(masterSlides);
        } else if (kind == QLatin1String("link to sibling")) {
            const QString sibling = master.path() + QStringLiteral("2/lumaret.ini");
            writeFile(sibling, settings({"[ENVIRONMENT]", "txtTelop=隣"}));
            QFile::remove(masterSettings);
            QVERIFY(QFile::link(sibling, masterSettings));
        } else if (kind == QLatin1String("link in")) {
            writeFile(m.filePath(QStringLiteral("img/real.txt")), "interface2=3000#0");
            QFile::remove(masterSlides);
            QVERIFY(QFile::link(m.filePath(QStringLiteral("img/real.txt")), masterSlides));
        }
        frmMain window(folder.path());
        frmMainProbe probe(window);
        const QDateTime written =
            QFileInfo(folder.file(mdlCommon::SettingsFileName)).lastModified();

        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        QElapsedTimer clock;
        clock.start();
        probe.syncTick();
        QVERIFY2(clock.elapsed() < 1000, "the look at the master must not block");
        QTest::failOnWarning(QRegularExpression("master|lumaret.ini|swfpara"));
        probe.syncTick();
        QDir(master.path() + u'2').removeRecursively();
        if (settingsTaken) {
            QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("親機"));
            QCOMPARE(readFile(folder.file(mdlCommon::SlideParamsFileName)),
                     warning.isEmpty() ? QByteArray("interface2=3000#0")
                                       : QByteArray("interface2=1000#0"));
            QVERIFY(!QFileInfo(folder.file(mdlCommon::SlideParamsFileName)).isSymLink());
            return;
        }
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("local"));
        QCOMPARE(readFile(folder.file(mdlCommon::SettingsFileName)), local);
        QCOMPARE(readFile(folder.file(mdlCommon::SlideParamsFileName)),
                 QByteArray("interface2=1000#0"));
        QCOMPARE(QFileInfo(folder.file(mdlCommon::SettingsFileName)).lastModified(), written);
        QVERIFY(probe.strLastStamp().isEmpty());
    }

    // A master that rewrites its settings in place, in two halves within one second: the
    // subordinate that copied the first half takes the whole file over at the next tick.
    void tornMasterSaveIsCompletedAtTheNextTick()
    {
        Folder folder;
        QTemporaryDir master;
        const QString masterSettings = QDir(master.path()).filePath(mdlCommon::SettingsFileName);
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        writeFile(QDir(master.path()).filePath(mdlCommon::SlideParamsFileName),
                  "interface2=3000#0");
        const QByteArray whole = settings({"[ENVIRONMENT]", "optTelop=0", "txtTelop=全部そろった"});
        writeFile(masterSettings, whole.left(20));
        frmMain window(folder.path());
        frmMainProbe probe(window);
        probe.syncTick();
        QCOMPARE(readFile(folder.file(mdlCommon::SettingsFileName)), whole.left(20));

        QFile rest(masterSettings);
        QVERIFY(rest.open(QIODevice::Append));
        rest.write(whole.mid(20));
        rest.close();
        probe.syncTick();
        QCOMPARE(readFile(folder.file(mdlCommon::SettingsFileName)), whole);
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("全部そろった"));
    }

    // A movie that can not be shown is never proved as played, and the report says why.
    void movieNeverShownIsNotProved()
    {
        Folder folder;
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "optTarget=0", "txtAnime=missing.swf"}));
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=0", "name=店1"}));
        {
            frmMain window(folder.path(), nullptr, fixedClock);
            QTest::qWait(2500);
            QTRY_VERIFY(
                readFile(folder.file(QStringLiteral("status/店1.json"))).contains("no movie"));
        }
        const QByteArray log = readFile(folder.file(
            QStringLiteral("log/play-%1.csv").arg(fixedClock().date().toString(Qt::ISODate))));
        QVERIFY2(!log.contains("missing.swf"), log.constData());
    }

    // Proof of play: a native slide show writes one line for each picture it shows. The PC's
    // status report, under the name its network file gives, tells what it shows, and a
    // picture of the window goes beside it shortly after the presentation starts.
    void proofOfPlayAndStatusReport()
    {
        Folder folder;
        QVERIFY(QFile::copy(QDir(ProgramDir).filePath(QStringLiteral("img/効果無し.swf")),
                            folder.file(QStringLiteral("img/効果無し.swf"))));
        for (const auto& [name, colour] :
             {std::pair{"red.jpg", Qt::red}, {"green.jpg", Qt::green}}) {
            QImage picture(64, 48, QImage::Format_RGB32);
            picture.fill(colour);
            QVERIFY(picture.save(folder.file(QStringLiteral("img/") + QLatin1String(name))));
        }
        writeFile(folder.file(mdlCommon::SlideParamsFileName),
                  "interface2=400#2#red.jpg#green.jpg");
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "optTarget=1", "txtAnime=効果無し.swf"}));
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=0", "name=店1"}));
        const QString log = folder.file(
            QStringLiteral("log/play-%1.csv").arg(fixedClock().date().toString(Qt::ISODate)));
        {
            frmMain window(folder.path(), nullptr, fixedClock);
            QTest::qWait(2000);
            QTRY_VERIFY(QFile::exists(folder.file(QStringLiteral("status/店1.jpg"))));
        }
        const QImage shot(folder.file(QStringLiteral("status/店1.jpg")));
        QCOMPARE(shot.width(), group::StatusReporter::ShotWidth);
        QList<QByteArray> lines = readFile(log).split('\n');
        lines.removeIf([](const QByteArray& line) { return !line.contains(",\"slides\","); });
        QVERIFY2(lines.size() >= 3, readFile(log).constData()); // 3 pictures
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray picture =
                i % 2 ? "\"img/green.jpg\",\"店1\"" : "\"img/red.jpg\",\"店1\"";
            QVERIFY2(lines[i].contains(picture), lines[i].constData());
        }
        const QJsonObject report =
            QJsonDocument::fromJson(readFile(folder.file(QStringLiteral("status/店1.json"))))
                .object();
        QCOMPARE(report.value(QLatin1String("mode")).toString(), QStringLiteral("slides"));
        QVERIFY(report.value(QLatin1String("picture")).toString().endsWith(QLatin1String(".jpg")));
        QCOMPARE(report.value(QLatin1String("role")).toString(), QStringLiteral("stand-alone"));
    }

    // A subordinate's report tells at once when its master stops answering and when it is
    // back, not at its next minute.
    void reportTellsTheMastersStateAtOnce()
    {
        Folder folder;
        QTemporaryDir parent;
        const QString master = parent.filePath(QStringLiteral("master"));
        QVERIFY(QDir().mkpath(master));
        writeFile(QDir(master).filePath(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=いつもの"}));
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master, "name=店2"}));
        frmMain window(folder.path());
        frmMainProbe probe(window);
        const auto reachable = [&] {
            probe.syncTick();
            return QJsonDocument::fromJson(readFile(folder.file(QStringLiteral("status/店2.json"))))
                .object()
                .value(QLatin1String("masterReachable"));
        };
        QTRY_COMPARE_WITH_TIMEOUT(reachable(), QJsonValue(true), 5000);
        QVERIFY(QDir().rename(master, master + QStringLiteral("-away")));
        QTRY_COMPARE_WITH_TIMEOUT(reachable(), QJsonValue(false), 5000);
        QVERIFY(QDir().rename(master + QStringLiteral("-away"), master));
        QTRY_COMPARE_WITH_TIMEOUT(reachable(), QJsonValue(true), 5000);
    }

    // An urgent message in the program folder, or the master's, replaces the telop's text in
    // red dots within two seconds, until the file goes.
    void urgentMessageReplacesTheTelop_data()
    {
        QTest::addColumn<bool>("fromMaster");
        QTest::newRow("program folder") << false;
        QTest::newRow("master folder, code page 932") << true;
    }
    void urgentMessageReplacesTheTelop()
    {
        QFETCH(bool, fromMaster);
        Folder folder;
        QTemporaryDir master;
        writeFile(QDir(master.path()).filePath(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=いつもの"}));
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=いつもの"}));
        if (fromMaster)
            writeFile(folder.file(mdlCommon::NetworkFileName),
                      settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        frmMain window(folder.path());
        frmMainProbe probe(window);
        window.show(); // the telop moves while shown
        if (fromMaster)
            probe.syncTick();
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("いつもの"));
        const QString urgent = fromMaster
                                   ? QDir(master.path()).filePath(QStringLiteral("urgent.txt"))
                                   : folder.file(QStringLiteral("urgent.txt"));
        QTest::qWait(2500); // the telop's own text moves on into the board's left half
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("urgent message from .*地震"));
        writeFile(urgent, fromMaster ? platform::toCp932(QStringLiteral("地震のため閉店します\r\n"))
                                     : QByteArray("地震のため閉店します"));
        QTRY_COMPARE_WITH_TIMEOUT(probe.telop(dispid::Text).toString(),
                                  QStringLiteral("地震のため閉店します"), 2000);
        const QImage dot = probe.telop(dispid::FrontBmp).value<QPixmap>().toImage();
        const QRgb centre = dot.pixel(dot.width() / 2, dot.height() / 2);
        QVERIFY(qRed(centre) > 200 && qGreen(centre) < 60);
        // It enters from the right edge: the left half of the board shows no text yet. Bright
        // red is a twenty-fifth of an unlit dot (its highlight) and nine of a lit one.
        QTest::qWait(300);
        const QImage telop = window.stvTelop->grab().toImage();
        int bright = 0;
        for (int x = 0; x < telop.width() / 2; ++x)
            for (int y = 0; y < telop.height(); ++y)
                bright += qRed(telop.pixel(x, y)) > 200 && qGreen(telop.pixel(x, y)) < 60;
        QVERIFY2(bright < telop.width() / 2 * telop.height() * 6 / 100,
                 qPrintable(QString::number(bright)));
        // A new text taken over from the master waits while the urgent message shows.
        QString ordinary = QStringLiteral("いつもの");
        if (fromMaster) {
            ordinary = QStringLiteral("新しい");
            writeFile(QDir(master.path()).filePath(mdlCommon::SettingsFileName),
                      settings({"[ENVIRONMENT]", "txtTelop=新しい"}));
            touch(QDir(master.path()).filePath(mdlCommon::SettingsFileName), 2);
            probe.syncTick();
            QTest::qWait(1200);
            QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("地震のため閉店します"));
        }

        QTest::ignoreMessage(QtInfoMsg, "the urgent message ended");
        QFile::remove(urgent);
        QTRY_COMPARE_WITH_TIMEOUT(probe.telop(dispid::Text).toString(), ordinary, 2000);
    }

    // The schedule takes a set at its minute as Load and OK would, keeping the schedule;
    // "off" blanks the screen and its bar, and a dialog cancelled then proves no play; a missing
    // set is logged once and changes nothing, the show not even restarted. A subordinate takes its
    // master's files instead of sets, but follows "off".
    void scheduleTakesSetsAtTheirMinute_data()
    {
        QTest::addColumn<bool>("subordinate");
        QTest::newRow("stand-alone") << false;
        QTest::newRow("subordinate") << true;
    }
    void scheduleTakesSetsAtTheirMinute()
    {
        QFETCH(bool, subordinate);
        Folder folder;
        stillMovie(folder.file(QStringLiteral("ani/still.png")));
        const QStringList schedule{"[SCHEDULE]", "07:00=朝", "Mon-Fri 12:00=ない", "20:00=off"};
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings(QStringList{"[ENVIRONMENT]", "optTarget=0", "txtAnime=still.png",
                                       "txtTelop=夜"} +
                           schedule));
        // The morning's set is a slide show, so that a restart would show its picture anew.
        QVERIFY(QFile::copy(QDir(ProgramDir).filePath(QStringLiteral("img/効果無し.swf")),
                            folder.file(QStringLiteral("img/効果無し.swf"))));
        stillMovie(folder.file(QStringLiteral("img/a.png")));
        writeFile(
            folder.file(QStringLiteral("save/朝")),
            settings({"[ENVIRONMENT]", "optTarget=1", "txtAnime=効果無し.swf", "txtImg_0=a.png",
                      "txtTime=60", "txtTelop=おはよう", "[SCHEDULE]", "01:00=古い"}));
        if (subordinate)
            writeFile(folder.file(mdlCommon::NetworkFileName),
                      settings({"[NETWORK]", "lan=1", "master=/nonexistent"}));
        QDateTime now(QDate(2026, 12, 7), QTime(6, 59, 59)); // a Monday
        frmMain window(folder.path(), nullptr, [&] { return now; });
        frmMainProbe probe(window);

        window.station().scheduleTick(); // at start-up: yesterday's 20:00 "off" is in force
        QVERIFY(window.isBlank());       // the whole group goes dark, the bar too
        QVERIFY(!window.cmdEnv->isVisibleTo(&window));
        now = now.addSecs(1);
        if (!subordinate)
            QTest::ignoreMessage(QtInfoMsg, "took the set 朝 as the schedule says");
        window.station().scheduleTick();
        QVERIFY(window.cmdEnv->isVisibleTo(&window));
        if (subordinate) {
            QVERIFY(!window.isBlank());
            QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("夜"));
            return;
        }
        QVERIFY(!window.isBlank());
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("おはよう"));
        const QByteArray taken = readFile(folder.file(mdlCommon::SettingsFileName));
        QVERIFY(taken.contains(settings(schedule)));
        QVERIFY(!taken.contains(platform::toCp932(QStringLiteral("古い"))));

        QTRY_VERIFY(window.swf1->FrameNum() > 3); // the morning's show runs
        const int frame = window.swf1->FrameNum();
        now = QDateTime(QDate(2026, 12, 7), QTime(12, 0, 30));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the schedule's set ない is not in"));
        window.station().scheduleTick();
        window.station().scheduleTick();
        QVERIFY(window.swf1->FrameNum() >= frame); // the show was not restarted
        QCOMPARE(readFile(folder.file(mdlCommon::SettingsFileName)), taken);
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("おはよう"));

        // A dialog opened and cancelled in the dark proves no play for the rest of the night.
        now = QDateTime(QDate(2026, 12, 7), QTime(20, 0));
        window.station().scheduleTick();
        QVERIFY(window.isBlank());
        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        window.cmdEnv->click();
        now = QDateTime(QDate(2026, 12, 7), QTime(23, 0));
        window.station().scheduleTick();
        QTest::qWait(200);
        window.close();
        const QByteArray log = readFile(folder.file(QStringLiteral("log/play-2026-12-07.csv")));
        QVERIFY2(log.contains("\"46800.0\",\"slides\"") && !log.contains("T20:"), log.constData());
    }

    // A master folder replicated file by file: the settings arrive before their slide list.
    // The slide list that comes later is taken too, not left at the old one for good.
    void slideListArrivingLaterIsTaken()
    {
        Folder folder;
        QTemporaryDir master;
        const QDir m(master.path());
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        writeFile(m.filePath(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=2"}));
        writeFile(m.filePath(mdlCommon::SlideParamsFileName), "interface2=3000#1#v2.jpg");
        frmMain window(folder.path());
        frmMainProbe probe(window);
        probe.syncTick();

        writeFile(m.filePath(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=3"}));
        probe.syncTick();
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("3"));
        writeFile(m.filePath(mdlCommon::SlideParamsFileName), "interface2=3000#1#v3.jpg");
        probe.syncTick();
        QCOMPARE(readFile(folder.file(mdlCommon::SlideParamsFileName)),
                 QByteArray("interface2=3000#1#v3.jpg"));
    }

    // A subordinate following new pictures of its master's slide show: the old show plays on
    // until the new pictures are in the mirror, then the new list starts once, never black.
    void subordinateFollowsNewPicturesWithoutBlack()
    {
        Folder folder;
        QTemporaryDir master;
        const QDir m(master.path());
        QVERIFY(m.mkpath(QStringLiteral("img")));
        QVERIFY(QFile::copy(QDir(ProgramDir).filePath(QStringLiteral("img/効果無し.swf")),
                            m.filePath(QStringLiteral("img/効果無し.swf"))));
        for (const auto& [name, colour] : {std::pair{"a.jpg", Qt::red}, {"b.jpg", Qt::green}}) {
            QImage picture(64, 48, QImage::Format_RGB32);
            picture.fill(colour);
            QVERIFY(picture.save(m.filePath(QStringLiteral("img/") + QLatin1String(name))));
        }
        writeFile(m.filePath(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "optTarget=1", "txtAnime=効果無し.swf"}));
        writeFile(m.filePath(mdlCommon::SlideParamsFileName), "interface2=3000#1#a.jpg");
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        frmMain window(folder.path());
        frmMainProbe probe(window);
        QStringList shown;
        connect(window.swf1, &platform::movie::MoviePlayer::pictureShown, this,
                [&](const QString& path) { shown << QFileInfo(path).fileName(); });
        probe.syncTick();
        QTRY_COMPARE(probe.movie(), folder.file(QStringLiteral("mirror/img/効果無し.swf")));
        QTRY_COMPARE(shown.value(shown.size() - 1), QStringLiteral("a.jpg"));

        QTest::failOnWarning(QRegularExpression("cannot show the picture"));
        QSignalSpy restarts(window.swf1, &platform::movie::MoviePlayer::movieChanged);
        shown.clear();
        QFile::remove(m.filePath(QStringLiteral("img/a.jpg")));
        writeFile(m.filePath(mdlCommon::SlideParamsFileName), "interface2=3000#1#b.jpg");
        touch(m.filePath(mdlCommon::SettingsFileName), 2);
        probe.syncTick();
        QTRY_COMPARE(shown.value(shown.size() - 1), QStringLiteral("b.jpg"));
        QTRY_VERIFY(!probe.mirrorSyncing());
        QCOMPARE(restarts.size(), 1);
        QVERIFY2(!shown.contains(QString()), qPrintable(shown.join(u',')));
    }

    // Play on from the mirror: a subordinate copies what it plays from its master and plays
    // from the copy, at once and after a restart while the master is gone; when the master
    // comes back, the subordinate follows it again.
    void playsOnFromTheMirror()
    {
        Folder folder;
        auto master = std::make_unique<QTemporaryDir>();
        const QString masterPath = master->path();
        const QDir m(masterPath);
        QVERIFY(m.mkpath(QStringLiteral("ani")));
        stillMovie(m.filePath(QStringLiteral("ani/still.png")));
        writeFile(
            m.filePath(mdlCommon::SettingsFileName),
            settings({"[ENVIRONMENT]", "optTarget=0", "txtAnime=still.png", "txtTelop=親機"}));
        writeFile(m.filePath(mdlCommon::SlideParamsFileName), "interface2=3000#0");
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + masterPath}));
        const QString mirrored = folder.file(QStringLiteral("mirror/ani/still.png"));
        {
            frmMain window(folder.path());
            frmMainProbe probe(window);
            probe.syncTick();
            QTRY_VERIFY(QFile::exists(mirrored) && !probe.mirrorSyncing());
            QTRY_COMPARE(probe.movie(), mirrored);
        }
        // The master's share is gone: the player starts and plays from its mirror.
        const QString away = masterPath + QStringLiteral("-away");
        QVERIFY(QDir().rename(masterPath, away));
        {
            frmMain window(folder.path());
            frmMainProbe probe(window);
            QCOMPARE(probe.movie(), mirrored);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot reach the master"));
            probe.syncTick();
            QCOMPARE(probe.movie(), mirrored);
            QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("親機"));

            // Back, with a change: followed at the next tick.
            QVERIFY(QDir().rename(away, masterPath));
            writeFile(m.filePath(mdlCommon::SettingsFileName),
                      settings({"[ENVIRONMENT]", "optTarget=0", "txtAnime=still.png",
                                "txtTelop=戻った"}));
            touch(m.filePath(mdlCommon::SettingsFileName), 2);
            probe.syncTick();
            QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("戻った"));
        }
    }

    // A stand-alone PC never copies anything, whatever the network file names.
    void standAloneNeverCopies()
    {
        Folder folder;
        QTemporaryDir master;
        writeFile(QDir(master.path()).filePath(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=親機"}));
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=0", "master=" + master.path()}));
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=local"}));
        frmMain window(folder.path());
        for (int i = 0; i < 3; ++i)
            window.timIntval_Timer();
        QCOMPARE(readFile(folder.file(mdlCommon::SettingsFileName)),
                 settings({"[ENVIRONMENT]", "txtTelop=local"}));
    }

    // The animation watch: a movie standing on one frame is restarted every second tick; the
    // slide show is never restarted.
    void animationWatch_data()
    {
        QTest::addColumn<QString>("optTarget");
        QTest::addColumn<QList<int>>("lastFrames");
        QTest::newRow("one-frame animation") << "0" << QList<int>{1, 0, 1, 0};
        QTest::newRow("slide show") << "1" << QList<int>{0, 0, 0, 0};
    }
    void animationWatch()
    {
        QFETCH(QString, optTarget);
        QFETCH(QList<int>, lastFrames);
        Folder folder;
        stillMovie(folder.file(QStringLiteral("ani/still.png")));
        stillMovie(folder.file(QStringLiteral("img/still.png")));
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "optTarget=" + optTarget, "txtAnime=still.png"}));
        frmMain window(folder.path());
        QList<int> seen;
        for (int i = 0; i < lastFrames.size(); ++i) {
            window.timIntval_Timer();
            seen << frmMainProbe(window).intLastFrame();
        }
        QCOMPARE(seen, lastFrames);
    }

    // The watch remembers the frame it read, so a playing movie is left alone.
    void animationWatchRemembersTheFrame()
    {
        Folder folder;
        QVERIFY(QFile::copy(QDir(Fixtures).filePath(QStringLiteral("timeline6.swf")),
                            folder.file(QStringLiteral("ani/timeline6.swf"))));
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "optTarget=0", "txtAnime=timeline6.swf"}));
        frmMain window(folder.path());
        window.timIntval.setInterval(0); // only the ticks below
        window.resize(400, 300);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.swf1->FrameNum() > 2, 15000);
        const int frame = window.swf1->FrameNum();
        window.timIntval_Timer();
        QCOMPARE(frmMainProbe(window).intLastFrame(), frame);
    }

    // The window's own dots replace the design-time ones at start-up: on.bmp lit, off.bmp
    // unlit.
    void dotPicturesComeFromTheProgramFolder()
    {
        Folder folder;
        for (const auto& [name, colour] :
             {std::pair{"on.bmp", qRgb(255, 0, 0)}, std::pair{"off.bmp", qRgb(0, 0, 255)}}) {
            QImage dot(5, 5, QImage::Format_RGB32);
            dot.fill(colour);
            QFile::remove(folder.file(QLatin1String(name)));
            QVERIFY(dot.save(folder.file(QLatin1String(name)), "BMP"));
        }
        frmMain window(folder.path());
        frmMainProbe probe(window);
        const auto pixel = [&](int id) {
            return probe.telop(id).value<QPixmap>().toImage().pixel(2, 2);
        };
        QCOMPARE(pixel(dispid::FrontBmp), qRgb(255, 0, 0));
        QCOMPARE(pixel(dispid::BackBmp), qRgb(0, 0, 255));
    }

    // The bar holds the key focus whenever the window becomes active, so Escape works.
    void barTakesTheFocusOnActivation()
    {
        Folder folder;
        frmMain window(folder.path());
        window.resize(1024, 768);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_VERIFY(window.picBar->hasFocus());
        // Another window takes the activation (a dialog, a desktop's panel) while the key
        // focus inside the player moves elsewhere, then the player gets it back.
        QWidget other;
        other.resize(100, 100);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        window.txtDmy->show();
        window.txtDmy->setFocus();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_VERIFY(window.picBar->hasFocus());
    }

    // A take-over the program folder can not store is no take-over: the stamp stays, and the
    // next look tries again.
    void takeOverThatCannotBeStoredIsRetried()
    {
        Folder folder;
        QTemporaryDir master;
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=local"}));
        writeFile(QDir(master.path()).filePath(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=親機"}));
        writeFile(QDir(master.path()).filePath(mdlCommon::SlideParamsFileName),
                  "interface2=3000#0");
        QDir(folder.path()).rmdir(QStringLiteral("img"));
        frmMain window(folder.path());
        frmMainProbe probe(window);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*swfpara.txt"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot store the master's"));
        probe.syncTick();
        QCOMPARE(probe.strLastStamp(), QString());
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("local"));
        QCOMPARE(readFile(folder.file(mdlCommon::SettingsFileName)),
                 settings({"[ENVIRONMENT]", "txtTelop=local"}));

        QDir(folder.path()).mkpath(QStringLiteral("img"));
        probe.syncTick();
        QVERIFY(!probe.strLastStamp().isEmpty());
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("親機"));
    }

    // A changed master folder in the network file takes effect at the next change seen.
    void newMasterFolderIsReadAtAChange()
    {
        Folder folder;
        QTemporaryDir first;
        QTemporaryDir second;
        for (const auto& [dir, text] :
             {std::pair{&first, "一台目"}, std::pair{&second, "二台目"}}) {
            writeFile(QDir(dir->path()).filePath(mdlCommon::SettingsFileName),
                      settings({"[ENVIRONMENT]", QStringLiteral("txtTelop=") + text}));
            writeFile(QDir(dir->path()).filePath(mdlCommon::SlideParamsFileName),
                      "interface2=3000#0");
        }
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + first.path()}));
        frmMain window(folder.path());
        frmMainProbe probe(window);
        probe.syncTick();
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("一台目"));

        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + second.path()}));
        touch(QDir(first.path()).filePath(mdlCommon::SettingsFileName), 2);
        probe.syncTick();
        QCOMPARE(probe.strBasePath(), second.path());
        QCOMPARE(probe.telop(dispid::Text).toString(), QStringLiteral("二台目"));
    }

    // Escape on the bar ends the program; elsewhere it does nothing.
    void escapeEndsOnlyOnTheBar()
    {
        Folder folder;
        frmMain window(folder.path());
        window.resize(1024, 768);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy ended(&window, &frmMain::programEnded);
        QTest::keyClick(window.txtDmy, Qt::Key_Escape);
        QTest::keyClick(window.swf1, Qt::Key_Escape);
        QCOMPARE(ended.count(), 0);
        QTest::keyClick(window.picBar, Qt::Key_A);
        QCOMPARE(ended.count(), 0);
        QTest::keyClick(window.picBar, Qt::Key_Escape);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(window.timIntval.interval(), 0);
    }

    // The settings command stops the supervision while the dialog is open; closing the dialog
    // (here by its title bar) restarts it.
    void settingsCommandStopsTheSupervision()
    {
        Folder folder;
        frmMain window(folder.path());
        int intervalWhileOpen = -1;
        QTimer::singleShot(0, this, [&] {
            intervalWhileOpen = window.timIntval.interval();
            QApplication::activeModalWidget()->close();
        });
        window.cmdEnv_Click();
        QCOMPARE(intervalWhileOpen, 0);
        QCOMPARE(window.timIntval.interval(), 1000);
    }

    // The design sits at its pixels on a 1024 x 768 screen and scales on others.
    void layout_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("telop");
        QTest::addColumn<QRect>("flash");
        QTest::newRow("1024 x 768")
            << QSize(1024, 768) << QRect(18, 648, 1016, 120) << QRect(16, 0, 1016, 647);
        QTest::newRow("1920 x 1080")
            << QSize(1920, 1080) << QRect(34, 911, 1905, 169) << QRect(30, 0, 1905, 910);
    }
    void layout()
    {
        QFETCH(QSize, screen);
        QFETCH(QRect, telop);
        QFETCH(QRect, flash);
        Folder folder;
        frmMain window(folder.path());
        window.resize(screen);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), screen);
        QCOMPARE(window.stvTelop->geometry(), telop);
        QCOMPARE(window.swf1->geometry(), flash);
    }

    // On a 1024 x 768 screen the shipped 5 x 5 dots make square cells of 10 x 10 pixels: the
    // board repeats every 10 pixels across and down, and not every 5. The screenshot is kept
    // in the build folder.
    void telopCellsAreSquare()
    {
        Folder folder;
        writeFile(folder.file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "txtTelop=営業中"}));
        frmMain window(folder.path());
        window.resize(1024, 768);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage screen = window.grab().toImage();
        screen.save(QStringLiteral(BUILD_DIR "/telop-board.png"));
        // As Qt draws the telop, and as the screen shows it (the X server draws it there).
        const auto onScreen = [&] {
            return window.screen()
                ->grabWindow(window.winId())
                .toImage()
                .copy(window.stvTelop->geometry())
                .convertToFormat(QImage::Format_RGB32);
        };
        for (const QImage& board : {window.stvTelop->grab().toImage(), onScreen()}) {
            const QRect unlit(450, 0, 500, 100); // right of the text
            const auto repeats = [&](int dx, int dy) {
                for (int y = unlit.top(); y <= unlit.bottom(); ++y)
                    for (int x = unlit.left(); x <= unlit.right(); ++x)
                        if (board.pixel(x, y) != board.pixel(x + dx, y + dy))
                            return false;
                return true;
            };
            QVERIFY(repeats(10, 0));
            QVERIFY(repeats(0, 10));
            QVERIFY(!repeats(5, 0));
            QVERIFY(!repeats(0, 5));
        }
        // A new text and new dots reach the screen at once, as Qt would paint them.
        window.stvTelop->call(dispid::Action, {0}); // stands still
        QImage red(5, 5, QImage::Format_RGB32);
        red.fill(qRgb(255, 0, 0));
        window.stvTelop->putPropertyRef(dispid::FrontBmp, QPixmap::fromImage(red));
        window.stvTelop->putProperty(dispid::Text, QStringLiteral("本日閉店"));
        // Only what the screen shows of it counts: the board reaches past the window's right
        // edge, and the bar at the left covers its first pixels.
        QRect shown(QPoint(), (window.stvTelop->geometry() & window.rect()).size());
        shown.setLeft(window.picBar->geometry().right() + 1 - window.stvTelop->x());
        QTRY_COMPARE_WITH_TIMEOUT(
            onScreen().copy(shown),
            window.stvTelop->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(shown),
            2000);
    }

    // A two-folder group: the subordinate shows the master's new telop text within 1.5 s.
    void subordinateFollowsWithinASecondAndAHalf()
    {
        Folder folder;
        QTemporaryDir master;
        const QString masterSettings = QDir(master.path()).filePath(mdlCommon::SettingsFileName);
        writeFile(folder.file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=" + master.path()}));
        writeFile(masterSettings, settings({"[ENVIRONMENT]", "txtTelop=最初"}));
        writeFile(QDir(master.path()).filePath(mdlCommon::SlideParamsFileName),
                  "interface2=3000#0");
        frmMain window(folder.path());
        frmMainProbe probe(window);
        QTRY_COMPARE_WITH_TIMEOUT(probe.telop(dispid::Text).toString(), QStringLiteral("最初"),
                                  1500);

        writeFile(masterSettings, settings({"[ENVIRONMENT]", "txtTelop=変更"}));
        touch(masterSettings, 2);
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(probe.telop(dispid::Text).toString(), QStringLiteral("変更"),
                                  1500);
        qInfo() << "the subordinate followed after" << clock.elapsed() << "ms";
    }
};

int main(int argc, char* argv[])
{
    platform::movie::prepareWebEngine();
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    TestFrmMain test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_frmmain.moc"
