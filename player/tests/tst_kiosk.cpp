// The player as a Wayland kiosk session: the real program under a kiosk compositor (headless,
// 1280 x 720), as a user of its own. It must fill the output, lay its telop out for it and
// scroll it, and show its presentation. Skipped where the compositor is not installed.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

const QString ProgramDir = QStringLiteral(PROGRAM_DIR);
constexpr uid_t Nobody = 65534; // the compositor refuses to run as root

bool isGreenDot(QRgb pixel)
{
    return qGreen(pixel) > 160 && qRed(pixel) < 100 && qBlue(pixel) < 100;
}

// Lit dots in the band of rows [top, bottom) of the shot.
int litDots(const QImage& shot, int top, int bottom)
{
    int lit = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < shot.width(); x += 2)
            lit += isGreenDot(shot.pixel(x, y));
    return lit;
}

} // namespace

class TestKiosk : public QObject
{
    Q_OBJECT

private slots:
    void fillsTheOutputAndPlays()
    {
        for (const char* tool : {"cage", "grim", "setpriv"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP("cage, grim or setpriv is missing (scripts/install-deps installs them)");
        QTemporaryDir home;
        const QString runtime = home.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(runtime));
        QStringList run;
        if (::geteuid() == 0) {
            for (const QString& path : {home.path(), runtime})
                QVERIFY(::chown(QFile::encodeName(path).constData(), Nobody, Nobody) == 0);
            run << QStringLiteral("setpriv") << QStringLiteral("--reuid=65534")
                << QStringLiteral("--regid=65534") << QStringLiteral("--clear-groups");
        }
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QT_FONT_DPI"})
            environment.remove(QLatin1String(name));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        QProcess kiosk;
        kiosk.setProcessEnvironment(environment);
        kiosk.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        kiosk.setStandardOutputFile(QProcess::nullDevice());
        run << QStringLiteral("cage") << QStringLiteral("--")
            << QDir(ProgramDir).filePath(QStringLiteral("lumaret"));
        kiosk.start(run.takeFirst(), run);
        QVERIFY(kiosk.waitForStarted());

        // Shots once a second: the telop's band must be lit and change (it scrolls), the
        // presentation must show, and the window must fill the output.
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
        const QString shotPath = home.filePath(QStringLiteral("shot.png"));
        QImage previous;
        bool scrolled = false, presented = false, filled = false;
        for (int second = 0; second < 60 && !(scrolled && presented && filled); ++second) {
            QTest::qWait(1000);
            QProcess grim;
            grim.setProcessEnvironment(environment);
            grim.start(QStringLiteral("grim"), {shotPath});
            if (!grim.waitForFinished(10000) || grim.exitCode() != 0)
                continue;
            const QImage shot(shotPath);
            if (shot.size() != QSize(1280, 720))
                continue;
            const QImage telop = shot.copy(0, 620, 1280, 100);
            // The whole board is on the output: lit dots in its lowest text rows as well.
            filled = litDots(shot, 600, 720) > 200 && litDots(shot, 690, 720) > 20;
            scrolled = scrolled || (!previous.isNull() && telop != previous && filled);
            previous = telop;
            const QRgb middle = shot.pixel(640, 300);
            presented = presented || qRed(middle) + qGreen(middle) + qBlue(middle) > 120;
        }
        if (kiosk.processId() > 0) // 0 would signal this test's own process group
            ::kill(pid_t(kiosk.processId()), SIGTERM);
        kiosk.waitForFinished(15000);
        QVERIFY2(filled, "the telop's board is not laid out for the whole output");
        QVERIFY2(scrolled, "the telop does not scroll");
        QVERIFY2(presented, "the presentation does not show");
    }
};

QTEST_GUILESS_MAIN(TestKiosk)
#include "tst_kiosk.moc"
