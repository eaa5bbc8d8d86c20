#include "dlgEnv.h"

#include "frmMain.h"

#include "movie/MoviePlayer.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

dlgEnv::dlgEnv(frmMain& owner) : QDialog(&owner), m_owner(owner)
{
    setWindowTitle(QStringLiteral("Lumaret 設定"));
    setModal(true);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPointSizeF(9);
    setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("設定は lumaret.ini で編集できます。"), this));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    CancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(OKButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(CancelButton, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(OKButton, &QPushButton::clicked, this, &dlgEnv::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &dlgEnv::CancelButton_Click);
    Form_Load();
}

void dlgEnv::Form_Load()
{
    m_owner.swf1->StopPlay();
}

void dlgEnv::OKButton_Click()
{
    restartAndUnload(true);
}

void dlgEnv::CancelButton_Click()
{
    restartAndUnload(false);
}

// Closing by the title bar is a Cancel: the presentation and the supervision never stay stopped.
void dlgEnv::closeEvent(QCloseEvent* event)
{
    if (!m_unloading)
        CancelButton_Click();
    event->accept();
}

void dlgEnv::restartAndUnload(bool accepted)
{
    m_unloading = true;
    m_owner.restartPresentation();
    m_owner.timIntval.setInterval(1000);
    accepted ? accept() : reject();
}
