// Reading and writing private-profile files, byte for byte.

#include "profile/PrivateProfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
