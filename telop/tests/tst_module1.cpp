#include "Module1.h"

#include <QTest>

using Module1::BitBlt;
using Module1::stretched;

namespace {
QImage filled(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}
const QRgb Red = qRgb(255, 0, 0);
const QRgb Blue = qRgb(0, 0, 255);
} // namespace

class TestModule1 : public QObject
{
    Q_OBJECT

private slots:
    // A copy that sticks out of either image copies only the overlapping part, at the right place.
    void bitBltClipsAtEveryEdge_data()
    {
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QRect>("expectedRed");
        QTest::newRow("inside") << QPoint(2, 3) << QRect(2, 3, 4, 4);
        QTest::newRow("left/top outside") << QPoint(-2, -3) << QRect(0, 0, 2, 1);
        QTest::newRow("right/bottom outside") << QPoint(8, 7) << QRect(8, 7, 2, 3);
        QTest::newRow("fully outside") << QPoint(20, 0) << QRect();
    }
    void bitBltClipsAtEveryEdge()
    {
        QFETCH(QPoint, to);
        QFETCH(QRect, expectedRed);
        QImage dst = filled(10, 10, Blue);
        BitBlt(dst, to.x(), to.y(), 4, 4, filled(4, 4, Red), 0, 0);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                QCOMPARE(dst.pixel(x, y), expectedRed.contains(x, y) ? Red : Blue);
    }

    void bitBltTakesTheSourceRectangle()
    {
        QImage src = filled(4, 1, Blue);
        src.setPixel(2, 0, Red);
        QImage dst = filled(3, 1, Blue);
        BitBlt(dst, 0, 0, 3, 1, src, 1, 0); // source columns 1..3 of which only 1..3 exist
        QCOMPARE(dst.pixel(1, 0), Red);
        QCOMPARE(dst.pixel(0, 0), Blue);
    }

    void enlargingRepeatsPixels()
    {
        QImage src(2, 1, QImage::Format_RGB32);
        src.setPixel(0, 0, Red);
        src.setPixel(1, 0, Blue);
        const QImage out = stretched(src, 0, 0, 2, 1, 5, 2);
        QCOMPARE(out.size(), QSize(5, 2));
        const QList<QRgb> row{Red, Red, Red, Blue, Blue}; // 5 columns from 2: floor(x * 2 / 5)
        for (int x = 0; x < 5; ++x) {
            QCOMPARE(out.pixel(x, 0), row[x]);
            QCOMPARE(out.pixel(x, 1), row[x]);
        }
    }

    // Shrinking keeps dark detail: target pixels are the AND of the source pixels they cover.
    void shrinkingCombinesWithAnd()
    {
        QImage src = filled(4, 1, qRgb(255, 255, 255));
        src.setPixel(1, 0, qRgb(0, 255, 0));
        src.setPixel(2, 0, qRgb(255, 0, 0));
        const QImage out = stretched(src, 0, 0, 4, 1, 2, 1);
        QCOMPARE(out.pixel(0, 0), qRgb(0, 255, 0));
        QCOMPARE(out.pixel(1, 0), qRgb(255, 0, 0));
    }

    void sourceOutsideTheImageReadsBlack()
    {
        const QImage out = stretched(filled(1, 1, Red), 0, 0, 2, 1, 2, 1);
        QCOMPARE(out.pixel(0, 0), Red);
        QCOMPARE(out.pixel(1, 0), qRgb(0, 0, 0));
    }
};

QTEST_APPLESS_MAIN(TestModule1)
#include "tst_module1.moc"
