#include "movie/SlideShowEngine.h"
#include "profile/RootedFolder.h"
#include "text/Printable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QImageReader>
#include <QLoggingCategory>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <climits>
#include <cmath>

Q_LOGGING_CATEGORY(lcSlides, "lumaret.movie.slides")

namespace platform::movie {

// The widget the show is drawn on. Every paint covers it whole.
class SlideShowCanvas : public QWidget
{
public:
    explicit SlideShowCanvas(SlideShowEngine& engine) : m_engine(engine)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setClipRegion(event->region());
        m_engine.paint(painter, rect());
    }
    void resizeEvent(QResizeEvent*) override { m_engine.areaResized(size() * devicePixelRatio()); }

private:
    SlideShowEngine& m_engine;
};

namespace {

// A show of many large pictures keeps at most this many bytes of them decoded; beyond it a
// picture is decoded again at its turn.
constexpr qsizetype CacheBudget = 256 * 1024 * 1024;
// A time per picture below this would change pictures faster than they can be drawn.
constexpr int ShortestMilliseconds = 100;
// In step, a change that fires up to this early still counts as the turn it is for.
constexpr qint64 InStepSlackMs = 100;

// Reads the picture at `path` at the area's size (stretched over it, as the movies show it),
// unless it has the size and time of the copy already decoded. Runs on a worker.
PictureRead readPicture(const QString& path, const QSize& area, qint64 knownSize,
                        const QDateTime& knownModified)
{
    PictureRead read;
    if (path.isEmpty()) {
        read.error = QStringLiteral("the name leads out of the picture folder");
        return read;
    }
    // Through the picture folder itself: a link out of it shows nothing.
    const QFileInfo info(path);
    const RootedFolder::Opened opened = RootedFolder(info.path()).openFile(info.fileName());
    if (opened.outcome != RootedFolder::Opened::Ok) {
        read.error = opened.why.isEmpty() ? QStringLiteral("no such file") : opened.why;
        return read;
    }
    QFile file;
    file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    read.size = opened.info.st_size;
    read.modified = QDateTime::fromMSecsSinceEpoch(qint64(opened.info.st_mtim.tv_sec) * 1000 +
                                                   opened.info.st_mtim.tv_nsec / 1000000);
    if (read.size == knownSize && read.modified == knownModified) {
        read.outcome = PictureRead::Unchanged;
        return read;
    }
    QImageReader reader(&file);
    reader.setAutoTransform(false); // the movies show the pixels as stored
    if (area.isValid() && !area.isEmpty())
        reader.setScaledSize(area);
    QImage image = reader.read();
    if (image.isNull()) {
        read.outcome = PictureRead::Undecodable;
        read.error = reader.errorString();
        return read;
    }
    // The screen's own format: drawing is then a plain copy.
    read.image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                               : QImage::Format_RGB32);
    read.outcome = PictureRead::Decoded;
    return read;
}

SlideParameters readParameters(const QString& folder)
{
    return readSlideParameters(QDir(folder).filePath(QStringLiteral("swfpara.txt")));
}

// Runs `work` on a worker and hands its result to `done` on this thread, unless `receiver`
// is gone by then.
template <typename Result, typename Work, typename Done>
void onWorker(QObject* receiver, Work work, Done done)
{
    auto* watcher = new QFutureWatcher<Result>(receiver);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, receiver, [watcher, done] {
        watcher->deleteLater();
        done(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(work));
}

} // namespace

SlideShowEngine::SlideShowEngine(QObject* parent)
    : MovieEngine(parent), m_canvas(new SlideShowCanvas(*this))
{
    m_changeTimer.setSingleShot(true);
    m_changeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_changeTimer, &QTimer::timeout, this, &SlideShowEngine::startTurn);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &SlideShowEngine::frameStep);
}

SlideShowEngine::~SlideShowEngine()
{
    delete m_canvas;
}

QWidget* SlideShowEngine::view()
{
    return m_canvas;
}

