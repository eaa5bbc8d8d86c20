#include "text/Cp932.h"
#include "text/EraDate.h"
#include "text/Numbers.h"

#include <QTest>

using namespace platform;

class TestText : public QObject
{
    Q_OBJECT

private slots:
    // Microsoft's code page 932, not JIS Shift_JIS.
    void cp932RoundTrips_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("circled one") << QStringLiteral("①") << QByteArray("\x87\x40");
        QTest::newRow("fullwidth tilde") << QStringLiteral("～") << QByteArray("\x81\x60");
        QTest::newRow("halfwidth katakana")
            << QStringLiteral("ｺﾝﾄﾛｰﾙ") << QByteArray("\xba\xdd\xc4\xdb\xb0\xd9");
        QTest::newRow("ideographic space") << QStringLiteral("\u3000") << QByteArray("\x81\x40");
        QTest::newRow("backslash stays") << QStringLiteral("a\\b") << QByteArray("a\\b");
        QTest::newRow("kanji and ASCII")
            << QStringLiteral("効果無し.swf") << QByteArray("\x8c\xf8\x89\xca\x96\xb3\x82\xb5.swf");
    }
    void cp932RoundTrips()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(toCp932(text), bytes);
        QCOMPARE(fromCp932(bytes), text);
    }

    void unmappableCharactersBecomeQuestionMarks()
    {
        QCOMPARE(toCp932(QStringLiteral("a😀b")), QByteArray("a?b"));
        QCOMPARE(toCp932(QStringLiteral("\u00A5")), QByteArray("?"));    // yen sign: no code in 932
        QCOMPARE(fromCp932(QByteArray("\x81")), QString(QChar(0xFFFD))); // a lone lead byte
    }

    void eraDates_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("2021-04-05")
            << QDate(2021, 4, 5) << QStringLiteral("令和3年4月5日（月曜日） ");
        QTest::newRow("2002-03-05")
            << QDate(2002, 3, 5) << QStringLiteral("平成14年3月5日（火曜日） ");
        QTest::newRow("last day of Showa")
            << QDate(1989, 1, 7) << QStringLiteral("昭和64年1月7日（土曜日） ");
        QTest::newRow("first day of Heisei")
            << QDate(1989, 1, 8) << QStringLiteral("平成1年1月8日（日曜日） ");
        QTest::newRow("last day of Heisei")
            << QDate(2019, 4, 30) << QStringLiteral("平成31年4月30日（火曜日） ");
        QTest::newRow("first day of Reiwa")
            << QDate(2019, 5, 1) << QStringLiteral("令和1年5月1日（水曜日） ");
    }
    void eraDates()
    {
        QFETCH(QDate, date);
        QFETCH(QString, prefix);
        QCOMPARE(japaneseEraDatePrefix(date), prefix);
    }

    void numberAtTheStart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number");
        QTest::newRow("digits then a letter") << "5a" << 5.0;
        QTest::newRow("blanks anywhere") << " 1 2\t3" << 123.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("decimal") << "2.5" << 2.5;
        QTest::newRow("negative") << "-7x" << -7.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("d exponent") << "1d3" << 1000.0;
        QTest::newRow("D exponent, negative") << "25D-1x" << 2.5;
        QTest::newRow("leading point") << ".5" << 0.5;
    }
    void numberAtTheStart()
    {
        QFETCH(QString, text);
        QFETCH(double, number);
        QCOMPARE(leadingNumber(text), number);
    }

    void wholeTextNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("number");
        QTest::newRow("plain") << "003" << true << 3.0;
        QTest::newRow("decimal with blanks") << " 60.5 " << true << 60.5;
        QTest::newRow("signed exponent") << "-1.5e2" << true << -150.0;
        QTest::newRow("trailing letter") << "5a" << false << 0.0;
        QTest::newRow("inner blank") << "1 2" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("point only") << "." << false << 0.0;
    }
    void wholeTextNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(double, number);
        const auto parsed = platform::wholeTextNumber(text);
        QCOMPARE(parsed.has_value(), isNumber);
        if (isNumber)
            QCOMPARE(*parsed, number);
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "tst_text.moc"
