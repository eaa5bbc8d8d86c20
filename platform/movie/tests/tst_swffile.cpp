// Reading and writing SWF files, and the frame reports added to old-style movies.

#include "movie/SwfFile.h"
#include "movie/SwfWriter.h"

#include <QTest>
#include <QtEndian>
#include <lzma.h>

using namespace platform::swf;

namespace {

SwfFile twoFrames()
{
    SwfFile swf = emptyMovie(6, 400, 300, 12);
    swf.tags << backgroundColor(qRgb(0, 0, 64))
             << rectangleShape(1, QRect(0, 0, 400, 400), qRgb(255, 0, 0)) << placeObject(1, 1, 0, 0)
             << showFrame() << moveObject(1, 200, 100) << doAction(action::stop()) << showFrame()
             << Tag{End, {}};
    swf.frameCount = 2;
    return swf;
}

QByteArray zlibFile(const QByteArray& plain)
{
    return "CWS" + plain.mid(3, 5) + qCompress(plain.mid(8)).mid(4); // qCompress puts a size first
}

QByteArray lzmaFile(const QByteArray& plain)
{
    const QByteArray body = plain.mid(8);
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&stream, &options) != LZMA_OK)
        return {};
    QByteArray out(body.size() + 1024, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<const uint8_t*>(body.constData());
    stream.avail_in = size_t(body.size());
    stream.next_out = reinterpret_cast<uint8_t*>(out.data());
    stream.avail_out = size_t(out.size());
    const bool done = lzma_code(&stream, LZMA_FINISH) == LZMA_STREAM_END;
    out.truncate(qsizetype(stream.total_out));
    lzma_end(&stream);
    if (!done)
        return {};
    // .lzma: properties (5), size (8), data; SWF: compressed length (4), properties, data.
    char length[4];
    qToLittleEndian(quint32(out.size() - 13), length);
    return "ZWS" + plain.mid(3, 5) + QByteArray(length, 4) + out.left(5) + out.mid(13);
}

} // namespace

class TestSwfFile : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryKindOfFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray plain = twoFrames().toBytes();
        QTest::newRow("plain") << plain;
        QTest::newRow("zlib") << zlibFile(plain);
        QTest::newRow("LZMA") << lzmaFile(plain);
    }
    void readsEveryKindOfFile()
    {
        QFETCH(QByteArray, file);
        const auto swf = readSwf(file);
        QVERIFY(swf);
        QCOMPARE(swf->version, 6);
        QCOMPARE(swf->frameCount, quint16(2));
        QCOMPARE(swf->frameRate, quint16(12 * 256));
        QCOMPARE(swf->tags.size(), twoFrames().tags.size());
        QVERIFY(!swf->isActionScript3());
        QCOMPARE(swf->toBytes(), twoFrames().toBytes()); // written back byte for byte
    }

    void refusesWhatIsNoMovie_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray plain = twoFrames().toBytes();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("a picture") << QByteArray("\x89PNG\r\n\x1a\n....");
        QTest::newRow("cut short") << plain.left(plain.size() / 2);
        QTest::newRow("bad zlib") << QByteArray("CWS\x0a\xff\x00\x00\x00garbage");
        QTest::newRow("bad LZMA") << QByteArray(
            "ZWS\x0d\xff\x00\x00\x00\x05\x00\x00\x00garbagegarbage");
    }
    void refusesWhatIsNoMovie()
    {
        QFETCH(QByteArray, file);
        QVERIFY(!readSwf(file));
    }

    void tellsActionScript3()
    {
        SwfFile swf = twoFrames();
        swf.tags.prepend(Tag{FileAttributes, QByteArray::fromHex("08000000")});
        QVERIFY(readSwf(swf.toBytes())->isActionScript3());
    }

    // One report before every frame the main timeline shows; nothing else changes.
    void addsAFrameReportToEveryFrame()
    {
        const SwfFile original = twoFrames();
        const SwfFile reported = withFrameReports(original);
        QCOMPARE(reported.tags.size(), original.tags.size() + 2);
        for (qsizetype i = 0; i < reported.tags.size(); ++i) {
            if (reported.tags[i].code == ShowFrame) {
                QCOMPARE(reported.tags[i - 1].code, int(DoAction));
                QVERIFY(reported.tags[i - 1].body.contains("FSCommand:lumaret_frame"));
            }
        }
        QCOMPARE(reported.frameCount, original.frameCount);
    }
};

QTEST_APPLESS_MAIN(TestSwfFile)
#include "tst_swffile.moc"
