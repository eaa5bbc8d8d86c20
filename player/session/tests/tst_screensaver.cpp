// Keeping the screen on: through a session's screen-saver service on a private session bus,
// and through the X server (xset) where no such service runs. Both are undone at the end.

#include "session/ScreenSaverInhibitor.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

namespace {

// org.freedesktop.ScreenSaver as a desktop session offers it; it records what it is asked.
class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    QStringList calls()
    {
        const QMutexLocker lock(&m_mutex);
        return m_calls;
    }

public slots:
    uint Inhibit(const QString& application, const QString& reason)
    {
        const QMutexLocker lock(&m_mutex);
        m_calls << QStringLiteral("Inhibit %1: %2").arg(application, reason);
        return 42;
    }
    void UnInhibit(uint cookie)
    {
        const QMutexLocker lock(&m_mutex);
        m_calls << QStringLiteral("UnInhibit %1").arg(cookie);
    }

private:
    QMutex m_mutex;
    QStringList m_calls;
};

QString xsetQuery()
{
    QProcess xset;
    xset.start(QStringLiteral("xset"), {QStringLiteral("q")});
    xset.waitForFinished(5000);
    return QString::fromLocal8Bit(xset.readAllStandardOutput());
}

QString saverTimeout(const QString& state)
{
    return QRegularExpression(QStringLiteral("timeout:\\s*(\\d+)")).match(state).captured(1);
}

} // namespace

class TestScreenSaver : public QObject
{
    Q_OBJECT

    QProcess bus;
    QString address;

private slots:
    void initTestCase()
    {
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address")});
        if (!bus.waitForStarted() || !bus.waitForReadyRead(5000))
            QSKIP("dbus-daemon is not installed (scripts/install-deps installs it)");
        address = QString::fromLocal8Bit(bus.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
    }
    void cleanupTestCase()
    {
        bus.kill();
        bus.waitForFinished();
    }

    void sessionServiceIsAsked()
    {
        QThread thread;
        thread.start();
        FakeScreenSaver fake;
        fake.moveToThread(&thread);
        QDBusConnection service =
            QDBusConnection::connectToBus(address, QStringLiteral("screen-saver"));
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &fake,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        {
            ScreenSaverInhibitor inhibitor;
            QCOMPARE(inhibitor.means(), ScreenSaverInhibitor::Means::SessionService);
            QCOMPARE(fake.calls(), QStringList{"Inhibit Lumaret: showing the presentation"});
        }
        QCOMPARE(fake.calls().value(1), QStringLiteral("UnInhibit 42"));
        service.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        QDBusConnection::disconnectFromBus(QStringLiteral("screen-saver"));
        thread.quit();
        thread.wait();
    }

    void xServerWithoutAService()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xset")).isEmpty())
            QSKIP("xset is not installed (scripts/install-deps installs it)");
        QProcess::execute(QStringLiteral("xset"), {QStringLiteral("s"), QStringLiteral("300")});
        const QString before = xsetQuery();
        QCOMPARE(saverTimeout(before), QStringLiteral("300"));
        {
            ScreenSaverInhibitor inhibitor;
            QCOMPARE(inhibitor.means(), ScreenSaverInhibitor::Means::XServer);
            const QString during = xsetQuery();
            QCOMPARE(saverTimeout(during), QStringLiteral("0"));
            QVERIFY2(!during.contains(QLatin1String("DPMS is Enabled")), qPrintable(during));
        }
        QCOMPARE(xsetQuery(), before);
    }

    // Power saving is turned back on at the end only where it was on: a stand-in xset first on
    // the PATH tells either state and records what it is asked.
    void powerSavingIsRestoredAsItWas_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::newRow("was on") << true;
        QTest::newRow("was off") << false;
    }
    void powerSavingIsRestoredAsItWas()
    {
        QFETCH(bool, enabled);
        QTemporaryDir bin;
        const QString calls = bin.filePath(QStringLiteral("calls"));
        QFile standIn(bin.filePath(QStringLiteral("xset")));
        QVERIFY(standIn.open(QIODevice::WriteOnly));
        standIn.write(
            QStringLiteral("#!/bin/sh\necho \"$*\" >> '%1'\n"
                           "[ \"$1\" = q ] && printf '  timeout:  600    cycle:  600\\n"
                           "  DPMS is %2\\n'\nexit 0\n")
                .arg(calls, enabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled"))
                .toUtf8());
        standIn.close();
        QVERIFY(standIn.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        {
            ScreenSaverInhibitor inhibitor;
            QCOMPARE(inhibitor.means(), ScreenSaverInhibitor::Means::XServer);
        }
        qputenv("PATH", path);
        QFile log(calls);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> asked = log.readAll().split('\n');
        QCOMPARE(asked.contains("s 600 600"), true);
        QCOMPARE(asked.contains("+dpms"), enabled);
    }
};

QTEST_MAIN(TestScreenSaver)
#include "tst_screensaver.moc"
