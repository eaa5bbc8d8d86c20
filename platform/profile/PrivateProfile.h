#pragma once

// The private-profile (INI) file functions, on code page 932 bytes. Each call reads the file
// anew; a write replaces the file atomically and keeps every byte it does not change.

#include "profile/ProfileExport.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

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

} // namespace platform
