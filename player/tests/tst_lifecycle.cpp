// The real player program as a service manager runs it: it says when it is ready, keeps its
// watchdog fed, ends on SIGTERM as on its exit command, and leaves no temporary folder behind
// (and removes those of runs that were killed).

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString ProgramDir = QStringLiteral(PROGRAM_DIR);

// The service manager's end of the notify socket.
class NotifySocket
{
public:
    explicit NotifySocket(const QByteArray& path) : path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(m_fd); }
    // Everything received so far, kept.
    const QStringList& messages()
    {
        char buffer[256];
        for (ssize_t n; (n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;)
            m_messages << QString::fromLatin1(buffer, int(n));
        return m_messages;
    }
    QByteArray path;
    bool bound = false;

private:
    int m_fd = -1;
    QStringList m_messages;
};

QStringList copyFolders(const QString& temporary)
{
    return QDir(temporary).entryList({QStringLiteral("Lumaret-*")}, QDir::Dirs);
}

} // namespace

class TestLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void sigtermEndsLikeTheExitCommand_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void sigtermEndsLikeTheExitCommand()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir temporary;
        // A copy folder of a killed run, and one of a run that still goes on (this test).
        const QString stale = QStringLiteral("Lumaret-999999999-AbC123");
        const QString live = QStringLiteral("Lumaret-%1-XyZ789").arg(::getpid());
        QDir(temporary.path()).mkpath(stale + QStringLiteral("/movie-1.swf.d"));
        QDir(temporary.path()).mkpath(live);
        NotifySocket manager(QFile::encodeName(temporary.filePath(QStringLiteral("notify"))));
        QVERIFY(manager.bound);

        QProcess player;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), temporary.path());
        environment.insert(QStringLiteral("NOTIFY_SOCKET"), QString::fromLocal8Bit(manager.path));
        environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("1000000"));
        environment.insert(QStringLiteral("QT_MESSAGE_PATTERN"),
                           QStringLiteral("%{type} %{category}: %{message}"));
        environment.remove(QStringLiteral("QT_LOGGING_RULES"));
        player.setProcessEnvironment(environment);
        player.setProcessChannelMode(QProcess::MergedChannels);
        player.start(QDir(ProgramDir).filePath(QStringLiteral("lumaret")), {});
        QVERIFY(player.waitForStarted());

        QTRY_VERIFY_WITH_TIMEOUT(manager.messages().contains(QStringLiteral("READY=1")), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(manager.messages().count(QStringLiteral("WATCHDOG=1")) >= 2, 5000);
        QCOMPARE(copyFolders(temporary.path()).size(), 2); // its own and the live one
        QVERIFY(!copyFolders(temporary.path()).contains(stale));

        ::kill(pid_t(player.processId()), signalNumber);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(player.waitForFinished(10000));
        qInfo() << "ended" << clock.elapsed() << "ms after the signal";
        QCOMPARE(player.exitStatus(), QProcess::NormalExit);
        QCOMPARE(player.exitCode(), 0);
        QVERIFY(manager.messages().contains(QStringLiteral("STOPPING=1")));
        QCOMPARE(copyFolders(temporary.path()), QStringList{live});

        // The journal: no routine lines (the web player's console, restarts) by default.
        const QStringList journal =
            QString::fromLocal8Bit(player.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString& line : journal)
            QVERIFY2(!line.startsWith(QLatin1String("debug ")), qPrintable(line));
        QVERIFY2(journal.size() < 40, qPrintable(journal.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
