#include "movie/SwfWriter.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace platform::swf {

namespace {

class BitWriter
{
public:
    void unsignedBits(quint32 value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            bit((value >> i) & 1u);
    }
    void signedBits(qint32 value, int count)
    {
        unsignedBits(quint32(value) & ((1u << count) - 1u), count);
    }
    QByteArray bytes() const { return m_bytes; }

private:
    void bit(quint32 b)
    {
        if (m_used == 0)
            m_bytes.append('\0');
        if (b)
            m_bytes.back() = char(quint8(m_bytes.back()) | (0x80 >> m_used));
        m_used = (m_used + 1) % 8;
    }
    QByteArray m_bytes;
    int m_used = 0;
};

// Bits a signed value needs.
int signedBitsFor(qint32 value)
{
    int bits = 1;
    while (value < -(1 << (bits - 1)) || value >= (1 << (bits - 1)))
        ++bits;
    return bits;
}

int signedBitsFor(std::initializer_list<qint32> values)
{
    int bits = 1;
    for (qint32 v : values)
        bits = std::max(bits, signedBitsFor(v));
    return bits;
}

QByteArray uint16(quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 2);
}

QByteArray rgb(QRgb colour)
{
    return QByteArray(1, char(qRed(colour))) + char(qGreen(colour)) + char(qBlue(colour));
}

// A translation-only MATRIX record.
QByteArray translation(int x, int y)
{
    BitWriter bits;
    bits.unsignedBits(0, 1); // no scale
    bits.unsignedBits(0, 1); // no rotate
    const int n = signedBitsFor({x, y});
    bits.unsignedBits(quint32(n), 5);
    bits.signedBits(x, n);
    bits.signedBits(y, n);
    return bits.bytes();
}

// An action record: code, and for codes 0x80 and above a length and its data.
QByteArray actionRecord(quint8 code, const QByteArray& data = {})
{
    QByteArray record(1, char(code));
    if (code >= 0x80)
        record += uint16(quint16(data.size())) + data;
    return record;
}

QByteArray pushString(const QByteArray& text)
{
    return QByteArray(1, '\0') + text + '\0';
}

QByteArray pushFloat(float value)
{
    char bytes[4];
    quint32 bitsOfValue = 0;
    std::memcpy(&bitsOfValue, &value, 4);
    qToLittleEndian(bitsOfValue, bytes);
    return QByteArray(1, '\1') + QByteArray(bytes, 4);
}

} // namespace

QByteArray rectRecord(const QRect& r)
{
    const qint32 values[4] = {r.left(), r.left() + r.width(), r.top(), r.top() + r.height()};
    const int n = signedBitsFor({values[0], values[1], values[2], values[3]});
    BitWriter bits;
    bits.unsignedBits(quint32(n), 5);
    for (qint32 v : values)
        bits.signedBits(v, n);
    return bits.bytes();
}

Tag backgroundColor(QRgb colour)
{
    return {SetBackgroundColor, rgb(colour)};
}

Tag rectangleShape(quint16 id, const QRect& r, QRgb fill)
{
    QByteArray body = uint16(id) + rectRecord(r);
    body += QByteArray(1, '\1') + QByteArray(1, '\0') + rgb(fill); // one solid fill style
    body += QByteArray(1, '\0');                                   // no line styles
    BitWriter bits;
    bits.unsignedBits(1, 4); // fill bits
    bits.unsignedBits(0, 4); // line bits
    // Move to the top left corner with fill style 1.
    const int moveBits = signedBitsFor({r.left(), r.top()});
    bits.unsignedBits(0, 1);       // style change record
    bits.unsignedBits(0b00101, 5); // new styles no, line style no, fill 1 yes, fill 0 no, move yes
    bits.unsignedBits(quint32(moveBits), 5);
    bits.signedBits(r.left(), moveBits);
    bits.signedBits(r.top(), moveBits);
    bits.unsignedBits(1, 1); // fill style 1
    // Four straight edges: right, down, left, up.
    const QPoint edges[4] = {{r.width(), 0}, {0, r.height()}, {-r.width(), 0}, {0, -r.height()}};
    for (const QPoint& e : edges) {
        const int n = std::max(2, signedBitsFor({e.x(), e.y()}));
        bits.unsignedBits(1, 1); // edge record
        bits.unsignedBits(1, 1); // straight
        bits.unsignedBits(quint32(n - 2), 4);
        const bool vertical = e.x() == 0;
        bits.unsignedBits(0, 1); // not a general line
        bits.unsignedBits(vertical ? 1 : 0, 1);
        bits.signedBits(vertical ? e.y() : e.x(), n);
    }
    bits.unsignedBits(0, 6); // end of shape
    body += bits.bytes();
    return {DefineShape, body};
}

Tag placeObject(quint16 depth, quint16 id, int x, int y)
{
    return {PlaceObject2,
            QByteArray(1, char(0x06)) + uint16(depth) + uint16(id) + translation(x, y)};
}

Tag moveObject(quint16 depth, int x, int y)
{
    return {PlaceObject2, QByteArray(1, char(0x05)) + uint16(depth) + translation(x, y)};
}

Tag showFrame()
{
    return {ShowFrame, {}};
}

Tag doAction(const QByteArray& actions)
{
    return {DoAction, actions + '\0'};
}

