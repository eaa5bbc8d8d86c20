#include "movie/WebEngineSetup.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcWebEngine, "lumaret.movie.web")

namespace platform::movie {

namespace {

bool hasGpu()
{
    return !QDir(QStringLiteral("/dev/dri"))
                .entryList({QStringLiteral("renderD*")}, QDir::System)
                .isEmpty();
}

void appendFlag(QByteArray& flags, const char* flag)
{
    if (!flags.contains(flag))
        flags += QByteArray(flags.isEmpty() ? "" : " ") + flag;
}

} // namespace

void prepareWebEngine()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    appendFlag(flags, "--autoplay-policy=no-user-gesture-required");
    // Movies get no peer-to-peer connections: without UDP, WebRTC sends nothing anywhere.
    appendFlag(flags, "--force-webrtc-ip-handling-policy=disable_non_proxied_udp");
    if (geteuid() == 0) {
        qCWarning(lcWebEngine)
            << "running as root: the web player's process runs without its sandbox; "
               "run the player as an ordinary user";
        appendFlag(flags, "--no-sandbox");
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    if (!hasGpu()) {
        appendFlag(flags, "--disable-gpu");
        if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
            qputenv("QT_QUICK_BACKEND", "software");
        // The engine makes an OpenGL context shared by all windows as soon as the application
        // object exists: without a GPU that loads a software OpenGL driver of some 50 MiB into
        // every run, although nothing here draws with OpenGL. Without OpenGL on the X
        // connection it stays a context that never came to be.
        if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
            qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    // The web engine's library is opened only when a movie needs it, after the application
    // object exists; the context it shares its drawing through must be made with that object.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace platform::movie
