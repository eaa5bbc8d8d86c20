#include "movie/ImageEngine.h"

#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <algorithm>

namespace platform::movie {

ImageEngine::ImageEngine(QObject* parent) : MovieEngine(parent), m_view(new QLabel)
{
    m_view->setScaledContents(true);
    m_view->setStyleSheet(QStringLiteral("background: black"));
}

ImageEngine::~ImageEngine()
{
    delete m_view;
}

QWidget* ImageEngine::view()
{
    return m_view;
}

void ImageEngine::load(const QString& path)
{
    unload();
    QImageReader reader(path);
    if (reader.supportsAnimation() && reader.imageCount() != 1) {
        m_movie = new QMovie(path, QByteArray(), this);
        m_movie->setCacheMode(QMovie::CacheAll);
        // Loop for ever, whatever loop count the file asks for.
        connect(m_movie, &QMovie::finished, m_movie, &QMovie::start);
        m_view->setMovie(m_movie);
        m_movie->start();
        m_movie->isValid() ? emit shown() : emit failed(m_movie->lastErrorString());
        return;
    }
    const QPixmap picture = QPixmap::fromImageReader(&reader);
    m_view->setPixmap(picture);
    picture.isNull() ? emit failed(reader.errorString()) : emit shown();
}

void ImageEngine::unload()
{
    m_view->clear();
    delete m_movie;
    m_movie = nullptr;
}

void ImageEngine::stopPlay()
{
    if (m_movie)
        m_movie->setPaused(true);
}

void ImageEngine::gotoFrame(int frame)
{
    if (m_movie)
        m_movie->jumpToFrame(frame);
}

void ImageEngine::play()
{
    if (!m_movie)
        return;
    if (m_movie->state() == QMovie::NotRunning)
        m_movie->start();
    else
        m_movie->setPaused(false);
}

int ImageEngine::frameNum() const
{
    return m_movie ? std::max(0, m_movie->currentFrameNumber()) : 0;
}

} // namespace platform::movie
