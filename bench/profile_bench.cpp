// Settings file benchmark, run by hand: one GetIniString of a key near the end of a 64 KiB
// settings file (the supervision reads a key every second), and one write of a key into a
// 4 KiB file including the atomic replace.

#include "mdlCommon.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

// A settings file of about `bytes` bytes: sections of ten keys each, the asked key last.
QByteArray settingsFile(int bytes)
{
    QByteArray text;
    for (int section = 0; text.size() < bytes; ++section) {
        text += "[SECTION" + QByteArray::number(section) + "]\r\n";
        for (int key = 0; key < 10; ++key)
            text += "key" + QByteArray::number(key) + "=value of some length " +
                    QByteArray::number(section) + "\r\n";
    }
    return text + "[ENVIRONMENT]\r\noptTarget=1\r\n";
}

template <typename Body> void report(const char* what, int runs, Body&& body)
{
    std::vector<double> micros;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        body(i);
        micros.push_back(double(clock.nsecsElapsed()) / 1e3);
    }
    std::sort(micros.begin(), micros.end());
    const double mean = std::accumulate(micros.begin(), micros.end(), 0.0) / double(runs);
    std::printf("%s: mean %.1f us, median %.1f, p99 %.1f, max %.1f (%d runs)\n", what, mean,
                micros[micros.size() / 2], micros[size_t(double(runs - 1) * 0.99)], micros.back(),
                runs);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.ini"));
    writeFile(big, settingsFile(64 * 1024));
    report("GetIniString, last key of a 64 KiB file", 5000, [&](int) {
        mdlCommon::GetIniString(big, QStringLiteral("ENVIRONMENT"), QStringLiteral("optTarget"),
                                QString());
    });

    const QString small = dir.filePath(QStringLiteral("small.ini"));
    writeFile(small, settingsFile(4 * 1024));
    report("WriteIniString into a 4 KiB file (atomic replace)", 500, [&](int i) {
        mdlCommon::WriteIniString(small, QStringLiteral("SECTION3"), QStringLiteral("key5"),
                                  QString::number(i));
    });
    return 0;
}
