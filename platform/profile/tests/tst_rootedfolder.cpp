// The one way into folders that others may write: whatever is planted in the folder (links
// out, a folder swapped for a link, a FIFO, names that climb out, a file that grows) leads no
// read and no write elsewhere.

#include "profile/RootedFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using platform::RootedFolder;

namespace {

void writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

} // namespace

class TestRootedFolder : public QObject
{
    Q_OBJECT

private slots:
    // What a read of "img/a.jpg" finds, with each thing planted in the folder.
    void reads_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QByteArray>("bytes");
        using O = RootedFolder::Opened;
        QTest::newRow("plain file") << "file"
                                    << "img/a.jpg" << int(O::Ok) << QByteArray("inside");
        QTest::newRow("link inside the folder")
            << "link inside"
            << "img/a.jpg" << int(O::Ok) << QByteArray("inside");
        QTest::newRow("link out") << "link out"
                                  << "img/a.jpg" << int(O::Refused) << QByteArray();
        QTest::newRow("folder swapped for a link out")
            << "folder link"
            << "img/a.jpg" << int(O::Refused) << QByteArray();
        QTest::newRow("sibling named like the folder")
            << "sibling"
            << "img/a.jpg" << int(O::Refused) << QByteArray();
        QTest::newRow("FIFO") << "fifo"
                              << "img/a.jpg" << int(O::Refused) << QByteArray();
        QTest::newRow("missing") << ""
                                 << "img/a.jpg" << int(O::Missing) << QByteArray();
        QTest::newRow("name up and out") << "file"
                                         << "../secret" << int(O::Refused) << QByteArray();
        QTest::newRow("absolute name") << "file"
                                       << "/etc/passwd" << int(O::Refused) << QByteArray();
        QTest::newRow("link loop") << "loop"
                                   << "img/a.jpg" << int(O::Unanswered) << QByteArray();
    }
    void reads()
    {
        QFETCH(QString, planted);
        QFETCH(QString, name);
        QFETCH(int, outcome);
        QFETCH(QByteArray, bytes);
        QTemporaryDir parent;
        const QString root = parent.filePath(QStringLiteral("share"));
        const QString target = root + QStringLiteral("/img/a.jpg");
        QVERIFY(QDir().mkpath(root + QStringLiteral("/img")));
        writeAll(parent.filePath(QStringLiteral("secret")), "secret");
        writeAll(root + QStringLiteral("-old/a.jpg"), "secret");
        if (planted == QLatin1String("file")) {
            writeAll(target, "inside");
        } else if (planted == QLatin1String("link inside")) {
            writeAll(root + QStringLiteral("/b.jpg"), "inside");
            QVERIFY(QFile::link(root + QStringLiteral("/b.jpg"), target));
        } else if (planted == QLatin1String("link out")) {
            QVERIFY(QFile::link(parent.filePath(QStringLiteral("secret")), target));
        } else if (planted == QLatin1String("folder link")) {
            QVERIFY(QDir(root + QStringLiteral("/img")).removeRecursively());
            QVERIFY(QFile::link(root + QStringLiteral("-old"), root + QStringLiteral("/img")));
        } else if (planted == QLatin1String("sibling")) {
            QVERIFY(QFile::link(root + QStringLiteral("-old/a.jpg"), target));
        } else if (planted == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0644), 0);
        } else if (planted == QLatin1String("loop")) {
            QVERIFY(QFile::link(target, target));
        }
        const RootedFolder::Read read = RootedFolder(root).read(name, 1024);
        QCOMPARE(int(read.outcome), outcome);
        QCOMPARE(read.bytes, bytes);
    }

    // A file that grows after it was examined is copied to the size examined, with the
    // source's permission bits.
    void copiesAtMostTheSizeExamined()
    {
        QTemporaryDir source;
        QTemporaryDir copies;
        const QString picture = source.filePath(QStringLiteral("a.jpg"));
        writeAll(picture, QByteArray(1000, 'a'));
        QVERIFY(QFile::setPermissions(picture, QFile::ReadOwner | QFile::WriteOwner));
        const RootedFolder::Opened opened = RootedFolder(source.path()).openFile("a.jpg");
        QCOMPARE(int(opened.outcome), int(RootedFolder::Opened::Ok));
        QFile grow(picture);
        QVERIFY(grow.open(QIODevice::Append));
        grow.write(QByteArray(5000, 'b'));
        grow.close();
        QVERIFY(RootedFolder(copies.path()).copyFrom(opened.fd, opened.info, "img/a.jpg"));
        ::close(opened.fd);
        const QString copy = copies.filePath(QStringLiteral("img/a.jpg"));
        QCOMPARE(readAll(copy), QByteArray(1000, 'a'));
        QCOMPARE(QFile::permissions(copy), QFile::permissions(picture));
    }

    // A write replaces whatever stands at the name, a planted link included, and never goes
    // through a folder on the way that is a link.
    void writes_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<bool>("written");
        QTest::newRow("nothing there") << "" << true;
        QTest::newRow("a link to the user's file") << "link" << true;
        QTest::newRow("the folder a link") << "folder link" << false;
    }
    void writes()
    {
        QFETCH(QString, planted);
        QFETCH(bool, written);
        QTemporaryDir parent;
        const QString root = parent.filePath(QStringLiteral("share"));
        const QString victim = parent.filePath(QStringLiteral("bashrc"));
        writeAll(victim, "# mine\n");
        QVERIFY(QDir().mkpath(root + QStringLiteral("/status")));
        if (planted == QLatin1String("link")) {
            QVERIFY(QFile::link(victim, root + QStringLiteral("/status/pc.json")));
        } else if (planted == QLatin1String("folder link")) {
            QVERIFY(QDir(root + QStringLiteral("/status")).removeRecursively());
            QVERIFY(QFile::link(parent.path(), root + QStringLiteral("/status")));
        }
        QString why;
        QCOMPARE(RootedFolder(root).write("status/pc.json", "{}", &why), written);
        QCOMPARE(why.isEmpty(), written);
        QCOMPARE(readAll(victim), QByteArray("# mine\n"));
        QCOMPARE(QDir(parent.path()).entryList(QDir::Files), QStringList{"bashrc"});
        if (written) {
            QVERIFY(!QFileInfo(root + QStringLiteral("/status/pc.json")).isSymLink());
            QCOMPARE(readAll(root + QStringLiteral("/status/pc.json")), QByteArray("{}"));
        }
    }
};

QTEST_GUILESS_MAIN(TestRootedFolder)
#include "tst_rootedfolder.moc"
