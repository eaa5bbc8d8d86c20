#include "runtime/Int16.h"

#include <QTest>
#include <cmath>
#include <functional>

using namespace platform;

class TestInt16 : public QObject
{
    Q_OBJECT

private slots:
    void roundsHalvesToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("-0.5") << -0.5 << 0;
        QTest::newRow("-1.5") << -1.5 << -2;
        QTest::newRow("2.4999") << 2.4999 << 2;
        QTest::newRow("top") << 32767.4 << 32767;
        QTest::newRow("bottom") << -32768.5 << -32768;
    }
    void roundsHalvesToEven()
    {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(int(roundToInt16(value)), expected);
    }

    void raisesInsteadOfWrapping_data()
    {
        QTest::addColumn<std::function<void()>>("operation");
        QTest::addColumn<int>("errorNumber");
        const int overflow = int(ErrorNumber::Overflow);
        QTest::newRow("round above")
            << std::function<void()>([] { roundToInt16(32767.5); }) << overflow;
        QTest::newRow("round NaN")
            << std::function<void()>([] { roundToInt16(std::nan("")); }) << overflow;
        QTest::newRow("add") << std::function<void()>([] { add16(32767, 1); }) << overflow;
        QTest::newRow("sub") << std::function<void()>([] { sub16(-32768, 1); }) << overflow;
        QTest::newRow("mul") << std::function<void()>([] { mul16(10, 3277); }) << overflow;
        QTest::newRow("div -32768/-1")
            << std::function<void()>([] { div16(-32768, -1); }) << overflow;
        QTest::newRow("div by 0") << std::function<void()>([] { div16(1, 0); })
                                  << int(ErrorNumber::DivisionByZero);
        QTest::newRow("int32") << std::function<void()>([] { roundToInt32(3e9); }) << overflow;
    }
    void raisesInsteadOfWrapping()
    {
        QFETCH(std::function<void()>, operation);
        QFETCH(int, errorNumber);
        try {
            operation();
            QFAIL("no error raised");
        } catch (const RuntimeError& error) {
            QCOMPARE(int(error.number()), errorNumber);
        }
    }

    void keepsResultsInRange()
    {
        QCOMPARE(add16(32766, 1), int16_t(32767));
        QCOMPARE(mul16(-10, 3276), int16_t(-32760));
        QCOMPARE(div16(-7, 2), int16_t(-3)); // truncates towards zero
    }
};

QTEST_APPLESS_MAIN(TestInt16)
#include "tst_int16.moc"
