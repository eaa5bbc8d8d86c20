// Reading and writing SWF files, the frame reports added to old-style movies, and the watch on
// the web player's memory.

#include "movie/RenderMemoryWatch.h"
#include "movie/SlideEffectMarker.h"
#include "movie/SlideParameters.h"
#include "movie/SwfFile.h"
#include "movie/SwfWriter.h"
#include "text/Cp932.h"

#include <QScopeGuard>
#include <QTest>
#include <QtEndian>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

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

// A sprite of one frame that holds the tag.
Tag inSprite(const Tag& tag)
{
    QByteArray body = QByteArray::fromHex("07000100"); // id 7, one frame
    for (const Tag& inner : {tag, Tag{ShowFrame, {}}, Tag{End, {}}}) {
        char header[6];
        qToLittleEndian(quint16(inner.code << 6 | 0x3f), header);
        qToLittleEndian(quint32(inner.body.size()), header + 2);
        body += QByteArray(header, 6) + inner.body;
    }
    return {DefineSprite, body};
}

} // namespace

Q_DECLARE_METATYPE(platform::swf::Tag)
Q_DECLARE_METATYPE(platform::swf::SwfFile::Compression)

class TestSwfFile : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryKindOfFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray plain = twoFrames().toBytes();
        QTest::newRow("plain") << plain;
        QTest::newRow("zlib") << twoFrames().toBytes(SwfFile::Compression::Zlib);
        QTest::newRow("LZMA") << twoFrames().toBytes(SwfFile::Compression::Lzma);
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

    // Stage rectangles of every field width: the record's length follows its bit count, odd
    // or even, and the tags after it are read from the right place.
    void readsStageRectanglesOfEveryWidth_data()
    {
        QTest::addColumn<int>("twips");
        for (int bits = 2; bits <= 20; ++bits)
            QTest::addRow("%d-bit fields", bits) << (1 << (bits - 2));
    }
    void readsStageRectanglesOfEveryWidth()
    {
        QFETCH(int, twips);
        SwfFile swf = twoFrames();
        swf.frameRect = rectRecord(QRect(0, 0, twips, twips));
        const auto read = readSwf(swf.toBytes());
        QVERIFY(read);
        QCOMPARE(read->frameRect, swf.frameRect);
        QCOMPARE(read->frameCount, quint16(2));
        QCOMPARE(read->tags.size(), swf.tags.size());
        QCOMPARE(read->toBytes(), swf.toBytes());
    }

    // Tag bodies of 63 bytes and more need the long header; a short header's length field
    // of 63 means "the length follows".
    void writesTagLengthsAroundTheShortLimit_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("headerBytes");
        QTest::newRow("62 bytes: short header") << 62 << 2;
        QTest::newRow("63 bytes: long header") << 63 << 6;
        QTest::newRow("64 bytes: long header") << 64 << 6;
        QTest::newRow("empty") << 0 << 2;
    }
    void writesTagLengthsAroundTheShortLimit()
    {
        QFETCH(int, length);
        QFETCH(int, headerBytes);
        const SwfFile plain = twoFrames();
        SwfFile swf = plain;
        const Tag tag{SetBackgroundColor + 100, QByteArray(length, '\x5a')};
        swf.tags.prepend(tag);
        const QByteArray bytes = swf.toBytes();
        QCOMPARE(bytes.size() - plain.toBytes().size(), qsizetype(headerBytes + length));
        const auto read = readSwf(bytes);
        QVERIFY(read);
        QCOMPARE(read->tags.first().code, tag.code);
        QCOMPARE(read->tags.first().body, tag.body);
        QCOMPARE(read->tags.size(), swf.tags.size());
    }

    void refusesWhatIsNoMovie_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray plain = twoFrames().toBytes();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("a picture") << QByteArray("\x89PNG\r\n\x1a\n....");
        QTest::newRow("header only") << plain.left(8);
        QTest::newRow("compressed header only") << QByteArray("CWS\x0a\x40\x00\x00\x00");
        QTest::newRow("bad zlib") << QByteArray("CWS\x0a\xff\x00\x00\x00garbage");
        QTest::newRow("bad LZMA") << QByteArray(
            "ZWS\x0d\xff\x00\x00\x00\x05\x00\x00\x00garbagegarbage");
    }
    void refusesWhatIsNoMovie()
    {
        QFETCH(QByteArray, file);
        QVERIFY(!readSwf(file));
    }

    // Files the web player plays although they are not quite right are read as far as they
    // go, so that they get frame reports and control like any other.
    void readsWhatTheWebPlayerPlays_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("actionScript3");
        QTest::addColumn<int>("intactTags"); // tags read as written, from the first
        const auto withLength = [](QByteArray file, int change) {
            const quint32 length = qFromLittleEndian<quint32>(file.constData() + 4);
            qToLittleEndian(quint32(qint64(length) + change), file.data() + 4);
            return file;
        };
        for (const bool as3 : {false, true}) {
            SwfFile swf = twoFrames();
            if (as3)
                swf.tags.prepend(Tag{FileAttributes, QByteArray::fromHex("08000000")});
            const int all = int(swf.tags.size()) - 1; // without End
            const QByteArray plain = swf.toBytes();
            const QByteArray zlib = swf.toBytes(SwfFile::Compression::Zlib);
            const QByteArray lzma = swf.toBytes(SwfFile::Compression::Lzma);
            const char* kind = as3 ? "ActionScript 3" : "old-style";
            QTest::addRow("%s, last tag cut short", kind) << plain.chopped(3) << as3 << all - 1;
            QTest::addRow("%s, length one more", kind) << withLength(plain, 1) << as3 << all;
            QTest::addRow("%s, length one less", kind) << withLength(plain, -1) << as3 << all;
            QTest::addRow("%s, last tag runs past the end", kind)
                << plain.chopped(2) + QByteArray::fromHex("ff03e8030000") + QByteArray(10, 'x')
                << as3 << all;
            QTest::addRow("%s, zlib stream cut short", kind) << zlib.chopped(6) << as3 << all - 1;
            QTest::addRow("%s, zlib, length one less", kind) << withLength(zlib, -1) << as3 << all;
            QTest::addRow("%s, zlib, length one more", kind) << withLength(zlib, 1) << as3 << all;
            QTest::addRow("%s, LZMA, length one less", kind) << withLength(lzma, -1) << as3 << all;
            QTest::addRow("%s, LZMA, length one more", kind) << withLength(lzma, 1) << as3 << all;
        }
    }
    void readsWhatTheWebPlayerPlays()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, actionScript3);
        QFETCH(int, intactTags);
        const auto swf = readSwf(file);
        QVERIFY(swf);
        QCOMPARE(swf->isActionScript3(), actionScript3);
        QCOMPARE(swf->frameCount, quint16(2));
        SwfFile written = twoFrames();
        if (actionScript3)
            written.tags.prepend(Tag{FileAttributes, QByteArray::fromHex("08000000")});
        QVERIFY(swf->tags.size() >= intactTags);
        for (int i = 0; i < intactTags; ++i) {
            QCOMPARE(swf->tags[i].code, written.tags[i].code);
            QCOMPARE(swf->tags[i].body, written.tags[i].body);
        }
        // Written back, it is a well-formed movie.
        QVERIFY(readSwf(swf->toBytes()));
    }

    // A compression bomb is refused before it takes the memory, however it is compressed.
    void refusesACompressionBomb_data()
    {
        QTest::addColumn<SwfFile::Compression>("compression");
        QTest::newRow("zlib") << SwfFile::Compression::Zlib;
        QTest::newRow("LZMA") << SwfFile::Compression::Lzma;
    }
    void refusesACompressionBomb()
    {
        QFETCH(SwfFile::Compression, compression);
        SwfFile swf = twoFrames();
        swf.tags.prepend(Tag{87, QByteArray(MaxBodySize, 0)}); // DefineBinaryData
        QVERIFY(!readSwf(swf.toBytes(compression)));
    }

    void tellsActionScript3()
    {
        SwfFile swf = twoFrames();
        swf.tags.prepend(Tag{FileAttributes, QByteArray::fromHex("08000000")});
        QVERIFY(readSwf(swf.toBytes())->isActionScript3());
    }

    // Device text costs the web player a font load, so only movies that may show it get one.
    void tellsDeviceText_data()
    {
        QTest::addColumn<Tag>("tag");
        QTest::addColumn<bool>("deviceText");
        const QByteArray bounds = rectRecord(QRect(0, 0, 2000, 400));
        QTest::newRow("shapes only") << Tag{ShowFrame, {}} << false;
        QTest::newRow("text field in device fonts")
            << Tag{DefineEditText,
                   QByteArray::fromHex("0500") + bounds + QByteArray::fromHex("0100")}
            << true;
        QTest::newRow("text field with outlines")
            << Tag{DefineEditText,
                   QByteArray::fromHex("0500") + bounds + QByteArray::fromHex("0101")}
            << false;
        QTest::newRow("old-style code making a text field")
            << doAction(QByteArray::fromHex("96") + "createTextField") << true;
        QTest::newRow("ActionScript 3 code using TextField")
            << Tag{DoABC, QByteArray::fromHex("00") + "flash.text" + QByteArray::fromHex("00") +
                              "TextField"}
            << true;
        QTest::newRow("code in a sprite making a text field")
            << inSprite(doAction(QByteArray::fromHex("96") + "createTextField")) << true;
    }
    void tellsDeviceText()
    {
        QFETCH(Tag, tag);
        QFETCH(bool, deviceText);
        SwfFile swf = twoFrames();
        swf.tags.prepend(tag);
        QCOMPARE(readSwf(swf.toBytes())->mayUseDeviceText(), deviceText);
    }

    // A movie that can not play sound is played without audio output, which costs the PC a
    // steady share of a core; any way a movie may make sound keeps it. A movie that may load
    // another gets an output at its first sound.
    void tellsSound_data()
    {
        QTest::addColumn<Tag>("tag");
        QTest::addColumn<bool>("sound");
        QTest::addColumn<bool>("loads");
        QTest::newRow("shapes only") << Tag{ShowFrame, {}} << false << false;
        QTest::newRow("old-style code without sound") << doAction(action::stop()) << false << false;
        QTest::newRow("event sound") << Tag{DefineSound, QByteArray(8, '\0')} << true << false;
        QTest::newRow("stream sound")
            << Tag{SoundStreamHead2, QByteArray(4, '\0')} << true << false;
        QTest::newRow("embedded video")
            << Tag{DefineVideoStream, QByteArray(10, '\0')} << true << false;
        QTest::newRow("stream sound in a sprite")
            << inSprite(Tag{SoundStreamHead, QByteArray(4, '\0')}) << true << false;
        QTest::newRow("sprite in a sprite with a sound")
            << inSprite(inSprite(Tag{StartSound, QByteArray(3, '\0')})) << true << false;
        QTest::newRow("old-style code loading a sound")
            << doAction(QByteArray::fromHex("96") + "Sound" + '\0' + "loadSound") << true << false;
        QTest::newRow("clip-event code starting a sound")
            << Tag{PlaceObject2, QByteArray::fromHex("c20100") + "Sound" + '\0' + "start"} << true
            << false;
        QTest::newRow("ActionScript 3 code playing a stream")
            << Tag{DoABC, QByteArray::fromHex("00") + "flash.net" + '\0' + "NetStream"} << true
            << false;
        QTest::newRow("old-style getURL into a level")
            << doAction(action::getUrl("child.swf", "_level1")) << false << true;
        QTest::newRow("old-style load into a clip")
            << doAction(QByteArray::fromHex("9a010040")) << false << true;
        QTest::newRow("old-style getURL to a window")
            << doAction(action::getUrl("http://example.invalid/", "_blank")) << false << false;
        QTest::newRow("clip-event code with MovieClipLoader")
            << Tag{PlaceObject2, QByteArray::fromHex("c20100") + "MovieClipLoader"} << false
            << true;
        QTest::newRow("ActionScript 3 Loader")
            << Tag{DoABC, QByteArray::fromHex("0006") + "Loader"} << false << true;
        QTest::newRow("ActionScript 3 URLLoader only")
            << Tag{DoABC, QByteArray::fromHex("0009") + "URLLoader"} << false << false;
    }
    void tellsSound()
    {
        QFETCH(Tag, tag);
        QFETCH(bool, sound);
        QFETCH(bool, loads);
        SwfFile swf = twoFrames();
        swf.tags.prepend(tag);
        const auto read = readSwf(swf.toBytes());
        QCOMPARE(read->mayPlaySound(), sound);
        QCOMPARE(read->mayLoadMovies(), loads);
    }

    // One report before every frame the main timeline shows, and the timeline control offered
    // on the first; nothing else changes.
    void addsAFrameReportToEveryFrame()
    {
        const SwfFile original = twoFrames();
        const SwfFile reported = withFrameReports(original);
        QCOMPARE(reported.tags.size(), original.tags.size() + 3);
        for (qsizetype i = 0; i < reported.tags.size(); ++i) {
            if (reported.tags[i].code == ShowFrame) {
                QCOMPARE(reported.tags[i - 1].code, int(DoAction));
                QVERIFY(reported.tags[i - 1].body.contains("FSCommand:lumaret_frame"));
            }
        }
        QCOMPARE(reported.frameCount, original.frameCount);
    }

    // The marker is found in the head of a movie in any of the three kinds of file, and only a
    // marker naming a known effect in a known version counts.
    void tellsMarkedSlideShows_data()
    {
        using platform::movie::SlideEffect;
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("effect"); // -1: played as a movie
        const auto marked = [](SlideEffect effect, SwfFile::Compression compression) {
            return platform::movie::withSlideEffectMarker(twoFrames(), effect)
                .toBytes(compression)
                .left(platform::movie::SlideEffectHeadSize);
        };
        QTest::newRow("fade, plain")
            << marked(SlideEffect::Fade, SwfFile::Compression::None) << int(SlideEffect::Fade);
        QTest::newRow("slide, zlib")
            << marked(SlideEffect::Slide, SwfFile::Compression::Zlib) << int(SlideEffect::Slide);
        QTest::newRow("none, LZMA")
            << marked(SlideEffect::None, SwfFile::Compression::Lzma) << int(SlideEffect::None);
        QTest::newRow("placeholder, zlib")
            << marked(SlideEffect::Placeholder, SwfFile::Compression::Zlib)
            << int(SlideEffect::Placeholder);
        QTest::newRow("no marker") << twoFrames().toBytes() << -1;
        QByteArray later = marked(SlideEffect::Fade, SwfFile::Compression::None);
        later.replace("<lumaret:version>1<", "<lumaret:version>2<");
        QTest::newRow("a later version") << later << -1;
        QByteArray unknown = marked(SlideEffect::Fade, SwfFile::Compression::None);
        unknown.replace(">fade<", ">wipe<");
        QTest::newRow("an unknown effect") << unknown << -1;
        QTest::newRow("cut inside the marker")
            << marked(SlideEffect::Fade, SwfFile::Compression::None).left(60) << -1;
        QTest::newRow("no movie") << QByteArray("<rdf:RDF>fade</rdf:RDF>") << -1;
    }
    void tellsMarkedSlideShows()
    {
        QFETCH(QByteArray, head);
        QFETCH(int, effect);
        const auto marker = platform::movie::knownSlideEffect(head);
        QCOMPARE(marker ? int(marker->effect) : -1, effect);
        if (marker)
            QCOMPARE(marker->framesPerSecond, 12.0);
    }

    // The slide list as the effect movies read it, from the files the writers make and from
    // files nobody meant.
    void readsSlideListsAsTheMoviesDo_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("milliseconds");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("start-up default")
            << QByteArray("interface2=3000#5#quandor.jpg#quandor.jpg#quandor.jpg#quandor.jpg#"
                          "quandor.jpg")
            << 3000 << QStringList(5, QStringLiteral("quandor.jpg"));
        QTest::newRow("dialog, gaps, Japanese, leading blank")
            << QByteArray("interface2=12000#4#a.jpg#" +
                          platform::toCp932(QStringLiteral("赤い画像.jpg")) + "# b.jpg")
            << 12000 << QStringList{"a.jpg", "赤い画像.jpg", " b.jpg"};
        QTest::newRow("dialog, no pictures")
            << QByteArray("interface2=5000#0") << 5000 << QStringList();
        QTest::newRow("0 seconds: the default time")
            << QByteArray("interface2=0000#1#a.jpg") << 3000 << QStringList{"a.jpg"};
        QTest::newRow("stopped after the name: 11 bytes")
            << QByteArray("interface2=") << 3000 << QStringList();
        QTest::newRow("empty") << QByteArray() << 3000 << QStringList();
        QTest::newRow("no prefix, hexadecimal time")
            << QByteArray(" 0x7D0#1#a.jpg#") << 2000 << QStringList{"a.jpg"};
        QTest::newRow("garbled") << QByteArray("\x81interface2=x#\xff#a##b") << 3000
                                 << QStringList{"a", "b"};
        QTest::newRow("negative time, count ignored")
            << QByteArray("interface2=-5#9#a.jpg") << 3000 << QStringList{"a.jpg"};
        QTest::newRow("100,000 names: the first 1000")
            << QByteArray("interface2=3000#0") + QByteArray("#x.jpg").repeated(100000) << 3000
            << QStringList(platform::movie::MaxSlideNames, QStringLiteral("x.jpg"));
    }
    void readsSlideListsAsTheMoviesDo()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, milliseconds);
        QFETCH(QStringList, names);
        const auto parameters = platform::movie::parseSlideParameters(file);
        QCOMPARE(parameters.milliseconds, milliseconds);
        QCOMPARE(parameters.names, names);
    }

    // A picture's name is an address relative to the movie's folder, never leading out of it.
    void findsPicturesAsAddresses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "a.jpg"
                               << "/show/img/a.jpg";
        QTest::newRow("blank kept inside") << "my a.jpg"
                                           << "/show/img/my a.jpg";
        QTest::newRow("line end from an editor") << "a.jpg\r\n"
                                                 << "/show/img/a.jpg";
        QTest::newRow("backslash folder") << "sub\\a.jpg"
                                          << "/show/img/sub/a.jpg";
        QTest::newRow("escaped blank") << "my%20a.jpg"
                                       << "/show/img/my a.jpg";
        QTest::newRow("query") << "a.jpg?v=2"
                               << "/show/img/a.jpg";
        QTest::newRow("parent folder") << "../a.jpg"
                                       << "";
        QTest::newRow("far up") << "sub/../../../home/u/private.jpg"
                                << "";
        QTest::newRow("absolute") << "/home/u/private.jpg"
                                  << "";
    }
    void findsPicturesAsAddresses()
    {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QCOMPARE(platform::movie::picturePath(QStringLiteral("/show/img"), name), path);
    }

    // Growth is measured from the latest page's baseline: after a reload, what the old page
    // took (here 64 MiB this process touches) no longer counts.
    void memoryGrowthIsMeasuredFromTheLatestPage()
    {
        platform::movie::RenderMemoryWatch watch([] { return qint64(::getpid()); });
        watch.setSettleMs(0);
        watch.pageLoaded();
        QVERIFY(qAbs(watch.growth()) < (16 << 20)); // takes the baseline
        constexpr size_t Taken = 64 << 20;          // fresh pages of its own, touched
        void* taken =
            ::mmap(nullptr, Taken, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        QVERIFY(taken != MAP_FAILED);
        const auto release = qScopeGuard([&] { ::munmap(taken, Taken); });
        std::memset(taken, 1, Taken);
        QVERIFY(watch.growth() > (48 << 20));
        watch.pageLoaded();
        QVERIFY(qAbs(watch.growth()) < (16 << 20));
    }
};

QTEST_APPLESS_MAIN(TestSwfFile)
#include "tst_swffile.moc"
