#include "profile/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

Q_LOGGING_CATEGORY(lcFile, "lumaret.file")

namespace platform {

namespace {

// A staged file is hidden beside its file, under a name nobody picks by hand: "." + the
// file's name + this suffix, whose six letters or digits mkstemp fills in. Only such names
// are ever swept up, so a user's own "lumaret.ini.backup" stays.
constexpr char StagingSuffix[] = ".lumaret-staged-";

QString stagedName(const QString& fileName)
{
    return u'.' + fileName + QLatin1String(StagingSuffix);
}

// The file a write of `path` changes: the target of a symbolic link (which stays a link), the
// path itself otherwise.
QString writtenFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.symLinkTarget() : resolved; // a dangling link: its target
}

// Gives the staged file the extended attributes of the file it replaces (labels, tags). An
// attribute the file system or the user's rights do not allow is left out.
void copyExtendedAttributes(const QByteArray& from, int to)
{
    const ssize_t size = ::listxattr(from.constData(), nullptr, 0);
    if (size <= 0)
        return;
    QByteArray names(size, '\0');
    const ssize_t got = ::listxattr(from.constData(), names.data(), size_t(size));
    for (const QByteArray& name : names.left(std::max<ssize_t>(got, 0)).split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t length = ::getxattr(from.constData(), name.constData(), nullptr, 0);
        if (length < 0)
            continue;
        QByteArray value(length, '\0');
        if (::getxattr(from.constData(), name.constData(), value.data(), size_t(length)) ==
                length &&
            ::fsetxattr(to, name.constData(), value.constData(), size_t(length), 0) != 0)
            qCDebug(lcFile).noquote() << "cannot keep the attribute" << name << "of" << from;
    }
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes all bytes, going on after short writes and interrupted calls. errno on failure.
bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

// The mode a new file gets in its folder: read and write for all, less the umask.
mode_t defaultFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Makes the rename itself durable; a folder that can not be synced (some file systems) is
// no failure of the write.
void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

StagedFile::StagedFile(const QString& path) : m_path(path) {}

StagedFile::~StagedFile()
{
    discard();
}

bool StagedFile::write(const QByteArray& bytes)
{
    m_target = writtenFile(m_path);
    const QFileInfo existing(m_target);
    // Read-only means the owner's write permission is off, whoever runs the program.
    if (existing.exists() && (!existing.isFile() || !existing.isWritable() ||
                              !(existing.permissions() & QFile::WriteOwner))) {
        return fail(QStringLiteral("the file is read-only or not a file"));
    }
    const QByteArray target = QFile::encodeName(m_target);
    QByteArray temporary = QFile::encodeName(
        QFileInfo(m_target).dir().filePath(stagedName(QFileInfo(m_target).fileName())) +
        QStringLiteral("XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EPERM)) {
        m_folderRefused = true;
        return false;
    }
    if (fd < 0)
        return fail(systemError(errno));
    m_temporary = temporary;
    struct stat info
    {
    };
    const bool replacing = ::stat(target.constData(), &info) == 0;
    const mode_t mode = replacing ? (info.st_mode & 07777) : defaultFileMode();
    // The new file is the old one's in all but content: owner, group, mode, attributes. An
    // owner this user can not give it is no reason to refuse the write; the caller hears it.
    if (replacing && (info.st_uid != ::geteuid() || info.st_gid != ::getegid()) &&
        ::fchown(fd, info.st_uid, info.st_gid) != 0) {
        m_ownerLost = true;
    }
    if (replacing)
        copyExtendedAttributes(target, fd);
    // Each step is checked: a full disk may show only at the flush or the sync.
    const bool ok = ::fchmod(fd, mode) == 0 &&
                    writeAll(fd, bytes.constData(), size_t(bytes.size())) && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 && ok)
        return fail(systemError(errno));
    if (!ok)
        return fail(systemError(error));
    return true;
}

bool StagedFile::commit()
{
    if (m_temporary.isEmpty())
        return false;
    const QByteArray target = QFile::encodeName(m_target);
    if (::rename(m_temporary.constData(), target.constData()) != 0)
        return fail(systemError(errno));
    m_temporary.clear();
    syncFolder(QFile::encodeName(QFileInfo(m_target).absolutePath()));
    return true;
}

void StagedFile::discard()
{
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
}

bool StagedFile::fail(const QString& why)
{
    qCWarning(lcFile).noquote() << "cannot write" << m_path << ":" << why;
    discard();
    return false;
}

namespace {

constexpr const char* NoTemporary = "its folder takes no temporary file";
constexpr const char* AnotherOwner = "it belongs to another user, who keeps it";

// Writes the new content over the old one in the same file, then cuts off what is left;
// `why` says in the log why a new file could not take its place.
bool rewriteInPlace(const QString& path, const QByteArray& bytes, const char* why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        qCWarning(lcFile).noquote()
            << "cannot write" << path
            << ": its folder takes no new files, and the file itself:" << systemError(errno);
        return false;
    }
    const bool ok = writeAll(fd, bytes.constData(), size_t(bytes.size())) &&
                    ::ftruncate(fd, off_t(bytes.size())) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed) {
        qCWarning(lcFile).noquote()
            << "cannot rewrite" << path << "in place:" << systemError(ok ? errno : error);
        return false;
    }
    qCInfo(lcFile).noquote() << "rewrote" << path << "in place:" << why;
    return true;
}

} // namespace

