#pragma once

// SWF movie files: reading the header and the tags of the main timeline from plain ("FWS"),
// zlib ("CWS") and LZMA ("ZWS") files, and writing plain files.

#include "movie/MovieExport.h"

#include <QByteArray>
#include <QList>
#include <optional>

namespace platform::swf {

enum TagCode : int
{
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    SetBackgroundColor = 9,
    DoAction = 12,
    DefineEditText = 37,
    DoInitAction = 59,
    DefineSound = 14,
    StartSound = 15,
    DefineButtonSound = 17,
    SoundStreamHead = 18,
    PlaceObject2 = 26,
    DefineSprite = 39,
    SoundStreamHead2 = 45,
    DefineVideoStream = 60,
    PlaceObject3 = 70,
    StartSound2 = 89,
    RemoveObject2 = 28,
    FileAttributes = 69,
    SymbolClass = 76,
    Metadata = 77,
    DoABC = 82,
};

struct Tag
{
    int code = End;
    QByteArray body;
};

struct PLATFORM_MOVIE_EXPORT SwfFile
{
    int version = 0;
    QByteArray frameRect;  // the stage's RECT record, as stored
    quint16 frameRate = 0; // 8.8 fixed point
    quint16 frameCount = 0;
    QList<Tag> tags; // the main timeline, End included

    // ActionScript 3 movies run on the newer virtual machine and need other frame control.
    bool isActionScript3() const;
    // Whether the movie may show text in device fonts (text fields drawn with the system's
    // fonts rather than its own outlines): a text field without outlines, or code that creates
    // text fields.
    bool mayUseDeviceText() const;
    // Whether the movie may play sound: a sound or video of its own, or code that names a
    // sound, a stream or the microphone. A movie without may play with no audio output.
    bool mayPlaySound() const;
    // Whether the movie's code may load another movie, whose sound this one does not show:
    // old-style loadMovie (by name, into a level, or as a load into a clip) and
    // MovieClipLoader, or an ActionScript 3 Loader.
    bool mayLoadMovies() const;
    enum class Compression
    {
        None,
        Zlib,
        Lzma
    };
    // The file: plain ("FWS"), zlib ("CWS") or LZMA ("ZWS").
    QByteArray toBytes(Compression compression = Compression::None) const;
};

// True when the bytes start like a SWF file of any of the three kinds.
PLATFORM_MOVIE_EXPORT bool looksLikeSwf(const QByteArray& head);
// The tags stored in `data` from `from` on, up to an End tag or the first tag that runs past
// the end.
PLATFORM_MOVIE_EXPORT QList<Tag> readTags(const QByteArray& data, qsizetype from);

// Movies larger than this uncompressed are refused (a compression bomb would take the memory).
inline constexpr qsizetype MaxBodySize = 128 * 1024 * 1024;

// The movie in the file, or nullopt when it is not a readable SWF file. Read as the web player
// reads it: the header's length may be off, a compressed stream or the last tag may be cut
// short; what is there is read, up to the first tag that runs past the end.
PLATFORM_MOVIE_EXPORT std::optional<SwfFile> readSwf(const QByteArray& file);

// The header and the first tags of a movie from the first bytes of its file: at most
// MaxHeadBody bytes are uncompressed, whatever the header claims, so a look at a large movie
// stays small. nullopt when the bytes do not start a readable SWF file.
inline constexpr qsizetype MaxHeadBody = 64 * 1024;
PLATFORM_MOVIE_EXPORT std::optional<SwfFile> readSwfHead(const QByteArray& head);

} // namespace platform::swf
