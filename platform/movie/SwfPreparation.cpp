#include "movie/SwfPreparation.h"

#include "movie/SwfFile.h"
#include "movie/SwfWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <cerrno>
#include <csignal>

Q_LOGGING_CATEGORY(lcPreparation, "lumaret.movie.swf")

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

namespace {

bool processRuns(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH);
}

} // namespace

// Removes the copy folders of earlier runs that ended without removing them (killed, power
// cut). Folders of processes that still run are left alone.
void removeStaleCopies()
{
    const QString program = QCoreApplication::applicationName();
    const QRegularExpression ours(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(program) + QStringLiteral("-(\\d+)-[A-Za-z0-9]{6}")));
    QDir temporary(QDir::tempPath());
    for (const QString& name :
         temporary.entryList({program + QStringLiteral("-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = ours.match(name);
        // Only numbered folders: "<program>-XXXXXX" is what any temporary folder of a
        // program is called by default, and may be in use.
        if (!match.hasMatch() || processRuns(match.captured(1).toLongLong()))
            continue;
        QDir stale(temporary.filePath(name));
        if (QFileInfo(stale.path()).isSymLink() || !stale.removeRecursively())
            continue;
        qCInfo(lcPreparation).noquote() << "removed" << stale.path() << "left by an earlier run";
    }
}

} // namespace platform::movie
