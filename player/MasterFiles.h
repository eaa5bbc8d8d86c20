#pragma once

// Reading a master PC's settings on a subordinate. Everything here may block on a slow or hung
// share, so it runs on a worker thread and touches no widget. Nothing from the master is
// trusted: only regular files inside the master folder, of a sane size, are read.

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace master {

// Settings and slide parameters are small text files; anything larger is refused unread.
inline constexpr qint64 MaxFileSize = 1024 * 1024;

// A file's identity for change detection: size and modification time to the nanosecond, so a
// file rewritten within one clock second is seen as changed.
struct FileStamp
{
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    // "yyyy.MM.dd hh:mm:ss.nnnnnnnnn size"; "" for a missing file.
    QString text() const;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path);

// The stamp of the pair in the folder: "settings|slide list", "" when the settings are missing.
// Both files count, so a slide list that arrives after its settings (a folder replicated file
// by file) is taken too.
QString pairStamp(const QString& masterFolder);

// A changed pair is read only once it stood still this long: a writer that renames its files
// into place one after the other is done by then.
inline constexpr int SettleMs = 300;

// The two files a subordinate takes over, read while neither changed. A master without a
// usable slide list still passes on its settings: the subordinate keeps its own list.
struct Pair
{
    QString stamp; // of the pair, as read
    QByteArray settings;
    std::optional<QByteArray> slideParams;
    QString slideParamsError; // why there is no slide list
};

// What one look at the master folder found.
struct Check
{
    enum Outcome
    {
        Unchanged, // the pair still has the stamp taken over last
        Changed,   // a new pair was read: `pair` and `masterFolder` hold it
        Changing,  // the master wrote while the pair was read; the next tick reads again
        Failed,    // `error` says why
    };
    Outcome outcome = Failed;
    QString masterFolder; // the master folder the network file names now
    Pair pair;
    QString error;
};

// One look: the stamp of masterFolder's pair against lastStamp and, when it differs and then
// stays the same for SettleMs, the master folder named by the network file and the pair read
// from it.
Check checkMaster(const QString& masterFolder, const QString& lastStamp,
                  const QString& networkFile);

// For tests: runs between reading the pair and checking that neither file changed meanwhile.
void setAfterPairRead(std::function<void()> hook);
// For tests: runs after that check, before the pair is stamped.
void setAfterPairChecked(std::function<void()> hook);

} // namespace master
