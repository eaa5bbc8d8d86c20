#pragma once

// The urgent message: "urgent.txt" in the program folder or, on a subordinate, in the master
// folder replaces the telop's text while it is there. The files are looked at every second
// on a worker, so a master share that hangs holds up nothing; a look still running is not
// started again. The text is UTF-8 or, when it is not valid UTF-8, code page 932; its line
// breaks become spaces. Only a regular file (not a link) is read, at most its first MaxBytes.

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace group {

class UrgentWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 1000;
    static constexpr qint64 MaxBytes = 16 * 1024;

    explicit UrgentWatch(QObject* parent = nullptr);
    ~UrgentWatch() override;

    // The folders to look in, the first found winning: the program folder, then the master's.
    void setFolders(const QStringList& folders) { m_folders = folders; }
    // The message on show; "" while there is none.
    const QString& message() const { return m_message; }

    // The text of an urgent file's bytes as the telop shows it.
    static QString textOf(const QByteArray& bytes);

    // What a look found: the text, the file it came from and whether it was cut to MaxBytes.
    struct Found
    {
        QString text;
        QString path;
        bool cut = false;
    };

signals:
    // The message changed: the new text, or "" when it ended.
    void messageChanged(const QString& text);

private:
    void look();
    void looked(const Found& found);

    QStringList m_folders;
    QString m_message;
    QTimer m_timer;
    QFutureWatcher<Found>* m_watcher = nullptr;
};

} // namespace group
