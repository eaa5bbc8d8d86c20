#include "GroupPage.h"

#include "StatusReport.h"

#include "profile/RootedFolder.h"
#include "text/Printable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QUrl>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace group {

namespace {

// The file's bytes, if it is a regular file of at most MaxReportBytes; never follows a link
// and never blocks on a FIFO.
std::optional<QByteArray> readSmallRegularFile(const QString& path, QString& why)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat info
    {
    };
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        why = QStringLiteral("not a regular file");
        return std::nullopt;
    }
    if (info.st_size > MaxReportBytes) {
        ::close(fd);
        why = QStringLiteral("too large");
        return std::nullopt;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        why = QStringLiteral("can not be read");
        return std::nullopt;
    }
    return file.read(MaxReportBytes + 1);
}

QString text(const Report& report, const char* key)
{
    return report.json.value(QLatin1String(key)).toVariant().toString();
}

QString age(const Report& report, const QDateTime& now)
{
    if (!report.updated.isValid())
        return QStringLiteral("?");
    const qint64 seconds = report.updated.secsTo(now);
    if (seconds < 120)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 2 * 3600)
        return QStringLiteral("%1 min").arg(seconds / 60);
    return QStringLiteral("%1 h").arg(seconds / 3600);
}

QString showing(const Report& report)
{
    const QString picture = text(report, "picture");
    const QString movie = QFileInfo(text(report, "movie")).fileName();
    return picture.isEmpty() ? movie
                             : movie + QStringLiteral(" / ") + QFileInfo(picture).fileName();
}

QString masterState(const Report& report)
{
    if (text(report, "role") != QLatin1String("subordinate"))
        return text(report, "role");
    if (report.json.value(QLatin1String("masterReachable")).toBool(true))
        return QStringLiteral("master reachable");
    return QStringLiteral("master unreachable since ") + text(report, "masterUnreachableSince");
}

} // namespace

bool Report::isStale(const QDateTime& now) const
{
    return !broken.isEmpty() || !updated.isValid() || updated.secsTo(now) > StaleAfterSeconds;
}

QString Report::state(const QDateTime& now) const
{
    if (!broken.isEmpty())
        return QStringLiteral("broken");
    if (json.value(QLatin1String("stopped")).toBool())
        return QStringLiteral("stopped");
    if (isStale(now))
        return QStringLiteral("stale");
    const QDateTime masterGone = QDateTime::fromString(
        json.value(QLatin1String("masterUnreachableSince")).toString(), Qt::ISODate);
    if (json.value(QLatin1String("role")).toString() == QLatin1String("subordinate") &&
        !json.value(QLatin1String("masterReachable")).toBool(true) &&
        (!masterGone.isValid() || masterGone.secsTo(now) > NoMasterAfterSeconds))
        return QStringLiteral("no master");
    if (!json.value(QLatin1String("nameSharedWith")).toString().isEmpty())
        return QStringLiteral("name shared");
    return QStringLiteral("ok");
}

bool Report::isProblem(const QDateTime& now) const
{
    const QString found = state(now);
    return found != QLatin1String("ok") && found != QLatin1String("stopped");
}

QList<Report> readReports(const QString& statusFolder)
{
    QList<Report> reports;
    const QDir folder(statusFolder);
    const QStringList names =
        folder.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::System, QDir::Name);
    for (const QString& file : names) {
        Report report;
        report.name = file.chopped(5);
        if (!isSafeStationName(report.name))
            continue; // a name that could reach elsewhere is not even shown
        const std::optional<QByteArray> bytes =
            readSmallRegularFile(folder.filePath(file), report.broken);
        if (bytes) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
            if (error.error != QJsonParseError::NoError || !document.isObject())
                report.broken = QStringLiteral("not a valid report");
            else
                report.json = document.object();
        }
        report.updated = QDateTime::fromString(text(report, "updated"), Qt::ISODate);
        const QFileInfo shot(folder.filePath(report.name + QStringLiteral(".jpg")));
        report.hasShot = shot.isFile() && !shot.isSymLink();
        reports << report;
    }
    return reports;
}

QByteArray groupPage(const QList<Report>& reports, const QDateTime& now)
{
    QString cells;
    for (const Report& report : reports) {
        const QString name = report.name.toHtmlEscaped();
        const QString state = report.state(now);
        QString cell = QStringLiteral("<figure class=\"pc%1\">")
                           .arg(report.isProblem(now) ? " stale" : "");
        if (report.hasShot)
            cell += QStringLiteral("<img src=\"%1\" alt=\"\">")
                        .arg(QString::fromLatin1(QUrl::toPercentEncoding(report.name + ".jpg")));
        else
            cell += QStringLiteral("<div class=\"noshot\"></div>");
        cell += QStringLiteral("<figcaption><b>%1</b>").arg(name);
        if (!report.broken.isEmpty()) {
            cell += QStringLiteral("<br>broken report: %1").arg(report.broken.toHtmlEscaped());
        } else {
            const QStringList lines{
                age(report, now) + QStringLiteral(" ago, ") + state,
                text(report, "mode") + QStringLiteral(": ") + showing(report),
                masterState(report),
                QStringLiteral("version ") + text(report, "version"),
            };
            for (const QString& line : lines)
                cell += QStringLiteral("<br>") + line.toHtmlEscaped();
        }
        cells += cell + QStringLiteral("</figcaption></figure>\n");
    }
    const QString page =
        QStringLiteral(
            "<!doctype html>\n<html><head><meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "img-src 'self' file:; style-src 'unsafe-inline'\">\n"
            "<meta http-equiv=\"refresh\" content=\"60\">\n<title>Lumaret group</title>\n"
            "<style>body{font-family:sans-serif;background:#222;color:#eee;margin:1em}"
            ".pc{display:inline-block;vertical-align:top;width:480px;margin:0 1em 1em 0}"
            ".pc img,.noshot{width:480px;height:270px;object-fit:contain;background:#000}"
            ".stale{color:#f88}.stale img{opacity:.4}</style></head>\n<body>\n"
            "<h1>Lumaret group</h1>\n<p>%1, %2 PCs</p>\n%3</body></html>\n")
            .arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
            .arg(reports.size())
            .arg(cells);
    return page.toUtf8();
}

bool writeGroupPage(const QString& statusFolder, const QDateTime& now)
{
    return writeStatusFile(statusFolder, QStringLiteral("index.html"),
                           groupPage(readReports(statusFolder), now), false);
}

bool writeStatusFile(const QString& statusFolder, const QString& fileName, const QByteArray& bytes,
                     bool makeFolder, QString* why)
{
    const QFileInfo folder(statusFolder);
    return platform::RootedFolder(folder.path())
        .write(folder.fileName() + u'/' + fileName, bytes, why, makeFolder);
}

QString groupTable(const QList<Report>& reports, const QDateTime& now)
{
    QString table = QStringLiteral("NAME\tSTATE\tAGE\tMODE\tSHOWING\tMASTER\tVERSION\n");
    for (const Report& report : reports) {
        // Control, bidirectional and separator characters in a report would let it forge or
        // reorder lines of the table.
        const auto clean = [](const QString& field) { return platform::printable(field); };
        const QString state = report.state(now);
        table += QStringList{clean(report.name),
                             state,
                             report.broken.isEmpty() ? age(report, now) : report.broken,
                             clean(text(report, "mode")),
                             clean(showing(report)),
                             clean(masterState(report)),
                             clean(text(report, "version"))}
                     .join(u'\t') +
                 u'\n';
    }
    return table;
}

} // namespace group
