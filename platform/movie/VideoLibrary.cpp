// The video library: opened when the first video needs it.

#include "movie/EngineLibraries.h"
#include "movie/OverlayVideoEngine.h"
#include "movie/VideoEngine.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcVideoLibrary, "lumaret.movie.video")

// Video is drawn straight into the stage's X window where it can be; else, and where
// LUMARET_VIDEO=multimedia asks for it, through Qt Multimedia.
extern "C" Q_DECL_EXPORT platform::movie::MovieEngine* lumaretNewVideoEngine(QObject* parent)
{
    using namespace platform::movie;
    QString why;
    const QString sink = qEnvironmentVariable("LUMARET_VIDEO") == QLatin1String("multimedia")
                             ? QString()
                             : OverlayVideoEngine::sinkHere(&why);
    if (!sink.isEmpty())
        return new OverlayVideoEngine(sink, parent);
    if (!why.isEmpty())
        qCInfo(lcVideoLibrary).noquote() << "video plays through Qt Multimedia:" << why;
    return new VideoEngine(parent);
}
