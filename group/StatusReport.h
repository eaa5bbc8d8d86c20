#pragma once

// Status of every PC of a group: each player writes "status/<name>.json" in its program folder
// every minute and whenever what it shows changes; a subordinate also writes it into the
// master folder's "status/" when the shop made that folder. Writes run on threads of their
// own: a master share that hangs holds up no one, and a write to it still hanging is not
// repeated.

#include <QDateTime>
#include <QImage>
#include <QJsonObject>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>

namespace group {

// What a report tells.
struct Status
{
    QString name;
    QString version;
    QDateTime started;
    QString programFolder;
    QString mode;    // "movie" or "slides"
    QString movie;   // the movie's path
    QString picture; // the picture on show, where known
    QString telop;
    QString role;                     // "master", "subordinate" or "stand-alone"
    QString masterFolder;             // a subordinate's
    QDateTime masterUnreachableSince; // invalid while the master answers
    QDateTime lastTakeOver;
    QString lastTakeOverStamp;
    QString engine;         // what plays the presentation
    int engineRestarts = 0; // render process restarts
    double cpuPercent = 0;  // the process tree's, over the last minute
    qint64 memoryBytes = 0; // the process tree's resident memory
    QSize screen;
    QString lastError;
    bool stopped = false; // the last report of a player ended by its exit command
    QString machine;      // the machine's identity, told apart from cloned PCs of one name

    QJsonObject toJson(const QDateTime& updated) const;
};

// This machine's identity (/etc/machine-id); "" where there is none.
QString machineIdentity();

// A station name may name a file in "status/": not empty, at most 64 characters, no slash,
// no backslash, no control character, not starting with a dot.
bool isSafeStationName(const QString& name);
// The PC's name in the group: `name=` of the network file's [NETWORK] section (given), else
// the host name; "" when neither is a safe name.
QString stationName(const QString& configured);

// The CPU share of a set of processes since the last reading, in % of one core, and their
// resident memory.
class ProcessUsage
{
public:
    void read(const QList<qint64>& pids, double& cpuPercent, qint64& memoryBytes);

private:
    qint64 m_lastTicks = -1;
    QDateTime m_lastTime;
};

class StatusReporterWriter;

class StatusReporter : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 60000;

    // status gives the report's content; it is asked on the calling thread.
    StatusReporter(const QString& programFolder, std::function<Status()> status,
                   QObject* parent = nullptr);
    ~StatusReporter() override;

    // Writes the report now (what is shown changed); further changes within a second wait.
    void changed();
    // Writes the last report, saying the player stopped, and waits a moment for it.
    void stop();
    // Saves "status/<name>.jpg" from a picture of the window, beside the report, wherever the
    // report goes.
    void saveShot(const QImage& window);
    // The window's picture as saved: ShotWidth pixels wide, at most MaxShotBytes of JPEG.
    static QByteArray shotJpeg(const QImage& window);
    static constexpr int ShotWidth = 480;
    static constexpr qint64 MaxShotBytes = 60 * 1024;
    // For tests: the clock, and waiting until every write so far is done.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    void waitForWrites();

private:
    void report(bool withPage);
    void send(const QString& fileName, const QByteArray& bytes, const QDateTime& page);

    QString m_programFolder;
    std::function<Status()> m_status;
    std::function<QDateTime()> m_clock;
    QTimer m_interval;
    QTimer m_soon;
    QThread* m_thread; // left running at the end only when a write hangs
    StatusReporterWriter* m_writer;
    std::shared_ptr<std::atomic<bool>> m_masterBusy;   // a write to the master's share runs
    std::shared_ptr<std::atomic<bool>> m_masterFailed; // its failure was logged
    std::shared_ptr<std::atomic<bool>> m_clashTold;    // another machine on the name was logged
    QString m_name;                                    // as the last report gave them
    QString m_masterFolder;
    bool m_stopped = false;
};

} // namespace group
