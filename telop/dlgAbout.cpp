#include "dlgAbout.h"

#include "StrovelTypeLib.h"

#include "runtime/Twips.h"

#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

using platform::twipsRect;

dlgAbout::dlgAbout(QWidget* parent) : QDialog(parent)
{
    const QPixmap icon(QStringLiteral(":/strovel/about.bmp"));
    setWindowTitle(QStringLiteral("CtlStrovel"));
    setWindowIcon(QIcon(icon));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twipsRect(0, 0, 4830, 660).size());
    setModal(true);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPointSizeF(9);
    setFont(font);

    Image1 = new QLabel(this);
    Image1->setPixmap(icon);
    Image1->setGeometry(twipsRect(60, 90, 480, 480));

    Label1 = new QLabel(QStringLiteral("CtlStrovel Version 0.07"), this);
    Label1->setGeometry(twipsRect(1290, 90, 1815, 180));

    Label2 = new QLabel(strovel::RightsNotice, this);
    Label2->setGeometry(twipsRect(795, 360, 2805, 180));

    Command1 = new QPushButton(QStringLiteral("O.K"), this);
    Command1->setGeometry(twipsRect(3945, 195, 735, 285));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &dlgAbout::Command1_Click);
}

void dlgAbout::Command1_Click()
{
    accept();
}
