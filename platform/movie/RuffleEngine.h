#pragma once

// SWF movies through the web player in a web view. The page stays loaded; each movie is handed
// to it. Old-style (ActionScript 1 and 2) movies play from a temporary copy that reports
// each frame of the main timeline; ActionScript 3 movies play inside a loader movie that
// reaches their timeline. The frame on show is read from the page a few times a second.

#include "movie/MovieEngine.h"
#include "movie/MovieExport.h"
#include "movie/RenderMemoryWatch.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <functional>

class QWebEngineView;
class QWebEnginePage;

namespace platform::movie {

class MovieFileGuard;

class PLATFORM_MOVIE_EXPORT RuffleEngine : public MovieEngine
{
    Q_OBJECT

public:
    // runtimeFolder holds the web player, its page and the loader movie.
    RuffleEngine(const QString& runtimeFolder, QObject* parent = nullptr);
    ~RuffleEngine() override;

    QWidget* view() override;
    void load(const QString& path) override;
    void unload() override;
    void stopPlay() override;
    void gotoFrame(int frame) override;
    void play() override;
    int frameNum() const override { return m_frame; }
    // False while a playing movie's page has not answered a frame read for AnswerLimitMs.
    bool isAnswering() const override;
    static constexpr int AnswerLimitMs = 30000;

    // The page's render process, for tests that make it die.
    qint64 renderProcessId() const;
    // True while a movie is being read on a worker (tests).
    bool isReadingMovie() const { return m_preparing; }
    // How many times the page has loaded (tests).
    int pageLoadCount() const { return m_pageLoads; }
    int restartCount() const override { return std::max(0, m_pageLoads - 1); }
    qint64 helperProcessId() const override { return renderProcessId(); }
    // Runs a script on the page and hands its result to the callback (tests).
    void evaluate(const QString& script, const std::function<void(const QVariant&)>& callback);
    RenderMemoryWatch& memoryWatch() { return m_memory; }

private:
    void run(const QString& script);
    void loadPage();
    void pageLoaded(bool ok);
    void startPrepared(const struct PreparedSwf& prepared, const QString& path);
    void renderProcessDied();
    void reloadPage();
    bool reloadPageIfGrown(bool quietMoment);
    void pollFrame();

    QWebEngineView* m_view;
    QWebEnginePage* m_page;
    QUrl m_pageUrl;
    QUrl m_shellUrl;
    bool m_pageReady = false;
    bool m_pageLoading = false; // a load of the page itself is under way
    bool m_preparing = false;   // a movie is being read on a worker
    int m_loadGeneration = 0;   // a preparation older than the last load is dropped
    int m_pageRetrySeconds = 0; // back-off after failed page loads and process deaths
    QElapsedTimer m_pageAlive;  // since the page last loaded
    QString m_loadScript;       // loads the current movie; run again when the page comes back
    QStringList m_pending;      // at most the latest load and the latest command of each kind
    QTemporaryDir m_copies;
    MovieFileGuard* m_files; // what of the local files the movie may read
    int m_copyCount = 0;
    int m_frame = 0;
    bool m_shownTold = false; // shown() was emitted for the loaded movie
    bool m_halted = false;    // StopPlay was the last word: the movie stays halted until Play
    int m_generation = 0;     // frame reads older than the last load or goto are dropped
    static constexpr int PollMs = 200;
    static constexpr int RestingPollMs = 1000;
    QTimer m_poll;
    RenderMemoryWatch m_memory;
    QTimer m_memoryCheck;
    int m_pageLoads = 0;
    QElapsedTimer m_lastAnswer; // since the page last answered (or was loaded)
    QElapsedTimer m_pollSent;   // runs while a frame read waits for its answer
};

} // namespace platform::movie
