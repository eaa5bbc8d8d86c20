#include "UrgentMessage.h"

#include "Mirror.h"

#include "text/Cp932.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentRun>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcUrgent, "lumaret.group.urgent")

namespace group {

namespace {

const QString FileName = QStringLiteral("urgent.txt");

// The first folder's urgent text and its path; ("", "") when none has one.
std::pair<QString, QString> readUrgent(const QStringList& folders)
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
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_size <= UrgentWatch::MaxBytes) {
            bytes.resize(qsizetype(info.st_size));
            const ssize_t n = ::read(fd, bytes.data(), size_t(bytes.size()));
            bytes.resize(n > 0 ? qsizetype(n) : 0);
        }
        ::close(fd);
        const QString text = UrgentWatch::textOf(bytes);
        if (!text.isEmpty())
            return {text, path};
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
    m_watcher = new QFutureWatcher<std::pair<QString, QString>>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, [this] {
        const auto [text, path] = m_watcher->result();
        m_watcher->deleteLater();
        m_watcher = nullptr;
        looked(text, path);
    });
    m_watcher->setFuture(QtConcurrent::run(shareWorkers(), readUrgent, m_folders));
}

void UrgentWatch::looked(const QString& text, const QString& path)
{
    if (text == m_message)
        return;
    if (text.isEmpty())
        qCInfo(lcUrgent) << "the urgent message ended";
    else
        qCInfo(lcUrgent).noquote() << "urgent message from" << path << ":" << text;
    m_message = text;
    emit messageChanged(text);
}

} // namespace group
