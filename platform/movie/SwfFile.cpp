#include "movie/SwfFile.h"

#include <QtEndian>
#include <algorithm>
#include <lzma.h>
#include <zlib.h>

namespace platform::swf {

namespace {

// Inflates a zlib stream as far as it goes: a stream cut short or damaged near its end gives
// what came before, as the web player plays it. nullopt when nothing comes out or more than
// `limit` would.
std::optional<QByteArray> inflated(const QByteArray& data, qsizetype sizeHint, qsizetype limit)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return std::nullopt;
    QByteArray body(std::clamp<qsizetype>(sizeHint, 1024, limit), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    bool tooLarge = false;
    for (;;) {
        if (qsizetype(stream.total_out) == body.size()) {
            if (body.size() >= limit) {
                tooLarge = true;
                break;
            }
            body.resize(std::min(body.size() * 2, limit));
        }
        stream.next_out = reinterpret_cast<Bytef*>(body.data() + stream.total_out);
        stream.avail_out = uInt(body.size() - qsizetype(stream.total_out));
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK)
            break; // the end, damage, or no more input
    }
    body.truncate(qsizetype(stream.total_out));
    inflateEnd(&stream);
    if (tooLarge || body.isEmpty())
        return std::nullopt;
    return body;
}

// The LZMA body, as far as it decodes ("ZWS": compressed length (4 bytes), LZMA properties
// (5 bytes), raw LZMA data). The stored size bounds the output; a wrong one is tolerated.
std::optional<QByteArray> lzmaBody(const QByteArray& file, qsizetype bodyLength)
{
    if (file.size() < 17 || bodyLength > MaxBodySize)
        return std::nullopt;
    QByteArray alone = file.mid(12, 5); // the .lzma header: properties, then the size
    QByteArray size(8, Qt::Uninitialized);
    qToLittleEndian(quint64(bodyLength), size.data());
    alone += size + file.mid(17);
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&stream, UINT64_MAX) != LZMA_OK)
        return std::nullopt;
    QByteArray body(bodyLength, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<const uint8_t*>(alone.constData());
    stream.avail_in = size_t(alone.size());
    stream.next_out = reinterpret_cast<uint8_t*>(body.data());
    stream.avail_out = size_t(body.size());
    // Whatever the result, what decoded is the movie: an end of input before the stored size
    // (a wrong length, a file cut short) leaves the part before it.
    [[maybe_unused]] const lzma_ret result = lzma_code(&stream, LZMA_FINISH);
    body.truncate(qsizetype(stream.total_out));
    lzma_end(&stream);
    return body.isEmpty() ? std::nullopt : std::optional<QByteArray>(body);
}

// Bytes taken by a RECT record that starts at data[0].
qsizetype rectLength(const QByteArray& data)
{
    if (data.isEmpty())
        return 0;
    const int bits = (quint8(data[0]) >> 3) * 4 + 5;
    return (bits + 7) / 8;
}

// The uncompressed bytes after the 8-byte header, or nullopt. The header's length is only a
// hint: the web player plays files whose length is off, and so are they read here.
std::optional<QByteArray> uncompressedBody(const QByteArray& file, quint32 fileLength)
{
    const qsizetype bodyLength = qsizetype(fileLength) - 8;
    switch (file[0]) {
    case 'F':
        return file.size() - 8 <= MaxBodySize ? std::optional<QByteArray>(file.mid(8))
                                              : std::nullopt;
    case 'C':
        return inflated(file.mid(8), bodyLength, MaxBodySize);
    default:
        return bodyLength > 0 ? lzmaBody(file, bodyLength) : std::nullopt;
    }
}

// The first MaxHeadBody uncompressed bytes at most, of a file that may be cut short.
std::optional<QByteArray> headBody(const QByteArray& head, quint32 fileLength)
{
    const qsizetype bodyLength = std::min<qsizetype>(qsizetype(fileLength) - 8, MaxHeadBody);
    switch (head[0]) {
    case 'F':
        return head.mid(8, MaxHeadBody);
    case 'C': {
        // Inflating stops at the limit with the body so far: that is all a head needs.
        z_stream stream{};
        if (inflateInit(&stream) != Z_OK)
            return std::nullopt;
        QByteArray body(MaxHeadBody, Qt::Uninitialized);
        const QByteArray data = head.mid(8);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
        stream.avail_in = uInt(data.size());
        stream.next_out = reinterpret_cast<Bytef*>(body.data());
        stream.avail_out = uInt(body.size());
        inflate(&stream, Z_SYNC_FLUSH);
        body.truncate(qsizetype(stream.total_out));
        inflateEnd(&stream);
        return body.isEmpty() ? std::nullopt : std::optional<QByteArray>(body);
    }
    default:
        return bodyLength > 0 ? lzmaBody(head, bodyLength) : std::nullopt;
    }
}

