#pragma once

// The settings dialog: the presentation mode (an animation, or an image slide show played by
// an effect movie), its files and the seconds per image, and the telop. It halts the
// presentation while it is open. OK checks the edits, applies them to the player window at
// once and stores them; Cancel (also by the title bar) only restarts what played before. Both
// restart the supervision. Setting sets save and load whole settings files by name.

#include "runtime/CommonDialog.h"

#include <QDialog>
#include <array>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class frmMain;

class dlgEnv : public QDialog
{
    Q_OBJECT

public:
    explicit dlgEnv(frmMain& owner);

    QPushButton* OKButton;
    QPushButton* CancelButton;
    QPushButton* cmdHelp;
    QGroupBox* Frame1;
    QGroupBox* Frame2;
    QGroupBox* Frame3;
    QLabel* Label1;
    std::array<QRadioButton*, 2> optTarget;
    QLabel* lblSwf;
    QLineEdit* txtAnime;
    QPushButton* cmdAnime;
    std::array<QLabel*, 10> Label3;
    std::array<QLineEdit*, 10> txtImg;
    std::array<QPushButton*, 10> cmdImg;
    QLabel* Label4;
    QLineEdit* txtTime;
    QLabel* Label5;
    QPushButton* cmdClr;
    QLabel* Label6;
    std::array<QRadioButton*, 2> optTelop;
    QLabel* Label7;
    QLineEdit* txtTelop;
    QLabel* Label2;
    QCheckBox* chkDate;
    QPushButton* cmdSave;
    QPushButton* cmdLoad;
    platform::CommonDialog dlgSettei;
    platform::CommonDialog dlgFopen;

    void Form_Load();
    bool WriteEnv(); // false when the settings file could not be written (logged)
    void OKButton_Click();
    void CancelButton_Click();
    void txtTime_KeyPress(int16_t& keyAscii);
    void optTarget_Click(int16_t index);
    void optTelop_Click(int16_t index);
    void cmdAnime_Click();
    void cmdImg_Click(int16_t index);
    void cmdSave_Click();
    void cmdLoad_Click();
    // Takes the saved set as Load followed by OK would, without asking anything (the
    // schedule): the same files, the same writes, the same restart order. False, with a log
    // line, when the set is missing or does not pass the checks; nothing then changes.
    bool takeSet(const QString& name);
    void cmdClr_Click();
    void cmdHelp_Click();
    // The help page in a window of the player's own.
    void showHelpHere(const QString& page);

    // Every way of closing without OK (Escape, the title bar, reject() from anywhere) is a
    // Cancel: it runs CancelButton_Click once.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    bool validate();
    // The set's content over the settings, keeping this PC's own sections (its schedule).
    bool loadSet(const QString& name);
    // A check's message: shown, or only logged while a set is taken unattended.
    void say(const QString& text, const QString& title);
    bool m_unattended = false;
    void applyToPlayer();
    void restartAndUnload(bool accepted);
    void setBoxEnabled(QLineEdit* box, bool enabled);
    QString inProgramFolder(const QString& name) const;
    QRect scaled(int left, int top, int width, int height) const;
    void refuse(const QString& text, const QString& title);

    frmMain& m_owner;
    bool m_unloading = false;
    double m_scale = 1.0; // with the player on larger screens
};
