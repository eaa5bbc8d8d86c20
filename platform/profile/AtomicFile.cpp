#include "profile/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcFile, "lumaret.file")

namespace platform {

bool replaceFileContents(const QString& path, const QByteArray& bytes)
{
    const QFileInfo existing(path);
    // Read-only means the owner's write permission is off, whoever runs the program.
    const bool readOnly = !existing.isWritable() || !(existing.permissions() & QFile::WriteOwner);
    if (existing.exists() && (!existing.isFile() || readOnly)) {
        qCWarning(lcFile).noquote()
            << "cannot write" << path << ": the file is read-only or not a file";
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcFile).noquote() << "cannot write" << path << ":" << file.errorString();
        return false;
    }
    if (existing.exists())
        file.setPermissions(existing.permissions());
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcFile).noquote() << "cannot write" << path << ":" << file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool copyFileAtomically(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        qCWarning(lcFile).noquote() << "cannot read" << from << ":" << source.errorString();
        return false;
    }
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        qCWarning(lcFile).noquote() << "cannot read" << from << ":" << source.errorString();
        return false;
    }
    return replaceFileContents(to, bytes);
}

} // namespace platform
