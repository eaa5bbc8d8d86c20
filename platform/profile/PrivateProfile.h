#pragma once

// The private-profile (INI) file functions, on code page 932 bytes. Each call reads the file
// anew; a write replaces the file atomically and keeps every byte it does not change.

#include "profile/ProfileExport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <utility>

namespace platform {

// Copies the key's value (or the default, with its trailing blanks dropped, when the file,
// the section or the key is missing) into buffer: at most size - 1 bytes, never ending inside
// a two-byte character, zero-terminated. Returns the number of bytes copied. A key present
// with an empty value gives "".
PLATFORM_PROFILE_EXPORT uint32_t GetPrivateProfileStringA(const QByteArray& section,
                                                          const QByteArray& key,
                                                          const QByteArray& defaultValue,
                                                          char* buffer, uint32_t size,
                                                          const QString& file);

// Sets the key in the section to the value, adding the key, the section and the file when
// they are missing. False (with a log line, the file unchanged) when it can not be written.
PLATFORM_PROFILE_EXPORT bool WritePrivateProfileStringA(const QByteArray& section,
                                                        const QByteArray& key,
                                                        const QByteArray& value,
                                                        const QString& file);

// Sets several keys of one section in one replacement of the file: the same result as writing
// them one after another, but a failure leaves the file as it was, not half changed. False
// (with a log line) when it can not be written.
PLATFORM_PROFILE_EXPORT bool
WritePrivateProfileStrings(const QByteArray& section,
                           const QList<std::pair<QByteArray, QByteArray>>& keyValues,
                           const QString& file);

} // namespace platform
