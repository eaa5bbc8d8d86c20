#pragma once

// The player window: a borderless full-screen window with the presentation (swf1) in its upper
// part, the scrolling telop (stvTelop) along the bottom, and a narrow button bar at the left.
// Creating it runs the start-up (Form_Load); a one-second timer (timIntval) then keeps an
// animation looping and, on a subordinate PC, follows the master PC's settings.
//
// The design is laid out for a 1024 x 768 screen and scaled to the screen it runs on. Heights
// set at run time are in window units: 1024 x 768 units span the design's client area.

#include "ButtonBar.h"
#include "Station.h"
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

// The window's part in its group (proof of play, report, urgent message, schedule, mirror) is
// its group::Station; the window answers the station's few questions as its StationHost.
class frmMain : public QWidget, private group::StationHost
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
    group::Station& station() { return *m_station; }
    // The schedule's "off" is in force: the screen is dark.
    bool isBlank() const { return m_station->isBlank(); }
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
    group::Station* m_station;  // this PC's part in its group

    // What the station asks of the window.
    bool takeSet(const QString& name) override;
    void darken(bool dark) override;
    void showUrgent(const QString& text) override;
    void applyPresentation() override;
    bool isShowHeld() const override;
    QImage picture() override;
    Engine engine() const override;
    QSize screenSize() const override { return size(); }
    void darkenButtonBar(bool dark);
    void applyUrgentDots();
    friend class frmMainProbe;
};
