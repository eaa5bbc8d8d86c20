#include "RootedFolder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void say(QString* why, const QString& text)
{
    if (why)
        *why = text;
}

// Where an open descriptor really is.
QString realPathOf(int fd)
{
    char real[PATH_MAX];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(link.constData(), real, sizeof real - 1);
    return length > 0 ? QFile::decodeName(QByteArray(real, qsizetype(length))) : QString();
}

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size_t(size));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= done;
    }
    return true;
}

} // namespace

RootedFolder::RootedFolder(const QString& path) : m_path(path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        if (errno != ENOENT)
            m_error = QStringLiteral("cannot open the folder %1: %2").arg(path, systemError(errno));
        return;
    }
    m_real = realPathOf(m_fd);
}

RootedFolder::~RootedFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RootedFolder::isInsideName(const QString& relative)
{
    if (relative.isEmpty() || relative.startsWith(u'/') || relative.contains(QChar(0)))
        return false;
    const QStringList parts = relative.split(u'/');
    return std::none_of(parts.begin(), parts.end(), [](const QString& part) {
        return part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..");
    });
}

bool RootedFolder::isPlainName(const QString& name)
{
    return isInsideName(name) && !name.contains(u'/') && !name.contains(u'\\');
}

bool RootedFolder::isInside(const QString& real, const QString& root)
{
    if (root.isEmpty() || real.isEmpty())
        return false;
    const QString folder = root.endsWith(u'/') ? root : root + u'/';
    return real.startsWith(folder);
}

