// Choosing and making the program folder: the installed one, a user's own, or one asked for.

#include "ProgramFolder.h"
#include "platform/profile/tests/FileSizeLimit.h"

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
    QString installed;

private slots:
    void initTestCase()
    {
        // An installed folder: content, and files that stay where they are installed.
        installed = root.filePath(QStringLiteral("opt"));
        QVERIFY(QDir().mkpath(installed + QStringLiteral("/img")));
        QVERIFY(QDir().mkpath(installed + QStringLiteral("/ruffle")));
        QVERIFY(writeFile(installed + QStringLiteral("/lumaret.ini"), "[ENVIRONMENT]\r\n"));
        // A group prepared for every user by whoever installed the player.
        QVERIFY(writeFile(installed + QStringLiteral("/lan.ini"), "[NETWORK]\r\nlan=1\r\n"));
        QVERIFY(writeFile(installed + QStringLiteral("/img/sample1.jpg"), "picture"));
        QVERIFY(writeFile(installed + QStringLiteral("/ruffle/player.html"), "page"));
        QVERIFY(writeFile(installed + QStringLiteral("/lumaret"), "program"));
    }

    void chooses_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<bool>("installedWritable");
        QTest::addColumn<QString>("expected"); // relative to the test's root
        QTest::newRow("asked for") << root.filePath(QStringLiteral("mine")) << true << "mine";
        QTest::newRow("installed, writable") << QString() << true << "opt";
        QTest::newRow("installed for all users") << QString() << false << "data/lumaret";
    }
    void chooses()
    {
        QFETCH(QString, requested);
        QFETCH(bool, installedWritable);
        QFETCH(QString, expected);
        const QString notWritable = root.filePath(QStringLiteral("no-such-folder/opt"));
        QCOMPARE(programfolder::choose(requested, installedWritable ? installed : notWritable,
                                       root.filePath(QStringLiteral("data"))),
                 root.filePath(expected));
    }

    // A new folder gets the content (not the program, not the web player), whole.
    void newFolderGetsTheContent()
    {
        const QString folder = root.filePath(QStringLiteral("home/.local/share/lumaret"));
        QVERIFY(programfolder::prepare(folder, installed));
        QCOMPARE(readFile(folder + QStringLiteral("/lumaret.ini")),
                 QByteArray("[ENVIRONMENT]\r\n"));
        QCOMPARE(readFile(folder + QStringLiteral("/img/sample1.jpg")), QByteArray("picture"));
        QCOMPARE(readFile(folder + QStringLiteral("/lan.ini")),
                 QByteArray("[NETWORK]\r\nlan=1\r\n"));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/ruffle")));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/lumaret")));
        // Nothing half-made is left beside it.
        QCOMPARE(QDir(root.filePath(QStringLiteral("home/.local/share")))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("lumaret")});
    }

    // A folder that is there is the user's: never overwritten, even if it lacks content.
    void existingFolderIsLeftAlone()
    {
        const QString folder = root.filePath(QStringLiteral("existing"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(
            writeFile(folder + QStringLiteral("/lumaret.ini"), "[ENVIRONMENT]\r\ntxtTime=9\r\n"));
        QVERIFY(programfolder::prepare(folder, installed));
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
            QVERIFY(!programfolder::prepare(parent + QStringLiteral("/lumaret"), large.path()));
        }
        QCOMPARE(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void folderThatCanNotBeMadeIsReported()
    {
        const QString blocker = root.filePath(QStringLiteral("a-file"));
        QVERIFY(writeFile(blocker, "x"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot create")));
        QVERIFY(!programfolder::prepare(blocker + QStringLiteral("/lumaret"), installed));
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
