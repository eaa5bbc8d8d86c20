#pragma once

// One way of playing movies: the web player for SWF, Qt Multimedia for video, QMovie for
// images. The presentation component holds one of each and shows the one that plays.

#include "movie/MovieExport.h"

#include <QObject>
#include <QString>

class QWidget;

namespace platform::movie {

class PLATFORM_MOVIE_EXPORT MovieEngine : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The widget that shows the movie, stretched over the component's whole area.
    virtual QWidget* view() = 0;
    // Loads the file and starts playing it, looping where the format loops.
    virtual void load(const QString& path) = 0;
    // Stops showing anything.
    virtual void unload() = 0;
    virtual void stopPlay() = 0;
    virtual void gotoFrame(int frame) = 0;
    virtual void play() = 0;
    // The frame on show, counted from 0.
    virtual int frameNum() const = 0;
    // False while the engine has waited too long for an answer from whatever plays the movie
    // (a hung page); true when it has nothing to wait for.
    virtual bool isAnswering() const { return true; }
    // How often the engine started its helper process anew, and that process (0 for none).
    virtual int restartCount() const { return 0; }
    virtual qint64 helperProcessId() const { return 0; }

signals:
    // The loaded movie's first frame is on show (once per load).
    void shown();
    // The loaded movie can not be shown, and why.
    void failed(const QString& why);
};

} // namespace platform::movie
