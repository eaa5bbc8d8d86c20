#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box of the telop control: its icon, name and version, and the rights notice.
class dlgAbout : public QDialog
{
    Q_OBJECT

public:
    explicit dlgAbout(QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Command1;

private:
    void Command1_Click();
};
