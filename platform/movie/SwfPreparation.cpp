#include "movie/SwfPreparation.h"

#include "movie/SwfFile.h"
#include "movie/SwfWriter.h"

#include <QFile>

namespace platform::movie {

PreparedSwf prepareSwf(const QString& path, const QString& copyPath)
{
    PreparedSwf prepared;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        prepared.error = file.errorString();
        return prepared;
    }
    if (file.size() > swf::MaxBodySize) {
        prepared.error = QStringLiteral("the file is larger than a movie may be");
        return prepared;
    }
    const auto swf = swf::readSwf(file.readAll());
    if (!swf) {
        prepared.error = QStringLiteral("the file is damaged, or larger than a movie may be "
                                        "once uncompressed");
        return prepared;
    }
    prepared.playable = true;
    prepared.actionScript3 = swf->isActionScript3();
    prepared.deviceText = swf->mayUseDeviceText();
    prepared.sound = swf->mayPlaySound();
    prepared.loadsMovies = swf->mayLoadMovies();
    prepared.file = path;
    if (prepared.actionScript3 || copyPath.isEmpty())
        return prepared;
    QFile copy(copyPath);
    const QByteArray bytes = swf::withFrameReports(*swf).toBytes();
    if (copy.open(QIODevice::WriteOnly) && copy.write(bytes) == bytes.size() && copy.flush())
        prepared.file = copyPath;
    return prepared;
}

} // namespace platform::movie