// The header's fields and the tags in an uncompressed body.
std::optional<SwfFile> movieFromBody(int version, const QByteArray& body)
{
    SwfFile swf;
    swf.version = version;
    const qsizetype rect = rectLength(body);
    if (body.size() < rect + 4)
        return std::nullopt;
    swf.frameRect = body.left(rect);
    swf.frameRate = qFromLittleEndian<quint16>(body.constData() + rect);
    swf.frameCount = qFromLittleEndian<quint16>(body.constData() + rect + 2);
    swf.tags = readTags(body, rect + 4);
    return swf;
}

void appendTag(QByteArray& out, const Tag& tag)
{
    char header[6];
    const qsizetype length = tag.body.size();
    if (length < 0x3F && tag.code != DefineShape && tag.code != DoABC) {
        qToLittleEndian(quint16((tag.code << 6) | int(length)), header);
        out.append(header, 2);
    } else {
        qToLittleEndian(quint16((tag.code << 6) | 0x3F), header);
        qToLittleEndian(quint32(length), header + 2);
        out.append(header, 6);
    }
    out.append(tag.body);
}

} // namespace

QList<Tag> readTags(const QByteArray& data, qsizetype from)
{
    QList<Tag> tags;
    for (qsizetype at = from; at + 2 <= data.size();) {
        const quint16 header = qFromLittleEndian<quint16>(data.constData() + at);
        at += 2;
        qsizetype length = header & 0x3F;
        if (length == 0x3F) {
            if (at + 4 > data.size())
                break;
            length = qsizetype(qFromLittleEndian<quint32>(data.constData() + at));
            at += 4;
        }
        // A tag running past the end ends the movie there, as in the web player.
        if (length < 0 || at + length > data.size())
            break;
        tags.append({header >> 6, data.mid(at, length)});
        at += length;
        if ((header >> 6) == End)
            break;
    }
    return tags;
}

bool looksLikeSwf(const QByteArray& head)
{
    return head.size() >= 3 &&
           (head.startsWith("FWS") || head.startsWith("CWS") || head.startsWith("ZWS"));
}

std::optional<SwfFile> readSwf(const QByteArray& file)
{
    if (file.size() < 8 || !looksLikeSwf(file))
        return std::nullopt;
    const auto body = uncompressedBody(file, qFromLittleEndian<quint32>(file.constData() + 4));
    return body ? movieFromBody(quint8(file[3]), *body) : std::nullopt;
}

std::optional<SwfFile> readSwfHead(const QByteArray& head)
{
    if (head.size() < 8 || !looksLikeSwf(head))
        return std::nullopt;
    const auto body = headBody(head, qFromLittleEndian<quint32>(head.constData() + 4));
    return body ? movieFromBody(quint8(head[3]), *body) : std::nullopt;
}

bool SwfFile::isActionScript3() const
{
    for (const Tag& tag : tags)
        if (tag.code == FileAttributes && !tag.body.isEmpty())
            return (quint8(tag.body[0]) & 0x08) != 0;
    return false;
}

namespace {

// "ZWS" layout: compressed length (4 bytes), LZMA properties (5 bytes), raw LZMA data.
QByteArray lzmaCompressed(const QByteArray& body)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&stream, &options) != LZMA_OK)
        return {};
    QByteArray out(body.size() + body.size() / 2 + 1024, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<const uint8_t*>(body.constData());
    stream.avail_in = size_t(body.size());
    stream.next_out = reinterpret_cast<uint8_t*>(out.data());
    stream.avail_out = size_t(out.size());
    const bool done = lzma_code(&stream, LZMA_FINISH) == LZMA_STREAM_END;
    out.truncate(qsizetype(stream.total_out));
    lzma_end(&stream);
    if (!done || out.size() < 13)
        return {};
    // The .lzma header holds properties (5 bytes) and the size (8 bytes); SWF drops the size.
    char length[4];
    qToLittleEndian(quint32(out.size() - 13), length);
    return QByteArray(length, 4) + out.left(5) + out.mid(13);
}

} // namespace

