// Reading and writing private-profile files, byte for byte.

#include "profile/AtomicFile.h"
#include "profile/PrivateProfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using platform::GetPrivateProfileStringA;
using platform::WritePrivateProfileStringA;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QByteArray Missing = "<no file>";

} // namespace

class TestPrivateProfile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("test.ini")); }

private slots:
    void init() { QFile::remove(path()); }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("defaultValue");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray doc = "[ENVIRONMENT]\r\noptTarget=1\r\nTelopInterval=\r\n";
        QTest::newRow("value") << doc << QByteArray("ENVIRONMENT") << QByteArray("optTarget")
                               << QByteArray("d") << QByteArray("1");
        QTest::newRow("missing file")
            << Missing << QByteArray("ENVIRONMENT") << QByteArray("optTarget") << QByteArray("40")
            << QByteArray("40");
        QTest::newRow("missing section") << doc << QByteArray("SYSTEM") << QByteArray("menu")
                                         << QByteArray("") << QByteArray("");
        QTest::newRow("missing key") << doc << QByteArray("ENVIRONMENT") << QByteArray("TelopMove")
                                     << QByteArray("1") << QByteArray("1");
        QTest::newRow("empty value is not the default")
            << doc << QByteArray("ENVIRONMENT") << QByteArray("TelopInterval") << QByteArray("40")
            << QByteArray("");
        QTest::newRow("default loses trailing blanks")
            << doc << QByteArray("X") << QByteArray("y") << QByteArray("ab  ") << QByteArray("ab");
        QTest::newRow("ASCII names fold")
            << doc << QByteArray("environment") << QByteArray("OPTTARGET") << QByteArray("")
            << QByteArray("1");
        QTest::newRow("fullwidth names do not fold")
            << QByteArray("[\x82\x60]\r\nk=1\r\n") << QByteArray("\x82\x81") << QByteArray("k")
            << QByteArray("d") << QByteArray("d");
        QTest::newRow("trail bytes are not letters")
            << QByteArray("[s]\r\n\x83\x41=1\r\n") << QByteArray("s") << QByteArray("\x83\x61")
            << QByteArray("d") << QByteArray("d");
        QTest::newRow("value case kept")
            << QByteArray("[SYSTEM]\r\nmenu=Off\r\n") << QByteArray("SYSTEM") << QByteArray("menu")
            << QByteArray("") << QByteArray("Off");
        QTest::newRow("blanks and tabs around")
            << QByteArray(" [ S ] \r\n \t k \t= \t v w \t\r\n") << QByteArray("S")
            << QByteArray("k") << QByteArray("") << QByteArray("v w");
        QTest::newRow("ideographic space kept")
            << QByteArray("[s]\r\nk=\x81\x40v\x81\x40\r\n") << QByteArray("s") << QByteArray("k")
            << QByteArray("") << QByteArray("\x81\x40v\x81\x40");
        QTest::newRow("double quotes") << QByteArray("[s]\r\nk=\" v \"\r\n") << QByteArray("s")
                                       << QByteArray("k") << QByteArray("") << QByteArray(" v ");
        QTest::newRow("single quotes") << QByteArray("[s]\r\nk='v'\r\n") << QByteArray("s")
                                       << QByteArray("k") << QByteArray("") << QByteArray("v");
        QTest::newRow("mismatched quotes kept")
            << QByteArray("[s]\r\nk=\"v'\r\n") << QByteArray("s") << QByteArray("k")
            << QByteArray("") << QByteArray("\"v'");
        QTest::newRow("lone quote kept") << QByteArray("[s]\r\nk=\"\r\n") << QByteArray("s")
                                         << QByteArray("k") << QByteArray("") << QByteArray("\"");
        QTest::newRow("semicolon is no comment")
            << QByteArray("[s]\r\n;k=1\r\n") << QByteArray("s") << QByteArray(";k")
            << QByteArray("") << QByteArray("1");
        QTest::newRow("first section wins")
            << QByteArray("[s]\r\na=1\r\n[S]\r\nb=2\r\n") << QByteArray("s") << QByteArray("b")
            << QByteArray("d") << QByteArray("d");
        QTest::newRow("first key wins") << QByteArray("[s]\r\nk=1\r\nK=2\r\n") << QByteArray("s")
                                        << QByteArray("k") << QByteArray("") << QByteArray("1");
        QTest::newRow("lines without = ignored")
            << QByteArray("[s]\r\nk\r\nk=2\r\n") << QByteArray("s") << QByteArray("k")
            << QByteArray("") << QByteArray("2");
        QTest::newRow("header with junk") << QByteArray("[s] junk\r\nk=1\r\n") << QByteArray("s")
                                          << QByteArray("k") << QByteArray("") << QByteArray("1");
        QTest::newRow("LF only, no last line end")
            << QByteArray("[a]\nx=0\n[s]\nk=1") << QByteArray("s") << QByteArray("k")
            << QByteArray("") << QByteArray("1");
        QTest::newRow("bare CR line ends") << QByteArray("[S]\rK=v\r") << QByteArray("S")
                                           << QByteArray("K") << QByteArray("") << QByteArray("v");
        QTest::newRow("CR, LF and CR LF mixed")
            << QByteArray("[a]\rx=0\n[S]\r\nA=1\rK=2\nB=3") << QByteArray("S") << QByteArray("K")
            << QByteArray("") << QByteArray("2");
        // ゾ is 83 5D: its second byte is "]", which must not end the header.
        QTest::newRow("header followed by a two-byte character with a ] byte")
            << QByteArray("[S]\x83\x5d\r\nk=1\r\n") << QByteArray("S") << QByteArray("k")
            << QByteArray("") << QByteArray("1");
        QTest::newRow("300-byte value cut to 255")
            << QByteArray("[s]\r\nk=" + QByteArray(300, 'x') + "\r\n") << QByteArray("s")
            << QByteArray("k") << QByteArray("") << QByteArray(255, 'x');
        // 254 ASCII bytes then a two-byte character: the cut at 255 would split it.
        QTest::newRow("cut inside a two-byte character")
            << QByteArray("[s]\r\nk=" + QByteArray(254, 'x') + "\x8a\x4a\x8a\x4a\r\n")
            << QByteArray("s") << QByteArray("k") << QByteArray("") << QByteArray(254, 'x');
        // Lead bytes are 81-9F and E0-FC: a cut never splits their characters; the bytes
        // around those ranges are single characters and may end the value.
        for (const char lead : {'\x81', '\x9f', '\xe0', '\xfc'})
            QTest::addRow("cut before the character with lead byte %02X", quint8(lead))
                << QByteArray("[s]\r\nk=" + QByteArray(254, 'x') + lead + "\x40\r\n")
                << QByteArray("s") << QByteArray("k") << QByteArray("") << QByteArray(254, 'x');
        for (const char single : {'\x80', '\xa0', '\xdf', '\xfd'})
            QTest::addRow("single byte %02X ends the value", quint8(single))
                << QByteArray("[s]\r\nk=" + QByteArray(254, 'x') + single + "\x40\r\n")
                << QByteArray("s") << QByteArray("k") << QByteArray("")
                << QByteArray(254, 'x') + single;
        QTest::newRow("127 kanji fit, the 128th is cut")
            << QByteArray("[s]\r\nk=" +
                          QByteArray(128 * 2, '\x88').replace(QByteArray("\x88\x88"), "\x88\x9f") +
                          "\r\n")
            << QByteArray("s") << QByteArray("k") << QByteArray("")
            << QByteArray(127 * 2, '\x88').replace(QByteArray("\x88\x88"), "\x88\x9f");
    }
    void reads()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, defaultValue);
        QFETCH(QByteArray, expected);
        if (content != Missing)
            writeAll(path(), content);
        char buffer[256];
        const uint32_t copied =
            GetPrivateProfileStringA(section, key, defaultValue, buffer, sizeof buffer, path());
        QCOMPARE(QByteArray(buffer, int(copied)), expected);
        QCOMPARE(buffer[copied], '\0');
    }

    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file") << Missing << QByteArray("Sec") << QByteArray("Key")
                                  << QByteArray("Value") << QByteArray("[Sec]\r\nKey=Value\r\n");
        QTest::newRow("new key before the next header")
            << QByteArray("[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n") << QByteArray("A") << QByteArray("z")
            << QByteArray("3") << QByteArray("[a]\r\nx=1\r\n\r\nz=3\r\n[b]\r\ny=2\r\n");
        QTest::newRow("new key in the last section")
            << QByteArray("[a]\r\nx=1\r\n") << QByteArray("a") << QByteArray("z") << QByteArray("3")
            << QByteArray("[a]\r\nx=1\r\nz=3\r\n");
        QTest::newRow("replaced in place, old spelling kept")
            << QByteArray("[a]\r\n  OptTarget = 0 \r\nb=1\r\n") << QByteArray("a")
            << QByteArray("optTarget") << QByteArray("1")
            << QByteArray("[a]\r\nOptTarget=1\r\nb=1\r\n");
        QTest::newRow("last line without line end")
            << QByteArray("[a]\r\nx=1") << QByteArray("b") << QByteArray("y") << QByteArray("2")
            << QByteArray("[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
        QTest::newRow("other lines byte for byte")
            << QByteArray("; note\n[a]\nx=1\n\njunk line\n[b]\ny=2") << QByteArray("b")
            << QByteArray("y") << QByteArray("3")
            << QByteArray("; note\n[a]\nx=1\n\njunk line\n[b]\ny=3\r\n");
        QTest::newRow("bare CR lines kept, the key's line rewritten")
            << QByteArray("[S]\rA=1\rB=2\r") << QByteArray("S") << QByteArray("A")
            << QByteArray("9") << QByteArray("[S]\rA=9\r\nB=2\r");
        QTest::newRow("new key after bare CR lines")
            << QByteArray("[S]\rA=1\r[T]\rC=3\r") << QByteArray("S") << QByteArray("B")
            << QByteArray("2") << QByteArray("[S]\rA=1\rB=2\r\n[T]\rC=3\r");
        QTest::newRow("no second section after a header with a ] byte")
            << QByteArray("[S]\x83\x5d\r\nk=1\r\n") << QByteArray("S") << QByteArray("k")
            << QByteArray("2") << QByteArray("[S]\x83\x5d\r\nk=2\r\n");
        QTest::newRow("Japanese value")
            << Missing << QByteArray("ENVIRONMENT") << QByteArray("txtTelop")
            << QByteArray("\x8a\x4a\x94\xad")
            << QByteArray("[ENVIRONMENT]\r\ntxtTelop=\x8a\x4a\x94\xad\r\n");
    }
    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);
        if (before != Missing)
            writeAll(path(), before);
        QVERIFY(WritePrivateProfileStringA(section, key, value, path()));
        QCOMPARE(readAll(path()), after);
        char buffer[256];
        const uint32_t copied =
            GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, path());
        QCOMPARE(QByteArray(buffer, int(copied)), value);
    }

    // A value with line breaks stays on its key's line (each break one space), so it can not
    // add keys or sections; names that would break lines are refused. Every key reads as
    // before afterwards.
    void writesCannotForgeLines()
    {
        const QByteArray stored = "[ENVIRONMENT]\r\ntxtTelop=old\r\nTelopInterval=40\r\n"
                                  "TelopMove=1\r\n[SYSTEM]\r\nmenu=\r\n";
        writeAll(path(), stored);
        QVERIFY(WritePrivateProfileStringA("ENVIRONMENT", "txtTelop",
                                           "hello\r\n[SYSTEM]\r\nmenu=off\rx\ny", path()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused to write key"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused to write key"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused to write key"));
        QVERIFY(!WritePrivateProfileStringA("ENVIRONMENT", "a\r\n[SYSTEM]", "1", path()));
        QVERIFY(!WritePrivateProfileStringA("ENVIRONMENT", "menu=off", "1", path()));
        QVERIFY(!WritePrivateProfileStringA("ENVIRONMENT", "[SYSTEM]", "1", path()));
        const auto read = [&](const QByteArray& section, const QByteArray& key) {
            char buffer[256];
            const uint32_t n =
                GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof buffer, path());
            return QByteArray(buffer, int(n));
        };
        QCOMPARE(read("ENVIRONMENT", "txtTelop"), QByteArray("hello [SYSTEM] menu=off x y"));
        QCOMPARE(read("ENVIRONMENT", "TelopInterval"), QByteArray("40"));
        QCOMPARE(read("ENVIRONMENT", "TelopMove"), QByteArray("1"));
        QCOMPARE(read("SYSTEM", "menu"), QByteArray(""));
        QCOMPARE(read("SYSTEM", "TelopInterval"), QByteArray("<none>"));
        QCOMPARE(readAll(path()).count('\n'), stored.count('\n'));
    }

    // Another user writes: a writable file in a folder that takes no new files is rewritten
    // in place; a read-only file there is not written, and the writer says so; a file of
    // someone else in a folder that takes files stays theirs, written alone or with others.
    // Run as another user when this runs as root, for whom every folder takes files.
    void readOnlyFolder_data()
    {
        QTest::addColumn<bool>("fileWritable");
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<QString>("writer");
        QTest::newRow("writable file") << true << false << "--write";
        QTest::newRow("read-only file") << false << false << "--write";
        QTest::newRow("someone else's file") << true << true << "--write";
        QTest::newRow("someone else's file, written together") << true << true << "--together";
    }
    void readOnlyFolder()
    {
        QFETCH(bool, fileWritable);
        QFETCH(bool, folderWritable);
        QFETCH(QString, writer);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("share"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = QDir(folder).filePath(QStringLiteral("lumaret.ini"));
        writeAll(file, "[ENVIRONMENT]\r\ntxtTelop=old\r\n");
        const uid_t owner = QFileInfo(file).ownerId();
        QFile::setPermissions(file, fileWritable ? QFile::Permissions(0x6666)
                                                 : QFile::Permissions(0x4444));
        QFile::setPermissions(folder, QFile::Permissions(folderWritable ? 0x7777 : 0x5555));
        QFile::setPermissions(dir.path(), QFile::Permissions(0x7755));
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (::geteuid() == 0)
            child.setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                    ::_exit(3);
            });
        child.start(QCoreApplication::applicationFilePath(),
                    {writer, file, QStringLiteral("txtTelop"), QStringLiteral("new")});
        const bool finished = child.waitForFinished(10000);
        QFile::setPermissions(folder, QFile::Permissions(0x7755));
        // As root, the writer runs as "nobody", who may not reach this build's folders.
        if (child.error() == QProcess::FailedToStart || child.exitCode() == 3 ||
            child.exitCode() == 127)
            QSKIP("the writer can not run as another user here");
        QVERIFY(finished);
        QCOMPARE(child.exitCode(), fileWritable ? 0 : 1);
        QCOMPARE(readAll(file), fileWritable ? QByteArray("[ENVIRONMENT]\r\ntxtTelop=new\r\n")
                                             : QByteArray("[ENVIRONMENT]\r\ntxtTelop=old\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"lumaret.ini"});
        QCOMPARE(QFileInfo(file).ownerId(), owner);
    }

    // Writing what is stored does not touch the file at all.
    void writingTheStoredValueKeepsTheFile()
    {
        writeAll(path(), "[a]\nx = 1\n");
        const QDateTime before = QFileInfo(path()).lastModified();
        QTest::qSleep(20);
        QVERIFY(WritePrivateProfileStringA("a", "X", "1", path()));
        QCOMPARE(readAll(path()), QByteArray("[a]\nx = 1\n"));
        QCOMPARE(QFileInfo(path()).lastModified(), before);
    }

    // A write that fails leaves what was there and says so.
    void failedWritesChangeNothing()
    {
        writeAll(path(), "[a]\r\nx=1\r\n");
        QFile::setPermissions(path(), QFile::ReadOwner);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*read-only"));
        QVERIFY(!WritePrivateProfileStringA("a", "x", "2", path()));
        QCOMPARE(readAll(path()), QByteArray("[a]\r\nx=1\r\n"));
        QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        QVERIFY(!WritePrivateProfileStringA("a", "x", "2",
                                            dir.filePath(QStringLiteral("no/such/folder.ini"))));
    }

    void keepsPermissions()
    {
        writeAll(path(), "[a]\r\nx=1\r\n");
        const auto permissions =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QFile::setPermissions(path(), permissions);
        QVERIFY(WritePrivateProfileStringA("a", "x", "2", path()));
        QCOMPARE(QFile::permissions(path()) &
                     (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther),
                 permissions);
    }
};

// "--write FILE KEY VALUE": one write into section ENVIRONMENT, exit status 0 when written;
// "--together FILE KEY VALUE" writes the same content as a pair of one file.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 5 && arguments[1] == QLatin1String("--write"))
        return WritePrivateProfileStringA("ENVIRONMENT", arguments[3].toUtf8(),
                                          arguments[4].toUtf8(), arguments[2])
                   ? 0
                   : 1;
    if (arguments.size() == 5 && arguments[1] == QLatin1String("--together"))
        return platform::replaceFilesTogether(
                   {{arguments[2], "[ENVIRONMENT]\r\n" + arguments[3].toUtf8() + '=' +
                                       arguments[4].toUtf8() + "\r\n"}})
                   ? 0
                   : 1;
    TestPrivateProfile test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_privateprofile.moc"