bool replaceFileContents(const QString& path, const QByteArray& bytes)
{
    StagedFile file(path);
    if (file.write(bytes) && !file.ownerLost())
        return file.commit();
    if (file.ownerLost()) {
        // Another user's file that this one may write: written in place, it stays theirs.
        file.discard();
        return rewriteInPlace(writtenFile(path), bytes, AnotherOwner);
    }
    if (!file.folderRefused())
        return false;
    return rewriteInPlace(writtenFile(path), bytes, NoTemporary);
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

bool replaceFilesTogether(const QList<std::pair<QString, QByteArray>>& files)
{
    std::vector<std::unique_ptr<StagedFile>> staged;
    QList<std::optional<QByteArray>> before; // what each file held, nullopt when missing
    for (const auto& [path, bytes] : files) {
        QFile old(path);
        before.append(old.open(QIODevice::ReadOnly) ? std::optional(old.readAll()) : std::nullopt);
        staged.push_back(std::make_unique<StagedFile>(path));
        if (!staged.back()->write(bytes)) {
            if (staged.back()->folderRefused())
                qCWarning(lcFile).noquote()
                    << "cannot write" << path << ": its folder takes no new files";
            return false;
        }
    }
    // Another user's file that this one may write is rewritten in place, as a single file
    // is, so it stays theirs; it goes last, when the renames have all worked.
    QList<size_t> inPlace;
    for (size_t i = 0; i < staged.size(); ++i)
        if (staged[i]->ownerLost()) {
            staged[i]->discard();
            inPlace.append(i);
        }
    const auto putBack = [&](size_t done) {
        for (size_t j = 0; j < done; ++j) {
            if (inPlace.contains(j))
                continue;
            const QString& path = files[qsizetype(j)].first;
            const auto& old = before[qsizetype(j)];
            if (old ? !replaceFileContents(path, *old) : !QFile::remove(path))
                qCWarning(lcFile).noquote() << "cannot put back the old content of" << path;
        }
    };
    for (size_t i = 0; i < staged.size(); ++i) {
        if (inPlace.contains(i) || staged[i]->commit())
            continue;
        putBack(i);
        return false;
    }
    for (const size_t i : inPlace) {
        const auto& [path, bytes] = files[qsizetype(i)];
        if (!rewriteInPlace(writtenFile(path), bytes, AnotherOwner)) {
            putBack(staged.size());
            return false;
        }
    }
    return true;
}

void removeLeftoverTemporaries(const QString& path)
{
    const QFileInfo file(writtenFile(path));
    const QString staged = stagedName(file.fileName());
    const QRegularExpression temporary(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(staged) + QStringLiteral("[A-Za-z0-9]{6}")));
    const QDir folder = file.absoluteDir();
    for (const QString& name :
         folder.entryList({staged + u'*'}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (!temporary.match(name).hasMatch())
            continue;
        if (QFile::remove(folder.filePath(name)))
            qCInfo(lcFile).noquote()
                << "removed" << folder.filePath(name) << "left by a writer that did not finish";
    }
}

} // namespace platform