namespace action {

QByteArray stop()
{
    return actionRecord(0x07);
}

QByteArray getUrl(const QByteArray& url, const QByteArray& target)
{
    return actionRecord(0x83, url + '\0' + target + '\0');
}

// Pushes flash.external.ExternalInterface.
QByteArray pushExternalInterface()
{
    return actionRecord(0x96, pushString("flash")) + actionRecord(0x1C)      // GetVariable
           + actionRecord(0x96, pushString("external")) + actionRecord(0x4E) // GetMember
           + actionRecord(0x96, pushString("ExternalInterface")) + actionRecord(0x4E);
}

// ExternalInterface.addCallback(name, null, function() { body })
QByteArray addCallback(const QByteArray& name, const QByteArray& body)
{
    const QByteArray function =
        actionRecord(0x9B, QByteArray(1, '\0') + uint16(0) + uint16(quint16(body.size()))) +
        body; // DefineFunction: anonymous, no parameters
    return function + actionRecord(0x96, QByteArray(1, '\2')) // push null
           + actionRecord(0x96, pushString(name) + pushFloat(3.0f)) + pushExternalInterface() +
           actionRecord(0x96, pushString("addCallback")) + actionRecord(0x52) // CallMethod
           + actionRecord(0x17);                                              // Pop
}

// ASSetPropFlags(object, name, set, clear), the object pushed by `pushObject`.
QByteArray setPropertyFlags(const QByteArray& pushObject, const QByteArray& name, float set,
                            float clear)
{
    return actionRecord(0x96, pushFloat(clear)) + actionRecord(0x96, pushFloat(set)) +
           actionRecord(0x96, pushString(name)) + pushObject +
           actionRecord(0x96, pushFloat(4.0f) + pushString("ASSetPropFlags")) +
           actionRecord(0x3D)    // CallFunction
           + actionRecord(0x17); // Pop
}

// The flag that hides a property from movies older than SWF 8, and all such version flags.
constexpr float HiddenBeforeSwf8 = 0x1000;
constexpr float AnyVersionFlag = 0x7F80;

// Movies older than SWF 8 do not see ExternalInterface: uncover it and addCallback for the
// two calls, then hide both again so the movie's own scripts find what they always found.
// A movie that made a "flash" of its own sees it: that one is neither uncovered nor hidden,
// and the movie simply does not offer the calls.
QByteArray uncoveringExternalInterface(const QByteArray& actions)
{
    const QByteArray pushGlobal = actionRecord(0x96, pushString("_global")) + actionRecord(0x1C);
    const QByteArray uncovered =
        setPropertyFlags(pushGlobal, "flash", 0, AnyVersionFlag) +
        setPropertyFlags(pushExternalInterface(), "addCallback", 0, AnyVersionFlag) + actions +
        setPropertyFlags(pushExternalInterface(), "addCallback", HiddenBeforeSwf8, 0) +
        setPropertyFlags(pushGlobal, "flash", HiddenBeforeSwf8, 0);
    const QByteArray flashInSight =
        actionRecord(0x96, pushString("flash")) + actionRecord(0x1C) + actionRecord(0x44) // TypeOf
        + actionRecord(0x96, pushString("undefined")) + actionRecord(0x49)                // Equals2
        + actionRecord(0x12);                                                             // Not
    const QByteArray skipIfSo = actionRecord(0x9D, uint16(quint16(uncovered.size())));    // If
    return flashInSight + skipIfSo + uncovered;
}

QByteArray offerTimelineControl(int version)
{
    const QByteArray gotoFirstAndStop = actionRecord(0x81, uint16(0)) + actionRecord(0x07);
    const QByteArray play = actionRecord(0x06);
    const QByteArray offers =
        addCallback("lumaretGotoFirst", gotoFirstAndStop) + addCallback("lumaretPlay", play);
    return version >= 8 ? offers : uncoveringExternalInterface(offers);
}

QByteArray reportCurrentFrame()
{
    // getURL("FSCommand:lumaret_frame", getProperty("", _currentframe))
    return actionRecord(0x96, pushString("FSCommand:lumaret_frame")) +
           actionRecord(0x96,
                        pushString("") + pushFloat(4.0f)) // target "", property 4 = _currentframe
           + actionRecord(0x22)                           // GetProperty
           + actionRecord(0x9A, QByteArray(1, '\0'));     // GetURL2
}

} // namespace action

SwfFile withFrameReports(SwfFile movie)
{
    QList<Tag> tags;
    tags.reserve(movie.tags.size() * 2);
    bool first = true;
    for (const Tag& tag : std::as_const(movie.tags)) {
        if (tag.code == ShowFrame) {
            if (first && movie.version >= OldestControllableVersion)
                tags.append(doAction(action::offerTimelineControl(movie.version)));
            first = false;
            tags.append(doAction(action::reportCurrentFrame()));
        }
        tags.append(tag);
    }
    movie.tags = tags;
    return movie;
}

SwfFile emptyMovie(int version, int width, int height, double framesPerSecond)
{
    SwfFile swf;
    swf.version = version;
    swf.frameRect = rectRecord(QRect(0, 0, width * TwipsPerPixel, height * TwipsPerPixel));
    swf.frameRate = quint16(framesPerSecond * 256);
    return swf;
}

} // namespace platform::swf
