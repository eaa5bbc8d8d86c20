// The presentation component with its real engines: the web player for SWF 6, SWF 8 and
// ActionScript 3 movies and the shipped effect movie, Qt Multimedia for video, QMovie for
// pictures. Runs on a virtual X display.

#include "movie/MovieDispatch.h"
#include "movie/MoviePlayer.h"
#include "movie/RuffleEngine.h"
#include "movie/SlideShowEngine.h"
#include "movie/SwfFile.h"
#include "movie/SwfWriter.h"
#include "movie/WebEngineSetup.h"
#include "text/Cp932.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMutex>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QtEndian>
#include <csignal>
#include <memory>
#include <optional>

using platform::movie::MoviePlayer;

// The web player's engine, from its library (linked here).
inline platform::movie::RuffleEngine* swfEngine(const platform::movie::MoviePlayer& player)
{
    return qobject_cast<platform::movie::RuffleEngine*>(player.webPlayer());
}

namespace {

const QString Fixtures = QStringLiteral(MOVIE_FIXTURES);
const QString ProgramDir = QStringLiteral(PROGRAM_DIR);
constexpr int Startup = 15000; // the first movie starts the web engine

QString fixture(const char* name)
{
    return QDir(Fixtures).filePath(QString::fromLatin1(name));
}

QRgb centreOf(QWidget& widget)
{
    const QImage shot = widget.grab().toImage();
    return shot.pixel(shot.width() / 2, shot.height() / 2);
}

bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 40 && qAbs(qGreen(a) - qGreen(b)) < 40 &&
           qAbs(qBlue(a) - qBlue(b)) < 40;
}

// The frame, read twice `apart` ms apart: equal when the movie stands still.
std::pair<int, int> frameTwice(const MoviePlayer& player, int apart)
{
    const int first = player.FrameNum();
    QTest::qWait(apart);
    return {first, player.FrameNum()};
}

// Counts the page's requests by file name.
class RequestCounter : public QWebEngineUrlRequestInterceptor
{
public:
    RequestCounter() { QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(this); }
    ~RequestCounter() override
    {
        QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(nullptr);
    }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QMutexLocker lock(&m_mutex);
        m_names << info.requestUrl().fileName();
    }
    int count(const QString& name)
    {
        const QMutexLocker lock(&m_mutex);
        return int(m_names.count(name));
    }

private:
    QMutex m_mutex;
    QStringList m_names;
};

QByteArray fixtureBytes(const char* name)
{
    QFile file(fixture(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fixture with another SWF version in its header.
QByteArray fixtureAsVersion(const char* name, int version)
{
    QByteArray movie = fixtureBytes(name);
    movie[3] = char(version);
    return movie;
}

// Writes the movie into the folder; its path, or "" when it can not be written.
QString savedMovie(const QTemporaryDir& dir, const QByteArray& movie)
{
    const QString path = dir.filePath(QStringLiteral("movie.swf"));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(movie) == movie.size() ? path : QString();
}

// The shipped movie without its slide-show marker: the same movie, played by the web player.
QByteArray unmarked(const QString& shipped)
{
    QFile file(QDir(ProgramDir).filePath(QStringLiteral("img/") + shipped));
    auto movie = platform::swf::readSwf(file.open(QIODevice::ReadOnly) ? file.readAll() : "");
    if (!movie)
        return {};
    movie->tags.removeIf([](const auto& tag) { return tag.code == platform::swf::Metadata; });
    return movie->toBytes(platform::swf::SwfFile::Compression::Zlib);
}

// The web engine's render processes among this process's descendants (other tests may run
// web engines of their own meanwhile): the engine's zygotes fork them without a program of
// their own, so they are the engine's processes whose parent is one too.
int renderProcesses()
{
    QMultiHash<qint64, qint64> children;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray fields = stat.readAll();
        const QList<QByteArray> after = fields.mid(fields.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 1)
            children.insert(after[1].toLongLong(), pid.toLongLong());
    }
    const auto isEngine = [](qint64 pid) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return commandLine.open(QIODevice::ReadOnly) &&
               commandLine.readAll().contains("QtWebEngineProcess");
    };
    int count = 0;
    QList<qint64> todo{QCoreApplication::applicationPid()};
    while (!todo.isEmpty()) {
        const qint64 pid = todo.takeLast();
        const bool engine = isEngine(pid);
        for (const qint64 child : children.values(pid)) {
            count += engine && isEngine(child);
            todo << child;
        }
    }
    return count;
}

enum class Engine
{
    Native,
    WebPlayer
};

// A slide show in the folder: the shipped effect movie `movie` showing a red and a green
// picture for `milliseconds` each, natively or (without its marker) through the web player.
// The movie's path, or "" when it can not be made.
QString redAndGreenSlideShow(const QTemporaryDir& img, const QString& movie, int milliseconds,
                             Engine engine = Engine::Native)
{
    if (engine == Engine::Native &&
        !QFile::copy(QDir(ProgramDir).filePath(QStringLiteral("img/") + movie),
                     img.filePath(movie)))
        return {};
    if (engine == Engine::WebPlayer) {
        QFile copy(img.filePath(movie));
        if (!copy.open(QIODevice::WriteOnly) || copy.write(unmarked(movie)) <= 0)
            return {};
    }
    for (const auto& [name, colour] :
         {std::pair{"red.jpg", qRgb(255, 0, 0)}, std::pair{"green.jpg", qRgb(0, 255, 0)}}) {
        QImage picture(320, 200, QImage::Format_RGB32);
        picture.fill(colour);
        if (!picture.save(img.filePath(QLatin1String(name))))
            return {};
    }
    QFile parameters(img.filePath(QStringLiteral("swfpara.txt")));
    if (!parameters.open(QIODevice::WriteOnly) ||
        parameters.write(QByteArray("interface2=") + QByteArray::number(milliseconds) +
                         "#2#red.jpg#green.jpg") < 0)
        return {};
    return img.filePath(movie);
}

// A looping old-style movie of 30 frames whose first and second frames run the given actions.
QByteArray loopingMovie(const QByteArray& firstFrameActions, int version = 8,
                        const QByteArray& secondFrameActions = {})
{
    using namespace platform::swf;
    SwfFile swf = emptyMovie(version, 320, 240, 24);
    swf.tags << backgroundColor(qRgb(0, 0, 96)) << doAction(firstFrameActions) << showFrame()
             << doAction(secondFrameActions);
    for (int i = 1; i < 30; ++i)
        swf.tags << showFrame();
    swf.tags << Tag{End, {}};
    swf.frameCount = 30;
    return swf.toBytes();
}

// A push action of one string.
QByteArray pushString(const QByteArray& text)
{
    const QByteArray data = '\0' + text + '\0';
    return char(0x96) + QByteArray(1, char(data.size() & 0xff)) + char(data.size() >> 8) + data;
}

// A tag as it stands inside a sprite: long header, then the body.
QByteArray tagBytes(const platform::swf::Tag& tag)
{
    QByteArray bytes(6, '\0');
    qToLittleEndian(quint16(tag.code << 6 | 0x3f), bytes.data());
    qToLittleEndian(quint32(tag.body.size()), bytes.data() + 2);
    return bytes + tag.body;
}

// A rectangle inside sprites nested `depth` deep.
QByteArray nestedSprites(int depth)
{
    using namespace platform::swf;
    SwfFile swf = emptyMovie(8, 320, 240, 24);
    swf.tags << rectangleShape(1, QRect(0, 0, 2000, 2000), qRgb(255, 0, 0));
    for (int id = 2; id <= depth + 1; ++id) {
        QByteArray body(4, '\0');
        qToLittleEndian(quint16(id), body.data());
        qToLittleEndian(quint16(1), body.data() + 2);
        body += tagBytes(placeObject(1, quint16(id - 1), 0, 0)) + tagBytes(showFrame()) +
                tagBytes(Tag{End, {}});
        swf.tags << Tag{39, body}; // DefineSprite
    }
    swf.tags << placeObject(1, quint16(depth + 1), 0, 0) << showFrame() << Tag{End, {}};
    swf.frameCount = 1;
    return swf.toBytes();
}

// A compressed movie that unpacks to more than a movie may be.
QByteArray compressionBomb()
{
    using namespace platform::swf;
    SwfFile swf = emptyMovie(10, 320, 240, 24);
    swf.tags << Tag{87, QByteArray(MaxBodySize, 0)} << showFrame() << Tag{End, {}}; // binary data
    swf.frameCount = 1;
    return swf.toBytes(SwfFile::Compression::Zlib);
}

// Listens on 127.0.0.1 for anything a movie sends off the machine: TCP (HTTP, WebSocket,
// sockets) on one port, UDP (WebRTC's STUN) on another. Records the first line of each.
class RequestLogger : public QObject
{
public:
    RequestLogger()
    {
        m_tcp.listen(QHostAddress::LocalHost);
        m_udp.bind(QHostAddress::LocalHost);
        connect(&m_tcp, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_tcp.nextPendingConnection()) {
                socket->setParent(this);
                m_received << QStringLiteral("connection");
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_received << QString::fromLatin1(socket->readAll().split('\r').first());
                });
            }
        });
        connect(&m_udp, &QUdpSocket::readyRead, this, [this] {
            while (m_udp.hasPendingDatagrams()) {
                m_udp.receiveDatagram();
                m_received << QStringLiteral("datagram");
            }
        });
    }
    bool listens() const { return m_tcp.isListening() && m_udp.state() == QUdpSocket::BoundState; }
    quint16 tcpPort() const { return m_tcp.serverPort(); }
    quint16 udpPort() const { return m_udp.localPort(); }
    const QStringList& received() const { return m_received; }

    // A script that tries each way a page has to reach the logger.
    QString pageScript() const
    {
        const QString http = QStringLiteral("http://127.0.0.1:%1/page-").arg(tcpPort());
        const QStringList routes{
            QStringLiteral("fetch('%1fetch')").arg(http),
            QStringLiteral("new WebSocket('ws://127.0.0.1:%1/page-websocket')").arg(tcpPort()),
            QStringLiteral("navigator.sendBeacon('%1beacon', 'x')").arg(http),
            QStringLiteral("new Image().src = '%1image'").arg(http),
            QStringLiteral("document.body.appendChild(Object.assign(document.createElement("
                           "'iframe'), {src: '%1frame'}))")
                .arg(http),
            QStringLiteral("const c = new RTCPeerConnection({iceServers: [{urls: "
                           "'stun:127.0.0.1:%1'}]}); c.createDataChannel('d'); "
                           "c.createOffer().then((o) => c.setLocalDescription(o)); "
                           "window.keptConnection = c")
                .arg(udpPort()),
        };
        QString script;
        for (const QString& route : routes)
            script += QStringLiteral("try { %1; } catch (e) {}\n").arg(route);
        return script;
    }

