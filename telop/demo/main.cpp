// Demo host: a window with one telop, set up the way the player sets up its own. The telop is
// created by its ProgID, loaded from the design-time properties in a property bag, and from
// then on driven only by dispatch identifier: motion, speed, dot bitmaps from the program
// folder, and a text.
//
//   strovel-demo [--screenshot FILE] [--seconds N]
//
// With --screenshot the demo runs N seconds (default 4), saves what the screen shows of its
// window to FILE, prints the path and quits.

#include "StrovelIds.h"

#include "com/ControlHost.h"
#include "com/PropertyBag.h"
#include "runtime/FontNames.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

const QString DemoText = QStringLiteral(
    "本日はご来店いただき誠にありがとうございます。　ただいま店内全品２割引セールを開催中です。"
    "　お買い得品は入口横の特設コーナーにございます。　営業時間は午前１０時から午後８時までです。");

QPixmap programFolderPicture(const QString& name)
{
    return QPixmap(QDir(QCoreApplication::applicationDirPath()).filePath(name));
}

// The properties the player's window stores for its telop: font and the 5 x 5 dots.
platform::PropertyBag designTimeProperties()
{
    platform::PropertyBag bag;
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPointSizeF(9);
    bag.WriteProperty(QStringLiteral("text"), QStringLiteral("Strovel"));
    bag.WriteProperty(QStringLiteral("font"), font);
    bag.WriteProperty(QStringLiteral("frontbmp"), programFolderPicture(QStringLiteral("on.bmp")));
    bag.WriteProperty(QStringLiteral("backbmp"), programFolderPicture(QStringLiteral("off.bmp")));
    return bag;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("screenshot"),
                      QStringLiteral("Save a screenshot to <file> and quit."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("Seconds before the screenshot."),
                      QStringLiteral("n"), QStringLiteral("4")});
    parser.process(app);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Strovel"));
    window.setStyleSheet(QStringLiteral("background: black"));
    window.setFixedSize(1024, 128);

    namespace dispid = strovel::dispid;
    platform::com::ControlHost stvTelop(&window);
    stvTelop.setGeometry(4, 4, 1016, 120);
    const platform::PropertyBag design = designTimeProperties();
    if (platform::com::failed(stvTelop.createControl(QLatin1String(strovel::ProgId), &design))) {
        std::fprintf(stderr, "strovel-demo: cannot create %s\n", strovel::ProgId);
        return 1;
    }
    stvTelop.call(dispid::Action, {int(2)}); // right to left
    stvTelop.putProperty(dispid::Interval, 40);
    stvTelop.putProperty(dispid::MoveCount, 1);
    stvTelop.putPropertyRef(dispid::FrontBmp, programFolderPicture(QStringLiteral("on.bmp")));
    stvTelop.putPropertyRef(dispid::BackBmp, programFolderPicture(QStringLiteral("off.bmp")));
    stvTelop.setVisible(true);
    stvTelop.putProperty(dispid::Text, DemoText);
    window.show();

    if (parser.isSet(QStringLiteral("screenshot"))) {
        const QString file = parser.value(QStringLiteral("screenshot"));
        const int seconds = parser.value(QStringLiteral("seconds")).toInt();
        QTimer::singleShot(seconds * 1000, &app, [&] {
            const QPixmap shot = window.screen()->grabWindow(window.winId());
            if (!shot.save(file)) {
                std::fprintf(stderr, "strovel-demo: could not save %s\n", qPrintable(file));
                app.exit(1);
                return;
            }
            std::printf("%s\n", qPrintable(QFileInfo(file).absoluteFilePath()));
            app.quit();
        });
    }
    return app.exec();
}