RootedFolder::Opened RootedFolder::openFile(const QString& relative) const
{
    Opened opened;
    const auto fail = [&](Opened::Outcome outcome, const QString& why) {
        opened.outcome = outcome;
        opened.why = why;
        return opened;
    };
    if (!isOpen())
        return fail(m_error.isEmpty() ? Opened::Missing : Opened::Unanswered, m_error);
    if (!isInsideName(relative))
        return fail(Opened::Refused, relative + QStringLiteral(" leads out of ") + m_path);
    // Opened without blocking, so a FIFO or a device is refused instead of waited for.
    Descriptor fd(::openat(m_fd, QFile::encodeName(relative).constData(),
                           O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return fail(Opened::Missing, {});
        return fail(Opened::Unanswered,
                    QStringLiteral("cannot open %1: %2").arg(relative, systemError(error)));
    }
    if (::fstat(fd.get(), &opened.info) != 0)
        return fail(Opened::Unanswered,
                    QStringLiteral("cannot examine %1: %2").arg(relative, systemError(errno)));
    // The opened file itself is checked, so a link swapped in on the way is caught too.
    if (!isInside(realPathOf(fd.get()), m_real))
        return fail(Opened::Refused, relative + QStringLiteral(" leads out of ") + m_path);
    if (!S_ISREG(opened.info.st_mode))
        return fail(Opened::Refused, relative + QStringLiteral(" is not a regular file"));
    opened.outcome = Opened::Ok;
    opened.fd = fd.release();
    return opened;
}

RootedFolder::Read RootedFolder::read(const QString& relative, qint64 maxBytes) const
{
    Read result;
    const Opened opened = openFile(relative);
    const Descriptor fd(opened.fd);
    result.outcome = opened.outcome;
    result.error = opened.why;
    if (opened.outcome != Opened::Ok)
        return result;
    const struct stat& info = opened.info;
    result.size = info.st_size;
    result.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec);
    if (info.st_size > maxBytes) {
        result.outcome = Opened::Refused;
        result.error = QStringLiteral("%1 holds %2 bytes, more than %3")
                           .arg(relative)
                           .arg(qint64(info.st_size))
                           .arg(maxBytes);
        return result;
    }
    // At most the size examined: a file that grows meanwhile is read to that size.
    result.bytes.resize(qsizetype(info.st_size));
    qsizetype total = 0;
    while (total < result.bytes.size()) {
        const ssize_t got =
            ::read(fd.get(), result.bytes.data() + total, size_t(result.bytes.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.outcome = Opened::Unanswered;
            result.error = QStringLiteral("cannot read %1: %2").arg(relative, systemError(errno));
            result.bytes.clear();
            return result;
        }
        if (got == 0)
            break;
        total += got;
    }
    result.bytes.truncate(total);
    return result;
}

int RootedFolder::openParent(const QString& relative, bool makeFolders, QString* why) const
{
    if (!isOpen() || !isInsideName(relative)) {
        say(why, isOpen() ? relative + QStringLiteral(" leads out of ") + m_path : m_error);
        return -1;
    }
    QStringList parts = relative.split(u'/');
    parts.removeLast();
    Descriptor folder(::dup(m_fd));
    for (const QString& part : parts) {
        const QByteArray name = QFile::encodeName(part);
        int next = ::openat(folder.get(), name.constData(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && makeFolders &&
            (::mkdirat(folder.get(), name.constData(), 0755) == 0 || errno == EEXIST))
            next = ::openat(folder.get(), name.constData(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const int error = errno;
            say(why, error == ELOOP || error == ENOTDIR
                         ? QStringLiteral("%1 in %2 is not a folder (a link is not followed)")
                               .arg(part, m_path)
                         : QStringLiteral("cannot open %1 in %2: %3")
                               .arg(part, m_path, systemError(error)));
            return -1;
        }
        folder.reset(next);
    }
    return folder.release();
}

template <typename Fill>
bool RootedFolder::stage(const QString& relative, bool makeFolders, mode_t mode, QString* why,
                         Fill fill) const
{
    Descriptor folder(openParent(relative, makeFolders, why));
    if (folder.get() < 0)
        return false;
    const QByteArray name = QFile::encodeName(relative.section(u'/', -1));
    QByteArray staged;
    Descriptor fd;
    for (int attempt = 0; attempt < 8 && fd.get() < 0; ++attempt) {
        staged = '.' + name + ".lumaret-" +
                 QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd.reset(::openat(folder.get(), staged.constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (fd.get() < 0 && errno != EEXIST)
            break;
    }
    if (fd.get() < 0) {
        say(why, QStringLiteral("cannot write into %1: %2").arg(m_path, systemError(errno)));
        return false;
    }
    QString failure;
    const bool written =
        fill(fd.get(), failure) && ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
    if (!written ||
        ::renameat(folder.get(), staged.constData(), folder.get(), name.constData()) != 0) {
        const int error = errno;
        ::unlinkat(folder.get(), staged.constData(), 0);
        say(why, QStringLiteral("cannot write %1 in %2: %3")
                     .arg(relative, m_path, failure.isEmpty() ? systemError(error) : failure));
        return false;
    }
    return true;
}

bool RootedFolder::write(const QString& relative, const QByteArray& bytes, QString* why,
                         bool makeFolders, mode_t mode) const
{
    return stage(relative, makeFolders, mode, why,
                 [&](int fd, QString&) { return writeAll(fd, bytes.constData(), bytes.size()); });
}

bool RootedFolder::copyFrom(int source, const struct stat& sourceInfo, const QString& relative,
                            QString* why) const
{
    const mode_t mode = sourceInfo.st_mode & 0777;
    return stage(relative, true, mode, why, [&](int fd, QString& failure) {
        char buffer[1 << 16];
        qint64 left = sourceInfo.st_size;
        while (left > 0) {
            const ssize_t got =
                ::read(source, buffer, size_t(std::min<qint64>(left, sizeof buffer)));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                failure = QStringLiteral("it can not be read whole");
                return false;
            }
            if (!writeAll(fd, buffer, got))
                return false;
            left -= got;
        }
        // The permission bits as the source has them, never wider (the umask narrowed them).
        const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
        return ::fchmod(fd, mode) == 0 && ::futimens(fd, times) == 0;
    });
}

bool RootedFolder::remove(const QString& relative) const
{
    Descriptor folder(openParent(relative, false, nullptr));
    if (folder.get() < 0)
        return false;
    const QByteArray name = QFile::encodeName(relative.section(u'/', -1));
    return ::unlinkat(folder.get(), name.constData(), 0) == 0 || errno == ENOENT;
}

bool RootedFolder::removeEmptyFolder(const QString& relative) const
{
    Descriptor folder(openParent(relative, false, nullptr));
    if (folder.get() < 0)
        return false;
    const QByteArray name = QFile::encodeName(relative.section(u'/', -1));
    return ::unlinkat(folder.get(), name.constData(), AT_REMOVEDIR) == 0;
}

} // namespace platform
