#pragma once

// The service manager's end of the notify socket: a datagram socket the tests bind and read
// what the player sends to it.

#include <QByteArray>
#include <QStringList>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class NotifySocket
{
public:
    // A path, or "@name" for a socket in the abstract namespace.
    explicit NotifySocket(const QByteArray& path) : path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        auto length = socklen_t(sizeof address);
        if (path.startsWith('@')) {
            address.sun_path[0] = '\0';
            length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()));
        }
        bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    }
    ~NotifySocket() { ::close(m_fd); }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    // The messages that came since the last call.
    QStringList received()
    {
        QStringList fresh;
        char buffer[256];
        for (ssize_t n; (n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;)
            fresh << QString::fromLatin1(buffer, int(n));
        m_messages << fresh;
        return fresh;
    }
    // Every message so far.
    const QStringList& messages()
    {
        received();
        return m_messages;
    }

    const QByteArray path;
    bool bound = false;

private:
    int m_fd = -1;
    QStringList m_messages;
};
