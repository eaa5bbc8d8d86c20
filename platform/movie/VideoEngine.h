#pragma once

// Video files through Qt Multimedia, stretched over the area and looping. The frame on show
// is the position times the frame rate.

#include "movie/MovieEngine.h"

#include <optional>

class QAudioOutput;
class QMediaPlayer;
class QVideoWidget;

namespace platform::movie {

class VideoEngine : public MovieEngine
{
    Q_OBJECT

public:
    explicit VideoEngine(QObject* parent = nullptr);
    ~VideoEngine() override;

    QWidget* view() override;
    void load(const QString& path) override;
    void unload() override;
    void stopPlay() override;
    void gotoFrame(int frame) override;
    void play() override;
    int frameNum() const override;

private:
    // A seek completes later than it is asked for: until the player reports a position near
    // it, the frame asked for is the frame on show.
    std::optional<qint64> m_seekTarget; // milliseconds
    double framesPerSecond() const;

    QVideoWidget* m_view;
    QMediaPlayer* m_player;
    QAudioOutput* m_audio;
    bool m_shownTold = false;  // shown() was emitted for the loaded video
    bool m_failedTold = false; // and failed()
};

} // namespace platform::movie
