#pragma once

// Code page 932 (Windows-31J), the code page of every text file the programs share with older
// players: Microsoft's mapping, so "～" is 0x8160, "①" is 0x8740 and "\" is 0x5C. Characters
// without a mapping are written as "?"; bytes that are not valid code page 932 read as U+FFFD.

#include "text/TextExport.h"

#include <QByteArray>
#include <QString>

namespace platform {

PLATFORM_TEXT_EXPORT QByteArray toCp932(const QString& text);
PLATFORM_TEXT_EXPORT QString fromCp932(const QByteArray& bytes);

// Whether text a person may have saved with any editor is UTF-8: valid UTF-8 that holds a
// character beyond ASCII (code page 932 text with Japanese in it is hardly ever valid UTF-8).
PLATFORM_TEXT_EXPORT bool isUtf8Text(const QByteArray& bytes);

// True for the first byte of a two-byte character.
constexpr bool isCp932LeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

} // namespace platform