private:
    QTcpServer m_tcp;
    QUdpSocket m_udp;
    QStringList m_received;
};

// A push action of one 32-bit integer.
QByteArray pushInteger(qint32 value)
{
    QByteArray data(5, '\7');
    qToLittleEndian(value, data.data() + 1);
    return char(0x96) + QByteArray(1, char(5)) + '\0' + data;
}

// flash.external.ExternalInterface.call(name, argument), its result dropped.
QByteArray externalCall(const QByteArray& name, const QByteArray& argument)
{
    return pushString(argument) + pushString(name) + pushInteger(2) + pushString("flash") +
           QByteArray::fromHex("1c") + pushString("external") + QByteArray::fromHex("4e") +
           pushString("ExternalInterface") + QByteArray::fromHex("4e") + pushString("call") +
           QByteArray::fromHex("5217"); // CallMethod, Pop
}

// An old-style movie that tries each way off the machine it has: calls into the page, a
// LoadVars load and getURL.
QByteArray hostileOldStyleMovie(const RequestLogger& logger)
{
    const QByteArray http = "http://127.0.0.1:" + QByteArray::number(logger.tcpPort()) + "/swf8-";
    const QByteArray loadVars = pushString(http + "loadvars") + pushInteger(1) + pushInteger(0) +
                                pushString("LoadVars") + QByteArray::fromHex("40") // NewObject
                                + pushString("load") + QByteArray::fromHex("5217");
    return loopingMovie(externalCall("eval", logger.pageScript().toLatin1()) +
                        externalCall("fetch", http + "external-fetch") +
                        externalCall("(function(){ fetch('" + http + "expression'); })", "") +
                        loadVars + platform::swf::action::getUrl(http + "geturl", "_self"));
}

// An old-style movie that plays a sound of a third of a second on its first frame and stops.
QByteArray soundOnceMovie()
{
    using namespace platform::swf;
    constexpr int Samples = 44100 / 3;
    QByteArray sound(2 + 1 + 4, '\0');
    qToLittleEndian(quint16(1), sound.data());
    sound[2] = char(0x3e); // uncompressed, 44 kHz, 16 bits, mono
    qToLittleEndian(quint32(Samples), sound.data() + 3);
    for (int i = 0; i < Samples; ++i) {
        char sample[2];
        qToLittleEndian(qint16((i / 50) % 2 ? 8000 : -8000), sample);
        sound.append(sample, 2);
    }
    SwfFile swf = emptyMovie(8, 320, 240, 24);
    swf.tags << Tag{DefineSound, sound} << Tag{StartSound, QByteArray::fromHex("010000")}
             << doAction(action::stop()) << showFrame() << Tag{End, {}};
    swf.frameCount = 1;
    return swf.toBytes();
}

