#include "mdlCommon.h"

#include "profile/AtomicFile.h"
#include "profile/PrivateProfile.h"
#include "text/Cp932.h"
#include "text/Numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

Q_LOGGING_CATEGORY(lcCommon, "lumaret.common")

using platform::fromCp932;
using platform::toCp932;

namespace mdlCommon {

namespace {

const QString Environment = QStringLiteral("ENVIRONMENT");
const QByteArray SlideParamsName = QByteArrayLiteral("interface2=");

QString inFolder(const QString& folder, const QString& name)
{
    return folder + u'/' + name;
}

bool isBlankEntry(const QString& entry)
{
    for (const QChar c : entry)
        if (c != u' ')
            return false;
    return true;
}

// At least four digits, zero-filled on the left.
QByteArray fourDigits(qint64 number)
{
    const QByteArray digits = QByteArray::number(std::abs(number)).rightJustified(4, '0');
    return number < 0 ? "-" + digits : digits;
}

} // namespace

QString GetIniString(const QString& file, const QString& section, const QString& key,
                     const QString& defaultValue)
{
    char buffer[256];
    const uint32_t copied = platform::GetPrivateProfileStringA(
        toCp932(section), toCp932(key), toCp932(defaultValue), buffer, sizeof buffer, file);
    return fromCp932(QByteArray(buffer, qsizetype(copied)));
}

QString GetNetworkString(const QString& file, const QString& key, const QString& defaultValue)
{
    QFile whole(file);
    const bool utf8 =
        whole.open(QIODevice::ReadOnly) && platform::isUtf8Text(whole.read(64 * 1024));
    char buffer[256];
    const uint32_t copied = platform::GetPrivateProfileStringA(
        "NETWORK", toCp932(key), utf8 ? defaultValue.toUtf8() : toCp932(defaultValue), buffer,
        sizeof buffer, file);
    const QByteArray value(buffer, qsizetype(copied));
    return utf8 ? QString::fromUtf8(value) : fromCp932(value);
}

bool WriteIniString(const QString& file, const QString& section, const QString& key,
                    const QString& value)
{
    return platform::WritePrivateProfileStringA(toCp932(section), toCp932(key), toCp932(value),
                                                file);
}

bool FileExists(const QString& path)
{
    if (path.isEmpty() || path.contains(u'*') || path.contains(u'?'))
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

QString GetFileName(const QString& path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (path[i] == u'\\' || path[i] == u'/' || path[i] == u':')
            return path.mid(i + 1);
    return {};
}

void FilterDigitKey(int16_t& keyAscii)
{
    const bool digit = keyAscii >= '0' && keyAscii <= '9';
    const bool backspace = keyAscii == 8;
    if (!digit && !backspace)
        keyAscii = 0;
}

bool WriteEnvironment(const QString& settingsFile, const EnvironmentSettings& settings)
{
    QList<std::pair<QByteArray, QByteArray>> keys{{"optTarget", toCp932(settings.optTarget)},
                                                  {"txtAnime", toCp932(settings.txtAnime)}};
    for (int i = 0; i < ImageCount; ++i)
        keys.append({"txtImg_" + QByteArray::number(i), toCp932(settings.txtImg[size_t(i)])});
    keys.append({{"txtTime", toCp932(settings.txtTime)},
                 {"optTelop", toCp932(settings.optTelop)},
                 {"txtTelop", toCp932(settings.txtTelop)},
                 {"chkDate", toCp932(settings.chkDate)}});
    return platform::WritePrivateProfileStrings(toCp932(Environment), keys, settingsFile);
}

bool WriteDefaultSettings(const QString& programFolder)
{
    EnvironmentSettings defaults;
    defaults.optTarget = QStringLiteral("1");
    defaults.txtAnime = QStringLiteral("効果無し.swf");
    defaults.txtImg.fill(QStringLiteral("quandor.jpg"));
    defaults.txtTime = QStringLiteral("5");
    defaults.optTelop = QStringLiteral("0");
    defaults.txtTelop = DefaultTelopText;
    defaults.chkDate = QStringLiteral("0");
    return WriteEnvironment(inFolder(programFolder, SettingsFileName), defaults);
}

QByteArray slideParams(qint64 milliseconds, const ImageEntries& images)
{
    int count = 0;
    for (int i = 0; i < ImageCount; ++i)
        if (!isBlankEntry(images[size_t(i)]))
            count = i + 1;
    QByteArray bytes = SlideParamsName + fourDigits(milliseconds) + '#' + QByteArray::number(count);
    for (const QString& entry : images)
        if (!isBlankEntry(entry))
            bytes += '#' + toCp932(entry);
    return bytes;
}

bool WriteDefaultSlideParams(const QString& programFolder)
{
    ImageEntries images;
    std::fill_n(images.begin(), 5, QStringLiteral("quandor.jpg"));
    return platform::replaceFileContents(inFolder(programFolder, SlideParamsFileName),
                                         slideParams(3000, images));
}

bool WriteSlideParams(const QString& programFolder, const QString& timeText,
                      const ImageEntries& images)
{
    const QString path = inFolder(programFolder, SlideParamsFileName);
    const std::optional<double> seconds = platform::wholeTextNumber(timeText);
    const double milliseconds = seconds ? std::nearbyint(*seconds * 1000) : 0.0;
    const bool timeFits =
        seconds && std::abs(milliseconds) <= double(std::numeric_limits<int32_t>::max());
    if (!timeFits) {
        // The time is written first; without one, the file holds what came before it.
        qCWarning(lcCommon).noquote() << "slide time" << timeText << "is not a number of seconds;"
                                      << path << "holds no slide list";
        return platform::replaceFileContents(path, SlideParamsName);
    }
    return platform::replaceFileContents(path, slideParams(qint64(milliseconds), images));
}

} // namespace mdlCommon
