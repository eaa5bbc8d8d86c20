// The look at the master folder: it never holds up the caller's thread, a hung look is
// logged once and its late answer dropped, and failures back off.

#include "MasterFiles.h"
#include "MasterWatch.h"
#include "mdlCommon.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <semaphore>

namespace {

master::Check outcome(master::Check::Outcome kind)
{
    master::Check check;
    check.outcome = kind;
    check.masterFolder = QStringLiteral("/master");
    return check;
}

} // namespace

class TestMasterWatch : public QObject
{
    Q_OBJECT

private slots:
    // A pair is taken only from one save: a file of the pair written while it was read makes
    // the look read again at the next tick, and one written just after the reading is a change
    // for the next look (the pair taken is stamped as read, not as found afterwards).
    void pairWrittenWhileReadIsReadAgain_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<bool>("afterTheCheck");
        QTest::newRow("settings") << QString(mdlCommon::SettingsFileName) << false;
        QTest::newRow("slide list") << QString(mdlCommon::SlideParamsFileName) << false;
        QTest::newRow("settings, just after the reading")
            << QString(mdlCommon::SettingsFileName) << true;
    }
    void pairWrittenWhileReadIsReadAgain()
    {
        QFETCH(QString, written);
        QFETCH(bool, afterTheCheck);
        QTemporaryDir master;
        const QDir folder(master.path());
        const auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile file(folder.filePath(name));
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(folder.mkpath(QStringLiteral("img")));
        QVERIFY(write(mdlCommon::SettingsFileName, "[ENVIRONMENT]\r\ntxtTelop=a\r\n"));
        QVERIFY(write(mdlCommon::SlideParamsFileName, "interface2=3000#0"));
        QVERIFY(write(QStringLiteral("lan.ini"), "[NETWORK]\r\nmaster=" + master.path().toUtf8()));
        const auto save = [&] { write(written, "interface2=1000#0 and more"); };
        afterTheCheck ? master::setAfterPairChecked(save) : master::setAfterPairRead(save);
        const QString network = folder.filePath(QStringLiteral("lan.ini"));
        const master::Check check = master::checkMaster(master.path(), {}, network);
        master::setAfterPairRead({});
        master::setAfterPairChecked({});
        QCOMPARE(check.outcome, afterTheCheck ? master::Check::Changed : master::Check::Changing);
        if (afterTheCheck)
            QCOMPARE(master::checkMaster(master.path(), check.pair.stamp, network).outcome,
                     master::Check::Changed);
    }

    // A look that hangs (a share that does not answer): ticks return at once and skip while
    // it runs, the hang is logged once, and its late answer is not acted on.
    void hungLookNeverHoldsUpTheTicks()
    {
        std::binary_semaphore release{0};
        std::atomic<int> looks{0};
        MasterWatch watch(
            [&](const QString&, const QString&) {
                if (++looks == 1)
                    release.acquire();
                return outcome(master::Check::Changed);
            },
            nullptr, 300);
        QSignalSpy checked(&watch, &MasterWatch::checked);

        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 5; ++i) {
            watch.tick(QStringLiteral("/master"), QString());
            QTest::qWait(20);
        }
        QVERIFY(clock.elapsed() < 250);
        QCOMPARE(looks.load(), 1);
        QVERIFY(watch.isChecking());

        QTest::qWait(350);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("has not answered for 300 ms"));
        QTest::failOnWarning(QRegularExpression("."));
        for (int i = 0; i < 3; ++i)
            watch.tick(QStringLiteral("/master"), QString());
        QCOMPARE(looks.load(), 1);

        QTest::ignoreMessage(QtInfoMsg, "the master folder answered again");
        release.release();
        QTRY_VERIFY(!watch.isChecking());
        QCOMPARE(checked.count(), 0); // too late to act on

        watch.tick(QStringLiteral("/master"), QString());
        QTRY_COMPARE(checked.count(), 1);
        QCOMPARE(looks.load(), 2);
    }

    // Failures: 1 s doubling to a minute between looks, one log line per change of state;
    // a success goes back to a look every tick.
    void failuresBackOff()
    {
        std::atomic<int> looks{0};
        MasterWatch watch([&](const QString&, const QString&) {
            ++looks;
            return outcome(master::Check::Failed);
        });
        QList<int> delays;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^cannot reach /master ; trying"));
        for (int i = 0; i < 8; ++i) {
            watch.reportFailure(QStringLiteral("cannot reach /master"));
            delays << watch.retryDelaySeconds();
        }
        QCOMPARE(delays, QList<int>({1, 2, 4, 8, 16, 32, 60, 60}));

        watch.tick(QStringLiteral("/master"), QString()); // not due yet: no look
        QTest::qWait(50);
        QCOMPARE(looks.load(), 0);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^/master/img/swfpara.txt is not"));
        watch.reportFailure(QStringLiteral("/master/img/swfpara.txt is not a regular file"));
        QTest::ignoreMessage(QtInfoMsg, "the master folder works again");
        watch.reportSuccess(QString());
        QCOMPARE(watch.retryDelaySeconds(), 0);
        watch.tick(QStringLiteral("/master"), QString());
        QTRY_COMPARE(looks.load(), 1);
    }

    // A look that fails at once (the share's folder is simply gone) is repeated at the next
    // tick, so a master that comes back is followed within a tick; a slow failure backs off.
    void quickFailuresAreRetriedAtOnce_data()
    {
        QTest::addColumn<int>("lookMs");
        QTest::addColumn<int>("looksAfterTwoTicks");
        QTest::newRow("quick failure") << 0 << 2;
        QTest::newRow("slow failure") << MasterWatch::QuickFailureMs + 100 << 1;
    }
    void quickFailuresAreRetriedAtOnce()
    {
        QFETCH(int, lookMs);
        QFETCH(int, looksAfterTwoTicks);
        std::atomic<int> looks{0};
        MasterWatch watch([&](const QString&, const QString&) {
            ++looks;
            QThread::msleep(ulong(lookMs));
            return outcome(master::Check::Failed);
        });
        connect(&watch, &MasterWatch::checked, &watch,
                [&] { watch.reportFailure(QStringLiteral("cannot reach /master")); });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^cannot reach /master ; trying"));
        watch.tick(QStringLiteral("/master"), QString());
        QTRY_VERIFY(!watch.isChecking() && looks.load() == 1);
        QTest::qWait(50);
        watch.tick(QStringLiteral("/master"), QString());
        QTest::qWait(lookMs + 100);
        QTRY_VERIFY(!watch.isChecking());
        QCOMPARE(looks.load(), looksAfterTwoTicks);
    }

    // The watch may go while a look still runs on a hung share.
    void watchGoesBeforeItsLook()
    {
        auto release = std::make_shared<std::binary_semaphore>(0);
        {
            MasterWatch watch([release](const QString&, const QString&) {
                release->acquire();
                return outcome(master::Check::Unchanged);
            });
            watch.tick(QStringLiteral("/master"), QString());
        }
        release->release();
        QTest::qWait(100); // the answer goes nowhere
    }
};

QTEST_GUILESS_MAIN(TestMasterWatch)
#include "tst_masterwatch.moc"