// What the page's script answers, or an invalid value when it does not answer in time.
QVariant pageAnswer(platform::movie::RuffleEngine& engine, const QString& script)
{
    auto answer = std::make_shared<std::optional<QVariant>>();
    engine.evaluate(script, [answer](const QVariant& value) { *answer = value; });
    QTest::qWaitFor([&] { return answer->has_value(); }, 5000);
    return answer->value_or(QVariant());
}

} // namespace

Q_DECLARE_METATYPE(Engine)

class TestMoviePlayer : public QObject
{
    Q_OBJECT

    std::unique_ptr<MoviePlayer> player;
    QTemporaryDir movieDir;

private slots:
    void init()
    {
        player = std::make_unique<MoviePlayer>(nullptr,
                                               QDir(ProgramDir).filePath(QStringLiteral("ruffle")));
        player->resize(400, 300);
        player->show();
        QVERIFY(QTest::qWaitForWindowExposed(player.get()));
    }
    void cleanup() { player.reset(); }

    // A timeline plays, stops by itself on its last frame and stays there; StopPlay freezes
    // it, GotoFrame(0) shows the first frame, Play goes on from there.
    void timelines_data()
    {
        QTest::addColumn<QString>("movie");
        QTest::addColumn<int>("lastFrame");
        QTest::newRow("SWF 6") << fixture("timeline6.swf") << 23;
        QTest::newRow("SWF 8") << fixture("timeline8.swf") << 23;
        QTest::newRow("SWF 6, zlib") << fixture("timeline6-zlib.swf") << 23;
        QTest::newRow("SWF 8, LZMA") << fixture("timeline8-lzma.swf") << 23;
        QTest::newRow("ActionScript 3") << fixture("timeline-as3.swf") << 23;
        QTest::newRow("animated GIF") << fixture("blink.gif") << -1;
        QTest::newRow("video") << fixture("clip.webm") << -1;
    }
    void timelines()
    {
        QFETCH(QString, movie);
        QFETCH(int, lastFrame);
        player->setMovie(movie);
        QCOMPARE(player->Movie(), movie);
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 0, Startup);

        if (lastFrame >= 0) {
            QTRY_COMPARE_WITH_TIMEOUT(player->FrameNum(), lastFrame, 5000);
            const auto [before, after] = frameTwice(*player, 800);
            QCOMPARE(after, before);
        }

        player->StopPlay();
        player->GotoFrame(0);
        QCOMPARE(player->FrameNum(), 0);
        QTest::qWait(800);
        QCOMPARE(player->FrameNum(), 0);

