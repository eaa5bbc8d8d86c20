// Proof of play: one line per stretch shown, in the day's file, kept for a month and bounded.

#include "PlayLog.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using group::PlayLog;
using group::Showing;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QDateTime Morning(QDate(2026, 12, 7), QTime(9, 0), Qt::OffsetFromUTC, 9 * 3600);

} // namespace

Q_DECLARE_METATYPE(Showing)

class TestPlayLog : public QObject
{
    Q_OBJECT

private slots:
    void csvLine_data()
    {
        QTest::addColumn<Showing>("showing");
        QTest::addColumn<int>("milliseconds");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("slides, named from the folder they play from")
            << Showing{"slides", "/p/img/フェード.swf", "/p/img/冬のセール.jpg"} << 2500 << ""
            << QByteArray("\"2026-12-07T09:00:00+09:00\",\"2.5\",\"slides\",\"img/フェード.swf\","
                          "\"img/冬のセール.jpg\",\"店1\",\"\"\r\n");
        QTest::newRow("movie without picture")
            << Showing{"movie", "/p/ani/a.swf", {}} << 2500 << ""
            << QByteArray("\"2026-12-07T09:00:00+09:00\",\"2.5\",\"movie\",\"ani/a.swf\",\"\","
                          "\"店1\",\"\"\r\n");
        QTest::newRow("comma, quote, line break quoted")
            << Showing{"slides", "/p/img/a,b.swf", "/p/img/say \"hi\"\n.jpg"} << 2500 << ""
            << QByteArray("\"2026-12-07T09:00:00+09:00\",\"2.5\",\"slides\",\"img/a,b.swf\","
                          "\"img/say \"\"hi\"\"\n.jpg\",\"店1\",\"\"\r\n");
        QTest::newRow("the telop's text, from then on")
            << Showing{"urgent", {}, {}} << -1 << "駐車場は満車です"
            << QByteArray("\"2026-12-07T09:00:00+09:00\",\"\",\"urgent\",\"\",\"\",\"店1\","
                          "\"駐車場は満車です\"\r\n");
    }
    void csvLine()
    {
        QFETCH(Showing, showing);
        QFETCH(int, milliseconds);
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        QCOMPARE(PlayLog::csvLine(Morning, milliseconds, showing, QStringLiteral("店1"), text),
                 line);
    }

    // Each picture shown is a line; a halt ends the stretch and a resume starts another of
    // the same. Lines go to the file of the day their stretch began; a month is kept, and the
    // user's own files in the folder stay.
    void linesPerStretchInTheDaysFile()
    {
        QTemporaryDir folder;
        const QDir log(folder.filePath(QStringLiteral("log")));
        QVERIFY(log.mkpath(QStringLiteral(".")));
        // Beside a month of files: one too old, one of tomorrow (a clock a little ahead) and
        // one from a clock years ahead, which would otherwise stay for good.
        for (const char* name : {"play-2026-11-06.csv", "play-2026-11-07.csv",
                                 "play-2026-12-08.csv", "play-2037-01-01.csv", "play-notes.csv"})
            QVERIFY(QFile(log.filePath(QLatin1String(name))).open(QIODevice::WriteOnly));
        QDateTime now = Morning;
        {
            PlayLog playLog(folder.path());
            playLog.setClock([&] { return now; });
            playLog.setStation(QStringLiteral("店1"));
            playLog.telop(QStringLiteral("telop"), QStringLiteral("営業中"));
            playLog.show({"slides", "/p/img/e.swf", {}}); // its first picture comes at once
            now = now.addMSecs(300);
            playLog.show({"slides", "/p/img/e.swf", "/p/img/a.jpg"});
            now = now.addSecs(3);
            playLog.show({"slides", "/p/img/e.swf", "/p/img/b.jpg"});
            now = now.addSecs(2);
            playLog.halt();
            playLog.telop(QStringLiteral("urgent"), QStringLiteral("満車")); // written once shown
            now = now.addSecs(60);
            playLog.resume();
            now = now.addSecs(1);
            // Given but never drawn (a missing movie): never proved, not even after a halt.
            playLog.given({"movie", "missing.swf", {}});
            now = now.addSecs(8);
            playLog.halt();
            playLog.resume();
            now = now.addSecs(8);
        }
        QCOMPARE(
            readFile(log.filePath(QStringLiteral("play-2026-12-07.csv"))),
            QByteArray(
                "\xEF\xBB\xBFstart,seconds,mode,movie,picture,station,text\r\n"
                "\"2026-12-07T09:00:00+09:00\",\"\",\"telop\",\"\",\"\",\"店1\",\"営業中\"\r\n"
                "\"2026-12-07T09:00:00+09:00\",\"3.0\",\"slides\",\"img/e.swf\","
                "\"img/a.jpg\",\"店1\",\"\"\r\n"
                "\"2026-12-07T09:00:03+09:00\",\"2.0\",\"slides\",\"img/e.swf\","
                "\"img/b.jpg\",\"店1\",\"\"\r\n"
                "\"2026-12-07T09:01:05+09:00\",\"\",\"urgent\",\"\",\"\",\"店1\",\"満車\"\r\n"
                "\"2026-12-07T09:01:05+09:00\",\"1.0\",\"slides\",\"img/e.swf\","
                "\"img/b.jpg\",\"店1\",\"\"\r\n"
                "\"2026-12-07T09:01:14+09:00\",\"\",\"urgent\",\"\",\"\",\"店1\",\"満車\"\r\n"));
        QCOMPARE(log.entryList(QDir::Files),
                 QStringList({"play-2026-11-07.csv", "play-2026-12-07.csv", "play-2026-12-08.csv",
                              "play-notes.csv"}));
    }

    // A day's file stops growing at its limit, with one log line; a link in its place is not
    // written through.
    void filesAreBoundedAndNotFollowed()
    {
        QTemporaryDir folder;
        const QDir log(folder.filePath(QStringLiteral("log")));
        QVERIFY(log.mkpath(QStringLiteral(".")));
        QFile full(log.filePath(QStringLiteral("play-2026-12-07.csv")));
        QVERIFY(full.open(QIODevice::WriteOnly) && full.resize(PlayLog::MaxFileBytes - 10));
        full.close();
        const QString target = folder.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QFile::link(target, log.filePath(QStringLiteral("play-2026-12-08.csv"))));
        QDateTime now = Morning;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("has reached 16 MiB"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot open .*play-2026-12-08"));
        {
            PlayLog playLog(folder.path());
            playLog.setClock([&] { return now; });
            for (int i = 0; i < 3; ++i) {
                playLog.show({"movie", "a.swf", {}});
                now = now.addSecs(1);
            }
            now = now.addDays(1);
            playLog.show({"movie", "a.swf", {}});
            now = now.addSecs(1);
            playLog.show({"movie", "b.swf", {}});
            playLog.waitForWrites();
        }
        QCOMPARE(QFileInfo(full.fileName()).size(), PlayLog::MaxFileBytes - 10);
        QVERIFY(!QFile::exists(target));
    }
};

QTEST_GUILESS_MAIN(TestPlayLog)
#include "tst_playlog.moc"
