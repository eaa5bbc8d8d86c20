#include "ButtonBar.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace {

QFont designFont(const char* family, double points)
{
    QFont font(QString::fromUtf8(family));
    font.setPointSizeF(points);
    return font;
}

} // namespace

PictureBar::PictureBar(QWidget* parent) : QLabel(parent)
{
    setPixmap(QPixmap(QStringLiteral(":/frmMain/picBar.bmp")));
    setScaledContents(true);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureBar::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key() == Qt::Key_Escape ? 27 : event->key(), event->modifiers());
}

VerticalButton::VerticalButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent)
{
    setFont(designFont("ＭＳ ゴシック", 8.25));
    setFocusPolicy(Qt::NoFocus);
}

void VerticalButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
    QString stacked;
    for (const QChar c : text())
        stacked += QString(c) + u'\n';
    stacked.chop(1);
    painter.setPen(palette().buttonText().color());
    painter.drawText(rect(), Qt::AlignCenter, stacked);
}
