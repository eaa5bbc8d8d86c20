#pragma once

#include "profile/ProfileExport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

namespace platform {

// A new content for a file, written beside it first: write() puts the bytes into a temporary
// file in the same folder and checks every write, the sync to disk and the close; commit()
// renames it over the file. A crash or power cut leaves the old or the new content, never a
// mix, and any failure leaves the old file byte for byte, removes the temporary file and logs
// why. An existing file keeps its owner, group, permissions and extended attributes, a new one
// gets the folder's defaults. A symbolic link stays a link: the file it points to is replaced.
// A file that may not be written (read-only) is refused and left as it is.
class PLATFORM_PROFILE_EXPORT StagedFile
{
public:
    explicit StagedFile(const QString& path);
    ~StagedFile(); // discards what was not committed
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    bool write(const QByteArray& bytes);
    bool commit();
    void discard();
    // After a failed write(): the folder refused the temporary file (nothing was logged).
    bool folderRefused() const { return m_folderRefused; }
    // After write(): the file belongs to another owner or group, which this user can not give
    // the new file; committing would take the file from them.
    bool ownerLost() const { return m_ownerLost; }

private:
    bool fail(const QString& why);

    QString m_path;
    QString m_target;       // the file replaced: the path, or where its link points
    QByteArray m_temporary; // the staged file's path, empty when nothing is staged
    bool m_folderRefused = false;
    bool m_ownerLost = false;
};

// Replaces the file's whole content as StagedFile does. A writable file in a folder that
// refuses new files (a read-only share, say) is rewritten in place instead, which a crash may
// tear but which is better than never storing it. False on failure, with a log line.
PLATFORM_PROFILE_EXPORT bool replaceFileContents(const QString& path, const QByteArray& bytes);

// Copies a file over another the same way: the destination holds the old or the new content,
// never part of it. False on failure, with a log line.
PLATFORM_PROFILE_EXPORT bool copyFileAtomically(const QString& from, const QString& to);

// Replaces several files as one: all are staged before any is renamed, and should a rename
// fail, the files already replaced get their old content back. Another user's file that this
// one may write is rewritten in place last, as replaceFileContents does, so it stays theirs.
// False on failure.
PLATFORM_PROFILE_EXPORT bool
replaceFilesTogether(const QList<std::pair<QString, QByteArray>>& files);

// Removes the temporary files that writers of this file left when they were killed before
// their rename. Call it before anything writes the file.
PLATFORM_PROFILE_EXPORT void removeLeftoverTemporaries(const QString& path);

} // namespace platform
