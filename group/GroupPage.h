#pragma once

// The group at a glance, from the reports in a "status/" folder: a static page
// ("status/index.html") with each PC's screenshot, name, age of its report, mode, what it
// shows, its master's state and version, and the same as a text table for monitoring tools.
// What other PCs wrote is untrusted: every text is escaped, the page runs no script, and a
// report that is too large, not JSON, not a regular file or named unsafely shows as broken.

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace group {

struct Report
{
    QString name;      // from the file's name
    QString broken;    // why the report can not be read; "" when it can
    QJsonObject json;  // the report, when it can be read
    QDateTime updated; // when it was written, by its own account
    bool hasShot = false;
    QDateTime shotTime; // when the picture beside it was taken
    bool isStale(const QDateTime& now) const;
    // The PC's state, the first that holds: "broken" (the report can not be read), "stopped"
    // (ended by its exit command), "stale" (no report for StaleAfterSeconds), "no master" (a
    // subordinate without its master for over NoMasterAfterSeconds), "name shared" (another
    // machine writes under its name), "error" (it reports an error now), "ok".
    QString state(const QDateTime& now) const;
    // Whether the state needs someone to look: anything but "ok" and "stopped".
    bool isProblem(const QDateTime& now) const;
};

inline constexpr qint64 MaxReportBytes = 64 * 1024;
inline constexpr int StaleAfterSeconds = 180;
inline constexpr int NoMasterAfterSeconds = 60;
// A PC without a report for a week is taken to be gone (renamed, replaced): left out.
inline constexpr int ForgottenAfterSeconds = 7 * 24 * 3600;

// The reports in the folder, by name.
QList<Report> readReports(const QString& statusFolder);
// The reports of the PCs not yet forgotten (see ForgottenAfterSeconds), and how many were not.
QList<Report> recentReports(const QList<Report>& reports, const QDateTime& now, int* leftOut);
// A state's word on the page: 停止, 応答なし, 親機に届かない, 要確認 or 正常.
QString stateLabel(const QString& state);
// The page for the reports, as of `now`, written by the PC `ownName` (marked as the master
// when subordinates report to it). PCs long gone are left out with a line saying how many.
QByteArray groupPage(const QList<Report>& reports, const QDateTime& now,
                     const QString& ownName = {});
// Writes "index.html" into the folder (beside the reports); false when it can not.
bool writeGroupPage(const QString& statusFolder, const QDateTime& now, const QString& ownName = {});
// Writes a file into a status folder through a file staged beside it and a rename over
// whatever stands there: readers never see half of one, and neither a link planted in the
// folder nor the folder itself being a link leads the write anywhere else. The folder is made
// when `makeFolder`.
bool writeStatusFile(const QString& statusFolder, const QString& fileName, const QByteArray& bytes,
                     bool makeFolder, QString* why = nullptr);
// The reports as a text table, one PC a line.
QString groupTable(const QList<Report>& reports, const QDateTime& now);

} // namespace group
