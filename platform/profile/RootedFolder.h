#pragma once

#include "profile/ProfileExport.h"

#include <QByteArray>
#include <QString>
#include <sys/stat.h>

namespace platform {

// A folder that others may write (a master's share, a status folder, the saved sets, the
// mirror), reached through its own descriptor instead of path strings, so that nothing planted
// in it leads a read or a write elsewhere:
// - a name is a relative path that stays inside ("..", absolute paths and empty parts are
//   refused);
// - a read opens the file (links inside the folder are fine, as a shop may use them), then
//   checks on the opened descriptor that it is a regular file whose real place is inside the
//   folder, and reads at most the size it examined: a link out, a folder swapped for a link
//   meanwhile, a FIFO or a file that grows are all harmless;
// - a write walks the folders on its way without following any link, stages the new file
//   beside its place and renames it over whatever stands there, a planted link included.
// The folder itself may be reached through a link (a share mounted elsewhere, say).
class PLATFORM_PROFILE_EXPORT RootedFolder
{
public:
    explicit RootedFolder(const QString& path);
    ~RootedFolder();
    RootedFolder(const RootedFolder&) = delete;
    RootedFolder& operator=(const RootedFolder&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    const QString& path() const { return m_path; }
    // Why the folder could not be opened, or "" when it simply is not there.
    const QString& error() const { return m_error; }

    // A regular file opened for reading without blocking, with its examined state.
    struct Opened
    {
        enum Outcome
        {
            Ok,
            Missing,   // simply not there
            Refused,   // leads out of the folder, or is no regular file
            Unanswered // could not be examined (a share that stopped answering, a link loop)
        };
        Outcome outcome = Missing;
        int fd = -1; // when Ok; the caller closes it
        struct stat info
        {
        };
        QString why; // when neither Ok nor Missing
    };
    Opened openFile(const QString& relative) const;

    struct Read
    {
        Opened::Outcome outcome = Opened::Missing; // Ok when read
        QByteArray bytes;
        qint64 size = -1;      // as examined; -1 when not examined
        qint64 modifiedNs = 0; // modification time, in nanoseconds since the epoch
        QString error;         // why it was not read; "" when read or simply not there
    };
    // The file's content, when it holds at most maxBytes (else Refused, with its size).
    Read read(const QString& relative, qint64 maxBytes) const;

    // Replaces the file with the bytes; folders on the way are made when `makeFolders`.
    // The new file gets `mode` (never more than the user's umask allows).
    bool write(const QString& relative, const QByteArray& bytes, QString* why = nullptr,
               bool makeFolders = false, mode_t mode = 0644) const;
    // Replaces the file with `size` bytes read from `source`, with the source's permission
    // bits (never widened) and times; fewer bytes than `size` is a failure.
    bool copyFrom(int source, const struct stat& sourceInfo, const QString& relative,
                  QString* why = nullptr) const;
    // Removes a file (a link is removed, never followed); true when it is gone.
    bool remove(const QString& relative) const;
    // Removes a folder when it is empty.
    bool removeEmptyFolder(const QString& relative) const;

    // A relative path that stays inside any folder: no "..", no absolute path, no empty part.
    static bool isInsideName(const QString& relative);
    // One name in a folder: no separator at all.
    static bool isPlainName(const QString& name);
    // Whether `real` (a canonical path) lies inside the canonical folder `root`.
    static bool isInside(const QString& real, const QString& root);

private:
    // The folder holding `relative`'s last part, opened without following links; -1 on failure.
    int openParent(const QString& relative, bool makeFolders, QString* why) const;
    template <typename Fill>
    bool stage(const QString& relative, bool makeFolders, mode_t mode, QString* why,
               Fill fill) const;

    QString m_path;
    QString m_real; // the folder's canonical path
    QString m_error;
    int m_fd = -1;
};

} // namespace platform
