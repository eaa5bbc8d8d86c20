// The Qt Multimedia library: opened when a video can not be drawn into the stage's X window.

#include "movie/EngineLibraries.h"
#include "movie/VideoEngine.h"

extern "C" Q_DECL_EXPORT platform::movie::MovieEngine* lumaretNewMultimediaEngine(QObject* parent)
{
    return new platform::movie::VideoEngine(parent);
}
