#pragma once

// What the player window and the settings dialog share: reading one settings value, small
// path helpers, the key filter of the number boxes, and the writers of the settings file and
// the slide parameter file.

#include <QString>
#include <array>
#include <cstdint>

namespace mdlCommon {

// Files below the program folder (or the master folder of a network group).
inline const QString SettingsFileName = QStringLiteral("lumaret.ini");
inline const QString NetworkFileName = QStringLiteral("lan.ini");
inline const QString SlideParamsFileName = QStringLiteral("img/swfpara.txt");

inline const QString MakerWebAddress = QStringLiteral("http://www.quandor.example/");
// "開発：Quandor", an ideographic space, the maker's web address.
inline const QString DefaultTelopText = QStringLiteral("開発：Quandor\u3000") + MakerWebAddress;

inline constexpr int ImageCount = 10;
using ImageEntries = std::array<QString, ImageCount>;

// The fifteen keys of section ENVIRONMENT that the player writes, in their writing order.
struct EnvironmentSettings
{
    QString optTarget;
    QString txtAnime;
    ImageEntries txtImg;
    QString txtTime;
    QString optTelop;
    QString txtTelop;
    QString chkDate;
};

// The value of the key (at most 255 bytes of it in code page 932), or the default when the
// file, the section or the key is missing.
QString GetIniString(const QString& file, const QString& section, const QString& key,
                     const QString& defaultValue);

// The value of a key of [NETWORK] in the network file, which any editor may have saved: read
// as UTF-8 when the file is UTF-8 text, else as code page 932.
QString GetNetworkString(const QString& file, const QString& key, const QString& defaultValue);

// Sets one key, in code page 932. False (logged, file unchanged) when it can not be written.
bool WriteIniString(const QString& file, const QString& section, const QString& key,
                    const QString& value);

// True when the path names an existing file (not a folder). Paths with "*" or "?" and the
// empty path are never files.
bool FileExists(const QString& path);

// The part after the last "\", "/" or ":"; "" when the path has none or ends with one.
QString GetFileName(const QString& path);

// Lets digits and backspace through; any other typed character code becomes 0 (dropped).
void FilterDigitKey(int16_t& keyAscii);

// Writes the fifteen keys into section ENVIRONMENT of the settings file, in their order;
// other keys and sections stay as they are. All keys go in one replacement of the file, so a
// failure (false, logged) leaves the file as it was.
bool WriteEnvironment(const QString& settingsFile, const EnvironmentSettings& settings);

// The default settings, into the program folder's settings file. False when not written.
bool WriteDefaultSettings(const QString& programFolder);

// The default slide parameter file: five images "quandor.jpg" of 3 seconds each. False when
// not written (the old file stays).
bool WriteDefaultSlideParams(const QString& programFolder);

// The slide parameter file from a time text (seconds) and the ten image entries. A time text
// that is not a number leaves the file holding only "interface2=". False when the file could
// not be written (the old file stays, logged).
bool WriteSlideParams(const QString& programFolder, const QString& timeText,
                      const ImageEntries& images);

// The slide parameter file's bytes for a time in milliseconds and the ten entries.
QByteArray slideParams(qint64 milliseconds, const ImageEntries& images);

} // namespace mdlCommon
