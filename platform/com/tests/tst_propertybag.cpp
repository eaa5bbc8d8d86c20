#include "com/PropertyBag.h"

#include <QTest>

using platform::PropertyBag;

class TestPropertyBag : public QObject
{
    Q_OBJECT

private slots:
    void matchesNamesWithoutRegardToCase()
    {
        PropertyBag bag;
        bag.WriteProperty(QStringLiteral("frontbmp"), 5);
        QCOMPARE(bag.ReadProperty(QStringLiteral("FrontBmp"), 0).toInt(), 5);
        bag.WriteProperty(QStringLiteral("FRONTBMP"), 6);
        QCOMPARE(bag.names(),
                 QStringList{QStringLiteral("frontbmp")}); // replaced, old spelling kept
        QCOMPARE(bag.ReadProperty(QStringLiteral("frontBmp")).toInt(), 6);
    }

    void missingNamesReadAsTheirDefault()
    {
        PropertyBag bag;
        QCOMPARE(bag.ReadProperty(QStringLiteral("Interval"), 10).toInt(), 10);
        QVERIFY(!bag.ReadProperty(QStringLiteral("BackBmp")).isValid());
    }

    void storesOnlyWhatDiffersFromTheDefault()
    {
        PropertyBag bag;
        bag.WriteProperty(QStringLiteral("Text"), QStringLiteral("ABC"), QStringLiteral("ABC"));
        bag.WriteProperty(QStringLiteral("Interval"), 40, 10);
        bag.WriteProperty(QStringLiteral("BackBmp"), QVariant(), QVariant());
        bag.WriteProperty(QStringLiteral("MoveCount"), 2, 1);
        QCOMPARE(bag.names(),
                 (QStringList{QStringLiteral("Interval"), QStringLiteral("MoveCount")}));

        // Writing the default again removes the stale entry.
        bag.WriteProperty(QStringLiteral("interval"), 10, 10);
        QCOMPARE(bag.names(), QStringList{QStringLiteral("MoveCount")});
    }
};

QTEST_APPLESS_MAIN(TestPropertyBag)
#include "tst_propertybag.moc"
