#include "movie/OverlayVideoEngine.h"

#include "text/Printable.h"

#include <QGuiApplication>
#include <QList>
#include <QLoggingCategory>
#include <QResizeEvent>
#include <QUrl>
#include <QWidget>
#include <cmath>
#include <functional>

#include <gst/gst.h>
#include <gst/video/videooverlay.h>

Q_LOGGING_CATEGORY(lcOverlay, "lumaret.movie.video")

namespace platform::movie {

namespace {

constexpr int StartLimitMs = 10000;   // a video that shows no frame by then is given up
constexpr int BusReadMs = 40;         // messages (loop, errors, first frame) are read this often
constexpr qint64 SeekReachedMs = 500; // a position this close to a seek's target reached it
constexpr int PlayVideo = 1 << 0;     // playbin's flags: video, audio, and no conversion of
constexpr int PlayAudio = 1 << 1;     // its own (our sink bin converts and scales once)
constexpr int PlayNativeVideo = 1 << 6;

// The native window the sink draws into. Qt paints nothing there; an expose asks the sink to
// draw its last frame again.
class VideoSurface : public QWidget
{
public:
    std::function<void()> exposed;
    std::function<void()> resized;

    explicit VideoSurface(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (exposed)
            exposed();
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (resized)
            resized();
    }
};

// The stage: black, with the video's window over all of it.
class VideoStage : public QWidget
{
public:
    QWidget* surface = nullptr;
    VideoStage() { setStyleSheet(QStringLiteral("background: black")); }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (surface)
            surface->setGeometry(rect());
    }
};

bool canStart(const char* factory)
{
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (!element)
        return false;
    const bool started =
        gst_element_set_state(element, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(element, GST_STATE_NULL);
    gst_object_unref(element);
    return started;
}

QString messageText(GstMessage* message)
{
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const QString text = QString::fromUtf8(error ? error->message : "unknown error");
    if (error)
        g_error_free(error);
    g_free(debug);
    return text;
}

} // namespace

QString OverlayVideoEngine::sinkHere(QString* why)
{
    static const std::pair<QString, QString> found = [] {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return std::pair{QString(), QStringLiteral("the display is not an X server (%1)")
                                            .arg(QGuiApplication::platformName())};
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            const QString text = QString::fromUtf8(error ? error->message : "");
            if (error)
                g_error_free(error);
            return std::pair{QString(), QStringLiteral("GStreamer does not start: ") + text};
        }
        for (const char* sink : {"xvimagesink", "ximagesink"})
            if (canStart(sink))
                return std::pair{QString::fromLatin1(sink), QString()};
        return std::pair{QString(), QStringLiteral("no X video sink starts here")};
    }();
    if (why)
        *why = found.second;
    return found.first;
}

OverlayVideoEngine::OverlayVideoEngine(const QString& sink, QObject* parent)
    : MovieEngine(parent), m_sinkName(sink)
{
    auto* stage = new VideoStage;
    auto* surface = new VideoSurface(stage);
    stage->surface = surface;
    surface->hide();
    surface->exposed = [this] {
        if (m_prerolled)
            gst_video_overlay_expose(GST_VIDEO_OVERLAY(m_sink));
    };
    surface->resized = [this] { fitToStage(); };
    m_view = stage;
    m_surface = surface;

    // Our sink bin: scale, convert, draw. xvimagesink scales on the X server; for ximagesink
    // each frame is scaled to the stage's size (stretched, as the other engines do) while it is
    // still in the decoder's format, a byte and a half a pixel for most video, so only the
    // stage's pixels are converted. For 8-bit 4:2:0 video this costs less than converting and
    // scaling in one pass.
    m_sink = gst_element_factory_make(m_sinkName.toLatin1().constData(), nullptr);
    g_object_set(m_sink, "force-aspect-ratio", FALSE, nullptr);
    QList<GstElement*> chain;
    if (m_sinkName == QLatin1String("ximagesink")) {
        chain << gst_element_factory_make("videoscale", nullptr)
              << gst_element_factory_make("videoconvert", nullptr);
        g_object_set(chain.first(), "add-borders", FALSE, nullptr);
        m_size = gst_element_factory_make("capsfilter", nullptr);
        chain << m_size;
    } else {
        chain << gst_element_factory_make("videoconvert", nullptr);
    }
    chain << m_sink;
    GstElement* bin = gst_bin_new("stage");
    for (qsizetype i = 0; i < chain.size(); ++i) {
        gst_bin_add(GST_BIN(bin), chain[i]);
        if (i > 0)
            gst_element_link(chain[i - 1], chain[i]);
    }
    GstPad* input = gst_element_get_static_pad(chain.first(), "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);

    m_pipeline = gst_element_factory_make("playbin", nullptr);
    int flags = PlayVideo | PlayNativeVideo;
    if (canStart("autoaudiosink"))
        flags |= PlayAudio; // sound where the machine has somewhere to play it
    g_object_set(m_pipeline, "video-sink", bin, "flags", flags, nullptr);
    m_bus.setInterval(BusReadMs);
    connect(&m_bus, &QTimer::timeout, this, &OverlayVideoEngine::readBus);
    // A file cut short can keep a demuxer waiting for data that never comes, without an error.
    m_startLimit.setSingleShot(true);
    m_startLimit.setInterval(StartLimitMs);
    connect(&m_startLimit, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("the video showed no frame within %1 s").arg(StartLimitMs / 1000));
    });
}

