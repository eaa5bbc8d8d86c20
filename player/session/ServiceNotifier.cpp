#include "session/ServiceNotifier.h"

#include <QLoggingCategory>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcService, "lumaret.service")

namespace {

// The watchdog time in microseconds, when the manager set one for this process.
qint64 watchdogMicroseconds()
{
    const QByteArray forPid = qgetenv("WATCHDOG_PID");
    if (!forPid.isEmpty() && forPid.toLongLong() != ::getpid())
        return 0;
    return qgetenv("WATCHDOG_USEC").toLongLong();
}

} // namespace

ServiceNotifier::ServiceNotifier(std::function<bool()> healthy, QObject* parent)
    : QObject(parent), m_healthy(std::move(healthy)), m_address(qgetenv("NOTIFY_SOCKET"))
{
    if (m_address.isEmpty() || m_address.size() >= qsizetype(sizeof(sockaddr_un::sun_path)))
        return;
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0) {
        qCWarning(lcService) << "cannot reach the service manager:" << std::strerror(errno);
        return;
    }
    const qint64 watchdog = watchdogMicroseconds();
    if (watchdog > 0) {
        m_keepAlive.setInterval(int(std::max<qint64>(watchdog / 2000, 100)));
        connect(&m_keepAlive, &QTimer::timeout, this, &ServiceNotifier::keepAlive);
        m_keepAlive.start();
        qCInfo(lcService) << "service watchdog of" << watchdog / 1000 << "ms";
    }
}

ServiceNotifier::~ServiceNotifier()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

void ServiceNotifier::notifyReady()
{
    if (m_ready)
        return;
    m_ready = true;
    send("READY=1");
}

void ServiceNotifier::notifyStopping()
{
    m_keepAlive.stop();
    send("STOPPING=1");
}

void ServiceNotifier::keepAlive()
{
    if (!m_healthy || m_healthy()) {
        m_unhealthyLogged = false;
        send("WATCHDOG=1");
    } else if (!m_unhealthyLogged) {
        qCWarning(lcService) << "the presentation does not answer; the service watchdog is not "
                                "fed, so the service manager restarts the player";
        m_unhealthyLogged = true;
    }
}

bool ServiceNotifier::send(const QByteArray& message)
{
    if (m_socket < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_address.constData(), size_t(m_address.size()));
    if (address.sun_path[0] == '@')
        address.sun_path[0] = '\0'; // an abstract socket
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(m_address.size()));
    if (::sendto(m_socket, message.constData(), size_t(message.size()), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&address), length) < 0) {
        qCDebug(lcService) << "cannot notify the service manager:" << std::strerror(errno);
        return false;
    }
    return true;
}
