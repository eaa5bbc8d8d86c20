#include "movie/RuffleEngine.h"

#include "movie/MovieFileGuard.h"

#include "movie/SwfPreparation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSet>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <csignal>
#include <functional>
#include <utility>

Q_LOGGING_CATEGORY(lcRuffle, "lumaret.movie.swf")

namespace platform::movie {

namespace {

// The page shows the web player and nothing else: it opens no windows and goes nowhere.
class PlayerPage : public QWebEnginePage
{
public:
    PlayerPage(const QUrl& url, QObject* parent) : QWebEnginePage(parent), m_url(url) {}
    // Called with the page's report that the movie can not be played.
    std::function<void(const QString&)> cannotPlay;

protected:
    // Only the component's own load of its page goes through. A movie's navigation (getURL to
    // "_self", "_top" and the like) is refused and logged once per movie.
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (!isMainFrame)
            return true;
        if (url == m_url && (type == NavigationTypeTyped || type == NavigationTypeReload))
            return true;
        if (!m_refused.contains(url)) {
            m_refused.insert(url);
            qCInfo(lcRuffle).noquote() << "a movie asked to open" << url.toString()
                                       << "; the presentation stays on its page";
        }
        return false;
    }
    QWebEnginePage* createWindow(WebWindowType) override
    {
        qCInfo(lcRuffle) << "a movie asked for a new window; refused";
        return nullptr;
    }
    // The page's own notices (warnings "lumaret: ...", such as a refused call) are logged as
    // information, its errors as warnings. A movie that fails the same way on every frame
    // logs each message once, and at most MaxMessagesPerMovie of them.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int,
                                  const QString&) override
    {
        const bool notice =
            level == WarningMessageLevel && message.startsWith(QLatin1String("lumaret: "));
        if (level != ErrorMessageLevel && !notice) {
            qCDebug(lcRuffle).noquote() << message;
            return;
        }
        if (level == ErrorMessageLevel && message.startsWith(QLatin1String("cannot play ")) &&
            cannotPlay)
            cannotPlay(message);
        if (m_logged.contains(message) || m_logged.size() > MaxMessagesPerMovie)
            return;
        m_logged.insert(message);
        if (m_logged.size() > MaxMessagesPerMovie)
            qCWarning(lcRuffle) << "further messages of this movie are not logged";
        else if (level == ErrorMessageLevel)
            qCWarning(lcRuffle).noquote() << message;
        else
            qCInfo(lcRuffle).noquote() << message.mid(9);
    }

public:
    void newMovie()
    {
        m_refused.clear();
        m_logged.clear();
    }

private:
    static constexpr int MaxMessagesPerMovie = 50;
    QUrl m_url;
    QSet<QUrl> m_refused;
    QSet<QString> m_logged;
};

// The folder of this process's movie copies: "<program>-<pid>-XXXXXX" in the temporary
// folder, so a later run can tell which folders belong to processes that are gone.
QString copiesTemplate()
{
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("%1-%2-XXXXXX")
                      .arg(QCoreApplication::applicationName())
                      .arg(QCoreApplication::applicationPid()));
}

} // namespace

namespace {

QString jsString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

RuffleEngine::RuffleEngine(const QString& runtimeFolder, QObject* parent)
    : MovieEngine(parent), m_view(new QWebEngineView),
      m_pageUrl(QUrl::fromLocalFile(QDir(runtimeFolder).filePath(QStringLiteral("player.html")))),
      m_shellUrl(QUrl::fromLocalFile(QDir(runtimeFolder).filePath(QStringLiteral("shell.swf")))),
      m_copies(copiesTemplate()), m_memory([this] { return m_page->renderProcessPid(); })
{
    m_page = new PlayerPage(m_pageUrl, m_view);
    static_cast<PlayerPage*>(m_page)->cannotPlay = [this](const QString& why) { emit failed(why); };
    // The Japanese device fonts are read from where Debian installs them.
    m_files = new MovieFileGuard({runtimeFolder, m_copies.path(),
                                  QStringLiteral("/usr/share/fonts/opentype/ipafont-gothic")},
                                 this);
    m_page->setUrlRequestInterceptor(m_files);
    m_page->setBackgroundColor(Qt::black);
    QWebEngineSettings* settings = m_page->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    m_view->setPage(m_page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    connect(m_page, &QWebEnginePage::loadFinished, this, &RuffleEngine::pageLoaded);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            &RuffleEngine::renderProcessDied);
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &RuffleEngine::pollFrame);
    // A movie that makes the web player keep memory while it runs is not left to grow until
    // the system runs out of it.
    m_memoryCheck.setInterval(10000);
    connect(&m_memoryCheck, &QTimer::timeout, this, [this] { reloadPageIfGrown(false); });
    m_memoryCheck.start();
    loadPage();
}

