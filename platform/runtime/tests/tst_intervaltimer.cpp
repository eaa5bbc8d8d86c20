#include "runtime/IntervalTimer.h"
#include "runtime/RuntimeError.h"

#include <QSignalSpy>
#include <QTest>

using platform::IntervalTimer;

class TestIntervalTimer : public QObject
{
    Q_OBJECT

private slots:
    void firesOnlyWhileEnabledWithAnInterval()
    {
        IntervalTimer timer;
        QSignalSpy ticks(&timer, &IntervalTimer::Timer);
        timer.setInterval(5);
        QTest::qWait(50);
        QCOMPARE(ticks.count(), 0); // not enabled yet

        timer.setEnabled(true);
        QVERIFY(ticks.wait(1000));

        timer.setEnabled(false);
        ticks.clear();
        QTest::qWait(50);
        QCOMPARE(ticks.count(), 0);
    }

    // Unlike a QTimer, interval 0 means "never", and keeps the enabled state for later.
    void intervalZeroNeverFires()
    {
        IntervalTimer timer;
        QSignalSpy ticks(&timer, &IntervalTimer::Timer);
        timer.setInterval(0);
        timer.setEnabled(true);
        QTest::qWait(50);
        QCOMPARE(ticks.count(), 0);
        QVERIFY(timer.isEnabled());
        QVERIFY(!timer.isTicking());

        timer.setInterval(5);
        QVERIFY(ticks.wait(1000));
    }

    // The range ends are intervals like any other.
    void takesTheWholeRange()
    {
        IntervalTimer timer;
        timer.setInterval(65535);
        QCOMPARE(timer.interval(), 65535);
        timer.setInterval(0);
        QCOMPARE(timer.interval(), 0);
    }

    // A new interval takes effect at once on a running timer, not after the old period.
    void newIntervalTakesEffectWhileRunning()
    {
        IntervalTimer timer;
        QSignalSpy ticks(&timer, &IntervalTimer::Timer);
        timer.setEnabled(true);
        timer.setInterval(5000);
        QTest::qWait(50);
        timer.setInterval(20);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 5, 2000);
    }

    void refusesIntervalsOutOfRange_data()
    {
        QTest::addColumn<int>("interval");
        QTest::newRow("negative") << -1;
        QTest::newRow("above 65535") << 65536;
    }
    void refusesIntervalsOutOfRange()
    {
        QFETCH(int, interval);
        IntervalTimer timer;
        timer.setInterval(40);
        try {
            timer.setInterval(interval);
            QFAIL("no error raised");
        } catch (const platform::RuntimeError& error) {
            QCOMPARE(error.number(), platform::ErrorNumber::InvalidPropertyValue);
        }
        QCOMPARE(timer.interval(), 40);
    }
};

QTEST_GUILESS_MAIN(TestIntervalTimer)
#include "tst_intervaltimer.moc"
