// Makes the movies and pictures the program folder ships and the test movies, from source:
//
//   make-movies cp932-table FILE.hx      the code page 932 table the effect movies decode with
//   make-movies samples PROGRAM_FOLDER   img/dummy.swf, ani/quandor.swf, sample images
//   make-movies fixtures FOLDER AS3.swf  timeline test movies: SWF 6, SWF 8, and ActionScript 3
//                                        (frames added to the code of a compiled movie)
//   make-movies mark-effect IN OUT EFFECT  a compiled effect movie with the marker that lets the
//                                        player show it natively (none, fade or slide)

#include "movie/SlideEffectMarker.h"
#include "movie/SwfWriter.h"
#include "text/Cp932.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cstdio>

using namespace platform::swf;
using platform::movie::SlideEffect;
using platform::movie::withSlideEffectMarker;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make-movies: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Every two-byte character of code page 932 in lead-byte rows of 189 trail bytes (0x40 to
// 0xFC); U+FFFD where a code has no character.
int cp932Table(const QString& path)
{
    QString characters;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!platform::isCp932LeadByte(uchar(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const QString decoded = platform::fromCp932(QByteArray(1, char(lead)) + char(trail));
            characters += decoded.size() == 1 ? decoded[0] : QChar(0xFFFD);
        }
    }
    characters.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    const QString source =
        QStringLiteral("// Made by make-movies from the code page 932 converter.\n"
                       "class Cp932Table {\n\tpublic static var Characters = \"") +
        characters + QStringLiteral("\";\n}\n");
    return writeFile(path, source.toUtf8()) ? 0 : 1;
}

// A timeline of `frames` frames at 12 per second: coloured squares crossing a 400 x 300 stage,
// stopping on the last frame.
SwfFile timelineMovie(int version, int frames)
{
    SwfFile swf = emptyMovie(version, 400, 300, 12);
    swf.tags << backgroundColor(qRgb(0, 0, 64))
             << rectangleShape(1, QRect(0, 0, 1600, 1600), qRgb(255, 64, 0))
             << rectangleShape(2, QRect(0, 0, 1000, 1000), qRgb(0, 200, 255));
    swf.tags << placeObject(1, 1, 0, 1000) << placeObject(2, 2, 6000, 3000) << showFrame();
    for (int f = 1; f < frames; ++f) {
        swf.tags << moveObject(1, f * 6000 / frames, 1000 + f * 2000 / frames)
                 << moveObject(2, 6000 - f * 5000 / frames, 3000);
        if (f == frames - 1)
            swf.tags << doAction(action::stop());
        swf.tags << showFrame();
    }
    swf.frameCount = quint16(frames);
    return swf;
}

// The sample animation: a sunrise over the board, five seconds, then it stays.
SwfFile sampleAnimation()
{
    SwfFile swf = emptyMovie(6, 1016, 677, 12);
    constexpr int frames = 60;
    const int t = TwipsPerPixel;
    swf.tags << backgroundColor(qRgb(10, 20, 60))
             << rectangleShape(1, QRect(0, 0, 1016 * t, 200 * t), qRgb(20, 90, 40))   // ground
             << rectangleShape(2, QRect(0, 0, 160 * t, 160 * t), qRgb(255, 190, 40))  // sun
             << rectangleShape(3, QRect(0, 0, 300 * t, 40 * t), qRgb(240, 240, 255)); // cloud
    swf.tags << placeObject(1, 2, 428 * t, 600 * t) << placeObject(2, 3, -300 * t, 120 * t)
             << placeObject(3, 1, 0, 477 * t) << showFrame();
    for (int f = 1; f < frames; ++f) {
        swf.tags << moveObject(1, 428 * t, (600 - 420 * f / (frames - 1)) * t)
                 << moveObject(2, (-300 + 1316 * f / (frames - 1)) * t, 120 * t);
        if (f == frames - 1)
            swf.tags << doAction(action::stop());
        swf.tags << showFrame();
    }
    swf.frameCount = frames;
    return swf;
}

QImage sampleImage(const QString& title, QColor from, QColor to)
{
    QImage image(1016, 677, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 1016, 677);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(image.rect(), gradient);
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(96);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter, title);
    return image;
}

int samples(const QString& programFolder)
{
    const QDir folder(programFolder);
    bool ok =
        writeFile(folder.filePath(QStringLiteral("img/dummy.swf")),
                  withSlideEffectMarker(emptyMovie(8, 1016, 677, 12), SlideEffect::Placeholder)
                      .toBytes()) &&
        writeFile(folder.filePath(QStringLiteral("ani/quandor.swf")), sampleAnimation().toBytes());
    const struct
    {
        const char* name;
        const char* title;
        QColor from, to;
    } images[] = {
        {"quandor.jpg", "Lumaret", QColor(20, 40, 120), QColor(120, 20, 90)},
        {"sample1.jpg", "本日のおすすめ", QColor(200, 80, 20), QColor(240, 190, 40)},
        {"sample2.jpg", "営業時間 10:00-20:00", QColor(20, 110, 60), QColor(30, 160, 170)},
        {"sample3.jpg", "ご来店ありがとうございます", QColor(90, 30, 140), QColor(20, 60, 160)},
    };
    for (const auto& i : images)
        ok = ok &&
             sampleImage(QString::fromUtf8(i.title), i.from, i.to)
                 .save(folder.filePath(QStringLiteral("img/") + QLatin1String(i.name)), "JPEG", 90);
    return ok ? 0 : 1;
}