RuffleEngine::~RuffleEngine()
{
    delete m_view;
}

QWidget* RuffleEngine::view()
{
    return m_view;
}

void RuffleEngine::evaluate(const QString& script,
                            const std::function<void(const QVariant&)>& callback)
{
    m_page->runJavaScript(script, callback);
}

qint64 RuffleEngine::renderProcessId() const
{
    return m_page->renderProcessPid();
}

// The movie is read and made ready on a worker; meanwhile the screen shows black and the
// commands given wait for it.
void RuffleEngine::load(const QString& path)
{
    reloadPageIfGrown(true); // a new movie is a quiet moment: the screen changes anyway
    m_halted = false;
    m_frame = 0;
    m_shownTold = false;
    ++m_generation;
    const int load = ++m_loadGeneration;
    m_loadScript.clear();
    m_pending.clear();
    if (m_pageReady)
        m_page->runJavaScript(QStringLiteral("lumaret.unload()"));
    m_preparing = true;
    QString copy;
    if (m_copies.isValid()) {
        QFile::remove(m_copies.filePath(QStringLiteral("movie-%1.swf").arg(m_copyCount)));
        copy = m_copies.filePath(QStringLiteral("movie-%1.swf").arg(++m_copyCount));
    }
    auto* watcher = new QFutureWatcher<PreparedSwf>(this);
    connect(watcher, &QFutureWatcher<PreparedSwf>::finished, this, [this, watcher, load, path] {
        watcher->deleteLater();
        if (load == m_loadGeneration)
            startPrepared(watcher->result(), path);
    });
    watcher->setFuture(QtConcurrent::run(prepareSwf, path, copy));
}

void RuffleEngine::startPrepared(const PreparedSwf& prepared, const QString& path)
{
    m_preparing = false;
    static_cast<PlayerPage*>(m_page)->newMovie();
    if (!prepared.playable) {
        // The web player would show its error panel; the screen stays black instead.
        qCWarning(lcRuffle).noquote() << "cannot play" << path << ":" << prepared.error;
        m_pending.clear();
        emit failed(QStringLiteral("cannot play the movie: ") + prepared.error);
        return;
    }
    m_files->setMovieFolder(QFileInfo(path).absolutePath());
    const QString base = QUrl::fromLocalFile(QFileInfo(path).absolutePath() + u'/').toString();
    const auto boolean = [](bool b) {
        return b ? QStringLiteral("true") : QStringLiteral("false");
    };
    const QString copy =
        prepared.file == path ? QString() : QUrl::fromLocalFile(prepared.file).toString();
    // Audio output from the start for a movie that may make sound; one opened at the first
    // sound for a movie that may load others; none for the rest.
    const QString audio = prepared.sound         ? QStringLiteral("output")
                          : prepared.loadsMovies ? QStringLiteral("quiet")
                                                 : QStringLiteral("none");
    m_loadScript =
        QStringLiteral("lumaret.load(%1, %2, %3, %4, %5, %6, %7)")
            .arg(jsString(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()),
                 jsString(copy), jsString(base), boolean(prepared.actionScript3),
                 jsString(m_shellUrl.toString()), boolean(prepared.deviceText), jsString(audio));
    // The load goes first, then what was asked while the movie was being read.
    m_pending.prepend(m_loadScript);
    if (m_pageReady)
        for (const QString& script : std::exchange(m_pending, {}))
            m_page->runJavaScript(script);
    m_poll.start(PollMs);
}

void RuffleEngine::unload()
{
    ++m_loadGeneration; // a movie still being read is not shown
    m_preparing = false;
    m_poll.stop();
    m_loadScript.clear();
    m_frame = 0;
    ++m_generation;
    m_pending.clear();
    run(QStringLiteral("lumaret.unload()"));
}

void RuffleEngine::stopPlay()
{
    m_halted = true;
    run(QStringLiteral("lumaret.stop()"));
}

void RuffleEngine::gotoFrame(int frame)
{
    if (frame != 0)
        qCInfo(lcRuffle) << "going to frame" << frame
                         << "is not supported; going to the first frame";
    m_frame = 0;
    ++m_generation;
    // A restart from the first frame is a quiet moment too; a reloaded page starts the movie
    // from its first frame by itself.
    if (!reloadPageIfGrown(true))
        run(QStringLiteral("lumaret.gotoFirstFrame()"));
}

void RuffleEngine::play()
{
    m_halted = false;
    run(QStringLiteral("lumaret.play()"));
}

