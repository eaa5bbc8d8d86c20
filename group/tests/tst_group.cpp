// The group's reports and page: what other PCs write is untrusted, every text is escaped, a
// report goes into the program folder and, only where the shop made the folder, the master's;
// the page shows in a real browser. And the urgent message's text.

#include "GroupPage.h"
#include "Mirror.h"
#include "Schedule.h"
#include "StatusReport.h"
#include "UrgentMessage.h"
#include "text/Cp932.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(9, 0), Qt::OffsetFromUTC, 9 * 3600);

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray report(const QString& name, int secondsOld, const QString& telop = {})
{
    group::Status status;
    status.name = name;
    status.version = QStringLiteral("1.2.0");
    status.mode = QStringLiteral("slides");
    status.movie = QStringLiteral("/p/img/フェード.swf");
    status.picture = QStringLiteral("/p/img/sample1.jpg");
    status.telop = telop;
    status.role = QStringLiteral("subordinate");
    status.masterFolder = QStringLiteral("/mnt/master");
    return QJsonDocument(status.toJson(Now.addSecs(-secondsOld))).toJson();
}

} // namespace

class TestGroupPage : public QObject
{
    Q_OBJECT

private slots:
    // Each kind of report in the status folder, as the page and the table see it.
    void reportsFromOtherPcsAreUntrusted_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("state"); // "ok", "stale", "broken: ...", or "" for not shown
        QTest::newRow("fresh") << "fresh"
                               << "ok";
        QTest::newRow("four minutes old") << "old"
                                          << "stale";
        QTest::newRow("not JSON") << "garbage"
                                  << "broken: not a valid report";
        QTest::newRow("larger than a report may be") << "huge"
                                                     << "broken: too large";
        QTest::newRow("a link to a secret") << "link"
                                            << "broken: not a regular file";
        QTest::newRow("a FIFO") << "fifo"
                                << "broken: not a regular file";
        QTest::newRow("a hidden name") << "hidden"
                                       << "";
        QTest::newRow("a control character in the name") << "control"
                                                         << "";
        QTest::newRow("stopped by its exit command") << "stopped"
                                                     << "stopped";
        QTest::newRow("without its master for two minutes") << "no master"
                                                            << "no master";
        QTest::newRow("without its master for a moment") << "master away"
                                                         << "ok";
        QTest::newRow("two machines under one name") << "shared"
                                                     << "name shared";
    }
    void reportsFromOtherPcsAreUntrusted()
    {
        QFETCH(QString, kind);
        QFETCH(QString, state);
        QTemporaryDir folder;
        const QString name = kind == QLatin1String("hidden")    ? QStringLiteral(".pc")
                             : kind == QLatin1String("control") ? QStringLiteral("pc\x1b[2J")
                                                                : QStringLiteral("pc");
        const QString path = folder.filePath(name + QStringLiteral(".json"));
        if (kind == QLatin1String("old"))
            writeFile(path, report(name, 240));
        else if (kind == QLatin1String("garbage"))
            writeFile(path, "{\"name\": ");
        else if (kind == QLatin1String("huge"))
            writeFile(path, report(name, 0) + QByteArray(group::MaxReportBytes, ' '));
        else if (kind == QLatin1String("link"))
            QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), path));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        else
            writeFile(path, report(name, 10));
        const auto amend = [&](const char* key, const QJsonValue& value, int secondsOld) {
            QJsonObject json = QJsonDocument::fromJson(report(name, secondsOld)).object();
            json.insert(QLatin1String(key), value);
            if (kind.contains(QLatin1String("master"))) {
                json.insert(QStringLiteral("masterReachable"), false);
                json.insert(QStringLiteral("masterUnreachableSince"),
                            Now.addSecs(kind == QLatin1String("no master") ? -120 : -30)
                                .toString(Qt::ISODate));
            }
            writeFile(path, QJsonDocument(json).toJson());
        };
        if (kind == QLatin1String("stopped"))
            amend("stopped", true, 3600); // long ago, but not stale: it was ended
        else if (kind.contains(QLatin1String("master")))
            amend("role", QStringLiteral("subordinate"), 10);
        else if (kind == QLatin1String("shared"))
            amend("nameSharedWith", QStringLiteral("0123abcd"), 10);

        const QList<group::Report> reports = group::readReports(folder.path());
        if (state.isEmpty()) {
            QVERIFY(reports.isEmpty());
            return;
        }
        QCOMPARE(reports.size(), 1);
        const QString table = group::groupTable(reports, Now);
        const QString shown = table.split(u'\n').at(1).section(u'\t', 1, 2);
        QVERIFY2(state.startsWith(shown.section(u'\t', 0, 0)), qPrintable(table));
        if (state.startsWith(QLatin1String("broken: ")))
            QCOMPARE(shown.section(u'\t', 1), state.mid(8));
        QCOMPARE(reports[0].isProblem(Now),
                 state != QLatin1String("ok") && state != QLatin1String("stopped"));
    }

    // No text of a report reaches the page unescaped, the page runs no script, and the table
    // has one line per PC whatever the texts hold.
    void textsAreEscaped()
    {
        QTemporaryDir folder;
        const QString hostile = QStringLiteral("<script>alert(1)</script>\n\"'&");
        writeFile(folder.filePath(QStringLiteral("<i>.json")),
                  report(QStringLiteral("x"), 0, hostile));
        QByteArray tampered = report(QStringLiteral("y"), 0);
        tampered.replace("1.2.0", "<img src=x onerror=alert(1)>\\nforged\\tline"
                                  "\\u001b]0;owned\\u0007\\u202e\\u2028");
        writeFile(folder.filePath(QStringLiteral("y.json")), tampered);
        const QList<group::Report> reports = group::readReports(folder.path());
        const QByteArray page = group::groupPage(reports, Now);
        QVERIFY(!page.contains("<script"));
        QVERIFY(!page.contains("<img src=x"));
        QVERIFY(!page.contains("<i>"));
        QVERIFY(page.contains("&lt;i&gt;"));
        QVERIFY(page.contains("Content-Security-Policy"));
        const QString table = group::groupTable(reports, Now);
        QCOMPARE(table.count(u'\n'), 3);
        for (const char16_t c : {u'\x1b', u'\x07', u'\u202e', u'\u2028'})
            QVERIFY(!table.contains(QChar(c)));
    }

    // The page as a shop owner reads it: one state a PC in Japanese, the master marked, how
    // old each report is, and PCs gone for a week left out with a line saying how many.
    void pageAsTheOwnerReadsIt()
    {
        QTemporaryDir folder;
        const auto put = [&](const char* name, int secondsOld, const QJsonObject& more) {
            QJsonObject json =
                QJsonDocument::fromJson(report(QString::fromUtf8(name), secondsOld)).object();
            for (auto it = more.begin(); it != more.end(); ++it)
                json.insert(it.key(), it.value());
            writeFile(folder.filePath(QString::fromUtf8(name) + QStringLiteral(".json")),
                      QJsonDocument(json).toJson());
        };
        put("親1", 10, {{"role", "stand-alone"}});
        put("店2", 180, {});
        put("店3", 3600, {{"stopped", true}});
        put("店4", 600, {});
        put("店5", 10,
            {{"masterReachable", false},
             {"masterUnreachableSince", Now.addSecs(-300).toString(Qt::ISODate)}});
        put("店6", 10, {{"lastError", "no movie to show at /p/ani/x.swf"}});
        put("古い", 8 * 24 * 3600, {});
        const QString page = QString::fromUtf8(
            group::groupPage(group::readReports(folder.path()), Now, QStringLiteral("親1")));
        for (const char* expected :
             {"親1</b> <span class=\"master\">親機</span>", "3分前", "停止", "応答なし",
              "親機に届かない", "要確認", "正常", "7日以上報告のない 1 台", "2026/12/7 09:00:00"})
            QVERIFY2(page.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(!page.contains(QStringLiteral("古い")));
        QCOMPARE(page.count(QStringLiteral("親機</span>")), 1);
    }

    // A report goes into the program folder's status folder at once; into the master's only
    // where the shop made its status folder, never a folder made on the master unasked.
    void reportGoesWhereTheShopOptedIn()
    {
        QTemporaryDir program;
        QTemporaryDir master;
        group::Status status;
        status.name = QStringLiteral("店1");
        status.role = QStringLiteral("subordinate");
        status.masterFolder = master.path();
        status.machine = QStringLiteral("feedf00d");
        group::StatusReporter reporter(program.path(), [&] { return status; });
        const QString own = program.filePath(QStringLiteral("status/店1.json"));
        QTRY_VERIFY(QFile::exists(own));
        reporter.waitForWrites();
        QVERIFY(QFile::exists(program.filePath(QStringLiteral("status/index.html"))));
        QVERIFY(!QFile::exists(master.filePath(QStringLiteral("status"))));

        QVERIFY(QDir(master.path()).mkdir(QStringLiteral("status")));
        status.picture = QStringLiteral("/p/img/b.jpg");
        reporter.changed();
        QTRY_VERIFY(QFile::exists(master.filePath(QStringLiteral("status/店1.json"))));
        const auto onMaster = [&] {
            const QList<group::Report> reports =
                group::readReports(master.filePath(QStringLiteral("status")));
            return reports.size() == 1 ? reports[0].json : QJsonObject();
        };
        QCOMPARE(onMaster().value(QLatin1String("picture")).toString(), status.picture);

        // A cloned PC of the same name reported a moment ago: this one's report says so.
        QJsonObject clone = onMaster();
        clone.insert(QStringLiteral("machine"), QStringLiteral("0123abcd"));
        writeFile(master.filePath(QStringLiteral("status/店1.json")),
                  QJsonDocument(clone).toJson());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("another machine .* writes its"));
        reporter.changed();
        QTRY_COMPARE(onMaster().value(QLatin1String("nameSharedWith")).toString(),
                     QStringLiteral("0123abcd"));
        // The exit command's last report says the player stopped, there and here.
        reporter.stop();
        QVERIFY(onMaster().value(QLatin1String("stopped")).toBool());
        QCOMPARE(group::readReports(program.filePath(QStringLiteral("status")))[0].state(Now),
                 QStringLiteral("stopped"));
    }

    // Whoever can write to a status folder may plant links there: the reports, the picture and
    // the page replace a planted link, never write through it, and a status folder that is a
    // link is not written at all.
    void reportsNeverWriteThroughAPlantedLink_data()
    {
        QTest::addColumn<QString>("planted"); // relative to the program or master folder
        QTest::addColumn<bool>("onMaster");
        QTest::newRow("report") << "status/店1.json" << false;
        QTest::newRow("picture") << "status/店1.jpg" << false;
        QTest::newRow("page") << "status/index.html" << false;
        QTest::newRow("status folder") << "status" << false;
        QTest::newRow("report on the master") << "status/店1.json" << true;
        QTest::newRow("status folder on the master") << "status" << true;
    }
    void reportsNeverWriteThroughAPlantedLink()
    {
        QFETCH(QString, planted);
        QFETCH(bool, onMaster);
        QTemporaryDir program;
        QTemporaryDir master;
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath(QStringLiteral("bashrc"));
        writeFile(victim, "# mine\n");
        QDir(onMaster ? master.path() : program.path()).mkdir(QStringLiteral("status"));
        const QString link = QDir(onMaster ? master.path() : program.path()).filePath(planted);
        const bool folder = planted == QLatin1String("status");
        if (folder)
            QVERIFY(QDir(link).removeRecursively());
        QVERIFY(QFile::link(folder ? elsewhere.path() : victim, link));
        group::Status status;
        status.name = QStringLiteral("店1");
        status.telop = QStringLiteral("$(touch ~/PWNED)");
        status.role = QStringLiteral("subordinate");
        status.masterFolder = master.path();
        {
            group::StatusReporter reporter(program.path(), [&] { return status; });
            QTest::qWait(200); // the first report and page, at once
            reporter.saveShot(QImage(64, 48, QImage::Format_RGB32));
            reporter.waitForWrites();
            QTest::qWait(300); // the master's writes run on the share's workers
        }
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"bashrc"});
        QFile kept(victim);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("# mine\n"));
        QCOMPARE(QFileInfo(link).isSymLink(), folder); // a planted file link was replaced
    }

    // The window's picture for the page: 480 pixels wide and small, even of a screen of noise.
    void shotIsSmall()
    {
        QImage noise(1920, 1080, QImage::Format_RGB32);
        quint32 seed = 1;
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, seed = seed * 1664525 + 1013904223);
        const QByteArray jpeg = group::StatusReporter::shotJpeg(noise);
        QVERIFY(jpeg.size() <= group::StatusReporter::MaxShotBytes);
        QCOMPARE(QImage::fromData(jpeg, "JPEG").width(), group::StatusReporter::ShotWidth);
    }

    void urgentTexts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8") << QByteArray("本日休業") << "本日休業";
        QTest::newRow("UTF-8 with a byte order mark") << QByteArray("\xEF\xBB\xBF閉店") << "閉店";
        QTest::newRow("code page 932")
            << platform::toCp932(QStringLiteral("火災のため閉店")) << "火災のため閉店";
        QTest::newRow("line breaks become spaces") << QByteArray("a\r\nb\tc\n") << "a b c";
        QTest::newRow("blank") << QByteArray(" \r\n") << "";
    }
    void urgentTexts()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(group::UrgentWatch::textOf(bytes), text);
    }

    // An urgent file over the limit shows its beginning, cut at a whole character, and the
    // log says so; what it holds reaches the log escaped.
    void urgentFileOverTheLimitShowsItsBeginning()
    {
        QTemporaryDir folder;
        const QString text = QStringLiteral("\x1b]0;x\x07緊急") + QString(6000, u'あ');
        writeFile(folder.filePath(QStringLiteral("urgent.txt")), text.toUtf8());
        QTest::ignoreMessage(
            QtInfoMsg, QRegularExpression("^urgent message from .* \\(cut to its first 16384 "
                                          "bytes\\) : \\\\u\\{001b\\}\\]0;x\\\\u\\{0007\\}緊急あ"));
        group::UrgentWatch watch;
        watch.setFolders({folder.path()});
        QTRY_VERIFY(!watch.message().isEmpty());
        QCOMPARE(watch.message(), text.left(int(watch.message().size())));
        QCOMPARE(watch.message().toUtf8().size(), 12 + (16384 - 12) / 3 * 3); // whole あ only
    }

    // Schedule entries and the one in force; 2026-12-07 is a Monday.
    void scheduleInForce_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("set"); // "" for none
        const QString week = QStringLiteral("Mon-Fri 07:00=平日\nSat,Sun 10:00=週末\n21:00=off\n");
        const QDate monday(2026, 12, 7);
        QTest::newRow("weekday morning") << week << QDateTime(monday, QTime(7, 0)) << "平日";
        QTest::newRow("a minute before") << week << QDateTime(monday, QTime(6, 59)) << "off";
        QTest::newRow("Saturday before ten: Friday's off")
            << week << QDateTime(monday.addDays(5), QTime(9, 0)) << "off";
        QTest::newRow("Sunday") << week << QDateTime(monday.addDays(6), QTime(11, 0)) << "週末";
        QTest::newRow("range across the week's end")
            << QStringLiteral("Fri-Mon 08:00=長い週末\n") << QDateTime(monday, QTime(8, 0))
            << "長い週末";
        QTest::newRow("unreadable entries skipped")
            << QStringLiteral("25:00=x\nFoo 07:00=y\n07:00=\n08:00=ok\n")
            << QDateTime(monday, QTime(9, 0)) << "ok";
        QTest::newRow("empty") << QString() << QDateTime(monday, QTime(9, 0)) << "";
        QTest::newRow("one weekday, before its first entry")
            << QStringLiteral("Mon 07:00=朝\nMon 21:00=off\n") << QDateTime(monday, QTime(6, 0))
            << "off";
        QTest::newRow("entries beyond the limit left out")
            << QStringLiteral("00:00=kept\n").repeated(group::MaxScheduleEntries) +
                   QStringLiteral("00:01=late\n")
            << QDateTime(monday, QTime(9, 0)) << "kept";
    }
    void scheduleInForce()
    {
        QFETCH(QString, section);
        QFETCH(QDateTime, now);
        QFETCH(QString, set);
        const QString file = QStringLiteral("[ENVIRONMENT]\ntxtTelop=a\n[SCHEDULE]\n") + section +
                             QStringLiteral("[OTHER]\n09:00=not this\n");
        const QList<group::ScheduleEntry> entries = group::parseSchedule(file);
        const auto inForce = group::entryInForce(entries, now);
        QCOMPARE(inForce ? inForce->first.set : QString(), set);
        // Nothing changes before the next change the player waits for.
        const QDateTime next = group::nextChange(entries, now);
        QCOMPARE(next.isValid(), !set.isEmpty());
        if (next.isValid()) {
            QVERIFY(next > now);
            QCOMPARE(group::entryInForce(entries, next.addSecs(-1))->second, inForce->second);
            QCOMPARE(group::entryInForce(entries, next)->second, next);
        }
    }

    // A set taken keeps the PC's own schedule section, wherever the set had one or not.
    void scheduleSectionIsKept_data()
    {
        QTest::addColumn<QByteArray>("set");
        QTest::addColumn<QByteArray>("taken");
        const QByteArray own = "[SCHEDULE]\r\n07:00=a\r\n";
        QTest::newRow("set without one")
            << QByteArray("[ENVIRONMENT]\r\nx=1") << QByteArray("[ENVIRONMENT]\r\nx=1\r\n") + own;
        QTest::newRow("set with an old one in the middle")
            << QByteArray("[ENVIRONMENT]\r\nx=1\r\n[schedule]\r\n01:00=old\r\n[Z]\r\ny=2\r\n")
            << QByteArray("[ENVIRONMENT]\r\nx=1\r\n") + own + "[Z]\r\ny=2\r\n";
    }
    void scheduleSectionIsKept()
    {
        QFETCH(QByteArray, set);
        QFETCH(QByteArray, taken);
        const QByteArray current = "[ENVIRONMENT]\r\nx=0\r\n[SCHEDULE]\r\n07:00=a";
        QCOMPARE(group::withSectionBytes(set, "SCHEDULE", group::sectionBytes(current, "SCHEDULE")),
                 taken);
    }

    // The mirror takes regular files inside the master folder, within its cap, copies each
    // only when it changed, and drops what is no longer needed, but only after a pass in which
    // the master answered for every file and still held its settings.
    void mirrorFollowsTheMaster_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("copied");
        QTest::addColumn<QString>("refused"); // "" for none
        QTest::newRow("new file") << "new" << QStringList{"img/a.jpg"} << "";
        QTest::newRow("unchanged file") << "unchanged" << QStringList{} << "";
        QTest::newRow("link out of the master") << "link" << QStringList{} << "leads out";
        QTest::newRow("FIFO") << "fifo" << QStringList{} << "not a regular file";
        QTest::newRow("over the cap") << "big" << QStringList{} << "larger than";
        // A link loop stands for a file the master does not answer for (a share gone away).
        QTest::newRow("not answered for") << "loop" << QStringList{} << "can not be examined";
        QTest::newRow("settings gone") << "no settings" << QStringList{"img/a.jpg"} << "";
        QTest::newRow("folder swapped for a link") << "folder link" << QStringList{} << "leads out";
        QTest::newRow("link into a sibling named like it")
            << "sibling" << QStringList{} << "leads out";
        QTest::newRow("one too large, the next fits")
            << "big first" << QStringList{"img/a.jpg"} << "big.jpg would make";
        QTest::newRow("private picture") << "private" << QStringList{"img/a.jpg"} << "";
    }
    void mirrorFollowsTheMaster()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, copied);
        QFETCH(QString, refused);
        QTemporaryDir master;
        QTemporaryDir mirror;
        QTemporaryDir elsewhere;
        QVERIFY(QDir(master.path()).mkpath(QStringLiteral("img")));
        const QString source = master.filePath(QStringLiteral("img/a.jpg"));
        if (kind == QLatin1String("link")) {
            writeFile(elsewhere.filePath(QStringLiteral("secret")), "secret");
            QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("secret")), source));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0644), 0);
        } else if (kind == QLatin1String("loop")) {
            QVERIFY(QFile::link(source, source));
        } else if (kind == QLatin1String("folder link")) {
            writeFile(elsewhere.filePath(QStringLiteral("a.jpg")), "secret");
            QVERIFY(QDir(master.filePath(QStringLiteral("img"))).removeRecursively());
            QVERIFY(QFile::link(elsewhere.path(), master.filePath(QStringLiteral("img"))));
        } else if (kind == QLatin1String("sibling")) {
            const QString sibling = master.path() + QStringLiteral("-old/a.jpg");
            writeFile(sibling, "secret");
            QVERIFY(QFile::link(sibling, source));
        } else {
            writeFile(source, QByteArray(2000, 'j'));
        }
        if (kind == QLatin1String("big first"))
            writeFile(master.filePath(QStringLiteral("img/big.jpg")), QByteArray(3000, 'b'));
        if (kind == QLatin1String("private"))
            QVERIFY(QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner));
        writeFile(mirror.filePath(QStringLiteral("ani/old.swf")), "no longer needed");
        if (kind == QLatin1String("unchanged"))
            group::syncMirror(master.path(), mirror.path(), {"img/a.jpg"});
        QStringList paths{"img/a.jpg", "img/missing.jpg"};
        if (kind == QLatin1String("no settings"))
            paths << QStringLiteral("lumaret.ini");
        if (kind == QLatin1String("big first"))
            paths.prepend(QStringLiteral("img/big.jpg"));
        const qint64 cap = kind == QLatin1String("big")         ? 1000
                           : kind == QLatin1String("big first") ? 2500
                                                                : group::MaxMirrorBytes;
        const group::MirrorResult result =
            group::syncMirror(master.path(), mirror.path(), paths, cap);
        if (kind == QLatin1String("sibling"))
            QDir(master.path() + QStringLiteral("-old")).removeRecursively();
        QCOMPARE(result.copied, copied);
        QCOMPARE(result.refused.join(u'\n').contains(refused), true);
        QCOMPARE(result.refused.isEmpty(), refused.isEmpty());
        const bool wholePass =
            kind != QLatin1String("loop") && kind != QLatin1String("no settings");
        QCOMPARE(QFile::exists(mirror.filePath(QStringLiteral("ani/old.swf"))), !wholePass);
        QCOMPARE(QFileInfo::exists(mirror.filePath(QStringLiteral("ani"))), !wholePass);
        const QString copy = mirror.filePath(QStringLiteral("img/a.jpg"));
        const bool kept = copied.contains(QLatin1String("img/a.jpg")) || kind == "unchanged";
        QCOMPARE(QFileInfo(copy).size(), kept ? 2000 : 0);
        if (kind == QLatin1String("private"))
            QCOMPARE(QFile::permissions(copy) & 0x0FFF, QFile::permissions(source) & 0x0FFF);
    }

    void mirroredPaths()
    {
        const QByteArray settings = platform::toCp932(
            QStringLiteral("[ENVIRONMENT]\r\noptTarget=1\r\ntxtAnime=フェード.swf\r\n"));
        const QByteArray slides = platform::toCp932(
            QStringLiteral("interface2=3000#3#写真.jpg#sub/b.jpg#../../etc/passwd"));
        QCOMPARE(group::mirroredPaths(settings, slides),
                 QStringList({"img/フェード.swf", "img/写真.jpg", "img/sub/b.jpg",
                              "img/swfpara.txt", "lumaret.ini"}));
    }

    void stationNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "shop-1" << true;
        QTest::newRow("Japanese") << "渋谷店" << true;
        QTest::newRow("slash") << "../master" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("control character") << "a\nb" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("too long") << QString(65, u'a') << false;
    }
    void stationNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(group::isSafeStationName(name), safe);
    }

    // The page in a real browser, without network: two PCs, one with its screenshot.
    void pageShowsInABrowser()
    {
        const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (chromium.isEmpty() || unshare.isEmpty())
            QSKIP("Chromium is not installed (scripts/install-deps --bench installs it)");
        QTemporaryDir folder;
        writeFile(folder.filePath(QStringLiteral("店1.json")), report(QStringLiteral("店1"), 5));
        writeFile(folder.filePath(QStringLiteral("店2.json")), report(QStringLiteral("店2"), 600));
        QImage shot(480, 270, QImage::Format_RGB32);
        shot.fill(Qt::red);
        QVERIFY(shot.save(folder.filePath(QStringLiteral("店1.jpg"))));
        QVERIFY(group::writeGroupPage(folder.path(), Now));
        const QString png = folder.filePath(QStringLiteral("page.png"));
        QProcess browser;
        browser.start(
            unshare,
            {QStringLiteral("-n"), chromium, QStringLiteral("--headless"),
             QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
             QStringLiteral("--window-size=1280,800"), QStringLiteral("--screenshot=") + png,
             QUrl::fromLocalFile(folder.filePath(QStringLiteral("index.html"))).toString()});
        QVERIFY(browser.waitForFinished(60000));
        if (browser.exitCode() != 0 && !QFile::exists(png))
            QSKIP("Chromium can not run here without network");
        const QImage page(png);
        QVERIFY(!page.isNull());
        int red = 0;
        for (int y = 0; y < page.height(); y += 4)
            for (int x = 0; x < page.width(); x += 4)
                red += qRed(page.pixel(x, y)) > 200 && qGreen(page.pixel(x, y)) < 60;
        QVERIFY2(red > 1000, "the screenshot of the PC shows on the page");
    }
};

QTEST_GUILESS_MAIN(TestGroupPage)
#include "tst_group.moc"
