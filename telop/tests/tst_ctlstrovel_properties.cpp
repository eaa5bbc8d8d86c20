// The control's public face: bitmap warnings, the height refusal, notifications, events and
// the persisted properties.

#include "CtlStrovel.h"
#include "CtlStrovelProbe.h"
#include "Module1.h"
#include "TelopTesting.h"

#include "com/PropertyBag.h"
#include "runtime/tests/MessageBoxRecorder.h"

#include <QSignalSpy>
#include <QTest>

using namespace telop_testing;

namespace {
const QString Title = QStringLiteral("ｺﾝﾄﾛｰﾙ警告");
const QString SetBackToo = QStringLiteral("BackBmpﾌﾟﾛﾊﾟﾃｨｰも設定して下さい。");
const QString SetFrontToo = QStringLiteral("FrontBmpﾌﾟﾛﾊﾟﾃｨｰも設定して下さい。");
const QString BackDiffers =
    QStringLiteral("BackBmpﾌﾟﾛﾊﾟﾃｨｰで設定されているﾋﾞｯﾄﾏｯﾌﾟとｻｲｽﾞが違います。");
const QString FrontDiffers =
    QStringLiteral("FrontBmpﾌﾟﾛﾊﾟﾃｨｰで設定されているﾋﾞｯﾄﾏｯﾌﾟとｻｲｽﾞが違います。");

// One assignment: 'F' or 'B' with a square dot size, e.g. "F5".
void assign(CtlStrovel& control, const QString& step)
{
    const int size = step.mid(1).toInt();
    if (step.startsWith(u'F'))
        control.setFrontBmp(dotPicture(size, size, LitFace));
    else
        control.setBackBmp(dotPicture(size, size, UnlitFace));
}
} // namespace

class TestCtlStrovelProperties : public QObject
{
    Q_OBJECT

private slots:
    void init() { freshThreadGeometry(); }

