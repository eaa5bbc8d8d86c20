#include "movie/MoviePlayer.h"

#include "movie/EngineLibraries.h"
#include "movie/ImageEngine.h"
#include "movie/MovieDispatch.h"
#include "movie/SlideShowEngine.h"
#include "movie/SwfFile.h"
#include "movie/SwfPreparation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QImageReader>
#include <QLibrary>
#include <QLoggingCategory>
#include <QStackedLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <dlfcn.h>

Q_LOGGING_CATEGORY(lcMovie, "lumaret.movie")

namespace platform::movie {

MoviePlayer::MoviePlayer(QWidget* parent, const QString& runtimeFolder)
    : QWidget(parent),
      m_runtimeFolder(
          runtimeFolder.isEmpty()
              ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ruffle"))
              : runtimeFolder),
      m_layout(new QStackedLayout(this)), m_blank(new QWidget),
      m_dispatch(std::make_unique<MovieDispatch>(*this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_blank->setStyleSheet(QStringLiteral("background: black"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addWidget(m_blank);
    // Whether or not a movie will need the web player, what its earlier runs left goes now.
    removeStaleCopies();
    m_swfIdle.setSingleShot(true);
    m_swfIdle.setInterval(WebEngineIdleMs);
    connect(&m_swfIdle, &QTimer::timeout, this, &MoviePlayer::endIdleWebEngine);
    m_lookLimit.setSingleShot(true);
    m_lookLimit.setInterval(LookTimeLimitMs);
    connect(&m_lookLimit, &QTimer::timeout, this, &MoviePlayer::lookTimedOut);
}

MoviePlayer::~MoviePlayer() = default;

MoviePlayer::FileKind MoviePlayer::kindOf(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.peek(SlideEffectHeadSize);
    if (swf::looksLikeSwf(head)) {
        if (const auto marker = knownSlideEffect(head))
            return {Kind::SlideShow, *marker};
        return {Kind::Swf, {}};
    }
    if (!QImageReader::imageFormat(&file).isEmpty())
        return {Kind::Picture, {}};
    return {Kind::Video, {}}; // anything else is for Qt Multimedia to try
}

namespace {

// An engine library's function, from the folder this library was loaded from. The library stays
// open once opened: the web engine can not be taken out of a process that ran it.
QFunctionPointer engineMaker(const char* library, const char* function)
{
    Dl_info self{};
    ::dladdr(reinterpret_cast<void*>(&engineMaker), &self);
    const QString folder = QFileInfo(QFile::decodeName(self.dli_fname)).absolutePath();
    QLibrary opened(QDir(folder).filePath(QString::fromLatin1(library)));
    const QFunctionPointer maker = opened.resolve(function);
    if (!maker)
        qCWarning(lcMovie).noquote()
            << "cannot open" << opened.fileName() << ":" << opened.errorString();
    return maker;
}

} // namespace

void MoviePlayer::setSlidesInStep(bool inStep)
{
    m_slidesInStep = inStep;
    if (m_slides)
        m_slides->setInStep(inStep);
}

MovieEngine* MoviePlayer::engineFor(Kind kind)
{
    switch (kind) {
    case Kind::SlideShow:
        if (!m_slides) {
            m_slides = new SlideShowEngine(this);
            m_slides->setInStep(m_slidesInStep);
            connect(m_slides, &SlideShowEngine::pictureShown, this, &MoviePlayer::pictureShown);
        }
        return m_slides;
    case Kind::Swf:
        if (!m_swf) {
            qCInfo(lcMovie) << "starting the web player for a movie that needs it";
            static const auto make =
                reinterpret_cast<NewWebPlayer>(engineMaker(WebPlayerLibrary, NewWebPlayerName));
            if (!make)
                return nullptr;
            m_swf = make(m_runtimeFolder, this);
            relayOutcome(m_swf);
        }
        return m_swf;
    case Kind::Video:
        if (!m_video) {
            static const auto make =
                reinterpret_cast<NewVideoEngine>(engineMaker(VideoLibrary, NewVideoEngineName));
            m_video = make ? make(this) : nullptr;
            if (!m_video) {
                static const auto makeMultimedia = reinterpret_cast<NewVideoEngine>(
                    engineMaker(MultimediaLibrary, NewMultimediaEngineName));
                m_video = makeMultimedia ? makeMultimedia(this) : nullptr;
            }
            if (!m_video)
                return nullptr;
            relayOutcome(m_video);
        }
        return m_video;
    case Kind::Picture:
        if (!m_picture) {
            m_picture = new ImageEngine(this);
            relayOutcome(m_picture);
        }
        return m_picture;
    case Kind::Nothing:
        break;
    }
    return nullptr;
}

// Only what the engine on show says of the movie it plays counts.
void MoviePlayer::relayOutcome(MovieEngine* engine)
{
    connect(engine, &MovieEngine::shown, this, [this, engine] {
        if (engine == m_active && !m_looking)
            emit movieShown(m_movie);
    });
    connect(engine, &MovieEngine::failed, this, [this, engine](const QString& why) {
        if (engine == m_active && !m_looking)
            emit movieFailed(m_movie, why);
    });
}

void MoviePlayer::showEngine(MovieEngine* engine)
{
    if (m_active && m_active != engine)
        m_active->unload();
    m_active = engine;
    QWidget* view = engine ? engine->view() : m_blank;
    if (m_layout->indexOf(view) < 0)
        m_layout->addWidget(view);
    m_layout->setCurrentWidget(view);
    // The web player's engine ends once no movie has needed it for a while.
    if (m_swf && engine != m_swf)
        m_swfIdle.start();
    else
        m_swfIdle.stop();
}

// Ending the engine's page ends its render process and gives its memory back.
void MoviePlayer::endIdleWebEngine()
{
    if (!m_swf || m_active == m_swf)
        return;
    qCInfo(lcMovie) << "no movie has needed the web player for" << m_swfIdle.interval() / 1000
                    << "s; ending it";
    m_layout->removeWidget(m_swf->view());
    delete std::exchange(m_swf, nullptr);
}

// The old movie goes at once; the new one starts once its file has been looked at.
void MoviePlayer::setMovie(const QString& path)
{
    m_movie = path;
    const int look = ++m_lookGeneration;
    m_waiting.clear();
    m_looking = true;
    showEngine(nullptr);
    m_lookLimit.start();
    auto* watcher = new QFutureWatcher<FileKind>(this);
    connect(watcher, &QFutureWatcher<FileKind>::finished, this, [this, watcher, look, path] {
        watcher->deleteLater();
        if (look == m_lookGeneration)
            startMovie(path, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run([path, before = m_beforeLook] {
        if (before)
            before(path);
        return kindOf(path);
    }));
    emit movieChanged(path);
}

void MoviePlayer::startMovie(const QString& path, const FileKind& found)
{
    m_lookLimit.stop();
    m_looking = false;
    if (found.kind == Kind::Nothing)
        qCInfo(lcMovie).noquote() << "no movie to show at" << path;
    MovieEngine* engine = engineFor(found.kind);
    showEngine(engine);
    if (!engine)
        emit movieFailed(path, QStringLiteral("no movie to show at ") + path);
    if (engine == m_slides && engine)
        m_slides->loadShow(path, found.marker);
    else if (engine)
        engine->load(path);
    for (const auto& run : std::exchange(m_waiting, {}))
        run();
}

void MoviePlayer::lookTimedOut()
{
    if (!m_looking)
        return;
    ++m_lookGeneration; // its answer, should it come, is dropped
    m_looking = false;
    m_waiting.clear();
    qCWarning(lcMovie).noquote() << "the movie" << m_movie << "did not answer within"
                                 << m_lookLimit.interval() / 1000.0
                                 << "s (a share that does not answer?); the stage stays black";
    emit movieFailed(m_movie, QStringLiteral("the movie did not answer within %1 s")
                                  .arg(m_lookLimit.interval() / 1000.0));
}

void MoviePlayer::command(const std::function<void()>& run)
{
    if (m_looking)
        m_waiting.append(run);
    else
        run();
}

void MoviePlayer::StopPlay()
{
    command([this] {
        if (m_active)
            m_active->stopPlay();
    });
}

void MoviePlayer::GotoFrame(int frame)
{
    command([this, frame] {
        if (m_active)
            m_active->gotoFrame(frame);
    });
}

void MoviePlayer::Play()
{
    command([this] {
        if (m_active)
            m_active->play();
    });
}

bool MoviePlayer::isAnswering() const
{
    return !m_active || m_active->isAnswering();
}

int MoviePlayer::FrameNum() const
{
    return m_active ? m_active->frameNum() : 0;
}

com::IDispatch* MoviePlayer::dispatch() const
{
    return m_dispatch.get();
}

} // namespace platform::movie
