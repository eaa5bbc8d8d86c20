#pragma once

// The settings dialog. For now it halts the presentation while it is open and restarts it,
// with the supervision, when it closes by OK, Cancel or its title bar; editing the settings
// comes with the full dialog.

#include <QDialog>

class QPushButton;
class frmMain;

class dlgEnv : public QDialog
{
    Q_OBJECT

public:
    explicit dlgEnv(frmMain& owner);

    QPushButton* OKButton;
    QPushButton* CancelButton;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void OKButton_Click();
    void CancelButton_Click();
    void restartAndUnload(bool accepted);

    frmMain& m_owner;
    bool m_unloading = false;
};