OverlayVideoEngine::~OverlayVideoEngine()
{
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline);
    delete m_view;
}

QWidget* OverlayVideoEngine::view()
{
    return m_view;
}

void OverlayVideoEngine::load(const QString& path)
{
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    m_seekTarget.reset();
    m_prerolled = false;
    m_loaded = true;
    m_playing = true;
    m_surface->setGeometry(m_view->rect());
    m_surface->show();
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(m_sink), guintptr(m_surface->winId()));
    fitToStage();
    g_object_set(m_pipeline, "uri", QUrl::fromLocalFile(path).toEncoded().constData(), nullptr);
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED); // prerolls its first frame, then plays
    m_bus.start();
    m_startLimit.start();
}

void OverlayVideoEngine::unload()
{
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    m_bus.stop();
    m_startLimit.stop();
    m_loaded = false;
    m_prerolled = false;
    m_surface->hide();
}

void OverlayVideoEngine::stopPlay()
{
    m_playing = false;
    if (m_loaded)
        gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
}

void OverlayVideoEngine::gotoFrame(int frame)
{
    m_seekTarget = qint64(std::llround(std::max(0, frame) * 1000.0 / m_framesPerSecond));
    if (!m_prerolled)
        return; // taken from the start once the first frame is there
    gst_element_seek(
        m_pipeline, 1.0, GST_FORMAT_TIME,
        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE | GST_SEEK_FLAG_SEGMENT),
        GST_SEEK_TYPE_SET, *m_seekTarget * GST_MSECOND, GST_SEEK_TYPE_NONE, 0);
}

void OverlayVideoEngine::play()
{
    m_playing = true;
    if (m_prerolled)
        gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
}

int OverlayVideoEngine::frameNum() const
{
    gint64 position = 0;
    if (!m_seekTarget && m_prerolled)
        gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &position);
    const qint64 milliseconds = m_seekTarget.value_or(position / GST_MSECOND);
    return int(milliseconds * m_framesPerSecond / 1000.0);
}

void OverlayVideoEngine::readBus()
{
    GstBus* bus = gst_element_get_bus(m_pipeline);
    // A bounded number per turn: a pipeline flooding its bus never holds the window's thread.
    for (int i = 0; i < 64; ++i) {
        GstMessage* message = gst_bus_pop(bus);
        if (!message)
            break;
        handle(message);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    if (m_seekTarget && m_prerolled) {
        gint64 position = 0;
        if (gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &position) &&
            std::abs(position / GST_MSECOND - *m_seekTarget) < SeekReachedMs)
            m_seekTarget.reset();
    }
}

void OverlayVideoEngine::handle(GstMessage* message)
{
    if (!m_loaded)
        return; // what a failed or unloaded video still had to say
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        fail(QStringLiteral("cannot play the video: ") + messageText(message));
        break;
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) != GST_OBJECT(m_pipeline) || m_prerolled)
            break;
        // The first frame is drawn: from here the video loops by segments, without a gap.
        m_prerolled = true;
        m_startLimit.stop();
        readFrameRate();
        emit shown();
        seekToStart(true);
        if (m_seekTarget)
            gotoFrame(int(std::llround(*m_seekTarget * m_framesPerSecond / 1000.0)));
        gst_element_set_state(m_pipeline, m_playing ? GST_STATE_PLAYING : GST_STATE_PAUSED);
        break;
    case GST_MESSAGE_SEGMENT_DONE:
        seekToStart(false);
        break;
    case GST_MESSAGE_EOS: // a stream that ends without its segment's end: start it again
        seekToStart(true);
        break;
    default:
        break;
    }
}

void OverlayVideoEngine::seekToStart(bool flush)
{
    const int flags = GST_SEEK_FLAG_SEGMENT | (flush ? GST_SEEK_FLAG_FLUSH : 0);
    gst_element_seek(m_pipeline, 1.0, GST_FORMAT_TIME, GstSeekFlags(flags), GST_SEEK_TYPE_SET, 0,
                     GST_SEEK_TYPE_NONE, 0);
}

void OverlayVideoEngine::fail(const QString& why)
{
    qCWarning(lcOverlay).noquote() << platform::printable(why) << "; the stage stays black";
    unload();
    emit failed(why);
}

// ximagesink draws frames at their size: they are scaled to the stage's.
void OverlayVideoEngine::fitToStage()
{
    if (!m_size || m_surface->width() <= 0 || m_surface->height() <= 0)
        return;
    const qreal ratio = m_surface->devicePixelRatioF();
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT,
                                        int(std::lround(m_surface->width() * ratio)), "height",
                                        G_TYPE_INT, int(std::lround(m_surface->height() * ratio)),
                                        "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(m_size, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

void OverlayVideoEngine::readFrameRate()
{
    GstPad* pad = nullptr;
    g_signal_emit_by_name(m_pipeline, "get-video-pad", 0, &pad);
    if (!pad)
        return;
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
        int numerator = 0;
        int denominator = 0;
        if (gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &numerator,
                                       &denominator) &&
            numerator > 0 && denominator > 0)
            m_framesPerSecond = double(numerator) / denominator;
        gst_caps_unref(caps);
    }
    gst_object_unref(pad);
}

} // namespace platform::movie
