// A writer killed at any moment leaves the settings file complete: the old content or the
// new one, never a torn mix. Run with "--writer FILE" this program is that writer.

#include "profile/PrivateProfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int KeyCount = 10;

QByteArray keyName(int i)
{
    return "key" + QByteArray::number(i);
}

// Rewrites the keys forever with values of changing length.
[[noreturn]] void runWriter(const QString& path)
{
    for (int round = 0;; ++round)
        for (int i = 0; i < KeyCount; ++i)
            platform::WritePrivateProfileStringA(
                "s", keyName(i), QByteArray(1 + (round * 7 + i) % 40, 'a' + char(i)), path);
}

} // namespace

class TestProfileCrash : public QObject
{
    Q_OBJECT

private slots:
    void killedWriterLeavesACompleteFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lumaret.ini"));
        for (int i = 0; i < KeyCount; ++i)
            QVERIFY(platform::WritePrivateProfileStringA("s", keyName(i), "start", path));

        QSet<QByteArray> seen;
        for (int kill = 0; kill < 40; ++kill) {
            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--writer"), path});
            QVERIFY(writer.waitForStarted());
            QTest::qSleep(20 + int(QRandomGenerator::global()->bounded(40)));
            writer.kill();
            QVERIFY(writer.waitForFinished());

            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray text = file.readAll();
            QVERIFY2(text.startsWith("[s]\r\n") && text.endsWith("\r\n"), text.constData());
            QCOMPARE(text.count("\r\n"), KeyCount + 1);
            seen.insert(text);
            for (int i = 0; i < KeyCount; ++i) {
                char buffer[256];
                QVERIFY(platform::GetPrivateProfileStringA("s", keyName(i), "", buffer,
                                                           sizeof buffer, path) > 0);
            }
        }
        QVERIFY2(seen.size() > 10, "the writer hardly ever ran");
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--writer")
        runWriter(QString::fromLocal8Bit(argv[2]));
    TestProfileCrash test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_profile_crash.moc"
