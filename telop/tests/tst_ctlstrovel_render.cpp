// What the board shows: cell geometry, the board of unlit dots, the strip of lit and unlit
// cells, still frames and composed frames, and what reaches the screen.

#include "CtlStrovel.h"
#include "CtlStrovelProbe.h"
#include "Module1.h"
#include "TelopTesting.h"

#include "runtime/tests/MessageBoxRecorder.h"

#include "runtime/FontNames.h"

#include <QFontMetrics>
#include <QRegularExpression>
#include <QTest>

using namespace telop_testing;

namespace {

// A control loaded like a host's design (font with a 12-pixel text, dots of dotSize) and
// shown at the given size, which builds the board and the strip.
std::unique_ptr<CtlStrovel> shownTelop(const QString& text, QSize size, int dotSize = 5)
{
    auto control = std::make_unique<CtlStrovel>();
    control->setInterval(0);
    control->ReadProperties(designBag(text, dotSize));
    control->resize(size);
    control->show();
    return control;
}

const QImage& ninetySixDpi()
{
    static const QImage device(1, 1, QImage::Format_RGB32);
    return device;
}

QImage enlarged(const QImage& dot, int cellWidth, int cellHeight)
{
    return Module1::stretched(dot, 0, 0, dot.width(), dot.height(), cellWidth, cellHeight);
}

} // namespace

