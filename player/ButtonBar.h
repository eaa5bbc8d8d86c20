#pragma once

// The player window's button bar at its left edge, and the narrow buttons on it.

#include <QLabel>
#include <QPushButton>

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
