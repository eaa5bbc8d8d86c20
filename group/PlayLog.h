#pragma once

// Proof of play: what the presentation showed, from when and for how long. One CSV line per
// stretch of one thing shown ("start,seconds,mode,movie,picture,station,text": the start in
// ISO 8601 with its offset, the movie and picture relative to the folder they play from, the
// PC's station name; every field quoted), and one line whenever the telop begins showing a
// text (mode "telop" or "urgent", no seconds, the text last), in
// "log/play-YYYY-MM-DD.csv" of the program folder, named after the day the stretch began.
// A stretch ends when something else is shown, when the presentation halts, and after
// SplitMs at the latest, so a long movie is proved in pieces; one shorter than MinStretchMs
// is not written. Lines are written on a thread of
// their own and made durable every SyncMs: a power cut loses at most a minute. Files older
// than KeepDays, or dated more than KeepDays ahead (a clock once wrong), are removed, and a
// day's file stops growing at MaxFileBytes.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <functional>

namespace group {

struct Showing
{
    QString mode;    // "movie", "slides", "telop" or "urgent"
    QString movie;   // the movie's or effect movie's path
    QString picture; // the picture on show, where the presentation knows it
    bool operator==(const Showing&) const = default;
};

class PlayLogWriter;

class PlayLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int SplitMs = 30000;
    static constexpr int SyncMs = 30000;
    static constexpr int KeepDays = 31;
    static constexpr qint64 MaxFileBytes = 16 << 20;
    static constexpr int FirstPictureMs = 2000;
    static constexpr int MinStretchMs = 200;

    explicit PlayLog(const QString& programFolder, QObject* parent = nullptr);
    ~PlayLog() override; // ends the stretch on show and waits for its line to be written

    // The presentation was given something new, not on show yet: the stretch before ends and
    // none begins until show() says it is drawn (a movie that never shows is never proved).
    void given(const Showing& showing);
    // Something new is on show: the stretch before ends.
    void show(const Showing& showing);
    // The presentation halts (the settings dialog is open): the stretch on show ends.
    void halt();
    // The presentation plays again, showing what it showed before it halted (if it showed).
    void resume();
    // The telop shows a text from now on: its own ("telop") or an urgent message ("urgent").
    void telop(const QString& mode, const QString& text);
    // The PC's name in the group, written on every line.
    void setStation(const QString& station) { m_station = station; }

    // For tests: the clock, and waiting until every line so far is written.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    void waitForWrites();

    // One CSV line, every field quoted; milliseconds < 0 leaves the seconds empty.
    static QByteArray csvLine(const QDateTime& start, qint64 milliseconds, const Showing& showing,
                              const QString& station, const QString& text = {});
    // A movie's or picture's path as written: relative to the folder the movie plays from
    // (the parent of its "img" or "ani"), "img/冬のセール.jpg".
    static QString playedName(const QString& path, const QString& movie);

private:
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
    void endStretch();
    void startStretch();
    void writeLine(const QDate& day, const QByteArray& line);
    void writeTelopLine();

    std::function<QDateTime()> m_clock;
    Showing m_showing;
    bool m_onShow = false; // m_showing was drawn
    bool m_halted = false;
    QString m_station;
    Showing m_telop; // the telop's mode and, as its picture, its text
    bool m_playing = false;
    QDateTime m_since;
    QTimer m_split;
    QThread m_thread;
    PlayLogWriter* m_writer;
};

} // namespace group
