// The web player's library: opened when the first SWF movie needs it.

#include "movie/EngineLibraries.h"
#include "movie/RuffleEngine.h"

extern "C" Q_DECL_EXPORT platform::movie::MovieEngine*
lumaretNewWebPlayer(const QString& runtimeFolder, QObject* parent)
{
    return new platform::movie::RuffleEngine(runtimeFolder, parent);
}
