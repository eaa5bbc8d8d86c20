// How the strip moves: the three motion modes, Action, Cls and a failing tick. The board and
// strip sizes are set directly so the numbers are those of a 300-pixel board, a 200-pixel
// strip and 10-pixel cells.

#include "CtlStrovel.h"
#include "CtlStrovelProbe.h"
#include "Module1.h"
#include "TelopTesting.h"

#include <QRegularExpression>
#include <QTest>

using namespace telop_testing;

namespace {

struct Tick
{
    int x;
    int position;
    bool reversing;
    friend bool operator==(const Tick&, const Tick&) = default;
};

QList<Tick> runTicks(CtlStrovelProbe& probe, int count)
{
    QList<Tick> ticks;
    for (int i = 0; i < count; ++i) {
        probe.tick();
        ticks.append({probe.lastStripX(), probe.state().Position, probe.state().Reversing});
    }
    return ticks;
}

QList<int> xsOf(const QList<Tick>& ticks)
{
    QList<int> xs;
    for (const Tick& t : ticks)
        xs.append(t.x);
    return xs;
}

QList<int> range(int from, int to, int step)
{
    QList<int> values;
    for (int v = from; step > 0 ? v <= to : v >= to; v += step)
        values.append(v);
    return values;
}

} // namespace

class TestCtlStrovelMotion : public QObject
{
    Q_OBJECT

    std::unique_ptr<CtlStrovel> control;
    std::unique_ptr<CtlStrovelProbe> probe;

private slots:
    void init()
    {
        freshThreadGeometry();
        control = std::make_unique<CtlStrovel>();
        probe = std::make_unique<CtlStrovelProbe>(*control);
        control->setInterval(0); // only the test ticks
        probe->setBoardAndStripWidth(300, 200);
        Module1::cellGeometry().CellWidth = 10;
    }
    void cleanup()
    {
        probe.reset();
        control.reset();
    }

    void modesFollowTheirPaths_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("moveCount");
        QTest::addColumn<QList<int>>("expectedXs");

        // Enters at the right edge, leaves completely to the left; the tick at -200 still
        // shows a column, the one at -210 is board only and resets: a 51-tick cycle.
        QTest::newRow("RtoL") << 2 << 1 << range(290, -210, -10) + range(290, 250, -10);
        QTest::newRow("LtoR") << 1 << 1 << range(-190, 310, 10) + range(-190, -150, 10);
        // Left until the left edge passes the board's, then right from one step inside
        // until the right edge passes the board's, and so on.
        QTest::newRow("Reverse") << 3 << 1
                                 << range(290, -10, -10) + range(10, 110, 10) +
                                        range(90, -10, -10) + range(10, 30, 10);
        QTest::newRow("RtoL three cells a tick")
            << 2 << 3 << range(270, -210, -30) + range(270, 240, -30);
        QTest::newRow("standing still") << 2 << 0 << QList<int>(5, 300);
        QTest::newRow("unknown mode draws at 0") << 5 << 1 << QList<int>(3, 0);
    }
    void modesFollowTheirPaths()
    {
        QFETCH(int, mode);
        QFETCH(int, moveCount);
        QFETCH(QList<int>, expectedXs);
        control->setMoveCount(moveCount);
        control->Action(mode);
        QCOMPARE(xsOf(runTicks(*probe, int(expectedXs.size()))), expectedXs);
    }

    void reverseResetsToTheStripEnd()
    {
        control->Action(CtlStrovel::Reverse);
        const QList<Tick> ticks = runTicks(*probe, 42);
        QCOMPARE(ticks[30], (Tick{-10, 20, true})); // left edge passed: restart at MW / CellWidth
        QCOMPARE(ticks[31], (Tick{10, 21, true}));
        QCOMPARE(ticks[41], (Tick{110, 20, false})); // right edge passed the board's
    }

    void actionControlsModeAndTimer_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("expectedMode");
        QTest::addColumn<int>("expectedPosition");
        QTest::addColumn<bool>("expectedTimer");
        // Starting from RtoL at position 7 with the timer running.
        QTest::newRow("same mode resumes") << 2 << 2 << 7 << true;
        QTest::newRow("other mode restarts") << 1 << 1 << 0 << true;
        QTest::newRow("0 pauses, keeps mode and position") << 0 << 2 << 7 << false;
        QTest::newRow("5: new mode, timer untouched") << 5 << 5 << 0 << true;
        QTest::newRow("out of 16 bits: position reset, mode kept") << 70000 << 2 << 0 << true;
    }
    void actionControlsModeAndTimer()
    {
        QFETCH(int, mode);
        QFETCH(int, expectedMode);
        QFETCH(int, expectedPosition);
        QFETCH(bool, expectedTimer);
        control->Action(CtlStrovel::RtoL);
        runTicks(*probe, 7);
        if (mode == 70000)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action ended by error 6"));
        QCOMPARE(control->Action(mode), 0);
        QCOMPARE(int(probe->state().Mode), expectedMode);
        QCOMPARE(int(probe->state().Position), expectedPosition);
        QCOMPARE(probe->timerEnabled(), expectedTimer);
    }

    void pausedAtZeroStaysPaused()
    {
        control->Action(CtlStrovel::Stpped);
        QCOMPARE(int(probe->state().Mode), 0);
        QVERIFY(!probe->timerEnabled());
    }

    void intervalZeroNeverTicks()
    {
        control->Action(CtlStrovel::RtoL);
        QVERIFY(probe->timerEnabled());
        QVERIFY(!probe->timerTicking());
        control->setInterval(40);
        QVERIFY(probe->timerTicking());
    }

    // A tick whose 16-bit arithmetic overflows restarts at the edge; scrolling goes on and one
    // log line tells, however long the condition lasts.
    void overflowingTickRestartsAtTheEdge_data()
    {
        QTest::addColumn<int>("moveCount");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("xAfterRestart");
        QTest::newRow("position past 32767 / CellWidth") << 1 << 3276 << 290;
        QTest::newRow("negative move count") << -1 << -3276 << 310;
    }
    void overflowingTickRestartsAtTheEdge()
    {
        QFETCH(int, moveCount);
        QFETCH(int, position);
        QFETCH(int, xAfterRestart);
        control->setMoveCount(moveCount);
        control->Action(CtlStrovel::RtoL);

        probe->state().Position = int16_t(position);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Timer1_Timer ended by error 6"));
        probe->tick();
        QCOMPARE(int(probe->state().Position), 0);

        QTest::failOnWarning(QRegularExpression("Timer1_Timer"));
        probe->state().Position = int16_t(position);
        probe->tick(); // the same failure again: not logged again
        QCOMPARE(int(probe->state().Position), 0);
        probe->tick();
        QCOMPARE(int(probe->lastStripX()), xAfterRestart);
    }
};

QTEST_MAIN(TestCtlStrovelMotion)
#include "tst_ctlstrovel_motion.moc"