    void bitmapWarnings_data()
    {
        QTest::addColumn<QStringList>("assignments");
        QTest::addColumn<QStringList>("expectedMessages");
        QTest::addColumn<QSize>("expectedDot");
        QTest::newRow("front, then a back of the same size")
            << QStringList{"F5", "B5"} << QStringList{SetBackToo} << QSize(5, 5);
        QTest::newRow("back first")
            << QStringList{"B5", "F5"} << QStringList{SetFrontToo} << QSize(5, 5);
        QTest::newRow("sizes differ: the smaller wins")
            << QStringList{"F5", "B7"} << QStringList{SetBackToo, FrontDiffers} << QSize(5, 5);
        QTest::newRow("front replaced by another size")
            << QStringList{"F5", "B5", "F8"} << QStringList{SetBackToo, BackDiffers} << QSize(5, 5);
        QTest::newRow("back differs, then matches, then differs")
            << QStringList{"F6", "B4", "F4", "B6"}
            << QStringList{SetBackToo, FrontDiffers, FrontDiffers} << QSize(4, 4);
    }
    void bitmapWarnings()
    {
        QFETCH(QStringList, assignments);
        QFETCH(QStringList, expectedMessages);
        QFETCH(QSize, expectedDot);
        CtlStrovel control;
        MessageBoxRecorder answers;
        for (const QString& step : assignments)
            assign(control, step);
        QCOMPARE(answers.texts(), expectedMessages);
        for (const auto& request : answers.requests) {
            QCOMPARE(request.title, Title);
            QCOMPARE(request.icon, QMessageBox::Information);
            QCOMPARE(request.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        }
        const auto& g = Module1::cellGeometry();
        QCOMPARE(QSize(g.BmpWidth, g.BmpHeight), expectedDot);
        // The new bitmap is in effect whatever the warning said.
        CtlStrovelProbe probe(control);
        const int last = assignments.last().mid(1).toInt();
        const auto& surface =
            assignments.last().startsWith(u'F') ? probe.PIC_BMP_FRONT() : probe.PIC_BMP_BACK();
        QCOMPARE(surface.width(), last);
    }

    // Too low for one line of text: one critical message, then exactly the text's height,
    // drawn again.
    void refusesHeightBelowTheText()
    {
        CtlStrovel control;
        control.ReadProperties(designBag(QStringLiteral("AB")));
        control.resize(300, 120);
        control.show();
        CtlStrovelProbe probe(control);
        MessageBoxRecorder answers;
        control.resize(300, 5);
        QCOMPARE(answers.texts(), QStringList{QStringLiteral("これ以上小さくできません。")});
        QCOMPARE(answers.requests[0].title, Title);
        QCOMPARE(answers.requests[0].icon, QMessageBox::Critical);
        QCOMPARE(control.height(), 12);
        QCOMPARE(probe.PIC_B().height(), 12);
        QCOMPARE(int(Module1::cellGeometry().CellHeight), 1);
    }

    void settersNotifyTheContainer_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("Text") << "Text" << QVariant(QStringLiteral("XYZ"));
        QTest::newRow("Font") << "Font" << QVariant(twelvePixelFont());
        QTest::newRow("Interval") << "Interval" << QVariant(40);
        QTest::newRow("FrontBmp") << "FrontBmp" << QVariant(dotPicture(5, 5, LitFace));
        QTest::newRow("BackBmp") << "BackBmp" << QVariant(dotPicture(5, 5, UnlitFace));
        QTest::newRow("MoveCount") << "MoveCount" << QVariant(3);
    }
    void settersNotifyTheContainer()
    {
        QFETCH(QString, property);
        QFETCH(QVariant, value);
        CtlStrovel control;
        MessageBoxRecorder answers;
        QSignalSpy changes(&control, &CtlStrovel::propertyChanged);
        QVERIFY(control.setProperty(property.toUtf8(), value));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes[0][0].toString(), property);
        const QVariant stored = control.property(property.toUtf8());
        if (value.canConvert<QPixmap>() && value.typeId() == QMetaType::QPixmap)
            QCOMPARE(stored.value<QPixmap>().toImage(), value.value<QPixmap>().toImage());
        else
            QCOMPARE(stored, value);
    }

    // A refused value leaves the property as it was and tells nobody it changed.
    void refusedValuesChangeNothing_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("kept");
        QTest::newRow("Interval below 0") << "Interval" << QVariant(-1) << QVariant(10);
        QTest::newRow("MoveCount beyond 16 bits") << "MoveCount" << QVariant(40000) << QVariant(1);
    }
    void refusedValuesChangeNothing()
    {
        QFETCH(QString, property);
        QFETCH(QVariant, value);
        QFETCH(QVariant, kept);
        CtlStrovel control;
        QSignalSpy changes(&control, &CtlStrovel::propertyChanged);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(property + " ended by error"));
        control.setProperty(property.toUtf8(), value);
        QCOMPARE(control.property(property.toUtf8()), kept);
        QCOMPARE(changes.count(), 0);
    }

    void clicksRaiseEvents()
    {
        CtlStrovel control;
        control.resize(100, 30);
        control.show();
        QSignalSpy clicks(&control, &CtlStrovel::Click);
        QSignalSpy doubleClicks(&control, &CtlStrovel::DblClick);
        QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(doubleClicks.count(), 0);
        QTest::mouseDClick(&control, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(doubleClicks.count(), 1);
    }

    // Nothing persisted: the defaults, and the container's font.
    void emptyBagGivesTheDefaults()
    {
        QWidget container;
        QFont ambient = twelvePixelFont();
        ambient.setBold(true);
        container.setFont(ambient);
        CtlStrovel control(&container);
        MessageBoxRecorder answers;
        QVERIFY(control.ReadProperties(platform::PropertyBag()));
        QCOMPARE(control.text(), QVariant(QStringLiteral("ABC")));
        QCOMPARE(control.moveCount(), 1);
        QCOMPARE(control.interval(), 10);
        QVERIFY(control.frontBmp().isNull());
        QVERIFY(control.backBmp().isNull());
        QCOMPARE(control.textFont(), ambient);
        QVERIFY(answers.requests.isEmpty()); // loading never warns
    }

    // Only what differs from the defaults is saved, in a fixed order, and loads back as it was.
    void saveAndLoadRoundTrip()
    {
        QWidget container;
        CtlStrovel original(&container);
        platform::PropertyBag fresh;
        QVERIFY(original.WriteProperties(fresh));
        QCOMPARE(fresh.size(), 0);

        {
            MessageBoxRecorder answers;
            original.setMoveCount(3);
            original.setBackBmp(dotPicture(5, 5, UnlitFace));
            original.setText(QStringLiteral("本日は晴天なり"));
            original.setInterval(40);
            original.setTextFont(twelvePixelFont());
            original.setFrontBmp(dotPicture(5, 5, LitFace));
        }
        platform::PropertyBag bag;
        QVERIFY(original.WriteProperties(bag));
        QCOMPARE(bag.names(),
                 (QStringList{"Text", "Font", "Interval", "FrontBmp", "BackBmp", "MoveCount"}));

        freshThreadGeometry();
        CtlStrovel copy(&container);
        MessageBoxRecorder answers;
        QVERIFY(copy.ReadProperties(bag));
        QVERIFY(answers.requests.isEmpty());
        QCOMPARE(copy.text(), original.text());
        QCOMPARE(copy.textFont(), original.textFont());
        QCOMPARE(copy.interval(), 40);
        QCOMPARE(copy.moveCount(), 3);
        QCOMPARE(copy.frontBmp().toImage(), original.frontBmp().toImage());
        QCOMPARE(copy.backBmp().toImage(), original.backBmp().toImage());
        const auto& g = Module1::cellGeometry();
        QCOMPARE(QList<int>({g.FrontWidth, g.FrontHeight, g.BackWidth, g.BackHeight, g.BmpWidth,
                             g.BmpHeight}),
                 QList<int>({5, 5, 5, 5, 5, 5}));
    }

    // A host's stored design spells the names in lower case, beside its own extent entries.
    void loadsLowerCaseNames()
    {
        platform::PropertyBag bag = designBag(QStringLiteral("開発"));
        bag.WriteProperty(QStringLiteral("_extentx"), 26882);
        bag.WriteProperty(QStringLiteral("_extenty"), 3175);
        CtlStrovel control;
        QVERIFY(control.ReadProperties(bag));
        QCOMPARE(control.text().toString(), QStringLiteral("開発"));
        QCOMPARE(control.textFont(), twelvePixelFont());
        QCOMPARE(control.frontBmp().size(), QSize(5, 5));
        QCOMPARE(int(Module1::cellGeometry().BmpWidth), 5);
    }
};

QTEST_MAIN(TestCtlStrovelProperties)
#include "tst_ctlstrovel_properties.moc"
