#pragma once

// The presentation component: give it a movie file by path and it shows and plays it over its
// whole area. The kind of file decides how: the shipped slide-show movies (marked as such
// inside) natively, other SWF movies through the web player, video through Qt Multimedia,
// animated and still pictures through QMovie. A missing or unreadable file shows nothing and is
// no error. The members are those the player drives a movie with, also reachable by dispatch
// identifier through dispatch().
//
// The web player's engine runs only while movies need it: the first movie that does starts it,
// and it is ended once no movie has needed it for webEngineIdleMs.
//
// What kind a file is, is looked at on a worker: the file may lie on a share that does not
// answer. Meanwhile the component shows black and keeps the commands it is given for the
// movie; a look that takes longer than LookTimeLimitMs is given up (black, one log line) and
// its late answer dropped.

#include "movie/MovieExport.h"

#include "movie/SlideEffectMarker.h"

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class QStackedLayout;

namespace platform::com {
struct IDispatch;
}

namespace platform::movie {

class MovieEngine;
class SlideShowEngine;
class MovieDispatch;

class PLATFORM_MOVIE_EXPORT MoviePlayer : public QWidget
{
    Q_OBJECT

public:
    // The web player's files are in runtimeFolder; by default the program folder's "ruffle".
    explicit MoviePlayer(QWidget* parent = nullptr, const QString& runtimeFolder = QString());
    ~MoviePlayer() override;

    QString Movie() const { return m_movie; }
    // Loads the file at the full path and starts playing it.
    void setMovie(const QString& path);
    void StopPlay();
    // Goes to the frame (counted from 0); the player only ever asks for 0.
    void GotoFrame(int frame);
    void Play();
    // The frame on show, counted from 0: it advances while a movie plays and stands still
    // once it stops.
    int FrameNum() const;
    // False while the movie's engine has stopped answering (a hung page): the supervision of
    // the program as a whole uses it.
    bool isAnswering() const;

    // The members by their dispatch identifiers: Movie 102, StopPlay 126, GotoFrame 127,
    // Play 112, FrameNum 107. Lives as long as the component.
    com::IDispatch* dispatch() const;

    // The web player while it runs: a RuffleEngine, made by the web player's library.
    MovieEngine* webPlayer() const { return m_swf; }
    // The native slide show, once one was played (tests).
    SlideShowEngine* slideShowEngine() const { return m_slides; }

    // How long the web player's engine runs on after the last movie that needed it.
    static constexpr int WebEngineIdleMs = 60000;
    void setWebEngineIdleMs(int milliseconds) { m_swfIdle.setInterval(milliseconds); }
    // Native slide shows in step with the group's other screens (see SlideShowEngine).
    void setSlidesInStep(bool inStep);

    // The longest a look at a movie file may take, as for the other reads of a master folder.
    static constexpr int LookTimeLimitMs = 10000;
    void setLookTimeLimitMs(int milliseconds) { m_lookLimit.setInterval(milliseconds); }
    // Runs on the worker before each look (tests: a share that does not answer).
    void setBeforeLook(std::function<void(const QString& path)> hook) { m_beforeLook = hook; }
    // True while a movie file is being looked at.
    bool isLookingAtMovie() const { return m_looking; }

signals:
    // A movie was given by Movie, in the order they are given.
    void movieChanged(const QString& path);
    // A slide show shown natively put a picture on show (its path), or went black ("").
    void pictureShown(const QString& path);
    // Any other movie: its first frame is on show, or it can not be shown (and why).
    void movieShown(const QString& path);
    void movieFailed(const QString& path, const QString& why);

private:
    enum class Kind
    {
        Nothing,
        SlideShow,
        Swf,
        Video,
        Picture
    };
    struct FileKind
    {
        Kind kind = Kind::Nothing;
        SlideEffectMarker marker; // of a slide show
    };
    static FileKind kindOf(const QString& path);
    void startMovie(const QString& path, const FileKind& found);
    void lookTimedOut();
    // Runs the command now, or once the look at the movie is done.
    void command(const std::function<void()>& run);
    MovieEngine* engineFor(Kind kind);
    void relayOutcome(MovieEngine* engine);
    void showEngine(MovieEngine* engine);
    void endIdleWebEngine();

    QString m_runtimeFolder;
    QStackedLayout* m_layout;
    QWidget* m_blank;
    MovieEngine* m_swf = nullptr;
    SlideShowEngine* m_slides = nullptr;
    QTimer m_swfIdle;
    MovieEngine* m_video = nullptr;
    MovieEngine* m_picture = nullptr;
    MovieEngine* m_active = nullptr;
    QString m_movie;
    bool m_slidesInStep = false;
    bool m_looking = false;
    int m_lookGeneration = 0; // answers of looks given up or superseded are dropped
    QTimer m_lookLimit;
    QList<std::function<void()>> m_waiting; // commands given while looking, in order
    std::function<void(const QString&)> m_beforeLook;
    std::unique_ptr<MovieDispatch> m_dispatch;
};

} // namespace platform::movie