// An animated GIF of `frames` frames, each filled with one of four colours in turn, 0.1 s a
// frame, looping for ever. Pixels are stored uncompressed: a clear code before every two
// pixel codes keeps the code width at 3 bits.
QByteArray blinkingGif(int width, int height, int frames)
{
    QByteArray gif("GIF89a");
    const auto u16 = [&gif](int v) { gif.append(char(v & 0xFF)).append(char(v >> 8)); };
    u16(width);
    u16(height);
    gif.append(char(0x91)).append('\0').append('\0'); // global table of 4 colours
    gif.append(QByteArray::fromHex("ff0000"
                                   "00ff00"
                                   "0000ff"
                                   "ffffff"));
    gif.append(QByteArray::fromHex("21ff0b") + "NETSCAPE2.0" +
               QByteArray::fromHex("03010000"
                                   "00"));
    for (int f = 0; f < frames; ++f) {
        gif.append(QByteArray::fromHex("21f904"
                                       "00"
                                       "0a00"
                                       "00"
                                       "00")); // 0.1 s
        gif.append(char(0x2C));
        u16(0);
        u16(0);
        u16(width);
        u16(height);
        gif.append('\0');
        gif.append(char(2)); // minimum code size
        QByteArray codes;
        quint32 bits = 0;
        int count = 0;
        const auto put = [&](int code) {
            bits |= quint32(code) << count;
            count += 3;
            while (count >= 8) {
                codes.append(char(bits & 0xFF));
                bits >>= 8;
                count -= 8;
            }
        };
        for (int p = 0; p < width * height; ++p) {
            if (p % 2 == 0)
                put(4); // clear
            put(f % 4);
        }
        put(5); // end
        if (count > 0)
            codes.append(char(bits & 0xFF));
        for (qsizetype at = 0; at < codes.size(); at += 255) {
            const QByteArray block = codes.mid(at, 255);
            gif.append(char(block.size())).append(block);
        }
        gif.append('\0');
    }
    gif.append(';');
    return gif;
}

// The ActionScript 3 timeline: the compiled movie's code, then the frames of the old-style one.
int fixtures(const QString& folder, const QString& as3Code)
{
    const QDir dir(folder);
    bool ok =
        writeFile(dir.filePath(QStringLiteral("timeline6.swf")), timelineMovie(6, 24).toBytes()) &&
        writeFile(dir.filePath(QStringLiteral("timeline8.swf")), timelineMovie(8, 24).toBytes()) &&
        writeFile(dir.filePath(QStringLiteral("blink.gif")), blinkingGif(16, 16, 4)) &&
        writeFile(dir.filePath(QStringLiteral("timeline6-zlib.swf")),
                  timelineMovie(6, 24).toBytes(SwfFile::Compression::Zlib)) &&
        writeFile(dir.filePath(QStringLiteral("timeline8-lzma.swf")),
                  timelineMovie(8, 24).toBytes(SwfFile::Compression::Lzma));
    QFile compiled(as3Code);
    const auto code =
        compiled.open(QIODevice::ReadOnly) ? readSwf(compiled.readAll()) : std::nullopt;
    if (!code) {
        std::fprintf(stderr, "make-movies: cannot read %s\n", qPrintable(as3Code));
        return 1;
    }
    const SwfFile frames = timelineMovie(10, 24);
    SwfFile as3 = *code;
    as3.frameRect = frames.frameRect;
    as3.frameRate = frames.frameRate;
    as3.frameCount = frames.frameCount;
    as3.tags.clear();
    for (const Tag& tag : code->tags) {
        if (tag.code == ShowFrame || tag.code == End)
            break;
        as3.tags << tag;
    }
    for (const Tag& tag : frames.tags)
        if (tag.code != DoAction) // the code stops the last frame itself
            as3.tags << tag;
    ok = ok && writeFile(dir.filePath(QStringLiteral("timeline-as3.swf")), as3.toBytes());
    return ok ? 0 : 1;
}

// The compiled effect movie at `in` with the marker of `effect`, compressed as it was.
int markEffect(const QString& in, const QString& out, const QString& effectName)
{
    const struct
    {
        const char* name;
        SlideEffect effect;
    } effects[] = {
        {"none", SlideEffect::None}, {"fade", SlideEffect::Fade}, {"slide", SlideEffect::Slide}};
    const auto* effect = std::find_if(std::begin(effects), std::end(effects), [&](const auto& e) {
        return effectName == QLatin1String(e.name);
    });
    QFile compiled(in);
    const QByteArray bytes = compiled.open(QIODevice::ReadOnly) ? compiled.readAll() : QByteArray();
    const auto movie = readSwf(bytes);
    if (!movie || effect == std::end(effects)) {
        std::fprintf(stderr, "make-movies: cannot mark %s as %s\n", qPrintable(in),
                     qPrintable(effectName));
        return 1;
    }
    const auto compression = bytes.startsWith("CWS")   ? SwfFile::Compression::Zlib
                             : bytes.startsWith("ZWS") ? SwfFile::Compression::Lzma
                                                       : SwfFile::Compression::None;
    return writeFile(out, withSlideEffectMarker(*movie, effect->effect).toBytes(compression)) ? 0
                                                                                              : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv); // fonts and image writers
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("cp932-table"))
        return cp932Table(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("samples"))
        return samples(args[2]);
    if (args.size() == 4 && args[1] == QLatin1String("fixtures"))
        return fixtures(args[2], args[3]);
    if (args.size() == 5 && args[1] == QLatin1String("mark-effect"))
        return markEffect(args[2], args[3], args[4]);
    std::fprintf(stderr, "usage: make-movies cp932-table FILE | samples FOLDER | fixtures FOLDER "
                         "AS3.swf | mark-effect IN OUT none|fade|slide\n");
    return 2;
}
