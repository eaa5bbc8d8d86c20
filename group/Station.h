#pragma once

// A player PC's part in its group, behind one door: the proof of play, this PC's report and its
// pictures, the urgent message, the schedule of setting sets and a subordinate's mirror of its
// master, with their timers and one clock. The player window owns one Station and tells it
// what happens on screen (Station's calls); the station asks the window for what only the
// window can do (StationHost's calls). Nothing here knows the window's widgets.

#include "PlayLog.h"
#include "Schedule.h"
#include "StatusReport.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>
#include <functional>

namespace group {

class MirrorWatch;
struct MirrorResult;
class UrgentWatch;

// Calls from the station to the window that owns it.
class StationHost
{
public:
    // What plays the presentation, for the report.
    struct Engine
    {
        QString name;             // "web player", "native" or "none"
        int restarts = 0;         // of the web player's render process
        qint64 renderProcess = 0; // its process, 0 for none
    };

    // Takes the schedule's set as Load and OK would; false when it can not be taken.
    virtual bool takeSet(const QString& name) = 0;
    // The schedule's "off" begins (dark) or ends: the stage, the telop and the bar go dark or
    // come back, the presentation starting again.
    virtual void darken(bool dark) = 0;
    // An urgent message replaces the telop's text; "" gives the telop its own text back.
    virtual void showUrgent(const QString& text) = 0;
    // The mirror now holds what the taken-over settings show: the presentation follows them.
    virtual void applyPresentation() = 0;
    // A dialog holds the show: the schedule waits for it to close.
    virtual bool isShowHeld() const = 0;
    // The window as the screen shows it, the presentation's engine and the window's size.
    virtual QImage picture() = 0;
    virtual Engine engine() const = 0;
    virtual QSize screenSize() const = 0;

protected:
    ~StationHost() = default;
};

class Station : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    // programFolder: this PC's program folder; name: the PC's name in the group (its report's
    // file name); clock: the window's one source of the date and time.
    Station(const QString& programFolder, const QString& name, StationHost& host, Clock clock,
            QObject* parent = nullptr);
    ~Station() override;

    // ---- Calls from the window to the station ----
    // The start-up is done: reports, the urgent message and the schedule begin.
    void start();
    // The PC's place in the group: a subordinate following masterFolder, or not.
    void setRole(bool subordinate, const QString& masterFolder);
    // The presentation was given a movie (by whoever gave it), drew its first frame, put a
    // picture on show ("" when it went black), or can not show it (why).
    void movieGiven(const QString& path);
    void movieShown(const QString& path);
    void pictureShown(const QString& path);
    void movieFailed(const QString& path, const QString& why);
    // The telop's own text: `text` without its date, `shown` as the telop shows it, which is
    // proved only when `visible`.
    void telopShown(const QString& text, const QString& shown, bool visible);
    // The master answered or did not (error says why).
    void masterReached(bool reachable, const QString& error = QString());
    // The master's settings were taken over (stamp); true when the presentation waits for the
    // mirror, which then calls StationHost::applyPresentation.
    bool tookOver(const QString& stamp);
    // The settings dialog holds the show (true) and lets it go (false).
    void hold(bool held);
    // The exit command: the last report says the player stopped.
    void stop();

    // ---- What the window asks ----
    bool isBlank() const { return m_blank; }
    QString urgentMessage() const;
    // Where a subordinate plays `relative` (such as "img/a.swf") from: its mirror once that
    // holds the file; "" otherwise.
    QString mirrored(const QString& relative) const;

    // The schedule's look (every second): applies the entry in force when it changed.
    void scheduleTick();
    // The subordinate's mirror and its copy now under way, for tests.
    MirrorWatch& mirror() { return *m_mirror; }
    const Showing& showing() const { return m_showing; }

private:
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
    QString settingsFile() const;
    Status currentStatus();
    void reportChange();
    void applyShotInterval();
    void takeShot();
    void showUrgentMessage(const QString& text);
    QStringList urgentFolders() const;
    void blankScreen(bool blank);
    bool refreshMirror();
    void mirrorSynced(const MirrorResult& result);

    QString m_programFolder;
    QString m_name;
    StationHost& m_host;
    Clock m_clock;
    bool m_subordinate = false;
    QString m_masterFolder;
    bool m_held = false;
    bool m_stopped = false;

    PlayLog* m_playLog;
    Showing m_showing;    // what the presentation was last given, without a picture
    QString m_picture;    // the picture on show, where known
    QString m_telopText;  // the telop's own text, without its date
    QString m_movieError; // why the movie given last can not be shown

    StatusReporter* m_status = nullptr;
    ProcessUsage m_usage;
    QDateTime m_started;
    QDateTime m_masterUnreachableSince;
    QDateTime m_lastTakeOver;
    QString m_lastTakeOverStamp;
    QString m_lastError;
    QTimer m_shotTimer; // a picture of the window for the group, every [STATUS] shot minutes
    QTimer m_shotSoon;  // and shortly after the presentation changed

    UrgentWatch* m_urgent = nullptr;

    QTimer m_scheduleTimer;
    QString m_scheduleInForce;      // the entry occurrence applied last
    QStringList m_scheduleProblems; // entries that can not be read, logged once
    QString m_scheduleStamp;        // of the settings the schedule was read from
    QDateTime m_scheduleLookedAt;   // when the entry in force was last looked for
    QDateTime m_scheduleNext;       // when the next entry begins; invalid for none
    QList<ScheduleEntry> m_schedule;
    bool m_blank = false; // an "off" entry of the schedule is in force

    MirrorWatch* m_mirror;
    QTimer m_mirrorTimer;
    bool m_mirrorFailed = false;        // logged once until the master is reached again
    bool m_presentationPending = false; // a take-over's presentation waits for the mirror
};

} // namespace group
