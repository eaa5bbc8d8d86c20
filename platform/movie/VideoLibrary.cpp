// The video library: opened when the first video needs it.

#include "movie/EngineLibraries.h"
#include "movie/OverlayVideoEngine.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcVideoLibrary, "lumaret.movie.video")

// Video is drawn straight into the stage's X window where it can be. Elsewhere, and where
// LUMARET_VIDEO=multimedia asks for it, there is no engine here: Qt Multimedia plays it.
extern "C" Q_DECL_EXPORT platform::movie::MovieEngine* lumaretNewVideoEngine(QObject* parent)
{
    using namespace platform::movie;
    if (qEnvironmentVariable("LUMARET_VIDEO") == QLatin1String("multimedia"))
        return nullptr;
    QString why;
    const QString sink = OverlayVideoEngine::sinkHere(&why);
    if (!sink.isEmpty())
        return new OverlayVideoEngine(sink, parent);
    if (!why.isEmpty())
        qCInfo(lcVideoLibrary).noquote() << "video plays through Qt Multimedia:" << why;
    return nullptr;
}
