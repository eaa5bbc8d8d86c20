#include "profile/PrivateProfile.h"

#include "profile/AtomicFile.h"
#include "profile/ProfileText.h"

#include <QFile>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcProfile, "lumaret.profile")

namespace platform {

namespace {

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

// The file's bytes; empty when it is missing or unreadable.
QByteArray fileBytes(const QString& path, bool* readable = nullptr)
{
    QFile file(path);
    const bool ok = file.open(QIODevice::ReadOnly);
    if (readable)
        *readable = ok || !file.exists();
    return ok ? file.readAll() : QByteArray();
}

// A value stays on its key's line: each CR, LF or CR LF in it becomes one space, so a pasted
// line break can not add lines (or sections) to the file.
QByteArray onOneLine(const QByteArray& value)
{
    if (!value.contains('\r') && !value.contains('\n'))
        return value;
    QByteArray line = value;
    line.replace("\r\n", " ").replace('\r', ' ').replace('\n', ' ');
    return line;
}

// Names that can be written without changing how the file's lines read: no line breaks; in
// a key no "=" (which would end it early) and no "[" at the start (which would open a
// section).
bool isSafeKey(const QByteArray& key)
{
    return !key.contains('\r') && !key.contains('\n') && !key.contains('=') &&
           !key.trimmed().startsWith('[');
}

bool isSafeSection(const QByteArray& section)
{
    return !section.contains('\r') && !section.contains('\n');
}

} // namespace

uint32_t GetPrivateProfileStringA(const QByteArray& section, const QByteArray& key,
                                  const QByteArray& defaultValue, char* buffer, uint32_t size,
                                  const QString& file)
{
    const QByteArray text = fileBytes(file);
    const std::optional<std::string> stored =
        profile::findValue(view(text), view(section), view(key));
    if (stored)
        return uint32_t(profile::copyValue(*stored, buffer, size));
    QByteArray fallback = defaultValue;
    while (fallback.endsWith(' '))
        fallback.chop(1);
    return uint32_t(profile::copyValue(view(fallback), buffer, size));
}

bool WritePrivateProfileStringA(const QByteArray& section, const QByteArray& key,
                                const QByteArray& value, const QString& file)
{
    return WritePrivateProfileStrings(section, {{key, value}}, file);
}

bool WritePrivateProfileStrings(const QByteArray& section,
                                const QList<std::pair<QByteArray, QByteArray>>& keyValues,
                                const QString& file)
{
    bool readable = true;
    const QByteArray original = fileBytes(file, &readable);
    if (!readable) {
        qCWarning(lcProfile).noquote() << "cannot read" << file << "to set its keys";
        return false;
    }
    std::string text(original.constData(), size_t(original.size()));
    bool changed = false;
    for (const auto& [key, value] : keyValues) {
        if (!isSafeKey(key) || !isSafeSection(section)) {
            qCWarning(lcProfile).noquote()
                << "refused to write key" << key << "of section" << section << "into" << file
                << ": the name would break the file's lines";
            return false;
        }
        const QByteArray oneLine = onOneLine(value);
        if (auto next = profile::withValue(text, view(section), view(key), view(oneLine))) {
            text = std::move(*next);
            changed = true;
        }
    }
    if (!changed)
        return true; // all already stored: the file stays untouched
    return replaceFileContents(file, QByteArray(text.data(), qsizetype(text.size())));
}

} // namespace platform
