#pragma once

// The player window: a borderless full-screen window with the presentation (swf1) in its upper
// part, the scrolling telop (stvTelop) along the bottom, and a narrow button bar at the left.
// Creating it runs the start-up (Form_Load); a one-second timer (timIntval) then keeps an
// animation looping and, on a subordinate PC, follows the master PC's settings.
//
// The design is laid out for a 1024 x 768 screen and scaled to the screen it runs on. Heights
// set at run time are in window units: 1024 x 768 units span the design's client area.

#include "Mirror.h"
#include "PlayLog.h"
#include "Schedule.h"
#include "StatusReport.h"
#include "UrgentMessage.h"
#include "runtime/IntervalTimer.h"

#include <QDate>
#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

class QLineEdit;
class MasterWatch;

class ServiceNotifier;
namespace master {
struct Check;
}

namespace platform::com {
class ControlHost;
}
namespace platform::movie {
class MoviePlayer;
}

// The button bar: shows its background strip and takes the key focus.
class PictureBar : public QLabel
{
    Q_OBJECT

public:
    explicit PictureBar(QWidget* parent);

signals:
    void KeyDown(int keyCode, Qt::KeyboardModifiers shift);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A narrow button whose caption reads top to bottom.
class VerticalButton : public QPushButton
{
    Q_OBJECT

public:
    VerticalButton(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class frmMain : public QWidget
{
    Q_OBJECT

public:
    // programFolder: where the settings, the network file, the dot pictures and (unless on a
    // subordinate) the movies are; the running program's folder by default.
    // clock: the window's one source of the date and time (the telop's date, the schedule, the
    // reports); the system's when empty. Given here so the start-up already reads it.
    using Clock = std::function<QDateTime()>;
    explicit frmMain(const QString& programFolder = QString(), QWidget* parent = nullptr,
                     Clock clock = {});
    ~frmMain() override;

    PictureBar* picBar;
    VerticalButton* cmdEnv;
    VerticalButton* cmdEnd;
    VerticalButton* cmdHelp;
    platform::movie::MoviePlayer* swf1;
    platform::com::ControlHost* stvTelop;
    platform::IntervalTimer timIntval;
    QLineEdit* txtDmy;

    const QString& programFolder() const { return m_programFolder; }
    // The master folder this PC follows as a subordinate; "" when it follows none.
    QString followedMaster() const
    {
        return strNetMode == QLatin1String("1") ? strBasePath : QString();
    }
    QString settingsFile() const;

    // swf1's container property Height, in window units.
    void setFlashHeight(double units);
    double flashHeight() const { return m_flashHeight; }
    // StopPlay, GotoFrame 0, Play: every (re)start of the presentation.
    void restartPresentation();
    // Shows the text on the telop, after the day's date when withDate is set. The text is kept
    // as given: when the day changes only the date in front of it changes.
    void showTelopText(const QString& text, bool withDate, const QDate& day);

    // The window's clock: the system's, or the one it was given.
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
    QDate today() const { return now().date(); }

    void timIntval_Timer();
    // The schedule of setting sets: applies the entry in force when it changed (every second).
    void scheduleTick();
    bool isBlank() const { return m_blank; }
    void cmdEnd_Click();
    void cmdEnv_Click();
    void cmdHelp_Click();
    void picBar_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void ShowSettingsDialog();

signals:
    // The exit command: the program ends.
    void programEnded();
    // The schedule blanked the screen (the display may save power) or ended that.
    void screenMayBlank(bool allowed);

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();
    void createTelop();
    void applyTelopSpeed();
    void applyDotPictures();
    void applyPresentation();
    void applyTelopVisibility();
    void applyTelopText(const QDate& today);
    void followDayChange();
    void synchroniseWithMaster();
    void takeOverMaster(const master::Check& check);
    void layoutControls();
    void coverScreen();
    QString environment(const char* key, const QString& defaultValue = QString()) const;

    QString m_programFolder;
    QString strNetMode;
    QString strMenuMode;
    QString strBasePath;
    QString strLastStamp;
    // The frame seen at the previous tick. Kept in full (not 16 bits) so movies longer than
    // 32767 frames stay watched.
    int intLastFrame = 0;
    double m_flashHeight = 0; // window units; 0 until the start-up sets it
    Clock m_clock;
    QDate m_telopDate;            // the day the telop's text was last set for
    QString m_telopText;          // the telop's text without its date
    bool m_followsScreen = false; // the window follows its screen's size
    bool m_telopWithDate = false;
    MasterWatch* m_master;      // the subordinate's look at its master, off this thread
    ServiceNotifier* m_service; // readiness and keep-alive for the service manager
    group::PlayLog* m_playLog;  // proof of play
    group::Showing m_showing;   // what the presentation was last given, without a picture
    QString m_picture;          // the picture on show, where known
    group::StatusReporter* m_status = nullptr; // this PC's report to the group
    group::ProcessUsage m_usage;
    QString m_stationName;
    QDateTime m_started;
    QDateTime m_masterUnreachableSince;
    QDateTime m_lastTakeOver;
    QString m_lastError;
    QString m_movieError; // why the movie given last can not be shown
    group::Status currentStatus();
    QTimer m_shotTimer; // a picture of the window for the group, every [STATUS] shot minutes
    QTimer m_shotSoon;  // and shortly after the presentation changed
    void applyShotInterval();
    void takeShot();
    group::UrgentWatch* m_urgent = nullptr; // an urgent message replaces the telop's text
    void showUrgentMessage(const QString& text);
    void applyUrgentDots();
    QStringList urgentFolders() const;
    QTimer m_scheduleTimer;
    QString m_scheduleInForce;      // the entry occurrence applied last
    QStringList m_scheduleProblems; // entries that can not be read, logged once
    QString m_scheduleStamp;        // of the settings the schedule was read from
    QDateTime m_scheduleLookedAt;   // when the entry in force was last looked for
    QDateTime m_scheduleNext;       // when the next entry begins; invalid for none
    QList<group::ScheduleEntry> m_schedule;
    bool m_blank = false; // an "off" entry of the schedule is in force
    void blankScreen(bool blank);
    void darkenButtonBar(bool dark);
    group::MirrorWatch* m_mirror = nullptr;
    QTimer m_mirrorTimer;
    bool m_mirrorFailed = false; // logged once until the master is reached again
    // Brings the subordinate's mirror in line with its master; false when it has none.
    bool refreshMirror();
    bool m_presentationPending = false; // a take-over's presentation waits for the mirror
    void setMasterReachable(bool reachable);
    friend class frmMainProbe;
};
