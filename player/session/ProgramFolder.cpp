#include "session/ProgramFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcFolder, "lumaret.folder")

namespace programfolder {

namespace {

bool writable(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

// Copies a file or a folder tree; false on the first failure.
bool copyEntry(const QString& from, const QString& to)
{
    if (!QFileInfo(from).isDir())
        return QFile::copy(from, to);
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext()) {
        const QString source = it.next();
        if (!copyEntry(source, QDir(to).filePath(it.fileName())))
            return false;
    }
    return true;
}

// Copies what the user kept in an earlier version's folder over the new folder's content: their
// settings, group file, sets, pictures and proof of play. Files the upgrade set aside as
// NAME.dpkg-old (settings the user had changed) take NAME's place; the program (or the link
// left at its old place) is not content.
bool takeEarlier(const QString& from, const QString& to, bool top)
{
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QString source = it.next();
        QString name = it.fileName();
        const QFileInfo entry = it.fileInfo();
        if (top && name == QLatin1String("lumaret") && !entry.isDir())
            continue;
        if (name.endsWith(QLatin1String(".dpkg-old")))
            name.chop(int(qstrlen(".dpkg-old")));
        else if (QFileInfo::exists(source + QStringLiteral(".dpkg-old")))
            continue; // the kept copy holds the user's version
        const QString target = QDir(to).filePath(name);
        if (entry.isDir()) {
            if (!QDir().mkpath(target) || !takeEarlier(source, target, false))
                return false;
            continue;
        }
        if (!entry.isFile())
            continue;
        QFile::remove(target);
        if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

} // namespace

QString fallback(const Installed& installed, const QString& temp)
{
    if (installed.beside)
        return installed.content;
    const QString folder = QDir(temp).filePath(QStringLiteral("lumaret-%1").arg(::getuid()));
    const QFileInfo made(folder);
    // Only a folder of this user's own: another user could have placed one to be written to.
    if (made.exists() && (!made.isDir() || made.isSymLink() || made.ownerId() != ::getuid()))
        return installed.content;
    if (!prepare(folder, installed))
        return installed.content;
    qCWarning(lcFolder).noquote() << "using" << folder
                                  << "for now: its settings go when the system restarts";
    return folder;
}

QString dataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::home().filePath(QStringLiteral(".local/share"));
}

Installed findInstalled(const QString& programDir, const QString& sharedContent,
                        const QString& adminFolder)
{
    const QDir program(programDir);
    const QString shared = QDir::cleanPath(program.filePath(sharedContent));
    const bool holdsContent =
        program.exists(QStringLiteral("lumaret.ini")) || program.exists(QStringLiteral("img"));
    if (holdsContent || !QFileInfo(shared).isDir())
        return {programDir, program.filePath(QStringLiteral("lan.ini")), true};
    return {shared, QDir(adminFolder).filePath(QStringLiteral("lan.ini")), false};
}

Installed findInstalled(const QString& programDir)
{
    Installed installed = findInstalled(programDir, QStringLiteral(LUMARET_CONTENT_FROM_PROGRAM),
                                        QStringLiteral(LUMARET_ADMIN_FOLDER));
    // Until 0.0.8 root's player kept its settings in the installed folder itself.
    if (!installed.beside && ::geteuid() == 0 &&
        QFileInfo(QStringLiteral(LUMARET_EARLIER_FOLDER)).isDir())
        installed.earlier = QStringLiteral(LUMARET_EARLIER_FOLDER);
    return installed;
}

QString choose(const QString& requested, const Installed& installed, const QString& dataHome)
{
    if (!requested.isEmpty())
        return QFileInfo(requested).absoluteFilePath();
    if (installed.beside && writable(installed.content))
        return installed.content;
    return QDir(dataHome).filePath(QStringLiteral("lumaret"));
}

bool prepare(const QString& folder, const Installed& installed)
{
    if (QFileInfo(folder).isDir())
        return true;
    const QFileInfo target(folder);
    if (!QDir().mkpath(target.absolutePath())) {
        qCWarning(lcFolder).noquote() << "cannot create" << target.absolutePath();
        return false;
    }
    // Filled beside its place and renamed into it: a folder that is there is whole.
    QTemporaryDir staging(target.absoluteFilePath() + QStringLiteral("-XXXXXX"));
    if (!staging.isValid()) {
        qCWarning(lcFolder).noquote()
            << "cannot create a folder beside" << folder << ":" << staging.errorString();
        return false;
    }
    for (const char* name : Content) {
        const QString entry = QString::fromUtf8(name);
        const QString source = entry == QLatin1String("lan.ini")
                                   ? installed.groupFile
                                   : QDir(installed.content).filePath(entry);
        if (!QFileInfo::exists(source))
            continue;
        if (!copyEntry(source, staging.filePath(entry))) {
            qCWarning(lcFolder).noquote() << "cannot copy" << source << "into" << folder;
            return false;
        }
    }
    if (!installed.earlier.isEmpty()) {
        if (!takeEarlier(installed.earlier, staging.path(), true)) {
            qCWarning(lcFolder).noquote()
                << "cannot copy what" << installed.earlier << "holds into" << folder;
            return false;
        }
        qCInfo(lcFolder).noquote() << "took the settings and content an earlier version kept in"
                                   << installed.earlier << "into" << folder;
    }
    QFile::setPermissions(staging.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup |
                                              QFile::ReadOther | QFile::ExeOther);
    if (::rename(QFile::encodeName(staging.path()).constData(),
                 QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        // Another start made it meanwhile: that one is used.
        if (QFileInfo(folder).isDir())
            return true;
        qCWarning(lcFolder).noquote() << "cannot create" << folder;
        return false;
    }
    staging.setAutoRemove(false);
    qCInfo(lcFolder).noquote() << "created the program folder" << folder << "from"
                               << installed.content;
    return true;
}

} // namespace programfolder
