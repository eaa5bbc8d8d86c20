#pragma once

#include "profile/ProfileExport.h"

#include <QByteArray>
#include <QString>

namespace platform {

// Replaces the file's whole content: the bytes go to a temporary file in the same folder,
// which is flushed to disk and renamed over the file, so a crash or power cut leaves either
// the old or the new content, never a mix. An existing file keeps its permissions. A file
// that may not be written (read-only) is refused and left as it is. False on failure, with
// a log line.
PLATFORM_PROFILE_EXPORT bool replaceFileContents(const QString& path, const QByteArray& bytes);

// Copies a file over another the same way: the destination holds the old or the new content,
// never part of it. False on failure, with a log line.
PLATFORM_PROFILE_EXPORT bool copyFileAtomically(const QString& from, const QString& to);

} // namespace platform
