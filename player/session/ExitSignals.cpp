#include "session/ExitSignals.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSignals, "lumaret.player")

namespace {

// The handler may only write to a descriptor; the notifier reads it on the event loop.
int signalPipe[2] = {-1, -1};

extern "C" void onExitSignal(int number)
{
    const int saved = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
    errno = saved;
}

} // namespace

ExitSignals::ExitSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        qCWarning(lcSignals) << "cannot watch for SIGTERM and SIGINT:" << std::strerror(errno);
        return;
    }
    m_notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ExitSignals::readSignal);
    struct sigaction action
    {
    };
    action.sa_handler = onExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

ExitSignals::~ExitSignals()
{
    if (!m_notifier)
        return;
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void ExitSignals::readSignal()
{
    char byte = 0;
    while (::read(signalPipe[1], &byte, 1) == 1) {
        qCInfo(lcSignals).noquote() << "received" << strsignal(byte)
                                    << "; ending as the exit "
                                       "command does";
        emit exitRequested(byte);
    }
}
