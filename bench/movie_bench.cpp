// Presentation component benchmark, run by hand on a (virtual) display:
//
//   movie_bench swf       time from Movie to the first frame, first and later SWF movies; then a
//                         12 fps timeline for 10 s: CPU of the whole process tree, its memory
//   movie_bench swf-cold  the first SWF right after the component was made
//   movie_bench video   a 1016 x 677 H.264 clip: time to the first frame, CPU for 10 s
//   movie_bench slides  the shipped fade slide show with the sample pictures: time from Movie to
//                       the first picture on screen, natively and (without the movie's marker)
//                       through the web player, each right after the component was made
//
// The component is 1016 x 677, as in the player.

#include "movie/MoviePlayer.h"
#include "movie/RuffleEngine.h"
#include "movie/SwfFile.h"
#include "movie/WebEngineSetup.h"

#include <QApplication>
#include <QAudioOutput>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMediaPlayer>
#include <QTemporaryDir>
#include <QTimer>
#include <QVideoSink>
#include <QVideoWidget>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdio>
#include <unistd.h>

using platform::movie::MoviePlayer;

// The web player's engine, from its library (linked here).
inline platform::movie::RuffleEngine* swfEngine(const platform::movie::MoviePlayer& player)
{
    return qobject_cast<platform::movie::RuffleEngine*>(player.webPlayer());
}