void SlideShowEngine::load(const QString& path)
{
    QFile file(path);
    const auto marker = file.open(QIODevice::ReadOnly)
                            ? knownSlideEffect(file.read(SlideEffectHeadSize))
                            : std::nullopt;
    loadShow(path, marker.value_or(SlideEffectMarker{}));
}

// A movie plays once loaded. The slide list is read on a worker; the screen stays black
// until the first picture is there.
void SlideShowEngine::loadShow(const QString& path, const SlideEffectMarker& marker)
{
    unload();
    m_loaded = true;
    m_marker = marker;
    m_folder = QFileInfo(path).absolutePath();
    m_playing = true;
    m_running.start();
    if (marker.effect == SlideEffect::Placeholder)
        return;
    const int load = m_loadGeneration;
    onWorker<SlideParameters>(
        this, [folder = m_folder] { return readParameters(folder); },
        [this, load](const SlideParameters& parameters) {
            if (load != m_loadGeneration)
                return;
            m_parameters = parameters;
            m_parameters.milliseconds = std::max(parameters.milliseconds, ShortestMilliseconds);
            m_parametersRead = true;
            keepOnly(parameters.names);
            if (parameters.namesLeftOut > 0)
                qCWarning(lcSlides).noquote()
                    << "the slide list in" << m_folder << "names" << parameters.namesLeftOut
                    << "pictures beyond the first" << MaxSlideNames << "; they are left out";
            if (parameters.names.isEmpty())
                qCInfo(lcSlides).noquote()
                    << "the slide list in" << m_folder << "names no picture; the stage stays black";
            if (m_playing && !m_turnPending)
                startTurn();
        });
}

void SlideShowEngine::unload()
{
    ++m_loadGeneration;
    ++m_turnGeneration;
    m_changeTimer.stop();
    m_frameTimer.stop();
    m_loaded = false;
    m_parametersRead = false;
    m_parameters = {};
    m_next = 0;
    m_skippedInARow = 0;
    m_turnPending = false;
    m_restart = false;
    m_noTransition = true;
    m_held = {};
    m_current = {};
    m_leaving = {};
    m_playing = false;
    m_playedMs = 0;
    m_canvas->update();
}

void SlideShowEngine::stopPlay()
{
    if (!m_playing)
        return;
    m_playedMs = showTimeMs();
    m_playing = false;
    m_changeTimer.stop();
    m_frameTimer.stop();
}

void SlideShowEngine::gotoFrame(int frame)
{
    if (frame != 0)
        qCInfo(lcSlides) << "going to frame" << frame
                         << "of a slide show; it starts again from its first picture";
    m_playedMs = 0;
    m_running.start();
    if (m_playing)
        restartFromFirst();
    else
        m_restart = true;
}

void SlideShowEngine::play()
{
    if (m_playing || !m_loaded)
        return;
    m_playing = true;
    m_running.start();
    if (std::exchange(m_restart, false)) {
        restartFromFirst();
        return;
    }
    if (!m_held.isNull()) {
        showPicture(m_heldName, std::exchange(m_held, {}));
        return;
    }
    if (m_turnPending || !m_parametersRead)
        return; // the turn goes on when the picture or the list comes in
    if (m_current.isNull() && m_leaving.isNull()) {
        startTurn();
        return;
    }
    armChange();
    if (!m_leaving.isNull())
        m_frameTimer.start();
}

int SlideShowEngine::frameNum() const
{
    if (m_marker.effect == SlideEffect::Placeholder)
        return 0; // a movie of one frame that stands still
    return int(std::min<qint64>(showTimeMs() * m_marker.framesPerSecond / 1000, INT_MAX));
}

qint64 SlideShowEngine::showTimeMs() const
{
    return m_playedMs + (m_playing ? m_running.elapsed() : 0);
}

// The show from its first picture, which replaces the one on show without a transition, as
// when the movie is loaded anew. What is on show stays until the first picture is there.
void SlideShowEngine::restartFromFirst()
{
    ++m_turnGeneration;
    m_changeTimer.stop();
    m_frameTimer.stop();
    m_turnPending = false;
    m_held = {};
    m_leaving = {};
    m_next = 0;
    m_skippedInARow = 0;
    m_noTransition = true;
    m_turnStartMs = 0;
    m_canvas->update();
    if (m_parametersRead)
        startTurn();
}

