#pragma once

// Video drawn the short way: a GStreamer pipeline decodes the file, scales each frame once and
// draws it straight into a native X window of the stage (the video overlay interface), with
// its sound. No frame passes through Qt. Looping, stopping, going to a frame and the frame on
// show work as with the other engines; a file the pipeline can not play leaves the stage black
// with one log line.

#include "movie/MovieEngine.h"

#include <QTimer>
#include <optional>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

namespace platform::movie {

class OverlayVideoEngine : public MovieEngine
{
    Q_OBJECT

public:
    // The X sink video can be drawn with here: "xvimagesink" where the X server offers XVideo
    // (it scales), else "ximagesink"; "" where neither can start (no X server, as on Wayland
    // without one, or no sink installed), and `why` says why. Found once.
    static QString sinkHere(QString* why = nullptr);

    explicit OverlayVideoEngine(const QString& sink, QObject* parent = nullptr);
    ~OverlayVideoEngine() override;

    QWidget* view() override;
    void load(const QString& path) override;
    void unload() override;
    void stopPlay() override;
    void gotoFrame(int frame) override;
    void play() override;
    int frameNum() const override;

private:
    void readBus();
    void handle(GstMessage* message);
    void fail(const QString& why);
    void seekToStart(bool flush);
    void fitToStage();
    void readFrameRate();

    QString m_sinkName;
    QWidget* m_view;              // black, holding the native window the video is drawn into
    QWidget* m_surface;           // that native window; shown only while a video plays
    GstElement* m_pipeline;       // playbin, with our sink bin
    GstElement* m_sink;           // the X sink
    GstElement* m_size = nullptr; // the caps filter that scales to the stage (ximagesink)
    QTimer m_bus;                 // the pipeline's messages, read on this thread
    QTimer m_startLimit;          // the first frame is awaited this long
    double m_framesPerSecond = 25;
    std::optional<qint64> m_seekTarget; // a seek's target until the pipeline is there
    bool m_loaded = false;
    bool m_playing = false;
    bool m_prerolled = false; // the loaded video's first frame is drawn
};

} // namespace platform::movie