        player->Play();
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 2, 5000);
        player->StopPlay();
        QTest::qWait(400); // the last frame read before the stop may still come in
        const auto [stopped, later] = frameTwice(*player, 800);
        QCOMPARE(later, stopped);
    }

    // Video is drawn over the whole stage, stretched (the bars' middle one is green), on the
    // short path into the stage's window and through Qt Multimedia alike; a file neither can
    // play leaves the stage black, says why, and the next video plays.
    void videoOnTheStage_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("into the stage's window") << QByteArray();
        QTest::newRow("through Qt Multimedia") << QByteArray("multimedia");
    }
    void videoOnTheStage()
    {
        QFETCH(QByteArray, path);
        qputenv("LUMARET_VIDEO", path);
        const auto reset = qScopeGuard([] { qunsetenv("LUMARET_VIDEO"); });
        const auto onScreen = [&] {
            const QPoint centre = player->mapToGlobal(player->rect().center());
            return QGuiApplication::primaryScreen()
                ->grabWindow(0, centre.x(), centre.y(), 1, 1)
                .toImage()
                .pixel(0, 0);
        };
        player->setMovie(fixture("clip-1016x677.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 0, Startup);
        QTRY_VERIFY_WITH_TIMEOUT(near(onScreen(), qRgb(0, 255, 0)), 5000);

        QTemporaryDir dir;
        const QString broken = dir.filePath(QStringLiteral("broken.mp4"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100000, 'x'));
        file.close();
        QSignalSpy failed(player.get(), &MoviePlayer::movieFailed);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot play the video"));
        player->setMovie(broken);
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, Startup);
        QTRY_VERIFY_WITH_TIMEOUT(near(onScreen(), qRgb(0, 0, 0)), 5000);
        QCOMPARE(player->FrameNum(), 0);

        player->setMovie(fixture("clip-1016x677.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(near(onScreen(), qRgb(0, 255, 0)), Startup);
    }

    // The members by dispatch identifier.
    void drivenByDispatchId()
    {
        using namespace platform::com;
        IDispatch* swf1 = player->dispatch();
        QVariantList path{fixture("timeline8.swf")};
        QCOMPARE(swf1->Invoke(platform::movie::dispid::Movie, DISPATCH_PROPERTYPUT, path, nullptr,
                              nullptr),
                 S_OK);
        QVariant frame;
        QVariantList none;
        QTRY_VERIFY_WITH_TIMEOUT((swf1->Invoke(platform::movie::dispid::FrameNum,
                                               DISPATCH_PROPERTYGET, none, &frame, nullptr),
                                  frame.toInt() > 0),
                                 Startup);
        QCOMPARE(swf1->Invoke(platform::movie::dispid::StopPlay, DISPATCH_METHOD, none, nullptr,
                              nullptr),
                 S_OK);
        QVariantList first{0};
        QCOMPARE(swf1->Invoke(platform::movie::dispid::GotoFrame, DISPATCH_METHOD, first, nullptr,
                              nullptr),
                 S_OK);
        QCOMPARE(player->FrameNum(), 0);
        QCOMPARE(
            swf1->Invoke(platform::movie::dispid::Play, DISPATCH_METHOD, none, nullptr, nullptr),
            S_OK);
        QCOMPARE(swf1->Invoke(4242, DISPATCH_METHOD, none, nullptr, nullptr),
                 DISP_E_MEMBERNOTFOUND);
    }

    // The shipped effect movie reads a code page 932 parameter file and shows the image it
    // names, a Japanese file name among them: natively, and as a movie without its marker.
    void effectMovieShowsTheNamedImage_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::newRow("native") << Engine::Native;
        QTest::newRow("web player") << Engine::WebPlayer;
    }
    void effectMovieShowsTheNamedImage()
    {
        QFETCH(Engine, engine);
        QTemporaryDir img;
        const QString movie =
            redAndGreenSlideShow(img, QStringLiteral("効果無し.swf"), 3000, engine);
        QVERIFY(!movie.isEmpty());
        QVERIFY(QFile::rename(img.filePath(QStringLiteral("red.jpg")),
                              img.filePath(QStringLiteral("赤い画像.jpg"))));
        QFile parameters(img.filePath(QStringLiteral("swfpara.txt")));
        QVERIFY(parameters.open(QIODevice::WriteOnly));
        parameters.write("interface2=3000#1#" + platform::toCp932(QStringLiteral("赤い画像.jpg")));
        parameters.close();

        player->setMovie(movie);
        QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(255, 0, 0)), Startup);
        QCOMPARE(swfEngine(*player) != nullptr, engine == Engine::WebPlayer);
    }

    // A slide show runs for months: in the web player each picture is read and decoded once,
    // then shown again from memory (a picture loaded anew at each turn is memory the web
    // player keeps).
    void effectMovieReadsEachPictureOnce()
    {
        QTemporaryDir img;
        const QString movie =
            redAndGreenSlideShow(img, QStringLiteral("効果無し.swf"), 400, Engine::WebPlayer);
        QVERIFY(!movie.isEmpty());

        RequestCounter requests;
        player->setMovie(movie);
        QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(255, 0, 0)), Startup);
        for (int turn = 0; turn < 3; ++turn) {
            QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(0, 255, 0)), 3000);
            QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(255, 0, 0)), 3000);
        }
        QCOMPARE(requests.count(QStringLiteral("red.jpg")), 1);
        QCOMPARE(requests.count(QStringLiteral("green.jpg")), 1);
    }

    // Between transitions nothing on a slide show's stage moves: the page rests (the web
    // player is woken a few times a second), and wakes for the next transition on time.
    void slideShowRestsBetweenTransitions()
    {
        QTemporaryDir img;
        const QString movie =
            redAndGreenSlideShow(img, QStringLiteral("フェード.swf"), 3000, Engine::WebPlayer);
        QVERIFY(!movie.isEmpty());
        const auto resting = [&]() -> int {
            int answer = -1;
            swfEngine(*player)->evaluate(QStringLiteral("lumaret.state().resting"),
                                         [&](const QVariant& v) { answer = v.toBool(); });
            return QTest::qWaitFor([&] { return answer >= 0; }, 5000) ? answer : -1;
        };

        player->setMovie(movie);
        QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(255, 0, 0)), Startup);
        QTRY_COMPARE_WITH_TIMEOUT(resting(), 1, 2000);
        // The fade to green takes the first second of its three: it shows moving, then rests.
        QTRY_VERIFY_WITH_TIMEOUT(!near(centreOf(*player), qRgb(255, 0, 0)), 4000);
        QCOMPARE(resting(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(0, 255, 0)), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(resting(), 1, 2000);
    }

    // The shipped slide shows and the placeholder never start the web player's engine; a
    // movie without the marker starts it, and it ends a while after the last such movie.
    void webPlayerRunsOnlyWhileAMovieNeedsIt()
    {
        QTemporaryDir img;
        for (const char* shipped : {"dummy.swf", "効果無し.swf", "フェード.swf", "スライド.swf"}) {
            const QString movie = redAndGreenSlideShow(img, QString::fromUtf8(shipped), 400);
            QVERIFY(!movie.isEmpty());
            player->setMovie(movie);
            if (QByteArray(shipped) != "dummy.swf")
                QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(0, 255, 0)), 3000);
            else
                QTRY_VERIFY(near(centreOf(*player), qRgb(0, 0, 0)));
        }
        QVERIFY(!swfEngine(*player));
        QCOMPARE(renderProcesses(), 0);

        player->setWebEngineIdleMs(1000);
        QTemporaryDir web;
        player->setMovie(
            redAndGreenSlideShow(web, QStringLiteral("フェード.swf"), 400, Engine::WebPlayer));
        QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(0, 255, 0)), Startup);
        QVERIFY(swfEngine(*player));
        QTRY_VERIFY(renderProcesses() > 0);

        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("no movie has needed the web player"));
        player->setMovie(img.filePath(QStringLiteral("フェード.swf")));
        QTRY_VERIFY(!swfEngine(*player));
        QTRY_COMPARE_WITH_TIMEOUT(renderProcesses(), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(0, 255, 0)), 3000);
    }

    // StopPlay halts the whole show, the change of picture included; Play goes on from there;
    // GotoFrame(0) and Play start again from the first picture. The frame advances only while
    // the show plays.
    void nativeShowHaltsAndRestarts()
    {
        QTemporaryDir img;
        player->setMovie(redAndGreenSlideShow(img, QStringLiteral("フェード.swf"), 600));
        QTRY_VERIFY(player->slideShowEngine());
        platform::movie::SlideShowEngine* show = player->slideShowEngine();
        QTRY_COMPARE_WITH_TIMEOUT(show->pictureOnShow(), QStringLiteral("green.jpg"), 3000);
        player->StopPlay();
        const int frame = player->FrameNum();
        QTest::qWait(1500);
        QCOMPARE(show->pictureOnShow(), QStringLiteral("green.jpg"));
        QCOMPARE(player->FrameNum(), frame);
        QVERIFY(!show->isMoving());

        player->Play();
        QTRY_COMPARE_WITH_TIMEOUT(show->pictureOnShow(), QStringLiteral("red.jpg"), 1500);
        QVERIFY(player->FrameNum() > frame);
        QTRY_COMPARE_WITH_TIMEOUT(show->pictureOnShow(), QStringLiteral("green.jpg"), 1500);
        player->StopPlay();
        player->GotoFrame(0);
        QCOMPARE(player->FrameNum(), 0);
        player->Play();
        QTRY_COMPARE_WITH_TIMEOUT(show->pictureOnShow(), QStringLiteral("red.jpg"), 300);
        // The first picture comes at once, without a transition, as when the movie is loaded.
        QVERIFY(near(centreOf(*player), qRgb(255, 0, 0)));
    }

    // In step, two screens show the picture the wall clock names, whenever each started: the
    // whole picture times since midnight, modulo the number of pictures. A start a moment
    // before a whole picture time counts as that time's turn.
    void slideShowsInStep_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QString>("first");
        QTest::newRow("mid-turn") << QTime(9, 0, 3, 500) << "green.jpg"; // 32403 since midnight
        QTest::newRow("just before a whole picture time") << QTime(9, 0, 3, 950) << "red.jpg";
    }
    void slideShowsInStep()
    {
        QFETCH(QTime, start);
        QFETCH(QString, first);
        const QString second = first == QLatin1String("red.jpg") ? QStringLiteral("green.jpg")
                                                                 : QStringLiteral("red.jpg");
        QTemporaryDir img;
        const QString show = redAndGreenSlideShow(img, QStringLiteral("効果無し.swf"), 1000);
        MoviePlayer other(nullptr, QDir(ProgramDir).filePath(QStringLiteral("ruffle")));
        other.resize(400, 300);
        QDateTime clock(QDate(2026, 12, 7), start);
        for (MoviePlayer* screen : {player.get(), &other}) {
            screen->setSlidesInStep(true);
            screen->setMovie(show);
            QTRY_VERIFY(screen->slideShowEngine());
            screen->slideShowEngine()->setWallClock([&] { return clock; });
            screen->StopPlay();
            screen->GotoFrame(0);
            screen->Play();
        }
        QElapsedTimer sinceStart;
        sinceStart.start();
        for (MoviePlayer* screen : {player.get(), &other})
            QTRY_COMPARE_WITH_TIMEOUT(screen->slideShowEngine()->pictureOnShow(), first, 400);
        if (first != QLatin1String("green.jpg"))
            return;
        clock = clock.addSecs(1); // the turn ends at the next whole second: half a second on
        for (MoviePlayer* screen : {player.get(), &other})
            QTRY_COMPARE_WITH_TIMEOUT(screen->slideShowEngine()->pictureOnShow(), second, 1500);
        QVERIFY2(sinceStart.elapsed() < 900, "the turn is aligned to the clock");

        // A missing picture's turn keeps the picture before it, on the clock's grid, and is
        // logged once a screen: no black turn.
        for (int screen = 0; screen < 2; ++screen)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot show the picture green"));
        QVERIFY(QFile::remove(img.filePath(QStringLiteral("green.jpg"))));
        clock = clock.addSecs(1);
        QTest::qWait(1500);
        for (MoviePlayer* screen : {player.get(), &other}) {
            QCOMPARE(screen->slideShowEngine()->pictureOnShow(), QStringLiteral("red.jpg"));
            QVERIFY(near(centreOf(*screen), qRgb(255, 0, 0)));
        }
    }

    // Each turn looks at its picture again: one replaced under the same name shows anew, a
    // missing one is left out with one log line, and with none left the stage is black.
    void picturesAreLookedAtEachTurn()
    {
        QTemporaryDir img;
        player->setMovie(redAndGreenSlideShow(img, QStringLiteral("効果無し.swf"), 300));
        QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(0, 255, 0)), 3000);
        QImage blue(320, 200, QImage::Format_RGB32);
        blue.fill(qRgb(0, 0, 255));
        QVERIFY(blue.save(img.filePath(QStringLiteral("red.jpg.new")), "JPEG"));
        QVERIFY(QFile::remove(img.filePath(QStringLiteral("red.jpg"))));
        QVERIFY(QFile::rename(img.filePath(QStringLiteral("red.jpg.new")),
                              img.filePath(QStringLiteral("red.jpg"))));
        QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(0, 0, 255)), 3000);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot show the picture green.jpg"));
        QVERIFY(QFile::remove(img.filePath(QStringLiteral("green.jpg"))));
        QTest::qWait(1500); // five turns: one line
        QCOMPARE(player->slideShowEngine()->pictureOnShow(), QStringLiteral("red.jpg"));
        QVERIFY(near(centreOf(*player), qRgb(0, 0, 255)));
        // A link planted in its place shows nothing of a picture outside the folder.
        QTemporaryDir elsewhere;
        QImage secret(320, 200, QImage::Format_RGB32);
        secret.fill(qRgb(255, 255, 0));
        QVERIFY(secret.save(elsewhere.filePath(QStringLiteral("private.jpg")), "JPEG"));
        QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("private.jpg")),
                            img.filePath(QStringLiteral("green.jpg"))));
        QTest::qWait(900);
        QCOMPARE(player->slideShowEngine()->pictureOnShow(), QStringLiteral("red.jpg"));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot show the picture red.jpg"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no picture .* the stage is black"));
        QFile::remove(img.filePath(QStringLiteral("red.jpg")));
        QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(0, 0, 0)), 3000);
    }

    // The native transitions look like the movie's own in the web player: frames of the
    // change from red to green match, time for time, from the moment the middle of the stage
    // turns green (the web player may show the first moments of a change late).
    void transitionsMatchTheWebPlayer_data()
    {
        QTest::addColumn<QString>("movie");
        QTest::newRow("fade") << QStringLiteral("フェード.swf");
        QTest::newRow("slide") << QStringLiteral("スライド.swf");
    }
    void transitionsMatchTheWebPlayer()
    {
        QFETCH(QString, movie);
        constexpr int Milliseconds = 4500;
        constexpr int Transition = Milliseconds / 3;
        // The frames of the first change, by milliseconds from the middle turning green.
        const auto framesOf = [&](Engine engine) {
            QTemporaryDir img;
            player->setMovie(redAndGreenSlideShow(img, movie, Milliseconds, engine));
            QMap<int, QImage> frames;
            if (!QTest::qWaitFor([&] { return near(centreOf(*player), qRgb(255, 0, 0)); }, Startup))
                return frames;
            QElapsedTimer clock;
            clock.start();
            int middle = -1;
            while (clock.elapsed() < Milliseconds + Transition * 2) {
                QTest::qWait(15);
                const QImage frame = player->grab().toImage();
                frames[int(clock.elapsed())] = frame;
                const QRgb centre = frame.pixel(frame.width() / 2, frame.height() / 2);
                if (middle < 0 && qGreen(centre) > qRed(centre))
                    middle = int(clock.elapsed());
                if (middle >= 0 && clock.elapsed() > middle + Transition * 1.2)
                    break;
            }
            QMap<int, QImage> fromMiddle;
            for (auto it = frames.begin(); middle >= 0 && it != frames.end(); ++it)
                fromMiddle[it.key() - middle] = it.value();
            return fromMiddle;
        };
        // Red and green, the two colours that change, over every fourth pixel.
        const auto meanDifference = [](const QImage& a, const QImage& b) {
            qint64 sum = 0;
            int count = 0;
            for (int y = 0; y < a.height(); y += 4)
                for (int x = 0; x < a.width(); x += 4, ++count)
                    sum += qAbs(qRed(a.pixel(x, y)) - qRed(b.pixel(x, y))) +
                           qAbs(qGreen(a.pixel(x, y)) - qGreen(b.pixel(x, y)));
            return double(sum) / (2.0 * count);
        };
        const QMap<int, QImage> web = framesOf(Engine::WebPlayer);
        const QMap<int, QImage> native = framesOf(Engine::Native);
        QVERIFY(!web.isEmpty() && !native.isEmpty());
        const auto at = [](const QMap<int, QImage>& frames, int ms) {
            auto it = frames.lowerBound(ms);
            return it == frames.end() ? frames.last() : it.value();
        };
        for (const int ms : {-Transition / 20, Transition / 5, Transition * 2 / 5, Transition}) {
            const double difference = meanDifference(at(web, ms), at(native, ms));
            QVERIFY2(difference < 20, qPrintable(QStringLiteral("%1 ms from the middle: mean "
                                                                "difference %2")
                                                     .arg(ms)
                                                     .arg(difference)));
        }
    }

    // Movies nobody here wrote: whatever one does, the component shows it (or black, for a
    // file the web player can not play), keeps frame control where it plays, and the next
    // movie loads and plays.
    void troublesomeMovies_data()
    {
        using platform::swf::action::getUrl;
        QTest::addColumn<QByteArray>("movie");
        QTest::addColumn<bool>("plays");
        QTest::addColumn<QString>("warning"); // a regular expression, "" for none
        for (const char* target : {"_self", "_top", "_parent", ""})
            QTest::addRow("getURL to \"%s\"", target)
                << loopingMovie(getUrl("http://example.invalid/", target)) << true << "";
        QTest::newRow("getURL of the page itself")
            << loopingMovie(getUrl("player.html", "_self")) << true << "";
        const QByteArray timeline = fixtureBytes("timeline6.swf");
        const QByteArray as3 = fixtureBytes("timeline-as3.swf");
        const QByteArray pastTheEnd = QByteArray::fromHex("ff03e8030000") + QByteArray(10, 'x');
        QTest::newRow("old-style, last tag runs past the end")
            << timeline.chopped(2) + pastTheEnd << true << "";
        QTest::newRow("old-style, compressed stream cut short")
            << fixtureBytes("timeline6-zlib.swf").chopped(6) << true << "";
        QByteArray longer = timeline;
        longer[4] = char(longer[4] + 1);
        QTest::newRow("old-style, header length one more") << longer << true << "";
        QTest::newRow("ActionScript 3, last tag runs past the end")
            << as3.chopped(2) + pastTheEnd << true << "";
        QTest::newRow("corrupt compressed movie")
            << QByteArray("CWS\x0a\xff\x00\x00\x00garbagegarbage") << false << "cannot play";
        QTest::newRow("header only") << timeline.left(8) << false << "cannot play";
        QTest::newRow("compression bomb") << compressionBomb() << false << "cannot play";
    }
    void troublesomeMovies()
    {
        QFETCH(QByteArray, movie);
        QFETCH(bool, plays);
        QFETCH(QString, warning);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("movie.swf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(movie) == movie.size());
        file.close();
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));

        QElapsedTimer clock;
        clock.start();
        player->setMovie(path);
        QVERIFY2(clock.elapsed() < 200, "a movie is read away from the window's thread");
        player->StopPlay();
        player->GotoFrame(0);
        player->Play();
        if (plays) {
            QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 2, Startup);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(swfEngine(*player) && !swfEngine(*player)->isReadingMovie(),
                                     30000);
            QTest::qWait(500);
            QCOMPARE(player->FrameNum(), 0);
            QVERIFY(near(centreOf(*player), qRgb(0, 0, 0)));
        }
        player->setMovie(fixture("timeline8.swf"));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 2, Startup);
    }

    // An ActionScript 3 movie of two scenes: frames count over the whole timeline, and the
    // first frame is the first of the first scene.
    void scenesOfAnActionScript3Movie()
    {
        using namespace platform::swf;
        SwfFile movie = *readSwf(fixtureBytes("timeline-as3.swf"));
        const QByteArray twoScenes = QByteArray::fromHex("0200") + "Scene 1" + '\0' +
                                     QByteArray::fromHex("0c") + "Scene 2" + '\0' +
                                     QByteArray(1, '\0');
        for (Tag& tag : movie.tags)
            if (tag.code == 86) // the scenes and frame labels
                tag.body = twoScenes;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("scenes.swf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(movie.toBytes());
        file.close();

        player->setMovie(path);
        QTRY_COMPARE_WITH_TIMEOUT(player->FrameNum(), 23, Startup); // the second scene's last
        player->StopPlay();
        player->GotoFrame(0);
        QTest::qWait(800);
        QCOMPARE(player->FrameNum(), 0);
        player->Play();
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 2, 5000);
        const int early = player->FrameNum();
        QVERIFY2(early < 12, "played on from the first scene, not the second");
    }

    // Going back to the first frame happens in place for movies of SWF 6 and later (no reload,
    // so no flash of black and no lost state); older ones are loaded again.
    void firstFrameInPlace_data()
    {
        QTest::addColumn<QByteArray>("movie");
        QTest::addColumn<bool>("reloaded");
        QTest::newRow("SWF 8") << fixtureBytes("timeline8.swf") << false;
        QTest::newRow("SWF 8, LZMA") << fixtureBytes("timeline8-lzma.swf") << false;
        QTest::newRow("SWF 7") << fixtureAsVersion("timeline6.swf", 7) << false;
        QTest::newRow("SWF 6") << fixtureBytes("timeline6.swf") << false;
        QTest::newRow("SWF 5: loaded again") << fixtureAsVersion("timeline6.swf", 5) << true;
    }
    void firstFrameInPlace()
    {
        QFETCH(QByteArray, movie);
        QFETCH(bool, reloaded);
        QTemporaryDir dir;
        player->setMovie(savedMovie(dir, movie));
        QTRY_COMPARE_WITH_TIMEOUT(player->FrameNum(), 23, Startup);
        const auto starts = [&]() -> int {
            int count = -1;
            swfEngine(*player)->evaluate(QStringLiteral("lumaret.starts()"),
                                         [&](const QVariant& v) { count = v.toInt(); });
            return QTest::qWaitFor([&] { return count >= 0; }, 5000) ? count : -1;
        };
        const int before = starts();
        for (int round = 0; round < 2; ++round) {
            player->StopPlay();
            player->GotoFrame(0);
            QTest::qWait(500);
            QCOMPARE(player->FrameNum(), 0);
            player->Play();
            QTRY_COMPARE_WITH_TIMEOUT(player->FrameNum(), 23, 5000);
        }
        QCOMPARE(starts() > before, reloaded);
    }

    // The calls are offered without old movies' own scripts seeing what they never saw: this
    // SWF 6 movie stops on its second frame if ExternalInterface is in sight.
    void oldMoviesStillLackExternalInterface()
    {
        const QByteArray stopWhereFlashIsSeen =
            pushString("flash") +
            QByteArray::fromHex("1c"
                                "44")                             // typeof flash
            + pushString("undefined") + QByteArray::fromHex("49") // == "undefined"
            + QByteArray::fromHex("9d02000100"
                                  "07"); // if so jump over stop()
        QTemporaryDir dir;
        player->setMovie(savedMovie(dir, loopingMovie({}, 6, stopWhereFlashIsSeen)));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 5, Startup);
    }

    // An old-style movie plays from a copy with frame reports, yet sees its own address as
    // _url (movies build the paths of their sibling files from it): this one stops on its
    // second frame when _url is anything else.
    void movieSeesItsOwnAddress()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("movie.swf"));
        const QByteArray stopUnlessOwnAddress =
            pushString("") +
            QByteArray::fromHex("960500"
                                "0100007041"
                                "22")                                                       // _url
            + pushString(QUrl::fromLocalFile(path).toEncoded()) + QByteArray::fromHex("49") // ==
            + QByteArray::fromHex("9d02000100"
                                  "07"); // if so jump over stop()
        QCOMPARE(savedMovie(dir, loopingMovie({}, 8, stopUnlessOwnAddress)), path);
        player->setMovie(path);
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 5, Startup);
    }

    // An old movie that made a global "flash" of its own keeps seeing it: this one stops on its
    // second frame if its "flash" is out of sight.
    void oldMoviesKeepTheirOwnFlash()
    {
        const QByteArray makeOwnFlash = pushString("_global") + QByteArray::fromHex("1c") +
                                        pushString("flash") +
                                        QByteArray::fromHex("960500"
                                                            "010000803f"
                                                            "4f"); // = 1
        const QByteArray stopWhereFlashIsGone =
            pushString("flash") +
            QByteArray::fromHex("1c"
                                "44") +
            pushString("undefined") +
            QByteArray::fromHex("49"
                                "12") // typeof flash != "undefined"
            + QByteArray::fromHex("9d02000100"
                                  "07"); // if so jump over stop()
        QTemporaryDir dir;
        player->setMovie(savedMovie(dir, loopingMovie(makeOwnFlash, 6, stopWhereFlashIsGone)));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 5, Startup);
    }

    void stillPictureIsOneFrame()
    {
        QTemporaryDir dir;
        QImage blue(64, 48, QImage::Format_RGB32);
        blue.fill(qRgb(0, 0, 255));
        QVERIFY(blue.save(dir.filePath(QStringLiteral("blue.png"))));
        player->setMovie(dir.filePath(QStringLiteral("blue.png")));
        QTRY_VERIFY(near(centreOf(*player), qRgb(0, 0, 255)));
        QCOMPARE(player->FrameNum(), 0);
    }

    // A movie on a share that does not answer never holds up the window: the look at it is
    // given up after its time limit (black, one log line), its late answer is dropped, and the
    // next movie plays.
    void movieThatDoesNotAnswerIsGivenUp()
    {
        player->setLookTimeLimitMs(1000);
        player->setBeforeLook([](const QString& path) {
            if (path.endsWith(QLatin1String("hung.swf")))
                QThread::sleep(3);
        });
        int ticks = 0;
        QTimer windowThread;
        connect(&windowThread, &QTimer::timeout, [&] { ++ticks; });
        windowThread.start(50);
        QElapsedTimer clock;
        clock.start();
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("hung.swf did not answer within 1 s"));
        player->setMovie(QStringLiteral("/share/ani/hung.swf"));
        player->StopPlay();
        player->GotoFrame(0);
        player->Play();
        QVERIFY(clock.elapsed() < 200);
        QTRY_VERIFY(!player->isLookingAtMovie());
        QVERIFY(ticks > 10); // the window's thread ran on meanwhile
        QCOMPARE(player->FrameNum(), 0);
        player->setMovie(fixture("timeline6.swf"));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 2, Startup);
        QTest::qWait(2500); // the hung look's answer comes and is dropped
        QCOMPARE(player->Movie(), fixture("timeline6.swf"));
        QVERIFY(swfEngine(*player));
    }

    // A missing file shows nothing, raises nothing, and the next movie plays.
    void missingFileShowsNothing()
    {
        player->setMovie(fixture("timeline6.swf"));
        player->setMovie(QStringLiteral("/nonexistent/ani/none.swf"));
        QCOMPARE(player->Movie(), QStringLiteral("/nonexistent/ani/none.swf"));
        QCOMPARE(player->FrameNum(), 0);
        player->StopPlay();
        player->GotoFrame(0);
        player->Play();
        QTest::qWait(300);
        QVERIFY(near(centreOf(*player), qRgb(0, 0, 0)));
        player->setMovie(fixture("timeline6.swf"));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 0, Startup);
    }

    // A page whose process has grown is reloaded at the next quiet moment (here a new movie),
    // which gives the memory back; the movie then plays as usual.
    void grownPageIsReloadedAtTheNextMovie()
    {
        player->setMovie(fixture("timeline6.swf"));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 2, Startup);
        platform::movie::RuffleEngine* engine = swfEngine(*player);
        const int loads = engine->pageLoadCount();
        player->setMovie(fixture("timeline8.swf")); // within the limit: no reload
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 2, 5000);
        QCOMPARE(engine->pageLoadCount(), loads);

        engine->memoryWatch().setSettleMs(0);
        engine->memoryWatch().setLimits(-1, std::numeric_limits<qint64>::max());
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("grew by .* reloading its page"));
        player->setMovie(fixture("timeline6.swf"));
        QTRY_COMPARE_WITH_TIMEOUT(engine->pageLoadCount(), loads + 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 2, Startup);
    }

    // A movie that hangs or breaks the web player's page does not take the component with it:
    // the next movie loads and plays.
    void moviesThatHangOrBreakThePage_data()
    {
        QTest::addColumn<QByteArray>("movie");
        QTest::newRow("endless first-frame script")
            << loopingMovie(QByteArray::fromHex("9902000000fbff")); // jump to itself
        QTest::newRow("sprites nested 20000 deep") << nestedSprites(20000);
    }
    void moviesThatHangOrBreakThePage()
    {
        QFETCH(QByteArray, movie);
        QTemporaryDir dir;
        player->setMovie(savedMovie(dir, movie));
        QTest::qWait(3000);
        player->StopPlay();
        player->GotoFrame(0);
        player->Play();
        player->setMovie(fixture("timeline8.swf"));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 2, 60000);
    }

    // A movie that kills the page's process at once would do so again and again: the reloads
    // back off instead of running in a tight loop.
    void repeatedRenderDeathsBackOff()
    {
        player->setMovie(fixture("timeline6.swf"));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 3, Startup);
        for (const char* delay : {"1", "2", "4"}) {
            const qint64 pid = swfEngine(*player)->renderProcessId();
            QVERIFY(pid > 0);
            QTest::ignoreMessage(
                QtWarningMsg,
                QRegularExpression(QStringLiteral("process ended; reloading the movie in %1 s")
                                       .arg(QLatin1String(delay))));
            ::kill(pid_t(pid), SIGKILL);
            QTRY_COMPARE_WITH_TIMEOUT(player->FrameNum(), 0, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 3, Startup);
        }
    }

    // A movie from outside may read the files beside it but reach nothing off the machine,
    // whichever way it tries; even script that got into the page reaches nothing. A refused
    // call into the page is logged once per movie.
    void moviesReachNothingOffTheMachine_data()
    {
        QTest::addColumn<QString>("movie"); // "old-style", "as3" or "script"
        QTest::newRow("old-style movie") << "old-style";
        QTest::newRow("ActionScript 3 movie, reading a text file beside it") << "as3";
        QTest::newRow("script in the page") << "script";
    }
    void moviesReachNothingOffTheMachine()
    {
        QFETCH(QString, movie);
        RequestLogger logger;
        QVERIFY(logger.listens());
        QStringList refusals;
        static QStringList* log = nullptr;
        log = &refusals;
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
                if (text.contains(QLatin1String("refused a movie's call")))
                    *log << text;
            });
        const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });

        QTemporaryDir dir;
        if (movie == QLatin1String("old-style")) {
            player->setMovie(savedMovie(dir, hostileOldStyleMovie(logger)));
            QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 3, Startup);
        } else if (movie == QLatin1String("as3")) {
            QFile address(dir.filePath(QStringLiteral("logger.txt")));
            QVERIFY(address.open(QIODevice::WriteOnly));
            address.write(QStringLiteral("127.0.0.1\n%1\n%2")
                              .arg(logger.tcpPort())
                              .arg(logger.pageScript())
                              .toUtf8());
            address.close();
            QVERIFY(QFile::copy(fixture("hostile-as3.swf"), dir.filePath(QStringLiteral("h.swf"))));
            player->setMovie(dir.filePath(QStringLiteral("h.swf")));
            QTRY_VERIFY_WITH_TIMEOUT(near(centreOf(*player), qRgb(0, 255, 0)), Startup);
        } else {
            player->setMovie(savedMovie(dir, loopingMovie({})));
            QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 3, Startup);
            swfEngine(*player)->evaluate(logger.pageScript(), {});
        }
        QTest::qWait(3000);
        QVERIFY2(logger.received().isEmpty(), qPrintable(logger.received().join(u'\n')));
        // Three calls, each refused once although the old-style movie repeats them.
        if (movie != QLatin1String("script"))
            QCOMPARE(refusals.size(), 3);
    }

    // A movie reads the files of its own folder and no other local file, whatever the way.
    void movieReadsOnlyItsOwnFolder()
    {
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        for (const auto& [path, text] :
             {std::pair{dir.filePath(QStringLiteral("beside.txt")), "beside"},
              {elsewhere.filePath(QStringLiteral("secret.txt")), "secret"}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) > 0);
        }
        QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("secret.txt")),
                            dir.filePath(QStringLiteral("link.txt"))));
        player->setMovie(savedMovie(dir, loopingMovie({})));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 3, Startup);
        const auto read = [&](const QString& path) {
            QString answer;
            bool done = false;
            swfEngine(*player)->evaluate(
                QStringLiteral("(function () { const x = new XMLHttpRequest(); try { "
                               "x.open('GET', '%1', false); x.send(); return x.responseText; } "
                               "catch (e) { return 'refused'; } })()")
                    .arg(QUrl::fromLocalFile(path).toString()),
                [&](const QVariant& text) {
                    answer = text.toString();
                    done = true;
                });
            return QTest::qWaitFor([&] { return done; }, 5000) ? answer
                                                               : QStringLiteral("no answer");
        };
        QCOMPARE(read(dir.filePath(QStringLiteral("beside.txt"))), QStringLiteral("beside"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("a movie may not read .*secret.txt"));
        QCOMPARE(read(elsewhere.filePath(QStringLiteral("secret.txt"))), QStringLiteral("refused"));
        QCOMPARE(read(dir.filePath(QStringLiteral("link.txt"))), QStringLiteral("refused"));
    }

    // A movie with sound of its own gets an audio output; one that shows no sign of sound
    // plays without, yet the sound of a movie it loads is heard: an output opens at the first
    // sound and closes after a silence.
    void soundIsHeardAndSilenceCostsNoOutput()
    {
        QTemporaryDir dir;
        const QString sounding = dir.filePath(QStringLiteral("child.swf"));
        QFile child(sounding);
        QVERIFY(child.open(QIODevice::WriteOnly) && child.write(soundOnceMovie()) > 0);
        child.close();
        player->setMovie(sounding);
        QTRY_VERIFY_WITH_TIMEOUT(swfEngine(*player), Startup);
        platform::movie::RuffleEngine& engine = *swfEngine(*player);
        const auto outputs = [&](const char* which) {
            return pageAnswer(engine, QStringLiteral("lumaret.audioOutputs()"))
                .toMap()
                .value(QLatin1String(which), -1)
                .toInt();
        };
        QTRY_VERIFY_WITH_TIMEOUT(outputs("opened") > 0, Startup);
        pageAnswer(engine, QStringLiteral("lumaret.setSilenceLimitMs(1000)"));
        const int opened = outputs("opened");

        using namespace platform::swf::action;
        player->setMovie(savedMovie(dir, loopingMovie(getUrl("child.swf", "_level1") + stop())));
        QTRY_COMPARE_WITH_TIMEOUT(outputs("opened"), opened + 1, Startup);
        QTRY_COMPARE_WITH_TIMEOUT(outputs("quietOpen"), 0, 10000);

        player->setMovie(savedMovie(dir, loopingMovie({})));
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 3, Startup);
        QTest::qWait(1000);
        QCOMPARE(outputs("opened"), opened + 1);
    }

    // When the web engine's render process dies, or its page is loaded anew for memory, the
    // movie comes back by itself; a halted movie (the settings dialog is open) stays halted
    // until Play.
    void pageLoadedAnewKeepsTheMovie_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::addColumn<bool>("halted");
        QTest::newRow("render process killed") << true << false;
        QTest::newRow("render process killed while halted") << true << true;
        QTest::newRow("reloaded for memory while halted") << false << true;
    }
    void pageLoadedAnewKeepsTheMovie()
    {
        QFETCH(bool, killed);
        QFETCH(bool, halted);
        const QString loop = savedMovie(movieDir, loopingMovie({}));
        player->setMovie(loop);
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 3, Startup);
        platform::movie::RuffleEngine* engine = swfEngine(*player);
        const int loads = engine->pageLoadCount();
        if (halted)
            player->StopPlay();
        if (killed) {
            const qint64 pid = engine->renderProcessId();
            QVERIFY(pid > 0);
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("the web player.s process ended; reloading"));
            ::kill(pid_t(pid), SIGKILL);
        } else {
            engine->memoryWatch().setSettleMs(0);
            engine->memoryWatch().setLimits(-1, -1);
            QTest::ignoreMessage(QtInfoMsg, QRegularExpression("grew by .* reloading its page"));
            player->GotoFrame(0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(engine->pageLoadCount() > loads, Startup);
        if (halted) {
            QTest::qWait(2000);
            const auto [before, after] = frameTwice(*player, 1000);
            QCOMPARE(after, before);
            player->Play();
        }
        QTRY_VERIFY_WITH_TIMEOUT(player->FrameNum() > 3, Startup);
        if (killed)
            QVERIFY(engine->renderProcessId() > 0);
    }
};

int main(int argc, char* argv[])
{
    platform::movie::prepareWebEngine();
    QApplication app(argc, argv);
    TestMoviePlayer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_movieplayer.moc"
