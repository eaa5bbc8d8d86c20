#include "movie/SlideParameters.h"
#include "profile/RootedFolder.h"

#include "text/Cp932.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>

namespace platform::movie {

namespace {

bool isScriptBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' ||
           c == QChar(0xA0) || c == QChar(0xFEFF) || c.category() == QChar::Separator_Space ||
           c == QChar(0x2028) || c == QChar(0x2029);
}

// The number at the start of the text as the movies' parseInt reads it: blanks skipped, a
// sign, "0x" for hexadecimal, then digits. Nothing when no digit follows.
std::optional<double> leadingInteger(const QString& text)
{
    qsizetype at = 0;
    while (at < text.size() && isScriptBlank(text[at]))
        ++at;
    double sign = 1;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+'))
        sign = text[at++] == u'-' ? -1 : 1;
    int radix = 10;
    if (text.mid(at, 2).compare(QLatin1String("0x"), Qt::CaseInsensitive) == 0) {
        radix = 16;
        at += 2;
    }
    double value = 0;
    bool digits = false;
    for (; at < text.size(); ++at) {
        const int digit = text[at].isDigit() && text[at].unicode() < 0x80 ? text[at].unicode() - '0'
                          : radix == 16 && QStringLiteral("abcdef").contains(text[at].toLower())
                              ? text[at].toLower().unicode() - 'a' + 10
                              : -1;
        if (digit < 0)
            break;
        value = value * radix + digit;
        digits = true;
    }
    return digits ? std::optional<double>(sign * value) : std::nullopt;
}

} // namespace

SlideParameters parseSlideParameters(const QByteArray& bytes)
{
    SlideParameters parameters;
    QString text = fromCp932(bytes);
    const QLatin1String prefix("interface2=");
    if (text.startsWith(prefix))
        text = text.mid(prefix.size());
    const QStringList fields = text.split(u'#');
    if (const auto time = leadingInteger(fields[0]); time && *time > 0)
        parameters.milliseconds = int(std::min<double>(*time, std::numeric_limits<int>::max()));
    for (qsizetype i = 2; i < fields.size(); ++i) {
        if (fields[i].isEmpty())
            continue;
        if (parameters.names.size() < MaxSlideNames)
            parameters.names << fields[i];
        else
            ++parameters.namesLeftOut;
    }
    return parameters;
}

SlideParameters readSlideParameters(const QString& path)
{
    const QFileInfo info(path);
    const RootedFolder::Opened opened = RootedFolder(info.path()).openFile(info.fileName());
    QFile file;
    if (opened.outcome != RootedFolder::Opened::Ok ||
        !file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return {};
    return parseSlideParameters(file.read(MaxSlideParametersSize));
}

QString picturePath(const QString& movieFolder, const QString& name)
{
    QString address;
    for (const QChar c : name)
        if (c != u'\t' && c != u'\n' && c != u'\r')
            address += c == u'\\' ? QChar(u'/') : c;
    const auto edge = [](QChar c) { return c.unicode() <= 0x20; };
    while (!address.isEmpty() && edge(address.front()))
        address.remove(0, 1);
    while (!address.isEmpty() && edge(address.back()))
        address.chop(1);
    address = address.left(address.indexOf(u'?'));
    const QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(address.toUtf8()));
    // A picture is a file of the movie's own folder: a path out of it names nothing (a slide
    // list shared by a group must not show private files).
    const QString inside = QDir::cleanPath(decoded);
    if (!platform::RootedFolder::isInsideName(inside))
        return {};
    return QDir(movieFolder).filePath(inside);
}

} // namespace platform::movie
