// The shared helpers and the bytes of the settings and slide parameter files.

#include "mdlCommon.h"
#include "text/Cp932.h"

#include "platform/profile/tests/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace mdlCommon;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The fifteen default lines, in code page 932.
QByteArray defaultEnvironmentLines()
{
    QByteArray lines = "optTarget=1\r\n"
                       "txtAnime=\x8c\xf8\x89\xca\x96\xb3\x82\xb5.swf\r\n";
    for (int i = 0; i < 10; ++i)
        lines += "txtImg_" + QByteArray::number(i) + "=quandor.jpg\r\n";
    lines += "txtTime=5\r\n"
             "optTelop=0\r\n"
             "txtTelop=\x8a\x4a\x94\xad\x81\x46Quandor\x81\x40http://www.quandor.example/\r\n"
             "chkDate=0\r\n";
    return lines;
}

ImageEntries entries(std::initializer_list<QString> given)
{
    ImageEntries images;
    std::copy(given.begin(), given.end(), images.begin());
    return images;
}

} // namespace

class TestMdlCommon : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    QString settings() const { return folder.filePath(SettingsFileName); }
    QString slideParamsFile() const { return folder.filePath(SlideParamsFileName); }

private slots:
    void init()
    {
        QFile::remove(settings());
        QDir(folder.path()).mkpath(QStringLiteral("img"));
        QFile::remove(slideParamsFile());
    }

    void defaultSettingsInANewFile()
    {
        WriteDefaultSettings(folder.path());
        const QByteArray bytes = readAll(settings());
        QCOMPARE(bytes, "[ENVIRONMENT]\r\n" + defaultEnvironmentLines());
        QCOMPARE(bytes.size(), 358);
    }

    // Keys set by hand and other sections stay; the defaults go into ENVIRONMENT.
    void defaultSettingsKeepOtherKeys()
    {
        writeAll(settings(), "[ENVIRONMENT]\r\nTelopInterval=60\r\n[SYSTEM]\r\nmenu=off\r\n");
        WriteDefaultSettings(folder.path());
        QCOMPARE(readAll(settings()), "[ENVIRONMENT]\r\nTelopInterval=60\r\n" +
                                          defaultEnvironmentLines() + "[SYSTEM]\r\nmenu=off\r\n");
        QCOMPARE(GetIniString(settings(), QStringLiteral("ENVIRONMENT"),
                              QStringLiteral("TelopInterval"), QStringLiteral("40")),
                 QStringLiteral("60"));
        QCOMPARE(GetIniString(settings(), QStringLiteral("ENVIRONMENT"), QStringLiteral("txtTelop"),
                              QString()),
                 DefaultTelopText);
    }

    void defaultSlideParams()
    {
        WriteDefaultSlideParams(folder.path());
        QCOMPARE(readAll(slideParamsFile()),
                 QByteArray("interface2=3000#5") + QByteArray("#quandor.jpg").repeated(5));
    }

    void slideParams_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<ImageEntries>("images");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("3 s, entries 0 and 2") << "3" << entries({"a.jpg", "", "b.jpg"})
                                              << QByteArray("interface2=3000#3#a.jpg#b.jpg");
        QTest::newRow("60 s") << "60" << entries({"a.jpg"})
                              << QByteArray("interface2=60000#1#a.jpg");
        QTest::newRow("0 s") << "0" << entries({"a.jpg"}) << QByteArray("interface2=0000#1#a.jpg");
        QTest::newRow("fraction") << " 60.5 " << entries({"a.jpg"})
                                  << QByteArray("interface2=60500#1#a.jpg");
        QTest::newRow("leading zeros")
            << "003" << entries({"a.jpg"}) << QByteArray("interface2=3000#1#a.jpg");
        QTest::newRow("all blank") << "5" << entries({}) << QByteArray("interface2=5000#0");
        QTest::newRow("spaces only are blank, a leading space is kept")
            << "5" << entries({"   ", " c.jpg", "", "", "  "})
            << QByteArray("interface2=5000#2# c.jpg");
        QTest::newRow("gaps: count is the last position")
            << "4" << entries({"", "", "", "", "", "", "", "", "", "z.jpg"})
            << QByteArray("interface2=4000#10#z.jpg");
        QTest::newRow("Japanese name in code page 932")
            << "3" << entries({QStringLiteral("画像.jpg")})
            << QByteArray("interface2=3000#1#\x89\xe6\x91\x9c.jpg");
        QTest::newRow("time not a number")
            << "5a" << entries({"a.jpg"}) << QByteArray("interface2=");
        QTest::newRow("empty time") << "" << entries({"a.jpg"}) << QByteArray("interface2=");
    }
    void slideParams()
    {
        QFETCH(QString, time);
        QFETCH(ImageEntries, images);
        QFETCH(QByteArray, bytes);
        // A longer file before: nothing of it may be left.
        writeAll(slideParamsFile(), QByteArray(200, 'x'));
        if (bytes.size() == 11)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not a number of seconds"));
        WriteSlideParams(folder.path(), time, images);
        QCOMPARE(readAll(slideParamsFile()), bytes);
    }

    void slideParamsWithoutImgFolderWriteNothing()
    {
        QTemporaryDir bare;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        WriteSlideParams(bare.path(), QStringLiteral("3"), entries({"a.jpg"}));
        QVERIFY(!QFile::exists(bare.filePath(SlideParamsFileName)));
    }

    // A full disk: every writer reports the failure and leaves the old file as it was.
    void writersOnAFullDiskKeepTheOldFile_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::newRow("settings") << "settings";
        QTest::newRow("slide parameters") << "slides";
        QTest::newRow("default slide parameters") << "default slides";
    }
    void writersOnAFullDiskKeepTheOldFile()
    {
        QFETCH(QString, writer);
        const QByteArray oldSettings = "[ENVIRONMENT]\r\noptTarget=0\r\n[SYSTEM]\r\nmenu=off\r\n";
        const QByteArray oldSlides = "interface2=7000#1#old.jpg";
        writeAll(settings(), oldSettings);
        writeAll(slideParamsFile(), oldSlides);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write"));
        bool written = true;
        {
            const FileSizeLimit full{26};
            if (writer == QLatin1String("settings"))
                written = WriteDefaultSettings(folder.path());
            else if (writer == QLatin1String("slides"))
                written = WriteSlideParams(folder.path(), QStringLiteral("3"),
                                           entries({"a.jpg", "b.jpg", "c.jpg"}));
            else
                written = WriteDefaultSlideParams(folder.path());
        }
        QVERIFY(!written);
        QCOMPARE(readAll(settings()), oldSettings);
        QCOMPARE(readAll(slideParamsFile()), oldSlides);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 1);
        QCOMPARE(QDir(folder.filePath(QStringLiteral("img"))).entryList(QDir::Files).size(), 1);
    }

    void getIniString_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("defaultValue");
        QTest::addColumn<QString>("expected");
        QTest::newRow("flag") << QByteArray("[SYSTEM]\r\nmenu=off\r\n") << "menu"
                              << ""
                              << "off";
        QTest::newRow("Off stays Off") << QByteArray("[SYSTEM]\r\nmenu=Off\r\n") << "menu"
                                       << ""
                                       << "Off";
        QTest::newRow("missing key") << QByteArray("[SYSTEM]\r\n") << "menu"
                                     << ""
                                     << "";
        QTest::newRow("empty value") << QByteArray("[SYSTEM]\r\nmenu=\r\n") << "menu"
                                     << "x"
                                     << "";
        QTest::newRow("over 127 kanji shortened")
            << QByteArray("[SYSTEM]\r\nmenu=" + QByteArray("\x8a\x4a").repeated(130) + "\r\n")
            << "menu"
            << "" << QString(127, QChar(u'開'));
    }
    void getIniString()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QFETCH(QString, defaultValue);
        QFETCH(QString, expected);
        writeAll(settings(), content);
        QCOMPARE(GetIniString(settings(), QStringLiteral("SYSTEM"), key, defaultValue), expected);
        QCOMPARE(GetIniString(folder.filePath(QStringLiteral("missing.ini")),
                              QStringLiteral("SYSTEM"), key, QStringLiteral("40")),
                 QStringLiteral("40"));
    }

    // The network file as any editor saves it: UTF-8 or code page 932, the same values.
    void networkFileInEitherEncoding_data()
    {
        QTest::addColumn<bool>("utf8");
        QTest::newRow("UTF-8, as Linux editors write it") << true;
        QTest::newRow("code page 932") << false;
    }
    void networkFileInEitherEncoding()
    {
        QFETCH(bool, utf8);
        const QString text =
            QStringLiteral("[NETWORK]\r\nlan=1\r\nname=レジ横\r\nmaster=/mnt/親機\r\n");
        writeAll(settings(), utf8 ? text.toUtf8() : platform::toCp932(text));
        QCOMPARE(GetNetworkString(settings(), QStringLiteral("name"), {}),
                 QStringLiteral("レジ横"));
        QCOMPARE(GetNetworkString(settings(), QStringLiteral("master"), {}),
                 QStringLiteral("/mnt/親機"));
        QCOMPARE(GetNetworkString(settings(), QStringLiteral("none"), QStringLiteral("既定")),
                 QStringLiteral("既定"));
    }

    void fileExists()
    {
        writeAll(settings(), "x");
        QVERIFY(FileExists(settings()));
        QVERIFY(!FileExists(folder.filePath(QStringLiteral("*.ini")))); // even though one matches
        QVERIFY(!FileExists(folder.filePath(QStringLiteral("lumaret.in?"))));
        QVERIFY(!FileExists(folder.path())); // a folder
        QVERIFY(!FileExists(QString()));
        QVERIFY(!FileExists(folder.filePath(QStringLiteral("none.ini"))));
    }

    void fileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("backslash") << "C:\\img\\a.jpg"
                                   << "a.jpg";
        QTest::newRow("drive colon") << "C:a.jpg"
                                     << "a.jpg";
        QTest::newRow("ends with separator") << "C:\\img\\"
                                             << "";
        QTest::newRow("bare name") << "a.jpg"
                                   << "";
        QTest::newRow("slash") << "/opt/lumaret/save/set1"
                               << "set1";
    }
    void fileName()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(GetFileName(path), name);
    }

    void filterDigitKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("passed");
        QTest::newRow("7") << int('7') << int('7');
        QTest::newRow("backspace") << 8 << 8;
        QTest::newRow("letter") << int('a') << 0;
        QTest::newRow("minus") << int('-') << 0;
        QTest::newRow("point") << int('.') << 0;
        QTest::newRow("space") << int(' ') << 0;
    }
    void filterDigitKey()
    {
        QFETCH(int, key);
        QFETCH(int, passed);
        int16_t code = int16_t(key);
        FilterDigitKey(code);
        QCOMPARE(int(code), passed);
    }
};

QTEST_GUILESS_MAIN(TestMdlCommon)
#include "tst_mdlcommon.moc"