namespace {

// Whether `test` holds for a tag of the timeline or of a sprite in it, at any depth.
template <typename Test> bool anyTag(const QList<Tag>& tags, const Test& test, int depth = 0)
{
    for (const Tag& tag : tags) {
        if (test(tag))
            return true;
        // A sprite: id and frame count, then its own tags. Nesting is bounded: a file can
        // not make the reader recurse without end.
        if (tag.code == DefineSprite && depth < 64 &&
            anyTag(readTags(tag.body, 4), test, depth + 1))
            return true;
    }
    return false;
}

bool isScript(const Tag& tag)
{
    return tag.code == DoAction || tag.code == DoInitAction || tag.code == DoABC ||
           tag.code == PlaceObject2 || tag.code == PlaceObject3; // clip actions
}

} // namespace

bool SwfFile::mayUseDeviceText() const
{
    return anyTag(tags, [](const Tag& tag) {
        if (tag.code == DefineEditText) {
            // Character id, bounds, then two flag bytes; the last flag says "use outlines".
            const qsizetype flags = 2 + rectLength(tag.body.mid(2));
            return tag.body.size() < flags + 2 || !(quint8(tag.body[flags + 1]) & 0x01);
        }
        if (tag.code == DoAction || tag.code == DoInitAction)
            return tag.body.contains("createTextField");
        return tag.code == DoABC && tag.body.contains("TextField");
    });
}

bool SwfFile::mayPlaySound() const
{
    return anyTag(tags, [](const Tag& tag) {
        switch (tag.code) {
        case DefineSound:
        case StartSound:
        case StartSound2:
        case DefineButtonSound:
        case SoundStreamHead:
        case SoundStreamHead2:
        case DefineVideoStream: // a video's sound comes with its stream
            return true;
        default:
            // Sounds and streams loaded by scripts: the class names stand in the code.
            return isScript(tag) && (tag.body.contains("Sound") || tag.body.contains("NetStream") ||
                                     tag.body.contains("Microphone"));
        }
    });
}

namespace {

// An old-style GetURL2 action that loads into a clip: code 0x9A, length 1, the load-target flag.
bool hasLoadIntoClip(const QByteArray& code)
{
    const QByteArray action("\x9a\x01\x00", 3);
    for (qsizetype at = code.indexOf(action); at >= 0 && at + 3 < code.size();
         at = code.indexOf(action, at + 1)) {
        if (quint8(code[at + 3]) & 0x40)
            return true;
    }
    return false;
}

} // namespace

bool SwfFile::mayLoadMovies() const
{
    return anyTag(tags, [](const Tag& tag) {
        if (tag.code == DoABC) // the class name as it stands in the constant pool
            return tag.body.contains(QByteArray("\x06Loader"));
        // A level is a target by its name: getURL to "_levelN", or the name pushed for GetURL2.
        return isScript(tag) &&
               (tag.body.contains("loadMovie") || tag.body.contains("MovieClipLoader") ||
                tag.body.contains(QByteArray("\0_level", 7)) || hasLoadIntoClip(tag.body));
    });
}

QByteArray SwfFile::toBytes(Compression compression) const
{
    QByteArray body = frameRect;
    char numbers[4];
    qToLittleEndian(frameRate, numbers);
    qToLittleEndian(frameCount, numbers + 2);
    body.append(numbers, 4);
    for (const Tag& tag : tags)
        appendTag(body, tag);
    if (tags.isEmpty() || tags.last().code != End)
        appendTag(body, {End, {}});

    QByteArray file(compression == Compression::Zlib   ? "CWS"
                    : compression == Compression::Lzma ? "ZWS"
                                                       : "FWS");
    file.append(char(version));
    char length[4];
    qToLittleEndian(quint32(body.size() + 8), length);
    file.append(length, 4);
    switch (compression) {
    case Compression::None:
        return file + body;
    case Compression::Zlib:
        return file + qCompress(body).mid(4); // without qCompress's own size prefix
    case Compression::Lzma:
        return file + lzmaCompressed(body);
    }
    return {};
}

} // namespace platform::swf