// Runs the script now, or keeps it until the page and the movie are ready. What waits is
// bounded: the latest load and the latest command of each kind ("lumaret.play()" and so on).
void RuffleEngine::run(const QString& script)
{
    if (m_pageReady && !m_preparing) {
        m_page->runJavaScript(script);
        return;
    }
    const QString kind = script.left(script.indexOf(u'('));
    m_pending.removeIf([&](const QString& waiting) { return waiting.startsWith(kind + u'('); });
    m_pending.append(script);
}

void RuffleEngine::loadPage()
{
    m_pageLoading = true;
    m_page->load(m_pageUrl);
}

// Only a load of the page itself changes its readiness: a navigation a movie asked for and
// the page refused also ends in a failed load, which is no concern of the page's.
void RuffleEngine::pageLoaded(bool ok)
{
    if (!m_pageLoading)
        return;
    m_pageLoading = false;
    m_pageReady = ok;
    if (!ok) {
        m_pageRetrySeconds = std::clamp(m_pageRetrySeconds * 2, 1, 60);
        qCWarning(lcRuffle).noquote() << "cannot load the player page" << m_pageUrl.toLocalFile()
                                      << "; trying again in" << m_pageRetrySeconds << "s";
        QTimer::singleShot(m_pageRetrySeconds * 1000, this, [this] { loadPage(); });
        return;
    }
    ++m_pageLoads;
    m_pageAlive.start();
    m_memory.pageLoaded();
    m_lastAnswer.start();
    m_pollSent.invalidate();
    if (!m_preparing)
        for (const QString& script : std::exchange(m_pending, {}))
            m_page->runJavaScript(script);
}

// The page's process died (crash, out of memory, killed): load the page again and the
// movie with it, so the screen does not stay black.
// A movie that crashes the process at once would do so again and again: the reloads back off
// (1 s doubling to a minute, from the start again once a page has lived a minute).
void RuffleEngine::renderProcessDied()
{
    m_pageReady = false;
    if (m_pageAlive.isValid() && m_pageAlive.elapsed() > 60000)
        m_pageRetrySeconds = 0;
    m_pageRetrySeconds = std::clamp(m_pageRetrySeconds * 2, 1, 60);
    qCWarning(lcRuffle) << "the web player's process ended; reloading the movie in"
                        << m_pageRetrySeconds << "s";
    QTimer::singleShot(m_pageRetrySeconds * 1000, this, [this] { reloadPage(); });
}

// Loads the page anew and, once it is there, the current movie from its start.
void RuffleEngine::reloadPage()
{
    m_pageReady = false;
    m_pending.clear();
    if (!m_loadScript.isEmpty())
        m_pending.append(m_loadScript);
    // A halted movie (the settings dialog is open) stays halted in the page loaded anew.
    if (!m_loadScript.isEmpty() && m_halted)
        m_pending.append(QStringLiteral("lumaret.stop()"));
    m_frame = 0;
    ++m_generation;
    loadPage();
}

// Reloads the page when its process has grown past the limit for this moment: the small one
// at quiet moments, the large one at any time. True when it does.
bool RuffleEngine::reloadPageIfGrown(bool quietMoment)
{
    if (!m_pageReady)
        return false;
    const qint64 growth = m_memory.growth(); // one reading of the process's memory
    if (growth <= (quietMoment ? m_memory.quietLimit() : m_memory.forcedLimit()))
        return false;
    qCInfo(lcRuffle).noquote() << "the web player's process grew by" << (growth >> 20)
                               << "MiB; reloading its page to give the memory back";
    reloadPage();
    return true;
}

// Frame reads do not pile up on a page that is slow to answer: a new one goes out only when
// the last was answered or has waited a second.
void RuffleEngine::pollFrame()
{
    if (!m_pageReady || (m_pollSent.isValid() && m_pollSent.elapsed() < 1000))
        return;
    const int generation = m_generation;
    m_pollSent.start();
    m_page->runJavaScript(
        QStringLiteral("lumaret.state()"), [this, generation](const QVariant& answer) {
            m_pollSent.invalidate();
            m_lastAnswer.start();
            const QVariantMap state = answer.toMap();
            if (generation == m_generation && state.contains(QStringLiteral("frame")))
                m_frame = state.value(QStringLiteral("frame")).toInt();
            if (generation == m_generation && state.value(QStringLiteral("shown")).toBool() &&
                !std::exchange(m_shownTold, true))
                emit shown();
            // A resting movie's frame does not change: read it less often.
            m_poll.setInterval(state.value(QStringLiteral("resting")).toBool() ? RestingPollMs
                                                                               : PollMs);
        });
}

bool RuffleEngine::isAnswering() const
{
    return !m_poll.isActive() || !m_pageReady || !m_lastAnswer.isValid() ||
           m_lastAnswer.elapsed() < AnswerLimitMs;
}

} // namespace platform::movie
