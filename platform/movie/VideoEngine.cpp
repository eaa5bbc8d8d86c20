#include "movie/VideoEngine.h"

#include <QAudioOutput>
#include <QLoggingCategory>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoWidget>
#include <cmath>
#include <utility>

Q_LOGGING_CATEGORY(lcVideo, "lumaret.movie.video")

namespace platform::movie {

namespace {
// A reported position this close to a seek's target shows the seek has been carried out.
constexpr qint64 SeekReachedMs = 500;
} // namespace

VideoEngine::VideoEngine(QObject* parent)
    : MovieEngine(parent), m_view(new QVideoWidget), m_player(new QMediaPlayer(this)),
      m_audio(new QAudioOutput(this))
{
    m_view->setAspectRatioMode(Qt::IgnoreAspectRatio);
    m_player->setVideoOutput(m_view);
    m_player->setAudioOutput(m_audio);
    m_player->setLoops(QMediaPlayer::Infinite);
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& message) {
                if (std::exchange(m_failedTold, true))
                    return; // one failure per video: the player may report it more than once
                qCWarning(lcVideo).noquote() << "cannot play the video:" << message;
                emit failed(QStringLiteral("cannot play the video: ") + message);
            });
    // The first frame is on show once the video plays from its buffer.
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus status) {
                if (status == QMediaPlayer::BufferedMedia && !std::exchange(m_shownTold, true))
                    emit shown();
            });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        if (m_seekTarget && std::abs(position - *m_seekTarget) < SeekReachedMs)
            m_seekTarget.reset();
    });
}

VideoEngine::~VideoEngine()
{
    m_player->stop();
    delete m_view;
}

QWidget* VideoEngine::view()
{
    return m_view;
}

void VideoEngine::load(const QString& path)
{
    m_seekTarget.reset();
    m_shownTold = false;
    m_failedTold = false;
    m_player->setSource(QUrl::fromLocalFile(path));
    m_player->play();
}

void VideoEngine::unload()
{
    m_player->stop();
    m_player->setSource(QUrl());
}

void VideoEngine::stopPlay()
{
    m_player->pause();
}

void VideoEngine::gotoFrame(int frame)
{
    m_seekTarget = qint64(std::llround(frame * 1000.0 / framesPerSecond()));
    m_player->setPosition(*m_seekTarget);
}

void VideoEngine::play()
{
    m_player->play();
}

int VideoEngine::frameNum() const
{
    const qint64 position = m_seekTarget.value_or(m_player->position());
    return int(position * framesPerSecond() / 1000.0);
}

double VideoEngine::framesPerSecond() const
{
    const double rate = m_player->metaData().value(QMediaMetaData::VideoFrameRate).toDouble();
    return rate > 0 ? rate : 25.0;
}

} // namespace platform::movie
