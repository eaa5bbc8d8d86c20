// Lumaret: the advertising display player.

#include "ExitSignals.h"
#include "frmMain.h"

#include "movie/WebEngineSetup.h"
#include "runtime/FontNames.h"

#include <QApplication>
#include <QLoggingCategory>

int main(int argc, char* argv[])
{
    // The journal holds what a person needs: state changes and failures. Routine (the web
    // player's console, each movie restart) is debug, shown only when QT_LOGGING_RULES asks.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    platform::movie::prepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumaret"));
    platform::installFontSubstitutions();

    frmMain window;
    // The exit command may come before the main loop runs (a close request handled while the
    // window is being shown); QApplication::quit() would then be lost.
    bool ended = false;
    QObject::connect(&window, &frmMain::programEnded, &app, [&ended] {
        ended = true;
        QApplication::exit(0);
    });
    ExitSignals exitSignals;
    QObject::connect(&exitSignals, &ExitSignals::exitRequested, &window, &frmMain::cmdEnd_Click);
    window.showFullScreen();
    return ended ? 0 : app.exec();
}
