// Lumaret: the advertising display player.

#include "ExitSignals.h"
#include "frmMain.h"

#include "movie/WebEngineSetup.h"
#include "runtime/FontNames.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    platform::movie::prepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumaret"));
    platform::installFontSubstitutions();

    frmMain window;
    QObject::connect(&window, &frmMain::programEnded, &app, &QApplication::quit);
    ExitSignals exitSignals;
    QObject::connect(&exitSignals, &ExitSignals::exitRequested, &window, &frmMain::cmdEnd_Click);
    window.showFullScreen();
    return app.exec();
}
