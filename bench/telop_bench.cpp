// Telop benchmarks, run by hand (see README.md in this folder).
//
//   telop_bench compose          cost of one ScrollStep and of BuildTextStrip (offscreen)
//   telop_bench live [SECONDS]   a shown telop scrolling at Interval 40: process CPU, resident
//                                memory and tick intervals (run under a real or virtual display)
//
// Both use the player's set-up: 1016 x 120 pixels, the shipped 5 x 5 dots, "ＭＳ Ｐゴシック"
// 9 pt and a 127-character Japanese text.

#include "CtlStrovel.h"
#include "CtlStrovelProbe.h"

#include "com/PropertyBag.h"
#include "runtime/FontNames.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <sys/resource.h>
#include <vector>

namespace {

QString japaneseText127()
{
    const QString phrase = QStringLiteral(
        "本日はご来店いただき誠にありがとうございます。ただいま全品２割引セール開催中！");
    QString text;
    while (text.size() < 127)
        text += phrase;
    return text.left(127);
}

QPixmap shippedDot(const char* name)
{
    return QPixmap(QDir(QStringLiteral(PROGRAM_DIR)).filePath(QString::fromLatin1(name)));
}

void setUpLikeThePlayer(CtlStrovel& telop)
{
    telop.resize(1016, 120);
    platform::PropertyBag design;
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPointSizeF(9);
    design.WriteProperty(QStringLiteral("font"), font);
    design.WriteProperty(QStringLiteral("frontbmp"), shippedDot("on.bmp"));
    design.WriteProperty(QStringLiteral("backbmp"), shippedDot("off.bmp"));
    telop.ReadProperties(design);
    telop.setInterval(40);
    telop.setMoveCount(1);
    telop.setText(japaneseText127());
}

struct Stats
{
    double mean, stddev, min, max, p99;
};

Stats statsOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    double squares = 0;
    for (double v : values)
        squares += (v - mean) * (v - mean);
    return {mean, std::sqrt(squares / double(values.size())), values.front(), values.back(),
            values[size_t(double(values.size() - 1) * 0.99)]};
}

// Runs `body` `runs` times and returns each run's time in milliseconds.
template <typename Body> std::vector<double> timeRuns(int runs, Body&& body)
{
    std::vector<double> times;
    times.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        body();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return times;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString statusField(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return QString::fromLatin1(line.mid(int(qstrlen(field)))).simplified();
    return {};
}

int compose()
{
    CtlStrovel telop;
    setUpLikeThePlayer(telop);
    telop.show();
    CtlStrovelProbe probe(telop);
    std::printf("board %d x %d, text image %d x %d, strip %d x %d\n", probe.PIC_B().width(),
                probe.PIC_B().height(), probe.PIC_STR().width(), probe.PIC_STR().height(),
                probe.PIC_M().width(), probe.PIC_M().height());

    const Stats b = statsOf(timeRuns(50, [&] { probe.BuildTextStrip(); }));
    std::printf("BuildTextStrip: mean %.2f ms, min %.2f, max %.2f (50 runs)\n", b.mean, b.min,
                b.max);

    telop.Action(CtlStrovel::RtoL);
    telop.setInterval(0); // only this loop ticks
    const Stats s = statsOf(timeRuns(20000, [&] { probe.ScrollStep(); }));
    std::printf("ScrollStep: mean %.4f ms, p99 %.4f, max %.4f (20000 ticks)\n", s.mean, s.p99,
                s.max);
    return 0;
}

int live(QApplication& app, int seconds)
{
    CtlStrovel telop;
    setUpLikeThePlayer(telop);
    telop.Action(CtlStrovel::RtoL);
    telop.show();

    // Each tick asks for one repaint; the paint times are the tick times as the screen sees them.
    struct PaintClock : QObject
    {
        QElapsedTimer clock;
        std::vector<double> at;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                at.push_back(double(clock.nsecsElapsed()) / 1e6);
            return false;
        }
    } paints;

    double cpuAtStart = 0;
    // Settle for a second after start-up, then measure.
    QTimer::singleShot(1000, Qt::PreciseTimer, &app, [&] {
        cpuAtStart = cpuSeconds();
        paints.clock.start();
        telop.installEventFilter(&paints);
    });
    QTimer::singleShot(1000 + seconds * 1000, Qt::PreciseTimer, &app, [&] {
        const double cpu = cpuSeconds() - cpuAtStart;
        const double wall = double(paints.clock.nsecsElapsed()) / 1e9;
        std::vector<double> intervals;
        for (size_t i = 1; i < paints.at.size(); ++i)
            intervals.push_back(paints.at[i] - paints.at[i - 1]);
        std::printf("live %.1f s: CPU %.2f %% of one core, resident %s (peak %s)\n", wall,
                    100.0 * cpu / wall, qPrintable(statusField("VmRSS:")),
                    qPrintable(statusField("VmHWM:")));
        if (!intervals.empty()) {
            const Stats t = statsOf(intervals);
            const auto within2 = std::count_if(intervals.begin(), intervals.end(),
                                               [](double v) { return std::abs(v - 40.0) <= 2.0; });
            std::printf("tick interval: mean %.2f ms, stddev %.2f, min %.2f, max %.2f, %zu ticks, "
                        "%.1f %% within 2 ms of 40\n",
                        t.mean, t.stddev, t.min, t.max, intervals.size(),
                        100.0 * double(within2) / double(intervals.size()));
        }
        app.quit();
    });
    return app.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    const QStringList args = app.arguments();
    if (args.size() >= 2 && args[1] == QLatin1String("compose"))
        return compose();
    if (args.size() >= 2 && args[1] == QLatin1String("live"))
        return live(app, args.size() >= 3 ? args[2].toInt() : 10);
    std::fprintf(stderr, "usage: telop_bench compose | live [SECONDS]\n");
    return 2;
}
