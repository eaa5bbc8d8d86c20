#include "Schedule.h"

#include <QRegularExpression>

namespace group {

namespace {

const QStringList DayNames{QStringLiteral("mon"), QStringLiteral("tue"), QStringLiteral("wed"),
                           QStringLiteral("thu"), QStringLiteral("fri"), QStringLiteral("sat"),
                           QStringLiteral("sun")};

// "Mon-Fri", "Sat,Sun", "Mon-Wed,Fri" as day bits; 0 when it can not be read.
int dayBits(const QString& days)
{
    int bits = 0;
    for (const QString& part : days.toLower().split(u',')) {
        const QStringList ends = part.trimmed().split(u'-');
        const int first = DayNames.indexOf(ends.first().trimmed());
        const int last = DayNames.indexOf(ends.last().trimmed());
        if (ends.size() > 2 || first < 0 || last < 0)
            return 0;
        for (int day = first;; day = (day + 1) % 7) {
            bits |= 1 << day;
            if (day == last)
                break;
        }
    }
    return bits;
}

// Where the section's header line starts and where the next section starts.
std::pair<qsizetype, qsizetype> sectionSpan(const QByteArray& file, const QByteArray& name)
{
    qsizetype start = -1;
    qsizetype at = 0;
    while (at < file.size()) {
        qsizetype end = file.indexOf('\n', at);
        end = end < 0 ? file.size() : end + 1;
        const QByteArray line = file.mid(at, end - at).trimmed();
        if (line.startsWith('[')) {
            if (start >= 0)
                return {start, at};
            const qsizetype close = line.lastIndexOf(']');
            if (close > 0 && line.mid(1, close - 1).trimmed().toLower() == name.toLower())
                start = at;
        }
        at = end;
    }
    return {start, file.size()};
}

} // namespace

QStringList sectionLines(const QString& text, QLatin1String name)
{
    QStringList lines;
    bool inSection = false;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'['))
            inSection =
                line.section(u']', 0, 0).mid(1).trimmed().compare(name, Qt::CaseInsensitive) == 0;
        else if (inSection)
            lines << line;
    }
    return lines;
}

QList<ScheduleEntry> parseSchedule(const QString& settings, QStringList* problems)
{
    static const QRegularExpression entry(
        QStringLiteral("^\\s*(?:([A-Za-z,\\- ]+?)\\s+)?(\\d{1,2}):(\\d{2})\\s*=\\s*(.*?)\\s*$"));
    QList<ScheduleEntry> entries;
    for (const QString& line : sectionLines(settings, QLatin1String("SCHEDULE"))) {
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        const QRegularExpressionMatch match = entry.match(line);
        ScheduleEntry read;
        read.key = line.section(u'=', 0, 0).trimmed();
        read.time = match.hasMatch() ? QTime(match.captured(2).toInt(), match.captured(3).toInt())
                                     : QTime();
        read.days = match.captured(1).isEmpty() ? 0x7f : dayBits(match.captured(1));
        read.set = match.captured(4);
        if (!read.time.isValid() || read.days == 0 || read.set.isEmpty()) {
            if (problems)
                *problems << line;
            continue;
        }
        if (entries.size() == MaxScheduleEntries) {
            if (problems)
                *problems << QStringLiteral("%1 and the entries after it: a schedule holds at "
                                            "most %2 entries")
                                 .arg(line)
                                 .arg(MaxScheduleEntries);
            break;
        }
        entries << read;
    }
    return entries;
}

std::optional<std::pair<ScheduleEntry, QDateTime>> entryInForce(const QList<ScheduleEntry>& entries,
                                                                const QDateTime& now)
{
    std::optional<std::pair<ScheduleEntry, QDateTime>> found;
    for (int back = 0; back <= 7 && !found; ++back) {
        const QDate day = now.date().addDays(-back);
        for (const ScheduleEntry& entry : entries) {
            const QDateTime at(day, entry.time);
            if (!(entry.days & (1 << (day.dayOfWeek() - 1))) || at > now)
                continue;
            if (!found || at > found->second)
                found = std::pair{entry, at};
        }
    }
    return found;
}

QDateTime nextChange(const QList<ScheduleEntry>& entries, const QDateTime& now)
{
    QDateTime next;
    for (int ahead = 0; ahead <= 7; ++ahead) {
        const QDate day = now.date().addDays(ahead);
        for (const ScheduleEntry& entry : entries) {
            const QDateTime at(day, entry.time);
            if ((entry.days & (1 << (day.dayOfWeek() - 1))) && at > now &&
                (!next.isValid() || at < next))
                next = at;
        }
        if (next.isValid())
            return next;
    }
    return next;
}

QByteArray sectionBytes(const QByteArray& file, const QByteArray& name)
{
    const auto [start, end] = sectionSpan(file, name);
    return start < 0 ? QByteArray() : file.mid(start, end - start);
}

QByteArray withSectionBytes(const QByteArray& file, const QByteArray& name, const QByteArray& given)
{
    QByteArray section = given;
    if (!section.isEmpty() && !section.endsWith('\n'))
        section += "\r\n";
    const auto [start, end] = sectionSpan(file, name);
    if (start >= 0)
        return file.left(start) + section + file.mid(end);
    if (section.isEmpty())
        return file;
    const bool endsWithLine = file.isEmpty() || file.endsWith('\n');
    return file + (endsWithLine ? QByteArray() : QByteArray("\r\n")) + section;
}

} // namespace group
