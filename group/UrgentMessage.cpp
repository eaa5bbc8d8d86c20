#include "UrgentMessage.h"

#include "Mirror.h"

#include "text/Cp932.h"
#include "text/Printable.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcUrgent, "lumaret.group.urgent")

namespace group {

namespace {

const QString FileName = QStringLiteral("urgent.txt");

// A UTF-8 text cut at a byte limit may end inside a character: that piece goes, so the text
// still reads as UTF-8 (and not, mistaken, as code page 932).
QByteArray withoutPartialUtf8End(QByteArray bytes)
{
    int continuation = 0;
    while (continuation < 3 && continuation < bytes.size() &&
           (uchar(bytes[bytes.size() - 1 - continuation]) & 0xC0) == 0x80)
        ++continuation;
    if (continuation < bytes.size()) {
        const uchar lead = uchar(bytes[bytes.size() - 1 - continuation]);
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (length > continuation + 1)
            bytes.chop(continuation + 1);
    }
    return bytes;
}

// The first folder's urgent text and its path; ("", "") when none has one. A file over the
// limit gives its beginning, with "cut" set.
UrgentWatch::Found readUrgent(const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(FileName);
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat info
        {
        };
        QByteArray bytes;
        bool cut = false;
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
            cut = info.st_size > UrgentWatch::MaxBytes;
            bytes.resize(qsizetype(std::min<qint64>(info.st_size, UrgentWatch::MaxBytes)));
            const ssize_t n = ::read(fd, bytes.data(), size_t(bytes.size()));
            bytes.resize(n > 0 ? qsizetype(n) : 0);
        }
        ::close(fd);
        if (cut)
            bytes = withoutPartialUtf8End(bytes);
        const QString text = UrgentWatch::textOf(bytes);
        if (!text.isEmpty())
            return {text, path, cut};
    }
    return {};
}

} // namespace

UrgentWatch::UrgentWatch(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &UrgentWatch::look);
    m_timer.start();
    QTimer::singleShot(0, this, &UrgentWatch::look);
}

// A look still hanging on a share is left to end by itself.
UrgentWatch::~UrgentWatch()
{
    if (m_watcher)
        m_watcher->disconnect(this);
}

QString UrgentWatch::textOf(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = platform::fromCp932(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : text)
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
    return text.trimmed();
}

void UrgentWatch::look()
{
    if (m_watcher || m_folders.isEmpty())
        return;
    m_watcher = new QFutureWatcher<Found>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, [this] {
        const Found found = m_watcher->result();
        m_watcher->deleteLater();
        m_watcher = nullptr;
        looked(found);
    });
    m_watcher->setFuture(QtConcurrent::run(shareWorkers(), readUrgent, m_folders));
}

void UrgentWatch::looked(const Found& found)
{
    if (found.text == m_message)
        return;
    if (found.text.isEmpty())
        qCInfo(lcUrgent) << "the urgent message ended";
    else
        qCInfo(lcUrgent).noquote()
            << "urgent message from" << platform::printable(found.path)
            << (found.cut ? QStringLiteral("(cut to its first %1 bytes)").arg(MaxBytes) : QString())
            << ":" << platform::printable(found.text);
    m_message = found.text;
    emit messageChanged(found.text);
}

} // namespace group
