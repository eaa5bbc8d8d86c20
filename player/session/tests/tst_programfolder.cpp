// Choosing and making the program folder: the program's own, a user's own, or one asked for.

#include "platform/profile/tests/FileSizeLimit.h"
#include "session/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestProgramFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir root;
    programfolder::Installed beside;  // a program folder with its content, as a build makes it
    programfolder::Installed package; // as the packages install it

    QString path(const QString& relative) const { return root.filePath(relative); }

    // Content, and files that stay where they are installed: the program and the web player.
    void makeInstalled(const QString& program, const QString& content, const QString& admin)
    {
        QVERIFY(QDir().mkpath(path(content + QStringLiteral("/img"))));
        QVERIFY(QDir().mkpath(path(program + QStringLiteral("/ruffle"))));
        QVERIFY(writeFile(path(content + QStringLiteral("/lumaret.ini")), "[ENVIRONMENT]\r\n"));
        QVERIFY(writeFile(path(content + QStringLiteral("/img/sample1.jpg")), "picture"));
        QVERIFY(writeFile(path(program + QStringLiteral("/ruffle/player.html")), "page"));
        QVERIFY(writeFile(path(program + QStringLiteral("/lumaret")), "program"));
        // A group prepared for every user by whoever installed the player.
        QVERIFY(QDir().mkpath(path(admin)));
        QVERIFY(writeFile(path(admin + QStringLiteral("/lan.ini")), "[NETWORK]\r\nlan=1\r\n"));
    }

