// Lumaret: the advertising display player.

#include "GroupPage.h"
#include "frmMain.h"

#include "session/ExitSignals.h"
#include "session/ProgramFolder.h"
#include "session/ScreenSaverInhibitor.h"

#include "com/ComRuntime.h"
#include "movie/WebEngineSetup.h"
#include "runtime/FontNames.h"
#include "runtime/Translations.h"
#include "text/Printable.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#include <cstdio>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

namespace {

struct Options
{
    QString folder;              // the program folder asked for, or ""
    std::optional<int> exitCode; // set when the program ends right away (--help, --version)
};

// The exit statuses of --group.
enum GroupExit
{
    GroupFine = 0,
    GroupProblem = 1,  // a PC's report is broken or stale, a master is gone, a name shared
    GroupNoFolder = 2, // the folder is not there
    GroupNoReport = 3, // the folder holds no report
};

// Prints the reports of the group as a table.
int printGroup(const QString& folder)
{
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "lumaret: no folder %s\n", qPrintable(platform::printable(folder)));
        return GroupNoFolder;
    }
    const QString reports = QDir(folder).exists(QStringLiteral("status"))
                                ? QDir(folder).filePath(QStringLiteral("status"))
                                : folder;
    const QDateTime now = QDateTime::currentDateTime();
    const QList<group::Report> found = group::readReports(reports);
    if (found.isEmpty()) {
        std::fprintf(stderr, "lumaret: no status report in %s\n",
                     qPrintable(platform::printable(reports)));
        return GroupNoReport;
    }
    int leftOut = 0;
    const QList<group::Report> recent = group::recentReports(found, now, &leftOut);
    std::fputs(qPrintable(group::groupTable(recent, now)), stdout);
    if (leftOut > 0)
        std::fprintf(stderr, "lumaret: %d PCs without a report for over 7 days are left out\n",
                     leftOut);
    const bool fine =
        std::none_of(recent.begin(), recent.end(), [&](const auto& r) { return r.isProblem(now); });
    return fine ? GroupFine : GroupProblem;
}

// Reads the command line. Options it does not know are logged and passed over: a display in
// a shop must start whatever a start script adds.
Options readOptions(int argc, char* argv[])
{
    QCoreApplication reader(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumaret"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMARET_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lumaret, the advertising display player: a presentation with a scrolling telop "
        "below it, full screen."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption folder(
        QStringLiteral("folder"),
        QStringLiteral("The program folder: settings, pictures and movies (default: "
                       "LUMARET_FOLDER, else the program's own folder when it holds the "
                       "content and is writable, else $XDG_DATA_HOME/lumaret, made from the "
                       "installed content on the first start)."),
        QStringLiteral("DIR"));
    parser.addOption(folder);
    const QCommandLineOption group(
        QStringLiteral("group"),
        QStringLiteral("Print the group's status reports as a table and exit: those in "
                       "FOLDER's status folder (or FOLDER itself), else in the program "
                       "folder's. Exits with 1 when a PC needs a look (its report is "
                       "stale or broken, it has been without its master for over a minute, "
                       "or another machine reports under its name), 2 when there is no such "
                       "folder, 3 when it holds no report."));
    parser.addOption(group);
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("With --group: where the reports are."),
                                 QStringLiteral("[FOLDER]"));
    Options options;
    if (!parser.parse(QCoreApplication::arguments()))
        std::fprintf(stderr, "lumaret: %s; starting anyway\n", qPrintable(parser.errorText()));
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        options.exitCode = 0;
    } else if (parser.isSet(version)) {
        std::printf("lumaret %s\n", LUMARET_VERSION);
        options.exitCode = 0;
    }
    options.folder =
        parser.isSet(folder) ? parser.value(folder) : qEnvironmentVariable("LUMARET_FOLDER");
    if (!options.exitCode && parser.isSet(group)) {
        const QStringList given = parser.positionalArguments();
        const QString where = !given.isEmpty() ? given.first() : options.folder;
        options.exitCode = printGroup(
            where.isEmpty()
                ? programfolder::choose(
                      {}, programfolder::findInstalled(QCoreApplication::applicationDirPath()),
                      programfolder::dataHome())
                : where);
    }
    return options;
}

// Under a Wayland compositor (a kiosk session) the web engine's software rendering shows
// nothing through Qt's Wayland platform, while the compositor's X server (XWayland) shows it
// all: the player goes through that unless a platform was chosen. True when it does.
bool preferXWayland()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ||
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

// A connection to the display, closed when it goes out of scope.
using DisplayHold = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

// A user unit may start the player before the desktop's X server takes clients. The player
// waits for it, with a log line now and then, instead of aborting at once and being started
// again in a loop. The connection that found the display is handed back to be kept until Qt
// has its own: a bare X server with no other client resets when its last one leaves, and
// refuses Qt's connection while it does.
DisplayHold waitForDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY");
    if ((!platform.isEmpty() && !platform.startsWith("xcb")) || display.isEmpty())
        return {nullptr, &xcb_disconnect}; // another platform, or none: Qt says what is missing
    for (int attempt = 0;; ++attempt) {
        DisplayHold connection(xcb_connect(display.constData(), nullptr), &xcb_disconnect);
        if (xcb_connection_has_error(connection.get()) == 0) {
            if (attempt > 0)
                qInfo("the display %s is there", display.constData());
            return connection;
        }
        if (attempt % 60 == 0)
            qWarning("waiting for the display %s, which does not take clients yet",
                     display.constData());
        QThread::sleep(1);
    }
}

// A folder for files of this user alone: the session's runtime folder, else the shared one.
QString privateTemp()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
}

} // namespace

int main(int argc, char* argv[])
{
    const Options options = readOptions(argc, argv);
    if (options.exitCode)
        return *options.exitCode;

    // The journal holds what a person needs: state changes and failures. Routine (the web
    // player's console, each movie restart) is debug, shown only when QT_LOGGING_RULES asks.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    platform::movie::prepareWebEngine();
    const bool throughXWayland = preferXWayland();
    DisplayHold displayFound = waitForDisplay();
    QApplication app(argc, argv);
    displayFound.reset();
    if (throughXWayland)
        qInfo("a Wayland session: the player shows through its X server (XWayland)");
    QApplication::setApplicationName(QStringLiteral("Lumaret"));
    QApplication::setApplicationVersion(QStringLiteral(LUMARET_VERSION));
    platform::installFontSubstitutions();
    platform::installJapaneseQtTranslations();
    // The screen stays on while the player runs, except while its schedule blanks it.
    std::optional<ScreenSaverInhibitor> screenStaysOn;
    screenStaysOn.emplace();

    // The telop control: beside the program in a build, with the system's libraries when
    // installed.
    platform::com::addServerLibrary(QStringLiteral(STROVEL_LIBRARY_FILE));
    const programfolder::Installed installed =
        programfolder::findInstalled(QCoreApplication::applicationDirPath());
    const QString folder =
        programfolder::choose(options.folder, installed, programfolder::dataHome());
    const QString used = programfolder::prepare(folder, installed)
                             ? folder
                             : programfolder::fallback(installed, privateTemp());
    qInfo().noquote() << "program folder:" << used
                      << (used == installed.content
                              ? QString()
                              : QStringLiteral("(installed content in %1)").arg(installed.content));
    frmMain window(used);
    QObject::connect(&window, &frmMain::screenMayBlank, &app, [&screenStaysOn](bool allowed) {
        if (allowed)
            screenStaysOn.reset();
        else if (!screenStaysOn)
            screenStaysOn.emplace();
    });
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
