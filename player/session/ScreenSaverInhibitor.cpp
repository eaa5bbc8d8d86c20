#include "session/ScreenSaverInhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>

#include <optional>

Q_LOGGING_CATEGORY(lcScreen, "lumaret.screen")

namespace {

const QString Service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString Path = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int CallTimeoutMs = 3000;

QDBusMessage screenSaverCall(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, method);
    call.setArguments(arguments);
    return call;
}

// Runs xset with the arguments; its output, or nullopt when it did not run to a good end.
std::optional<QString> xset(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("xset"), arguments);
    if (!process.waitForFinished(CallTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

} // namespace

ScreenSaverInhibitor::ScreenSaverInhibitor()
{
    if (inhibitThroughSession()) {
        m_means = Means::SessionService;
        qCInfo(lcScreen) << "the screen is kept on through the session's screen-saver service";
    } else if (inhibitThroughXServer()) {
        m_means = Means::XServer;
        qCInfo(lcScreen) << "the screen is kept on: X screen saver and power saving off (xset)";
    } else {
        qCWarning(lcScreen) << "nothing keeps the screen from blanking: no screen-saver service"
                            << "in the session, and xset could not turn it off";
    }
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    if (m_means == Means::SessionService) {
        QDBusConnection::sessionBus().call(screenSaverCall(QStringLiteral("UnInhibit"), {m_cookie}),
                                           QDBus::Block, CallTimeoutMs);
    } else if (m_means == Means::XServer) {
        QStringList restore{QStringLiteral("s")};
        restore += m_savedSaver.split(u' ');
        xset(restore);
        if (m_dpmsWasEnabled)
            xset({QStringLiteral("+dpms")});
    }
}

bool ScreenSaverInhibitor::inhibitThroughSession()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(Service).value())
        return false;
    const QDBusReply<quint32> reply = bus.call(
        screenSaverCall(QStringLiteral("Inhibit"),
                        {QStringLiteral("Lumaret"), QStringLiteral("showing the presentation")}),
        QDBus::Block, CallTimeoutMs);
    if (!reply.isValid()) {
        qCWarning(lcScreen).noquote()
            << "the session's screen-saver service refused:" << reply.error().message();
        return false;
    }
    m_cookie = reply.value();
    return true;
}

bool ScreenSaverInhibitor::inhibitThroughXServer()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    const std::optional<QString> state = xset({QStringLiteral("q")});
    if (!state)
        return false;
    const QRegularExpressionMatch saver =
        QRegularExpression(QStringLiteral("timeout:\\s*(\\d+)\\s+cycle:\\s*(\\d+)")).match(*state);
    m_savedSaver =
        saver.hasMatch() ? saver.captured(1) + u' ' + saver.captured(2) : QStringLiteral("default");
    m_dpmsWasEnabled = state->contains(QLatin1String("DPMS is Enabled"));
    return xset({QStringLiteral("s"), QStringLiteral("off"), QStringLiteral("-dpms")}).has_value();
}