namespace {

const QString ProgramDir = QStringLiteral(PROGRAM_DIR);
const QString Fixtures = QStringLiteral(MOVIE_FIXTURES);

struct TreeUsage
{
    double cpuSeconds = 0;
    double rssMiB = 0;
    double pssMiB = 0;
    int processes = 0;
};

QByteArray readProc(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double kibField(const QByteArray& text, const char* field)
{
    const qsizetype at = text.indexOf(field);
    return at < 0 ? 0 : text.mid(at + qstrlen(field)).simplified().split(' ').value(0).toDouble();
}

// This process and all its descendants (the web engine's helper processes).
TreeUsage treeUsage()
{
    QHash<int, int> parentOf;
    QHash<int, double> cpuOf;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const int pid = entry.toInt(&ok);
        if (!ok)
            continue;
        const QByteArray stat = readProc(QStringLiteral("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            continue;
        parentOf[pid] = fields[1].toInt();
        cpuOf[pid] = (fields[11].toDouble() + fields[12].toDouble()) / ticks;
    }
    TreeUsage usage;
    const int self = int(getpid());
    for (auto it = parentOf.begin(); it != parentOf.end(); ++it) {
        int pid = it.key();
        while (pid > 1 && pid != self)
            pid = parentOf.value(pid, 0);
        if (pid != self)
            continue;
        usage.cpuSeconds += cpuOf[it.key()];
        usage.rssMiB +=
            kibField(readProc(QStringLiteral("/proc/%1/status").arg(it.key())), "VmRSS:") / 1024;
        usage.pssMiB +=
            kibField(readProc(QStringLiteral("/proc/%1/smaps_rollup").arg(it.key())), "Pss:") /
            1024;
        ++usage.processes;
    }
    return usage;
}

// Runs the event loop for `ms` milliseconds without spinning.
void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Loads the movie and returns the milliseconds until its first frame showed, or -1.
double timeToFirstFrame(MoviePlayer& player, const QString& movie)
{
    const double start = double(QDateTime::currentMSecsSinceEpoch());
    player.setMovie(movie);
    while (!swfEngine(player)) // the file is looked at first
        waitMs(1);
    auto* page = static_cast<QWebEngineView*>(swfEngine(player)->view())->page();
    double shownAt = 0;
    QElapsedTimer clock;
    clock.start();
    while (shownAt == 0 && clock.elapsed() < 10000) {
        page->runJavaScript(QStringLiteral("lumaret.firstFrameAt()"), [&](const QVariant& v) {
            if (v.toDouble() > 0)
                shownAt = v.toDouble();
        });
        waitMs(10);
    }
    return shownAt > 0 ? shownAt - start : -1;
}

void measure(const char* what, const std::function<void()>& during)
{
    const TreeUsage before = treeUsage();
    QElapsedTimer clock;
    clock.start();
    during();
    const TreeUsage after = treeUsage();
    const double seconds = double(clock.elapsed()) / 1000;
    std::printf("%s: CPU %.1f %% of one core over %.1f s (whole tree, %d processes); "
                "resident %.0f MiB summed, %.0f MiB proportional\n",
                what, 100 * (after.cpuSeconds - before.cpuSeconds) / seconds, seconds,
                after.processes, after.rssMiB, after.pssMiB);
}

int swf(bool cold)
{
    MoviePlayer player(nullptr, QDir(ProgramDir).filePath(QStringLiteral("ruffle")));
    player.resize(1016, 677);
    player.show();
    const QString first = QDir(ProgramDir).filePath(QStringLiteral("ani/quandor.swf"));
    if (cold) {
        std::printf("first SWF right after the component was made, Movie to first frame: %.0f ms\n",
                    timeToFirstFrame(player, first));
        return 0;
    }
    waitMs(3000); // the program's start-up, during which the web player warms up
    std::printf("first SWF, 3 s after the component was made, Movie to first frame: %.0f ms\n",
                timeToFirstFrame(player, first));
    QList<double> later;
    for (int i = 0; i < 5; ++i)
        later << timeToFirstFrame(
            player, i % 2 ? first : QDir(Fixtures).filePath(QStringLiteral("timeline8.swf")));
    std::printf("later SWF, Movie to first frame: %s ms\n", qPrintable([&] {
                    QStringList t;
                    for (double v : later)
                        t << QString::number(v, 'f', 0);
                    return t.join(u' ');
                }()));

    // A 12 fps timeline that keeps playing: restart the sample whenever it stops.
    measure("12 fps timeline for 10 s", [&] {
        QElapsedTimer clock;
        clock.start();
        int last = -1;
        while (clock.elapsed() < 10000) {
            waitMs(1000);
            if (player.FrameNum() == last) {
                player.StopPlay();
                player.GotoFrame(0);
                player.Play();
            }
            last = player.FrameNum();
        }
    });
    return 0;
}

int video()
{
    QVideoWidget view;
    view.setAspectRatioMode(Qt::IgnoreAspectRatio);
    view.resize(1016, 677);
    view.show();
    QMediaPlayer player;
    QAudioOutput audio;
    player.setVideoOutput(&view);
    player.setAudioOutput(&audio);
    player.setLoops(QMediaPlayer::Infinite);
    QElapsedTimer clock;
    qint64 firstFrame = -1;
    QObject::connect(view.videoSink(), &QVideoSink::videoFrameChanged, [&] {
        if (firstFrame < 0)
            firstFrame = clock.elapsed();
    });
    clock.start();
    player.setSource(
        QUrl::fromLocalFile(QDir(Fixtures).filePath(QStringLiteral("clip-1016x677.mp4"))));
    player.play();
    measure("H.264 1016 x 677 for 10 s", [] { waitMs(10000); });
    std::printf("video, source to first frame: %lld ms\n", firstFrame);
    return 0;
}

// The shipped fade slide show of the sample pictures in a folder of its own; without its
// marker when `marked` is false, so the web player plays it.
QString sampleSlideShow(const QTemporaryDir& folder, bool marked)
{
    const QDir img(QDir(ProgramDir).filePath(QStringLiteral("img")));
    QStringList pictures{"quandor.jpg", "sample1.jpg", "sample2.jpg", "sample3.jpg"};
    for (const QString& picture : pictures)
        QFile::copy(img.filePath(picture), folder.filePath(picture));
    QFile parameters(folder.filePath(QStringLiteral("swfpara.txt")));
    if (parameters.open(QIODevice::WriteOnly))
        parameters.write("interface2=5000#4#" + pictures.join(u'#').toLatin1());
    QFile shipped(img.filePath(QStringLiteral("フェード.swf")));
    auto movie = platform::swf::readSwf(shipped.open(QIODevice::ReadOnly) ? shipped.readAll() : "");
    if (!movie)
        return {};
    if (!marked)
        movie->tags.removeIf([](const auto& tag) { return tag.code == platform::swf::Metadata; });
    QFile copy(folder.filePath(QStringLiteral("show.swf")));
    const QByteArray bytes = movie->toBytes(platform::swf::SwfFile::Compression::Zlib);
    return copy.open(QIODevice::WriteOnly) && copy.write(bytes) == bytes.size() ? copy.fileName()
                                                                                : QString();
}

// Milliseconds from Movie until the middle of the component is no longer black, or -1.
double timeToFirstPicture(MoviePlayer& player, const QString& movie)
{
    QElapsedTimer clock;
    clock.start();
    player.setMovie(movie);
    while (clock.elapsed() < 20000) {
        const QImage shot = player.grab().toImage();
        if (qGray(shot.pixel(shot.width() / 2, shot.height() / 2)) > 16)
            return double(clock.elapsed());
        waitMs(5);
    }
    return -1;
}

int slides()
{
    for (const bool marked : {true, false}) {
        QTemporaryDir folder;
        MoviePlayer player(nullptr, QDir(ProgramDir).filePath(QStringLiteral("ruffle")));
        player.resize(1016, 677);
        player.show();
        std::printf("%s, right after the component was made, Movie to first picture: %.0f ms\n",
                    marked ? "native slide show" : "web player slide show",
                    timeToFirstPicture(player, sampleSlideShow(folder, marked)));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    platform::movie::prepareWebEngine();
    QApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (mode == QLatin1String("swf"))
        return swf(false);
    if (mode == QLatin1String("swf-cold"))
        return swf(true);
    if (mode == QLatin1String("video"))
        return video();
    if (mode == QLatin1String("slides"))
        return slides();
    std::fprintf(stderr, "usage: movie_bench swf | swf-cold | video | slides\n");
    return 2;
}