// The next picture's turn: its file is looked at on a worker, decoded when new or changed.
void SlideShowEngine::startTurn()
{
    const QStringList& names = m_parameters.names;
    if (!m_playing || names.isEmpty())
        return;
    if (m_inStep) {
        // A change that fires a little early still counts as the turn it is for.
        const qint64 period = std::max<qint64>(1, m_parameters.milliseconds);
        m_next = int(((msOfDay() + InStepSlackMs) / period) % names.size());
    }
    const QString name = names[m_next % names.size()];
    m_next = (m_next + 1) % names.size();
    const QString path = picturePath(m_folder, name);
    const Cached known = m_cache.value(path);
    const bool sameArea = known.image.size() == m_areaPixels;
    const int turn = ++m_turnGeneration;
    m_turnPending = true;
    onWorker<PictureRead>(
        this,
        [path, area = m_areaPixels, size = sameArea ? known.size : -1, modified = known.modified] {
            return readPicture(path, area, size, modified);
        },
        [this, turn, name](const PictureRead& read) {
            if (turn != m_turnGeneration)
                return;
            m_turnPending = false;
            pictureRead(name, read);
        });
}

void SlideShowEngine::pictureRead(const QString& name, const PictureRead& read)
{
    const QString path = picturePath(m_folder, name);
    if (read.outcome == PictureRead::Missing || read.outcome == PictureRead::Undecodable) {
        m_cache.remove(path);
        skipPicture(name, read);
        return;
    }
    if (read.outcome == PictureRead::Decoded) {
        m_cache.insert(path, {read.image, read.size, read.modified});
        qsizetype kept = 0;
        for (auto it = m_cache.begin(); it != m_cache.end();) {
            kept += it->image.sizeInBytes();
            it = kept > CacheBudget && it.key() != path ? m_cache.erase(it) : std::next(it);
        }
    }
    const QImage picture =
        read.outcome == PictureRead::Decoded ? read.image : m_cache.value(path).image;
    m_skippedInARow = 0;
    if (m_reported.remove(name))
        qCInfo(lcSlides).noquote() << "the picture" << printable(name) << "shows again";
    if (!m_playing) {
        m_heldName = name;
        m_held = picture;
        return;
    }
    showPicture(name, picture);
}

// A picture that is not there is left out: the next one takes its turn at once (in step, the
// picture before stays for that turn). When no picture of the list could be shown, the stage
// is black and the list is tried again after one picture's time.
void SlideShowEngine::skipPicture(const QString& name, const PictureRead& read)
{
    if (!m_reported.contains(name)) {
        m_reported.insert(name);
        qCWarning(lcSlides).noquote()
            << "cannot show the picture" << printable(name) << "in" << m_folder << ":" << read.error
            << "; it is left out while it stays so";
    }
    if (m_inStep) {
        // In step the turn belongs to the clock: the picture before stays for it, and the
        // next turn comes at the next whole picture time, as on the other screens.
        const qint64 period = std::max<qint64>(1, m_parameters.milliseconds);
        m_turnStartMs = showTimeMs() - ((msOfDay() + InStepSlackMs) % period - InStepSlackMs);
        armChange();
        return;
    }
    if (++m_skippedInARow < m_parameters.names.size()) {
        startTurn();
        return;
    }
    m_skippedInARow = 0;
    if (!m_current.isNull())
        qCWarning(lcSlides).noquote()
            << "no picture of the slide list in" << m_folder << "can be shown; the stage is black";
    if (!m_current.isNull())
        emit pictureShown({});
    m_current = {};
    m_leaving = {};
    m_frameTimer.stop();
    m_noTransition = true;
    m_canvas->update();
    m_turnStartMs = showTimeMs();
    armChange();
}