private slots:
    void initTestCase()
    {
        makeInstalled(QStringLiteral("opt"), QStringLiteral("opt"), QStringLiteral("opt"));
        makeInstalled(QStringLiteral("usr/lib/lumaret"), QStringLiteral("usr/share/lumaret"),
                      QStringLiteral("etc/lumaret"));
        beside = programfolder::findInstalled(path(QStringLiteral("opt")),
                                              QStringLiteral("../../share/lumaret"),
                                              path(QStringLiteral("etc/lumaret")));
        package = programfolder::findInstalled(path(QStringLiteral("usr/lib/lumaret")),
                                               QStringLiteral("../../share/lumaret"),
                                               path(QStringLiteral("etc/lumaret")));
    }

    void findsTheInstalledContent_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("groupFile");
        QTest::addColumn<bool>("isBeside");
        QTest::newRow("beside the program") << "opt"
                                            << "opt"
                                            << "opt/lan.ini" << true;
        QTest::newRow("installed by the packages") << "usr/lib/lumaret"
                                                   << "usr/share/lumaret"
                                                   << "etc/lumaret/lan.ini" << false;
        QTest::newRow("none anywhere") << "nothing"
                                       << "nothing"
                                       << "nothing/lan.ini" << true;
    }
    void findsTheInstalledContent()
    {
        QFETCH(QString, program);
        QFETCH(QString, content);
        QFETCH(QString, groupFile);
        QFETCH(bool, isBeside);
        const programfolder::Installed found =
            programfolder::findInstalled(path(program), QStringLiteral("../../share/lumaret"),
                                         path(QStringLiteral("etc/lumaret")));
        QCOMPARE(found.content, path(content));
        QCOMPARE(found.groupFile, path(groupFile));
        QCOMPARE(found.beside, isBeside);
    }

    void chooses_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<bool>("fromPackage");
        QTest::addColumn<bool>("installedWritable");
        QTest::addColumn<QString>("expected"); // relative to the test's root
        QTest::newRow("asked for") << path(QStringLiteral("mine")) << false << true << "mine";
        QTest::newRow("beside, writable") << QString() << false << true << "opt";
        QTest::newRow("beside, for all users") << QString() << false << false << "data/lumaret";
        // Root can write to the package's files; it gets a folder of its own all the same.
        QTest::newRow("package, writable") << QString() << true << true << "data/lumaret";
    }
    void chooses()
    {
        QFETCH(QString, requested);
        QFETCH(bool, fromPackage);
        QFETCH(bool, installedWritable);
        QFETCH(QString, expected);
        programfolder::Installed installed = fromPackage ? package : beside;
        if (!installedWritable)
            installed.content = path(QStringLiteral("no-such-folder/opt"));
        QCOMPARE(programfolder::choose(requested, installed, path(QStringLiteral("data"))),
                 path(expected));
    }

    // A new folder gets the content and the prepared group (not the program, not the web
    // player), whole. Root's first start after an upgrade from an installed folder where it
    // kept its settings takes them, its group and its own files from there.
    void newFolderGetsTheContent_data()
    {
        QTest::addColumn<QString>("from");
        QTest::newRow("beside") << "beside";
        QTest::newRow("package") << "package";
        QTest::newRow("package, upgraded") << "upgraded";
    }
    void newFolderGetsTheContent()
    {
        QFETCH(QString, from);
        const QString home = path(QStringLiteral("home-") + from);
        const QString folder = home + QStringLiteral("/.local/share/lumaret");
        programfolder::Installed installed = from == QLatin1String("beside") ? beside : package;
        if (from == QLatin1String("upgraded")) {
            const QString earlier = path(QStringLiteral("earlier"));
            QVERIFY(QDir().mkpath(earlier + QStringLiteral("/save")));
            QVERIFY(QDir().mkpath(earlier + QStringLiteral("/img")));
            QVERIFY(QFile::link(path(QStringLiteral("usr/lib/lumaret/lumaret")),
                                earlier + QStringLiteral("/lumaret")));
            QVERIFY(writeFile(earlier + QStringLiteral("/lumaret.ini.dpkg-old"), "root's"));
            QVERIFY(writeFile(earlier + QStringLiteral("/lan.ini"), "[NETWORK]\r\nlan=0\r\n"));
            QVERIFY(writeFile(earlier + QStringLiteral("/save/朝"), "set"));
            QVERIFY(writeFile(earlier + QStringLiteral("/img/own.jpg"), "own"));
            installed.earlier = earlier;
        }
        QVERIFY(programfolder::prepare(folder, installed));
        const bool upgraded = !installed.earlier.isEmpty();
        QCOMPARE(readFile(folder + QStringLiteral("/lumaret.ini")),
                 upgraded ? QByteArray("root's") : QByteArray("[ENVIRONMENT]\r\n"));
        QCOMPARE(readFile(folder + QStringLiteral("/img/sample1.jpg")), QByteArray("picture"));
        QCOMPARE(readFile(folder + QStringLiteral("/lan.ini")),
                 upgraded ? QByteArray("[NETWORK]\r\nlan=0\r\n")
                          : QByteArray("[NETWORK]\r\nlan=1\r\n"));
        QCOMPARE(QFile::exists(folder + QStringLiteral("/save/朝")), upgraded);
        QCOMPARE(QFile::exists(folder + QStringLiteral("/img/own.jpg")), upgraded);
        QVERIFY(!QFile::exists(folder + QStringLiteral("/lumaret.ini.dpkg-old")));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/ruffle")));
        QVERIFY(!QFileInfo(folder + QStringLiteral("/lumaret")).exists());
        QVERIFY(!QFileInfo(folder + QStringLiteral("/lumaret")).isSymLink());
        // Nothing half-made is left beside it.
        QCOMPARE(QDir(home + QStringLiteral("/.local/share"))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("lumaret")});
    }

    // A folder that can not be made: the show goes on, never writing into a package's files.
    void fallsBackOutsideThePackage_data()
    {
        QTest::addColumn<bool>("fromPackage");
        QTest::addColumn<QByteArray>("inTemp"); // what is already in its place: "", "file", "link"
        QTest::addColumn<QString>("expected");  // "content" or "temp"
        QTest::newRow("beside") << false << QByteArray() << "content";
        QTest::newRow("package") << true << QByteArray() << "temp";
        QTest::newRow("package, a file in its place") << true << QByteArray("file") << "content";
        QTest::newRow("package, a link in its place") << true << QByteArray("link") << "content";
    }
    void fallsBackOutsideThePackage()
    {
        QFETCH(bool, fromPackage);
        QFETCH(QByteArray, inTemp);
        QFETCH(QString, expected);
        QTemporaryDir temp;
        const QString place = temp.filePath(QStringLiteral("lumaret-%1").arg(::getuid()));
        if (inTemp == "file")
            QVERIFY(writeFile(place, "x"));
        else if (inTemp == "link")
            QVERIFY(QFile::link(root.path(), place));
        const programfolder::Installed& installed = fromPackage ? package : beside;
        if (expected == QLatin1String("temp"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("for now")));
        const QString used = programfolder::fallback(installed, temp.path());
        QCOMPARE(used, expected == QLatin1String("temp") ? place : installed.content);
        if (expected == QLatin1String("temp"))
            QCOMPARE(readFile(place + QStringLiteral("/lumaret.ini")),
                     QByteArray("[ENVIRONMENT]\r\n"));
    }

    // A folder that is there is the user's: never overwritten, even if it lacks content.
    void existingFolderIsLeftAlone()
    {
        const QString folder = root.filePath(QStringLiteral("existing"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(
            writeFile(folder + QStringLiteral("/lumaret.ini"), "[ENVIRONMENT]\r\ntxtTime=9\r\n"));
        QVERIFY(programfolder::prepare(folder, beside));
        QCOMPARE(readFile(folder + QStringLiteral("/lumaret.ini")),
                 QByteArray("[ENVIRONMENT]\r\ntxtTime=9\r\n"));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/img")));
    }

    // A copy that fails leaves nothing: no half-filled folder in place, none beside it.
    void failedCopyLeavesNoFolder()
    {
        QTemporaryDir large;
        QVERIFY(QDir().mkpath(large.filePath(QStringLiteral("img"))));
        QVERIFY(writeFile(large.filePath(QStringLiteral("lumaret.ini")), "[ENVIRONMENT]\r\n"));
        QVERIFY(
            writeFile(large.filePath(QStringLiteral("img/sample1.jpg")), QByteArray(4096, 'p')));
        const QString parent = root.filePath(QStringLiteral("half"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot copy")));
        {
            const FileSizeLimit full{1024};
            QVERIFY(!programfolder::prepare(parent + QStringLiteral("/lumaret"),
                                            programfolder::findInstalled(large.path())));
        }
        QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void folderThatCanNotBeMadeIsReported()
    {
        const QString blocker = root.filePath(QStringLiteral("a-file"));
        QVERIFY(writeFile(blocker, "x"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot create")));
        QVERIFY(!programfolder::prepare(blocker + QStringLiteral("/lumaret"), beside));
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
