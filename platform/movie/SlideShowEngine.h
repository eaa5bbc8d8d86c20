#pragma once

// The shipped slide-show movies, played natively: the slide list beside the movie, each
// picture decoded once at the area's size on a worker, shown for its time with the movie's
// transition (none, a fade or a slide over the first third of the time), drawn with QPainter
// only while a transition moves. StopPlay halts the whole show, the change of picture
// included; GotoFrame(0) and Play start it again from the first picture.
//
// A picture is looked at again at each of its turns: a file changed since (size or
// modification time) is decoded anew, a missing or undecodable one is skipped with one log line.

#include "movie/MovieEngine.h"
#include "movie/MovieExport.h"
#include "movie/SlideEffectMarker.h"
#include "movie/SlideParameters.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTimer>
#include <functional>

class QPainter;

namespace platform::movie {

class SlideShowCanvas;

// What a worker found of a picture file at one turn.
struct PictureRead
{
    enum Outcome
    {
        Decoded,     // `image` holds it at the size asked for
        Unchanged,   // same size and time as the copy already decoded
        Missing,     // no such regular file
        Undecodable, // a file no picture reader could read
    };
    Outcome outcome = Missing;
    QImage image;
    qint64 size = -1;
    QDateTime modified;
    QString error;
};

class PLATFORM_MOVIE_EXPORT SlideShowEngine : public MovieEngine
{
    Q_OBJECT

public:
    explicit SlideShowEngine(QObject* parent = nullptr);
    ~SlideShowEngine() override;

    QWidget* view() override;
    // Plays the movie at path with the effect its marker names.
    void loadShow(const QString& path, const SlideEffectMarker& marker);
    void load(const QString& path) override;
    void unload() override;
    void stopPlay() override;
    void gotoFrame(int frame) override;
    void play() override;
    // The frames the movie would have shown at its own rate since it started: it advances
    // while the show plays and stands still while it is halted.
    int frameNum() const override;

    // The name of the picture on show, "" while none is (tests, reports).
    QString pictureOnShow() const { return m_current.isNull() ? QString() : m_currentName; }
    // Whether a transition is under way (tests).
    bool isMoving() const { return m_frameTimer.isActive(); }

    // In step: the group's screens show the same picture at the same moment without talking
    // to each other. Each turn is aligned to the wall clock: the picture on show is the count
    // of whole picture times since midnight, modulo the number of pictures. It needs clocks
    // kept by NTP. The clock may be replaced (tests).
    void setInStep(bool inStep) { m_inStep = inStep; }
    void setWallClock(std::function<QDateTime()> clock) { m_wallClock = std::move(clock); }

    // Draws the show into the area.
    void paint(QPainter& painter, const QRect& area);
    // The area's size in pixels changed: later turns decode at the new size.
    void areaResized(const QSize& pixels);

signals:
    // A picture came on show (its path), or the stage went black ("").
    void pictureShown(const QString& path);

private:
    struct Cached
    {
        QImage image;
        qint64 size = -1;
        QDateTime modified;
    };

    qint64 showTimeMs() const;
    double transitionShare() const;
    void startTurn();
    void pictureRead(const QString& name, const PictureRead& read);
    void skipPicture(const QString& name, const PictureRead& read);
    void showPicture(const QString& name, const QImage& picture);
    void armChange();
    void frameStep();
    void restartFromFirst();
    void keepOnly(const QStringList& names);

    SlideShowCanvas* m_canvas;
    SlideEffectMarker m_marker;
    bool m_loaded = false;
    QString m_folder;
    SlideParameters m_parameters;
    bool m_parametersRead = false;
    int m_next = 0;          // the picture of the next turn
    int m_skippedInARow = 0; // turns that found no picture, since one was shown
    bool m_turnPending = false;
    bool m_restart = false;     // GotoFrame(0) while halted: Play starts from the first picture
    bool m_noTransition = true; // the next picture replaces the one on show at once
    QString m_heldName;         // read while halted: shown when the show plays again
    QImage m_held;
    QString m_currentName;
    QImage m_current;
    QImage m_leaving;         // the picture before, while the transition covers it
    qint64 m_turnStartMs = 0; // show time when the picture on show appeared
    bool m_inStep = false;
    std::function<QDateTime()> m_wallClock;
    qint64 msOfDay() const;
    bool m_playing = false;
    qint64 m_playedMs = 0;    // show time until the last halt
    QElapsedTimer m_running;  // since the show last started playing
    int m_loadGeneration = 0; // answers from workers for an older movie are dropped
    int m_turnGeneration = 0; // answers for an older turn are dropped
    QTimer m_changeTimer;
    QTimer m_frameTimer;
    QSize m_areaPixels;
    QHash<QString, Cached> m_cache; // by file path
    QSet<QString> m_reported;       // pictures whose trouble is logged, until they show again
};

} // namespace platform::movie
