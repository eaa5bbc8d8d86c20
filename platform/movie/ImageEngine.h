#pragma once

// Pictures: animated GIF and WebP through QMovie (looping, every frame kept), still pictures
// as a single frame, both stretched over the area.

#include "movie/MovieEngine.h"

class QLabel;
class QMovie;

namespace platform::movie {

class ImageEngine : public MovieEngine
{
    Q_OBJECT

public:
    explicit ImageEngine(QObject* parent = nullptr);
    ~ImageEngine() override;

    QWidget* view() override;
    void load(const QString& path) override;
    void unload() override;
    void stopPlay() override;
    void gotoFrame(int frame) override;
    void play() override;
    int frameNum() const override;

private:
    QLabel* m_view;
    QMovie* m_movie = nullptr;
};

} // namespace platform::movie
