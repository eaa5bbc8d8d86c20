#pragma once

// A daily schedule of setting sets: the [SCHEDULE] section of the settings file holds entries
// "HH:MM=SETNAME", optionally for some days only ("Mon-Fri 07:00=morning", "Sat,Sun
// 10:00=weekend"); "HH:MM=off" blanks the screen until the next entry. The entry in force at
// a moment is the latest one at or before it, looking back up to a week.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace group {

struct ScheduleEntry
{
    QString key;     // as written, for the log
    QTime time;      // to the minute
    int days = 0x7f; // bit 0 Monday ... bit 6 Sunday
    QString set;     // the set's name, or "off"
    bool isOff() const { return set.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0; }
};

// A schedule holds at most this many entries; more are left out (and told as a problem).
inline constexpr int MaxScheduleEntries = 1000;

// The entries of the [SCHEDULE] section of the settings file's text; what can not be read
// goes to problems.
QList<ScheduleEntry> parseSchedule(const QString& settings, QStringList* problems = nullptr);
// The entry in force at `now` and when it began; nullopt when the schedule is empty.
std::optional<std::pair<ScheduleEntry, QDateTime>> entryInForce(const QList<ScheduleEntry>& entries,
                                                                const QDateTime& now);
// The first moment after `now` at which an entry begins; invalid when the schedule is empty.
QDateTime nextChange(const QList<ScheduleEntry>& entries, const QDateTime& now);

// The trimmed lines of the section `name` of an INI file's text (names match without regard
// to case), in their order.
QStringList sectionLines(const QString& text, QLatin1String name);

// The section `name` of an INI file's bytes, from its header line to the next section ("" when
// there is none), and the file with that section replaced by `section` (removed when empty,
// added at the end when missing).
QByteArray sectionBytes(const QByteArray& file, const QByteArray& name);
QByteArray withSectionBytes(const QByteArray& file, const QByteArray& name,
                            const QByteArray& section);

} // namespace group
