// Player window benchmark, run by hand on a (virtual) display:
//   start of the process to the first drawn telop frame (program folder build/Lumaret);
//   one supervision tick, stand-alone and on a subordinate whose master is unchanged;
//   a change of the master's settings to the subordinate showing the new telop text.

#include "StrovelIds.h"
#include "frmMain.h"
#include "mdlCommon.h"

#include "com/ComRuntime.h"
#include "com/ControlHost.h"
#include "movie/WebEngineSetup.h"
#include "runtime/FontNames.h"
#include "text/Cp932.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

const QString ProgramDir = QStringLiteral(PROGRAM_DIR);

// Seconds since this process started.
double secondsSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat")), uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = stat.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    const double startedAt = fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    return uptime.readAll().split(' ').value(0).toDouble() - startedAt;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QByteArray settings(const QString& text)
{
    return platform::toCp932(
        QStringLiteral("[ENVIRONMENT]\r\noptTarget=1\r\ntxtAnime=dummy.swf\r\ntxtTelop=%1\r\n")
            .arg(text));
}

// Microseconds a tick takes, averaged.
double tickMicroseconds(frmMain& window, int runs)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < runs; ++i)
        window.timIntval_Timer();
    return double(clock.nsecsElapsed()) / 1000 / runs;
}

struct PaintWatch : QObject
{
    double firstPaintAt = -1;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && firstPaintAt < 0)
            firstPaintAt = secondsSinceProcessStart();
        return false;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    platform::movie::prepareWebEngine();
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    platform::com::setHostProgramFolder(ProgramDir);

    {
        frmMain window(ProgramDir);
        PaintWatch watch;
        window.stvTelop->controlWindow()->installEventFilter(&watch);
        window.showFullScreen();
        while (watch.firstPaintAt < 0)
            waitMs(5);
        std::printf("process start to the first drawn telop frame: %.0f ms\n",
                    watch.firstPaintAt * 1000);
        window.timIntval.setInterval(0);
        std::printf("tick, stand-alone: %.1f us\n", tickMicroseconds(window, 200));
    }

    QTemporaryDir folder, master;
    QFile::copy(QDir(ProgramDir).filePath(QStringLiteral("on.bmp")),
                folder.filePath(QStringLiteral("on.bmp")));
    QFile::copy(QDir(ProgramDir).filePath(QStringLiteral("off.bmp")),
                folder.filePath(QStringLiteral("off.bmp")));
    QFile::link(QDir(ProgramDir).filePath(QStringLiteral("ruffle")),
                folder.filePath(QStringLiteral("ruffle")));
    QDir(folder.path()).mkpath(QStringLiteral("img"));
    const QString masterSettings = QDir(master.path()).filePath(mdlCommon::SettingsFileName);
    writeFile(folder.filePath(mdlCommon::NetworkFileName),
              QStringLiteral("[NETWORK]\r\nlan=1\r\nmaster=%1\r\n").arg(master.path()).toUtf8());
    writeFile(masterSettings, settings(QStringLiteral("0")));
    writeFile(QDir(master.path()).filePath(mdlCommon::SlideParamsFileName), "interface2=3000#0");
    frmMain window(folder.path());
    window.show();
    waitMs(1500); // the first tick takes the master's settings over
    window.timIntval.setInterval(0);
    std::printf("tick, subordinate with an unchanged master: %.1f us\n",
                tickMicroseconds(window, 200));

    window.timIntval.setInterval(1000);
    QStringList followed;
    for (int change = 1; change <= 5; ++change) {
        waitMs(300 + change * 170); // changes fall at different points of the tick
        const QString text = QStringLiteral("change %1").arg(change);
        QElapsedTimer clock;
        clock.start();
        writeFile(masterSettings, settings(text));
        QFile touched(masterSettings);
        touched.open(QIODevice::ReadWrite);
        touched.setFileTime(QDateTime::currentDateTime().addSecs(change * 2),
                            QFileDevice::FileModificationTime);
        touched.close();
        QVariant shown;
        while (clock.elapsed() < 5000) {
            window.stvTelop->getProperty(strovel::dispid::Text, &shown);
            if (shown.toString() == text)
                break;
            waitMs(5);
        }
        followed << QString::number(clock.elapsed());
    }
    std::printf("master changed to subordinate showing the new text: %s ms\n",
                qPrintable(followed.join(u' ')));
    return 0;
}
