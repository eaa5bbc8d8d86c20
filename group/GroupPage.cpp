#include "GroupPage.h"

#include "StatusReport.h"

#include "profile/RootedFolder.h"
#include "text/Printable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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

QString ageText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1秒前").arg(std::max<qint64>(0, seconds));
    if (seconds < 3600)
        return QStringLiteral("%1分前").arg(seconds / 60);
    if (seconds < 86400)
        return QStringLiteral("%1時間前").arg(seconds / 3600);
    return QStringLiteral("%1日前").arg(seconds / 86400);
}

// How old the report is, for the table: "45 s", "3 min", "2 h".
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
    if (!json.value(QLatin1String("lastError")).toString().isEmpty())
        return QStringLiteral("error");
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
        report.shotTime = report.hasShot ? shot.lastModified() : QDateTime();
        reports << report;
    }
    return reports;
}

QString stateLabel(const QString& state)
{
    static const QHash<QString, QString> labels{
        {QStringLiteral("stopped"), QStringLiteral("停止")},
        {QStringLiteral("stale"), QStringLiteral("応答なし")},
        {QStringLiteral("no master"), QStringLiteral("親機に届かない")},
        {QStringLiteral("ok"), QStringLiteral("正常")},
    };
    return labels.value(state, QStringLiteral("要確認"));
}

QList<Report> recentReports(const QList<Report>& reports, const QDateTime& now, int* leftOut)
{
    QList<Report> recent;
    for (const Report& report : reports)
        if (!report.updated.isValid() || report.updated.secsTo(now) <= ForgottenAfterSeconds)
            recent << report;
    if (leftOut)
        *leftOut = int(reports.size() - recent.size());
    return recent;
}

QByteArray groupPage(const QList<Report>& all, const QDateTime& now, const QString& ownName)
{
    int leftOut = 0;
    QList<Report> reports = recentReports(all, now, &leftOut);
    // What needs a look comes first: unanswered, without master, errors, stopped, then the rest.
    const auto rank = [&](const Report& report) {
        static const QStringList order{QStringLiteral("stale"),  QStringLiteral("no master"),
                                       QStringLiteral("broken"), QStringLiteral("name shared"),
                                       QStringLiteral("error"),  QStringLiteral("stopped")};
        const qsizetype at = order.indexOf(report.state(now));
        return at < 0 ? order.size() : at;
    };
    std::stable_sort(reports.begin(), reports.end(),
                     [&](const Report& a, const Report& b) { return rank(a) < rank(b); });
    const bool hasSubordinates = std::any_of(reports.begin(), reports.end(), [](const Report& r) {
        return text(r, "role") == QLatin1String("subordinate");
    });
    QString cells;
    for (const Report& report : reports) {
        const QString state = report.state(now);
        QString cell =
            QStringLiteral("<figure class=\"pc %1\">").arg(QString(state).replace(u' ', u'-'));
        if (report.hasShot)
            cell += QStringLiteral("<img src=\"%1?%2\" alt=\"\">")
                        .arg(QString::fromLatin1(QUrl::toPercentEncoding(report.name + ".jpg")))
                        .arg(report.shotTime.toSecsSinceEpoch());
        else
            cell += QStringLiteral("<div class=\"noshot\"></div>");
        // The picture's own time, so what it shows is not taken for the report's moment.
        if (report.hasShot)
            cell += QStringLiteral("<div class=\"shot\">画面 %1（%2）</div>")
                        .arg(report.shotTime.toString(QStringLiteral("M/d HH:mm")),
                             ageText(report.shotTime.secsTo(now)));
        const bool master = hasSubordinates && report.name == ownName &&
                            text(report, "role") != QLatin1String("subordinate");
        cell += QStringLiteral("<figcaption><b>%1</b>%2 <span class=\"state\">%3</span>")
                    .arg(report.name.toHtmlEscaped(),
                         master ? QStringLiteral(" <span class=\"master\">親機</span>") : QString(),
                         stateLabel(state));
        if (!report.broken.isEmpty()) {
            cell += QStringLiteral("<br>報告を読めません: %1").arg(report.broken.toHtmlEscaped());
        } else {
            const QString error = text(report, "lastError");
            const QString shared = text(report, "nameSharedWith");
            QStringList lines{
                QStringLiteral("報告 %1").arg(ageText(report.updated.secsTo(now))),
                (text(report, "mode") == QLatin1String("slides") ? QStringLiteral("スライド: ")
                                                                 : QStringLiteral("動画: ")) +
                    showing(report),
            };
            if (text(report, "role") == QLatin1String("subordinate"))
                lines << QStringLiteral("親機 ") + text(report, "masterFolder") +
                             (report.json.value(QLatin1String("masterReachable")).toBool(true)
                                  ? QString()
                                  : QStringLiteral("（届かない）"));
            if (!error.isEmpty())
                lines << QStringLiteral("エラー: ") + error;
            if (!shared.isEmpty())
                lines << QStringLiteral("別の PC（%1）も同じ名前で報告しています").arg(shared);
            lines << QStringLiteral("バージョン ") + text(report, "version");
            for (const QString& line : lines)
                cell += QStringLiteral("<br>") + platform::printable(line).toHtmlEscaped();
        }
        cells += cell + QStringLiteral("</figcaption></figure>\n");
    }
    const QString forgotten =
        leftOut > 0
            ? QStringLiteral("<p>7日以上報告のない %1 台は表示していません。</p>\n").arg(leftOut)
            : QString();
    const QString page =
        QStringLiteral(
            "<!doctype html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "img-src 'self' file:; style-src 'unsafe-inline'\">\n"
            "<meta http-equiv=\"refresh\" content=\"60\">\n<title>Lumaret グループ</title>\n"
            "<style>body{font-family:sans-serif;background:#222;color:#eee;margin:1em}"
            ".pc{display:inline-block;vertical-align:top;width:480px;margin:0 1em 1em 0;"
            "border-left:6px solid #888;padding-left:6px}"
            ".pc img,.noshot{width:480px;height:270px;object-fit:contain;background:#000}"
            ".shot{font-size:80%;color:#aaa}.state{padding:0 .4em;border-radius:3px;color:#000}"
            ".master{background:#48f;color:#fff;padding:0 .4em;border-radius:3px}"
            ".ok{border-color:#4c4}.ok .state{background:#4c4}"
            ".stopped{border-color:#888}.stopped .state{background:#aaa}.stopped img{opacity:.4}"
            ".stale{border-color:#e33}.stale .state{background:#e33;color:#fff}.stale "
            "img{opacity:.4}"
            ".no-master{border-color:#f90}.no-master .state{background:#f90}"
            ".error,.broken,.name-shared{border-color:#ec0}"
            ".error .state,.broken .state,.name-shared .state{background:#ec0}</style></head>\n"
            "<body>\n<h1>Lumaret グループ</h1>\n<p>%1 現在（毎分更新）・%2 台</p>\n%3%4"
            "</body></html>\n")
            .arg(now.toString(QStringLiteral("yyyy/M/d HH:mm:ss")))
            .arg(reports.size())
            .arg(forgotten, cells);
    return page.toUtf8();
}

bool writeGroupPage(const QString& statusFolder, const QDateTime& now, const QString& ownName)
{
    return writeStatusFile(statusFolder, QStringLiteral("index.html"),
                           groupPage(readReports(statusFolder), now, ownName), false);
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
