// Whole-file replacement: the old file stays byte for byte when any write fails, no temporary
// file is left behind, and the caller hears of the failure.

#include "profile/AtomicFile.h"
#include "profile/PrivateProfile.h"
#include "profile/tests/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

const QByteArray OldSettings =
    "[ENVIRONMENT]\r\n" + QByteArray("txtTelop=") + QByteArray(360, 'o') + "\r\n";

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private slots:
    // Every writer under a disk that refuses to grow a file past some bytes: small limits
    // fail the first write, larger ones a later write or the final flush.
    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("size"); // of the new content
        // Small contents stay in a writer's buffer until its final flush.
        for (const char* writer : {"replace", "copy", "profile", "new file"})
            for (int limit : {0, 26, 4096, 70000})
                for (int size : {400, 100000})
                    if (limit < size)
                        QTest::addRow("%s, %d bytes, limit %d", writer, size, limit)
                            << QString::fromLatin1(writer) << limit << size;
    }
    void failedWriteKeepsTheOldFile()
    {
        QFETCH(QString, writer);
        QFETCH(int, limit);
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lumaret.ini"));
        const QString source = dir.filePath(QStringLiteral("source"));
        const QByteArray big = QByteArray(size, 'n');
        if (writer != QLatin1String("new file"))
            writeAll(path, OldSettings);
        writeAll(source, big);
        const QStringList before = entries(dir.path());

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*lumaret.ini"));
        bool written = true;
        {
            const FileSizeLimit full{rlim_t(limit)};
            if (writer == QLatin1String("copy"))
                written = platform::copyFileAtomically(source, path);
            else if (writer == QLatin1String("profile"))
                written =
                    platform::WritePrivateProfileStringA("ENVIRONMENT", "txtTelop", big, path);
            else
                written = platform::replaceFileContents(path, big);
        }
        QVERIFY(!written);
        QCOMPARE(readAll(path),
                 writer == QLatin1String("new file") ? QByteArray("<none>") : OldSettings);
        QCOMPARE(entries(dir.path()), before); // no temporary file left
    }

    // Two files replaced as one: when the second can not be written, the first keeps its
    // old content too.
    void filesReplacedTogether()
    {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("lumaret.ini"));
        const QString slides = dir.filePath(QStringLiteral("swfpara.txt"));
        writeAll(settings, OldSettings);
        writeAll(slides, "interface2=3000#0");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*swfpara.txt"));
        {
            const FileSizeLimit full{1000};
            QVERIFY(!platform::replaceFilesTogether(
                {{settings, "[ENVIRONMENT]\r\n"}, {slides, QByteArray(5000, 'x')}}));
        }
        QCOMPARE(readAll(settings), OldSettings);
        QCOMPARE(readAll(slides), QByteArray("interface2=3000#0"));
        QCOMPARE(entries(dir.path()), QStringList({"lumaret.ini", "swfpara.txt"}));

        QVERIFY(platform::replaceFilesTogether({{settings, "new"}, {slides, "interface2=1000#0"}}));
        QCOMPARE(readAll(settings), QByteArray("new"));
        QCOMPARE(readAll(slides), QByteArray("interface2=1000#0"));
    }

    // A rename that fails is a failed write: the caller hears of it (so a pair can roll
    // back), and nothing staged is left.
    void failedRenameIsAFailure()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lumaret.ini"));
        writeAll(path, OldSettings);
        platform::StagedFile file(path);
        QVERIFY(file.write("new"));
        // Swapped for a folder that is not empty before the rename: rename(2) refuses.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("lumaret.ini/kept")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*lumaret.ini"));
        QVERIFY(!file.commit());
        QCOMPARE(entries(dir.path()), QStringList());
    }

    // Only names a killed writer can have left are removed: the user's own files beside the
    // settings stay, whatever they are called.
    void leftoverTemporaries()
    {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("lumaret.ini"));
        for (const char* name :
             {"lumaret.ini", ".lumaret.ini.lumaret-staged-Ab3xYz", "lumaret.ini.backup",
              "lumaret.ini.orig01", "lumaret.ini.Ab3xYz", ".lumaret.ini.lumaret-staged-Ab3xYz7",
              ".xlumaret.ini.lumaret-staged-Ab3xYz"})
            writeAll(dir.filePath(QLatin1String(name)), "x");
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("removed .*staged-Ab3xYz left"));
        platform::removeLeftoverTemporaries(settings);
        QCOMPARE(entries(dir.path()),
                 QStringList({".lumaret.ini.lumaret-staged-Ab3xYz7",
                              ".xlumaret.ini.lumaret-staged-Ab3xYz", "lumaret.ini",
                              "lumaret.ini.Ab3xYz", "lumaret.ini.backup", "lumaret.ini.orig01"}));
    }

    // A settings file that is a symbolic link stays one: the file it points to gets the new
    // content and keeps its mode and extended attributes.
    void linkedFileIsWrittenThrough()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("real"));
        const QString target = dir.filePath(QStringLiteral("real/settings.ini"));
        const QString link = dir.filePath(QStringLiteral("lumaret.ini"));
        writeAll(target, OldSettings);
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::WriteGroup));
        const bool attributes =
            ::setxattr(QFile::encodeName(target).constData(), "user.shop", "east", 4, 0) == 0;
        QVERIFY(QFile::link(QStringLiteral("real/settings.ini"), link));

        QVERIFY(platform::replaceFileContents(link, "new"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(target), QByteArray("new"));
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0660));
        if (attributes) {
            char value[8] = {};
            QCOMPARE(::getxattr(QFile::encodeName(target).constData(), "user.shop", value, 8),
                     ssize_t(4));
            QCOMPARE(QByteArray(value), QByteArray("east"));
        }
        QCOMPARE(entries(dir.filePath(QStringLiteral("real"))), QStringList{"settings.ini"});
        QVERIFY(platform::WritePrivateProfileStringA("ENVIRONMENT", "txtTelop", "x", link));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(target), QByteArray("new\r\n[ENVIRONMENT]\r\ntxtTelop=x\r\n"));
    }

    // A replaced file keeps its permissions; a new one gets the folder's defaults (the umask),
    // not the private mode of a temporary file.
    void permissions()
    {
        QTemporaryDir dir;
        const QString kept = dir.filePath(QStringLiteral("kept"));
        writeAll(kept, "old");
        QVERIFY(QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther |
                                                QFile::WriteGroup));
        QVERIFY(platform::replaceFileContents(kept, "new"));
        QCOMPARE(readAll(kept), QByteArray("new"));
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(kept).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0664));

        const mode_t mask = ::umask(022);
        const QString fresh = dir.filePath(QStringLiteral("fresh"));
        QVERIFY(platform::replaceFileContents(fresh, "new"));
        ::umask(mask);
        QCOMPARE(::stat(QFile::encodeName(fresh).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0644));
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
