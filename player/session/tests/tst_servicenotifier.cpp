// The messages to the service manager, received on a socket of the test's own.

#include "player/session/tests/NotifySocket.h"
#include "session/ServiceNotifier.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class TestServiceNotifier : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        qunsetenv("NOTIFY_SOCKET");
        qunsetenv("WATCHDOG_USEC");
        qunsetenv("WATCHDOG_PID");
    }

    // Ready once; keep-alive messages at half the watchdog time only while healthy. The
    // manager's socket is a path or a name in the abstract namespace ("@...").
    void readyAndKeepAlive_data()
    {
        QTest::addColumn<bool>("abstract");
        QTest::newRow("path") << false;
        QTest::newRow("abstract") << true;
    }
    void readyAndKeepAlive()
    {
        QFETCH(bool, abstract);
        QTemporaryDir dir;
        const QByteArray path =
            abstract ? "@lumaret-test-" + QByteArray::number(QCoreApplication::applicationPid())
                     : QFile::encodeName(dir.filePath(QStringLiteral("notify")));
        NotifySocket manager(path);
        QVERIFY(manager.bound);
        qputenv("NOTIFY_SOCKET", path);
        qputenv("WATCHDOG_USEC", "200000");
        bool healthy = true;
        QTest::ignoreMessage(QtInfoMsg, "service watchdog of 200 ms");
        ServiceNotifier notifier([&] { return healthy; });
        QCOMPARE(notifier.keepAliveMs(), 100);
        notifier.notifyReady();
        notifier.notifyReady();
        QTest::qWait(350);
        QStringList messages = manager.received();
        QCOMPARE(messages.count(QStringLiteral("READY=1")), 1);
        QVERIFY(messages.count(QStringLiteral("WATCHDOG=1")) >= 2);

        healthy = false;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("watchdog is not fed"));
        QTest::qWait(350); // one log line however long it lasts
        QCOMPARE(manager.received(), QStringList());

        healthy = true;
        QTest::qWait(250);
        QVERIFY(manager.received().contains(QStringLiteral("WATCHDOG=1")));
        notifier.notifyStopping();
        QTest::qWait(250);
        QCOMPARE(manager.received(), QStringList({QStringLiteral("STOPPING=1")}));
    }

    // A watchdog meant for another process, or no manager at all: nothing is sent.
    void otherProcessOrNoManager()
    {
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("notify")));
        NotifySocket manager(path);
        qputenv("NOTIFY_SOCKET", path);
        qputenv("WATCHDOG_USEC", "200000");
        qputenv("WATCHDOG_PID", QByteArray::number(::getpid() + 1));
        ServiceNotifier notifier([] { return true; });
        QCOMPARE(notifier.keepAliveMs(), 0);
        QTest::qWait(250);
        QCOMPARE(manager.received(), QStringList());

        cleanup();
        ServiceNotifier alone([] { return true; });
        QVERIFY(!alone.isConnected());
        alone.notifyReady(); // no socket: nothing happens
    }
};

QTEST_GUILESS_MAIN(TestServiceNotifier)
#include "tst_servicenotifier.moc"