class TestCtlStrovelRender : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { platform::installFontSubstitutions(); }
    void init() { freshThreadGeometry(); }

    void cellGeometry_data()
    {
        QTest::addColumn<QSize>("dot");
        QTest::addColumn<int>("controlHeight");
        QTest::addColumn<int>("cellWidth");
        QTest::addColumn<int>("cellHeight");
        // A 12-pixel text: each text row gets controlHeight / 12 pixels.
        QTest::newRow("5x5 dots, 120 px: drawn twice their size") << QSize(5, 5) << 120 << 10 << 10;
        QTest::newRow("5x5 dots, 130 px") << QSize(5, 5) << 130 << 10 << 10;
        QTest::newRow("5x5 dots, 12 px: one pixel a cell row") << QSize(5, 5) << 12 << 1 << 1;
        QTest::newRow("20x20 dots shrink to the cell") << QSize(20, 20) << 120 << 10 << 10;
        QTest::newRow("tall narrow dots") << QSize(5, 20) << 120 << 2 << 10;
        // Enlarging: the width is the height ratio times the dot's width, whole pixels taken
        // last, so cells keep the dot's proportions.
        QTest::newRow("5x5 dots, cells 9 high") << QSize(5, 5) << 108 << 9 << 9;
        QTest::newRow("5x5 dots, cells 12 high") << QSize(5, 5) << 144 << 12 << 12;
        QTest::newRow("4x6 dots, cells 9 high") << QSize(4, 6) << 108 << 6 << 9;
        QTest::newRow("4x6 dots, cells 12 high") << QSize(4, 6) << 144 << 8 << 12;
        QTest::newRow("6x4 dots, cells 9 high: 13.5") << QSize(6, 4) << 108 << 13 << 9;
        QTest::newRow("11x11 dots, cells 15 high: just below 15")
            << QSize(11, 11) << 180 << 14 << 15;
        // Shrinking: the width is divided by the rounded (half to even) height ratio.
        QTest::newRow("12x37 dots: ratio 3.7 rounds to 4") << QSize(12, 37) << 120 << 3 << 10;
        QTest::newRow("12x35 dots: ratio 3.5 rounds to 4") << QSize(12, 35) << 120 << 3 << 10;
        QTest::newRow("12x25 dots: ratio 2.5 rounds to 2") << QSize(12, 25) << 120 << 6 << 10;
        // 1 \ round(30 / 10) would be 0; the cell keeps at least one pixel.
        QTest::newRow("cell width 0 guarded") << QSize(1, 30) << 120 << 1 << 10;
    }
    void cellGeometry()
    {
        QFETCH(QSize, dot);
        QFETCH(int, controlHeight);
        QFETCH(int, cellWidth);
        QFETCH(int, cellHeight);
        auto control = std::make_unique<CtlStrovel>();
        control->ReadProperties(designBag(QStringLiteral("AB")));
        {
            MessageBoxRecorder answers;
            control->setFrontBmp(dotPicture(dot.width(), dot.height(), LitFace));
            control->setBackBmp(dotPicture(dot.width(), dot.height(), UnlitFace));
        }
        control->resize(300, controlHeight);
        control->show();
        CtlStrovelProbe probe(*control);
        QCOMPARE(probe.PIC_STR().height(), 12);
        const auto& g = Module1::cellGeometry();
        QCOMPARE(int(g.CellWidth), cellWidth);
        QCOMPARE(int(g.CellHeight), cellHeight);
        // The board: whole cells, one more than fit, full height; the strip: a cell per pixel.
        QCOMPARE(probe.PIC_B().width(), (300 / cellWidth + 1) * cellWidth);
        QCOMPARE(probe.PIC_B().height(), controlHeight);
        QCOMPARE(probe.PIC_M().width(), cellWidth * probe.PIC_STR().width());
        QCOMPARE(probe.PIC_M().height(), cellHeight * 12);
        QCOMPARE(probe.PIC_MAIN().image().size(), probe.PIC_B().image().size());
    }

    // The stored Japanese font names lay their text out in the cell height they had: 9 pt is
    // 12 pixels a line, so a 120-pixel telop has cells 10 pixels high. Other fonts keep their
    // own line height.
    void storedFontsKeepTheirCellHeight_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("points");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("textHeight");
        QTest::newRow("ＭＳ Ｐゴシック 9 pt") << "ＭＳ Ｐゴシック" << 9.0 << "開店" << 12;
        QTest::newRow("ＭＳ ゴシック 9 pt") << "ＭＳ ゴシック" << 9.0 << "開店" << 12;
        QTest::newRow("MS PGothic 9 pt") << "MS PGothic" << 9.0 << "AB" << 12;
        QTest::newRow("ＭＳ Ｐゴシック 12 pt") << "ＭＳ Ｐゴシック" << 12.0 << "開店" << 16;
        QTest::newRow("ＭＳ Ｐゴシック 9 pt, two lines")
            << "ＭＳ Ｐゴシック" << 9.0 << "開店\r\n閉店" << 24;
        const QFont own(QStringLiteral("IPAPGothic"), 9);
        QTest::newRow("IPAPGothic keeps its own")
            << "IPAPGothic" << 9.0 << "開店" << QFontMetrics(own, &ninetySixDpi()).height();
    }
    void storedFontsKeepTheirCellHeight()
    {
        QFETCH(QString, family);
        QFETCH(double, points);
        QFETCH(QString, text);
        QFETCH(int, textHeight);
        auto control = shownTelop(QStringLiteral("x"), QSize(1016, 120));
        QFont font(family);
        font.setPointSizeF(points);
        control->setTextFont(font);
        control->setText(text);
        CtlStrovelProbe probe(*control);
        QCOMPARE(probe.PIC_STR().height(), textHeight);
        if (!text.contains(u'\n'))
            QCOMPARE(int(Module1::cellGeometry().CellHeight), 120 / textHeight);
        // The glyphs fill their line: some pixel of the text image is lit in its last rows.
        const QImage strip = probe.PIC_STR().image();
        bool lowRowsUsed = false;
        for (int y = textHeight * 2 / 3; y < textHeight && !lowRowsUsed; ++y)
            for (int x = 0; x < strip.width() && !lowRowsUsed; ++x)
                lowRowsUsed = strip.pixel(x, y) != strip.pixel(0, 0);
        QVERIFY(lowRowsUsed);
    }

    // A text of thousands of lines and one long line is cut to a bounded image.
    void textImageIsBoundedByArea()
    {
        auto control = shownTelop(QStringLiteral("x"), QSize(300, 120));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("shown cut to 32767"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("more than 64 Mpixels"));
        control->setText(QString(QStringLiteral("\n")).repeated(4000) + QString(4000, u'W'));
        CtlStrovelProbe probe(*control);
        const QSize size = probe.PIC_STR().image().size();
        QVERIFY(!size.isEmpty());
        QVERIFY2(qint64(size.width()) * size.height() <= qint64(64) << 20,
                 qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    }

    void narrowControlGetsOneCell()
    {
        auto control = shownTelop(QStringLiteral("AB"), QSize(5, 120));
        CtlStrovelProbe probe(*control);
        QCOMPARE(probe.PIC_B().width(), 10);
    }

    // Every cell of the strip shows the enlarged lit dot where the text image has a pixel and
    // the enlarged unlit dot everywhere else.
    void stripShowsTheTextAsDots()
    {
        auto control = shownTelop(QStringLiteral("Ab字"), QSize(400, 120));
        CtlStrovelProbe probe(*control);
        const QImage text = probe.PIC_STR().image();
        const QImage strip = probe.PIC_M().image();
        const QImage lit = enlarged(dotImage(5, 5, LitFace), 10, 10);
        const QImage unlit = enlarged(dotImage(5, 5, UnlitFace), 10, 10);
        int litCells = 0;
        for (int x = 0; x < text.width(); ++x) {
            for (int y = 0; y < text.height(); ++y) {
                const bool isLit = (text.pixel(x, y) & 0xFFFFFF) != 0;
                litCells += isLit;
                QCOMPARE(strip.copy(x * 10, y * 10, 10, 10), isLit ? lit : unlit);
            }
        }
        QVERIFY(litCells > 20);
        // The text image holds only pure black and pure white: no antialiased edge pixels.
        for (int x = 0; x < text.width(); ++x)
            for (int y = 0; y < text.height(); ++y)
                QVERIFY(text.pixel(x, y) == qRgb(0, 0, 0) ||
                        text.pixel(x, y) == qRgb(255, 255, 255));
    }

    void boardIsUnlitDots()
    {
        auto control = shownTelop(QStringLiteral("AB"), QSize(95, 120));
        CtlStrovelProbe probe(*control);
        const QImage unlit = enlarged(dotImage(5, 5, UnlitFace), 10, 10);
        const QImage board = probe.PIC_B().image();
        for (int x = 0; x < board.width(); x += 10)
            for (int y = 0; y < board.height(); y += 10)
                QCOMPARE(board.copy(x, y, 10, 10), unlit);
    }

    // No dots set: lit cells are pure green, unlit cells black.
    void freshInstanceShowsGreenOnBlack()
    {
        auto control = std::make_unique<CtlStrovel>();
        QFont font = twelvePixelFont();
        control->setTextFont(font);
        control->resize(300, 24);
        control->show();
        CtlStrovelProbe probe(*control);
        QCOMPARE(control->text().toString(), QStringLiteral("ABC"));
        QCOMPARE(int(Module1::cellGeometry().BmpWidth), 1);
        const QImage text = probe.PIC_STR().image();
        const QImage frame = probe.PIC_MAIN().image();
        const int cellWidth = Module1::cellGeometry().CellWidth;
        const int cellHeight = Module1::cellGeometry().CellHeight;
        QCOMPARE(cellHeight, 2);
        for (int x = 0; x < text.width(); ++x)
            for (int y = 0; y < text.height(); ++y)
                QCOMPARE(frame.pixel(x * cellWidth, y * cellHeight),
                         (text.pixel(x, y) & 0xFFFFFF) ? qRgb(0, 255, 0) : qRgb(0, 0, 0));
    }

    void emptyTextShowsTheBoardOnly()
    {
        auto control = shownTelop(QString(), QSize(300, 120));
        CtlStrovelProbe probe(*control);
        QCOMPARE(probe.PIC_STR().width(), 0);
        QCOMPARE(probe.PIC_M().width(), 0);
        QCOMPARE(probe.PIC_MAIN().image(), probe.PIC_B().image());
        control->Action(CtlStrovel::RtoL);
        probe.tick();
        QCOMPARE(probe.PIC_MAIN().image(), probe.PIC_B().image());
    }

    // A new text is drawn at once, still at the left edge, and the motion position is kept.
    void newTextShowsStillThenContinues()
    {
        auto control = shownTelop(QStringLiteral("AB"), QSize(300, 120));
        CtlStrovelProbe probe(*control);
        control->Action(CtlStrovel::RtoL);
        for (int i = 0; i < 5; ++i)
            probe.tick();
        control->setText(QStringLiteral("XYZ"));
        const QImage strip = probe.PIC_M().image();
        QCOMPARE(probe.PIC_MAIN().image().copy(0, 0, strip.width(), strip.height()), strip);
        QCOMPARE(int(probe.state().Position), 5);
        probe.tick();
        QCOMPARE(int(probe.lastStripX()), probe.PIC_B().width() - 60);
    }

    // Every tick redraws the whole frame: the board, then the strip at x, clipped.
    void tickComposesBoardAndStrip()
    {
        auto control = shownTelop(QStringLiteral("AB"), QSize(300, 120));
        CtlStrovelProbe probe(*control);
        control->Action(CtlStrovel::RtoL);
        for (int i = 0; i < 3; ++i)
            probe.tick();
        const int x = probe.lastStripX();
        const QImage board = probe.PIC_B().image();
        const QImage strip = probe.PIC_M().image();
        const QImage frame = probe.PIC_MAIN().image();
        QCOMPARE(x, board.width() - 30);
        QCOMPARE(frame.copy(0, 0, x, frame.height()), board.copy(0, 0, x, board.height()));
        QCOMPARE(frame.copy(x, 0, 30, strip.height()), strip.copy(0, 0, 30, strip.height()));
    }

    // Cls shows one frame without text; the next tick re-enters from the mode's start edge.
    void clsWhileScrolling()
    {
        auto control = shownTelop(QStringLiteral("AB"), QSize(300, 120));
        CtlStrovelProbe probe(*control);
        control->Action(CtlStrovel::RtoL);
        for (int i = 0; i < 12; ++i)
            probe.tick();
        control->Cls();
        QCOMPARE(probe.PIC_MAIN().image(), probe.PIC_B().image());
        QCOMPARE(int(probe.state().Position), 0);
        QVERIFY(probe.timerEnabled());
        probe.tick();
        QCOMPARE(int(probe.lastStripX()), probe.PIC_B().width() - 10);
    }

    // What the widget paints is the composed frame.
    void screenShowsTheFrame()
    {
        auto control = shownTelop(QStringLiteral("AB"), QSize(300, 120));
        CtlStrovelProbe probe(*control);
        control->Action(CtlStrovel::RtoL);
        for (int i = 0; i < 4; ++i)
            probe.tick();
        const QImage shown = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, probe.PIC_MAIN().image().copy(0, 0, 300, 120));
    }

    // A strip longer than 16-bit positions reach is cut there: bounded memory, and the part
    // that can be scrolled still scrolls.
    void overlongTextIsCut()
    {
        auto control = shownTelop(QStringLiteral("AB"), QSize(300, 120));
        CtlStrovelProbe probe(*control);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("shown cut to 32767"));
        control->setText(QString(4000, QChar(u'字')));
        QCOMPARE(probe.PIC_STR().width(), 32767);
        QCOMPARE(probe.PIC_M().width(), 32767);
        control->Action(CtlStrovel::LtoR);
        probe.tick();
        QCOMPARE(int(probe.lastStripX()), 10 - 32767);
    }
};

QTEST_MAIN(TestCtlStrovelRender)
#include "tst_ctlstrovel_render.moc"