void SlideShowEngine::showPicture(const QString& name, const QImage& picture)
{
    // The same picture again (a list naming one file several times) needs no transition:
    // it would show no change.
    const bool transition = !std::exchange(m_noTransition, false) &&
                            m_marker.effect != SlideEffect::None && !m_current.isNull() &&
                            m_current.cacheKey() != picture.cacheKey();
    m_leaving = transition ? m_current : QImage();
    m_current = picture;
    m_currentName = name;
    emit pictureShown(picturePath(m_folder, name));
    m_turnStartMs = showTimeMs();
    // In step, the turn began at the last whole picture time (or begins at the next, when the
    // change came a little early), and ends one picture time later.
    if (m_inStep) {
        const qint64 period = std::max<qint64>(1, m_parameters.milliseconds);
        m_turnStartMs -= (msOfDay() + InStepSlackMs) % period - InStepSlackMs;
    }
    m_canvas->update();
    if (transition)
        m_frameTimer.start(std::max(1, int(std::lround(1000 / m_marker.framesPerSecond))));
    else
        m_frameTimer.stop();
    armChange();
}

qint64 SlideShowEngine::msOfDay() const
{
    const QDateTime now = m_wallClock ? m_wallClock() : QDateTime::currentDateTime();
    return now.time().msecsSinceStartOfDay();
}

void SlideShowEngine::armChange()
{
    const qint64 due = m_turnStartMs + m_parameters.milliseconds - showTimeMs();
    m_changeTimer.start(int(std::clamp<qint64>(due, 0, INT_MAX)));
}

// The share of the transition that has passed: it takes the first third of the picture's time.
double SlideShowEngine::transitionShare() const
{
    const double progress = double(showTimeMs() - m_turnStartMs) / m_parameters.milliseconds;
    return std::clamp(progress * 3, 0.0, 1.0);
}

void SlideShowEngine::frameStep()
{
    if (m_leaving.isNull()) {
        m_frameTimer.stop();
        return;
    }
    const double share = transitionShare();
    if (m_marker.effect == SlideEffect::Slide && share < 1) {
        // Only what the sliding picture covers changes.
        const int width = m_canvas->width();
        const int x = int(std::lround(width * (1 - share) * (1 - share)));
        m_canvas->update(QRect(x, 0, width - x, m_canvas->height()));
    } else {
        m_canvas->update();
    }
    if (share >= 1) {
        m_leaving = {};
        m_frameTimer.stop();
    }
}

void SlideShowEngine::paint(QPainter& painter, const QRect& area)
{
    const auto draw = [&](const QImage& picture, int x) {
        const QRect target(area.x() + x, area.y(), area.width(), area.height());
        if (picture.size() == area.size() * m_canvas->devicePixelRatio())
            painter.drawImage(target.topLeft(), picture);
        else
            painter.drawImage(target, picture); // until the pictures are decoded at a new size
    };
    if (m_current.isNull()) {
        painter.fillRect(area, Qt::black);
        return;
    }
    const double share = m_leaving.isNull() ? 1 : transitionShare();
    if (share >= 1) {
        draw(m_current, 0);
        return;
    }
    draw(m_leaving, 0);
    switch (m_marker.effect) {
    case SlideEffect::Fade:
        painter.setOpacity(share);
        draw(m_current, 0);
        painter.setOpacity(1);
        break;
    case SlideEffect::Slide: {
        // Eased: fast at first, slowing down as it arrives.
        const int x = int(std::lround(area.width() * (1 - share) * (1 - share)));
        draw(m_current, x);
        break;
    }
    default:
        draw(m_current, 0);
        break;
    }
}

void SlideShowEngine::areaResized(const QSize& pixels)
{
    m_areaPixels = pixels;
}

// Pictures no longer named are forgotten.
void SlideShowEngine::keepOnly(const QStringList& names)
{
    QSet<QString> paths;
    for (const QString& name : names)
        paths.insert(picturePath(m_folder, name));
    m_cache.removeIf([&](const auto& entry) { return !paths.contains(entry.key()); });
    m_reported.removeIf([&](const QString& name) { return !names.contains(name); });
}

} // namespace platform::movie
